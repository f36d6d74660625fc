// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

// How long a telephone number from a line or an announcement may be. A number has at most 15
// digits (the international numbering plan); before them come only zeros: the national "0",
// the international "00", an extension's line-access "0". The call log's ANRUFER and
// GERUFENER hold 20 characters. A longer number is no number: it is refused whole rather than
// cut to something that looks like one.
constexpr size_t kMaxNumberDigits = 15;
constexpr size_t kMaxNumberLength = 20;

// True when `number` (digits, '*' and '#', as delivered) fits both limits: at most 15
// characters after its leading zeros and at most 20 in all.
constexpr bool IsPlausibleNumberLength(std::string_view number) {
    if (number.size() > kMaxNumberLength) return false;
    const size_t firstNonZero = number.find_first_not_of('0');
    const size_t significant =
        firstNonZero == std::string_view::npos ? 0 : number.size() - firstNonZero;
    return significant <= kMaxNumberDigits;
}
