#include "registry/MemoryRegistry.h"
#include "tests/conformance/ConformanceTarget.h"

namespace quillon::test {

ConformanceTarget MakeConformanceTarget() {
    return ConformanceTarget{std::make_unique<reg::MemoryRegistry>(), "SOFTWARE\\QuillonConformance", true};
}

void RemoveScratch(ConformanceTarget&) {}

}  // namespace quillon::test
