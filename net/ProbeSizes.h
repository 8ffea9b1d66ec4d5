#pragma once
// The sizes the probe works with, per IP version: whole packets, headers
// included. A probe over another IP version brings its own.

namespace quillon::net {

struct ProbeSizes {
    int smallest;      // the smallest probe: the smallest MTU this tool sets
    int largest;       // the largest probe and the first: Ethernet's MTU
    int common;        // the size nearly every path carries, tried early
    int headers;       // the IP and ICMP headers: a probe's size less its echo data
    int smallestLink;  // the smallest MTU a link may have: a router naming less is wrong
};

// IPv4: 20 bytes of IP header and 8 of ICMP header; a link carries at least
// 68 bytes.
inline constexpr ProbeSizes kIpv4Probes{88, 1500, 1280, 20 + 8, 68};

}  // namespace quillon::net
