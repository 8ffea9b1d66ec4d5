#pragma once
// What every command of the console program works with: its command line,
// the registry with the settings engine over it, the streams, the network,
// and the families of Windows and the adapter it acts on.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "net/InterfaceTable.h"
#include "net/Prober.h"
#include "registry/Registry.h"
#include "settings/SettingsEngine.h"
#include "ui/ProductNames.h"
#include "ui/console/CommandLine.h"
#include "ui/console/Console.h"

namespace quillon::ui {

struct Session {
    const CommandLine& line;
    reg::Registry& registry;
    ConsoleOutput& output;
    net::Prober* prober;         // none: probe finds nothing
    net::InterfaceTable* table;  // none: no MTU in use and no route's adapter is known
    settings::SettingsEngine& engine;
    ProductNames names;
    std::array<bool, 2> acts{};  // by family: whether it is acted on
    // The one slot apply and remove act on (--adapter), else every slot.
    std::int16_t slot = settings::SettingsEngine::kEverySlot;

    [[nodiscard]] bool Acts(settings::WindowsFamily family) const { return acts[Index(family)]; }
    void Act(settings::WindowsFamily family, bool on) { acts[Index(family)] = on; }
    [[nodiscard]] const std::string& ProductName(settings::WindowsFamily family) const { return names.Of(family); }

private:
    static std::size_t Index(settings::WindowsFamily family) { return family == settings::WindowsFamily::kNt ? 0 : 1; }
};

// Says what an Apply or a Remove of a family came to, as the window's
// message box would: on standard output where it went through, on standard
// error where it did not. False where it did not.
bool Say(ConsoleOutput& output, const settings::Message& message);

// The commands, one file each; each gives the exit code.
int RunShow(Session& session);
int RunApply(Session& session);
int RunRemove(Session& session);
int RunProbe(Session& session);
int RunExport(Session& session);

struct Adapter;
// Applies the MTU text to every family acted on, as apply does; `one` is the
// adapter --adapter chose, if any.
int ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one);

}  // namespace quillon::ui
