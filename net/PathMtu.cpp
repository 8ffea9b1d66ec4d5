#include "net/PathMtu.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace quillon::net {

namespace {

// Before anything came back: the size nearly every path carries (the
// smallest MTU of IPv6), then the smallest size, each waited for this long;
// the host counts as silent once the smallest size went unanswered this often.
constexpr unsigned kFirstTimeoutMs = 1000;         // and as much more for each retry of a size, up to
constexpr unsigned kLongestFirstTimeoutMs = 3000;  // this (the IP helper drops a late reply)
constexpr int kSmallestSilences = 5;
// Later time-outs: a few round trips and a margin, within these bounds.
constexpr unsigned kRoundTripsToWait = 4;
constexpr unsigned kMarginMs = 150;
constexpr unsigned kShortestTimeoutMs = 250;
constexpr unsigned kLongestTimeoutMs = 2000;
constexpr unsigned kLongestLateWaitMs = 4000;
// The pause before each probe, counted from the last answer: none, and
// then, each time an answer goes missing at a size known to pass while more
// than kSlowDownLoss of them do at this pace, the next of these, or straight
// the one that comes near the time between the last two answers, where that
// is longer (a host that answers once a second spaces its answers so however
// fast the probes go). A path that only loses packets now and then keeps its
// pace; a host that limits its answers loses more of them the faster they
// come.
constexpr std::array<unsigned, 4> kPausesMs = {0, 250, 500, 1000};
constexpr double kSlowDownLoss = 0.3;
// Once the probes go slower, a pace that loses no fewer than the one before
// it did has not helped: loss that does not ease as the probes slow down is
// the path's, and over the first few probes of a new pace one loss is enough
// to look like more than kSlowDownLoss. Such a pace slows down again only
// where more than this share goes missing at it.
constexpr double kSlowerStillLoss = 0.5;
constexpr unsigned kNearTheGap = 3;  // a pause this many halves of it reach the gap
// The search ends on a figure once the odds that the MTU is larger after all
// (that the silences above it were all losses) are below kDoubt. The loss
// rate at each pace is what was seen at sizes known to pass, with
// kPriorLosses in kPriorTrials added, so that a few answers do not make a
// path look lossless.
constexpr double kDoubt = 1e-8;
constexpr double kPriorLosses = 1.5;
constexpr double kPriorTrials = 4.0;
// Where to probe next is chosen as if at least this share of probes were
// lost: one silence then moves the search less far below the size it was
// heard at, so that a lost packet costs fewer probes to recover from.
constexpr double kLeastLossForSearch = 0.3;

using PerPace = std::array<int, kPausesMs.size()>;

// What the probes of one size found, by the pace they were sent at.
struct SizeRecord {
    int size = 0;
    PerPace silences{};
    int passes = 0;

    [[nodiscard]] int AllSilences() const {
        int all = 0;
        for (const int silent : silences) {
            all += silent;
        }
        return all;
    }
};

// A probe that went unanswered within its time-out, while answers are known
// to come late.
struct Unsettled {
    int size = 0;
    std::size_t pace = 0;
    unsigned sentMs = 0;
    bool check = false;
    bool counted = false;  // its silence is in its size's record already
};

class Search {
public:
    Search(Prober& network, ProbeListener& listener, const ProbeSizes& sizes, const ProbeLimits& limits)
        : network_(network), listener_(listener), sizes_(sizes), limits_(limits), cap_(sizes.largest + 1) {}

    // The search's result, with the time it took.
    PathMtu Run() {
        Seek();
        result_.milliseconds = elapsedMs_;
        return std::move(result_);
    }

private:
    // Probes until the figure is found or the search is over; the result is
    // in result_.
    void Seek() {
        while (passed_ == 0) {
            const int size = NextFirstProbe();
            const unsigned retries = static_cast<unsigned>(Record(size).AllSilences());
            if (!Probe(size, std::min(kFirstTimeoutMs * (1 + retries), kLongestFirstTimeoutMs))) {
                return;
            }
            if (cap_ <= sizes_.smallest) {
                Finish(PathStatus::kBelowRange);
                return;
            }
            if (passed_ == 0 && Record(sizes_.smallest).AllSilences() >= kSmallestSilences) {
                Finish(PathStatus::kSilent);
                return;
            }
        }
        while (true) {
            const bool sure = passed_ + 1 >= cap_ || MassAbove(passed_ + 1) < kDoubt;
            if (sure && (pending_.empty() || passed_ + 1 >= cap_)) {
                Finish(PathStatus::kFound);
                return;
            }
            if (sure) {
                // Late answers may still be on their way: the search waits
                // as long as they may take, then one probe of a size known
                // to pass takes in what came meanwhile. A fast host answers
                // that probe at once, so waiting through probes would flood
                // it and spend the probes' bound.
                const unsigned left = std::min(
                    LateWaitLeft(), limits_.maxMilliseconds - std::min(elapsedMs_, limits_.maxMilliseconds));
                if (left != 0 && !network_.Interrupted()) {
                    network_.Pause(left);
                    elapsedMs_ += left;
                }
                if (!Probe(passed_, Timeout(), false, true)) {
                    return;
                }
                continue;
            }
            int size = Median();
            if (hint_ > passed_ && hint_ < cap_ && Record(hint_).AllSilences() < 2) {
                size = hint_;
            } else if (hintLearnt_ && hint_ == passed_ && Record(hint_ + 1).AllSilences() == 0) {
                size = hint_ + 1;  // what this system learnt passed: is it the path's MTU?
            }
            // At the boundary, the size just above the largest that passed
            // goes in turn with that largest, in an order drawn by lot: a
            // host that limits its answers cannot tell which of the two it
            // drops, so it leaves the one known to pass unanswered as often,
            // and the loss seen there weighs the boundary's silences.
            const bool check = size == passed_ + 1 && Draw();
            if (check) {
                size = passed_;
            }
            // Where answers come late, each probe waits only a little: its
            // answer still counts when it comes.
            if (!Probe(size, lateSeen_ ? kShortestTimeoutMs : Timeout(), check)) {
                return;
            }
        }
    }

    SizeRecord& Record(int size) {
        const auto at = std::find_if(records_.begin(), records_.end(),
                                     [&](const SizeRecord& record) { return record.size >= size; });
        if (at != records_.end() && at->size == size) {
            return *at;
        }
        SizeRecord record;
        record.size = size;
        return *records_.insert(at, record);
    }

    // Sends one probe and takes in what came back; false once the search is over.
    bool Probe(int size, unsigned timeoutMs, bool check = false, bool waiting = false) {
        if (network_.Interrupted()) {
            Finish(PathStatus::kInterrupted);
            return false;
        }
        if (result_.probes >= limits_.maxProbes || elapsedMs_ >= limits_.maxMilliseconds) {
            Finish(PathStatus::kOutOfBounds);
            return false;
        }
        // The pause counts from the last answer: a host that limits its
        // answers spends nothing on a probe it did not answer.
        const unsigned sinceAnswer = elapsedMs_ - lastAnswerMs_;
        const unsigned pause = kPausesMs[pace_] > sinceAnswer ? kPausesMs[pace_] - sinceAnswer : 0;
        if (pause != 0) {
            network_.Pause(pause);
            elapsedMs_ += pause;
        }
        const unsigned sentMs = elapsedMs_;
        const Echo echo = network_.Send(size, timeoutMs);
        ++result_.probes;
        elapsedMs_ += std::max(echo.elapsedMs, 1U);
        listener_.OnProbe(size, echo);
        for (const LateAnswer& late : echo.late) {
            lateSeen_ = true;
            const auto due = std::find_if(pending_.begin(), pending_.end(), [&](const Unsettled& probe) {
                return probe.size == late.packetSize;
            });
            const bool counted = due == pending_.end() || due->counted;
            if (due != pending_.end()) {
                checkPasses_[due->pace] += due->check ? 1 : 0;
                pending_.erase(due);
            }
            // The silence it was taken for was not one, nor a loss.
            SizeRecord& record = Record(late.packetSize);
            for (std::size_t pace = kPausesMs.size(); counted && pace-- != 0;) {
                if (record.silences[pace] != 0) {
                    --record.silences[pace];
                    if (late.packetSize <= passed_ && losses_[pace] != 0) {
                        --losses_[pace];
                    }
                    break;
                }
            }
            Passed(late.packetSize, late.elapsedMs);
            lastAnswerMs_ = elapsedMs_;
        }
        if (network_.Interrupted()) {
            Finish(PathStatus::kInterrupted);
            return false;
        }
        switch (echo.outcome) {
            case EchoOutcome::kPassed:
                checkPasses_[pace_] += check ? 1 : 0;
                Passed(size, echo.elapsedMs);
                answerGapMs_ = elapsedMs_ - lastAnswerMs_;
                lastAnswerMs_ = elapsedMs_;
                break;
            case EchoOutcome::kTooBig:
                cap_ = std::min(cap_, size);
                // Nothing above the MTU a router names can pass that router.
                // What this system learnt may be stale or another path's: a
                // size to try, and one more after it, which the system
                // refuses at once where it is the path's.
                if (echo.nextHopMtu >= sizes_.smallestLink && echo.nextHopMtu < size &&
                    echo.nextHopMtu >= passed_) {
                    if (!echo.mtuLearnt) {
                        cap_ = std::min(cap_, echo.nextHopMtu + 1);
                    }
                    hint_ = echo.nextHopMtu;
                    hintLearnt_ = echo.mtuLearnt;
                }
                break;
            case EchoOutcome::kNoAnswer:
                if (lateSeen_ && !waiting) {
                    // Its answer may yet come. A size above the largest
                    // that passed counts as silent at once, so that the
                    // search moves on, one known to pass as lost only once
                    // no answer can come any more.
                    pending_.push_back({size, pace_, sentMs, check, size > passed_});
                    Record(size).silences[pace_] += size > passed_ ? 1 : 0;
                } else {
                    Silence(size, pace_, check);
                }
                break;
            case EchoOutcome::kUnreachable:
                result_.reason = echo.reason;
                Finish(PathStatus::kUnreachable);
                return false;
            case EchoOutcome::kCannotSend:
                result_.reason = echo.reason;
                Finish(PathStatus::kCannotSend);
                return false;
        }
        for (auto probe = pending_.begin(); probe != pending_.end();) {
            if (elapsedMs_ - probe->sentMs < LateWait()) {
                ++probe;
                continue;
            }
            if (!probe->counted) {
                Silence(probe->size, probe->pace, probe->check);
            }
            probe = pending_.erase(probe);
        }
        return true;
    }

    void Silence(int size, std::size_t pace, bool check) {
        ++Record(size).silences[pace];
        checkLosses_[pace] += check ? 1 : 0;
        if (size <= passed_) {
            ++losses_[pace];
            SlowDown();
        }
    }

    void Passed(int size, unsigned elapsedMs) {
        ++Record(size).passes;
        ++passes_[pace_];
        slowestMs_ = std::max(slowestMs_, elapsedMs);
        if (size <= passed_) {
            return;
        }
        // Silences at the sizes this one proves can pass were losses.
        bool revealed = false;
        for (const SizeRecord& record : records_) {
            if (record.size > passed_ && record.size <= size) {
                for (std::size_t pace = 0; pace != kPausesMs.size(); ++pace) {
                    losses_[pace] += record.silences[pace];
                    revealed = revealed || record.silences[pace] != 0;
                }
            }
        }
        passed_ = size;
        if (revealed && !lateSeen_) {
            SlowDown();
        }
    }

    // Answers went missing where they should not: where that is more than
    // loss now and then, a host or a router may be answering only so many
    // probes a second, so the next probes wait longer before they go. What
    // was heard at each pace counts as much as the losses seen at that pace
    // make it worth.
    void SlowDown() {
        const bool eased = pace_ == 0 || Loss(pace_) < Loss(paceBefore_);
        if (Loss(pace_) > (eased ? kSlowDownLoss : kSlowerStillLoss)) {
            paceBefore_ = pace_;
            pace_ = std::min(pace_ + 1, kPausesMs.size() - 1);
            while (pace_ + 1 < kPausesMs.size() && kPausesMs[pace_] * kNearTheGap / 2 < answerGapMs_) {
                ++pace_;
            }
        }
    }

    // The share of probes of a size that passes that went unanswered at a
    // pace, as far as it was seen.
    [[nodiscard]] double Loss(std::size_t pace) const {
        return (losses_[pace] + kPriorLosses) / (losses_[pace] + passes_[pace] + kPriorTrials);
    }

    // The same, counted over the checks at the boundary alone: those went
    // out just as the boundary's tries did, so a host that drops answers for
    // reasons of its own drops them as often.
    [[nodiscard]] double CheckLoss(std::size_t pace) const {
        return (checkLosses_[pace] + kPriorLosses) / (checkLosses_[pace] + checkPasses_[pace] + kPriorTrials);
    }

    // How likely it is that the MTU is `from` or more, against it being
    // passed_: each MTU m above passed_ counts the chance that every silence
    // heard at a size from passed_ + 1 to m was a loss, each loss taken as
    // at least `leastLoss` likely (where that is not 0: for the search's
    // next size, not for its end).
    [[nodiscard]] double MassAbove(int from, double leastLoss = 0.0) const {
        double mass = 0.0;
        double weight = 1.0;
        int start = passed_ + 1;
        for (const SizeRecord& record : records_) {
            if (record.size <= passed_ || record.size >= cap_ || record.AllSilences() == 0) {
                continue;
            }
            mass += weight * Between(start, record.size - 1, from);
            // Where to probe next, silences heard faster than the pace
            // now are left out: the host's limit may explain them all.
            for (std::size_t pace = leastLoss > 0 ? pace_ : 0; pace != kPausesMs.size(); ++pace) {
                for (int i = 0; i != record.silences[pace]; ++i) {
                    weight *= std::max({Loss(pace), CheckLoss(pace), leastLoss});
                }
            }
            start = record.size;
        }
        return mass + weight * Between(start, cap_ - 1, from);
    }

    // How many sizes from `first` to `last` are `from` or more.
    static double Between(int first, int last, int from) {
        return std::max(0, last - std::max(first, from) + 1);
    }

    // The size that splits what is believed of the MTU into halves: the
    // probe that tells the most.
    [[nodiscard]] int Median() const {
        const double half = (1.0 + MassAbove(passed_ + 1, kLeastLossForSearch)) / 2;
        int low = passed_ + 1;
        int high = cap_ - 1;
        while (low < high) {
            const int middle = low + (high - low + 1) / 2;
            if (MassAbove(middle, kLeastLossForSearch) >= half) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        return low;
    }

    // Before anything came back: what a router named, else the size most
    // paths carry, else the smallest, each tried again before it is given up.
    int NextFirstProbe() {
        if (result_.probes == 0) {
            return sizes_.largest;
        }
        const int smallestSilences = Record(sizes_.smallest).AllSilences();
        for (const int size : {hint_, sizes_.common}) {
            if (size > sizes_.smallest && size < cap_ && Record(size).AllSilences() < 2 &&
                Record(size).AllSilences() <= smallestSilences) {
                return size;
            }
        }
        return sizes_.smallest;
    }

    // A fair coin, from a sequence that no host's limit follows.
    bool Draw() {
        lot_ ^= lot_ << 13U;
        lot_ ^= lot_ >> 17U;
        lot_ ^= lot_ << 5U;
        return (lot_ & 1U) != 0;
    }

    [[nodiscard]] unsigned Timeout() const {
        return std::clamp(slowestMs_ * kRoundTripsToWait + kMarginMs, kShortestTimeoutMs, kLongestTimeoutMs);
    }

    // How long a late answer may take, once one came.
    [[nodiscard]] unsigned LateWait() const {
        return std::min(slowestMs_ * 3 / 2 + kMarginMs, kLongestLateWaitMs);
    }

    // How much longer the answers still due may take.
    [[nodiscard]] unsigned LateWaitLeft() const {
        unsigned left = 0;
        for (const Unsettled& probe : pending_) {
            const unsigned age = elapsedMs_ - probe.sentMs;
            left = std::max(left, age >= LateWait() ? 0 : LateWait() - age);
        }
        return left;
    }

    void Finish(PathStatus status) {
        result_.status = status;
        result_.mtu = passed_;
        result_.atMost = std::min(cap_, sizes_.largest + 1) - 1;
    }

    Prober& network_;
    ProbeListener& listener_;
    const ProbeSizes& sizes_;
    const ProbeLimits& limits_;
    PathMtu result_;
    int passed_ = 0;               // the largest size that came back
    int cap_;                      // the smallest size known too big for certain
    int hint_ = 0;                 // an MTU a router named, to try next
    bool hintLearnt_ = false;      // hint_ is what this system learnt, not a bound
    std::size_t pace_ = 0;         // which pause goes before each probe
    std::size_t paceBefore_ = 0;   // the pace the probes went at before the last slow-down
    PerPace losses_{};             // answers missing at sizes known to pass, by pace
    PerPace passes_{};             // answers that came back, by pace
    PerPace checkLosses_{};        // of those, the checks at the boundary
    PerPace checkPasses_{};
    bool lateSeen_ = false;  // an answer came after its time-out
    unsigned slowestMs_ = 0;
    unsigned elapsedMs_ = 0;
    unsigned lastAnswerMs_ = 0;  // elapsedMs_ when the last answer came
    unsigned answerGapMs_ = 0;   // from the answer before it to that one
    std::uint32_t lot_ = 0x9E3779B9U;
    std::vector<SizeRecord> records_;  // by size
    std::vector<Unsettled> pending_;   // silent probes whose answer may still come late
};

}  // namespace

PathMtu FindPathMtu(Prober& network, ProbeListener& listener, const ProbeSizes& sizes, const ProbeLimits& limits) {
    Search search(network, listener, sizes, limits);
    return search.Run();
}

}  // namespace quillon::net
