#pragma once
// What each console command found and did, as data with no output in it:
// the console renders it once as prose for people (Say*) and once as one
// JSON document for scripts (JsonDocument).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "net/InterfaceTable.h"
#include "net/Mtu.h"
#include "net/PathMtu.h"
#include "settings/SettingsEngine.h"

namespace quillon::ui {

// Where each IP version's value is kept in the arrays below.
inline constexpr std::size_t kIpv4 = static_cast<std::size_t>(net::IpVersion::k4);
inline constexpr std::size_t kIpv6 = static_cast<std::size_t>(net::IpVersion::k6);

// What an interface says now for one IP version; 0 where the system does not say.
struct IpState {
    unsigned inUse = 0;
    unsigned link = 0;
    bool none = false;  // the adapter has no interface of this IP version now
};

// What apply or remove did to an adapter's stored MTU.
enum class ValueChange {
    kNone,       // show and check: nothing was asked of it
    kWritten,    // apply stored a value it did not hold
    kUnchanged,  // apply stored the value it already held
    kDeleted,    // remove deleted its value
    kAbsent,     // remove found nothing to delete
    kFailed,     // the write or delete was refused
    kUntouched,  // -6: the stored MTU was left as it is
};

// What putting the MTU into use at once did, for one IP version.
enum class InUseResult {
    kNone,          // nothing was asked
    kSet,           // Windows took it; `inUse` is what it reads back
    kRefused,       // Windows refused: `reason`
    kLeftAlone,     // something else set the MTU in use: `reason`
    kRestart,       // this system cannot: it counts from the next restart
    kNotConnected,  // the adapter has no interface of this IP version now
    kTooSmall,      // IPv6: the MTU is below IPv6's smallest, so IPv6's is left as it is
    kNotPutBack,    // IPv6, remove -6 without --adapter: which MTU this tool set is not known
};

struct InUseOutcome {
    InUseResult result = InUseResult::kNone;
    unsigned asked = 0;      // the MTU asked for (0: the link's)
    bool linkMtu = false;    // remove: the link's MTU was asked for
    bool aboveLink = false;  // kSet: the asked MTU is above the link's, so the link's was set
    unsigned before = 0;     // the MTU in use before (0: not known)
    net::MtuSetting refusal = net::MtuSetting::kFailed;  // kRefused: what Windows said
    unsigned error = 0;                                  // and its error code
    net::Kept kept = net::Kept::kNotTried;               // kSet: whether it lasts past a restart
    unsigned keepError = 0;                              // and why not
};

struct AdapterResult {
    settings::WindowsFamily family = settings::WindowsFamily::kNt;
    settings::SlotReport slot;  // slot, card or transport number, service name or IP address, stored text
    unsigned storedMtu = 0;     // the stored MTU as a number (0: none, or not a whole number)
    std::array<IpState, 2> ip;  // by net::IpVersion
    ValueChange change = ValueChange::kNone;
    std::array<InUseOutcome, 2> inUse;
    std::optional<bool> compliant;  // check
    std::array<bool, 2> checks{};   // check: by net::IpVersion, whether it was checked
};

// The path-MTU-discovery switch, as stored.
enum class SwitchState { kDefault, kOn, kOff, kUnreadable, kOtherForm };

struct FamilyResult {
    settings::WindowsFamily family = settings::WindowsFamily::kNt;
    std::string caption;
    std::string switchName;  // the switch's value name
    SwitchState pathMtuDiscovery = SwitchState::kDefault;
    std::vector<AdapterResult> adapters;
    std::string retrieve;  // show: what the window's Retrieve would put into its box
    // apply and remove: the window's message, and whether the change counts
    // only from the next restart here.
    std::optional<settings::Message> message;
    bool restart = false;
};

// How a probe ended, for scripts: each way has its name in the JSON document.
enum class ProbeStatus {
    kFound,
    kSilent,
    kUnreachable,
    kBelowRange,
    kCannotSend,
    kInterrupted,
    kNoSureFigure,  // the bounds of probes or time came first
    kNotStarted,    // the name did not resolve, or nothing can send a probe
};

struct ProbeResult {
    std::string host;
    std::string address;  // empty where the name did not resolve
    std::string means;
    ProbeStatus status = ProbeStatus::kNotStarted;
    net::IpVersion version = net::IpVersion::k4;
    net::ProbeSizes sizes = net::kIpv4Probes;  // the sizes the search went through
    net::PathMtu found;
    net::RouteAdapter via;                // the route's adapter as the system names it
    std::optional<AdapterResult> route;   // and as one of the adapters found
    bool ownLimit = false;                // the figure is this machine's own limit
    bool belowApplied = false;            // --apply: the figure is below what it applies
    std::string byHand;                   // then, the apply command that would set it anyway
};

struct RunResult {
    std::string command;
    int exitCode = 0;
    // Said before anything else, on standard error: an adapter that
    // --adapter does not name, no Windows found.
    std::string failure;
    std::vector<FamilyResult> families;
    // apply and remove with --adapter: that adapter, and what became of the switch.
    std::optional<AdapterResult> one;
    settings::SwitchChange switchChange = settings::SwitchChange::kNone;
    bool changed = false;
    std::optional<ProbeResult> probe;
    std::optional<bool> compliant;  // check
    unsigned checkedMtu = 0;        // check
    bool checks6Only = false;       // check -6
    // What the run said on standard error, a message each, for the JSON document.
    std::vector<std::string> errors;
};

}  // namespace quillon::ui
