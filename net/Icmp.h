#pragma once
// The ICMP side of a probe, apart from any socket: the echo requests it
// sends, and what a packet that arrives says of them. Every packet is read
// with its length checked at each step, since anything may arrive on a raw
// socket: other programs' pings, answers to earlier probes, truncated or
// foreign packets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/Prober.h"

namespace quillon::net {

using Address = std::array<std::uint8_t, 4>;
using Address6 = std::array<std::uint8_t, 16>;

// The probes sent to one host, the last of them in flight.
class ProbeLog {
public:
    ProbeLog(const Address& target, std::uint16_t identifier) : target_(target), identifier_(identifier) {}

    // The ICMP echo request (header and data, without the IP header) of the
    // next probe, a whole IPv4 packet of `packetSize` bytes sent at `nowMs`.
    std::vector<std::uint8_t> Next(int packetSize, unsigned nowMs);

    enum class Reading {
        kNothing,   // not an answer to any probe: pass it over
        kInFlight,  // the answer to the probe in flight, now in `echo`
        kLate,      // the first reply to an earlier probe, added to echo.late
    };
    // What a received IPv4 packet (IP header included) answers. An echo reply
    // from the host to any probe sent, whose data is the start of what that
    // probe carried (a host may cut its reply short), proves the probe got
    // there whole; an ICMP error about the probe in flight says why it did not.
    Reading Read(const std::uint8_t* packet, std::size_t length, unsigned nowMs, Echo& echo);

    [[nodiscard]] const Address& Target() const { return target_; }

private:
    struct Sent {
        std::uint16_t sequence;
        int packetSize;
        unsigned sentMs;
        bool answered;
    };

    Address target_;
    std::uint16_t identifier_;
    std::uint16_t sequence_ = 0;
    std::vector<Sent> sent_;
};

// The byte at `offset` of every echo request's data.
std::uint8_t EchoFiller(std::size_t offset);

std::string Dotted(const Address& address);
// An IPv4 address as Windows Sockets' inet_addr (and so ping) reads it: a,
// a.b, a.b.c or a.b.c.d, each part decimal, octal after a leading 0 or
// hexadecimal after 0x; each part but the last is a byte, the last fills the
// bytes left. Nothing else, not even a space, may follow.
bool ParseDotted(const std::string& text, Address& address);

}  // namespace quillon::net
