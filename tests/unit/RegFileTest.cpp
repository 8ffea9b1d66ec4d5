// The registry file of export: each kind of value as regedit reads it back
// byte for byte, deletions for what was not there, and refusals where the
// file could not be right.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/console/RegFile.h"

namespace quillon::test {
namespace {

using State = reg::RawValue::State;

reg::RawValue Value(reg::ValueType type, const std::string& bytes, State state = State::kPresent) {
    reg::RawValue value;
    value.state = state;
    value.type = type;
    value.data.assign(bytes.begin(), bytes.end());
    return value;
}

std::string Section(const reg::RawValue& value, const std::string& path = "SYSTEM\\Interfaces\\{A}",
                    settings::WindowsFamily family = settings::WindowsFamily::kNt) {
    std::string text;
    std::string error;
    EXPECT_TRUE(ui::AppendRegSection(family, "NT", {{{path, "MTU"}, value}}, text, error)) << error;
    return text;
}

TEST(RegFile, WritesEachValueSoThatRegeditStoresTheSameBytes) {
    using namespace std::string_literals;
    const struct {
        const char* what;
        reg::RawValue value;
        std::string line;
    } cases[] = {
        {"a DWORD", Value(reg::kRegDword, "\x78\x05\x00\x00"s), "\"MTU\"=dword:00000578\n"},
        {"a DWORD of the wrong size", Value(reg::kRegDword, "\x78\x05\x00"s), "\"MTU\"=hex(4):78,05,00\n"},
        {"a text with its NUL", Value(reg::kRegSz, "1400\0"s), "\"MTU\"=\"1400\"\n"},
        {"a text without a NUL, as the tool stores it", Value(reg::kRegSz, "1400"), "\"MTU\"=hex(1):31,34,30,30\n"},
        {"quotes and backslashes", Value(reg::kRegSz, "a\"b\\c\0"s), "\"MTU\"=\"a\\\"b\\\\c\"\n"},
        {"a line break", Value(reg::kRegSz, "a\nb\0"s), "\"MTU\"=hex(1):61,0a,62,00\n"},
        {"a NUL inside", Value(reg::kRegSz, "a\0b\0"s), "\"MTU\"=hex(1):61,00,62,00\n"},
        {"an empty text", Value(reg::kRegSz, "\0"s), "\"MTU\"=\"\"\n"},
        {"no bytes", Value(reg::kRegBinary, ""), "\"MTU\"=hex:\n"},
        {"a list of texts", Value(reg::kRegMultiSz, "a\0\0"s), "\"MTU\"=hex(7):61,00,00\n"},
        {"a type of its own", Value(0x1234, "\x01"s), "\"MTU\"=hex(1234):01\n"},
        {"an expandable text", Value(reg::kRegExpandSz, "%x%\0"s), "\"MTU\"=hex(2):25,78,25,00\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Section(c.value), "\n; NT\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Interfaces\\{A}]\n" + c.line) << c.what;
    }
}

TEST(RegFile, BreaksLongDataIntoLinesAndQuotesOnlyShortTexts) {
    const std::string longText(2000, 'x');
    const std::string text = Section(Value(reg::kRegSz, longText + std::string(1, '\0')));
    EXPECT_EQ(text.find("\"MTU\"=\""), std::string::npos) << "a long text goes as bytes";
    std::size_t bytes = 0;
    std::size_t longestLine = 0;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        const std::string line = text.substr(start, end - start);
        longestLine = std::max(longestLine, line.size());
        for (std::size_t at = line.find("78"); at != std::string::npos; at = line.find("78", at + 2)) {
            ++bytes;
        }
    }
    EXPECT_EQ(bytes, 2000U);
    EXPECT_LE(longestLine, 100U) << "the key line aside";
    EXPECT_NE(text.find(",\\\n  78"), std::string::npos) << "continued as regedit continues";
}

TEST(RegFile, DeletesWhatWasNotThereAndSaysWhereRegeditMayNot) {
    for (const State state : {State::kValueMissing, State::kKeyMissing}) {
        for (const auto family : {settings::WindowsFamily::kNt, settings::WindowsFamily::k9x}) {
            const std::string text = Section(Value(reg::kRegNone, "", state), "SYSTEM\\Tcpip\\", family);
            const std::string older = family == settings::WindowsFamily::kNt ? "Windows NT 4.0" : "Windows 95, 98 and Me";
            EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Tcpip]\n"), std::string::npos) << text;
            EXPECT_NE(text.find("; may not delete a value"), std::string::npos) << text;
            EXPECT_NE(text.find(older), std::string::npos) << text;
            EXPECT_EQ(text.substr(text.size() - 8), "\"MTU\"=-\n") << "the deletion comes after its comment";
        }
    }
}

TEST(RegFile, RefusesWhatItCannotWriteTrulyAndKeepsTheTextAsItWas) {
    reg::RawValue unreadable = Value(reg::kRegNone, "", State::kUnreadable);
    unreadable.status = 5;
    const struct {
        const char* what;
        std::string path;
        reg::RawValue value;
        const char* says;
    } cases[] = {
        {"unreadable value", "SYSTEM\\Interfaces\\{A}", unreadable, "could not be read (error 5)"},
        {"line break in a key", "SYSTEM\\Interfaces\\{A\n[HKEY_LOCAL_MACHINE\\SOFTWARE]", Value(reg::kRegSz, "1"),
         "a character that a registry file cannot hold"},
    };
    for (const auto& c : cases) {
        std::string text = "REGEDIT4\n";
        std::string error;
        const std::vector<ui::ExportedValue> values = {{{"SYSTEM\\Good", "MTU"}, Value(reg::kRegDword, "1234")},
                                                       {{c.path, "MTU"}, c.value}};
        EXPECT_FALSE(ui::AppendRegSection(settings::WindowsFamily::kNt, "NT", values, text, error)) << c.what;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(text, "REGEDIT4\n") << c.what;
    }
}

}  // namespace
}  // namespace quillon::test
