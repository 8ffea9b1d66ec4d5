// For Apply, Remove and Retrieve of both families on three adapters (on NT
// also as NT 4.0, with its second "MTU" per adapter): every
// registry call the operation makes is made to fail in turn, with
// ERROR_ACCESS_DENIED and with ERROR_INVALID_HANDLE. Whatever fails, no
// handle stays open, no success is reported after a refused write or delete,
// a refused read reads as nothing, and no value that the operation does not
// own changes.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "registry/MemoryRegistry.h"
#include "tests/support/KeysAndTexts.h"
#include "tests/unit/Figures.h"
#include "tests/unit/SettingsRig.h"

namespace quillon::test {
namespace {

using reg::Op;

const std::string kServiceTcpip1 = ServiceTcpip("{1}");
const std::set<std::string> kToolValues{"MTU", "ENABLEPMTUDISCOVERY", "MAXMTU", "PMTUDISCOVERY"};
const std::set<std::string> kSuccesses{kApplied, kRemoved};

struct Machine {
    reg::MemoryRegistry model;
    SettingsRig rig{model};

    // `ntVersion`: the "CurrentVersion" text, where there is one.
    explicit Machine(const char* ntVersion) {
        if (ntVersion != nullptr) {
            model.SeedString(kNtVersion, "CurrentVersion", ntVersion);
        }
        for (const char* card : {"1", "2", "3"}) {
            model.SeedString(kCards + card, "ServiceName", std::string("{") + card + "}");
            model.SeedString(kCards + card, "Description", "adapter");
        }
        model.SeedDword(kInterfaces + "{1}", "MTU", 1400);
        model.SeedDword(kInterfaces + "{1}", "Other", 9);
        model.SeedDword(kServiceTcpip1, "MTU", 1400);
        model.SeedDword(kServiceTcpip1, "Other", 9);
        model.SeedDword(kParameters, "EnablePMTUDiscovery", 0);
        model.SeedString(kParameters, "Hostname", "vm");
        for (const char* name : {"0000", "0001", "0002"}) {
            model.SeedString(kNetTrans + name, "IPAddress", "10.0.0.1");
            model.SeedString(kNetTrans + name, "DriverDesc", "TCP/IP");
        }
        model.SeedString(kNetTrans + "0000", "DriverDate", "6-1-1999");
        model.SeedString(kNetTrans + "0001", "DriverDate", "6-1-1999");
        model.SeedString(kNetTrans + "0000", "MaxMTU", "1400");
        model.SeedString(kMstcp, "PMTUDiscovery", "0");
        model.SeedString(kMstcp, "Domain", "lan");
        rig.text3.SetText("1400");
        rig.text4.SetText("1400");
        model.ClearCalls();
    }

    // Every value the operations do not own.
    std::map<std::string, reg::StoredValue> Others() const {
        std::map<std::string, reg::StoredValue> others;
        for (const auto& [entry, value] : model.Snapshot()) {
            const auto bar = entry.find('|');
            if (bar == std::string::npos) {
                continue;  // keys: a write may create one
            }
            std::string name = entry.substr(bar + 1);
            for (char& c : name) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            if (kToolValues.count(name) == 0) {
                others.emplace(entry, value);
            }
        }
        return others;
    }
};

struct Operation {
    const char* name;
    const char* ntVersion;
    std::function<void(Machine&)> run;
    std::function<std::string(Machine&)> box;
};

TEST(FaultSweep, EveryCallOfEveryOperationMayFail) {
    const Operation operations[] = {
        {"ApplyMtuNt", nullptr, [](Machine& m) { m.rig.module.ApplyMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
        {"RemoveMtuNt", nullptr, [](Machine& m) { m.rig.module.RemoveMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
        {"RetrieveMtuNt", nullptr, [](Machine& m) { m.rig.module.RetrieveMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
        {"ApplyMtu9x", nullptr, [](Machine& m) { m.rig.module.ApplyMtu9x(); },
         [](Machine& m) { return m.rig.text4.Text(); }},
        {"RemoveMtu9x", nullptr, [](Machine& m) { m.rig.module.RemoveMtu9x(); },
         [](Machine& m) { return m.rig.text4.Text(); }},
        {"RetrieveMtu9x", nullptr, [](Machine& m) { m.rig.module.RetrieveMtu9x(); },
         [](Machine& m) { return m.rig.text4.Text(); }},
        {"ApplyMtuNt", "4.0", [](Machine& m) { m.rig.module.ApplyMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
        {"RemoveMtuNt", "4.0", [](Machine& m) { m.rig.module.RemoveMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
        {"RetrieveMtuNt", "4.0", [](Machine& m) { m.rig.module.RetrieveMtuNt(); },
         [](Machine& m) { return m.rig.text3.Text(); }},
    };
    std::size_t points = 0;
    for (const Operation& operation : operations) {
        Machine clean(operation.ntVersion);
        operation.run(clean);
        const std::size_t calls = clean.model.Calls().size();
        ASSERT_GT(calls, 30U) << operation.name;

        for (std::size_t k = 0; k < calls; ++k) {
            for (const reg::Status status : {reg::kErrorAccessDenied, reg::kErrorInvalidHandle}) {
                SCOPED_TRACE(
                    std::string(operation.name) +
                    (operation.ntVersion != nullptr ? std::string(" on NT ") + operation.ntVersion : "") +
                    ", call " + std::to_string(k) + " fails with " + std::to_string(status));
                Machine m(operation.ntVersion);
                const auto before = m.Others();
                m.model.FailCall(k, status);
                operation.run(m);
                ++points;

                EXPECT_EQ(m.model.OpenHandles(), 0U);
                EXPECT_EQ(m.Others(), before);
                const auto& log = m.model.Calls();
                ASSERT_LT(k, log.size());
                const reg::Call& failed = log[k];
                const Op next = k + 1 < log.size() ? log[k + 1].op : Op::Close;
                // A write or delete the platform would have accepted, or the
                // open before a delete: the key may be there and not be ours.
                // A delete on the null handle after its key was not found
                // refuses nothing.
                const bool wouldHaveWorked = clean.model.Calls()[k].status == reg::kErrorSuccess;
                const bool refusedChange =
                    ((failed.op == Op::Set || failed.op == Op::Delete || failed.op == Op::Create) &&
                     wouldHaveWorked) ||
                    (failed.op == Op::Open && next == Op::Delete);
                if (refusedChange) {
                    ASSERT_FALSE(m.rig.ui.Boxes().empty());
                    EXPECT_EQ(kSuccesses.count(m.rig.ui.Boxes().back().prompt), 0U)
                        << "a refused change reported as success";
                    EXPECT_EQ(m.rig.ui.Boxes().back().style, 16);
                }
                if (std::string(operation.name).rfind("Retrieve", 0) == 0) {
                    const std::string shown = operation.box(m);
                    EXPECT_TRUE(shown == "1400" || shown == "0" || shown.empty()) << shown;
                    EXPECT_TRUE(m.rig.ui.Boxes().empty());
                }
            }
        }
    }
    ReportFigure("fault sweep: " + std::to_string(points) + " injection points covered");
}

}  // namespace
}  // namespace quillon::test
