#pragma once
// Numbers as plain decimal text, made in one place for the whole program
// (the C++ library's own conversion brings a table and its code to every
// place that calls it).

#include <string>

namespace quillon::text {

std::string Decimal(long long number);

}  // namespace quillon::text
