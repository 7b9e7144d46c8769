#include "platform/platform.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

constexpr DWORD kInvalidFlags = 1004;

// A date with a wrong weekday: the weekday must come from the date itself.
SYSTEMTIME Date(int year, int month, int day)
{
    return {static_cast<WORD>(year), static_cast<WORD>(month), 6, static_cast<WORD>(day), 0, 0, 0, 0};
}

// A time with a date that is not valid: time formatting must ignore it.
SYSTEMTIME Time(int hour, int minute, int second = 0, int millis = 0)
{
    return {0, 13, 0, 40, static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second),
            static_cast<WORD>(millis)};
}

// The text formatted, "<fail N>" with the last error on failure; checks the count returned.
template <typename Call>
std::wstring Format(Call call, DWORD flags, const SYSTEMTIME& when, const wchar_t* picture)
{
    wchar_t out[64] = L"untouched";
    int count = call(LOCALE_USER_DEFAULT, flags, &when, picture, out, 64);
    if (count == 0)
        return L"<fail " + std::to_wstring(GetLastError()) + L">" + out;
    EXPECT_EQ(count, static_cast<int>(std::wcslen(out)) + 1);
    return out;
}

TEST(DateFormatTest, PicturesFlagsAndValidity)
{
    struct Case { SYSTEMTIME date; DWORD flags; const wchar_t* picture; const wchar_t* expected; };
    const Case cases[] = {
        {Date(2003, 9, 7), 0, L"MM/dd", L"09/07"}, {Date(2003, 9, 7), 0, L"yy/MM/dd", L"03/09/07"},
        {Date(2005, 12, 2), 0, L"M/d/y", L"12/2/5"}, {Date(2004, 2, 29), 0, L"ddd MMM", L"Sun Feb"},
        {Date(2003, 9, 7), 0, L"dddd, MMMM d, yyyy", L"Sunday, September 7, 2003"},
        {Date(1601, 1, 1), 0, L"dddd", L"Monday"}, {Date(2003, 9, 7), 0, L"'open d", L"open d"},
        {Date(2003, 9, 7), 0, L"d''M 'it''s y' hh:mm", L"7'9 it's y hh:mm"},
        {Date(2003, 9, 7), 0, nullptr, L"9/7/2003"}, {Date(2003, 9, 7), 2, nullptr, L"Sunday, September 7, 2003"},
        {Date(2003, 9, 7), 1, L"MM/dd", L"<fail 1004>untouched"},
        {Date(2003, 9, 7), 2, L"MM/dd", L"<fail 1004>untouched"},
        {Date(2003, 13, 40), 0, L"yy", L"<fail 87>untouched"}, {Date(2003, 2, 30), 0, L"yy", L"<fail 87>untouched"},
        {Date(2003, 2, 29), 0, L"yy", L"<fail 87>untouched"}, {Date(1900, 2, 29), 0, L"yy", L"<fail 87>untouched"},
        {Date(2003, 4, 31), 0, L"yy", L"<fail 87>untouched"}, {Date(2003, 1, 0), 0, L"yy", L"<fail 87>untouched"},
        {Date(1600, 12, 31), 0, L"yy", L"<fail 87>untouched"}, {Date(30828, 1, 1), 0, L"yy", L"<fail 87>untouched"},
        {Date(2004, 2, 29), 0, L"yy", L"04"}, {Date(2000, 2, 29), 0, L"yy", L"00"},
        {Date(30827, 12, 31), 0, L"yyyy", L"30827"},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Format(GetDateFormatW, c.flags, c.date, c.picture), c.expected)
            << c.date.wYear << "-" << c.date.wMonth << "-" << c.date.wDay << " flags " << c.flags;
    }
}

TEST(DateFormatTest, LocalesAndToday)
{
    SYSTEMTIME date = Date(2003, 9, 7);
    wchar_t out[16];
    EXPECT_EQ(GetDateFormatW(0x409, 0, &date, L"MM/dd", out, 16), 6);
    EXPECT_EQ(GetDateFormatW(0x800, 0, &date, L"MM/dd", out, 16), 6);
    EXPECT_EQ(GetDateFormatW(0x407, 0, &date, L"MM/dd", out, 16), 0);
    std::time_t now = std::time(nullptr);
    wchar_t year[8];
    std::wcsftime(year, 8, L"%Y", std::localtime(&now));
    ASSERT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"yyyy", out, 16), 5);
    EXPECT_STREQ(out, year);
}

TEST(LocaleBufferTest, SizingRules)
{
    SYSTEMTIME date = Date(2003, 9, 7), time = Time(13, 0);
    wchar_t out[8] = L"xxxxxxx";
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"yy/MM/dd", out, 0), 9);
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, L"HH:mm", nullptr, 0), 6);
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"yy/MM/dd", out, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(out, L"xxxxxxx");
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, L"HH:mm", out, 6), 6);
    EXPECT_STREQ(out, L"13:00");
}

TEST(TimeFormatTest, PicturesFlagsAndValidity)
{
    struct Case { SYSTEMTIME time; DWORD flags; const wchar_t* picture; const wchar_t* expected; };
    const Case cases[] = {
        {Time(13, 0), 14, L"HH':'mm':'ss", L"13:00"}, {Time(0, 5), 2, L"h':'mm':'ss", L"12:05"},
        {Time(13, 0), 2, L"h':'mm':'ss", L"1:00"}, {Time(12, 0), 2, L"h':'mm':'ss", L"12:00"},
        {Time(9, 7, 3), 0, L"hh:mm:ss tt", L"09:07:03 AM"}, {Time(21, 7, 3), 0, L"h:m:s t H", L"9:7:3 P 21"},
        {Time(0, 0), 0, L"H HH 'h' [M]", L"0 00 h [M]"}, {Time(23, 59, 59), 0, nullptr, L"11:59:59 PM"},
        {Time(23, 59, 59), 8, L"hh:mm tt", L"23:59 PM"}, {Time(23, 59, 59), 4, nullptr, L"11:59:59"},
        {Time(23, 59, 59), 1, nullptr, L"11 PM"}, {Time(23, 59, 59), 6, nullptr, L"11:59"},
        {Time(8, 15), 4, L"'at 'tt h:mm", L"at 8:15"}, {Time(23, 59, 59, 999), 0, L"HH", L"23"},
        {Time(24, 0), 0, L"HH", L"<fail 87>untouched"}, {Time(12, 60), 0, L"HH", L"<fail 87>untouched"},
        {Time(12, 0, 60), 0, L"HH", L"<fail 87>untouched"}, {Time(12, 0, 0, 1000), 0, L"HH", L"<fail 87>untouched"},
        {Time(12, 0), 0x10, L"HH", L"<fail 1004>untouched"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(GetTimeFormatW, c.flags, c.time, c.picture), c.expected)
            << c.time.wHour << ":" << c.time.wMinute << " flags " << c.flags;
    wchar_t out[8];
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"HH:mm", out, 8), 6);
}

}  // namespace
