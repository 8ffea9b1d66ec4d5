#pragma once
// Messages are made of pieces joined once, which keeps the console program
// small: one call where a chain of string additions would make a temporary
// string for every piece.

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillon::ui {

std::string Cat(std::initializer_list<std::string_view> pieces);

}  // namespace quillon::ui
