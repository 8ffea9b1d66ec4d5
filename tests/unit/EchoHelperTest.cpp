// The probe's choice between the IP helper's echo function and a raw socket,
// made by how the system behaves, and what each answer of the echo function
// means to the search; over a stand-in for the system's functions.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "net/EchoHelper.h"

namespace quillon::test {
namespace {

const net::Address kTarget = {203, 0, 113, 9};
const net::Address kRouter = {192, 0, 2, 1};
const net::Address kLocal = {192, 0, 2, 2};  // the route interface's own

class StandInSenders final : public net::Senders {
public:
    bool hasHelper = true;
    std::optional<unsigned> routeMtu = 1500;
    net::HelperAnswer trial;  // what the echo larger than the route's MTU gives
    bool rawOpens = true;
    bool needsRights = true;            // NT from Windows 2000 on
    std::vector<std::uint32_t> echoed;  // data bytes of each echo sent
    bool rawTried = false;

    bool HasEchoHelper() override { return hasHelper; }
    net::HelperAnswer HelperEcho(std::uint32_t dataBytes, unsigned) override {
        echoed.push_back(dataBytes);
        return trial;
    }
    std::optional<unsigned> RouteMtu() override { return routeMtu; }
    bool OpenRawSocket(std::string& failure) override {
        rawTried = true;
        failure = "it would not open a raw ICMP socket (Windows Sockets error 10013).";
        return rawOpens;
    }
    bool RawSocketNeedsRights() override { return needsRights; }
};

TEST(EchoHelper, TheMeansFollowWhatTheSystemDoesWithTheFlag) {
    const net::HelperAnswer refusedAtOnce{false, net::kIpPacketTooBig, {}, 0};
    const net::HelperAnswer sentAnyway{true, net::kIpSuccess, kTarget, 1473};
    const net::HelperAnswer unanswered{false, net::kIpReqTimedOut, {}, 0};
    const struct {
        const char* what;
        bool hasHelper;
        std::optional<unsigned> routeMtu;
        net::HelperAnswer trial;
        bool rawOpens;
        net::Means means;
        const char* failure;  // part of what is said when neither serves
    } cases[] = {
        {"the IP helper refuses the oversized echo", true, 1500, refusedAtOnce, false,
         net::Means::kEchoHelper, ""},
        {"the IP helper sends it fragmented", true, 1500, sentAnyway, true, net::Means::kRawSocket, ""},
        {"the oversized echo goes unanswered", true, 1500, unanswered, true, net::Means::kRawSocket, ""},
        {"no IP helper", false, 1500, refusedAtOnce, true, net::Means::kRawSocket, ""},
        {"no route MTU", true, std::nullopt, refusedAtOnce, true, net::Means::kRawSocket, ""},
        {"the loopback's MTU, 0xFFFFFFFF", true, 0xFFFFFFFFU, refusedAtOnce, true, net::Means::kRawSocket,
         ""},
        {"it sends it, and no raw socket", true, 1500, sentAnyway, false, net::Means::kNone,
         "does not honour don't-fragment (it sent an echo larger than the 1500-byte MTU of the interface), "
         "and it would not open a raw ICMP socket"},
        {"no IP helper, and no raw socket", false, 1500, sentAnyway, false, net::Means::kNone,
         "no IP helper echo function (IcmpSendEcho), and it would not open a raw ICMP socket"},
    };
    for (const auto& c : cases) {
        StandInSenders senders;
        senders.hasHelper = c.hasHelper;
        senders.routeMtu = c.routeMtu;
        senders.trial = c.trial;
        senders.rawOpens = c.rawOpens;
        const net::MeansChosen chosen = net::ChooseMeans(senders);
        EXPECT_EQ(chosen.means, c.means) << c.what;
        EXPECT_NE(chosen.failure.find(c.failure), std::string::npos) << c.what << ": " << chosen.failure;
        // The trial is one byte more than the route's MTU, header included,
        // and a raw socket is opened only where the IP helper does not serve.
        EXPECT_EQ(senders.echoed, c.hasHelper && c.routeMtu == 1500U ? std::vector<std::uint32_t>{1473}
                                                                     : std::vector<std::uint32_t>{})
            << c.what;
        EXPECT_EQ(senders.rawTried, c.means != net::Means::kEchoHelper) << c.what;
    }
}

TEST(EchoHelper, ATrialEchoNotSentEndsTheProbeWhereARawSocketNeedsRights) {
    const struct {
        net::HelperAnswer trial;
        bool needsRights;
        net::Means means;
        const char* failure;
    } cases[] = {
        {{false, net::kIpGeneralFailure, {}, 0}, true, net::Means::kNone, "failure (status 11050). Windows"},
        {{false, net::kIpDestHostUnreachable, {}, 0}, true, net::Means::kNone, "(status 11003). Check the"},
        {{false, net::kErrorAccessDenied, {}, 0}, true, net::Means::kNone, "denied (error 5). This program"},
        {{false, 11007, {}, 0}, true, net::Means::kNone, "the echo failed (status 11007)"},
        {{false, net::kIpGeneralFailure, {}, 0}, false, net::Means::kRawSocket, ""},
    };
    for (const auto& c : cases) {
        StandInSenders senders;
        senders.trial = c.trial;
        senders.needsRights = c.needsRights;
        const net::MeansChosen chosen = net::ChooseMeans(senders);
        EXPECT_EQ(chosen.means, c.means) << c.trial.status;
        EXPECT_NE(chosen.failure.find(c.failure), std::string::npos) << chosen.failure;
        EXPECT_EQ(chosen.failure.find("unfragmented"), std::string::npos) << chosen.failure;
        EXPECT_EQ(senders.rawTried, !c.needsRights) << c.trial.status;
    }
}

TEST(EchoHelper, OnlyTheRouteInterfacesLearntMtuCounts) {
    const std::vector<net::LearntPath> rows = {
        {kTarget, 7, 1300}, {kRouter, 2, 1200}, {kTarget, 2, 1400}, {kTarget, 9, 1100}};
    EXPECT_EQ(net::LearntOnRoute(rows, kTarget, 2), 1400U);
    EXPECT_EQ(net::LearntOnRoute(rows, kRouter, 7), std::nullopt);
}

TEST(EchoHelper, EachAnswerMeansWhatWindowsMeansByIt) {
    using net::EchoOutcome;
    const struct {
        const char* what;
        net::HelperAnswer answer;
        std::optional<unsigned> learnt;
        EchoOutcome outcome;
        int replySize;
        int nextHopMtu;
        bool refusedHere;
        const char* reason;
    } cases[] = {
        {"the host's whole reply",
         {true, net::kIpSuccess, kTarget, 1372},
         {},
         EchoOutcome::kPassed,
         0,
         0,
         false,
         ""},
        {"the host's reply cut to 68 bytes",
         {true, net::kIpSuccess, kTarget, 68},
         {},
         EchoOutcome::kPassed,
         96,
         0,
         false,
         ""},
        // IPv6: the system fragmented the echo itself, so it proves nothing.
        {"the host's reply to an echo above the path MTU learnt",
         {true, net::kIpSuccess, kTarget, 1372},
         1300,
         EchoOutcome::kTooBig,
         0,
         1300,
         true,
         ""},
        {"a silence above the path MTU learnt meanwhile",
         {false, net::kIpReqTimedOut},
         1300,
         EchoOutcome::kTooBig,
         0,
         1300,
         false,
         ""},
        {"the host's reply with other data",
         {true, net::kIpSuccess, kTarget, 68, true},
         {},
         EchoOutcome::kNoAnswer,
         0,
         0,
         false,
         ""},
        {"a reply from another host",
         {true, net::kIpSuccess, kRouter, 1372},
         {},
         EchoOutcome::kNoAnswer,
         0,
         0,
         false,
         ""},
        {"too big, said by a router, learnt 1280",
         {true, net::kIpPacketTooBig, kRouter, 0},
         1280,
         EchoOutcome::kTooBig,
         0,
         1280,
         false,
         ""},
        {"too big here, nothing learnt",
         {false, net::kIpPacketTooBig, {}, 0},
         {},
         EchoOutcome::kTooBig,
         0,
         0,
         true,
         ""},
        {"too big, as a reply from the zero address", {true, net::kIpPacketTooBig, {}, 0}, {},
         EchoOutcome::kTooBig, 0, 0, true, ""},
        {"too big, as a reply from this system's own address", {true, net::kIpPacketTooBig, kLocal, 0}, {},
         EchoOutcome::kTooBig, 0, 0, true, ""},
        {"too big, as a reply from the loopback", {true, net::kIpPacketTooBig, {127, 0, 0, 1}, 0}, {},
         EchoOutcome::kTooBig, 0, 0, true, ""},
        {"too big, learnt no less than the probe",
         {false, net::kIpPacketTooBig, {}, 0},
         1400,
         EchoOutcome::kTooBig,
         0,
         0,
         true,
         ""},
        {"timed out", {false, net::kIpReqTimedOut, {}, 0}, {}, EchoOutcome::kNoAnswer, 0, 0, false, ""},
        {"network unreachable",
         {true, net::kIpDestNetUnreachable, kRouter, 0},
         {},
         EchoOutcome::kUnreachable,
         0,
         0,
         false,
         "192.0.2.1 says the network is unreachable"},
        {"no route here",
         {false, net::kIpDestHostUnreachable, {}, 0},
         {},
         EchoOutcome::kUnreachable,
         0,
         0,
         false,
         "this system says the host is unreachable"},
        {"time to live",
         {true, net::kIpTtlExpiredTransit, kRouter, 0},
         {},
         EchoOutcome::kUnreachable,
         0,
         0,
         false,
         "192.0.2.1 says the probe's time to live ran out"},
        {"a general failure",
         {false, 11050, {}, 0},
         {},
         EchoOutcome::kCannotSend,
         0,
         0,
         false,
         "the echo failed (status 11050: a general failure)"},
        {"11004",
         {true, 11004, kRouter, 0},
         {},
         EchoOutcome::kUnreachable,
         0,
         0,
         false,
         "192.0.2.1 says the protocol is unreachable, or communication with the host is administratively "
         "prohibited"},
        {"source quench", {true, 11016, kRouter, 0}, {}, EchoOutcome::kNoAnswer, 0, 0, false, ""},
        {"bad route",
         {true, 11012, kRouter, 0},
         {},
         EchoOutcome::kCannotSend,
         0,
         0,
         false,
         "the echo failed (status 11012: a bad route)"},
        {"not known",
         {true, 11099, kRouter, 0},
         {},
         EchoOutcome::kCannotSend,
         0,
         0,
         false,
         "the echo failed (status 11099)"},
    };
    for (const auto& c : cases) {
        const net::Echo echo = net::ReadHelperAnswer(c.answer, 1400, kTarget, c.learnt, kLocal);
        EXPECT_EQ(echo.outcome, c.outcome) << c.what;
        EXPECT_EQ(echo.replySize, c.replySize) << c.what;
        EXPECT_EQ(echo.nextHopMtu, c.nextHopMtu) << c.what;
        EXPECT_EQ(echo.mtuLearnt, c.nextHopMtu != 0) << c.what;
        EXPECT_EQ(echo.refusedHere, c.refusedHere) << c.what;
        EXPECT_EQ(echo.reason, c.reason) << c.what;
    }
}

}  // namespace
}  // namespace quillon::test
