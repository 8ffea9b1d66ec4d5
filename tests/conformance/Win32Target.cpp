#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "registry/Win32Registry.h"
#include "tests/conformance/ConformanceTarget.h"

namespace quillon::test {

ConformanceTarget MakeConformanceTarget() {
    ConformanceTarget target{std::make_unique<reg::Win32Registry>(), "SOFTWARE\\QuillonConformance", false};
    RemoveScratch(target);
    return target;
}

void RemoveScratch(ConformanceTarget& target) {
    static_cast<void>(::RegDeleteTreeA(HKEY_LOCAL_MACHINE, target.scratch.c_str()));
    static_cast<void>(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, target.scratch.c_str()));
}

}  // namespace quillon::test
