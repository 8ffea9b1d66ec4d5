#include "net/EchoHelper.h"

#include "text/Fill.h"

namespace quillon::net {

namespace {

constexpr std::uint8_t kLoopbackNet = 127;  // 127.0.0.0/8
// The echo that tells whether the IP helper honours don't-fragment goes
// unanswered in a second on a system that sends it; one that honours the
// flag refuses it at once.
constexpr unsigned kTrialTimeoutMs = 1000;
// The largest echo the IP helper takes.
constexpr unsigned kLargestTrial = 65500;
// The IP_STATUS codes start here; a smaller number is a system error.
constexpr std::uint32_t kIpStatusBase = 11000;

// What a status of the echo function says, where the probe knows it.
const char* StatusWords(std::uint32_t status) {
    switch (status) {
        case kIpDestNetUnreachable:
            return "the network is unreachable";
        case kIpDestHostUnreachable:
        case kIpDestUnreachable:  // Vista's general code says what the older one says
            return "the host is unreachable";
        case kIpDestProtUnreachable:  // for IPv4 both, as Windows names 11004
            return "the protocol is unreachable, or communication with the host is administratively "
                   "prohibited";
        case kIpDestPortUnreachable:
            return "the port is unreachable";
        case kIpTtlExpiredTransit:
        case kIpTimeExceeded:
            return "the probe's time to live ran out";
        case kIpBadRoute:
            return "a bad route";
        case kIpParamProblem:
            return "a parameter problem";
        case kIpGeneralFailure:
            return "a general failure";
        case kErrorAccessDenied:
            return "access is denied";
        default:
            return nullptr;
    }
}

// "status" as in "status 11050", or "error" as in "error 5" for a system
// error in place of a status.
const char* StatusKind(std::uint32_t status) { return status < kIpStatusBase ? "error" : "status"; }

// A status in words, with who said it and its number.
std::string Said(const HelperAnswer& answer) {
    const char* words = StatusWords(answer.status);
    return text::Fill(
        answer.replied ? "% says % (% %)" : "%% (% %)",
        {answer.replied ? Dotted(answer.from) : std::string(), words != nullptr ? words : "the echo failed",
         StatusKind(answer.status), answer.status});
}

// Why the trial echo was not sent, and what to try.
std::string TrialFailure(const HelperAnswer& trial) {
    const char* advice = "Check that ping reaches the host, then try again.";
    switch (trial.status) {
        case kIpGeneralFailure:
            advice =
                "Windows says this for a fault of its own, and where a firewall blocks outgoing ICMP: "
                "check that ping reaches the host and that no firewall rule blocks echo requests.";
            break;
        case kErrorAccessDenied:
            advice =
                "This program runs with rights that may not send an echo (a restricted token): "
                "run it from an ordinary or an elevated prompt.";
            break;
        case kIpDestNetUnreachable:
        case kIpDestHostUnreachable:
        case kIpDestUnreachable:
            advice = trial.replied
                         ? "Check the address, or probe another host behind the same link."
                         : "Check the address and the network connection: a host on the local "
                           "network, or the router towards the host, that does not answer gives this.";
            break;
        default:
            break;
    }
    return text::Fill("The first echo to the host, through the IP helper's echo function, failed: %. %",
                      {Said(trial), advice});
}

}  // namespace

MeansChosen ChooseMeans(Senders& senders) {
    MeansChosen chosen;
    std::string why;
    if (!senders.HasEchoHelper()) {
        why = "this system has no IP helper echo function (IcmpSendEcho)";
    } else if (const std::optional<unsigned> mtu = senders.RouteMtu(); !mtu || *mtu >= kLargestTrial) {
        why = "this system does not say the MTU of the route's interface";
    } else {
        const HelperAnswer trial =
            senders.HelperEcho(*mtu + 1 - static_cast<unsigned>(kIpAndIcmpHeaders), kTrialTimeoutMs);
        if (trial.status == kIpPacketTooBig) {
            chosen.means = Means::kEchoHelper;
            return chosen;
        }
        // Only an echo that went out says that the flag is not honoured.
        if ((trial.replied && trial.status == kIpSuccess) || trial.status == kIpReqTimedOut) {
            why = text::Fill(
                "this system's IP helper does not honour don't-fragment (it sent an echo larger "
                "than the %-byte MTU of the interface)",
                {*mtu});
        } else if (senders.RawSocketNeedsRights()) {
            chosen.failure = TrialFailure(trial);
            return chosen;
        } else {
            why = text::Cat({"an echo through this system's IP helper failed: ", Said(trial)});
        }
    }
    std::string rawFailure;
    if (senders.OpenRawSocket(rawFailure)) {
        chosen.means = Means::kRawSocket;
        return chosen;
    }
    chosen.failure =
        text::Cat({"This system cannot send an unfragmented probe: ", why, ", and ", rawFailure});
    return chosen;
}

Echo ReadHelperAnswer(const HelperAnswer& answer, int packetSize, const Address& target,
                      std::optional<unsigned> learnt, const Address& local) {
    AnswerSource from;
    if (answer.replied) {
        from.who = Dotted(answer.from);
        from.host = answer.from == target;
        from.self = answer.from == Address{} || answer.from[0] == kLoopbackNet ||
                    (answer.from == local && local != Address{});
    }
    return ReadAnswer(answer, from, packetSize, kIpAndIcmpHeaders, learnt);
}

Echo ReadAnswer(const HelperAnswer& answer, const AnswerSource& from, int packetSize, int headers,
                std::optional<unsigned> learnt) {
    Echo echo;
    const bool aboveLearnt = learnt && *learnt < static_cast<unsigned>(packetSize);
    switch (answer.status) {
        case kIpSuccess:
            // Only the host's own reply to this echo: any length proves the
            // probe got there whole, unless the system fragmented it.
            if (answer.replied && from.host && !answer.otherData && !aboveLearnt) {
                echo.outcome = EchoOutcome::kPassed;
                const int sent = packetSize - headers;
                if (answer.dataBytes < static_cast<std::uint32_t>(sent)) {
                    echo.replySize = static_cast<int>(answer.dataBytes) + headers;
                }
                break;
            }
            if (!aboveLearnt || !answer.replied || !from.host) {
                break;
            }
            [[fallthrough]];  // a reply to an echo the system fragmented: too big
        case kIpPacketTooBig:
            echo.outcome = EchoOutcome::kTooBig;
            echo.refusedHere = !answer.replied || from.self || answer.status == kIpSuccess;
            if (aboveLearnt) {
                echo.nextHopMtu = static_cast<int>(*learnt);
                echo.mtuLearnt = true;
            }
            break;
        case kIpReqTimedOut:
        case kIpSourceQuench:
            // Dropped on the way: a silence, unless the system has learnt
            // meanwhile that the path carries less.
            if (aboveLearnt) {
                echo.outcome = EchoOutcome::kTooBig;
                echo.nextHopMtu = static_cast<int>(*learnt);
                echo.mtuLearnt = true;
            }
            break;
        case kIpDestNetUnreachable:
        case kIpDestHostUnreachable:
        case kIpDestProtUnreachable:
        case kIpDestPortUnreachable:
        case kIpTtlExpiredTransit:
        case kIpDestUnreachable:
        case kIpTimeExceeded: {
            echo.outcome = EchoOutcome::kUnreachable;
            const char* what = StatusWords(answer.status);
            echo.reason = text::Fill("% says %", {answer.replied ? from.who : std::string("this system"), what});
            break;
        }
        default: {
            echo.outcome = EchoOutcome::kCannotSend;
            const char* words = StatusWords(answer.status);
            echo.reason = text::Fill("the echo failed (% %%%)",
                                     {StatusKind(answer.status), answer.status, words != nullptr ? ": " : "",
                                      words != nullptr ? words : ""});
            break;
        }
    }
    return echo;
}

const char* MeansName(Means means) {
    return means == Means::kEchoHelper ? "through the IP helper's echo function, as ping sends"
           : means == Means::kUdp      ? kUdpMeansName
                                       : "through a raw ICMP socket";
}

}  // namespace quillon::net
