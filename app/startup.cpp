// Start-up: one copy only, the install directory, the season check, then
// the main window as a modal dialog. Every path returns 0.

#include "app/startup.h"

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "data/datafile.h"

#include <cstdio>
#include <cwchar>

HINSTANCE g_instance = nullptr;
WCHAR g_standingsPath[kPathChars];
WCHAR g_schedulePath[kPathChars];
WCHAR g_seasonPath[kPathChars];

const WCHAR kRegistryKey[] = L"Software\\Tamrock\\Ravelock";
const WCHAR kAppCaption[] = L"Corvale";

namespace {

const WCHAR kInstallMessage[] = L"Corvale does not appear to be installed properly.\n\nPlease run install again.";
const WCHAR kVersionMessage[] = L"Corvale version does not match schedule.\n\nPlease install the most current version.";

// The longest file name appended to the install directory.
const WCHAR kLongestFileName[] = L"/Standings.dat";

void BuildPath(WCHAR* path, const WCHAR* directory, const WCHAR* fileName)
{
    std::wcscpy(path, directory);
    std::wcscat(path, fileName);
}

void ShowStartupMessage(const WCHAR* text)
{
    MessageBoxW(nullptr, text, kAppCaption, MB_OK | MB_ICONHAND);
}

// 0 when a line of the file is longer than a data line can hold (1023
// bytes with its line end): the readers would take it in slices.
int LinesFit(FILE* file)
{
    int length = 0;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        length = c == '\n' ? 0 : length + 1;
        if (length > kLineBytes - 2)
            return 0;
    }
    return !std::ferror(file);
}

}  // namespace

// Brings a running copy's window (main window or start-up message) forward.
bool ActivatePreviousInstance()
{
    HWND previous = FindWindowW(nullptr, kAppCaption);
    if (!previous)
        return false;
    ShowWindow(previous, SW_SHOW);
    SetForegroundWindow(previous);
    PostQuitMessage(0);
    return true;
}

// Reads `Install` and builds the three data file paths. A directory too
// long for the path buffers counts as not installed.
int ReadInstallDirectory()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, 0, &key) != ERROR_SUCCESS)
        return 0;
    WCHAR directory[520] = {};
    DWORD size = sizeof directory;
    LONG status = RegQueryValueExW(key, L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(directory), &size);
    RegCloseKey(key);
    directory[519] = L'\0';
    const size_t limit = kPathChars - 1 - (sizeof kLongestFileName / sizeof(WCHAR) - 1);
    if (status != ERROR_SUCCESS || std::wcslen(directory) > limit)
        return 0;
    BuildPath(g_standingsPath, directory, L"/Standings.dat");
    BuildPath(g_schedulePath, directory, L"/Schedule.dat");
    BuildPath(g_seasonPath, directory, L"/Season.dat");
    return 1;
}

// Accepts a schedule file whose lines each fit a data line and whose first
// date (third field of line 1) is a valid date in a year ending in 03.
int CheckScheduleSeason(LPCWSTR schedulePath)
{
    FILE* file = _wfopen(schedulePath, L"r");
    if (!file)
        return 0;
    int fits = LinesFit(file);
    std::rewind(file);
    WCHAR line[kLineChars];
    int readOk = fits && ReadDataLine(file, line);
    std::fclose(file);
    if (!readOk)
        return 0;
    WCHAR* fields[3];
    if (SplitFields(line, fields, 3) < 3)
        return 0;
    SYSTEMTIME date = {};
    std::swscanf(fields[2], L"%hu/%hu/%hu %hu:%hu", &date.wMonth, &date.wDay, &date.wYear, &date.wHour, &date.wMinute);
    WCHAR text[255] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"yy/MM/dd", text, 255) == 0)
        return 0;
    return std::wcsncmp(text, L"03", 2) == 0 ? 1 : 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    if (ActivatePreviousInstance())
        return 0;
    g_instance = instance;
    InitCommonControls();
    if (!ReadInstallDirectory()) {
        ShowStartupMessage(kInstallMessage);
        return 0;
    }
    if (!CheckScheduleSeason(g_schedulePath)) {
        ShowStartupMessage(kVersionMessage);
        return 0;
    }
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    HGLOBAL dialogTemplate = resource ? LoadResource(g_instance, resource) : nullptr;
    if (!dialogTemplate)
        return 0;
    DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(dialogTemplate), nullptr, MainDialogProc, 0);
    return 0;
}
