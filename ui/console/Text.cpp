#include "ui/console/Text.h"

#include "ui/console/Console.h"

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

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    const std::string_view* value = values.begin();
    for (const char c : pattern) {
        if (c == '%' && value != values.end()) {
            text.append(value->data(), value->size());
            ++value;
        } else {
            text += c;
        }
    }
    return text;
}

void ConsoleOutput::Out(std::initializer_list<std::string_view> pieces) {
    Out(std::string_view(Cat(pieces)));
}

void ConsoleOutput::Err(std::initializer_list<std::string_view> pieces) {
    Err(std::string_view(Cat(pieces)));
}

void ConsoleOutput::Out(std::string_view pattern, std::initializer_list<std::string_view> values) {
    Out(std::string_view(Fill(pattern, values)));
}

void ConsoleOutput::Err(std::string_view pattern, std::initializer_list<std::string_view> values) {
    Err(std::string_view(Fill(pattern, values)));
}

}  // namespace quillon::ui
