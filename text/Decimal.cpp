#include "text/Decimal.h"

namespace quillon::text {

std::string Decimal(long long number) {
    char digits[24];
    std::size_t at = sizeof digits;
    unsigned long long rest = number < 0 ? 0ULL - static_cast<unsigned long long>(number) : number;
    do {
        digits[--at] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (number < 0) {
        digits[--at] = '-';
    }
    return std::string(digits + at, sizeof digits - at);
}

}  // namespace quillon::text
