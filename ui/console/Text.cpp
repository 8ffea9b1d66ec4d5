#include "ui/console/Text.h"

namespace quillon::ui {

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

}  // namespace quillon::ui
