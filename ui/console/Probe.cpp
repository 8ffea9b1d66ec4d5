// probe HOST [--apply]: the largest packet that reaches the host unfragmented,
// one probe at a time, each said as it comes back; with --apply the figure
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

ProbeStatus StatusOf(net::PathStatus status) {
    switch (status) {
        case net::PathStatus::kFound:
            return ProbeStatus::kFound;
        case net::PathStatus::kSilent:
            return ProbeStatus::kSilent;
        case net::PathStatus::kUnreachable:
            return ProbeStatus::kUnreachable;
        case net::PathStatus::kBelowRange:
            return ProbeStatus::kBelowRange;
        case net::PathStatus::kCannotSend:
            return ProbeStatus::kCannotSend;
        case net::PathStatus::kInterrupted:
            return ProbeStatus::kInterrupted;
        case net::PathStatus::kOutOfBounds:
            break;
    }
    return ProbeStatus::kNoSureFigure;
}

// Where the figure is the MTU the route's adapter uses (where Windows does
// not say, the one it stores), and this system refused the larger probes
// itself (as it said, or since they were larger than that MTU), the path was
// not measured beyond this machine. Over IPv6 no probe is larger than the
// route interface's MTU, so a figure below 1500 that is the largest probe
// and that MTU is this machine's.
bool OwnLimit(const ProbeResult& probe, int mtu, bool refusedHere, int largestTooBig) {
    const bool six = probe.version == net::IpVersion::k6;
    const unsigned inUse = probe.route->ip[six ? kIpv6 : kIpv4].inUse;
    const unsigned own = inUse != 0 || six ? inUse : probe.route->storedMtu;
    return own != 0 && static_cast<unsigned>(mtu) == own &&
           ((six && own < net::kLargestStoredMtu && mtu == probe.sizes.largest) || refusedHere ||
            (inUse != 0 && static_cast<unsigned>(largestTooBig) > inUse));
}

}  // namespace

void ProbeProgress::Opened(const ProbeResult& probe) {
    six_ = probe.version == net::IpVersion::k6;
    const bool named = probe.address != probe.host;
    // IPv6 has no don't-fragment bit: what this system fragments counts as too big.
    output_.Out("Probing the path to %%%% %, with packets of % to % bytes that %:\n",
                {probe.host, named ? " (" : "", named ? std::string_view(probe.address) : std::string_view(),
                 named ? ")" : "", probe.means, probe.sizes.smallest, probe.sizes.largest,
                 six_ ? "must arrive unfragmented" : "may not be fragmented"});
    // The route's line: one call, its pattern chosen first, each taking as
    // many of the values as it names.
    const std::string described = probe.route ? Describe(probe.route->family, probe.route->slot) : std::string();
    output_.Out(probe.route ? "The route to % leaves through %.\n"
                : probe.via.name.empty() ? "This system does not say which adapter the route to % leaves through.\n"
                : probe.via.address.empty()
                    ? "The route to % leaves through the adapter %, none of the network cards found.\n"
                    : "The route to % leaves through the adapter % (%), none of the network cards found.\n",
                {probe.host, probe.route ? described : probe.via.name, probe.via.address});
}

void ProbeProgress::OnProbe(int packetSize, const net::Echo& echo) {
    if (echo.outcome == net::EchoOutcome::kTooBig) {
        refusedHere = refusedHere || echo.refusedHere;
        largestTooBig = std::max(largestTooBig, packetSize);
    }
    for (const net::LateAnswer& late : echo.late) {
        output_.Out("  a late reply: the %-byte probe passed after all (% ms)\n",
                    {late.packetSize, late.elapsedMs});
    }
    const char* what = "no answer (too big, or lost)";
    switch (echo.outcome) {
        case net::EchoOutcome::kPassed:
            what = echo.replySize != 0 ? "passed (% ms; the host cut its reply to % bytes)" : "passed (% ms)";
            break;
        case net::EchoOutcome::kTooBig:
            what = echo.refusedHere ? (echo.nextHopMtu != 0 ? "too big for what this system knows of the path (MTU %)"
                                                            : "too big for what this system knows of the path")
                   : echo.mtuLearnt       ? "too big, this system has learnt MTU % for the path"
                   : echo.nextHopMtu != 0 ? "too big, a router names MTU %"
                   : six_                 ? "too big, a router says, and this system does not pass on the MTU it names"
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
    const Piece value = echo.outcome == net::EchoOutcome::kPassed   ? Piece(echo.elapsedMs)
                        : echo.outcome == net::EchoOutcome::kTooBig ? Piece(echo.nextHopMtu)
                                                                    : Piece(echo.reason);
    output_.Out("  % bytes: %\n", {packetSize, Fill(what, {value, echo.replySize})});
}

void Probe(Session& session, ProbeProgress& progress, RunResult& result) {
    // With --apply nothing is probed where nothing could be applied (the
    // families and the adapter named are looked for first; the route's
    // adapter once the path is open, which takes the one echo that chooses
    // how to send), and nothing is written where no MTU was found.
    const CommandLine& line = session.line;
    ProbeResult& probe = *result.probe;
    result.exitCode = kExitFailure;
    const bool toRoute = line.adapter && IsRoute(*line.adapter);
    std::optional<Adapter> one;
    if (session.prober == nullptr || (!toRoute && !ChooseAdapter(session, one, result))) {
        return;
    }
    net::PathInfo path;
    const bool six = probe.version == net::IpVersion::k6;
    if (!session.prober->OpenPath(line.host, probe.version, path, result.failure)) {
        result.failure += "\n";
        return;
    }
    probe.address = path.address;
    probe.means = path.means;
    if (six) {
        // Up to what the route's interface carries, where the system says.
        probe.sizes = net::kIpv6Probes;
        probe.sizes.largest = static_cast<int>(std::clamp(path.routeMtu == 0 ? net::kLargestStoredMtu : path.routeMtu,
                                                          net::kSmallestIpv6Mtu, net::kLargestStoredMtu));
    }
    probe.via = path.via                   ? *path.via
                : session.table != nullptr ? session.table->Route(path.address)
                                           : net::RouteAdapter{};
    const std::optional<Adapter> route = FindRouteAdapter(session, probe.via);
    if (route) {
        ReadInUse(session, AdapterOf(probe.route.emplace(), route->family, route->slot));
    }
    progress.Opened(probe);
    if (toRoute) {
        if (!route) {
            result.failure = "The route's adapter is none of the network cards found. Nothing was written.\n";
            return;
        }
        one = route;
        ActOnOneFamily(session, *one);
    }
    probe.found = net::FindPathMtu(*session.prober, progress, probe.sizes);
    probe.status = StatusOf(probe.found.status);
    if (probe.status != ProbeStatus::kFound) {
        return;
    }
    probe.ownLimit =
        probe.route && OwnLimit(probe, probe.found.mtu, progress.refusedHere, progress.largestTooBig);
    result.exitCode = kExitSuccess;
    if (line.applyProbed && probe.found.mtu < kSmallestAppliedMtu) {
        // The command given by hand acts on what this one would have.
        probe.belowApplied = true;
        probe.byHand = Decimal(probe.found.mtu);
        if (one) {
            probe.byHand += Fill(" --family % --adapter %", {FamilyOption(one->family), one->slot.slot});
        } else if (line.family) {
            probe.byHand += Fill(" --family %", {FamilyOption(*line.family)});
        }
        result.exitCode = kExitFailure;
    } else if (line.applyProbed) {
        ApplyMtu(session, Decimal(probe.found.mtu), one, result);
    }
}

void SayProbe(ConsoleOutput& output, const RunResult& result) {
    if (!result.failure.empty()) {
        output.Err(result.failure);
        return;
    }
    if (!result.probe || result.probe->address.empty()) {
        return;  // no network to probe with
    }
    const ProbeResult& probe = *result.probe;
    const net::PathMtu& found = probe.found;
    const std::string probes = Fill(found.probes == 1 ? "% probe" : "% probes", {found.probes});
    const int mtu = found.mtu;
    const char* failure = nullptr;
    switch (found.status) {
        case net::PathStatus::kFound:
            // 1500 bytes: the path needs no change of MTU.
            output.Out("The path to % carries packets of at most % bytes (%).\n", {probe.host, mtu, probes});
            break;
        case net::PathStatus::kSilent:
            failure = probe.means == net::kUdpMeansName
                          ? "% did not answer even the smallest probe: it may be down, or drop UDP datagrams to "
                            "a closed port without a word, as many hosts do. Probe a host that answers them (a "
                            "router, or a host of your own network).\n"
                          : "% did not answer even the smallest probe: it may be down, or not answer ping. Probe "
                            "a host that answers ping.\n";
            break;
        case net::PathStatus::kUnreachable:
            failure = "% cannot be reached: %.\n";
            break;
        case net::PathStatus::kBelowRange:
            failure = "The path to % does not carry even %-byte packets, the smallest MTU this tool sets.\n";
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
    if (failure != nullptr) {
        // One list of values for every such line: each takes as many as it names.
        output.Err(failure, {probe.host,
                             found.status == net::PathStatus::kOutOfBounds  ? Piece(mtu)
                             : found.status == net::PathStatus::kBelowRange ? Piece(probe.sizes.smallest)
                                                                            : Piece(found.reason),
                             found.atMost, probes});
        return;
    }
    if (probe.ownLimit) {
        const AdapterResult& route = *probe.route;
        const bool six = probe.version == net::IpVersion::k6;
        const bool belowLink = route.ip[six ? kIpv6 : kIpv4].link > static_cast<unsigned>(found.mtu);
        output.Out(
            belowLink && (six || route.storedMtu == static_cast<unsigned>(mtu))
                ? "That is this machine's own limit, not the path's: % uses an MTU of %, %. To measure the "
                  "path beyond it, put the link's MTU back (quillon-mtu-cli remove% --adapter %), probe "
                  "again, and apply what it finds.\n"
            // Not what this tool stored: a VPN client's, or netsh's (of
            // IPv6's the tool stores none, so it cannot tell).
            : belowLink
                ? "That is this machine's own limit, not the path's: % uses an MTU of %, which something "
                  "else set (a VPN client, netsh), %; the path beyond it was not measured.\n"
                : "That is this machine's own limit, not the path's: % uses its link's MTU of %, %.\n",
            {Describe(route.family, route.slot), mtu,
             six ? "so no larger probe was sent" : "and this system refused the larger probes itself",
             six ? " -6" : "", route.slot.slot});
    }
    if (probe.belowApplied) {
        output.Err(
            "% was not applied: an MTU below 576, the packet every IPv4 host must take, can cut this "
            "machine off. Nothing was written. To set it anyway: quillon-mtu-cli apply %\n",
            {mtu, probe.byHand});
    } else {
        SayChange(output, result);
    }
    // apply's messages come first, so that "MTU: N" stays the last line.
    output.Out("MTU: %\n", {mtu});
}

}  // namespace quillon::ui
