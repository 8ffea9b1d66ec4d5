#pragma once
// What show, apply and remove ask of the network, and the probe of the route
// it found: the adapter the route to a host leaves through, the MTU an
// adapter's interface uses at this moment and its link's, and a change of
// it that counts at once where the system can make one. The Win32 back end
// (net/win32/) reads the IP helper's tables; the tests put a table of their
// own behind the same interface.

#include <optional>
#include <string>

#include "net/Mtu.h"

namespace quillon::net {

// The adapter the route to a host leaves through, by the name the IP helper
// gives it (on NT the adapter's service name) and its IPv4 address; both
// empty where the system does not say.
struct RouteAdapter {
    std::string name;
    std::string address;
};

// What came of putting an MTU into use at once on an adapter's interface of
// one IP version.
enum class MtuSetting {
    kSet,          // Windows took it; `inUse` is what the interface reads back
    kNoRights,     // Windows let only an administrator change it
    kRefused,      // Windows does not take this value at once (ERROR_INVALID_PARAMETER)
    kNoInterface,  // the adapter has no interface of that IP version now (not connected, or it is off)
    kLinkUnknown,  // the link's MTU was asked for, and the system does not say it
    kFailed,       // another failure: `error` says which
    kMissing,      // this system cannot change the MTU in use (before Vista): it counts from a restart
};

// Whether Windows keeps an MTU put into use past a restart: its persistent
// store, written through netsh, copied into use at each start-up.
enum class Kept {
    kNotTried,    // nothing was stored: it lasts until Windows restarts
    kKept,        // the persistent store took it
    kRefused,     // netsh ran and did not store it: `keepError` is its exit code
    kNotStarted,  // netsh could not be run: `keepError` is the system's error
    kTimedOut,    // netsh did not end in time, and was ended
};

struct MtuChange {
    MtuSetting outcome = MtuSetting::kMissing;
    unsigned inUse = 0;      // the MTU the interface uses now, as read back (0: unknown)
    unsigned linkMtu = 0;    // the link's MTU, where known (0: unknown)
    bool aboveLink = false;  // kSet: what was asked is above the link's MTU, so the link's was set
    unsigned error = 0;      // kFailed: the system's error code
    Kept kept = Kept::kNotTried;  // kSet: whether it lasts past a restart
    unsigned keepError = 0;
};

class InterfaceTable {
public:
    InterfaceTable() = default;
    InterfaceTable(const InterfaceTable&) = delete;
    InterfaceTable& operator=(const InterfaceTable&) = delete;
    virtual ~InterfaceTable() = default;

    // The adapter the route to `address` (as PathInfo gives it) leaves
    // through; of an IPv6 address only where PathInfo did not say it.
    virtual RouteAdapter Route(const std::string& address) = 0;
    // The MTU the adapter's interface of `version` uses now, the adapter
    // named by its service name (NT) or its IP address (9x); nothing where
    // the system or the adapter does not say; 0 where the system lists the
    // adapter and it has no interface of that version now.
    virtual std::optional<unsigned> MtuInUse(const std::string& adapter, IpVersion version) = 0;
    // The MTU of the adapter's link, which no stored MTU can raise; nothing
    // where the system does not say.
    virtual std::optional<unsigned> LinkMtu(const std::string& adapter) = 0;
    // Puts `mtu` into use at once on the adapter's interface of `version`
    // (0: the link's MTU), never more than the link's MTU, and reads it back.
    virtual MtuChange SetMtuInUse(const std::string& adapter, unsigned mtu, IpVersion version) = 0;
};

}  // namespace quillon::net
