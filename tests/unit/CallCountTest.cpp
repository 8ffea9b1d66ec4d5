// Each operation makes exactly the registry calls its steps prescribe, so no
// call is ever added unnoticed.

#include <gtest/gtest.h>

#include "tests/unit/CallCounts.h"

namespace quillon::test {
namespace {

TEST(CallCounts, EveryOperationMakesThePrescribedCalls) {
    for (const int adapters : {0, 3, 30}) {
        for (const CallCount& count : MeasureCallCounts(adapters)) {
            EXPECT_EQ(count.measured, count.prescribed)
                << count.operation << " with " << adapters << " adapters";
        }
    }
}

}  // namespace
}  // namespace quillon::test
