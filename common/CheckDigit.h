// The mod-10 check digit of EAN and UPC numbers, which both printer libraries verify
// before a code goes out: printers print a wrong one, and no scanner reads the result.
#pragma once

#include <string_view>

// The check digit over `digits` (decimal digits, without the check digit).
inline char gtinCheckDigit(std::string_view digits) {
    int sum = 0;
    bool three = true;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, three = !three)
        sum += (*it - '0') * (three ? 3 : 1);
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}
