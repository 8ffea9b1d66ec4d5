#pragma once
// A path to a host for the probe's tests: links of given MTUs, each behind a
// router that may or may not say "fragmentation needed", random loss, and a
// host that may not answer. Like a real system it learns an MTU a router
// names and then refuses larger probes itself.

#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "net/Network.h"

namespace quillon::test {

struct Link {
    int mtu;
    bool routerTells;  // false: a black hole
};

class SimulatedPath final : public net::Network {
public:
    std::vector<Link> links;
    int lossPercent = 0;          // of the probes, or their answers
    bool hostAnswers = true;
    bool unreachable = false;
    bool resolves = true;
    std::optional<std::string> cannotSend;
    int learnt = 0;               // an MTU this system already knows for the path
    unsigned roundTripMs = 2;
    int interruptAfter = -1;      // the user presses Ctrl+C after this many probes
    std::map<std::string, unsigned> inUse;  // MtuInUse's answers
    std::vector<std::pair<int, unsigned>> sent;  // size and time-out of each probe
    int opened = 0;

    explicit SimulatedPath(unsigned seed = 1) : random_(seed) {}

    bool OpenPath(const std::string& host, std::string& address, std::string& failure) override {
        ++opened;
        if (!resolves) {
            failure = "The name '" + host + "' did not resolve.";
            return false;
        }
        address = "203.0.113.9";
        return true;
    }

    net::Echo Send(int packetSize, unsigned timeoutMs) override {
        sent.emplace_back(packetSize, timeoutMs);
        net::Echo echo;
        echo.elapsedMs = timeoutMs;
        if (cannotSend) {
            echo.outcome = net::EchoOutcome::kCannotSend;
            echo.reason = *cannotSend;
            return echo;
        }
        if (learnt != 0 && packetSize > learnt) {
            echo.outcome = net::EchoOutcome::kTooBig;
            echo.refusedHere = true;
            echo.elapsedMs = 0;
            return echo;
        }
        const bool lost = Lost();
        if (lost) {
            return echo;
        }
        if (unreachable) {
            echo.outcome = net::EchoOutcome::kUnreachable;
            echo.reason = "198.51.100.1 says the network is unreachable";
            return echo;
        }
        for (const Link& link : links) {
            if (packetSize > link.mtu) {
                if (link.routerTells) {
                    echo.outcome = net::EchoOutcome::kTooBig;
                    echo.nextHopMtu = link.mtu;
                    echo.elapsedMs = roundTripMs;
                    learnt = link.mtu;
                }
                return echo;
            }
        }
        if (!hostAnswers) {
            return echo;
        }
        echo.outcome = net::EchoOutcome::kPassed;
        echo.elapsedMs = roundTripMs;
        return echo;
    }

    bool Interrupted() override { return interruptAfter >= 0 && static_cast<int>(sent.size()) >= interruptAfter; }

    std::optional<unsigned> MtuInUse(const std::string& serviceName) override {
        const auto found = inUse.find(serviceName);
        return found == inUse.end() ? std::nullopt : std::optional<unsigned>(found->second);
    }

private:
    bool Lost() { return lossPercent != 0 && static_cast<int>(random_() % 100) < lossPercent; }
    std::mt19937 random_;
};

}  // namespace quillon::test
