#include "net/Icmp.h"

#include "net/Mtu.h"
#include "text/Fill.h"

#include <algorithm>
#include <array>

namespace quillon::net {

namespace {

constexpr auto kIpv4Header = static_cast<std::size_t>(kIpv4HeaderBytes);
constexpr auto kIcmpHeader = static_cast<std::size_t>(kIcmpHeaderBytes);
constexpr std::uint8_t kIcmpProtocol = 1;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kFragmentationNeeded = 4;

std::uint16_t ReadBig16(const std::uint8_t* at) { return static_cast<std::uint16_t>((at[0] << 8) | at[1]); }

void WriteBig16(std::uint8_t* at, unsigned value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

// The Internet checksum: the ones' complement of the ones' complement sum of
// the data's 16-bit words.
std::uint16_t Checksum(const std::vector<std::uint8_t>& data) {
    unsigned long sum = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        sum += ReadBig16(&data[i]);
    }
    if (data.size() % 2 != 0) {
        sum += static_cast<unsigned long>(data.back()) << 8;
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xFFFFU) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

// The length of the IPv4 header that starts the packet, if it is an ICMP
// packet with at least an ICMP header after it.
std::size_t IcmpAt(const std::uint8_t* packet, std::size_t length) {
    if (length < kIpv4Header || (packet[0] >> 4) != 4 || packet[9] != kIcmpProtocol) {
        return 0;
    }
    const std::size_t header = static_cast<std::size_t>(packet[0] & 0x0FU) * 4;
    return header >= kIpv4Header && length >= header + kIcmpHeader ? header : 0;
}

bool SameAddress(const std::uint8_t* at, const Address& address) {
    return std::equal(address.begin(), address.end(), at);
}

std::string UnreachableCode(std::uint8_t code) {
    switch (code) {
        case 0:
            return "the network is unreachable";
        case 1:
            return "the host is unreachable";
        case 2:
            return "the protocol is unreachable";
        case 3:
            return "the port is unreachable";
        case 9:
        case 10:
        case 13:
            return "communication with the host is administratively prohibited";
        default:
            return text::Fill("the host is unreachable (code %)", {code});
    }
}

// A digit's value in a number of base 16 or less; 16 for any other character.
std::uint32_t DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint32_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint32_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint32_t>(c - 'A' + 10);
    }
    return 16;
}

constexpr std::uint64_t kAllAddressBits = 0xFFFFFFFFU;

}  // namespace

std::vector<std::uint8_t> ProbeLog::Next(int packetSize, unsigned nowMs) {
    packetSize = std::max(packetSize, kIpAndIcmpHeaders);
    ++sequence_;
    sent_.push_back({sequence_, packetSize, nowMs, false});
    const std::size_t bytes = static_cast<std::size_t>(packetSize) - kIpv4Header;
    std::vector<std::uint8_t> packet(bytes);
    packet[0] = kEchoRequest;
    WriteBig16(&packet[4], identifier_);
    WriteBig16(&packet[6], sequence_);
    for (std::size_t i = kIcmpHeader; i < packet.size(); ++i) {
        packet[i] = EchoFiller(i - kIcmpHeader);
    }
    WriteBig16(&packet[2], Checksum(packet));
    return packet;
}

ProbeLog::Reading ProbeLog::Read(const std::uint8_t* packet, std::size_t length, unsigned nowMs, Echo& echo) {
    const std::size_t header = IcmpAt(packet, length);
    if (header == 0 || sent_.empty()) {
        return Reading::kNothing;
    }
    const std::uint8_t* icmp = packet + header;
    const std::size_t icmpBytes = length - header;
    if (icmp[0] == kEchoReply) {
        if (!SameAddress(packet + 12, target_) || ReadBig16(icmp + 4) != identifier_) {
            return Reading::kNothing;
        }
        for (Sent& probe : sent_) {
            const std::size_t sentData =
                static_cast<std::size_t>(probe.packetSize) - kIpv4Header - kIcmpHeader;
            const std::size_t data = icmpBytes - kIcmpHeader;
            if (probe.sequence != ReadBig16(icmp + 6) || data > sentData) {
                continue;
            }
            for (std::size_t i = 0; i != data; ++i) {
                if (icmp[kIcmpHeader + i] != EchoFiller(i)) {
                    return Reading::kNothing;
                }
            }
            if (probe.answered) {
                return Reading::kNothing;  // a duplicate
            }
            probe.answered = true;
            if (&probe != &sent_.back()) {
                echo.late.push_back({probe.packetSize, nowMs - probe.sentMs});
                return Reading::kLate;
            }
            echo.outcome = EchoOutcome::kPassed;
            echo.elapsedMs = nowMs - probe.sentMs;
            echo.replySize = data < sentData ? static_cast<int>(data) + kIpAndIcmpHeaders : 0;
            return Reading::kInFlight;
        }
        return Reading::kNothing;
    }
    if (icmp[0] != kDestinationUnreachable && icmp[0] != kTimeExceeded) {
        return Reading::kNothing;
    }
    // An error quotes the header of the packet it is about and at least the
    // first eight bytes beyond it: here, the echo request in flight.
    const std::uint8_t* quoted = icmp + kIcmpHeader;
    const std::size_t quotedHeader = IcmpAt(quoted, icmpBytes - kIcmpHeader);
    Sent& inFlight = sent_.back();
    if (quotedHeader == 0 || !SameAddress(quoted + 16, target_) || quoted[quotedHeader] != kEchoRequest ||
        ReadBig16(quoted + quotedHeader + 4) != identifier_ ||
        ReadBig16(quoted + quotedHeader + 6) != inFlight.sequence || inFlight.answered) {
        return Reading::kNothing;
    }
    inFlight.answered = true;
    echo.elapsedMs = nowMs - inFlight.sentMs;
    if (icmp[0] == kDestinationUnreachable && icmp[1] == kFragmentationNeeded) {
        echo.outcome = EchoOutcome::kTooBig;
        echo.nextHopMtu = ReadBig16(icmp + 6);
    } else {
        Address sender{};
        std::copy(packet + 12, packet + 16, sender.begin());
        echo.outcome = EchoOutcome::kUnreachable;
        echo.reason =
            text::Fill("% says %", {Dotted(sender), icmp[0] == kTimeExceeded
                                                        ? std::string("the probe's time to live ran out")
                                                        : UnreachableCode(icmp[1])});
    }
    return Reading::kInFlight;
}

std::uint8_t EchoFiller(std::size_t offset) { return static_cast<std::uint8_t>('a' + offset % 23); }

std::string Dotted(const Address& address) {
    return text::Fill("%.%.%.%", {address[0], address[1], address[2], address[3]});
}

bool ParseDotted(const std::string& text, Address& address) {
    std::array<std::uint32_t, 4> parts{};
    std::size_t count = 0;
    for (std::size_t at = 0;; ++at) {
        // A part as C writes a number: 0x and hexadecimal, 0 and octal, else decimal.
        std::uint32_t base = 10;
        const bool zero = at < text.size() && text[at] == '0';
        if (zero && at + 1 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
            base = 16;
            at += 2;
        } else if (zero) {
            base = 8;
        }
        std::uint64_t value = 0;
        const std::size_t first = at;
        for (; at < text.size() && DigitValue(text[at]) < base; ++at) {
            value = value * base + DigitValue(text[at]);
            if (value > kAllAddressBits) {
                return false;
            }
        }
        if (at == first || count == parts.size()) {
            return false;
        }
        parts[count++] = static_cast<std::uint32_t>(value);
        if (at == text.size()) {
            break;
        }
        if (text[at] != '.') {
            return false;
        }
    }
    // Each part but the last is one byte; the last fills the bytes left.
    Address parsed{};
    const std::size_t lastBytes = parsed.size() + 1 - count;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFFU) {
            return false;
        }
        parsed[i] = static_cast<std::uint8_t>(parts[i]);
    }
    const std::uint32_t last = parts[count - 1];
    if (lastBytes < parsed.size() && (last >> (8 * lastBytes)) != 0) {
        return false;
    }
    for (std::size_t i = 0; i != lastBytes; ++i) {
        parsed[parsed.size() - 1 - i] = static_cast<std::uint8_t>(last >> (8 * i));
    }
    address = parsed;
    return true;
}

}  // namespace quillon::net
