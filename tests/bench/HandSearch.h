#pragma once
// The search the guides teach for the path's MTU, done with one ping each:
// start with 1472 bytes of data (a 1500-byte packet) and don't-fragment,
// step down by 10 until a ping passes, then up by 1 until one fails. The
// benchmark sets the probe against it, on the same path through the same
// network back end.

#include "net/Prober.h"

namespace quillon::test {

struct HandSearchResult {
    int mtu = 0;  // 0: not even the smallest packet passed
    int probes = 0;
};

inline HandSearchResult HandSearch(net::Prober& network, unsigned timeoutMs = 1000) {
    constexpr int kStart = 1500;
    constexpr int kSmallest = 88;
    constexpr int kStepDown = 10;
    HandSearchResult result;
    const auto passes = [&](int size) {
        ++result.probes;
        return network.Send(size, timeoutMs).outcome == net::EchoOutcome::kPassed;
    };
    int size = kStart;
    while (size >= kSmallest && !passes(size)) {
        size -= kStepDown;
    }
    if (size < kSmallest) {
        return result;
    }
    while (size < kStart && passes(size + 1)) {
        ++size;
    }
    result.mtu = size;
    return result;
}

}  // namespace quillon::test
