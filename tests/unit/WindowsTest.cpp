// The two settings windows and start-up on the headless window system and
// the in-memory registry: layout, load set-up, the MTU input check, the
// routing of clicks and menu items, start-up's choice of window, and Exit.

#include <string>

#include "tests/support/HeadlessProgram.h"
#include "tests/unit/SettingsFixture.h"
#include "ui/ControlIds.h"
#include "ui/Program.h"

namespace quillon::test {
namespace {

using ui::headless::HeadlessButton;
using ui::headless::HeadlessLabel;
using ui::headless::HeadlessTextBox;
using ui::headless::HeadlessWindow;


class Windows : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(model.OpenHandles(), 0U); }

    void Start() { program.Start(); }
    View Form1() { return View::Of(*ui.Find("Form1")); }
    View Form2() { return View::Of(*ui.Find("Form2")); }
    void NtMachine(std::string_view name = "Windows 2000") {
        model.SeedString(kNtVersion, "ProductName", name);
    }
    void NineXMachine(std::string_view name = "Windows 98") {
        model.SeedString(k9xVersion, "ProductName", name);
    }

    HeadlessProgram rig;
    reg::MemoryRegistry& model = rig.model;
    ui::headless::HeadlessWindowSystem& ui = rig.ui;
    ui::Program& program = rig.program;
};

TEST_F(Windows, BothWindowsHaveTheSameLayoutAndTabOrder) {
    NtMachine();
    Start();
    for (const View& v : {Form1(), Form2()}) {
        EXPECT_EQ(v.window.ClientWidth(), 4575);
        EXPECT_EQ(v.window.ClientHeight(), 2265);
        const auto& c = v.window.Controls();
        ASSERT_EQ(c.size(), 5U);
        EXPECT_EQ(dynamic_cast<ui::Frame&>(*c[0]).Bounds(), (ui::TwipsRect{120, 0, 4335, 2175}));
        EXPECT_EQ(v.apply.bounds, (ui::TwipsRect{480, 1560, 1455, 375}));
        EXPECT_EQ(v.box.bounds, (ui::TwipsRect{1920, 840, 615, 285}));
        EXPECT_EQ(v.label.bounds, (ui::TwipsRect{1440, 840, 495, 255}));
        EXPECT_EQ(v.remove.bounds, (ui::TwipsRect{2280, 1560, 1455, 375}));
        EXPECT_EQ(v.apply.id, ui::kIdApply);
        EXPECT_EQ(v.box.id, ui::kIdMtuBox);
        EXPECT_EQ(v.remove.id, ui::kIdRemove);
        ASSERT_EQ(v.window.MenuItems().size(), 2U);
        EXPECT_EQ(v.window.MenuItems()[0]->menuCaption, "&File");
        EXPECT_EQ(v.window.MenuItems()[0]->itemCaption, "Retrieve &MTU");
        EXPECT_EQ(v.window.MenuItems()[1]->menuCaption, "&File");
        EXPECT_EQ(v.window.MenuItems()[1]->itemCaption, "E&xit");
    }
}

TEST_F(Windows, LoadSetUpLeavesBothButtonsDisabledAndTheBoxEmpty) {
    NineXMachine();  // Form1 is set up but not filled
    Start();
    for (const View& v : {Form1(), Form2()}) {
        EXPECT_EQ(v.apply.caption, "Apply");
        EXPECT_EQ(v.remove.caption, "Remove");
        EXPECT_EQ(v.label.caption, "MTU");
        EXPECT_EQ(v.box.MaxLength(), 4);
        EXPECT_TRUE(v.BothDisabled());
    }
    EXPECT_EQ(Form1().box.Text(), "");
    EXPECT_EQ(Form1().box.changes, 0) << "the check has not run at load";
}

TEST_F(Windows, InputCheckEnablesExactlyFrom88To1500) {
    NtMachine();
    NineXMachine();
    Start();
    const std::pair<const char*, bool> cases[] = {
        {"87", false},  {"88", true},    {"1500", true},  {"1501", false}, {"87.5", false}, {"88.5", true},
        {"0088", true}, {"0", false},    {"9999", false}, {"1499.", true}, {".5", false},   {"", false},
        {"abc", false}, {" 88", false},  {"-1", false},   {"1e3", false},  {"&H58", false}, {"1.2.", false},
        {"88 ", false}, {"1,50", false}, {"0000", false}, {"1000", true},  {"576", true},   {"100x", false}};
    for (const View& v : {Form1(), Form2()}) {
        for (const auto& [text, enabled] : cases) {
            v.box.Retype(text);
            EXPECT_EQ(v.apply.Enabled(), enabled) << '"' << text << '"';
            EXPECT_EQ(v.remove.Enabled(), enabled) << '"' << text << '"';
        }
    }
}

TEST_F(Windows, TypingIsCheckedAtEveryKeystrokeAndHeldToFourCharacters) {
    NtMachine();
    Start();
    const View v = Form1();
    v.box.Retype("");
    std::vector<bool> seen;
    for (const char c : std::string("1400")) {
        v.box.Type(c);
        seen.push_back(v.BothEnabled());
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, false, true, true}));
    EXPECT_FALSE(v.box.Type('0'));
    EXPECT_EQ(v.box.Text(), "1400");
    v.box.Backspace();
    EXPECT_TRUE(v.BothEnabled());
    v.box.Backspace();
    EXPECT_TRUE(v.BothDisabled());

    EXPECT_EQ(v.box.Retype("00881"), 4U);
    EXPECT_EQ(v.box.Text(), "0088");
    EXPECT_TRUE(v.BothEnabled());
}

TEST_F(Windows, ButtonsAndMenuRunTheirOwnFamilysOperation) {
    NtMachine();
    NineXMachine();
    model.SeedString(kCards + "1", "ServiceName", "{A}");
    model.SeedString(kNetTrans + "0000", "IPAddress", "10.0.0.1");
    Start();
    const View nt = Form1();
    const View nineX = Form2();

    nt.box.Retype("1400");
    EXPECT_TRUE(nt.apply.Click());
    EXPECT_EQ(model.Value(kInterfaces + "{A}", "MTU"), Dword(1400));
    EXPECT_FALSE(model.Value(kNetTrans + "0000", "MaxMTU").has_value());
    EXPECT_EQ(ui.Boxes().back(), kAppliedBox);

    nineX.box.Retype("576");
    EXPECT_TRUE(nineX.apply.Click());
    EXPECT_EQ(model.Value(kNetTrans + "0000", "MaxMTU"), Sz("576"));
    EXPECT_EQ(model.Value(kInterfaces + "{A}", "MTU"), Dword(1400));

    nt.box.Retype("");
    nt.Choose("Retrieve &MTU");
    EXPECT_EQ(nt.box.Text(), "1400");
    EXPECT_TRUE(nt.BothEnabled()) << "a retrieve runs the input check";

    EXPECT_TRUE(nineX.remove.Click());
    EXPECT_EQ(nineX.box.Text(), "");
    EXPECT_TRUE(nineX.BothDisabled()) << "the emptied box disables both";
    EXPECT_FALSE(model.Value(kNetTrans + "0000", "MaxMTU").has_value());
    EXPECT_EQ(nt.box.Text(), "1400");

    EXPECT_TRUE(nt.remove.Click());
    EXPECT_FALSE(model.Value(kInterfaces + "{A}", "MTU").has_value());
    EXPECT_EQ(ui.Boxes().back(), kRemovedBox);
}

TEST_F(Windows, DisabledButtonsCannotBeClicked) {
    NtMachine();
    model.SeedString(kCards + "1", "ServiceName", "{A}");
    Start();
    const View v = Form1();
    v.box.Retype("2000");
    EXPECT_FALSE(v.apply.Click());
    EXPECT_FALSE(v.remove.Click());
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_FALSE(model.Value(kInterfaces + "{A}", "MTU").has_value());
}

TEST_F(Windows, OnlyNtShowsForm1WithItsStoredValue) {
    NtMachine("Windows 2000");
    model.SeedString(kCards + "1", "ServiceName", "{A}");
    model.SeedDword(kInterfaces + "{A}", "MTU", 1400);
    Start();
    EXPECT_TRUE(Form1().window.Visible());
    EXPECT_FALSE(Form2().window.Visible());
    EXPECT_EQ(Form1().window.Caption(), "Quillon MTU Tool (Windows 2000)");
    EXPECT_EQ(Form1().box.Text(), "1400");
    EXPECT_TRUE(Form1().BothEnabled());
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_FALSE(ui.ExitCode().has_value());
}

TEST_F(Windows, OnlyNineXShowsForm2AndKeepsForm1LoadedAndHidden) {
    NineXMachine("Windows 98");
    model.SeedString(kNetTrans + "0000", "IPAddress", "10.0.0.1");
    model.SeedString(kNetTrans + "0000", "MaxMTU", "2000");
    Start();
    EXPECT_FALSE(Form1().window.Visible());
    EXPECT_FALSE(Form1().window.Closed());
    EXPECT_TRUE(Form2().window.Visible());
    EXPECT_EQ(Form2().window.Caption(), "Quillon MTU Tool (Windows 98)");
    EXPECT_EQ(Form2().box.Text(), "2000");
    EXPECT_TRUE(Form2().BothDisabled());
}

TEST_F(Windows, BothFamiliesShowBothWindowsNtFirst) {
    NtMachine("Windows 2000");
    NineXMachine("Windows 98");
    Start();
    EXPECT_TRUE(Form1().window.Visible());
    EXPECT_TRUE(Form2().window.Visible());
    EXPECT_EQ(ui.Journal(), (std::vector<std::string>{"create 1", "caption 1 Quillon MTU Tool", "hide 1",
                                                      "create 2", "caption 2 Quillon MTU Tool", "hide 2",
                                                      "show 1", "caption 1 Quillon MTU Tool (Windows 2000)",
                                                      "show 2", "caption 2 Quillon MTU Tool (Windows 98)"}));
    EXPECT_EQ(Form1().box.changes, 1);
    EXPECT_EQ(Form2().box.changes, 1);
}

TEST_F(Windows, ProductNamesAreReadBeforeAnythingElse) {
    NtMachine();
    Start();
    ASSERT_GE(model.Calls().size(), 2U);
    EXPECT_EQ(model.Calls()[0].key, kNtVersion);
    EXPECT_EQ(model.Calls()[4].key, k9xVersion);  // open, two queries, close, then the second
}

TEST_F(Windows, NeitherFamilyTellsTheUserAndEnds) {
    Start();
    EXPECT_EQ(ui.Boxes(), (std::vector<ui::headless::RecordedBox>{
                              {"No supported version of Windows was found.", 16, "Quillon MTU Tool"}}));
    EXPECT_EQ(ui.ExitCode(), 1);
    EXPECT_TRUE(Form1().window.Closed());
    EXPECT_TRUE(Form2().window.Closed());
}

TEST_F(Windows, ProductNamesThatAreNotPlainTextCountAsAbsent) {
    model.Seed(kNtVersion, "ProductName", reg::kRegExpandSz, Bytes("Windows 2000"));
    model.Seed(k9xVersion, "ProductName", reg::kRegSz, Bytes(std::string("Win\0dows 98", 11)));
    Start();
    EXPECT_FALSE(Form1().window.Visible());
    EXPECT_TRUE(Form2().window.Visible());
    EXPECT_EQ(Form2().window.Caption(), "Quillon MTU Tool (Win)");
}

TEST_F(Windows, AProductNameOfOneBlankIsPresent) {
    NtMachine(" ");
    Start();
    EXPECT_TRUE(Form1().window.Visible());
    EXPECT_EQ(Form1().window.Caption(), "Quillon MTU Tool ( )");
    EXPECT_EQ(Form1().box.Text(), "") << "no card in use and nothing retrieved before";
}

TEST_F(Windows, ExitFromEitherWindowClosesBothForm1First) {
    for (const char* from : {"Form1", "Form2"}) {
        HeadlessProgram app;
        reg::MemoryRegistry& machine = app.model;
        ui::headless::HeadlessWindowSystem& windows = app.ui;
        machine.SeedString(k9xVersion, "ProductName", "Windows 98");
        app.program.Start();
        windows.Find(from)->FindMenuItem("E&xit")->Click();
        EXPECT_TRUE(windows.Find("Form1")->Closed()) << from;
        EXPECT_TRUE(windows.Find("Form2")->Closed()) << from;
        EXPECT_EQ(windows.ExitCode(), 0) << from;
        const auto& j = windows.Journal();
        EXPECT_EQ(std::vector<std::string>(j.end() - 3, j.end()),
                  (std::vector<std::string>{"close 1", "close 2", "end 0"}))
            << from;
    }
}

TEST_F(Windows, TheCloseBoxActsAsExit) {
    NtMachine();
    NineXMachine();
    Start();
    Form2().window.ClickCloseBox();
    EXPECT_TRUE(Form1().window.Closed());
    EXPECT_TRUE(Form2().window.Closed());
    EXPECT_EQ(ui.ExitCode(), 0);
}

}  // namespace
}  // namespace quillon::test
