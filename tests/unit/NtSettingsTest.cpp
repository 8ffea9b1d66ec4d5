// The NT-family operations on the in-memory registry: which card keys are
// read, what is written where and in which order, what the user is told.

#include <algorithm>
#include <optional>
#include <ostream>

#include "tests/unit/SettingsFixture.h"

namespace quillon::test {
namespace {

using reg::Op;

class NtSettings : public SettingsMachine {};

TEST_F(NtSettings, SlotsAreCards1To30AndNoOthers) {
    for (int card = 0; card <= 31; ++card) {
        Card(card, "{svc" + std::to_string(card) + "}");
    }
    text3.SetText("1400");
    module.ApplyMtuNt();

    EXPECT_FALSE(Mtu("{svc0}").has_value());
    EXPECT_EQ(Mtu("{svc1}"), Dword(1400));
    EXPECT_EQ(Mtu("{svc10}"), Dword(1400));
    EXPECT_EQ(Mtu("{svc30}"), Dword(1400));
    EXPECT_FALSE(Mtu("{svc31}").has_value());

    std::vector<std::string> expected;
    for (int card = 1; card <= 30; ++card) {
        expected.push_back(kCards + std::to_string(card) + "|");
    }
    EXPECT_EQ(CallsOf(Op::Open, kCards), expected);
}

TEST_F(NtSettings, TwoCardsWithOneServiceNameTouchItsKeyTwice) {
    Card(1, "{Same}");
    Card(4, "{Same}");
    text3.SetText("576");
    module.ApplyMtuNt();
    EXPECT_EQ(Mtu("{Same}"), Dword(576));
    EXPECT_EQ(CallsOf(Op::Set)[0], CallsOf(Op::Set)[2]);

    model.ClearCalls();
    module.RemoveMtuNt();
    EXPECT_EQ(CallsOf(Op::Delete),
              (std::vector<std::string>{kInterfaces + "{Same}|MTU", kParameters + "|EnablePMTUDiscovery",
                                        kInterfaces + "{Same}|MTU", kParameters + "|EnablePMTUDiscovery"}));
    EXPECT_FALSE(Mtu("{Same}").has_value());
    EXPECT_FALSE(model.Value(kParameters, "EnablePMTUDiscovery").has_value());
    EXPECT_EQ(Boxes(), (std::vector{kAppliedBox, kRemovedBox}));
}

TEST_F(NtSettings, RetrieveShowsTheMtuAsASignedNumber) {
    Card(1, "{A}");
    model.SeedDword(kInterfaces + "{A}", "MTU", 0xFFFFFFFFU);
    module.RetrieveMtuNt();
    EXPECT_EQ(text3.Text(), "-1");
}

TEST_F(NtSettings, RetrieveAfterRemoveShowsZero) {
    Card(1, "{A}");
    text3.SetText("1400");
    module.ApplyMtuNt();
    module.RemoveMtuNt();
    module.RetrieveMtuNt();
    EXPECT_EQ(text3.Text(), "0");
}

TEST_F(NtSettings, TypedTextBecomesAWholeNumber) {
    Card(1, "{A}");
    const std::pair<const char*, std::uint32_t> cases[] = {{"0088", 88},   {"88.5", 88},  {"89.5", 90},
                                                           {"1400", 1400}, {"99.9", 100}, {"1500", 1500}};
    for (const auto& [text, mtu] : cases) {
        text3.SetText(text);
        module.ApplyMtuNt();
        EXPECT_EQ(Mtu("{A}"), Dword(mtu)) << text;
    }
}

TEST_F(NtSettings, TextThatIsNotANumberIsNeverWritten) {
    Card(1, "{A}");
    const auto before = model.Snapshot();
    for (const char* text : {"", "abc", "-1", "1e3", "99999999999"}) {
        text3.SetText(text);
        module.ApplyMtuNt();
        EXPECT_EQ(model.Snapshot(), before) << text;
    }
    ASSERT_EQ(Boxes().size(), 5U);
    EXPECT_EQ(Boxes().front().style, 48);
    EXPECT_NE(Boxes().front().prompt, kAppliedBox.prompt);
}

TEST_F(NtSettings, RefusedReadsDegradeToNothing) {
    Card(1, "{A}");
    model.SeedDword(kInterfaces + "{A}", "MTU", 1400);
    model.FailBelow(Op::Query, kInterfaces, reg::kErrorAccessDenied);
    module.RetrieveMtuNt();
    EXPECT_EQ(text3.Text(), "0");

    model.FailBelow(Op::Open, kCards, reg::kErrorAccessDenied);
    text3.SetText("1400");
    module.ApplyMtuNt();
    EXPECT_EQ(Boxes(), std::vector{kNoAdapterBox});
}

TEST_F(NtSettings, RefusedServiceKeyWriteOrDeleteIsReported) {
    model.SeedString(kNtVersion, "CurrentVersion", "4.0");
    Card(1, "{A}");
    Card(2, "{B}");
    model.FailBelow(Op::Set, ServiceTcpip("{A}"), reg::kErrorAccessDenied);
    model.FailBelow(Op::Delete, ServiceTcpip("{A}"), reg::kErrorAccessDenied);
    text3.SetText("1400");
    module.ApplyMtuNt();
    EXPECT_EQ(Mtu("{A}"), Dword(1400));
    EXPECT_EQ(model.Value(ServiceTcpip("{B}"), "MTU"), Dword(1400)) << "the other slots are still visited";
    EXPECT_EQ(Boxes(), std::vector{kNotSavedBox});

    model.SeedDword(ServiceTcpip("{A}"), "MTU", 1400);
    module.RemoveMtuNt();
    EXPECT_FALSE(Mtu("{A}").has_value());
    EXPECT_FALSE(model.Value(ServiceTcpip("{B}"), "MTU").has_value());
    EXPECT_EQ(model.Value(ServiceTcpip("{A}"), "MTU"), Dword(1400));
    EXPECT_EQ(text3.Text(), "1400");
    EXPECT_EQ(Boxes(), (std::vector{kNotSavedBox, kNotRemovedBox}));
}

// NT 3.51 and 4.0 read the MTU from the TCP/IP key of the adapter's service:
// there Apply and Remove also write and delete it, and export lists it. From
// Windows 2000 on, and wherever "CurrentVersion" says nothing clear, nothing
// more is touched.
struct VersionCase {
    const char* name;
    std::optional<reg::StoredValue> currentVersion;
    bool serviceKeys;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class NtVersions : public SettingsMachine, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(NtVersions, ServiceKeysHoldTheMtuOnlyBeforeWindows2000) {
    const VersionCase& c = GetParam();
    if (c.currentVersion) {
        model.Seed(kNtVersion, "CurrentVersion", c.currentVersion->type, c.currentVersion->bytes);
    }
    const std::vector<std::string> services{"{A}", "{C}"};
    Card(1, "{A}");
    Card(3, "{C}");
    for (const std::string& service : services) {
        model.SeedKey(kInterfaces + service);
        model.SeedKey(ServiceTcpip(service));
    }
    model.SeedDword(ServiceTcpip("{A}"), "MTU", 576);  // stored before, by hand
    model.SeedDword(ServiceTcpip("{A}"), "Other", 9);
    const auto before = model.Snapshot();

    text3.SetText("1400");
    module.ApplyMtuNt();
    auto applied = before;
    std::vector<std::string> writes;
    std::vector<std::string> listed;
    for (const std::string& service : services) {
        applied[kInterfaces + service + "|MTU"] = Dword(1400);
        writes.push_back(kInterfaces + service + "|MTU");
        listed.push_back(kInterfaces + service + "|MTU");
        if (c.serviceKeys) {
            applied[ServiceTcpip(service) + "|MTU"] = Dword(1400);
            writes.push_back(ServiceTcpip(service) + "|MTU");
            listed.push_back(ServiceTcpip(service) + "|MTU");
        }
        writes.push_back(kParameters + "|EnablePMTUDiscovery");
    }
    applied[kParameters + "|EnablePMTUDiscovery"] = Dword(0);
    EXPECT_EQ(model.Snapshot(), applied);
    EXPECT_EQ(CallsOf(Op::Set), writes);
    const auto queries = CallsOf(Op::Query);
    EXPECT_EQ(std::count(queries.begin(), queries.end(), kNtVersion + "|CurrentVersion"),
              c.currentVersion && c.currentVersion->type == reg::kRegSz ? 2 : 1)
        << "one read of CurrentVersion";

    std::vector<std::string> exported;
    for (const settings::ToolValue& value : module.Engine().ToolValues(settings::WindowsFamily::kNt)) {
        exported.push_back(value.path + "|" + value.name);
    }
    listed.push_back(kParameters + "\\|EnablePMTUDiscovery");
    EXPECT_EQ(exported, listed);

    model.ClearCalls();
    module.RemoveMtuNt();
    auto removed = before;
    if (c.serviceKeys) {
        removed.erase(ServiceTcpip("{A}") + "|MTU");
    }
    EXPECT_EQ(model.Snapshot(), removed);
    EXPECT_EQ(CallsOf(Op::Delete), writes) << "Remove deletes what Apply wrote, in the same order";
    EXPECT_EQ(Boxes(), (std::vector{kAppliedBox, kRemovedBox}));
}

const VersionCase kVersionCases[] = {
    {"Nt40", Sz("4.0"), true},
    {"Nt40WithItsTerminator", reg::StoredValue{reg::kRegSz, Bytes({"4.0\0", 4})}, true},
    {"Nt351", Sz("3.51"), true},
    {"Windows2000", Sz("5.0"), false},
    {"Windows81On", Sz("6.3"), false},
    {"Windows10UnderWine", Sz("10.0"), false},
    {"Missing", std::nullopt, false},
    {"Empty", Sz(""), false},
    {"Signed", Sz("-4.0"), false},
    {"NoMajorNumber", Sz(".4"), false},
    {"Dword", Dword(4), false},
    {"ExpandSz", reg::StoredValue{reg::kRegExpandSz, Bytes("4.0")}, false},
};

INSTANTIATE_TEST_SUITE_P(CurrentVersion, NtVersions, ::testing::ValuesIn(kVersionCases),
                         [](const ::testing::TestParamInfo<VersionCase>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace quillon::test
