// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/NumberMatch.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '/' || c == '-' || c == '(' || c == ')' || c == '.';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string NumberDigits(std::string_view text) {
    std::string digits;
    NumberDigits(text, digits);
    return digits;
}

void NumberDigits(std::string_view text, std::string& digits) {
    digits.clear();
    size_t pos = 0;
    while (pos < text.size() && IsSeparator(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] == '+') {
        digits = "00";
        ++pos;
    }
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (IsDigit(c))
            digits.push_back(c);
        else if (!IsSeparator(c))
            break;
    }
    // Germany's own country code in front: the number as dialled inside the country.
    if (digits.starts_with("0049")) digits.replace(0, 4, "0");
}

bool NumberFits(std::string_view stored, std::string_view number) {
    const std::string wanted = NumberDigits(number);
    return !wanted.empty() && NumberDigits(stored) == wanted;
}
