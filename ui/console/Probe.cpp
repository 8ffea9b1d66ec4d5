// probe HOST [--apply]: the largest packet that reaches the host unfragmented,
// one probe at a time, each printed as it comes back; with --apply the figure
// is applied as apply applies it.

#include "net/PathMtu.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// The smallest figure --apply applies: the datagram every IPv4 host must be
// able to take whole (RFC 791).
constexpr int kSmallestAppliedMtu = 576;

// Prints each probe as it comes back.
class ProbePrinter final : public net::ProbeListener {
public:
    explicit ProbePrinter(ConsoleOutput& output) : output_(output) {}
    void OnProbe(int packetSize, const net::Echo& echo) override {
        for (const net::LateAnswer& late : echo.late) {
            output_.Out(Cat({"  a late reply: the ", std::to_string(late.packetSize),
                             "-byte probe passed after all (", std::to_string(late.elapsedMs), " ms)\n"}));
        }
        std::string what;
        switch (echo.outcome) {
            case net::EchoOutcome::kPassed:
                what = Cat({"passed (", std::to_string(echo.elapsedMs), " ms",
                            echo.replySize != 0 ? "; the host cut its reply to " : "",
                            echo.replySize != 0 ? std::to_string(echo.replySize) : std::string(),
                            echo.replySize != 0 ? " bytes" : "", ")"});
                break;
            case net::EchoOutcome::kTooBig: {
                const std::string mtu = std::to_string(echo.nextHopMtu);
                const bool named = echo.nextHopMtu != 0;
                what = echo.refusedHere
                           ? Cat({"too big for what this system knows of the path", named ? " (MTU " : "",
                                  named ? mtu : std::string(), named ? ")" : ""})
                       : echo.mtuLearnt ? Cat({"too big, this system has learnt MTU ", mtu, " for the path"})
                       : named          ? Cat({"too big, a router names MTU ", mtu})
                                        : std::string("too big, a router names no MTU");
                break;
            }
            case net::EchoOutcome::kNoAnswer:
                what = "no answer (too big, or lost)";
                break;
            case net::EchoOutcome::kUnreachable:
                what = "unreachable: " + echo.reason;
                break;
            case net::EchoOutcome::kCannotSend:
                what = "not sent: " + echo.reason;
                break;
        }
        output_.Out(Cat({"  ", std::to_string(packetSize), " bytes: ", what, "\n"}));
    }

private:
    ConsoleOutput& output_;
};

// Probes the path to the host; gives the MTU found, or says why there is none.
std::optional<int> ProbePath(const std::string& host, net::Network& network, ConsoleOutput& output) {
    net::PathInfo path;
    std::string failure;
    if (!network.OpenPath(host, path, failure)) {
        output.Err(failure + "\n");
        return std::nullopt;
    }
    const bool named = path.address != host;
    output.Out(
        Cat({"Probing the path to ", host, named ? " (" : "", named ? path.address : "", named ? ")" : "",
             " ", path.means, ", with packets of ", std::to_string(net::kSmallestProbe), " to ",
             std::to_string(net::kLargestProbe), " bytes that may not be fragmented:\n"}));
    ProbePrinter printer(output);
    const net::PathMtu found = net::FindPathMtu(network, printer);
    const std::string probes = Cat({std::to_string(found.probes), found.probes == 1 ? " probe" : " probes"});
    const std::string mtu = std::to_string(found.mtu);
    switch (found.status) {
        case net::PathStatus::kFound:
            output.Out(found.mtu == net::kLargestProbe
                           ? Cat({"The path carries full 1500-byte packets: it needs no change of MTU (",
                                  probes, ").\n"})
                           : Cat({"The path to ", host, " carries packets of at most ", mtu, " bytes (",
                                  probes, ").\n"}));
            return found.mtu;
        case net::PathStatus::kSilent:
            output.Err(Cat({host,
                            " did not answer even the smallest probe: it may be down, or it may not answer "
                            "echo requests (ping). Probe a host that answers ping.\n"}));
            break;
        case net::PathStatus::kUnreachable:
            output.Err(Cat({host, " cannot be reached: ", found.reason, ".\n"}));
            break;
        case net::PathStatus::kBelowRange:
            output.Err(
                Cat({"The path to ", host, " does not carry even ", std::to_string(net::kSmallestProbe),
                     "-byte packets, the smallest MTU this tool sets.\n"}));
            break;
        case net::PathStatus::kCannotSend:
            output.Err(Cat({"The probe could not be sent: ", found.reason, ".\n"}));
            break;
        case net::PathStatus::kInterrupted:
            output.Err("The probe was interrupted. Nothing was written.\n");
            break;
        case net::PathStatus::kOutOfBounds:
            output.Err(Cat(
                {"The probe gave up after ", probes,
                 " with no figure it can be sure of: the MTU of the path "
                 "lies between ",
                 mtu, " and ", std::to_string(found.atMost),
                 " bytes. The path may be losing many packets, or its host answering few: try again later, "
                 "or probe another host behind the same link.\n"}));
            break;
    }
    return std::nullopt;
}

}  // namespace

int RunProbe(Session& session) {
    // With --apply nothing is sent where nothing could be applied (the
    // families were looked for first), and nothing is written where no MTU
    // was found.
    const std::optional<int> mtu = session.network != nullptr
                                       ? ProbePath(session.line.host, *session.network, session.output)
                                       : std::nullopt;
    if (!mtu) {
        return kExitFailure;
    }
    const std::string figure = std::to_string(*mtu);
    int code = kExitSuccess;
    if (session.line.applyProbed && *mtu < kSmallestAppliedMtu) {
        session.output.Err(
            Cat({figure, " bytes was not applied: below ", std::to_string(kSmallestAppliedMtu),
                 ", the packet every IPv4 host must accept, an MTU can cut this machine off from much "
                 "of the network, and Windows' own tools refuse it. Nothing was written. To set it "
                 "all the same, run: quillon-mtu-cli apply ",
                 figure, "\n"}));
        code = kExitFailure;
    } else if (session.line.applyProbed) {
        code = ApplyMtu(session, figure);
    }
    // apply's messages come first, so that "MTU: N" stays the last line.
    session.output.Out(Cat({"MTU: ", figure, "\n"}));
    return code;
}

}  // namespace quillon::ui
