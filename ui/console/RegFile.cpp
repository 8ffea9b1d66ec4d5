#include "ui/console/RegFile.h"

#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

constexpr std::size_t kLongestQuotedText = 1024;  // longer texts go as bytes
constexpr std::size_t kBytesPerLine = 24;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

bool Printable(unsigned char c) { return c >= kFirstPrintable && c != kDelete; }

void AppendQuoted(std::string& text, std::string_view unquoted) {
    text += '"';
    for (const char c : unquoted) {
        if (c == '\\' || c == '"') {
            text += '\\';
        }
        text += c;
    }
    text += '"';
}

// A text with one NUL at its end and nothing unprintable before it is
// written as a quoted string, which regedit stores with that NUL; anything
// else goes byte for byte, as hex:..., hex(N):... with regedit's own line
// breaks.
void AppendData(std::string& text, const reg::RawValue& value) {
    const std::vector<std::uint8_t>& data = value.data;
    if (value.type == reg::kRegDword && data.size() == 4) {
        text += "dword:";
        AppendHex(text,
                  static_cast<unsigned>(data[0]) | static_cast<unsigned>(data[1]) << 8 |
                      static_cast<unsigned>(data[2]) << 16 | static_cast<unsigned>(data[3]) << 24,
                  8);
        return;
    }
    if (value.type == reg::kRegSz && !data.empty() && data.back() == 0 && data.size() <= kLongestQuotedText) {
        bool plain = true;
        for (std::size_t i = 0; i + 1 < data.size(); ++i) {
            plain = plain && Printable(data[i]);
        }
        if (plain) {
            AppendQuoted(text, std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1));
            return;
        }
    }
    const reg::ValueType type = value.type;
    if (type == reg::kRegBinary) {
        text += "hex:";
    } else {
        int digits = 1;
        while (digits < 8 && (type >> (4 * digits)) != 0) {
            ++digits;
        }
        text += "hex(";
        AppendHex(text, type, digits);
        text += "):";
    }
    for (std::size_t i = 0; i != data.size(); ++i) {
        if (i != 0) {
            text += i % kBytesPerLine == 0 ? ",\\\n  " : ",";
        }
        AppendHex(text, data[i], 2);
    }
}

}  // namespace

std::string RegSectionHeader(const std::string& caption) { return Fill("\n; %\n", {caption}); }

bool AppendRegValue(settings::WindowsFamily family, const settings::ToolValue& where,
                    const reg::RawValue& value, std::string& text, std::string& error) {
    std::string_view path = where.path;
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    bool printable = true;
    for (const char c : path) {
        printable = printable && Printable(static_cast<unsigned char>(c));
    }
    if (!printable || value.state == reg::RawValue::State::kUnreadable) {
        error = Fill(printable ? "The value \"%\" of HKEY_LOCAL_MACHINE\\% could not be read (error %)."
                               : "The key of \"%\" of HKEY_LOCAL_MACHINE\\% has a character that a registry "
                                 "file cannot hold.",
                     {where.name, path, static_cast<unsigned>(value.status)});
        return false;
    }
    std::string name;
    AppendQuoted(name, where.name);
    if (value.state == reg::RawValue::State::kPresent) {
        name += '=';
        AppendData(name, value);
        text += Fill("\n[HKEY_LOCAL_MACHINE\\%]\n%\n", {path, name});
    } else {
        text += Fill("\n[HKEY_LOCAL_MACHINE\\%]\n; Not there when this file was written, so it is "
                     "deleted. The regedit of %\n; may not delete a value: if it is still there, delete "
                     "it by hand.\n%=-\n",
                     {path, family == settings::WindowsFamily::kNt ? "Windows NT 4.0" : "Windows 95, 98 and Me",
                      name});
    }
    return true;
}

bool AppendRegSection(settings::WindowsFamily family, const std::string& caption,
                      const std::vector<ExportedValue>& values, std::string& text, std::string& error) {
    std::string section = RegSectionHeader(caption);
    for (const ExportedValue& exported : values) {
        if (!AppendRegValue(family, exported.where, exported.value, section, error)) {
            return false;
        }
    }
    text += section;
    return true;
}

}  // namespace quillon::ui
