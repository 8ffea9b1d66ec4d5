// The routines over the in-memory model: what only the model can show, such
// as handles left open and refusals that a real registry rarely gives.

#include <gtest/gtest.h>

#include "registry/MemoryRegistry.h"
#include "registry/Registry.h"

namespace quillon::test {
namespace {

using reg::kHkeyLocalMachine;
using reg::Op;

class RoutinesOnModel : public ::testing::Test {
protected:
    reg::MemoryRegistry model;
    reg::Registry routines{model};
};

TEST_F(RoutinesOnModel, NoHandleStaysOpenAfterAnySequence) {
    model.SeedString("Soft\\Key", "Text", "1400");
    model.SeedDword("Soft\\Key", "Number", 7);
    model.FailBelow(Op::Create, "Soft\\Locked", reg::kErrorAccessDenied);
    model.FailBelow(Op::Open, "Soft\\Hidden", reg::kErrorAccessDenied);

    static_cast<void>(routines.GetStringValue(kHkeyLocalMachine, "Soft\\Key", "Text"));
    static_cast<void>(routines.GetStringValue(kHkeyLocalMachine, "Soft\\Key", "Number"));
    static_cast<void>(routines.GetStringValue(kHkeyLocalMachine, "Soft\\Missing", "Text"));
    static_cast<void>(routines.GetDwordValue(kHkeyLocalMachine, "Soft\\Key", "Number"));
    static_cast<void>(routines.GetDwordValue(kHkeyLocalMachine, "Soft\\Hidden", "Number"));
    static_cast<void>(routines.SetStringValue(kHkeyLocalMachine, "Soft\\New", "Text", "x"));
    static_cast<void>(routines.SetStringValue(kHkeyLocalMachine, "Soft\\Locked\\Deep", "Text", "x"));
    static_cast<void>(routines.SetDwordValue(kHkeyLocalMachine, "Soft\\Locked", "Number", 1));
    static_cast<void>(routines.DeleteValue(kHkeyLocalMachine, "Soft\\Key", "Text"));
    static_cast<void>(routines.DeleteValue(kHkeyLocalMachine, "Soft\\Hidden", "Text"));
    static_cast<void>(routines.DeleteValue(kHkeyLocalMachine, "Soft\\Missing", "Text"));
    EXPECT_EQ(model.OpenHandles(), 0U);
}

TEST_F(RoutinesOnModel, EachRoutineOpensOnceAndClosesOnce) {
    model.SeedString("K", "S", "abc");
    static_cast<void>(routines.GetStringValue(kHkeyLocalMachine, "K", "S"));
    std::vector<Op> ops;
    for (const reg::Call& call : model.Calls()) {
        ops.push_back(call.op);
    }
    EXPECT_EQ(ops, (std::vector<Op>{Op::Open, Op::Query, Op::Query, Op::Close}));

    model.ClearCalls();
    static_cast<void>(routines.SetDwordValue(kHkeyLocalMachine, "K", "D", 1));
    ops.clear();
    for (const reg::Call& call : model.Calls()) {
        ops.push_back(call.op);
    }
    EXPECT_EQ(ops, (std::vector<Op>{Op::Create, Op::Set, Op::Close}));
}

TEST_F(RoutinesOnModel, RefusedWritesAndDeletesReachTheCaller) {
    model.SeedDword("Tcpip\\Parameters", "EnablePMTUDiscovery", 0);

    model.FailBelow(Op::Set, "Tcpip", reg::kErrorAccessDenied);
    EXPECT_FALSE(routines.SetDwordValue(kHkeyLocalMachine, "Tcpip\\Parameters", "MTU", 1400));
    EXPECT_FALSE(routines.SetStringValue(kHkeyLocalMachine, "Tcpip\\Parameters", "MaxMTU", "1400"));
    EXPECT_FALSE(model.Value("Tcpip\\Parameters", "MTU").has_value());

    model.ClearFailures();
    model.FailBelow(Op::Create, "Tcpip", reg::kErrorAccessDenied);
    EXPECT_FALSE(routines.SetDwordValue(kHkeyLocalMachine, "Tcpip\\Parameters\\New", "MTU", 1400));
    EXPECT_FALSE(model.KeyExists("Tcpip\\Parameters\\New"));

    model.ClearFailures();
    model.FailBelow(Op::Delete, "Tcpip", reg::kErrorAccessDenied);
    EXPECT_FALSE(routines.DeleteValue(kHkeyLocalMachine, "Tcpip\\Parameters", "EnablePMTUDiscovery"));
    EXPECT_TRUE(model.Value("Tcpip\\Parameters", "EnablePMTUDiscovery").has_value());

    model.ClearFailures();
    model.FailBelow(Op::Open, "Tcpip", reg::kErrorAccessDenied);
    EXPECT_FALSE(routines.DeleteValue(kHkeyLocalMachine, "Tcpip\\Parameters", "EnablePMTUDiscovery"));

    model.ClearFailures();
    EXPECT_TRUE(routines.DeleteValue(kHkeyLocalMachine, "Tcpip\\Parameters", "EnablePMTUDiscovery"));
    EXPECT_EQ(model.OpenHandles(), 0U);
}

TEST_F(RoutinesOnModel, SecondQueryFailingGivesNoText) {
    model.SeedString("K", "S", "1400");
    model.FailCall(2, reg::kErrorMoreData);  // open, first query, second query
    EXPECT_EQ(routines.GetStringValue(kHkeyLocalMachine, "K", "S"), std::nullopt);
    EXPECT_EQ(model.OpenHandles(), 0U);
}

TEST_F(RoutinesOnModel, BlanksNotOverwrittenStayInTheText) {
    // A platform that reports more bytes than it then copies leaves blanks.
    class ShortCopy final : public reg::RegistryApi {
    public:
        explicit ShortCopy(reg::MemoryRegistry& inner) : inner_(inner) {}
        reg::Status RegOpenKeyA(reg::Handle r, const std::string& p, reg::Handle& k) override {
            return inner_.RegOpenKeyA(r, p, k);
        }
        reg::Status RegCreateKeyA(reg::Handle r, const std::string& p, reg::Handle& k) override {
            return inner_.RegCreateKeyA(r, p, k);
        }
        reg::Status RegQueryValueExA(reg::Handle k, const std::string& n, reg::ValueType* t, std::uint8_t* d,
                                     std::uint32_t* s) override {
            const reg::Status status = inner_.RegQueryValueExA(k, n, t, d, s);
            if (d == nullptr && s != nullptr) {
                *s += 2;
            }
            return status;
        }
        reg::Status RegSetValueExA(reg::Handle k, const std::string& n, reg::ValueType t,
                                   const std::uint8_t* d, std::uint32_t s) override {
            return inner_.RegSetValueExA(k, n, t, d, s);
        }
        reg::Status RegDeleteValueA(reg::Handle k, const std::string& n) override {
            return inner_.RegDeleteValueA(k, n);
        }
        reg::Status RegCloseKey(reg::Handle k) override { return inner_.RegCloseKey(k); }

    private:
        reg::MemoryRegistry& inner_;
    };
    model.SeedString("K", "S", "ab");
    ShortCopy platform(model);
    reg::Registry overShort(platform);
    EXPECT_EQ(overShort.GetStringValue(kHkeyLocalMachine, "K", "S"), "ab  ");
}

TEST(MemoryRegistryFaults, RulesMatchWholeKeyNamesOnly) {
    reg::MemoryRegistry model;
    reg::Registry routines(model);
    model.FailBelow(Op::Create, "Services\\Tcpip", reg::kErrorAccessDenied);
    EXPECT_FALSE(routines.SetDwordValue(kHkeyLocalMachine, "SERVICES\\TCPIP\\Parameters", "X", 1));
    EXPECT_TRUE(routines.SetDwordValue(kHkeyLocalMachine, "Services\\Tcpip6", "X", 1));
    EXPECT_TRUE(routines.SetDwordValue(kHkeyLocalMachine, "Services", "X", 1));
}

TEST(MemoryRegistryFaults, FailedCallsChangeNothing) {
    reg::MemoryRegistry model;
    model.SeedDword("K", "D", 5);
    const auto before = model.Snapshot();
    reg::Handle key = reg::kNullHandle;
    model.FailCall(0, reg::kErrorAccessDenied);
    EXPECT_EQ(model.RegCreateKeyA(kHkeyLocalMachine, "K\\New", key), reg::kErrorAccessDenied);
    EXPECT_EQ(key, reg::kNullHandle);
    ASSERT_EQ(model.RegOpenKeyA(kHkeyLocalMachine, "K", key), reg::kErrorSuccess);
    model.FailCall(2, reg::kErrorAccessDenied);
    model.FailCall(3, reg::kErrorAccessDenied);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(model.RegSetValueExA(key, "D", reg::kRegDword, one, 4), reg::kErrorAccessDenied);
    EXPECT_EQ(model.RegDeleteValueA(key, "D"), reg::kErrorAccessDenied);
    EXPECT_EQ(model.RegCloseKey(key), reg::kErrorSuccess);
    EXPECT_EQ(model.Snapshot(), before);
    EXPECT_EQ(model.OpenHandles(), 0U);
}

TEST(MemoryRegistryPaths, EmptyNamesInsideAPathAreRefused) {
    reg::MemoryRegistry model;
    reg::Handle key = reg::kNullHandle;
    EXPECT_EQ(model.RegCreateKeyA(kHkeyLocalMachine, "A\\\\B", key), reg::kErrorBadPathname);
    EXPECT_EQ(model.RegCreateKeyA(kHkeyLocalMachine, "\\A", key), reg::kErrorBadPathname);
    EXPECT_FALSE(model.KeyExists("A"));
    EXPECT_EQ(model.OpenHandles(), 0U);
}

}  // namespace
}  // namespace quillon::test
