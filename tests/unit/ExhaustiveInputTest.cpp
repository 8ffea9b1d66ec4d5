// Every text of up to four characters over digits, point, minus, 'e', blank,
// ampersand and 'x', typed into each window's MTU box, against a statement of
// the rule written apart from the program's: both buttons are enabled exactly
// when the text is digits with at most one point and 88 <= V <= 1500.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "settings/MtuNumber.h"
#include "tests/support/HeadlessProgram.h"
#include "tests/support/KeysAndTexts.h"
#include "tests/unit/Figures.h"

namespace quillon::test {
namespace {

bool RuleSaysEnabled(const std::string& text) {
    static const std::regex number(R"(^[0-9]*\.?[0-9]*$)");
    if (!std::regex_match(text, number) || text.find_first_of("0123456789") == std::string::npos) {
        return false;
    }
    // Four characters at most: a double holds every such value exactly
    // enough to compare with whole numbers.
    const double value = std::stod(text[0] == '.' ? "0" + text : text);
    return value >= 88.0 && value <= 1500.0;
}

void ForEachText(const std::string& alphabet, std::size_t maxLength, std::string& text,
                 const std::function<void(const std::string&)>& visit) {
    visit(text);
    if (text.size() == maxLength) {
        return;
    }
    for (const char c : alphabet) {
        text.push_back(c);
        ForEachText(alphabet, maxLength, text, visit);
        text.pop_back();
    }
}

TEST(ExhaustiveInput, BothWindowsFollowTheRuleForEveryShortText) {
    HeadlessProgram rig;
    rig.model.SeedString(kNtVersion, kProductName, "Windows 2000");
    rig.model.SeedString(k9xVersion, kProductName, "Windows 98");
    rig.program.Start();

    std::size_t tried = 0;
    std::size_t mismatches = 0;
    for (const char* name : {"Form1", "Form2"}) {
        const View form = rig.Form(name);
        ui::headless::HeadlessButton& apply = form.apply;
        ui::headless::HeadlessTextBox& box = form.box;
        ui::headless::HeadlessButton& remove = form.remove;
        std::string text;
        ForEachText("0123456789.-e &x", 4, text, [&](const std::string& typed) {
            box.Retype(typed);
            ++tried;
            const bool expected = RuleSaysEnabled(typed);
            // The console program's apply takes exactly these texts too.
            if (box.Text() != typed || apply.Enabled() != expected || remove.Enabled() != expected ||
                settings::Applicable(typed) != expected) {
                ++mismatches;
                ADD_FAILURE() << name << ": \"" << typed << "\" should leave both buttons "
                              << (expected ? "enabled" : "disabled");
            }
        });
    }
    ReportFigure("exhaustive input check: " + std::to_string(tried) + " texts tried, " +
                 std::to_string(mismatches) + " mismatches");
    EXPECT_EQ(tried, 2U * (1 + 16 + 256 + 4096 + 65536));
    EXPECT_EQ(mismatches, 0U);
}

}  // namespace
}  // namespace quillon::test
