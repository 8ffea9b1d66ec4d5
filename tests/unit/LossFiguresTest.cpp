// How often loss makes the probe end on a wrong figure: 100,000 simulated
// runs per path, over IPv4 and over IPv6, with 10% and with 20% of packets
// lost each way (the probe or its answer). A run may end without a figure (at 10% at most 30 times in
// 100,000); it must never end above the truth, at 10% never below it, and
// at 20% below it at most twice in 100,000 runs. The figures are printed at
// the end of the test command's run.
//
// Built with optimisation in every build, since it runs the search over a
// million times.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "net/PathMtu.h"
#include "tests/unit/Figures.h"
#include "tests/unit/SimulatedPath.h"

namespace quillon::test {
namespace {

constexpr unsigned kRuns = 100000;

class Quiet final : public net::ProbeListener {
public:
    void OnProbe(int, const net::Echo&) override {}
};

const net::ProbeSizes kVersions[] = {net::kIpv4Probes, net::kIpv6Probes};

// How a figure line begins: IPv4's as they always have.
std::string Version(const net::ProbeSizes& sizes) {
    return sizes.headers == net::kIpv4Probes.headers ? "" : "IPv6: ";
}

TEST(LossFigures, LossNeverMakesAWrongFigureMoreOftenThanTheAimAllows) {
    const struct {
        const char* what;
        std::vector<Link> links;
        int mtu;
    } paths[] = {
        {"black hole at 576", {{576, false}}, 576},
        {"black hole at 1280", {{1280, false}}, 1280},
        {"black hole at 1400", {{1400, false}}, 1400},
        {"black hole at 1492", {{1492, false}}, 1492},
        {"black hole at 1499", {{1499, false}}, 1499},
        {"router names 1400", {{1500, true}, {1400, true}}, 1400},
        {"clean 1500", {{1500, true}}, 1500},
    };
    for (const net::ProbeSizes& sizes : kVersions) {
        for (const int loss : {10, 20}) {
            for (const auto& path : paths) {
                if (path.mtu < sizes.smallest) {
                    continue;
                }
                unsigned below = 0;
                unsigned above = 0;
                unsigned none = 0;
                unsigned long probes = 0;
                for (unsigned seed = 1; seed <= kRuns; ++seed) {
                    SimulatedPath simulated(seed);
                    simulated.links = path.links;
                    simulated.lossPercent = loss;
                    simulated.headers = sizes.headers;
                    Quiet quiet;
                    const net::PathMtu found = net::FindPathMtu(simulated, quiet, sizes);
                    probes += static_cast<unsigned long>(found.probes);
                    if (found.status != net::PathStatus::kFound) {
                        ++none;
                        EXPECT_LE(found.mtu, path.mtu) << path.what << " seed " << seed;
                        EXPECT_GE(found.atMost, path.mtu) << path.what << " seed " << seed;
                    } else if (found.mtu < path.mtu) {
                        ++below;
                    } else if (found.mtu > path.mtu) {
                        ++above;
                    }
                }
                EXPECT_EQ(above, 0U) << path.what;
                EXPECT_LE(below, loss == 10 ? 0U : 2U) << path.what << ", " << loss << "% lost each way";
                EXPECT_LE(none, loss == 10 ? 30U : kRuns) << path.what << ", " << loss << "% lost each way";
                char averaged[16];
                std::snprintf(averaged, sizeof averaged, "%.1f", static_cast<double>(probes) / kRuns);
                ReportFigure(Version(sizes) + "probe with " + std::to_string(loss) + "% lost each way, " +
                             path.what + ": " + std::to_string(kRuns) + " runs, " + std::to_string(below) +
                             " below the truth, " + std::to_string(none) + " without a figure, " + averaged +
                             " probes on average");
            }
        }
    }
}

// A host that answers at most one or two echoes a second, or late: its
// silences are not the path's, and with loss on top they must still never
// make a wrong figure.
TEST(LossFigures, AHostThatLimitsItsRepliesNeverMakesAWrongFigure) {
    constexpr unsigned kLimitedRuns = 20000;
    const struct {
        const char* what;
        std::vector<Link> links;
        double perSecond;
        int loss;
        int mtu;
        double burst = 0;     // answers at once (0: as many as a second allows)
        unsigned lateMs = 0;  // every answer this much late, and up to as much again
        bool dropsLate = false;
    } hosts[] = {
        {"black hole at 1400, once a second, 5% lost each way", {{1400, false}}, 1, 5, 1400},
        {"black hole at 1400, once a second, 10% lost each way", {{1400, false}}, 1, 10, 1400},
        {"black hole at 576, once a second, 10% lost each way", {{576, false}}, 1, 10, 576},
        {"router names 1400, once a second, 10% lost each way", {{1500, true}, {1400, true}}, 1, 10, 1400},
        {"black hole at 1400, twice a second, 20% lost each way", {{1400, false}}, 2, 20, 1400},
        {"black hole at 1400, one echo per 400 ms, 10% lost each way", {{1400, false}}, 2.5, 10, 1400, 1},
        {"black hole at 1400, five a second one at a time, 10% lost each way",
         {{1400, false}},
         5,
         10,
         1400,
         1},
        {"black hole at 1400, twice a second 1 to 2 s late, 10% lost each way",
         {{1400, false}},
         2,
         10,
         1400,
         0,
         1000},
        {"black hole at 1400, 1 to 2 s late to the IP helper, 10% lost each way",
         {{1400, false}},
         0,
         10,
         1400,
         0,
         1000,
         true},
    };
    for (const net::ProbeSizes& sizes : kVersions) {
        for (const auto& host : hosts) {
            if (host.mtu < sizes.smallest) {
                continue;
            }
            unsigned wrong = 0;
            unsigned none = 0;
            for (unsigned seed = 1; seed <= kLimitedRuns; ++seed) {
                SimulatedPath simulated(seed);
                simulated.links = host.links;
                simulated.hostLimit = RateLimit(host.perSecond, host.burst);
                simulated.lossPercent = host.loss;
                simulated.hostDelayMs = host.lateMs;
                simulated.hostJitterMs = host.lateMs;
                simulated.dropsLate = host.dropsLate;
                simulated.headers = sizes.headers;
                Quiet quiet;
                const net::PathMtu found = net::FindPathMtu(simulated, quiet, sizes);
                wrong += found.status == net::PathStatus::kFound && found.mtu != host.mtu ? 1 : 0;
                none += found.status != net::PathStatus::kFound ? 1 : 0;
            }
            EXPECT_EQ(wrong, 0U) << host.what;
            ReportFigure(Version(sizes) + "probe of a host that answers " + std::string(host.what) + ": " +
                         std::to_string(kLimitedRuns) + " runs, " + std::to_string(wrong) + " wrong, " +
                         std::to_string(none) + " without a figure");
        }
    }
}

// The lossy black hole of the test network (one probe in five lost on its
// way, none of the answers): never a figure below the truth, the slowest
// tenth of the runs within 20 seconds, and how long that tenth takes and
// how many probes, printed as the figures above are.
TEST(LossFigures, ALossyBlackHoleNeverEndsBelowTheTruth) {
    constexpr unsigned kTailRuns = 20000;
    const auto tenth = static_cast<std::ptrdiff_t>(kTailRuns * 9 / 10);
    for (const net::ProbeSizes& sizes : kVersions) {
        std::vector<unsigned> milliseconds;
        std::vector<int> probes;
        unsigned below = 0;
        for (unsigned seed = 1; seed <= kTailRuns; ++seed) {
            SimulatedPath simulated(seed);
            simulated.links = {{1400, false}};
            simulated.lossPercent = 20;
            simulated.answersLost = false;
            simulated.headers = sizes.headers;
            Quiet quiet;
            const net::PathMtu found = net::FindPathMtu(simulated, quiet, sizes);
            below += found.status == net::PathStatus::kFound && found.mtu < 1400 ? 1 : 0;
            milliseconds.push_back(found.milliseconds);
            probes.push_back(found.probes);
        }
        EXPECT_EQ(below, 0U) << Version(sizes);
        std::nth_element(milliseconds.begin(), milliseconds.begin() + tenth, milliseconds.end());
        std::nth_element(probes.begin(), probes.begin() + tenth, probes.end());
        EXPECT_LE(milliseconds[tenth], 20000U) << Version(sizes) << "the slowest tenth";
        ReportFigure(Version(sizes) + "probe of a black hole at 1400 that loses one probe in five: " +
                     std::to_string(kTailRuns) + " runs, " + std::to_string(below) +
                     " below the truth, 90th percentile " + std::to_string(milliseconds[tenth]) + " ms and " +
                     std::to_string(probes[tenth]) + " probes");
    }
}

}  // namespace
}  // namespace quillon::test
