// What the probe makes of packets arriving on its raw socket: only an answer
// to the probe in flight counts; other programs' ICMP, late answers, foreign
// and truncated packets never do, and none of them is read past its end.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/Icmp.h"

namespace quillon::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const net::Address kTarget = {203, 0, 113, 9};
const net::Address kRouter = {192, 0, 2, 1};
const net::Address kClient = {192, 0, 2, 2};

Bytes Ip(const net::Address& from, const net::Address& to, const Bytes& payload, std::uint8_t protocol = 1,
         std::size_t optionWords = 0) {
    Bytes packet(20 + optionWords * 4, 0);
    packet[0] = static_cast<std::uint8_t>(0x40 | (5 + optionWords));
    packet[9] = protocol;
    std::copy(from.begin(), from.end(), packet.begin() + 12);
    std::copy(to.begin(), to.end(), packet.begin() + 16);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes Icmp(std::uint8_t type, std::uint8_t code, std::uint16_t id, std::uint16_t seq, std::size_t bytes = 8) {
    Bytes icmp(bytes, 0);
    icmp[0] = type;
    icmp[1] = code;
    icmp[4] = static_cast<std::uint8_t>(id >> 8);
    icmp[5] = static_cast<std::uint8_t>(id);
    icmp[6] = static_cast<std::uint8_t>(seq >> 8);
    icmp[7] = static_cast<std::uint8_t>(seq);
    return icmp;
}

// An ICMP error from `from` quoting an echo request to `to`.
Bytes Error(const net::Address& from, std::uint8_t type, std::uint8_t code, const net::Address& to, std::uint16_t id,
            std::uint16_t seq, std::uint16_t mtu = 0) {
    Bytes icmp = Icmp(type, code, 0, mtu);
    const Bytes quoted = Ip(kClient, to, Icmp(8, 0, id, seq));
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    return Ip(from, kClient, icmp);
}

net::ProbeId Probe() {
    net::ProbeId probe;
    probe.target = kTarget;
    probe.identifier = 0x1234;
    probe.sequence = 7;
    probe.packetSize = 100;
    return probe;
}

TEST(Icmp, OnlyAnAnswerToTheProbeInFlightCounts) {
    const struct {
        const char* what;
        Bytes packet;
        bool answers;
        net::EchoOutcome outcome;
        int nextHopMtu;
        const char* reason;
    } cases[] = {
        {"its echo reply", Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 7, 80)), true, net::EchoOutcome::kPassed, 0, ""},
        {"with IP options", Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 7, 80), 1, 2), true, net::EchoOutcome::kPassed, 0,
         ""},
        {"a reply from elsewhere", Ip(kRouter, kClient, Icmp(0, 0, 0x1234, 7, 80)), false, {}, 0, ""},
        {"another program's ping", Ip(kTarget, kClient, Icmp(0, 0, 0x4321, 7, 80)), false, {}, 0, ""},
        {"a late reply to an earlier probe", Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 6, 80)), false, {}, 0, ""},
        {"a reply of another size", Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 7, 60)), false, {}, 0, ""},
        {"an echo request to this machine", Ip(kTarget, kClient, Icmp(8, 0, 0x1234, 7, 80)), false, {}, 0, ""},
        {"not ICMP", Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 7, 80), 17), false, {}, 0, ""},
        {"fragmentation needed", Error(kRouter, 3, 4, kTarget, 0x1234, 7, 1400), true, net::EchoOutcome::kTooBig,
         1400, ""},
        {"fragmentation needed for another program", Error(kRouter, 3, 4, kTarget, 0x4321, 7, 1400), false, {}, 0,
         ""},
        {"fragmentation needed for another host", Error(kRouter, 3, 4, kRouter, 0x1234, 7, 1400), false, {}, 0, ""},
        {"network unreachable", Error(kRouter, 3, 0, kTarget, 0x1234, 7), true, net::EchoOutcome::kUnreachable, 0,
         "192.0.2.1 says the network is unreachable"},
        {"prohibited", Error(kRouter, 3, 13, kTarget, 0x1234, 7), true, net::EchoOutcome::kUnreachable, 0,
         "192.0.2.1 says communication with the host is administratively prohibited"},
        {"time exceeded", Error(kRouter, 11, 0, kTarget, 0x1234, 7), true, net::EchoOutcome::kUnreachable, 0,
         "192.0.2.1 says the probe's time to live ran out"},
    };
    for (const auto& c : cases) {
        net::Echo echo;
        EXPECT_EQ(net::ReadAnswer(c.packet.data(), c.packet.size(), Probe(), echo), c.answers) << c.what;
        if (c.answers) {
            EXPECT_EQ(echo.outcome, c.outcome) << c.what;
            EXPECT_EQ(echo.nextHopMtu, c.nextHopMtu) << c.what;
            EXPECT_EQ(echo.reason, c.reason) << c.what;
        }
        // Cut short anywhere, no packet is an answer, and none is read past its end.
        for (std::size_t length = 0; length < c.packet.size(); ++length) {
            const Bytes cut(c.packet.begin(), c.packet.begin() + static_cast<std::ptrdiff_t>(length));
            net::Echo ignored;
            // These errors quote no more than the header and eight bytes an answer needs.
            EXPECT_FALSE(net::ReadAnswer(cut.data(), cut.size(), Probe(), ignored)) << c.what << " cut to " << length;
        }
    }
    // A header that claims more than arrived.
    Bytes lying = Ip(kTarget, kClient, Icmp(0, 0, 0x1234, 7, 80));
    lying[0] = 0x4F;
    net::Echo echo;
    EXPECT_FALSE(net::ReadAnswer(lying.data(), 40, Probe(), echo));
}

TEST(Icmp, TheEchoRequestCarriesTheProbeAndAValidChecksum) {
    for (const int size : {28, 88, 89, 1500}) {
        net::ProbeId probe = Probe();
        probe.packetSize = size;
        const Bytes request = net::EchoRequest(probe);
        ASSERT_EQ(request.size(), static_cast<std::size_t>(size - 20));
        EXPECT_EQ(request[0], 8);
        EXPECT_EQ((request[4] << 8) | request[5], 0x1234);
        EXPECT_EQ((request[6] << 8) | request[7], 7);
        unsigned long sum = 0;
        for (std::size_t i = 0; i < request.size(); i += 2) {
            sum += static_cast<unsigned long>(request[i]) << 8 | (i + 1 < request.size() ? request[i + 1] : 0U);
        }
        while ((sum >> 16) != 0) {
            sum = (sum & 0xFFFFU) + (sum >> 16);
        }
        EXPECT_EQ(sum, 0xFFFFU) << size;
    }
}

TEST(Icmp, ReadsOnlyWholeDottedAddresses) {
    const struct {
        const char* text;
        bool address;
    } cases[] = {{"203.0.113.9", true}, {"0.0.0.0", true},   {"255.255.255.255", true}, {"256.0.0.1", false},
                 {"1.2.3", false},      {"1.2.3.4.5", false}, {"1..2.3", false},        {"1.2.3.4 ", false},
                 {"", false},           {"host.test", false}, {"1234.1.1.1", false}};
    for (const auto& c : cases) {
        net::Address address{};
        EXPECT_EQ(net::ParseDotted(c.text, address), c.address) << c.text;
    }
    net::Address parsed{};
    ASSERT_TRUE(net::ParseDotted("203.0.113.9", parsed));
    EXPECT_EQ(net::Dotted(parsed), "203.0.113.9");
}

}  // namespace
}  // namespace quillon::test
