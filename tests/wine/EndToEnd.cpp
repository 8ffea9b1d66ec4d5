// End to end: starts the real quillon-mtu.exe, finds its windows and controls
// as any automation tool would, types into the MTU box one character at a
// time, clicks, opens the menu items with the keyboard, reads and closes the
// message boxes, and checks the registry through advapi32 afterwards.
//
// Runs under Wine on a virtual display; writes a screenshot of each window
// (BMP, turned into PNG by the script that runs it) into the working folder.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/WindowDriver.h"
#include "tests/support/RegistryWalk.h"
#include "tests/support/WineRegistry.h"
#include "ui/ControlIds.h"

namespace quillon::test {
namespace {

// Where a test keeps the NT product name while it pretends to be another machine.
const std::string kBackupKey = "SOFTWARE\\QuillonEndToEnd";

// ---- the machines the tests pretend to be ----

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A run that stopped half-way may have left the NT product name aside.
        if (const auto saved = TextAt(kBackupKey, kProductName)) {
            ASSERT_TRUE(PutText(kNtVersion, kProductName, *saved));
        }
        RemoveTree(kBackupKey);
    }

    void SetUp() override {
        ntName_ = TextAt(kNtVersion, kProductName).value_or("");
        ASSERT_FALSE(ntName_.empty()) << "the Wine prefix has no NT product name";
        services_ = ServiceNames();
        ASSERT_FALSE(services_.empty()) << "Wine listed no network card of the host";
        CleanToolValues();
        Remove(k9xVersion, kProductName);
    }

    void TearDown() override {
        RestoreNtName();
        CleanToolValues();
        Remove(k9xVersion, kProductName);
    }

    // Leaves the machine with none of the tool's values. The transports
    // under Class are the tests' own; the MSTCP key is Wine's.
    void CleanToolValues() const {
        for (const std::string& service : services_) {
            Remove(kInterfaces + service, kMtu);
        }
        Remove(kParameters, kPmtuSwitch);
        RemoveTree(kClass);
        Remove(kMstcp, kPmtuSwitch9x);
    }

    void HideNtName() {
        ASSERT_TRUE(PutText(kBackupKey, kProductName, ntName_));
        Remove(kNtVersion, kProductName);
    }

    void RestoreNtName() {
        if (!TextAt(kNtVersion, kProductName)) {
            EXPECT_TRUE(PutText(kNtVersion, kProductName, ntName_));
        }
        RemoveTree(kBackupKey);
    }

    static void Seed9x() { ASSERT_TRUE(PutText(k9xVersion, kProductName, "Windows 98") && SeedTransports()); }

    std::string ntName_;
    std::vector<std::string> services_;
};

TEST_F(EndToEnd, NtFamilyApplyRetrieveRemoveExit) {
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User user{tool.WaitForVisible("Form1")};
    ASSERT_NE(user.form, nullptr);
    ASSERT_NE(tool.Form("Form2"), nullptr) << "Form2 is loaded";
    EXPECT_FALSE(IsWindowVisible(tool.Form("Form2")));
    EXPECT_EQ(TextOf(user.form), Caption(ntName_));
    EXPECT_EQ(user.Text(), "0") << "the start-up retrieve of adapters with no MTU";
    EXPECT_TRUE(user.BothDisabled());

    user.Clear();
    std::vector<bool> enabled;
    for (const char c : std::string("1400")) {
        user.Type(std::string(1, c));
        enabled.push_back(user.BothEnabled());
    }
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, true, true}));
    user.Screenshot("form1-nt.bmp");

    user.Click(user.Apply());
    POINT boxCentre{};
    const auto applied = tool.TakeMessage([&](HWND box) { boxCentre = Centre(box); });
    ASSERT_TRUE(applied.has_value());
    EXPECT_EQ(applied->title, kTitle);
    EXPECT_EQ(applied->text, kApplied);
    const POINT formCentre = Centre(user.form);
    EXPECT_LE(std::abs(boxCentre.x - formCentre.x), 1) << "the box is centred on its window";
    EXPECT_LE(std::abs(boxCentre.y - formCentre.y), 1) << "the box is centred on its window";
    for (const std::string& service : services_) {
        EXPECT_EQ(DwordAt(kInterfaces + service, kMtu), 1400U) << service;
    }
    EXPECT_EQ(DwordAt(kParameters, kPmtuSwitch), 0U);

    user.Clear();
    EXPECT_TRUE(user.BothDisabled());
    user.Choose('m');
    EXPECT_TRUE(WaitUntil([&] { return user.Text() == "1400"; })) << user.Text();
    EXPECT_TRUE(user.BothEnabled());

    user.Click(user.Remove());
    const auto removed = tool.TakeMessage();
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(removed->title, kTitle);
    EXPECT_EQ(removed->text, kRemoved);
    EXPECT_EQ(user.Text(), "");
    EXPECT_TRUE(user.BothDisabled());
    for (const std::string& service : services_) {
        EXPECT_FALSE(DwordAt(kInterfaces + service, kMtu).has_value()) << service;
    }
    EXPECT_FALSE(DwordAt(kParameters, kPmtuSwitch).has_value());

    user.Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, WindowLayoutInPixelsAndTabOrder) {
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User user{tool.WaitForVisible("Form1")};
    ASSERT_NE(user.form, nullptr);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };

    RECT client{};
    GetClientRect(user.form, &client);
    EXPECT_EQ(client.right, px(4575));
    EXPECT_EQ(client.bottom, px(2265));

    const auto placed = [&](int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(user.form, id), &r);
        MapWindowPoints(nullptr, user.form, reinterpret_cast<POINT*>(&r), 2);
        return std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    EXPECT_EQ(placed(ui::kIdApply), (std::vector<long>{px(600), px(1560), px(1455), px(375)}));
    EXPECT_EQ(placed(ui::kIdMtuBox), (std::vector<long>{px(2040), px(840), px(615), px(285)}));
    EXPECT_EQ(placed(ui::kIdLabel), (std::vector<long>{px(1560), px(840), px(495), px(255)}));
    EXPECT_EQ(placed(ui::kIdRemove), (std::vector<long>{px(2400), px(1560), px(1455), px(375)}));

    // The Tab key's order, with both buttons enabled: Apply, the box, Remove.
    user.Retype("1400");
    std::vector<int> order;
    HWND at = GetNextDlgTabItem(user.form, user.Remove(), FALSE);
    for (int i = 0; i < 3 && at != nullptr; ++i) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(user.form, at, FALSE);
    }
    EXPECT_EQ(order, (std::vector<int>{ui::kIdApply, ui::kIdMtuBox, ui::kIdRemove}));

    // The Tab key itself, through the program's message loop.
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(user.form) == user.Box(); })) << "the box has the focus";
    PostMessageA(user.Box(), WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(user.form) == user.Remove(); }));
    PostMessageA(user.Remove(), WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(user.form) == user.Apply(); }));
    EXPECT_EQ(TextOf(user.Apply()), "Apply");
    EXPECT_EQ(TextOf(user.Remove()), "Remove");
    EXPECT_EQ(TextOf(GetDlgItem(user.form, ui::kIdLabel)), "MTU");

    user.CloseBox();
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, InputLimitsAsTypedByAUser) {
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User user{tool.WaitForVisible("Form1")};
    ASSERT_NE(user.form, nullptr);
    const std::pair<const char*, bool> cases[] = {{"87", false},   {"88", true},   {"1500", true},
                                                  {"87.5", false}, {"88.5", true}, {"abc", false},
                                                  {"-100", false}, {"1e3", false}};
    for (const auto& [keys, enabled] : cases) {
        user.Retype(keys);
        EXPECT_EQ(user.Text(), keys);
        EXPECT_EQ(user.ApplyEnabled(), enabled) << keys;
        EXPECT_EQ(user.RemoveEnabled(), enabled) << keys;
    }
    user.Retype("00881");
    EXPECT_EQ(user.Text(), "0088") << "a fifth character cannot be typed";
    EXPECT_TRUE(user.BothEnabled());
    user.Retype("15001");
    EXPECT_EQ(user.Text(), "1500");
    SendMessageA(user.Box(), WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(user.Text(), "150");
    EXPECT_TRUE(user.BothEnabled());
    user.Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, BothFamiliesShowTwoWindowsAndExitFromForm2EndsTheProgram) {
    Seed9x();
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User nt{tool.WaitForVisible("Form1")};
    const User nineX{tool.WaitForVisible("Form2")};
    ASSERT_NE(nt.form, nullptr);
    ASSERT_NE(nineX.form, nullptr);
    EXPECT_EQ(TextOf(nt.form), Caption(ntName_));
    EXPECT_EQ(TextOf(nineX.form), Caption("Windows 98"));
    EXPECT_EQ(nt.Text(), "0");
    EXPECT_EQ(nineX.Text(), "");
    RECT r1{};
    RECT r2{};
    GetWindowRect(nt.form, &r1);
    GetWindowRect(nineX.form, &r2);
    EXPECT_TRUE(r1.left != r2.left || r1.top != r2.top) << "both windows can be seen";

    nineX.Retype("576");
    EXPECT_TRUE(nineX.BothEnabled());
    EXPECT_TRUE(nt.BothDisabled()) << "each window checks its own box";
    nineX.Screenshot("form2-9x.bmp");

    nineX.Click(nineX.Apply());
    bool ntTookInput = true;
    const auto applied = tool.TakeMessage([&](HWND) { ntTookInput = IsWindowEnabled(nt.form) != FALSE; });
    ASSERT_TRUE(applied.has_value());
    EXPECT_EQ(applied->text, kApplied);
    EXPECT_FALSE(ntTookInput) << "the other window is disabled while the box is open";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(nt.form) != FALSE; }));
    for (const std::string& name : kSeededTransports) {
        EXPECT_EQ(TextAt(kNetTrans + name, kMaxMtu), "576") << name;
    }
    EXPECT_EQ(TextAt(kMstcp, kPmtuSwitch9x), "0");
    for (const std::string& service : services_) {
        EXPECT_FALSE(DwordAt(kInterfaces + service, kMtu).has_value()) << "the NT family is untouched";
    }

    nineX.Click(nineX.Remove());
    const auto removed = tool.TakeMessage();
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(removed->text, kRemoved);
    for (const std::string& name : kSeededTransports) {
        EXPECT_FALSE(TextAt(kNetTrans + name, kMaxMtu).has_value()) << name;
    }

    nineX.Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, NineXOnlyKeepsForm1Hidden) {
    HideNtName();
    Seed9x();
    ASSERT_TRUE(PutText(kNetTrans + "0002", kMaxMtu, "1400"));
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User nineX{tool.WaitForVisible("Form2")};
    ASSERT_NE(nineX.form, nullptr);
    ASSERT_NE(tool.Form("Form1"), nullptr);
    EXPECT_FALSE(IsWindowVisible(tool.Form("Form1")));
    EXPECT_EQ(nineX.Text(), "1400");
    EXPECT_TRUE(nineX.BothEnabled());
    nineX.CloseBox();
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, NeitherFamilySaysSoAndEndsWithCode1) {
    HideNtName();
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const auto shown = tool.TakeMessage();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->title, kTitle);
    EXPECT_EQ(shown->text, kNoFamily);
    EXPECT_EQ(tool.WaitForExit(), 1U);
}

TEST_F(EndToEnd, CloseBoxOfEitherWindowEndsTheProgram) {
    Seed9x();
    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User nt{tool.WaitForVisible("Form1")};
    ASSERT_NE(tool.WaitForVisible("Form2"), nullptr);
    nt.CloseBox();
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

TEST_F(EndToEnd, ReadOnlyMachineShowsTheFailuresAndChangesNothing) {
    for (const std::string& service : services_) {
        ASSERT_TRUE(PutDword(kInterfaces + service, kMtu, 1400)) << service;
    }
    ASSERT_TRUE(PutDword(kParameters, kPmtuSwitch, 0));
    std::vector<std::unique_ptr<ReadOnlyKey>> locks;
    locks.push_back(std::make_unique<ReadOnlyKey>(kParameters));
    for (const std::string& service : services_) {
        locks.push_back(std::make_unique<ReadOnlyKey>(kInterfaces + service));
    }
    for (const auto& lock : locks) {
        ASSERT_TRUE(lock->Locked());
    }
    const RegistryImage before = WalkLocalMachine(kTcpip);

    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    const User user{tool.WaitForVisible("Form1")};
    ASSERT_NE(user.form, nullptr);
    EXPECT_EQ(user.Text(), "1400");
    user.Retype("576");

    user.Click(user.Apply());
    const auto apply = tool.TakeMessage();
    ASSERT_TRUE(apply.has_value());
    EXPECT_EQ(apply->text, kNotSaved);

    user.Click(user.Remove());
    const auto remove = tool.TakeMessage();
    ASSERT_TRUE(remove.has_value());
    EXPECT_EQ(remove->text, kNotRemoved);
    EXPECT_EQ(user.Text(), "576") << "the box keeps its value so that the user can try again";

    for (const std::string& line :
         Differences(before, WalkLocalMachine(kTcpip))) {
        ADD_FAILURE() << line;
    }
    user.Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

// ---- nothing else changes ----

// Differences other than these values, and these keys created empty.
std::vector<std::string> Unexpected(const RegistryImage& before, const RegistryImage& after,
                                    const std::vector<std::string>& values,
                                    const std::vector<std::string>& newKeys) {
    std::vector<std::string> out;
    for (const std::string& line : Differences(before, after, newKeys)) {
        const std::string entry = line.substr(line.find(' ') + 1);
        if (std::find(values.begin(), values.end(), entry) == values.end()) {
            out.push_back(line);
        }
    }
    return out;
}

class NothingElseChanges : public EndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(NothingElseChanges, ApplyThenRemoveThroughTheProgram) {
    const std::string family = GetParam();
    const bool nt = family != "9x";
    const bool nineX = family != "nt";
    if (!nt) {
        HideNtName();
    }
    if (nineX) {
        Seed9x();
    }
    std::vector<std::string> values;
    std::vector<std::string> newKeys;
    if (nt) {
        values.push_back(ValueEntry(kParameters, kPmtuSwitch));
        for (const std::string& service : services_) {
            values.push_back(ValueEntry(kInterfaces + service, kMtu));
            if (!KeyExists(kInterfaces + service)) {
                newKeys.push_back(kInterfaces + service);
            }
        }
        if (!KeyExists(kInterfaces.substr(0, kInterfaces.size() - 1))) {
            newKeys.push_back(kInterfaces.substr(0, kInterfaces.size() - 1));
        }
    }
    if (nineX) {
        values.push_back(ValueEntry(kMstcp, kPmtuSwitch9x));
        for (const std::string& name : kSeededTransports) {
            values.push_back(ValueEntry(kNetTrans + name, kMaxMtu));
        }
        if (!KeyExists(kMstcp)) {
            newKeys.push_back(kMstcp);
        }
    }
    const RegistryImage first = WalkLocalMachine();

    RunningTool tool;
    ASSERT_TRUE(tool.Started());
    std::vector<User> users;
    if (nt) {
        users.push_back(User{tool.WaitForVisible("Form1")});
    }
    if (nineX) {
        users.push_back(User{tool.WaitForVisible("Form2")});
    }
    for (const User& user : users) {
        ASSERT_NE(user.form, nullptr);
        user.Retype("1400");
        user.Click(user.Apply());
        const auto shown = tool.TakeMessage();
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->text, kApplied);
    }
    const RegistryImage applied = WalkLocalMachine();
    for (const std::string& line : Unexpected(first, applied, values, newKeys)) {
        ADD_FAILURE() << "after Apply: " << line;
    }
    for (const std::string& value : values) {
        EXPECT_TRUE(applied.count(value) == 1) << "Apply did not write " << value;
    }

    for (const User& user : users) {
        user.Click(user.Remove());
        const auto shown = tool.TakeMessage();
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->text, kRemoved);
    }
    for (const std::string& line : Unexpected(first, WalkLocalMachine(), {}, newKeys)) {
        ADD_FAILURE() << "after Remove: " << line;
    }
    users.front().Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Family, NothingElseChanges, ::testing::Values("nt", "9x", "both"),
                         [](const auto& row) {
                             return std::string(row.param) == "9x" ? std::string("nineX")
                                                                   : std::string(row.param);
                         });

}  // namespace
}  // namespace quillon::test
