// probe HOST [--apply]: the largest packet that reaches the host unfragmented,
// one probe at a time, each printed as it comes back; with --apply the figure
// is applied as apply applies it.

#include <algorithm>

#include "net/Mtu.h"
#include "net/PathMtu.h"
#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// The smallest figure --apply applies.
constexpr int kSmallestAppliedMtu = static_cast<int>(net::kSmallestIpv4InUse);

// Prints each probe as it comes back.
class ProbePrinter final : public net::ProbeListener {
public:
    explicit ProbePrinter(ConsoleOutput& output) : output_(output) {}
    void OnProbe(int packetSize, const net::Echo& echo) override {
        if (echo.outcome == net::EchoOutcome::kTooBig) {
            refusedHere = refusedHere || echo.refusedHere;
            largestTooBig = std::max(largestTooBig, packetSize);
        }
        for (const net::LateAnswer& late : echo.late) {
            output_.Out("  a late reply: the %-byte probe passed after all (% ms)\n",
                        {Decimal(late.packetSize), Decimal(late.elapsedMs)});
        }
        const std::string mtu = Decimal(echo.nextHopMtu);
        const std::string reply = Decimal(echo.replySize);
        const std::string ms = Decimal(echo.elapsedMs);
        const char* what = "no answer (too big, or lost)";
        switch (echo.outcome) {
            case net::EchoOutcome::kPassed:
                what = echo.replySize != 0 ? "passed (% ms; the host cut its reply to % bytes)"
                                           : "passed (% ms)";
                break;
            case net::EchoOutcome::kTooBig:
                what = echo.refusedHere
                           ? (echo.nextHopMtu != 0 ? "too big for what this system knows of the path (MTU %)"
                                                   : "too big for what this system knows of the path")
                       : echo.mtuLearnt       ? "too big, this system has learnt MTU % for the path"
                       : echo.nextHopMtu != 0 ? "too big, a router names MTU %"
                                              : "too big, a router names no MTU";
                break;
            case net::EchoOutcome::kNoAnswer:
                break;
            case net::EchoOutcome::kUnreachable:
                what = "unreachable: %";
                break;
            case net::EchoOutcome::kCannotSend:
                what = "not sent: %";
                break;
        }
        const std::string_view value = echo.outcome == net::EchoOutcome::kPassed ? std::string_view(ms)
                                       : echo.outcome == net::EchoOutcome::kTooBig
                                           ? std::string_view(mtu)
                                           : std::string_view(echo.reason);
        output_.Out("  % bytes: %\n", {Decimal(packetSize), Fill(what, {value, reply})});
    }

    bool refusedHere = false;  // this system refused a probe itself
    int largestTooBig = 0;     // the largest probe found too big, in whatever form

private:
    ConsoleOutput& output_;
};

// The line that says which adapter the route to the host leaves through.
void SayRoute(Session& session, const net::RouteAdapter& via, const std::optional<Adapter>& route) {
    const std::string& host = session.line.host;
    if (route) {
        session.output.Out("The route to % leaves through %.\n", {host, Describe(*route)});
    } else if (!via.name.empty()) {
        session.output.Out(
            "The route to % leaves through the adapter % (%), none of the network cards found.\n",
            {host, via.name, via.address});
    } else {
        session.output.Out("This system does not say which adapter the route to % leaves through.\n", {host});
    }
}

// Where the figure is the MTU that the route's adapter stores or uses, and
// this system refused the larger probes itself (as it said, or since they
// were larger than the MTU its interface uses), the path was not measured
// beyond this machine: says so, and how to measure it.
void SayOwnLimit(Session& session, const Adapter& route, int mtu, bool refusedHere, int largestTooBig) {
    const auto figure = static_cast<unsigned>(mtu);
    const unsigned inUse = session.table->MtuInUse(route.slot.name).value_or(0);
    const bool aboveInUse = inUse != 0 && static_cast<unsigned>(largestTooBig) > inUse;
    if ((!refusedHere && !aboveInUse) || (figure != inUse && figure != StoredNumber(route.slot))) {
        return;
    }
    const unsigned link = session.table->LinkMtu(route.slot.name).value_or(0);
    const std::string adapter = Describe(route);
    if (link > figure) {
        session.output.Out(
            "That is this machine's own limit, not the path's: % uses an MTU of %, and this "
            "system refused the larger probes itself. To measure the path beyond it, put the "
            "link's MTU back (quillon-mtu-cli remove --adapter %), probe again, and apply what "
            "it finds.\n",
            {adapter, Decimal(figure), route.slot.slot});
    } else {
        session.output.Out(
            "That is this machine's own limit, not the path's: % uses its link's MTU of %, "
            "and this system refused the larger probes itself.\n",
            {adapter, Decimal(figure)});
    }
}

// Probes the path to the host, once the path is open; gives the MTU found,
// or says why there is none.
// `refusedHere`: this system refused a probe itself; `largestTooBig`: the
// largest probe found too big (0: none).
std::optional<int> ProbePath(const std::string& host, net::Prober& network, ConsoleOutput& output,
                             bool& refusedHere, int& largestTooBig) {
    ProbePrinter printer(output);
    const net::PathMtu found = net::FindPathMtu(network, printer);
    refusedHere = printer.refusedHere;
    largestTooBig = printer.largestTooBig;
    const std::string probes = Decimal(found.probes) + (found.probes == 1 ? " probe" : " probes");
    const std::string mtu = Decimal(found.mtu);
    const char* failure = nullptr;
    switch (found.status) {
        case net::PathStatus::kFound:
            // 1500 bytes: the path needs no change of MTU.
            output.Out("The path to % carries packets of at most % bytes (%).\n", {host, mtu, probes});
            return found.mtu;
        case net::PathStatus::kSilent:
            failure =
                "% did not answer even the smallest probe: it may be down, or not answer ping. Probe a "
                "host that answers ping.\n";
            break;
        case net::PathStatus::kUnreachable:
            failure = "% cannot be reached: %.\n";
            break;
        case net::PathStatus::kBelowRange:
            failure = "The path to % does not carry even 88-byte packets, the smallest MTU this tool sets.\n";
            break;
        case net::PathStatus::kCannotSend:
            failure = "The probe of % ended: %.\n";
            break;
        case net::PathStatus::kInterrupted:
            failure = "The probe of % was interrupted. Nothing was written.\n";
            break;
        case net::PathStatus::kOutOfBounds:
            failure =
                "The probe of % gave up with no sure figure: the path's MTU lies from % to % bytes (%). "
                "The path may lose many packets, or its host answer few: try later, or another host.\n";
            break;
    }
    const std::string atMost = Decimal(found.atMost);
    if (found.status == net::PathStatus::kOutOfBounds) {
        output.Err(failure, {host, mtu, atMost, probes});
    } else {
        output.Err(failure, {host, found.reason});
    }
    return std::nullopt;
}

}  // namespace

int RunProbe(Session& session) {
    // With --apply nothing is probed where nothing could be applied (the
    // families and the adapter named are looked for first; the route's
    // adapter once the path is open, which takes the one echo that chooses
    // how to send), and nothing is written where no MTU was found.
    const CommandLine& line = session.line;
    const bool toRoute = line.adapter && IsRoute(*line.adapter);
    std::optional<Adapter> one;
    if (session.prober == nullptr || (!toRoute && !ChooseAdapter(session, one))) {
        return kExitFailure;
    }
    net::PathInfo path;
    std::string failure;
    if (!session.prober->OpenPath(line.host, path, failure)) {
        session.output.Err({failure, "\n"});
        return kExitFailure;
    }
    const bool named = path.address != line.host;
    session.output.Out(
        "Probing the path to %% %, with packets of 88 to 1500 bytes that may not be fragmented:\n",
        {line.host, named ? " (" + path.address + ")" : std::string(), path.means});
    const net::RouteAdapter via =
        session.table != nullptr ? session.table->Route(path.address) : net::RouteAdapter{};
    const std::optional<Adapter> route = FindRouteAdapter(session, via);
    SayRoute(session, via, route);
    if (toRoute) {
        if (!route) {
            session.output.Err(
                "The route's adapter is none of the network cards found. Nothing was written.\n");
            return kExitFailure;
        }
        one = route;
        ActOnOneFamily(session, *one);
    }
    bool refusedHere = false;
    int largestTooBig = 0;
    const std::optional<int> mtu =
        ProbePath(line.host, *session.prober, session.output, refusedHere, largestTooBig);
    if (!mtu) {
        return kExitFailure;
    }
    if (route && session.table != nullptr) {
        SayOwnLimit(session, *route, *mtu, refusedHere, largestTooBig);
    }
    const std::string figure = Decimal(*mtu);
    int code = kExitSuccess;
    if (line.applyProbed && *mtu < kSmallestAppliedMtu) {
        // The command given by hand acts on what this one would have.
        std::string byHand = figure;
        if (one) {
            byHand += " --family ";
            byHand += FamilyOption(one->family);
            byHand += " --adapter ";
            byHand += one->slot.slot;
        } else if (line.family) {
            byHand += " --family ";
            byHand += FamilyOption(*line.family);
        }
        session.output.Err(
            "% was not applied: an MTU below 576, the packet every IPv4 host must take, can cut this "
            "machine off. Nothing was written. To set it anyway: quillon-mtu-cli apply %\n",
            {figure, byHand});
        code = kExitFailure;
    } else if (line.applyProbed) {
        code = ApplyMtu(session, figure, one);
    }
    // apply's messages come first, so that "MTU: N" stays the last line.
    session.output.Out("MTU: %\n", {figure});
    return code;
}

}  // namespace quillon::ui
