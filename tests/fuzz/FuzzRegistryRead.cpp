// Arbitrary bytes stored under an arbitrary type, read back through both
// read routines: no text unless REG_SZ, a text cut at its first NUL, and 0
// unless a REG_DWORD of at most four bytes; no handle left open.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "registry/Registry.h"

using namespace quillon::reg;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ValueType type = data[0] % 12;
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    MemoryRegistry model;
    model.Seed("SOFTWARE\\Fuzz\\", "Value", type, bytes);
    Registry routines(model);

    const auto text = routines.GetStringValue(kHkeyLocalMachine, "SOFTWARE\\Fuzz", "Value");
    if (type != kRegSz) {
        if (text.has_value()) {
            std::abort();
        }
    } else {
        const std::string stored(bytes.begin(), bytes.end());
        if (!text.has_value() || *text != stored.substr(0, stored.find('\0'))) {
            std::abort();
        }
    }

    const std::int32_t number = routines.GetDwordValue(kHkeyLocalMachine, "SOFTWARE\\Fuzz", "Value");
    std::int32_t expected = 0;
    if (type == kRegDword && bytes.size() <= 4) {
        std::uint8_t cell[4] = {};
        if (!bytes.empty()) {
            std::memcpy(cell, bytes.data(), bytes.size());
        }
        std::memcpy(&expected, cell, 4);
    }
    if (number != expected || model.OpenHandles() != 0) {
        std::abort();
    }
    return 0;
}
