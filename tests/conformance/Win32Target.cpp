#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "registry/Win32Registry.h"
#include "tests/conformance/ConformanceTarget.h"
#include "tests/support/WineRegistry.h"

namespace quillon::test {

ConformanceTarget MakeConformanceTarget() {
    ConformanceTarget target{std::make_unique<reg::Win32Registry>(), "SOFTWARE\\QuillonConformance", false};
    RemoveScratch(target);
    return target;
}

void RemoveScratch(ConformanceTarget& target) {
    RemoveTree(target.scratch);
}

}  // namespace quillon::test
