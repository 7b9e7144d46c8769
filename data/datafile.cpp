#include "data/datafile.h"

#include <cwchar>
#include <cwctype>
#include <string>

int ReadDataLine(FILE* file, WCHAR* line)
{
    char narrow[kLineBytes] = {};
    line[0] = L'\0';
    std::fgets(narrow, kLineBytes, file);
    if (std::ferror(file))
        return 0;
    wsprintfW(line, L"%hs", narrow);
    size_t length = std::wcslen(line);
    while (length != 0 && (line[length - 1] == L'\r' || line[length - 1] == L'\n'))
        line[--length] = L'\0';
    return 1;
}

int SplitFields(WCHAR* line, WCHAR** fields, int maxFields)
{
    int count = 0;
    WCHAR* state = nullptr;
    for (WCHAR* field = ::wcstok(line, L",", &state); field && count < maxFields; field = ::wcstok(nullptr, L",", &state))
        fields[count++] = field;
    return count;
}

WCHAR* TakeQuotedText(WCHAR* field)
{
    static WCHAR empty[1] = {L'\0'};
    if (!field)
        return empty;
    WCHAR* state = nullptr;
    WCHAR* text = ::wcstok(field, L"\"", &state);
    return text ? text : empty;
}

double ReadNumber(const WCHAR* field)
{
    if (!field)
        return 0;
    // Only plain decimal text counts: take [blanks][sign]digits[.digits] and
    // an exponent after it, so that hexadecimal, "inf" and "nan" read as 0
    // the way the handheld's runtime reads them. The number may be of any
    // length; an exponent without digits is left out by wcstod itself.
    std::wstring number;
    const WCHAR* p = field;
    while (std::iswspace(*p))
        ++p;
    if (*p == L'+' || *p == L'-')
        number += *p++;
    bool digits = false;
    for (; std::iswdigit(*p); digits = true)
        number += *p++;
    if (*p == L'.') {
        number += *p++;
        for (; std::iswdigit(*p); digits = true)
            number += *p++;
    }
    if (!digits)
        return 0;
    if (*p == L'e' || *p == L'E')
        number += p;
    return std::wcstod(number.c_str(), nullptr);
}
