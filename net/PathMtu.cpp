#include "net/PathMtu.h"

#include <algorithm>
#include <array>

namespace quillon::net {

namespace {

// After 1500, the first probes try what nearly every path carries (the
// smallest MTU of IPv6), above which the range is small enough to halve
// quickly. Until one probe has come back each waits this long, and the
// smallest size is tried this often before the host counts as silent.
constexpr int kCommonProbe = 1280;
constexpr unsigned kFirstTimeoutMs = 1000;
constexpr int kSmallestTries = 4;
// Later time-outs: a few round trips and a margin, within these bounds.
constexpr unsigned kRoundTripsToWait = 4;
constexpr unsigned kMarginMs = 150;
constexpr unsigned kShortestTimeoutMs = 250;
constexpr unsigned kLongestTimeoutMs = 2000;
// Silences a size needs before it counts as too big at the boundary, before
// and after a loss was seen on the path.
constexpr int kSilencesWithoutLoss = 5;
constexpr int kSilencesWithLoss = 7;
// The smallest MTU an IPv4 link may have: a router naming less is wrong.
constexpr int kSmallestLinkMtu = 68;
constexpr int kSizes = kLargestProbe + 2;
constexpr unsigned char kMostSilences = 255;

class Search {
public:
    Search(Network& network, ProbeListener& listener, const ProbeLimits& limits)
        : network_(network), listener_(listener), limits_(limits) {}

    PathMtu Run() {
        // Until something comes back: the size most paths carry, then what a
        // router named instead, then the smallest size, which a host that
        // answers at all should answer.
        int smallestTries = 0;
        for (int size = kLargestProbe; passed_ == 0;) {
            if (!Probe(size, kFirstTimeoutMs)) {
                return result_;
            }
            if (size == kSmallestProbe) {
                ++smallestTries;
            }
            if (tooBig_ <= kSmallestProbe) {
                return Finish(PathStatus::kBelowRange);
            }
            if (smallestTries == kSmallestTries && passed_ == 0) {
                return Finish(PathStatus::kSilent);
            }
            size = NextFirstProbe();
        }
        while (true) {
            const int hi = Ceiling();
            int size = 0;
            if (hi == passed_ + 1) {
                if (hi == tooBig_ || silences_[static_cast<std::size_t>(hi)] >= SilencesNeeded()) {
                    return Finish(PathStatus::kFound);
                }
                size = hi;
            } else if (hint_ > passed_ && hint_ < hi) {
                size = hint_;
            } else if (hi > kLargestProbe) {
                size = kLargestProbe;
            } else {
                size = passed_ + (hi - passed_) / 2;
            }
            hint_ = 0;
            if (!Probe(size, Timeout())) {
                return result_;
            }
        }
    }

private:
    // Sends one probe and takes in what came back; false once the search is over.
    bool Probe(int size, unsigned timeoutMs) {
        if (network_.Interrupted()) {
            Finish(PathStatus::kInterrupted);
            return false;
        }
        if (result_.probes >= limits_.maxProbes || elapsedMs_ >= limits_.maxMilliseconds) {
            Finish(PathStatus::kOutOfBounds);
            return false;
        }
        const Echo echo = network_.Send(size, timeoutMs);
        ++result_.probes;
        elapsedMs_ += std::max(echo.elapsedMs, 1U);
        listener_.OnProbe(size, echo);
        if (network_.Interrupted()) {
            Finish(PathStatus::kInterrupted);
            return false;
        }
        switch (echo.outcome) {
            case EchoOutcome::kPassed:
                if (silences_[static_cast<std::size_t>(size)] != 0 || size <= passed_) {
                    lossSeen_ = true;
                }
                passed_ = std::max(passed_, size);
                slowestMs_ = std::max(slowestMs_, echo.elapsedMs);
                return true;
            case EchoOutcome::kTooBig:
                tooBig_ = std::min(tooBig_, size);
                // Nothing above the MTU a router names can pass that router.
                if (echo.nextHopMtu >= kSmallestLinkMtu && echo.nextHopMtu < size && echo.nextHopMtu >= passed_) {
                    tooBig_ = std::min(tooBig_, echo.nextHopMtu + 1);
                    hint_ = echo.nextHopMtu;
                }
                return true;
            case EchoOutcome::kNoAnswer:
                if (silences_[static_cast<std::size_t>(size)] != kMostSilences) {
                    ++silences_[static_cast<std::size_t>(size)];
                }
                return true;
            case EchoOutcome::kUnreachable:
                result_.reason = echo.reason;
                Finish(PathStatus::kUnreachable);
                return false;
            case EchoOutcome::kCannotSend:
                result_.reason = echo.reason;
                Finish(PathStatus::kCannotSend);
                return false;
        }
        return false;
    }

    // Before anything came back: what a router named, else the size most
    // paths carry, else the smallest.
    [[nodiscard]] int NextFirstProbe() const {
        for (const int size : {hint_, kCommonProbe}) {
            if (size > kSmallestProbe && size < tooBig_ && silences_[static_cast<std::size_t>(size)] == 0) {
                return size;
            }
        }
        return kSmallestProbe;
    }

    // The smallest size above the largest that passed that is believed too
    // big: certain, or silent once (twice, where the path is known to lose
    // packets, so that a loss is tried again before it counts).
    [[nodiscard]] int Ceiling() const {
        const unsigned char enough = lossSeen_ ? 2 : 1;
        for (int size = passed_ + 1; size < tooBig_; ++size) {
            if (silences_[static_cast<std::size_t>(size)] >= enough) {
                return size;
            }
        }
        return tooBig_;
    }

    [[nodiscard]] int SilencesNeeded() const { return lossSeen_ ? kSilencesWithLoss : kSilencesWithoutLoss; }

    [[nodiscard]] unsigned Timeout() const {
        return std::clamp(slowestMs_ * kRoundTripsToWait + kMarginMs, kShortestTimeoutMs, kLongestTimeoutMs);
    }

    PathMtu Finish(PathStatus status) {
        result_.status = status;
        result_.mtu = passed_;
        return result_;
    }

    Network& network_;
    ProbeListener& listener_;
    const ProbeLimits& limits_;
    PathMtu result_;
    int passed_ = 0;               // the largest size that came back
    int tooBig_ = kLargestProbe + 1;  // the smallest size known too big for certain
    int hint_ = 0;                 // an MTU a router named, to try next
    bool lossSeen_ = false;
    unsigned slowestMs_ = 0;
    unsigned elapsedMs_ = 0;
    std::array<unsigned char, kSizes> silences_{};
};

}  // namespace

PathMtu FindPathMtu(Network& network, ProbeListener& listener, const ProbeLimits& limits) {
    return Search(network, listener, limits).Run();
}

}  // namespace quillon::net
