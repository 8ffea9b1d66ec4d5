// Arbitrary text in the NT window's MTU box: the input check leaves Apply and
// Remove in step, enabled only for a number from 88 to 1500, and Apply then
// stores exactly that number rounded; any other text is never stored.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/MtuNumber.h"
#include "tests/support/HeadlessProgram.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    test::HeadlessProgram rig;
    reg::MemoryRegistry& model = rig.model;
    model.SeedString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName", "Windows 2000");
    model.SeedString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1", "ServiceName",
                     "{A}");
    rig.program.Start();

    const test::View form = rig.Form("Form1");
    ui::headless::HeadlessButton& apply = form.apply;
    ui::headless::HeadlessTextBox& box = form.box;
    ui::headless::HeadlessButton& remove = form.remove;
    box.SetText(text);

    const auto number = settings::ReadAsNumber(text);
    const bool inRange =
        number && settings::Compare(*number, 88) >= 0 && settings::Compare(*number, 1500) <= 0;
    if (apply.Enabled() != inRange || remove.Enabled() != inRange) {
        std::abort();
    }
    apply.Click();
    const auto stored =
        model.Value("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{A}", "MTU");
    if (!inRange) {
        if (stored.has_value()) {
            std::abort();
        }
        return 0;
    }
    std::int32_t mtu = 0;
    if (!stored || stored->type != reg::kRegDword || stored->bytes.size() != 4) {
        std::abort();
    }
    std::memcpy(&mtu, stored->bytes.data(), 4);
    if (mtu < 88 || mtu > 1500 || mtu != settings::RoundToInt32(*number)) {
        std::abort();
    }
    return 0;
}
