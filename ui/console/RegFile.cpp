#include "ui/console/RegFile.h"

#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

constexpr std::size_t kLongestQuotedText = 1024;  // longer texts go as bytes
constexpr std::size_t kBytesPerLine = 24;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

const char* const kHexDigits = "0123456789abcdef";

std::string Hex(unsigned value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xFU];
    }
    return text;
}

bool Printable(unsigned char c) { return c >= kFirstPrintable && c != kDelete; }

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// hex:..., hex(N):... with regedit's own line breaks.
std::string HexData(reg::ValueType type, const std::vector<std::uint8_t>& data) {
    int digits = 1;
    while (digits < 8 && (type >> (4 * digits)) != 0) {
        ++digits;
    }
    std::string text = type == reg::kRegBinary ? std::string("hex:") : Cat({"hex(", Hex(type, digits), "):"});
    for (std::size_t i = 0; i != data.size(); ++i) {
        if (i != 0) {
            text += i % kBytesPerLine == 0 ? ",\\\n  " : ",";
        }
        text += Hex(data[i], 2);
    }
    return text;
}

// A text with one NUL at its end and nothing unprintable before it is
// written as a quoted string, which regedit stores with that NUL; anything
// else goes byte for byte.
std::string Data(const reg::RawValue& value) {
    const std::vector<std::uint8_t>& data = value.data;
    if (value.type == reg::kRegDword && data.size() == 4) {
        return Cat({"dword:", Hex(static_cast<unsigned>(data[0]) | static_cast<unsigned>(data[1]) << 8 |
                                      static_cast<unsigned>(data[2]) << 16 | static_cast<unsigned>(data[3]) << 24,
                                  8)});
    }
    if (value.type == reg::kRegSz && !data.empty() && data.back() == 0 && data.size() <= kLongestQuotedText) {
        bool plain = true;
        for (std::size_t i = 0; i + 1 < data.size(); ++i) {
            plain = plain && Printable(data[i]);
        }
        if (plain) {
            return Quoted(std::string(data.begin(), data.end() - 1));
        }
    }
    return HexData(value.type, data);
}

}  // namespace

bool AppendRegSection(settings::WindowsFamily family, const std::string& caption,
                      const std::vector<ExportedValue>& values, std::string& text, std::string& error) {
    const char* const older = family == settings::WindowsFamily::kNt ? "Windows NT 4.0" : "Windows 95, 98 and Me";
    std::string section = Cat({"\n; ", caption, "\n"});
    for (const ExportedValue& exported : values) {
        std::string path = exported.where.path;
        while (!path.empty() && path.back() == '\\') {
            path.pop_back();
        }
        bool printable = true;
        for (const char c : path) {
            printable = printable && Printable(static_cast<unsigned char>(c));
        }
        if (!printable || exported.value.state == reg::RawValue::State::kUnreadable) {
            error = Fill(printable ? "The value \"%\" of HKEY_LOCAL_MACHINE\\% could not be read (error %)."
                                   : "The key of \"%\" of HKEY_LOCAL_MACHINE\\% has a character that a registry "
                                     "file cannot hold.",
                         {exported.where.name, path, static_cast<unsigned>(exported.value.status)});
            return false;
        }
        const std::string name = Quoted(exported.where.name);
        section += exported.value.state == reg::RawValue::State::kPresent
                       ? Fill("\n[HKEY_LOCAL_MACHINE\\%]\n%=%\n", {path, name, Data(exported.value)})
                       : Fill("\n[HKEY_LOCAL_MACHINE\\%]\n; Not there when this file was written, so it is "
                              "deleted. The regedit of %\n; may not delete a value: if it is still there, delete "
                              "it by hand.\n%=-\n",
                              {path, older, name});
    }
    text += section;
    return true;
}

}  // namespace quillon::ui
