#pragma once
// The search for the MTU of the path to a host: the largest packet, header
// included, within the sizes of its IP version (net/ProbeSizes.h: for IPv4
// from 88 to 1500 bytes), that reaches the host and comes back without being
// fragmented anywhere on the way.
//
// One probe is in flight at a time. The first is the largest size; until
// something answers, the size nearly every path carries (1280, where it is
// above the smallest) and the smallest size follow, to tell a silent host
// from a narrow path. The first answer shows
// how long a round trip takes, and the time-out of every later probe follows
// that. A router that names its next hop's MTU is believed for every size
// above it, and that size is tried next. Where nothing is said (a black hole),
// the search halves the range between the largest size that passed and the
// smallest that did not.
//
// Any reply from the host, however short, proves that the probe reached it
// whole, also when it comes after its time-out. Silence proves nothing: it is
// "too big" or a lost packet. Once a reply has come late (where the system
// hands late replies on), probes wait only a short time each, and the next
// goes while earlier answers may still be on their way: a silence above the
// largest size that passed counts at once, one of a size known to pass as a
// loss only once its answer can no longer come (half as late again as the
// latest answer so far), and the search ends only after every answer still
// due has had that long. So the size the search ends on is believed too
// big on silence alone only once it has been silent so often that loss at the
// rate this path has shown (packets of sizes known to pass that went
// unanswered) cannot explain it; where the probe's bounds do not allow that,
// there is no figure, only the range the MTU lies in. At the boundary (the
// size just above the largest that passed) the tries go in turn with checks
// of that largest size, in an order drawn by lot, so that a host that limits
// its answers leaves the checks unanswered as often as the tries, and its
// silences cannot pass for the path's MTU. Where answers go missing more
// often than loss now and then explains, the probes are spaced further
// apart, at once about as far as the host's last two answers were, for hosts
// and routers that answer only a few packets a second (a slower pace that
// loses no fewer than the pace it came from is slowed again only where it
// loses more than half: loss that does not ease with the pace is the path's); a
// silence heard at a faster pace still counts, but only as much as the loss
// seen at that pace allows, and no longer steers where the search probes
// next.

#include "net/ProbeSizes.h"
#include "net/Prober.h"

namespace quillon::net {

struct ProbeLimits {
    int maxProbes = 120;
    unsigned maxMilliseconds = 90000;  // waiting for answers and pauses together
};

enum class PathStatus {
    kFound,        // mtu holds the figure
    kSilent,       // the host answered not even the smallest probe
    kUnreachable,  // a router or this system said the host is unreachable
    kBelowRange,   // even the smallest probe is too big for the path
    kCannotSend,   // an echo failed: not sent, or an answer that ends the probe
    kInterrupted,  // the user stopped it
    kOutOfBounds,  // the limits of probes or time came first: the MTU lies from mtu to atMost
};

struct PathMtu {
    PathStatus status = PathStatus::kSilent;
    int mtu = 0;         // kFound: the figure; otherwise the largest size that passed (0: none)
    int atMost = 0;      // the largest size not known for certain to be too big
    int probes = 0;      // echoes sent
    unsigned milliseconds = 0;  // waiting for answers and pauses together
    std::string reason;  // kUnreachable, kCannotSend: what was said
};

// Told of every probe as it comes back.
class ProbeListener {
public:
    ProbeListener() = default;
    ProbeListener(const ProbeListener&) = delete;
    ProbeListener& operator=(const ProbeListener&) = delete;
    virtual ~ProbeListener() = default;
    // Late answers to earlier probes that came meanwhile are in echo.late.
    virtual void OnProbe(int packetSize, const Echo& echo) = 0;
};

PathMtu FindPathMtu(Prober& network, ProbeListener& listener, const ProbeSizes& sizes = kIpv4Probes,
                    const ProbeLimits& limits = {});

}  // namespace quillon::net
