// The search for a path's MTU over simulated paths: the exact figure and the
// number of probes it takes behind routers that say and that do not, with
// hosts that cut their replies, answer late or only so often; time-outs; and
// every way it ends without a figure.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "net/PathMtu.h"
#include "tests/bench/HandSearch.h"
#include "tests/unit/SimulatedPath.h"

namespace quillon::test {
namespace {

// Every probe within the sizes searched.
class Quiet final : public net::ProbeListener {
public:
    explicit Quiet(const net::ProbeSizes& sizes = net::kIpv4Probes) : sizes_(sizes) {}
    void OnProbe(int packetSize, const net::Echo&) override {
        EXPECT_GE(packetSize, sizes_.smallest);
        EXPECT_LE(packetSize, sizes_.largest);
    }

private:
    const net::ProbeSizes& sizes_;
};

net::PathMtu Find(SimulatedPath& path, const net::ProbeLimits& limits = {}) {
    Quiet quiet;
    return net::FindPathMtu(path, quiet, net::kIpv4Probes, limits);
}

using Set = std::function<void(SimulatedPath&)>;

struct PathCase {
    const char* what;
    Set set;
    int mtu;
    int mostProbes;
    unsigned mostSeconds;  // waiting for answers and pausing between probes
};

const PathCase kPaths[] = {
    {"router names 1400",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
     },
     1400, 2, 1},
    {"PPPoE",
     [](SimulatedPath& p) {
         p.links = {{1492, true}};
     },
     1492, 2, 1},
    {"576",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {576, true}};
     },
     576, 2, 1},
    {"no bottleneck",
     [](SimulatedPath& p) {
         p.links = {{1500, true}};
     },
     1500, 1, 1},
    {"two routers name 1450 then 1300",
     [](SimulatedPath& p) {
         p.links = {{1450, true}, {1300, true}};
     },
     1300, 3, 1},
    {"black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
     },
     1400, 28, 5},
    {"black hole at 89",
     [](SimulatedPath& p) {
         p.links = {{89, false}};
     },
     89, 36, 9},
    {"black hole at 1499",
     [](SimulatedPath& p) {
         p.links = {{1499, false}};
     },
     1499, 26, 4},
    {"router names 1450, black hole at 1333",
     [](SimulatedPath& p) {
         p.links = {{1450, true}, {1333, false}};
     },
     1333, 30, 6},
    {"this system already knows 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, true}};
         p.learnt = 1400;
     },
     1400, 11, 1},
    {"the IP helper's too big, 1400 learnt on the route",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.saysLearnt = 1400;
     },
     1400, 4, 1},
    {"the IP helper's too big, 1300 learnt on another interface",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.saysLearnt = 1300;
     },
     1400, 11, 1},
    {"host cuts replies to 68 bytes behind a router naming 1400",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.cutTo = 68;
     },
     1400, 2, 1},
    {"host cuts replies to 556 bytes behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.cutTo = 556;
     },
     1400, 28, 5},
    {"host answers 1.3 s late behind a router naming 1400",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.hostDelayMs = 1300;
     },
     1400, 3, 3},
    {"host answers 1.3 s late behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostDelayMs = 1300;
     },
     1400, 45, 17},
    {"host answers 1.3 s late through an IP helper that drops late replies, behind a router naming 1400",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.hostDelayMs = 1300;
         p.dropsLate = true;
     },
     1400, 5, 5},
    {"host answers once a second behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostLimit = RateLimit(1);
     },
     1400, 39, 19},
    {"host answers twice a second behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostLimit = RateLimit(2);
     },
     1400, 44, 15},
    {"host answers at most one echo per 400 ms behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostLimit = RateLimit(2.5, 1);
     },
     1400, 40, 13},
    {"host answers five echoes a second, one at a time, behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostLimit = RateLimit(5, 1);
     },
     1400, 36, 9},
    {"host answers 1 to 2 s late behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.hostDelayMs = 1000;
         p.hostJitterMs = 1000;
     },
     1400, 48, 19},
    // Once one answer came late, the end waits for those still due: with
    // a pause, not with probes that a fast host answers at once.
    {"a fast host's ninth answer comes 300 ms late, behind a black hole at 1400",
     [](SimulatedPath& p) {
         p.links = {{1400, false}};
         p.roundTripMs = 1;
         p.answerLater = {{9, 300}};
     },
     1400, 40, 6},
    {"router names 1400, and that size's first probe is lost",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.loseFirst = {{1400, 1}};
     },
     1400, 4, 2},
    {"router names 1400 once a second, 1500 lost first",
     [](SimulatedPath& p) {
         p.links = {{1500, true}, {1400, true}};
         p.routerLimit = RateLimit(1);
         p.loseFirst = {{1500, 1}};
     },
     1400, 3, 1},
};

TEST(PathMtu, FindsTheExactFigureWithinItsProbes) {
    for (const PathCase& c : kPaths) {
        SimulatedPath path;
        c.set(path);
        const net::PathMtu found = Find(path);
        EXPECT_EQ(found.status, net::PathStatus::kFound) << c.what;
        EXPECT_EQ(found.mtu, c.mtu) << c.what;
        EXPECT_LE(found.probes, c.mostProbes) << c.what;
        EXPECT_EQ(found.probes, static_cast<int>(path.sent.size())) << c.what;
        EXPECT_LE(path.nowMs, c.mostSeconds * 1000U) << c.what;

        SimulatedPath again;
        c.set(again);
        if (again.links.back().routerTells && again.hostDelayMs == 0) {
            const HandSearchResult hand = HandSearch(again);
            EXPECT_LE(found.probes, hand.probes) << c.what << ": never more than the search by hand";
        }
    }
}

// IPv6's paths: from 1280 (every IPv6 link carries it) up to the route
// interface's MTU, at most 1500; a router naming less than 1280 is wrong,
// and a path that does not carry 1280 is no IPv6 path.
TEST(PathMtu, SearchesIpv6sSizes) {
    const struct {
        const char* what;
        std::vector<Link> links;
        int largest;  // the route interface's MTU
        net::PathStatus status;
        int mtu;
        int mostProbes;
        unsigned mostSeconds;
        double perSecond = 0;  // the host's answers (0: all)
    } cases[] = {
        {"a router names 1400", {{1500, true}, {1400, true}}, 1500, net::PathStatus::kFound, 1400, 2, 1},
        {"a 6in4 tunnel names 1480", {{1480, true}}, 1500, net::PathStatus::kFound, 1480, 2, 1},
        {"a black hole at 1480", {{1480, false}}, 1500, net::PathStatus::kFound, 1480, 27, 5},
        {"a black hole at 1281", {{1281, false}}, 1500, net::PathStatus::kFound, 1281, 30, 6},
        {"only 1280 passes", {{1280, false}}, 1500, net::PathStatus::kFound, 1280, 30, 7},
        {"the route's interface uses 1492", {{1500, true}}, 1492, net::PathStatus::kFound, 1492, 1, 1},
        {"the host answers once a second behind a black hole at 1400",
         {{1400, false}},
         1500,
         net::PathStatus::kFound,
         1400,
         39,
         19,
         1},
        {"a router names 1200", {{1500, true}, {1200, true}}, 1500, net::PathStatus::kBelowRange, 0, 2, 1},
        {"a black hole at 1000", {{1000, false}}, 1500, net::PathStatus::kSilent, 0, 6, 13},
    };
    for (const auto& c : cases) {
        SimulatedPath path;
        path.links = c.links;
        path.headers = net::kIpv6Probes.headers;
        path.hostLimit = RateLimit(c.perSecond);
        net::ProbeSizes sizes = net::kIpv6Probes;
        sizes.largest = c.largest;
        Quiet quiet(sizes);
        const net::PathMtu found = net::FindPathMtu(path, quiet, sizes);
        EXPECT_EQ(found.status, c.status) << c.what;
        EXPECT_EQ(found.mtu, c.mtu) << c.what;
        EXPECT_LE(found.probes, c.mostProbes) << c.what;
        EXPECT_LE(path.nowMs, c.mostSeconds * 1000U) << c.what;
        EXPECT_LE(found.atMost, c.largest) << c.what;
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
    // A late answer makes later probes wait long enough for theirs.
    SimulatedPath late;
    late.links = {{1400, false}};
    late.hostDelayMs = 1300;
    Find(late);
    EXPECT_EQ(late.sent.back().second, 2000U);
}

TEST(PathMtu, EndsWithoutAFigureAndSaysWhy) {
    struct Ending {
        const char* what;
        Set set;
        net::PathStatus status;
        int probes;
    };
    const Ending endings[] = {
        {"host drops echo requests", [](SimulatedPath& p) { p.hostAnswers = false; },
         net::PathStatus::kSilent, 8},
        {"network unreachable", [](SimulatedPath& p) { p.unreachable = true; }, net::PathStatus::kUnreachable,
         1},
        {"no raw socket", [](SimulatedPath& p) { p.cannotSend = "access denied"; },
         net::PathStatus::kCannotSend, 1},
        {"path below 88",
         [](SimulatedPath& p) {
             p.links = {{80, true}};
         },
         net::PathStatus::kBelowRange, 1},
        {"Ctrl+C after 4 probes",
         [](SimulatedPath& p) {
             p.links = {{1400, false}};
             p.interruptAfter = 4;
         },
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

    // A black hole stops at the limits of probes and of time, and says
    // between which sizes the MTU lies.
    for (const bool timeBound : {false, true}) {
        SimulatedPath path;
        path.links = {{1400, false}};
        net::ProbeLimits limits;
        limits.maxProbes = timeBound ? 1000 : 8;
        limits.maxMilliseconds = timeBound ? 2000 : 60000;
        const net::PathMtu bounded = Find(path, limits);
        EXPECT_EQ(bounded.status, net::PathStatus::kOutOfBounds) << timeBound;
        EXPECT_LE(bounded.probes, 8) << "the black hole takes 28 without limits";
        EXPECT_LE(path.nowMs, timeBound ? 2000U + 1000U : 60000U) << "at most one probe past the limit";
        EXPECT_TRUE(bounded.mtu >= 1280 && bounded.mtu <= 1400)
            << "the largest size that passed: " << bounded.mtu;
        EXPECT_EQ(bounded.atMost, 1500) << "no size is known to be too big for certain";
    }
    // Behind a router that named 1400, the range ends there.
    SimulatedPath lossy(3);
    lossy.links = {{1500, true}, {1400, true}};
    lossy.loseFirst = {{1400, 5}};
    net::ProbeLimits few;
    few.maxProbes = 4;
    const net::PathMtu unsure = Find(lossy, few);
    EXPECT_EQ(unsure.status, net::PathStatus::kOutOfBounds);
    EXPECT_EQ(unsure.atMost, 1400);
}

}  // namespace
}  // namespace quillon::test
