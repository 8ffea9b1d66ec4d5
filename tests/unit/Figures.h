#pragma once
// Figures that a test reports beside its verdict (texts tried, injection
// points covered): printed, and appended to the file that QUILLON_FIGURES
// names so that the test command can show them after the run.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace quillon::test {

inline void ReportFigure(const std::string& line) {
    std::cout << line << '\n';
    if (const char* path = std::getenv("QUILLON_FIGURES"); path != nullptr && *path != '\0') {
        std::ofstream(path, std::ios::app) << line << '\n';
    }
}

}  // namespace quillon::test
