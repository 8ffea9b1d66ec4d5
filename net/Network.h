#pragma once
// What the console program asks of the network: one echo of a given size with
// don't-fragment set, the MTU an interface uses at this moment, and a change
// of it that counts at once where the system can make one. The
// Win32 back end (net/win32/) loads what it needs at run time; the tests put
// a simulated path behind the same interface.

#include <optional>
#include <string>
#include <vector>

namespace quillon::net {

// Sizes are whole IPv4 packets: 20 bytes of IP header, 8 of ICMP header and
// the echo's data.
inline constexpr int kIpAndIcmpHeaders = 28;

enum class EchoOutcome {
    kPassed,       // the echo reply came back
    kTooBig,       // a router or this system said it needs fragmenting
    kUnreachable,  // a router or this system said the host cannot be reached
    kNoAnswer,     // nothing came back in time: too big, or lost
    kCannotSend,   // the echo failed: this system would not send it, or an answer ends the probe
};

// An echo reply to an earlier probe that came only after that probe's
// time-out: the probe passed all the same.
struct LateAnswer {
    int packetSize = 0;      // what that probe carried
    unsigned elapsedMs = 0;  // from its sending to its reply
};

struct Echo {
    EchoOutcome outcome = EchoOutcome::kNoAnswer;
    int nextHopMtu = 0;            // kTooBig: the MTU a router named, or this system learnt (0: none)
    bool mtuLearnt = false;        // kTooBig: nextHopMtu is what this system learnt for the path
    bool refusedHere = false;      // kTooBig: this system refused to send it
    unsigned elapsedMs = 0;        // from sending to the answer or the time-out
    int replySize = 0;             // kPassed: the reply's size where the host cut it short (0: it did not)
    std::string reason;            // kUnreachable, kCannotSend: what was said
    std::vector<LateAnswer> late;  // late replies to earlier probes that came while this one waited
};

// What OpenPath found out about the path to the host.
struct PathInfo {
    std::string address;  // the host's IPv4 address
    std::string means;    // how the probes are sent
    // The adapter the route to the host leaves through, by the name the IP
    // helper gives it (on NT the adapter's service name) and its IPv4
    // address; both empty where the system does not say.
    std::string routeAdapter;
    std::string routeAddress;
};

// What came of putting an MTU into use on an adapter's IPv4 interface at once.
enum class MtuSetting {
    kSet,         // Windows took it; `inUse` is what the interface reads back
    kNoRights,    // Windows let only an administrator change it
    kRefused,     // Windows does not take this value at once (ERROR_INVALID_PARAMETER)
    kNoInterface, // the adapter has no IPv4 interface now (not connected, or IPv4 off)
    kFailed,      // another failure: `error` says which
    kMissing,     // this system cannot change the MTU in use (before Vista): it counts from a restart
};

struct MtuChange {
    MtuSetting outcome = MtuSetting::kMissing;
    unsigned inUse = 0;      // the MTU the interface uses now, as read back (0: unknown)
    unsigned linkMtu = 0;    // the link's MTU, where known (0: unknown)
    bool aboveLink = false;  // kSet: what was asked is above the link's MTU, so the link's was set
    unsigned error = 0;      // kFailed: the system's error code
};

class Network {
public:
    Network() = default;
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
    virtual ~Network() = default;

    // Resolves `host` the way the system resolves names and gets ready to
    // probe it. On failure `failure` says what went wrong and what to do.
    virtual bool OpenPath(const std::string& host, PathInfo& path, std::string& failure) = 0;
    // Sends one echo of `packetSize` bytes with don't-fragment set to the
    // host of OpenPath and waits at most `timeoutMs` for its answer. Packets
    // that answer none of the probes sent (other programs' ICMP) are passed
    // over; a reply to an earlier probe that comes meanwhile is one of `late`.
    virtual Echo Send(int packetSize, unsigned timeoutMs) = 0;
    // Waits before the next probe, so that a host or router that limits its
    // answers per second has them to give; ends early on Ctrl+C.
    virtual void Pause(unsigned milliseconds) = 0;
    // Whether the user asked to stop (Ctrl+C, Ctrl+Break).
    virtual bool Interrupted() = 0;

    // The IPv4 MTU the interface of an adapter uses now, the adapter named by
    // its service name (NT) or its IP address (9x); nothing where the system
    // or the adapter does not say.
    virtual std::optional<unsigned> MtuInUse(const std::string& adapter) = 0;
    // The MTU of the adapter's link, which no stored MTU can raise; nothing
    // where the system does not say.
    virtual std::optional<unsigned> LinkMtu(const std::string& adapter) = 0;
    // Puts `mtu` into use at once on the adapter's IPv4 interface (0: the
    // link's MTU), never more than the link's MTU, and reads it back.
    virtual MtuChange SetMtuInUse(const std::string& adapter, unsigned mtu) = 0;
};

}  // namespace quillon::net
