// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/NumberMatch.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '/' || c == '-' || c == '(' || c == ')' || c == '.';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string& AreaCode() {
    static std::string areaCode;
    return areaCode;
}

} // namespace

void SetOwnAreaCode(std::string_view areaCode) {
    AreaCode().clear();
    std::string digits = NumberDigits(areaCode);
    if (digits.empty() || digits.starts_with("00")) return; // none, or another country's
    if (digits.front() != '0') digits.insert(0, 1, '0');
    if (digits.size() > 1) AreaCode() = std::move(digits);
}

const std::string& OwnAreaCode() {
    return AreaCode();
}

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
    if (digits.starts_with("0049"))
        digits.replace(0, 4, "0");
    else if (!digits.empty() && digits.front() != '0' && !AreaCode().empty())
        digits.insert(0, AreaCode());
}

bool NumberFits(std::string_view stored, std::string_view number) {
    const std::string wanted = NumberDigits(number);
    return !wanted.empty() && NumberDigits(stored) == wanted;
}
