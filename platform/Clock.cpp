// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clock.h"

#include <ctime>

namespace cb {

namespace {
std::function<int64_t()>& Override() {
    static std::function<int64_t()> f;
    return f;
}
int64_t Now() {
    return Override() ? Override()() : static_cast<int64_t>(std::time(nullptr));
}
} // namespace

int32_t CurrentUnixTime() {
    return static_cast<int32_t>(Now());
}

LocalDate CurrentLocalDate() {
    std::time_t t = static_cast<std::time_t>(Now());
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void SetClockOverride(std::function<int64_t()> nowSeconds) {
    Override() = std::move(nowSeconds);
}

} // namespace cb
