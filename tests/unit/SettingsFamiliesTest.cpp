// The cases both families share, written once and run on each: the NT
// family's cards with their "MTU" numbers and "EnablePMTUDiscovery", the 9x
// family's transports with their "MaxMTU" texts and "PMTUDiscovery".

#include <algorithm>
#include <string>

#include "tests/unit/SettingsFixture.h"

namespace quillon::test {
namespace {

using reg::Op;

class BothFamilies : public SettingsMachine, public ::testing::WithParamInterface<bool> {
protected:
    const bool nineX = GetParam();

    // Puts slot `slot` in use (card slot + 1, or transport 00ss) and gives
    // the key that holds its MTU.
    std::string InUse(int slot) {
        if (nineX) {
            const std::string name = (slot < 10 ? "000" : "00") + std::to_string(slot);
            Transport(name, "10.0.0." + std::to_string(slot + 1), "1-1-1999");
            return kNetTrans + name;
        }
        const std::string service = "{S" + std::to_string(slot) + "}";
        Card(slot + 1, service);
        return kInterfaces + service;
    }
    // The value that puts a slot in use, and its key.
    [[nodiscard]] const char* Probe() const { return nineX ? "IPAddress" : "ServiceName"; }
    [[nodiscard]] std::string ProbeKey(int slot) const {
        return nineX ? kNetTrans + (slot < 10 ? "000" : "00") + std::to_string(slot)
                     : kCards + std::to_string(slot + 1);
    }
    [[nodiscard]] const char* MtuName() const { return nineX ? "MaxMTU" : "MTU"; }
    [[nodiscard]] std::optional<reg::StoredValue> MtuAt(const std::string& key) const {
        return model.Value(key, MtuName());
    }
    void SeedMtu(const std::string& key, std::uint32_t mtu) {
        nineX ? model.SeedString(key, MtuName(), std::to_string(mtu)) : model.SeedDword(key, MtuName(), mtu);
    }
    // An MTU of the other family's type, which is none here.
    void SeedOtherType(const std::string& key) {
        nineX ? model.SeedDword(key, MtuName(), 1400) : model.SeedString(key, MtuName(), "1400");
    }
    // What Apply stores for a text: the number on NT, the text as typed on 9x.
    [[nodiscard]] reg::StoredValue Stored(const char* text, std::uint32_t number) const {
        return nineX ? Sz(text) : Dword(number);
    }
    // What Retrieve shows of a slot in use that holds no MTU.
    [[nodiscard]] const char* NoMtu() const { return nineX ? "" : "0"; }

    [[nodiscard]] const std::string& SwitchKey() const { return nineX ? kMstcp : kParameters; }
    [[nodiscard]] const char* SwitchName() const { return nineX ? "PMTUDiscovery" : "EnablePMTUDiscovery"; }
    [[nodiscard]] std::optional<reg::StoredValue> Switch() const {
        return model.Value(SwitchKey(), SwitchName());
    }
    void SwitchOff() {
        nineX ? model.SeedString(SwitchKey(), SwitchName(), "0")
              : model.SeedDword(SwitchKey(), SwitchName(), 0);
    }

    ui::headless::HeadlessTextBox& Box() { return nineX ? text4 : text3; }
    void Apply(const std::string& text) {
        Box().SetText(text);
        nineX ? module.ApplyMtu9x() : module.ApplyMtuNt();
    }
    void Remove() { nineX ? module.RemoveMtu9x() : module.RemoveMtuNt(); }
    std::string Retrieve() {
        nineX ? module.RetrieveMtu9x() : module.RetrieveMtuNt();
        return Box().Text();
    }
};

INSTANTIATE_TEST_SUITE_P(Settings, BothFamilies, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& family) {
                             return family.param ? "NineX" : "Nt";
                         });

TEST_P(BothFamilies, NoAdapterAtAll) {
    Apply("1400");
    EXPECT_TRUE(CallsOf(Op::Set).empty());
    EXPECT_TRUE(CallsOf(Op::Create).empty());
    EXPECT_EQ(Retrieve(), "");

    Box().SetText("1400");
    Remove();
    EXPECT_TRUE(CallsOf(Op::Delete).empty());
    EXPECT_EQ(Box().Text(), "");
    EXPECT_EQ(Boxes(), (std::vector{kNoAdapterBox, kRemovedBox}));
}

TEST_P(BothFamilies, AdaptersInUseGetTheMtuEachFollowedByTheSwitch) {
    const std::string a = InUse(0);
    const std::string b = InUse(3);
    const std::string c = InUse(4);
    model.SeedKey(a);  // on NT the other two interface keys are made
    Apply("0088");

    EXPECT_EQ(CallsOf(Op::Set),
              (std::vector<std::string>{a + "|" + MtuName(), SwitchKey() + "|" + SwitchName(),
                                        b + "|" + MtuName(), SwitchKey() + "|" + SwitchName(),
                                        c + "|" + MtuName(), SwitchKey() + "|" + SwitchName()}));
    for (const std::string& key : {a, b, c}) {
        EXPECT_EQ(MtuAt(key), Stored("0088", 88)) << key;
    }
    EXPECT_EQ(Switch(), nineX ? Sz("0") : Dword(0));
    // The scan reads all thirty slots, gaps or not.
    EXPECT_EQ(CallsOf(Op::Open, nineX ? kNetTrans : kCards).size(), 30U);
    EXPECT_EQ(Box().Text(), "0088");
    EXPECT_EQ(Boxes(), std::vector{kAppliedBox});
}

TEST_P(BothFamilies, EmptyOrUntypedProbesAreNotInUse) {
    model.SeedString(ProbeKey(0), Probe(), "");
    model.Seed(ProbeKey(1), Probe(), reg::kRegExpandSz, Bytes("{X}"));
    model.SeedDword(ProbeKey(2), Probe(), 7);
    model.Seed(ProbeKey(3), Probe(), reg::kRegSz, {0});
    SeedMtu(nineX ? ProbeKey(2) : kInterfaces + "{X}", 576);
    const auto before = model.Snapshot();

    Apply("1400");
    EXPECT_EQ(model.Snapshot(), before);
    EXPECT_EQ(Boxes(), std::vector{kNoAdapterBox});
    EXPECT_EQ(Retrieve(), "");

    Box().SetText("1400");
    Remove();
    EXPECT_EQ(Box().Text(), "");
    EXPECT_EQ(Boxes(), (std::vector{kNoAdapterBox, kRemovedBox}));
    EXPECT_EQ(model.Snapshot(), before);
}

TEST_P(BothFamilies, RemoveDeletesTheMtuAndTheSwitchAndEmptiesTheBox) {
    const std::string a = InUse(0);
    const std::string b = InUse(1);
    SeedMtu(a, 1400);
    model.SeedDword(a, "Other", 9);
    SwitchOff();
    Box().SetText("1400");
    Remove();

    EXPECT_FALSE(MtuAt(a).has_value());
    EXPECT_EQ(model.Value(a, "Other"), Dword(9));
    EXPECT_FALSE(Switch().has_value());
    const std::vector<std::string> deletes = CallsOf(Op::Delete);
    EXPECT_EQ(std::count(deletes.begin(), deletes.end(), SwitchKey() + "|" + SwitchName()), 2)
        << "once for each slot in use";
    if (!nineX) {
        EXPECT_FALSE(model.KeyExists(b));  // a delete creates nothing
    }
    EXPECT_EQ(Box().Text(), "");
    EXPECT_EQ(Boxes(), std::vector{kRemovedBox});
}

TEST_P(BothFamilies, RetrieveShowsWhatTheHighestSlotInUseHolds) {
    const std::string a = InUse(0);
    const std::string c = InUse(2);
    SeedMtu(a, 1400);
    EXPECT_EQ(Retrieve(), NoMtu()) << "slot 2 has no MTU and decides";
    SeedOtherType(c);
    EXPECT_EQ(Retrieve(), NoMtu()) << "a value of the other type is no MTU";
    SeedMtu(c, 576);
    EXPECT_EQ(Retrieve(), "576");
    EXPECT_TRUE(Boxes().empty());
}

TEST_P(BothFamilies, RetrieveWithNoSlotInUseShowsTheLastValueFound) {
    SeedMtu(InUse(5), 1400);
    EXPECT_EQ(Retrieve(), "1400");
    model.SeedString(ProbeKey(5), Probe(), "");
    Box().SetText("");
    EXPECT_EQ(Retrieve(), "1400");
}

TEST_P(BothFamilies, RefusedMtuWriteIsReportedAfterEverySlotIsTried) {
    const std::string a = InUse(0);
    const std::string b = InUse(1);
    const std::string c = InUse(2);
    model.FailBelow(Op::Set, b, reg::kErrorAccessDenied);
    Apply("1400");

    EXPECT_EQ(MtuAt(a), Stored("1400", 1400));
    EXPECT_FALSE(MtuAt(b).has_value());
    EXPECT_EQ(MtuAt(c), Stored("1400", 1400));
    EXPECT_EQ(Boxes(), std::vector{kNotSavedBox});
    EXPECT_EQ(Box().Text(), "1400");
}

TEST_P(BothFamilies, RefusedSwitchIsReported) {
    const std::string a = InUse(0);
    const std::string b = InUse(1);
    model.FailExactly(Op::Set, SwitchKey(), reg::kErrorAccessDenied);
    Apply("1400");

    EXPECT_EQ(MtuAt(a), Stored("1400", 1400));
    EXPECT_EQ(MtuAt(b), Stored("1400", 1400));
    EXPECT_FALSE(Switch().has_value());
    EXPECT_EQ(Boxes(), std::vector{kNotSavedBox});
}

TEST_P(BothFamilies, RefusedDeleteKeepsTheBoxAndIsReported) {
    const std::string a = InUse(0);
    const std::string b = InUse(1);
    SeedMtu(a, 1400);
    SeedMtu(b, 1400);
    SwitchOff();
    model.FailBelow(Op::Delete, a, reg::kErrorAccessDenied);
    Box().SetText("1400");
    Remove();

    EXPECT_TRUE(MtuAt(a).has_value());
    EXPECT_FALSE(MtuAt(b).has_value()) << "the other slots are still visited";
    EXPECT_FALSE(Switch().has_value());
    EXPECT_EQ(Box().Text(), "1400");
    EXPECT_EQ(Boxes(), std::vector{kNotRemovedBox});
}

}  // namespace
}  // namespace quillon::test
