// The settings store: defaults, partial loads, the text form of OffSet, and
// a save read back by another process.

#include "settings/settings.h"
#include "tests/support/app_harness.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

class SettingsTest : public AppTest {
protected:
    static HKEY Key()
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        return key;
    }

    static void SetText(const WCHAR* name, const WCHAR* text)
    {
        HKEY key = Key();
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }

    static void SetNumber(const WCHAR* name, DWORD value)
    {
        HKEY key = Key();
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(key);
    }
};

TEST_F(SettingsTest, MissingKeyKeepsTheDefaults)
{
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(g_timeZoneOffset, 0);
    EXPECT_EQ(g_favouriteTeam, 0);
    EXPECT_EQ(g_timeZoneIndex, 11);
}

TEST_F(SettingsTest, EachValueIsTakenAsItIsRead)
{
    SetText(L"OffSet", L"-3");
    SetNumber(L"Index", 4);  // Team is missing: Index is not read
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(g_timeZoneOffset, -3);
    EXPECT_EQ(g_favouriteTeam, 0);
    EXPECT_EQ(g_timeZoneIndex, 11);
    SetNumber(L"Team", 7);
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_favouriteTeam, 7);
    EXPECT_EQ(g_timeZoneIndex, 4);
}

// A number value that holds no bytes reads as 0, not as whatever the
// reading started from; one too long for 4 bytes is not read.
TEST_F(SettingsTest, NumberValuesOfOtherSizes)
{
    SetText(L"OffSet", L"2");
    HKEY key = Key();
    const BYTE five[5] = {9, 0, 0, 0, 1};
    RegSetValueExW(key, L"Team", 0, REG_BINARY, nullptr, 0);
    RegSetValueExW(key, L"Index", 0, REG_BINARY, five, sizeof five);
    RegCloseKey(key);
    g_favouriteTeam = 6;
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(g_favouriteTeam, 0);
    EXPECT_EQ(g_timeZoneIndex, 11);
}

TEST_F(SettingsTest, OffsetTextReadsByIntegerRules)
{
    for (const auto& [text, value] : std::vector<std::pair<const WCHAR*, int>>{
             {L"-3", -3}, {L"18", 18}, {L" +2", 2}, {L"abc", 0}, {L"", 0}, {L"5 hours", 5}}) {
        SetText(L"OffSet", text);
        g_timeZoneOffset = 99;
        LoadSettings();
        EXPECT_EQ(g_timeZoneOffset, value) << std::wstring(text).size();
    }
}

TEST_F(SettingsTest, SaveIsReadBackByTheNextProcess)
{
    g_timeZoneOffset = -2;
    g_timeZoneIndex = 5;
    g_favouriteTeam = 21;
    SaveSettings();
    std::string file = Registry();
    EXPECT_NE(file.find("\"OffSet\"=\"-2\""), std::string::npos) << file;
    EXPECT_LT(file.find("\"OffSet\""), file.find("\"Index\""));  // written OffSet, Index, Team
    EXPECT_LT(file.find("\"Index\""), file.find("\"Team\""));
    WCHAR text[16] = {};
    DWORD size = sizeof text;
    HKEY key = Key();
    RegQueryValueExW(key, L"OffSet", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    EXPECT_EQ(size, 3 * sizeof(WCHAR));  // the text and its NUL
    pid_t child = fork();
    if (child == 0) {
        g_timeZoneOffset = 0;
        g_timeZoneIndex = 11;
        g_favouriteTeam = 0;
        bool same = LoadSettings() == 1 && g_timeZoneOffset == -2 && g_timeZoneIndex == 5 && g_favouriteTeam == 21;
        _exit(same ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
