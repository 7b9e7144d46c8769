// Game date and time conversion: offsets, the fixed daylight-saving days
// of the three exempt zones, the wrap past midnight, invalid texts.

#include "settings/settings.h"
#include "views/time_conversion.h"

#include <gtest/gtest.h>
#include <climits>
#include <cwchar>
#include <ostream>
#include <string>

namespace {

struct GameCase {
    const WCHAR* cell;   // Eastern date cell
    int offset;          // time zone offset
    int zone;            // time zone index
    const WCHAR* date;   // expected game date text
    const WCHAR* time;   // expected game time text
};

void PrintTo(const GameCase& c, std::ostream* out)
{
    *out << std::string(c.cell, c.cell + std::wcslen(c.cell)) << " offset " << c.offset << " zone " << c.zone;
}

class GameTimeTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(GameTimeTest, ConvertsToTheZonesClockKeepingTheEasternDate)
{
    const GameCase& c = GetParam();
    g_timeZoneOffset = c.offset;
    g_timeZoneIndex = c.zone;
    ConvertGameDateTime(c.cell);
    EXPECT_STREQ(g_gameDateText, c.date);
    EXPECT_STREQ(g_gameTimeText, c.time);
}

INSTANTIATE_TEST_SUITE_P(Worked, GameTimeTest, ::testing::Values(
    GameCase{L"9/7/2003 13:00", -3, 4, L"09/07", L"10:00a"},
    GameCase{L"9/7/2003 13:00", 0, 11, L"09/07", L"1:00p"},
    GameCase{L"9/7/2003 20:30", 0, 11, L"09/07", L"8:30p"},
    GameCase{L"9/7/2003 13:00", -5, 2, L"09/07", L"7:00a"},     // Hawaii, daylight period
    GameCase{L"10/26/2003 13:00", -5, 2, L"10/26", L"8:00a"},
    GameCase{L"9/8/2003 21:00", 3, 21, L"09/08", L"12:00a"},    // past midnight, Eastern date kept
    GameCase{L"9/8/2003 20:30", 14, 58, L"09/08", L"10:30a"},   // 34 wraps once
    GameCase{L"9/7/2003 13:05", -1, 7, L"09/07", L"12:05p"},
    GameCase{L"9/7/2003 12:00", 0, 11, L"09/07", L"12:00p"},
    GameCase{L"9/7/2003 0:00", 0, 11, L"09/07", L"12:00a"},
    GameCase{L"1/4/2004 13:00", 18, 69, L"01/04", L"7:00a"}));

INSTANTIATE_TEST_SUITE_P(DaylightDays, GameTimeTest, ::testing::Values(
    GameCase{L"4/3/2004 13:00", 0, 2, L"04/03", L"1:00p"},
    GameCase{L"4/4/2004 13:00", 0, 2, L"04/04", L"12:00p"},
    GameCase{L"10/25/2003 13:00", 0, 6, L"10/25", L"12:00p"},
    GameCase{L"10/26/2003 13:00", 0, 6, L"10/26", L"1:00p"},
    GameCase{L"3/15/2004 13:00", 0, 12, L"03/15", L"1:00p"},
    GameCase{L"11/16/2003 13:00", 0, 12, L"11/16", L"1:00p"},
    GameCase{L"5/1/2004 13:00", 0, 12, L"05/01", L"12:00p"},
    GameCase{L"9/30/2003 13:00", 0, 12, L"09/30", L"12:00p"},
    GameCase{L"9/7/2003 13:00", -1, 8, L"09/07", L"12:00p"},    // Saskatchewan: no correction
    GameCase{L"9/7/2003 13:00", 6, 28, L"09/07", L"7:00p"}));  // Paris: none either

INSTANTIATE_TEST_SUITE_P(Invalid, GameTimeTest, ::testing::Values(
    GameCase{L"", 0, 11, L"", L"12:00a"},                    // nothing read: hour and minute 0
    GameCase{L"13/40/2003 13:00", 0, 11, L"", L"1:00p"},     // no such date, the time still shows
    GameCase{L"9/7/2003 25:00", 0, 11, L"09/07", L""},       // no such hour
    GameCase{L"9/7/2003 24:00", 0, 11, L"09/07", L""},
    GameCase{L"9/7/2003 13:60", 0, 11, L"09/07", L""},
    GameCase{L"9/7/2003 23:59", 0, 11, L"09/07", L"11:59p"},
    GameCase{L"9/7/2003 2:00", -7, 0, L"09/07", L"7:00p"},   // below 0: the same clock
    GameCase{L"soon", 0, 11, L"", L"12:00a"}));

// Any offset the registry holds gives the hour of the same clock.
INSTANTIATE_TEST_SUITE_P(ExtremeOffsets, GameTimeTest, ::testing::Values(
    GameCase{L"9/7/2003 23:30", INT_MAX, 11, L"09/07", L"6:30a"},
    GameCase{L"9/7/2003 0:30", INT_MIN, 2, L"09/07", L"3:30p"}));

struct ClockCase {
    const WCHAR* text;    // Eastern clock text
    int offset;           // time zone offset
    const WCHAR* result;  // converted text, or NULL for no result
};

void PrintTo(const ClockCase& c, std::ostream* out)
{
    *out << std::string(c.text, c.text + std::wcslen(c.text)) << " offset " << c.offset;
}

class ClockTimeTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTimeTest, RewritesTheBufferInPlace)
{
    g_timeZoneOffset = GetParam().offset;
    g_timeZoneIndex = 2;  // no daylight correction even in Hawaii: there is no date
    WCHAR clock[kClockChars] = {};
    std::wcscpy(clock, GetParam().text);
    WCHAR* result = ConvertClockTime(clock);
    if (!GetParam().result) {
        EXPECT_EQ(result, nullptr);
        return;
    }
    ASSERT_EQ(result, clock);
    EXPECT_STREQ(clock, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Clocks, ClockTimeTest, ::testing::Values(
    ClockCase{L"13:30", -1, L"12:30p"},
    ClockCase{L"13:00", 0, L"1:00p"},
    ClockCase{L"21:00", 3, L"12:00a"},
    ClockCase{L"20:30", 14, L"10:30a"},
    ClockCase{L"1:05", -5, L"8:05p"},
    ClockCase{L"13:00:59", 0, L"1:00p"},
    ClockCase{L"9:00", 0, L"9:00a"},
    ClockCase{L"23:59", 0, L"11:59p"},
    ClockCase{L"1300", 0, nullptr},
    // A shifted hour of 0 to 47 is wrapped once, whatever the Eastern hour.
    ClockCase{L"24:00", 0, L"12:00a"},
    ClockCase{L"24:00", -1, L"11:00p"},
    ClockCase{L"25:00", -3, L"10:00p"},
    ClockCase{L"47:00", -7, L"4:00p"},
    ClockCase{L"-1:00", 1, L"12:00a"},
    ClockCase{L"-1:00", 3, L"2:00a"},
    // Outside 0 to 47, an Eastern hour off the clock is refused.
    ClockCase{L"48:00", 0, nullptr},
    ClockCase{L"-1:00", 0, nullptr},
    ClockCase{L"30:00", 20, nullptr},
    ClockCase{L"13:60", 0, nullptr},
    ClockCase{L"13:75", -1, nullptr},
    ClockCase{L"23:30", INT_MAX, L"6:30a"},
    ClockCase{L"0:30", INT_MIN, L"4:30p"},
    ClockCase{L"ab:cd", 0, L"12:00a"}));

}  // namespace
