#include "settings/MtuNumber.h"

#include <limits>
#include <utility>

#include "net/Mtu.h"
#include "text/Decimal.h"

namespace quillon::settings {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::optional<MtuNumber> ReadAsNumber(std::string_view text) {
    // Read where it is given back, so that it is not moved there.
    std::optional<MtuNumber> read(std::in_place);
    MtuNumber& number = *read;
    bool point = false;
    bool digits = false;
    bool valid = true;
    std::size_t zeros = 0;  // zeros after the point that no other digit follows yet
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (IsDigit(c)) {
            digits = true;
            if (point && c == '0') {
                ++zeros;
            } else if (point) {
                for (; zeros != 0; --zeros) {
                    number.fraction.push_back('0');
                }
                number.fraction.push_back(c);
            } else if (!number.whole.empty() || c != '0') {
                number.whole.push_back(c);
            }
        } else {
            valid = false;  // a second point, or not a digit
            break;
        }
    }
    if (!valid || !digits) {
        read.reset();
    }
    return read;
}

int Compare(const MtuNumber& number, std::uint32_t n) {
    const std::string other = n == 0 ? std::string() : text::Decimal(n);
    if (number.whole.size() != other.size()) {
        return number.whole.size() < other.size() ? -1 : 1;
    }
    if (const int order = number.whole.compare(other); order != 0) {
        return order < 0 ? -1 : 1;
    }
    return number.fraction.empty() ? 0 : 1;
}

std::optional<std::int32_t> RoundToInt32(const MtuNumber& number) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (number.whole.size() > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : number.whole) {
        value = value * 10 + (c - '0');
    }
    if (!number.fraction.empty()) {
        const char first = number.fraction.front();
        const bool tie = first == '5' && number.fraction.size() == 1;
        if (first > '5' || (first == '5' && !tie) || (tie && value % 2 != 0)) {
            ++value;
        }
    }
    if (value > kMax) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

bool Applicable(std::string_view text) {
    const auto number = ReadAsNumber(text);
    return text.size() <= kMtuMaxCharacters && number && Compare(*number, net::kSmallestStoredMtu) >= 0 &&
           Compare(*number, net::kLargestStoredMtu) <= 0;
}

}  // namespace quillon::settings
