#include "app/clock_text.h"

#include <cstdio>

namespace {

constexpr int kTmYearBase = 1900;
constexpr std::size_t kClockTextCapacity = 64;

} // namespace

std::string ClockText(const std::tm& time)
{
    // timegm normalises without applying a daylight-saving shift to the hour.
    std::tm normalised = time;
    normalised.tm_isdst = 0;
    timegm(&normalised);
    char text[kClockTextCapacity] = {};
    std::snprintf(text, sizeof text, kClockTextFormat, normalised.tm_hour, normalised.tm_min, normalised.tm_sec,
                  normalised.tm_year + kTmYearBase, normalised.tm_yday + 1);
    return text;
}

std::string CurrentClockText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ClockText(local);
}
