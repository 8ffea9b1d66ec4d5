#pragma once
// What the probe asks of the network: the path to a host opened, one echo of
// a given size with don't-fragment set at a time, pauses between them, and
// whether the user asked to stop. The Win32 back end (net/win32/) loads what
// it needs at run time; the tests put a simulated path behind the same
// interface. What the adapters' interfaces use is net/InterfaceTable.h's.

#include <optional>
#include <string>
#include <vector>

#include "net/InterfaceTable.h"
#include "net/ProbeSizes.h"

namespace quillon::net {

// Sizes are whole IPv4 packets: the IP and ICMP headers and the echo's data.
inline constexpr int kIpAndIcmpHeaders = kIpv4Probes.headers;

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

// How PathInfo names the IPv6 probe's means where the system has no IPv6
// echo function: datagrams that a host answers only by saying the port is
// closed, which many hosts do not.
inline constexpr const char kUdpMeansName[] = "through UDP datagrams to a closed port";

// What OpenPath found out about the path to the host.
struct PathInfo {
    std::string address;  // the host's address, IPv4's dotted or IPv6's as text
    std::string means;    // how the probes are sent
    // IPv6: the MTU the route's interface uses (0: the system does not say),
    // and the adapter the route leaves through, where the system says.
    unsigned routeMtu = 0;
    std::optional<RouteAdapter> via;
};

class Prober {
public:
    Prober() = default;
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;
    virtual ~Prober() = default;

    // Resolves `host` to an address of `version` the way the system
    // resolves names and gets ready to probe it. On failure `failure` says
    // what went wrong and what to do.
    virtual bool OpenPath(const std::string& host, IpVersion version, PathInfo& path, std::string& failure) = 0;
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
};

}  // namespace quillon::net
