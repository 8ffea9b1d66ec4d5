#include "ui/console/Text.h"

#include "ui/console/Console.h"

namespace quillon::ui {

void AppendHex(std::string& text, unsigned value, int digits) {
    while (digits-- > 0) {
        text += "0123456789abcdef"[(value >> (4 * digits)) & 0xFU];
    }
}

void ConsoleOutput::Out(const std::string& text) { Out(std::string_view(text)); }

void ConsoleOutput::Out(const char* text) { Out(std::string_view(text)); }

void ConsoleOutput::Err(const std::string& text) { Err(std::string_view(text)); }

void ConsoleOutput::Err(const char* text) { Err(std::string_view(text)); }

void ConsoleOutput::Out(std::initializer_list<std::string_view> pieces) {
    Out(std::string_view(Cat(pieces)));
}

void ConsoleOutput::Err(std::initializer_list<std::string_view> pieces) {
    Err(std::string_view(Cat(pieces)));
}

void ConsoleOutput::Out(const char* pattern, std::initializer_list<Piece> values) {
    Out(std::string_view(Fill(pattern, values)));
}

void ConsoleOutput::Err(const char* pattern, std::initializer_list<Piece> values) {
    Err(std::string_view(Fill(pattern, values)));
}

}  // namespace quillon::ui
