// What the probe makes of packets arriving on its raw socket: a reply from
// the host to any probe sent counts, however short, once; an error counts
// for the probe in flight; other programs' ICMP, foreign and truncated
// packets never do, and none of them is read past its end.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/Icmp.h"

namespace quillon::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Reading = net::ProbeLog::Reading;
const net::Address kTarget = {203, 0, 113, 9};
const net::Address kRouter = {192, 0, 2, 1};
const net::Address kClient = {192, 0, 2, 2};
constexpr std::uint16_t kId = 0x1234;

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

// A log of two probes to the target: sequence 1 of 1500 bytes sent at 0 ms,
// and sequence 2 of 100 bytes sent at 10 ms, in flight.
struct TwoProbes {
    net::ProbeLog log{kTarget, kId};
    Bytes first = log.Next(1500, 0);
    Bytes inFlight = log.Next(100, 10);
};

// The reply a host makes of a request: the same identifier, sequence and
// data, cut to `data` bytes (all where negative).
Bytes Reply(Bytes request, int data = -1, std::uint8_t type = 0) {
    request[0] = type;
    if (data >= 0) {
        request.resize(8 + static_cast<std::size_t>(data));
    }
    return request;
}

// An ICMP error from `from` quoting an echo request to `to`.
Bytes Error(const net::Address& from, std::uint8_t type, std::uint8_t code, const net::Address& to,
            const Bytes& request, std::uint16_t mtu = 0) {
    Bytes icmp = {
        type, code, 0, 0, 0, 0, static_cast<std::uint8_t>(mtu >> 8), static_cast<std::uint8_t>(mtu)};
    const Bytes quoted = Ip(kClient, to, Bytes(request.begin(), request.begin() + 8));
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    return Ip(from, kClient, icmp);
}

TEST(Icmp, ARepliesCountByWhatItAnswersNotByItsLength) {
    const TwoProbes p;
    Bytes otherData = Reply(p.inFlight);
    otherData.back() ^= 1;
    Bytes otherId = Reply(p.inFlight);
    otherId[5] ^= 1;
    Bytes unknownSequence = Reply(p.inFlight);
    unknownSequence[7] = 3;
    Bytes longer = Reply(p.inFlight);
    for (std::size_t i = longer.size() - 8; i != 90; ++i) {
        longer.push_back(static_cast<std::uint8_t>('a' + i % 23));  // the requests' own filler, carried on
    }
    const struct {
        const char* what;
        Bytes packet;
        Reading reading;
        net::EchoOutcome outcome;
        int replySize;  // or, for a late answer, the size of the probe it answers
        int nextHopMtu;
        const char* reason;
    } cases[] = {
        {"its whole reply", Ip(kTarget, kClient, Reply(p.inFlight)), Reading::kInFlight,
         net::EchoOutcome::kPassed, 0, 0, ""},
        {"with IP options", Ip(kTarget, kClient, Reply(p.inFlight), 1, 2), Reading::kInFlight,
         net::EchoOutcome::kPassed, 0, 0, ""},
        {"cut to 40 bytes of data", Ip(kTarget, kClient, Reply(p.inFlight, 40)), Reading::kInFlight,
         net::EchoOutcome::kPassed, 68, 0, ""},
        {"with no data at all", Ip(kTarget, kClient, Reply(p.inFlight, 0)), Reading::kInFlight,
         net::EchoOutcome::kPassed, 28, 0, ""},
        {"a late reply to the first, cut to 68",
         Ip(kTarget, kClient, Reply(p.first, 68)),
         Reading::kLate,
         {},
         1500,
         0,
         ""},
        {"longer than the request", Ip(kTarget, kClient, longer), Reading::kNothing, {}, 0, 0, ""},
        {"other data", Ip(kTarget, kClient, otherData), Reading::kNothing, {}, 0, 0, ""},
        {"another program's ping", Ip(kTarget, kClient, otherId), Reading::kNothing, {}, 0, 0, ""},
        {"a sequence never sent", Ip(kTarget, kClient, unknownSequence), Reading::kNothing, {}, 0, 0, ""},
        {"a reply from elsewhere", Ip(kRouter, kClient, Reply(p.inFlight)), Reading::kNothing, {}, 0, 0, ""},
        {"an echo request to this machine",
         Ip(kTarget, kClient, Reply(p.inFlight, -1, 8)),
         Reading::kNothing,
         {},
         0,
         0,
         ""},
        {"not ICMP", Ip(kTarget, kClient, Reply(p.inFlight), 17), Reading::kNothing, {}, 0, 0, ""},
        {"fragmentation needed", Error(kRouter, 3, 4, kTarget, p.inFlight, 1400), Reading::kInFlight,
         net::EchoOutcome::kTooBig, 0, 1400, ""},
        {"fragmentation needed for the earlier probe",
         Error(kRouter, 3, 4, kTarget, p.first, 1400),
         Reading::kNothing,
         {},
         0,
         0,
         ""},
        {"fragmentation needed for another program",
         Error(kRouter, 3, 4, kTarget, otherId, 1400),
         Reading::kNothing,
         {},
         0,
         0,
         ""},
        {"fragmentation needed for another host",
         Error(kRouter, 3, 4, kRouter, p.inFlight, 1400),
         Reading::kNothing,
         {},
         0,
         0,
         ""},
        {"network unreachable", Error(kRouter, 3, 0, kTarget, p.inFlight), Reading::kInFlight,
         net::EchoOutcome::kUnreachable, 0, 0, "192.0.2.1 says the network is unreachable"},
        {"prohibited", Error(kRouter, 3, 13, kTarget, p.inFlight), Reading::kInFlight,
         net::EchoOutcome::kUnreachable, 0, 0,
         "192.0.2.1 says communication with the host is administratively prohibited"},
        {"time exceeded", Error(kRouter, 11, 0, kTarget, p.inFlight), Reading::kInFlight,
         net::EchoOutcome::kUnreachable, 0, 0, "192.0.2.1 says the probe's time to live ran out"},
    };
    for (const auto& c : cases) {
        TwoProbes fresh;
        net::Echo echo;
        ASSERT_EQ(fresh.log.Read(c.packet.data(), c.packet.size(), 25, echo), c.reading) << c.what;
        if (c.reading == Reading::kInFlight) {
            EXPECT_EQ(echo.outcome, c.outcome) << c.what;
            EXPECT_EQ(echo.elapsedMs, 15U) << c.what;
            EXPECT_EQ(c.outcome == net::EchoOutcome::kPassed ? echo.replySize : 0, c.replySize) << c.what;
            EXPECT_EQ(echo.nextHopMtu, c.nextHopMtu) << c.what;
            EXPECT_EQ(echo.reason, c.reason) << c.what;
        }
        if (c.reading == Reading::kLate) {
            ASSERT_EQ(echo.late.size(), 1U) << c.what;
            EXPECT_EQ(echo.late[0].packetSize, c.replySize) << c.what;
            EXPECT_EQ(echo.late[0].elapsedMs, 25U) << c.what;
        }
        if (c.reading != Reading::kNothing) {
            net::Echo again;
            EXPECT_EQ(fresh.log.Read(c.packet.data(), c.packet.size(), 30, again), Reading::kNothing)
                << c.what << ": counted twice";
        }
        // Cut short anywhere, a packet is never read past its end; an echo
        // reply cut after its header is a reply cut short, an error never
        // an answer.
        const std::size_t ipHeader = static_cast<std::size_t>(c.packet[0] & 0x0F) * 4;
        for (std::size_t length = 0; length < c.packet.size(); ++length) {
            TwoProbes cutLog;
            const Bytes cut(c.packet.begin(), c.packet.begin() + static_cast<std::ptrdiff_t>(length));
            net::Echo ignored;
            const bool answers = cutLog.log.Read(cut.data(), cut.size(), 25, ignored) != Reading::kNothing;
            const bool echoReply = c.packet[9] == 1 && c.packet[ipHeader] == 0;
            if (c.reading != Reading::kNothing || !echoReply) {
                EXPECT_EQ(answers, c.reading != Reading::kNothing && echoReply && length >= ipHeader + 8)
                    << c.what << " cut to " << length;
            }
        }
    }
    // A header that claims more than arrived.
    TwoProbes lying;
    Bytes packet = Ip(kTarget, kClient, Reply(lying.inFlight));
    packet[0] = 0x4F;
    net::Echo echo;
    EXPECT_EQ(lying.log.Read(packet.data(), 40, 25, echo), Reading::kNothing);
}

TEST(Icmp, EachEchoRequestCarriesTheNextSequenceAndAValidChecksum) {
    net::ProbeLog log(kTarget, kId);
    std::uint16_t sequence = 0;
    for (const int size : {28, 88, 89, 1500}) {
        const Bytes request = log.Next(size, 0);
        ++sequence;
        ASSERT_EQ(request.size(), static_cast<std::size_t>(size - 20));
        EXPECT_EQ(request[0], 8);
        EXPECT_EQ((request[4] << 8) | request[5], kId);
        EXPECT_EQ((request[6] << 8) | request[7], sequence);
        unsigned long sum = 0;
        for (std::size_t i = 0; i < request.size(); i += 2) {
            sum +=
                static_cast<unsigned long>(request[i]) << 8 | (i + 1 < request.size() ? request[i + 1] : 0U);
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
    } cases[] = {{"203.0.113.9", true}, {"0.0.0.0", true},    {"255.255.255.255", true}, {"256.0.0.1", false},
                 {"1.2.3.", false},     {"1.2.3.4.5", false}, {"1..2.3", false},         {"1.2.3.4 ", false},
                 {"", false},           {"host.test", false}, {"1234.1.1.1", false}};
    for (const auto& c : cases) {
        net::Address address{};
        EXPECT_EQ(net::ParseDotted(c.text, address), c.address) << c.text;
    }
    net::Address parsed{};
    ASSERT_TRUE(net::ParseDotted("203.0.113.9", parsed));
    EXPECT_EQ(net::Dotted(parsed), "203.0.113.9");
}

TEST(Icmp, ReadsEachPartInTheBaseThatInetAddrReads) {
    const struct {
        const char* text;
        const char* address;  // nullptr: not an address
    } cases[] = {
        {"0300.0.2.010", "192.0.2.8"}, {"0xC0.0x0.0X2.0x8", "192.0.2.8"},
        {"192.0.2.010", "192.0.2.8"},  {"198.51.25615", "198.51.100.15"},
        {"203.28942", "203.0.113.14"}, {"3221225992", "192.0.2.8"},
        {"192.0.65536", nullptr},      {"4294967296", nullptr},
        {"0300.0.2.08", nullptr},      {"0x.0.2.8", nullptr},
    };
    for (const auto& c : cases) {
        net::Address address{};
        const bool parsed = net::ParseDotted(c.text, address);
        EXPECT_EQ(parsed, c.address != nullptr) << c.text;
        if (parsed && c.address != nullptr) {
            EXPECT_EQ(net::Dotted(address), c.address) << c.text;
        }
    }
}

}  // namespace
}  // namespace quillon::test
