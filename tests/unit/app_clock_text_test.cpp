// The payload of the set-clock command.
#include "app/clock_text.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::tm Calendar(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(ClockText, DayOfYearCountsFromOne)
{
    EXPECT_EQ(ClockText(Calendar(2027, 2, 1, 9, 5, 3)), "09#05#03#2027#032");
    EXPECT_EQ(ClockText(Calendar(2027, 1, 1, 0, 0, 0)), "00#00#00#2027#001");
}

TEST(ClockText, LeapYearEndsOnDay366)
{
    EXPECT_EQ(ClockText(Calendar(2028, 12, 31, 23, 59, 59)), "23#59#59#2028#366");
}

TEST(ClockText, OutOfRangeFieldsCarryOver)
{
    EXPECT_EQ(ClockText(Calendar(2027, 1, 32, 24, 0, 0)), "00#00#00#2027#033");
}

TEST(ClockText, LocalTimeNowHasTheFormat)
{
    const std::string text = CurrentClockText();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d\d#\d\d#\d\d#\d{4}#\d{3})"))) << text;
}

} // namespace
