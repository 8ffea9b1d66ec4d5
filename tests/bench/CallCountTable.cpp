// Prints the rows of the benchmark table that count registry calls.

#include <cstdio>

#include "tests/unit/CallCounts.h"

int main() {
    for (const int adapters : {0, 3, 30}) {
        for (const auto& count : quillon::test::MeasureCallCounts(adapters)) {
            std::printf("| Registry calls of %s, %d adapters | %zu | %zu prescribed | %.2f |\n",
                        count.operation.c_str(), adapters, count.measured, count.prescribed,
                        static_cast<double>(count.measured) / static_cast<double>(count.prescribed));
        }
    }
    return 0;
}
