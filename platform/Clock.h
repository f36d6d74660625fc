// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

namespace cb {

struct LocalDate {
    int iYear;  // e.g. 2026
    int iMonth; // 1..12
    int iDay;   // 1..31
};

// Seconds since 1970-01-01 00:00 UTC, as the call log and the network message carry it.
int32_t CurrentUnixTime();
// Today's date on the local calendar (honours TZ).
LocalDate CurrentLocalDate();

// Tests fix "now"; an empty function restores the real clock.
void SetClockOverride(std::function<int64_t()> nowSeconds);

} // namespace cb
