#include "net/EchoHelper.h"

#include "text/Decimal.h"

namespace quillon::net {

namespace {

// The echo that tells whether the IP helper honours don't-fragment goes
// unanswered in a second on a system that sends it; one that honours the
// flag refuses it at once.
constexpr unsigned kTrialTimeoutMs = 1000;
// The largest echo the IP helper takes.
constexpr unsigned kLargestTrial = 65500;

std::string Says(const Address& from, const char* what) { return Dotted(from) + " says " + what; }

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
        why = "this system's IP helper does not honour don't-fragment (it sent an echo larger than the " +
              text::Decimal(*mtu) + "-byte MTU of the interface)";
    }
    std::string rawFailure;
    if (senders.OpenRawSocket(rawFailure)) {
        chosen.means = Means::kRawSocket;
        return chosen;
    }
    chosen.failure = "This system cannot send an unfragmented probe: " + why + ", and " + rawFailure;
    return chosen;
}

Echo ReadHelperAnswer(const HelperAnswer& answer, int packetSize, const Address& target,
                      std::optional<unsigned> learnt) {
    Echo echo;
    switch (answer.status) {
        case kIpSuccess:
            // Only the host's own reply to this echo: any length proves the
            // probe got there whole.
            if (answer.replied && answer.from == target && !answer.otherData) {
                echo.outcome = EchoOutcome::kPassed;
                const int sent = packetSize - kIpAndIcmpHeaders;
                if (answer.dataBytes < static_cast<std::uint32_t>(sent)) {
                    echo.replySize = static_cast<int>(answer.dataBytes) + kIpAndIcmpHeaders;
                }
            }
            break;
        case kIpPacketTooBig:
            echo.outcome = EchoOutcome::kTooBig;
            echo.refusedHere = !answer.replied;
            if (learnt && *learnt < static_cast<unsigned>(packetSize)) {
                echo.nextHopMtu = static_cast<int>(*learnt);
                echo.mtuLearnt = true;
            }
            break;
        case kIpReqTimedOut:
            break;
        case kIpDestNetUnreachable:
        case kIpDestHostUnreachable:
        case kIpDestProtUnreachable:
        case kIpDestPortUnreachable:
        case kIpTtlExpiredTransit:
        case kIpDestUnreachable:
        case kIpTimeExceeded: {
            echo.outcome = EchoOutcome::kUnreachable;
            // Vista's general codes say what the older ones say.
            const std::uint32_t status = answer.status == kIpDestUnreachable ? kIpDestHostUnreachable : answer.status;
            const char* what = status == kIpDestNetUnreachable    ? "the network is unreachable"
                               : status == kIpDestHostUnreachable ? "the host is unreachable"
                               : status == kIpDestProtUnreachable ? "the protocol is unreachable"
                               : status == kIpDestPortUnreachable ? "the port is unreachable"
                                                                  : "the probe's time to live ran out";
            echo.reason = answer.replied ? Says(answer.from, what) : std::string("this system says ") + what;
            break;
        }
        default:
            echo.outcome = EchoOutcome::kCannotSend;
            echo.reason =
                "the IP helper's echo function failed (status " + text::Decimal(answer.status) + ")";
            break;
    }
    return echo;
}

const char* MeansName(Means means) {
    return means == Means::kEchoHelper ? "through the IP helper's echo function, as ping sends"
                                       : "through a raw ICMP socket";
}

}  // namespace quillon::net
