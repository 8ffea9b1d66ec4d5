#pragma once
// The search for the MTU of the path to a host: the largest packet, header
// included, from 88 to 1500 bytes, that reaches the host and comes back
// without being fragmented anywhere on the way.
//
// One probe is in flight at a time. The first is 1280 bytes, which nearly
// every path carries (then the smallest size, to tell a silent host from a
// narrow path); the first answer shows how long a round trip takes, and the
// time-out of every later probe follows that. Then 1500. A router that names
// its next hop's MTU is believed at once: that size is tried next, and
// nothing above it is tried again. Where nothing is said (a black hole), the
// search halves the range between the largest size that passed and the
// smallest that did not. Silence counts as "too big" for the search, but the
// boundary it ends on is tried again before it is believed (more often once
// a loss has been seen), so that a lost packet cannot lower the result.

#include "net/Network.h"

namespace quillon::net {

inline constexpr int kSmallestProbe = 88;
inline constexpr int kLargestProbe = 1500;

struct ProbeLimits {
    int maxProbes = 80;
    unsigned maxMilliseconds = 60000;
};

enum class PathStatus {
    kFound,        // mtu holds the figure
    kSilent,       // the host answered not even the smallest probe
    kUnreachable,  // a router or this system said the host is unreachable
    kBelowRange,   // even the smallest probe is too big for the path
    kCannotSend,   // this system cannot send an unfragmented probe
    kInterrupted,  // the user stopped it
    kOutOfBounds,  // the limits of probes or time were reached first
};

struct PathMtu {
    PathStatus status = PathStatus::kSilent;
    int mtu = 0;          // kFound: the figure; otherwise the largest size that passed
    int probes = 0;       // echoes sent
    std::string reason;   // kUnreachable, kCannotSend: what was said
};

// Told of every probe as it comes back.
class ProbeListener {
public:
    ProbeListener() = default;
    ProbeListener(const ProbeListener&) = delete;
    ProbeListener& operator=(const ProbeListener&) = delete;
    virtual ~ProbeListener() = default;
    virtual void OnProbe(int packetSize, const Echo& echo) = 0;
};

PathMtu FindPathMtu(Network& network, ProbeListener& listener, const ProbeLimits& limits = {});

}  // namespace quillon::net
