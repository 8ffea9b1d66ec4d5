#pragma once
// What a registry back end gives the conformance scenarios: the operations,
// and a scratch key below HKEY_LOCAL_MACHINE that a scenario may use freely.

#include <memory>
#include <string>

#include "registry/RegistryApi.h"

namespace quillon::test {

struct ConformanceTarget {
    std::unique_ptr<reg::RegistryApi> api;
    std::string scratch;
    // True for the in-memory model, which stores exactly the bytes it is given.
    bool exactBytes = true;
};

// Each back end's test program defines these two.
ConformanceTarget MakeConformanceTarget();
void RemoveScratch(ConformanceTarget& target);

}  // namespace quillon::test
