#pragma once
// What every command of the console program works with: its command line,
// the registry with the settings engine over it, the streams, the network,
// and the families of Windows and the adapter it acts on. Each command works
// out its results (ui/console/Results.h) with no output of its own; the
// console then renders them, as prose (Say*) or as a JSON document.

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
#include "ui/console/Results.h"

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
    // Whether a family is acted on, with -6 too: 95, 98 and Me have no IPv6
    // of Windows' own.
    [[nodiscard]] bool ActsFor6(settings::WindowsFamily family) const {
        return Acts(family) && (Ip(net::IpVersion::k4) || family == settings::WindowsFamily::kNt);
    }
    // Whether the IP version is acted on: both, unless -4 or -6 names one.
    [[nodiscard]] bool Ip(net::IpVersion version) const { return line.ipVersion.value_or(version) == version; }
    void Act(settings::WindowsFamily family, bool on) { acts[Index(family)] = on; }
    [[nodiscard]] const std::string& ProductName(settings::WindowsFamily family) const { return names.Of(family); }
    // The path-MTU-discovery switch of a family as it is stored now.
    [[nodiscard]] reg::RawValue SwitchRaw(settings::WindowsFamily family) const;
    // A family's results, added to those of the run, with its caption and
    // its switch as they are now.
    FamilyResult& AddFamily(RunResult& run, settings::WindowsFamily family) const;

private:
    static std::size_t Index(settings::WindowsFamily family) {
        return family == settings::WindowsFamily::kNt ? 0 : 1;
    }
};

// What -6 says where only the 9x family is there.
inline constexpr char kNoIpv6On9x[] = "Windows 95, 98 and Me have no IPv6 of their own: with -6 there is nothing to act on.\n";

// Gives `adapter`, results made just now, the adapter and what it stores.
AdapterResult& AdapterOf(AdapterResult& adapter, settings::WindowsFamily family,
                         const settings::SlotReport& slot);

// How show says the switch's state.
const char* SwitchWords(SwitchState state);

// 3 where Windows refused to put an MTU into use on any adapter, else 0.
int ExitOfInUse(const RunResult& result);

// Says what an Apply or a Remove of a family came to, as the window's
// message box would: on standard output where it went through, on standard
// error where it did not. False where it did not.
bool Say(ConsoleOutput& output, const settings::Message& message);

// The commands, one file each, each filling in its results, and how each
// is said to people.
void Show(Session& session, RunResult& result);
void SayShow(ConsoleOutput& output, const RunResult& result);
void Apply(Session& session, RunResult& result);
void Remove(Session& session, RunResult& result);
// What apply or remove did, and probe --apply.
void SayChange(ConsoleOutput& output, const RunResult& result);
void Check(Session& session, RunResult& result);
// How an adapter does not comply with `mtu`, or where it complies uses less.
std::string HowItComplies(const AdapterResult& adapter, unsigned mtu);
void SayCheck(ConsoleOutput& output, const RunResult& result);
// What probe says while it runs, as prose whatever the rendering: the path
// it opened and the route, then each probe as it comes back; and what the
// figure's own-limit hint needs of the probes.
class ProbeProgress final : public net::ProbeListener {
public:
    explicit ProbeProgress(ConsoleOutput& output) : output_(output) {}
    void Opened(const ProbeResult& probe);
    void OnProbe(int packetSize, const net::Echo& echo) override;

    bool refusedHere = false;  // this system refused a probe itself
    int largestTooBig = 0;     // the largest probe found too big, in whatever form

private:
    ConsoleOutput& output_;
    // IPv6: a router's Packet Too Big always names an MTU, so one heard
    // without it is one the system did not pass on (UDP's, or the IPv6 echo's
    // where the path table has no row for the route).
    bool six_ = false;
};
void Probe(Session& session, ProbeProgress& progress, RunResult& result);
void SayProbe(ConsoleOutput& output, const RunResult& result);
// export writes its file itself: it has no results to render.
int RunExport(Session& session);

struct Adapter;
// Stores the MTU text (or with none, deletes the MTU) for every family acted
// on, as apply (remove) does, into `result`; `one` is the adapter --adapter
// chose, if any.
void StoreOrDelete(Session& session, const std::string* mtu, const std::optional<Adapter>& one, RunResult& result);
void ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one, RunResult& result);

// The document --json writes for `result`: names from the registry in
// UTF-8, as `output` converts them.
std::string JsonDocument(const RunResult& result, ConsoleOutput& output);

}  // namespace quillon::ui
