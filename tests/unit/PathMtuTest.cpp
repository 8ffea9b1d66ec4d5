// The search for a path's MTU over simulated paths: the exact figure, the
// number of probes it takes, loss, silence, and every way it ends without one.

#include <gtest/gtest.h>

#include <algorithm>

#include "net/PathMtu.h"
#include "tests/bench/HandSearch.h"
#include "tests/unit/SimulatedPath.h"

namespace quillon::test {
namespace {

class Quiet final : public net::ProbeListener {
public:
    void OnProbe(int packetSize, const net::Echo&) override {
        EXPECT_GE(packetSize, net::kSmallestProbe);
        EXPECT_LE(packetSize, net::kLargestProbe);
    }
};

net::PathMtu Find(SimulatedPath& path) {
    Quiet quiet;
    return net::FindPathMtu(path, quiet);
}

struct PathCase {
    const char* what;
    std::vector<Link> links;
    int learnt;
    int mtu;
    int mostProbes;
};

const PathCase kPaths[] = {
    {"router names 1400", {{1500, true}, {1400, true}}, 0, 1400, 3},
    {"PPPoE", {{1492, true}}, 0, 1492, 3},
    {"IPv6 minimum", {{1280, true}}, 0, 1280, 3},
    {"576", {{1500, true}, {576, true}}, 0, 576, 3},
    {"no bottleneck", {{1500, true}}, 0, 1500, 2},
    {"two routers name 1450 then 1300", {{1450, true}, {1300, true}}, 0, 1300, 4},
    {"black hole at 1400", {{1400, false}}, 0, 1400, 14},
    {"black hole at 89", {{89, false}}, 0, 89, 17},
    {"black hole at 1499", {{1499, false}}, 0, 1499, 14},
    {"router names 1450, black hole at 1333", {{1450, true}, {1333, false}}, 0, 1333, 14},
    {"this system already knows 1400", {{1400, true}}, 1400, 1400, 10},
    {"router names 576 for the first probe", {{576, true}}, 0, 576, 2},
    {"black hole at 1000", {{1000, false}}, 0, 1000, 17},
};

TEST(PathMtu, FindsTheExactFigureWithinItsProbes) {
    for (const PathCase& c : kPaths) {
        SimulatedPath path;
        path.links = c.links;
        path.learnt = c.learnt;
        const net::PathMtu found = Find(path);
        EXPECT_EQ(found.status, net::PathStatus::kFound) << c.what;
        EXPECT_EQ(found.mtu, c.mtu) << c.what;
        EXPECT_LE(found.probes, c.mostProbes) << c.what;
        EXPECT_EQ(found.probes, static_cast<int>(path.sent.size())) << c.what;

        SimulatedPath again;
        again.links = c.links;
        again.learnt = c.learnt;
        const HandSearchResult hand = HandSearch(again);
        if (c.links.back().routerTells) {
            EXPECT_LE(found.probes, hand.probes) << c.what << ": never more than the search by hand";
        }
    }
}

// One packet in five lost each way: silence must not lower the figure.
TEST(PathMtu, LossDoesNotChangeTheFigure) {
    for (const PathCase& c : kPaths) {
        int most = 0;
        for (unsigned seed = 1; seed <= 100; ++seed) {
            SimulatedPath path(seed);
            path.links = c.links;
            path.learnt = c.learnt;
            path.lossPercent = 20;
            const net::PathMtu found = Find(path);
            ASSERT_EQ(found.status, net::PathStatus::kFound) << c.what << " seed " << seed;
            ASSERT_EQ(found.mtu, c.mtu) << c.what << " seed " << seed;
            most = std::max(most, found.probes);
        }
        RecordProperty(c.what, most);
    }
}

TEST(PathMtu, TimeOutsFollowTheRoundTrip) {
    for (const unsigned roundTrip : {2U, 100U, 900U}) {
        SimulatedPath path;
        path.links = {{1400, false}};
        path.roundTripMs = roundTrip;
        Find(path);
        ASSERT_GE(path.sent.size(), 2U);
        // 1500 is silent and 1280 answers: both wait a second.
        EXPECT_EQ(path.sent[0].second, 1000U);
        EXPECT_EQ(path.sent[1].second, 1000U);
        const unsigned expected = std::clamp(roundTrip * 4 + 150, 250U, 2000U);
        for (std::size_t i = 2; i < path.sent.size(); ++i) {
            EXPECT_EQ(path.sent[i].second, expected) << roundTrip;
        }
    }
}

TEST(PathMtu, EndsWithoutAFigureAndSaysWhy) {
    struct Ending {
        const char* what;
        void (*set)(SimulatedPath&);
        net::PathStatus status;
        int probes;
    };
    const Ending endings[] = {
        {"host drops echo requests", [](SimulatedPath& p) { p.hostAnswers = false; }, net::PathStatus::kSilent, 6},
        {"network unreachable", [](SimulatedPath& p) { p.unreachable = true; }, net::PathStatus::kUnreachable, 1},
        {"no raw socket", [](SimulatedPath& p) { p.cannotSend = "access denied"; }, net::PathStatus::kCannotSend, 1},
        {"path below 88", [](SimulatedPath& p) { p.links = {{80, true}}; }, net::PathStatus::kBelowRange, 1},
        {"Ctrl+C after 4 probes", [](SimulatedPath& p) { p.links = {{1400, false}}, p.interruptAfter = 4; },
         net::PathStatus::kInterrupted, 4},
    };
    for (const Ending& e : endings) {
        SimulatedPath path;
        path.links = {{1500, true}};
        e.set(path);
        const net::PathMtu result = Find(path);
        EXPECT_EQ(result.status, e.status) << e.what;
        EXPECT_EQ(result.probes, e.probes) << e.what;
    }

    // A black hole stops at the limits of probes and of time.
    for (const bool timeBound : {false, true}) {
        SimulatedPath path;
        path.links = {{1400, false}};
        net::ProbeLimits limits;
        limits.maxProbes = timeBound ? 1000 : 8;
        limits.maxMilliseconds = timeBound ? 2000 : 60000;
        Quiet quiet;
        const net::PathMtu bounded = net::FindPathMtu(path, quiet, limits);
        EXPECT_EQ(bounded.status, net::PathStatus::kOutOfBounds) << timeBound;
        EXPECT_LE(bounded.probes, timeBound ? 12 : 8) << "the black hole takes 14 without limits";
        EXPECT_TRUE(bounded.mtu >= 1280 && bounded.mtu <= 1400) << "the largest size that passed: " << bounded.mtu;
    }
}

}  // namespace
}  // namespace quillon::test
