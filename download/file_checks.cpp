#include "download/file_checks.h"

#include "app/startup.h"
#include "data/datafile.h"
#include "data/schedule_table.h"

namespace {

constexpr int kStandingsFields = 4;  // name, wins, losses, ties

// Reads the 32 team lines; 1 when each has at least `fields` fields and,
// when `quotedName`, a first field that begins with a double quote.
int CheckTeamLines(FILE* file, int fields, bool quotedName)
{
    for (int team = 0; team < kTeamRows; ++team) {
        WCHAR line[kLineChars];
        WCHAR* found[kScheduleFields];
        if (!ReadDataLine(file, line) || SplitFields(line, found, fields) < fields)
            return 0;
        if (quotedName && found[0][0] != L'"')
            return 0;
    }
    return 1;
}

}  // namespace

int CheckScheduleFile(LPCWSTR path)
{
    if (!CheckScheduleSeason(path))
        return 0;
    FILE* file = _wfopen(path, L"r");
    if (!file)
        return 0;
    int usable = CheckTeamLines(file, kScheduleFields, false);
    std::fclose(file);
    return usable;
}

int CheckStandingsFile(LPCWSTR path)
{
    FILE* file = _wfopen(path, L"r");
    if (!file)
        return 0;
    WCHAR line[kLineChars];
    int usable = ReadDataLine(file, line) && line[0] == L'"' && TakeQuotedText(line)[0] != L'\0' &&
                 CheckTeamLines(file, kStandingsFields, true);
    std::fclose(file);
    return usable;
}
