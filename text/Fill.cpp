#include "text/Fill.h"

#include "text/Decimal.h"

namespace quillon::text {

Piece::Piece(const char* value) : Piece(std::string_view(value)) {}

std::string Cat(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (const std::string_view piece : pieces) {
        size += piece.size();
    }
    std::string text;
    text.reserve(size);
    for (const std::string_view piece : pieces) {
        text.append(piece.data(), piece.size());
    }
    return text;
}

std::string Fill(const char* pattern, std::initializer_list<Piece> values) {
    std::string text;
    const Piece* value = values.begin();
    for (; *pattern != '\0'; ++pattern) {
        const char c = *pattern;
        if (c == '%' && value != values.end()) {
            if (value->data == nullptr) {
                text += Decimal(static_cast<long long>(value->size));
            } else {
                text.append(value->data, value->size);
            }
            ++value;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace quillon::text
