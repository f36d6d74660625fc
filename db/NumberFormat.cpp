// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/NumberFormat.h"

#include "db/NumberMatch.h"

#include <phonenumbers/phonenumberutil.h>

namespace {
using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;
} // namespace

std::string NumberForPeople(std::string_view number) {
    const std::string digits = NumberDigits(number);
    // Without the trunk prefix the number has no area code to set apart.
    if (digits.size() < 3 || digits[0] != '0') return std::string(number);
    const bool foreign = digits[1] == '0';
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber parsed;
    const std::string text = foreign ? "+" + digits.substr(2) : digits;
    if (util.Parse(text, "DE", &parsed) != PhoneNumberUtil::NO_PARSING_ERROR ||
        !util.IsValidNumber(parsed))
        return std::string(number);
    std::string written;
    util.Format(parsed, foreign ? PhoneNumberUtil::INTERNATIONAL : PhoneNumberUtil::NATIONAL,
                &written);
    return written.empty() ? std::string(number) : written;
}
