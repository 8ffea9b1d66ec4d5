#pragma once
// A path to a host for the probe's tests: links of given MTUs, each behind a
// router that may or may not say "fragmentation needed", random loss each
// way, and a host that may be silent, cut its replies short, answer late or
// answer only so many echoes a second. Like a real system it learns an MTU a
// router names and then refuses larger probes itself. Time is simulated: a
// probe takes its round trip or its time-out, a pause its length.

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "net/Prober.h"

namespace quillon::test {

struct Link {
    int mtu;
    bool routerTells;  // false: a black hole
};

// At most `perSecond` packets a second, and `burst` at once (0: as many as
// a second allows); no limit where perSecond is 0.
class RateLimit {
public:
    explicit RateLimit(double perSecond = 0, double burst = 0)
        : perSecond_(perSecond), burst_(burst != 0 ? burst : perSecond), tokens_(burst_) {}
    bool Take(unsigned nowMs) {
        if (perSecond_ == 0) {
            return true;
        }
        tokens_ = std::min(burst_, tokens_ + (nowMs - lastMs_) * perSecond_ / 1000.0);
        lastMs_ = nowMs;
        if (tokens_ < 1.0) {
            return false;
        }
        tokens_ -= 1.0;
        return true;
    }

private:
    double perSecond_;
    double burst_;
    double tokens_;
    unsigned lastMs_ = 0;
};

class SimulatedPath final : public net::Prober {
public:
    std::vector<Link> links;
    int lossPercent = 0;  // of the probes on their way, and again of the answers on theirs
    bool answersLost = true;  // false: loss takes probes on their way only
    bool hostAnswers = true;
    bool unreachable = false;
    bool resolves = true;
    std::optional<std::string> cannotSend;
    int learnt = 0;  // an MTU this system already knows for the path
    // As the IP helper answers: a "too big" names no router's MTU but this
    // one, as what the system learnt for the path (0: a router's, as heard).
    int saysLearnt = 0;
    bool learns = true;  // false: each "too big" looks like a router's, as where this system's own do
    unsigned roundTripMs = 2;
    unsigned hostDelayMs = 0;      // the host answers this much later than the round trip
    unsigned hostJitterMs = 0;     // and up to this much later again, at random
    bool dropsLate = false;        // a reply after its time-out is dropped, as the IP helper drops it
    int cutTo = 0;                 // the host's replies carry at most this many bytes of data (0: all)
    int headers = net::kIpAndIcmpHeaders;  // of each probe: IPv4's, or IPv6's 48
    RateLimit hostLimit;           // echo replies the host gives
    RateLimit routerLimit;         // "fragmentation needed" each router gives
    std::map<int, int> loseFirst;  // size: how many of its first probes are lost on the way
    std::map<std::size_t, unsigned> answerLater;  // probe number (from 1): its answer comes this much later
    int interruptAfter = -1;                      // the user presses Ctrl+C after this many probes
    std::vector<std::pair<int, unsigned>> sent;   // size and time-out of each probe
    unsigned pausedMs = 0;
    unsigned nowMs = 0;
    int opened = 0;
    net::IpVersion openedVersion = net::IpVersion::k4;
    unsigned routeMtu = 0;  // IPv6: the route interface's MTU, as OpenPath says it

    explicit SimulatedPath(unsigned seed = 1) : random_(seed) {}

    bool OpenPath(const std::string& host, net::IpVersion version, net::PathInfo& path,
                  std::string& failure) override {
        ++opened;
        openedVersion = version;
        if (!resolves) {
            failure = "The name '" + host + "' did not resolve.";
            return false;
        }
        path.address = version == net::IpVersion::k6 ? "2001:db8::9" : "203.0.113.9";
        path.means = "through a simulated path";
        path.routeMtu = routeMtu;
        return true;
    }

    net::Echo Send(int packetSize, unsigned timeoutMs) override {
        sent.emplace_back(packetSize, timeoutMs);
        net::Echo echo;
        if (cannotSend) {
            echo.outcome = net::EchoOutcome::kCannotSend;
            echo.reason = *cannotSend;
            return echo;
        }
        if (learnt != 0 && packetSize > learnt) {
            echo.outcome = net::EchoOutcome::kTooBig;
            echo.refusedHere = true;
            SayLearnt(echo, packetSize);
            return echo;
        }
        const unsigned sentMs = nowMs;
        std::optional<unsigned> answerMs;  // when this probe's answer arrives
        if (Arrives()) {
            if (unreachable) {
                echo.outcome = net::EchoOutcome::kUnreachable;
                echo.reason = "198.51.100.1 says the network is unreachable";
                answerMs = sentMs + roundTripMs;
            } else {
                const Link* narrow = nullptr;
                for (const Link& link : links) {
                    if (packetSize > link.mtu) {
                        narrow = &link;
                        break;
                    }
                }
                if (narrow != nullptr) {
                    if (narrow->routerTells && routerLimit.Take(sentMs) && Answered()) {
                        echo.outcome = net::EchoOutcome::kTooBig;
                        echo.nextHopMtu = narrow->mtu;
                        learnt = learns ? narrow->mtu : 0;
                        SayLearnt(echo, packetSize);
                        answerMs = sentMs + roundTripMs;
                    }
                } else if (hostAnswers && !LostByRule(packetSize) && hostLimit.Take(sentMs) && Answered()) {
                    const unsigned jitter =
                        hostJitterMs == 0 ? 0 : static_cast<unsigned>(random_() % hostJitterMs);
                    const auto later = answerLater.find(sent.size());
                    const unsigned extra = later != answerLater.end() ? later->second : 0;
                    pending_.push_back(
                        {sentMs + roundTripMs + hostDelayMs + jitter + extra, sentMs, packetSize});
                }
            }
        }
        // Wait for this probe's reply, or its time-out; other replies that
        // arrive meanwhile are late answers to earlier probes.
        const unsigned deadline = sentMs + timeoutMs;
        unsigned end = answerMs.value_or(deadline);
        for (const Pending& reply : pending_) {
            if (reply.sentMs == sentMs && reply.arrivesMs <= deadline) {
                end = reply.arrivesMs;
                echo.outcome = net::EchoOutcome::kPassed;
                if (cutTo != 0 && packetSize > headers + cutTo) {
                    echo.replySize = headers + cutTo;
                }
            }
        }
        for (auto reply = pending_.begin(); reply != pending_.end();) {
            if (reply->arrivesMs > end) {
                ++reply;
                continue;
            }
            if (reply->sentMs != sentMs && !dropsLate) {
                echo.late.push_back({reply->size, reply->arrivesMs - reply->sentMs});
            }
            reply = pending_.erase(reply);
        }
        echo.elapsedMs = end - sentMs;
        nowMs = end;
        return echo;
    }

    void Pause(unsigned milliseconds) override {
        pausedMs += milliseconds;
        nowMs += milliseconds;
    }

    bool Interrupted() override {
        return interruptAfter >= 0 && static_cast<int>(sent.size()) >= interruptAfter;
    }

private:
    struct Pending {
        unsigned arrivesMs;
        unsigned sentMs;
        int size;
    };

    void SayLearnt(net::Echo& echo, int packetSize) const {
        if (saysLearnt != 0) {
            echo.nextHopMtu = saysLearnt < packetSize ? saysLearnt : 0;
            echo.mtuLearnt = echo.nextHopMtu != 0;
        }
    }
    bool Arrives() { return lossPercent == 0 || static_cast<int>(random_() % 100) >= lossPercent; }
    bool Answered() { return !answersLost || Arrives(); }
    bool LostByRule(int packetSize) {
        const auto rule = loseFirst.find(packetSize);
        return rule != loseFirst.end() && rule->second-- > 0;
    }

    std::minstd_rand random_;
    std::vector<Pending> pending_;
};

}  // namespace quillon::test
