#include "settings/settings.h"

#include "app/startup.h"

#include <cwchar>

int g_timeZoneOffset = 0;
int g_favouriteTeam = 0;
int g_timeZoneIndex = 11;

namespace {

// Reads one 4-byte value; 0 when it cannot be read.
int QueryNumber(HKEY key, LPCWSTR name, int* value)
{
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
        return 0;
    *value = static_cast<int>(number);
    return 1;
}

LONG SetNumber(HKEY key, LPCWSTR name, int value)
{
    DWORD number = static_cast<DWORD>(value);
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

}  // namespace

int LoadSettings()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, 0, &key) != ERROR_SUCCESS)
        return 0;
    WCHAR text[256] = {};
    DWORD size = sizeof text;
    int ok = RegQueryValueExW(key, L"OffSet", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS;
    if (ok) {
        text[255] = L'\0';
        g_timeZoneOffset = _wtoi(text);
        ok = QueryNumber(key, L"Team", &g_favouriteTeam) && QueryNumber(key, L"Index", &g_timeZoneIndex);
    }
    RegCloseKey(key);
    return ok;
}

LONG SaveSettings()
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, 0, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS)
        return status;
    WCHAR text[16];
    wsprintfW(text, L"%d", g_timeZoneOffset);
    DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR));
    status = RegSetValueExW(key, L"OffSet", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    if (status == ERROR_SUCCESS)
        status = SetNumber(key, L"Index", g_timeZoneIndex);
    if (status == ERROR_SUCCESS)
        status = SetNumber(key, L"Team", g_favouriteTeam);
    // The three values reach the disk together as the key is closed.
    LONG closed = RegCloseKey(key);
    return status != ERROR_SUCCESS ? status : closed;
}
