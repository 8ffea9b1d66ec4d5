#pragma once
// Messages are made of pieces joined once, which keeps the console program
// small: one call where a chain of string additions would make a temporary
// string for every piece.

#include <initializer_list>
#include <string>
#include <string_view>

#include "text/Decimal.h"

namespace quillon::ui {

std::string Cat(std::initializer_list<std::string_view> pieces);

// `pattern` with each '%' in it replaced by the next of `values`.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values);

using text::Decimal;

}  // namespace quillon::ui
