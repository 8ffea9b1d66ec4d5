#pragma once
// UTF-16 as UTF-8, done here rather than by the system, which on 95 knows
// no UTF-8. A lone surrogate, which is no character, becomes U+FFFD.

#include <string>
#include <string_view>

namespace quillon::text {

std::string Utf8Of(std::u16string_view text);

}  // namespace quillon::text
