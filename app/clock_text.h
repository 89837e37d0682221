#pragma once
// The payload of the set-clock command: hour, minute, second, four-digit year and day of
// the year counted from 1. The printer takes no month or day of the month.

#include <ctime>
#include <string>

inline constexpr char kClockTextFormat[] = "%02d#%02d#%02d#%04d#%03d";

// The clock text of a calendar time; the fields are normalised first, so tm_yday need
// not be filled in and out-of-range fields carry over.
std::string ClockText(const std::tm& time);

// The clock text of the local time now.
std::string CurrentClockText();
