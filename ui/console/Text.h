#pragma once
// The console program's messages are made as every message of the program
// is (text/Fill.h).

#include "text/Decimal.h"
#include "text/Fill.h"

namespace quillon::ui {

using text::Cat;
using text::Decimal;
using text::Fill;
using text::Piece;

// Appends `value` as `digits` lowercase hexadecimal digits: a registry
// file's bytes, a JSON document's escapes.
void AppendHex(std::string& text, unsigned value, int digits);

}  // namespace quillon::ui
