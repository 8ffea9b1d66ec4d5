#pragma once
// The MTU box's text read as a number: one or more decimal digits with at
// most one point among them ("0088", "88.5", "1500", ".5" and "88." do; "",
// " 88", "-1", "1e3", "&H58" and "1.2.3" do not). Values are kept exactly, as
// digits, so that no text is rounded before it is compared.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::settings {

struct MtuNumber {
    std::string whole;     // digits, no leading zeros ("" for zero)
    std::string fraction;  // digits after the point, no trailing zeros
};

std::optional<MtuNumber> ReadAsNumber(std::string_view text);

// Negative, zero or positive as the number is below, equal to or above n.
int Compare(const MtuNumber& number, std::uint32_t n);

// What the window's MTU box lets the user apply: at most four characters
// that read as a number from 88 to 1500.
inline constexpr std::size_t kMtuMaxCharacters = 4;
bool Applicable(std::string_view text);

// The nearest whole number, ties to even (88.5 gives 88, 89.5 gives 90); no
// result beyond the range of a signed 32-bit integer.
std::optional<std::int32_t> RoundToInt32(const MtuNumber& number);

}  // namespace quillon::settings
