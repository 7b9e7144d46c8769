#include "views/time_conversion.h"

#include "settings/settings.h"
#include "settings/time_zones.h"

#include <cwchar>

WCHAR g_gameDateText[kConvertedChars];
WCHAR g_gameTimeText[kConvertedChars];

namespace {

constexpr int kFormatLimit = 128;

// Zones that keep standard time all year: Hawaii, Arizona, Indiana.
bool IsDaylightExempt(int zoneIndex)
{
    return zoneIndex == kHawaiiZoneIndex || zoneIndex == kArizonaZoneIndex || zoneIndex == kIndianaZoneIndex;
}

// Adds the offset and brings the hour onto the clock. For 0..47 this is
// the single wrap (24 becomes 0, 25..47 lose 24); hours outside that range
// show the hour of the same clock rather than nothing. The offset is taken
// on the clock first, so that no registry value can overflow the sum.
int ShiftHour(int easternHour, int correction)
{
    int hour = easternHour + g_timeZoneOffset % 24 + correction;
    return ((hour % 24) + 24) % 24;
}

// Formats hour:minute on the 12-hour clock with "a" or "p" behind it.
bool FormatClock(WORD hour, WORD minute, WCHAR* out)
{
    SYSTEMTIME time = {};
    time.wHour = hour;
    time.wMinute = minute;
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, L"h':'mm':'ss", out, kFormatLimit) == 0)
        return false;
    std::wcscat(out, hour < 12 ? L"a" : L"p");
    return true;
}

}  // namespace

bool IsDaylightSaving(int month, int day)
{
    if (month >= 5 && month <= 9)
        return true;
    if (month == 4)
        return day >= 4;
    if (month == 10)
        return day <= 25;
    return false;
}

void ConvertGameDateTime(const WCHAR* dateCell)
{
    g_gameDateText[0] = L'\0';
    g_gameTimeText[0] = L'\0';
    SYSTEMTIME date = {};
    std::swscanf(dateCell ? dateCell : L"", L"%hu/%hu/%hu %hu:%hu", &date.wMonth, &date.wDay, &date.wYear, &date.wHour, &date.wMinute);
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"MM/dd", g_gameDateText, kFormatLimit);
    bool daylight = IsDaylightSaving(date.wMonth, date.wDay);
    // The Eastern time on the 24-hour clock, then split at the colon.
    WCHAR eastern[kConvertedChars] = {};
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT, &date,
                       L"HH':'mm':'ss", eastern, kFormatLimit) == 0)
        return;
    WCHAR* state = nullptr;
    WCHAR* hourText = std::wcstok(eastern, L":", &state);
    WCHAR* minuteText = std::wcstok(nullptr, L":", &state);
    if (!hourText || !minuteText)
        return;
    int correction = IsDaylightExempt(g_timeZoneIndex) && daylight ? -1 : 0;
    WORD hour = static_cast<WORD>(ShiftHour(_wtoi(hourText), correction));
    if (!FormatClock(hour, static_cast<WORD>(_wtoi(minuteText)), g_gameTimeText))
        g_gameTimeText[0] = L'\0';
}

WCHAR* ConvertClockTime(WCHAR* clock)
{
    WCHAR* colon = std::wcschr(clock, L':');
    if (!colon)
        return nullptr;
    *colon = L'\0';
    WCHAR* minuteText = colon + 1;
    if (WCHAR* second = std::wcschr(minuteText, L':'))
        *second = L'\0';
    unsigned short minute = 0;
    std::swscanf(minuteText, L"%hu", &minute);
    // A shifted hour of 0 to 47 is wrapped once onto the clock, whatever the
    // Eastern hour was ("24:00" is midnight). Outside that range an Eastern
    // hour of the clock gives the hour of the same clock, and any other is
    // refused; a minute above 59 is refused by the formatting.
    int easternHour = _wtoi(clock);
    long long shifted = static_cast<long long>(easternHour) + g_timeZoneOffset;
    int hour;
    if (shifted >= 0 && shifted <= 47)
        hour = static_cast<int>(shifted >= 24 ? shifted - 24 : shifted);
    else if (easternHour >= 0 && easternHour <= 23)
        hour = ShiftHour(easternHour, 0);
    else
        return nullptr;
    return FormatClock(static_cast<WORD>(hour), minute, clock) ? clock : nullptr;
}
