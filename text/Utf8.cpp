#include "text/Utf8.h"

namespace quillon::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::string& utf8, char32_t c) {
    if (c < 0x80) {
        utf8 += static_cast<char>(c);
        return;
    }
    const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    utf8 += static_cast<char>((more == 1 ? 0xC0 : more == 2 ? 0xE0 : 0xF0) | (c >> (6 * more)));
    for (int k = more - 1; k >= 0; --k) {
        utf8 += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
}

}  // namespace

std::string Utf8Of(std::u16string_view text) {
    std::string utf8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        Append(utf8, c);
    }
    return utf8;
}

}  // namespace quillon::text
