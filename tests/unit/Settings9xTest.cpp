// The 9x-family operations on the in-memory registry.

#include "tests/unit/SettingsFixture.h"

namespace quillon::test {
namespace {

using reg::Op;

class Settings9x : public SettingsMachine {};

TEST_F(Settings9x, SlotsAreSubkeys0000To0029AndNoOthers) {
    for (const char* name : {"0000", "0007", "0012", "0029", "0030", "007", "12"}) {
        Transport(name, "10.0.0.1", "1-1-1999");
    }
    text4.SetText("1400");
    module.ApplyMtu9x();

    for (const char* name : {"0000", "0007", "0012", "0029"}) {
        EXPECT_EQ(MaxMtu(name), Sz("1400")) << name;
    }
    for (const char* name : {"0030", "007", "12"}) {
        EXPECT_FALSE(MaxMtu(name).has_value()) << name;
    }
    std::vector<std::string> expected;
    for (int slot = 0; slot < 30; ++slot) {
        expected.push_back(kNetTrans + (slot < 10 ? "000" : "00") + std::to_string(slot) + "|");
    }
    std::vector<std::string> opened;
    for (const std::string& key : CallsOf(Op::Open)) {
        if (key.rfind(kNetTrans, 0) == 0) {
            opened.push_back(key);
        }
    }
    EXPECT_EQ(opened, expected);
}

TEST_F(Settings9x, RemoveVisitsTransportsWithEitherProbe) {
    Transport("0000", "10.0.0.1", "x");           // both
    Transport("0001", "10.0.0.2", std::nullopt);  // IPAddress only
    Transport("0002", std::nullopt, "x");         // DriverDate only
    Transport("0003", std::nullopt, std::nullopt);
    for (const char* name : {"0000", "0001", "0002", "0003"}) {
        model.SeedString(kNetTrans + name, "MaxMTU", "1400");
    }
    model.SeedString(kMstcp, "PMTUDiscovery", "0");
    text4.SetText("1400");
    module.RemoveMtu9x();

    EXPECT_FALSE(MaxMtu("0000").has_value());
    EXPECT_FALSE(MaxMtu("0001").has_value());
    EXPECT_FALSE(MaxMtu("0002").has_value());
    EXPECT_EQ(MaxMtu("0003"), Sz("1400")) << "a transport with neither probe is never visited";
    EXPECT_FALSE(model.Value(kMstcp, "PMTUDiscovery").has_value());
    EXPECT_EQ(CallsOf(Op::Delete),
              (std::vector<std::string>{kNetTrans + "0000|MaxMTU", kMstcp + "|PMTUDiscovery",
                                        kNetTrans + "0001|MaxMTU", kMstcp + "|PMTUDiscovery",
                                        kNetTrans + "0002|MaxMTU", kMstcp + "|PMTUDiscovery"}));
    EXPECT_EQ(text4.Text(), "");
    EXPECT_EQ(Boxes(), std::vector{kRemovedBox});
}

TEST_F(Settings9x, FamiliesKeepTheirOwnBoxesAndValues) {
    Card(1, "{A}");
    Transport("0000", "10.0.0.1", "x");
    text3.SetText("1400");
    text4.SetText("576");
    module.ApplyMtuNt();
    module.ApplyMtu9x();
    EXPECT_EQ(Mtu("{A}"), Dword(1400));
    EXPECT_EQ(MaxMtu("0000"), Sz("576"));

    module.RemoveMtu9x();
    EXPECT_EQ(text3.Text(), "1400");
    EXPECT_EQ(text4.Text(), "");
    EXPECT_EQ(Mtu("{A}"), Dword(1400));
    EXPECT_EQ(model.Value(kParameters, "EnablePMTUDiscovery"), Dword(0));
}

}  // namespace
}  // namespace quillon::test
