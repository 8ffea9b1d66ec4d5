// The settings operations against the real registry of the test Wine prefix,
// with headless windows: every adapter that Wine found on the host gets its
// MTU, Retrieve reads it back, Remove leaves nothing behind, and nothing else
// under HKEY_LOCAL_MACHINE changes.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

#include "registry/Win32Registry.h"
#include "tests/support/RegistryWalk.h"
#include "tests/support/WineRegistry.h"
#include "tests/unit/SettingsRig.h"

namespace quillon::test {
namespace {

class OnWine : public ::testing::Test {
protected:
    std::string LastBox() const { return rig.ui.Boxes().empty() ? "" : rig.ui.Boxes().back().prompt; }

    reg::Win32Registry api;
    SettingsRig rig{api};
    ui::headless::HeadlessTextBox& text3 = rig.text3;
    ui::headless::HeadlessTextBox& text4 = rig.text4;
    settings::Module1& module = rig.module;
};

TEST_F(OnWine, NtApplyRetrieveRemoveOnTheHostsAdapters) {
    const std::vector<std::string> services = ServiceNames();
    ASSERT_FALSE(services.empty()) << "Wine listed no network card of the host";
    ASSERT_FALSE(DwordAt(kParameters, kPmtuSwitch).has_value()) << "the prefix is not clean";

    // The writes may create the interface keys, and their parent.
    std::vector<std::string> created{kInterfaces.substr(0, kInterfaces.size() - 1)};
    for (const std::string& service : services) {
        created.push_back(kInterfaces + service);
    }
    const RegistryImage before = WalkLocalMachine();

    text3.SetText("1400");
    module.ApplyMtuNt();
    EXPECT_EQ(LastBox(), kApplied);
    for (const std::string& service : services) {
        EXPECT_EQ(DwordAt(kInterfaces + service, kMtu), 1400U) << service;
    }
    EXPECT_EQ(DwordAt(kParameters, kPmtuSwitch), 0U);

    text3.SetText("");
    module.RetrieveMtuNt();
    EXPECT_EQ(text3.Text(), "1400");

    module.RemoveMtuNt();
    EXPECT_EQ(LastBox(), kRemoved);
    EXPECT_EQ(text3.Text(), "");
    for (const std::string& service : services) {
        EXPECT_TRUE(Absent(kInterfaces + service, kMtu)) << service;
    }
    EXPECT_TRUE(Absent(kParameters, kPmtuSwitch));

    for (const std::string& line : Differences(before, WalkLocalMachine(), created)) {
        ADD_FAILURE() << line;
    }
}

TEST_F(OnWine, NineXApplyRetrieveRemoveOnSeededTransports) {
    ASSERT_FALSE(KeyExists(kClass)) << "the prefix is not clean";
    const bool vxdExisted = KeyExists(kVxd);
    const RegistryImage before = WalkLocalMachine();
    ASSERT_TRUE(SeedTransports());
    const RegistryImage seeded = WalkLocalMachine();

    text4.SetText("1400");
    module.ApplyMtu9x();
    EXPECT_EQ(LastBox(), kApplied);
    for (const std::string& name : kSeededTransports) {
        EXPECT_EQ(TextAt(kNetTrans + name, kMaxMtu), "1400") << name;
    }
    EXPECT_EQ(TextAt(kMstcp, kPmtuSwitch9x), "0");

    text4.SetText("");
    module.RetrieveMtu9x();
    EXPECT_EQ(text4.Text(), "1400");

    module.RemoveMtu9x();
    EXPECT_EQ(LastBox(), kRemoved);
    EXPECT_EQ(text4.Text(), "");
    for (const std::string& name : kSeededTransports) {
        EXPECT_TRUE(Absent(kNetTrans + name, kMaxMtu)) << name;
    }
    EXPECT_TRUE(Absent(kMstcp, kPmtuSwitch9x));
    // The write of "PMTUDiscovery" may create the MSTCP key and its parent.
    for (const std::string& line : Differences(seeded, WalkLocalMachine(), {kVxd})) {
        ADD_FAILURE() << line;
    }

    RemoveTree(kClass);
    if (!vxdExisted) {
        RemoveTree(kVxd);
    }
    for (const std::string& line : Differences(before, WalkLocalMachine())) {
        ADD_FAILURE() << "left behind: " << line;
    }
}

}  // namespace
}  // namespace quillon::test
