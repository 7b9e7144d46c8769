// Text conversions: wide text to UTF-8 and back, and Windows-1252 bytes.

#include "platform/text.h"

#include <QString>

namespace platform {

std::string ToUtf8(const std::wstring& text)
{
    return QString::fromStdWString(text).toStdString();
}

std::wstring FromUtf8(const std::string& text)
{
    return QString::fromStdString(text).toStdWString();
}

wchar_t WidenAnsiByte(unsigned char byte)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to
    // themselves, as the system's conversion does.
    static const wchar_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    if (byte >= 0x80 && byte <= 0x9F)
        return high[byte - 0x80];
    return static_cast<wchar_t>(byte);
}

}  // namespace platform
