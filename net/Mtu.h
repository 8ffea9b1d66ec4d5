#pragma once
// The IP versions, the MTU bounds the program keeps to and the header sizes
// it counts with, each spelt here once.

namespace quillon::net {

// IPv4 or IPv6: each interface has an MTU of each.
enum class IpVersion { k4, k6 };
inline constexpr IpVersion kIpVersions[] = {IpVersion::k4, IpVersion::k6};

// The MTUs the program stores: from 88 bytes up to Ethernet's 1500.
inline constexpr unsigned kSmallestStoredMtu = 88;
inline constexpr unsigned kLargestStoredMtu = 1500;
// IPv4's smallest MTU in use, as Microsoft documents it for an interface
// (Set-NetIPInterface -NlMtuBytes), and the datagram every IPv4 host must
// take whole.
inline constexpr unsigned kSmallestIpv4InUse = 576;
// IPv6's smallest MTU: every IPv6 link carries it, and so nearly every path.
inline constexpr unsigned kSmallestIpv6Mtu = 1280;
// The largest IPv4 packet; an MTU above it is no MTU a path could have.
inline constexpr unsigned kLargestIpv4Packet = 65535;
// The smallest MTU an IPv4 link may have: a router naming less is wrong.
inline constexpr unsigned kSmallestIpv4Link = 68;

inline constexpr int kIpv4HeaderBytes = 20;
inline constexpr int kIpv6HeaderBytes = 40;
inline constexpr int kIcmpHeaderBytes = 8;

}  // namespace quillon::net
