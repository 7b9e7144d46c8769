// Date and time formatting by picture, US English only: GetDateFormatW and
// GetTimeFormatW, failing where the handheld's fail.
//
// Divisions: pictures, the arguments and the clock, dates, times, the calls.

#include "platform/platform.h"

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr DWORD kErrorInvalidFlags = 1004;
constexpr DWORD kDateShortDate = 0x1;
constexpr DWORD kDateLongDate = 0x2;
constexpr DWORD kTimeFlags = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;

const wchar_t* const kDayNames[7] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday",
                                     L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[12] = {L"January", L"February", L"March", L"April", L"May", L"June",
                                        L"July", L"August", L"September", L"October", L"November", L"December"};

// Pictures

// A piece of a picture: a run of one field letter, or literal text.
struct PictureItem {
    wchar_t field;  // 0 for literal text
    int count;
    std::wstring text;
};

// Splits a picture into field runs (letters in `fields`) and literal text;
// 'text' is quoted literal text, '' a quote.
std::vector<PictureItem> ParsePicture(LPCWSTR picture, const wchar_t* fields)
{
    std::vector<PictureItem> items;
    auto literal = [&items](wchar_t ch) {
        if (items.empty() || items.back().field != 0)
            items.push_back({0, 0, L""});
        items.back().text += ch;
    };
    for (LPCWSTR p = picture; *p;) {
        if (*p == L'\'') {
            ++p;
            if (*p == L'\'') {
                literal(*p++);
                continue;
            }
            for (; *p; ++p) {
                if (*p == L'\'' && p[1] == L'\'')
                    ++p;
                else if (*p == L'\'')
                    break;
                literal(*p);
            }
            if (*p)
                ++p;
        } else if (std::wcschr(fields, *p) != nullptr) {
            int count = 0;
            for (wchar_t letter = *p; *p == letter; ++p)
                ++count;
            items.push_back({p[-1], count, L""});
        } else {
            literal(*p++);
        }
    }
    return items;
}

// A day or month name, abbreviated to three letters for a run of three.
std::wstring Name(const wchar_t* name, int count)
{
    return std::wstring(name).substr(0, count == 3 ? 3 : std::wstring::npos);
}

// A number, padded to two digits for a run of two or more letters.
std::wstring Number(int value, int count)
{
    std::wstring text = std::to_wstring(value);
    if (count >= 2 && text.size() < 2)
        text.insert(0, 1, L'0');
    return text;
}

// Stores `text` per the sizing rules of the locale calls.
int Deliver(const std::wstring& text, LPWSTR out, int outSize)
{
    int needed = static_cast<int>(text.size()) + 1;
    if (outSize == 0)
        return needed;
    if (outSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(out, text.c_str(), needed);
    return needed;
}

// The arguments and the clock

// Checks the locale and output arguments shared by both calls.
bool ValidArguments(DWORD locale, LPWSTR out, int outSize)
{
    bool known = locale == LOCALE_USER_DEFAULT || locale == 0x409 || locale == 0x800;
    if (!known || outSize < 0 || (outSize > 0 && out == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// The current local date and time.
SYSTEMTIME LocalNow()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(local.tm_year + 1900);
    t.wMonth = static_cast<WORD>(local.tm_mon + 1);
    t.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    t.wDay = static_cast<WORD>(local.tm_mday);
    t.wHour = static_cast<WORD>(local.tm_hour);
    t.wMinute = static_cast<WORD>(local.tm_min);
    t.wSecond = static_cast<WORD>(local.tm_sec);
    t.wMilliseconds = static_cast<WORD>(millis);
    return t;
}

// Dates

// Whether the date is a real Gregorian date within the supported years.
bool ValidDate(const SYSTEMTIME& d)
{
    if (d.wYear < 1601 || d.wYear > 30827 || d.wMonth < 1 || d.wMonth > 12 || d.wDay < 1)
        return false;
    using namespace std::chrono;
    return d.wDay <= static_cast<unsigned>(year_month_day_last(year(d.wYear), month_day_last(month(d.wMonth))).day());
}

// Renders a valid date by picture.
std::wstring FormatDate(const SYSTEMTIME& d, LPCWSTR picture)
{
    using namespace std::chrono;
    unsigned dayOfWeek = weekday(sys_days(year(d.wYear) / month(d.wMonth) / day(d.wDay))).c_encoding();
    std::wstring text;
    for (const PictureItem& item : ParsePicture(picture, L"dMy")) {
        if (item.field == 0) {
            text += item.text;
        } else if (item.field == L'd') {
            text += item.count <= 2 ? Number(d.wDay, item.count) : Name(kDayNames[dayOfWeek], item.count);
        } else if (item.field == L'M') {
            text += item.count <= 2 ? Number(d.wMonth, item.count) : Name(kMonthNames[d.wMonth - 1], item.count);
        } else {
            text += item.count <= 2 ? Number(d.wYear % 100, item.count) : std::to_wstring(d.wYear);
        }
    }
    return text;
}

// Times

// Drops the fields the flags exclude, with the literal text that joins each
// to the field before it (or to the field after, when it leads).
std::vector<PictureItem> ApplyTimeFlags(const std::vector<PictureItem>& items, DWORD flags)
{
    std::vector<PictureItem> kept;
    bool skipLiteral = false;
    bool anyField = false;
    for (const PictureItem& item : items) {
        bool drop = (item.field == L't' && (flags & TIME_NOTIMEMARKER)) ||
                    (item.field == L's' && (flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS))) ||
                    (item.field == L'm' && (flags & TIME_NOMINUTESORSECONDS));
        if (item.field == 0) {
            if (!skipLiteral)
                kept.push_back(item);
        } else if (drop) {
            if (anyField && !kept.empty() && kept.back().field == 0)
                kept.pop_back();
            skipLiteral = !anyField;
        } else {
            kept.push_back(item);
            anyField = true;
            skipLiteral = false;
        }
    }
    return kept;
}

// Renders a valid time by picture after the flags have trimmed it.
std::wstring FormatTime(const SYSTEMTIME& t, DWORD flags, LPCWSTR picture)
{
    std::wstring text;
    for (const PictureItem& item : ApplyTimeFlags(ParsePicture(picture, L"hHmst"), flags)) {
        bool twelveHour = item.field == L'h' && !(flags & TIME_FORCE24HOURFORMAT);
        switch (item.field) {
        case 0:
            text += item.text;
            break;
        case L'h':
        case L'H':
            text += Number(twelveHour ? (t.wHour % 12 == 0 ? 12 : t.wHour % 12) : t.wHour, item.count);
            break;
        case L'm':
            text += Number(t.wMinute, item.count);
            break;
        case L's':
            text += Number(t.wSecond, item.count);
            break;
        default:
            text += std::wstring(t.wHour < 12 ? L"AM" : L"PM").substr(0, item.count == 1 ? 1 : 2);
        }
    }
    return text;
}

}  // namespace

// The calls

// Formats a date (NULL: today) by picture or by the US short/long form.
int GetDateFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out, int outSize)
{
    if (!ValidArguments(locale, out, outSize))
        return 0;
    bool badFlags = (flags & ~(kDateShortDate | kDateLongDate)) != 0 ||
                    flags == (kDateShortDate | kDateLongDate) || (picture != nullptr && flags != 0);
    if (badFlags) {
        SetLastError(kErrorInvalidFlags);
        return 0;
    }
    SYSTEMTIME d = date ? *date : LocalNow();
    if (!ValidDate(d)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (picture == nullptr)
        picture = flags == kDateLongDate ? L"dddd, MMMM d, yyyy" : L"M/d/yyyy";
    return Deliver(FormatDate(d, picture), out, outSize);
}

// Formats a time of day (NULL: now) by picture, "h:mm:ss tt" by default.
int GetTimeFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out, int outSize)
{
    if (!ValidArguments(locale, out, outSize))
        return 0;
    if ((flags & ~kTimeFlags) != 0) {
        SetLastError(kErrorInvalidFlags);
        return 0;
    }
    SYSTEMTIME t = time ? *time : LocalNow();
    if (t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 || t.wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Deliver(FormatTime(t, flags, picture ? picture : L"h:mm:ss tt"), out, outSize);
}
