// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/NumberDescription.h"

#include "db/NumberMatch.h"
#include "db/TableText.h"

#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <array>
#include <utility>

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberOfflineGeocoder;
using i18n::phonenumbers::PhoneNumberUtil;

constexpr const char* kMobile = "Mobilfunk";

// German service ranges by their first digits. The library's metadata knows most of them by
// type, but not every length that is in use, and it does not tell televoting from 0180.
constexpr std::array<std::pair<const char*, const char*>, 6> kGermanServices{{
    {"0800", "Kostenlose Servicenummer"},
    {"0180", "Servicenummer (geteilte Kosten)"},
    {"0137", "Televoting-Nummer"},
    {"0900", "Mehrwertdienst (kostenpflichtig)"},
    {"0700", "Pers\xC3\xB6nliche Rufnummer"},
    {"032", "Nationale Teilnehmerrufnummer"},
}};

// Mobile ranges, for numbers whose length the metadata does not accept.
constexpr std::array<const char*, 3> kGermanMobile{"015", "016", "017"};

std::string ToTableText(const std::string& utf8) {
    std::string table;
    return Utf8ToTable(utf8, table) ? table : std::string();
}

std::string DescribeGerman(const std::string& digits) {
    for (const auto& [prefix, text] : kGermanServices)
        if (digits.starts_with(prefix)) return ToTableText(text);

    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util.Parse(digits, "DE", &number) == PhoneNumberUtil::NO_PARSING_ERROR) {
        switch (util.GetNumberType(number)) {
        case PhoneNumberUtil::MOBILE:
            return kMobile;
        case PhoneNumberUtil::PAGER:
            return "Funkruf";
        case PhoneNumberUtil::TOLL_FREE:
            return "Kostenlose Servicenummer";
        case PhoneNumberUtil::PREMIUM_RATE:
            return "Mehrwertdienst (kostenpflichtig)";
        case PhoneNumberUtil::SHARED_COST:
            return "Servicenummer (geteilte Kosten)";
        case PhoneNumberUtil::PERSONAL_NUMBER:
            return ToTableText("Pers\xC3\xB6nliche Rufnummer");
        default:
            break;
        }
    }
    for (const char* prefix : kGermanMobile)
        if (digits.starts_with(prefix)) return kMobile;
    return {};
}

// The country's name in German, by ICU's locale data.
std::string CountryName(const std::string& region) {
    icu::UnicodeString name;
    icu::Locale("", region.c_str()).getDisplayCountry(icu::Locale("de"), name);
    std::string utf8;
    name.toUTF8String(utf8);
    return utf8 == region ? std::string() : utf8;
}

std::string DescribeForeign(const std::string& international) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util.Parse("+" + international, "ZZ", &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return {};
    std::string name;
    if (util.IsValidNumber(number)) {
        // The geocoder names the country of a number from outside the user's region.
        static const PhoneNumberOfflineGeocoder geocoder;
        name = geocoder.GetDescriptionForNumber(number, icu::Locale("de"), "DE");
    }
    if (name.empty()) {
        // Numbers the metadata does not know as valid still carry their country code.
        std::string region;
        util.GetRegionCodeForCountryCode(number.country_code(), &region);
        if (region == PhoneNumberUtil::kRegionCodeForNonGeoEntity)
            name = "Internationale Rufnummer";
        else if (region != "ZZ")
            name = CountryName(region);
    }
    return ToTableText(name);
}

} // namespace

std::string DescribeNumber(std::string_view text) {
    const std::string digits = NumberDigits(text);
    if (digits.size() < 3 || digits[0] != '0') return {};
    if (digits[1] != '0') return DescribeGerman(digits);
    return DescribeForeign(digits.substr(2));
}
