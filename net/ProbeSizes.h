#pragma once
// The sizes the probe works with, per IP version: whole packets, headers
// included. A probe over another IP version brings its own.

#include "net/Mtu.h"

namespace quillon::net {

struct ProbeSizes {
    int smallest;      // the smallest probe: the smallest MTU this tool sets
    int largest;       // the largest probe and the first: Ethernet's MTU
    int common;        // the size nearly every path carries, tried early
    int headers;       // the IP and ICMP headers: a probe's size less its echo data
    int smallestLink;  // the smallest MTU a link may have: a router naming less is wrong
};

inline constexpr ProbeSizes kIpv4Probes{static_cast<int>(kSmallestStoredMtu), static_cast<int>(kLargestStoredMtu),
                                        static_cast<int>(kSmallestIpv6Mtu), kIpv4HeaderBytes + kIcmpHeaderBytes,
                                        static_cast<int>(kSmallestIpv4Link)};
// IPv6's: every IPv6 link carries 1280, so no path has a smaller MTU; a
// search of an IPv6 path goes no higher than the MTU of the route's
// interface, where the system says it, given as `largest`.
inline constexpr ProbeSizes kIpv6Probes{static_cast<int>(kSmallestIpv6Mtu), static_cast<int>(kLargestStoredMtu),
                                        static_cast<int>(kSmallestIpv6Mtu), kIpv6HeaderBytes + kIcmpHeaderBytes,
                                        static_cast<int>(kSmallestIpv6Mtu)};

}  // namespace quillon::net
