#pragma once
// How many registry calls each operation makes, measured on the in-memory
// registry, beside the number its steps prescribe. A read is open, one query
// (two for a REG_SZ that is there) and close; a write is create, set and
// close; a delete is open, delete and close. A scan reads 30 slots. The NT
// family's Apply and Remove read "CurrentVersion" once; on NT 4.0 they write
// or delete a second "MTU" for each adapter.

#include <functional>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "tests/support/KeysAndTexts.h"
#include "tests/unit/SettingsRig.h"

namespace quillon::test {

struct CallCount {
    std::string operation;
    int adapters;
    std::size_t measured;
    std::size_t prescribed;
};

// `adapters` NT cards 1.. with a service name, and as many 9x transports
// with an "IPAddress" and a "DriverDate" text; NT says "5.1", then "4.0".
inline std::vector<CallCount> MeasureCallCounts(int adapters) {
    reg::MemoryRegistry model;
    SettingsRig m(model);
    for (int i = 0; i < adapters; ++i) {
        // Built piece by piece: gcc 12 at -O3 warns wrongly about "a" + b + "c".
        std::string service = "{";
        service += std::to_string(i);
        service += "}";
        std::string transport = kNetTrans;
        transport += i < 10 ? "000" : "00";
        transport += std::to_string(i);
        model.SeedString(kCards + std::to_string(i + 1), "ServiceName", service);
        model.SeedString(transport, "IPAddress", "10.0.0.1");
        model.SeedString(transport, "DriverDate", "6-1-1999");
    }
    const std::string& ntVersionKey = kNtVersion;
    model.SeedString(ntVersionKey, "CurrentVersion", "5.1");
    m.text3.SetText("1400");
    m.text4.SetText("1400");
    const auto a = static_cast<std::size_t>(adapters);
    const std::size_t scan = 90 + a;  // 30 reads, one more query for each name found
    const std::size_t version = 4;    // a read of a text that is there
    std::vector<CallCount> out;
    const auto measure = [&](const char* name, const std::function<void()>& run, std::size_t prescribed) {
        model.ClearCalls();
        run();
        out.push_back(CallCount{name, adapters, model.Calls().size(), prescribed});
    };
    measure(
        "ApplyMtuNt", [&] { m.module.ApplyMtuNt(); }, version + scan + 6 * a);
    measure(
        "RetrieveMtuNt", [&] { m.module.RetrieveMtuNt(); }, scan + 3 * a);
    measure(
        "RemoveMtuNt", [&] { m.module.RemoveMtuNt(); }, version + scan + 6 * a);
    measure(
        "ApplyMtu9x", [&] { m.module.ApplyMtu9x(); }, scan + 6 * a);
    // "MaxMTU" is there after Apply: a read of a text.
    measure(
        "RetrieveMtu9x", [&] { m.module.RetrieveMtu9x(); }, scan + 4 * a);
    // Slots without "DriverDate" read "IPAddress" as well.
    measure(
        "RemoveMtu9x", [&] { m.module.RemoveMtu9x(); }, scan + 3 * (30 - a) + 6 * a);
    model.SeedString(ntVersionKey, "CurrentVersion", "4.0");
    m.text3.SetText("1400");  // Remove emptied the box
    measure(
        "ApplyMtuNt on NT 4.0", [&] { m.module.ApplyMtuNt(); }, version + scan + 9 * a);
    measure(
        "RetrieveMtuNt on NT 4.0", [&] { m.module.RetrieveMtuNt(); }, scan + 3 * a);
    measure(
        "RemoveMtuNt on NT 4.0", [&] { m.module.RemoveMtuNt(); }, version + scan + 9 * a);
    return out;
}

}  // namespace quillon::test
