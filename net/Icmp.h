#pragma once
// The ICMP side of a probe, apart from any socket: the echo request it sends,
// and what a packet that arrives says of it. Every packet is read with its
// length checked at each step, since anything may arrive on a raw socket:
// other programs' pings, answers to earlier probes, truncated or foreign
// packets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/Network.h"

namespace quillon::net {

using Address = std::array<std::uint8_t, 4>;

// The probe in flight.
struct ProbeId {
    Address target{};
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    int packetSize = 0;  // the whole IPv4 packet
};

// The ICMP echo request (header and data, without the IP header) of a probe.
std::vector<std::uint8_t> EchoRequest(const ProbeId& probe);

// Whether a received IPv4 packet (IP header included) answers the probe:
// its echo reply from the target, or an ICMP error about it from anywhere on
// the way. Sets `echo` if so.
bool ReadAnswer(const std::uint8_t* packet, std::size_t length, const ProbeId& probe, Echo& echo);

std::string Dotted(const Address& address);
// Four decimal numbers from 0 to 255 with points between.
bool ParseDotted(const std::string& text, Address& address);

}  // namespace quillon::net
