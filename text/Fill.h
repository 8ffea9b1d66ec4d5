#pragma once
// Messages are made of pieces joined once, which keeps the programs small:
// one call where a chain of string additions would make a temporary string
// for every piece.

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillon::text {

std::string Cat(std::initializer_list<std::string_view> pieces);

// A value put into a message: a text, or a number written in decimal where
// it goes, so that no caller makes a string of it first.
struct Piece {
    Piece(std::string_view value) : data(value.data() != nullptr ? value.data() : ""), size(value.size()) {}
    Piece(const std::string& value) : data(value.data()), size(value.size()) {}
    Piece(const char* value);  // measured once, out of line, for all the places that pass one
    Piece(unsigned value) : size(value) {}
    Piece(int value) : size(static_cast<unsigned>(value)) {}  // a size, a count or a code: never below 0
    const char* data = nullptr;  // none: the piece is the number `size`
    std::size_t size = 0;
};

// `pattern` with each '%' in it replaced by the next of `values`.
std::string Fill(const char* pattern, std::initializer_list<Piece> values);

}  // namespace quillon::text
