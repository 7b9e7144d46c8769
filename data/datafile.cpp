#include "data/datafile.h"

#include <cwchar>
#include <cwctype>

int ReadDataLine(FILE* file, WCHAR* line)
{
    char narrow[kLineBytes] = {};
    line[0] = L'\0';
    std::fgets(narrow, kLineBytes, file);
    if (std::ferror(file))
        return 0;
    wsprintfW(line, L"%hs", narrow);
    size_t length = std::wcslen(line);
    while (length > 0 && (line[length - 1] == L'\r' || line[length - 1] == L'\n'))
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
    // Only plain decimal text counts: copy the longest prefix of the form
    // [blanks][sign]digits[.digits][e[sign]digits], so that hexadecimal,
    // "inf" and "nan" read as 0 the way the handheld's runtime reads them.
    WCHAR number[64];
    int n = 0;
    const WCHAR* p = field;
    while (std::iswspace(*p))
        ++p;
    auto take = [&](WCHAR c) { if (n < 63) number[n++] = c; ++p; };
    if (*p == L'+' || *p == L'-')
        take(*p);
    bool digits = false;
    while (std::iswdigit(*p)) { take(*p); digits = true; }
    if (*p == L'.') {
        take(*p);
        while (std::iswdigit(*p)) { take(*p); digits = true; }
    }
    if (digits && (*p == L'e' || *p == L'E')) {
        const WCHAR* mark = p;
        int saved = n;
        take(*p);
        if (*p == L'+' || *p == L'-')
            take(*p);
        if (!std::iswdigit(*p)) {
            p = mark;
            n = saved;
        }
        while (std::iswdigit(*p))
            take(*p);
    }
    number[n] = L'\0';
    return digits ? std::wcstod(number, nullptr) : 0;
}
