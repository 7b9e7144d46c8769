// The options dialog: pickers filled and preselected, Save storing the
// chosen zone's index and offset, Cancel changing nothing, no selection
// keeping the setting.

#include "app/resources/resource.h"
#include "platform/testing.h"
#include "settings/settings.h"
#include "settings/time_zones.h"
#include "tests/support/app_harness.h"
#include "views/team_view.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

class OptionsDialogTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }


    // Opens Options, chooses the zone (and team when >= 0), presses `button`.
    static void ChooseAndPress(HWND window, int zone, int team, WORD button)
    {
        ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [=](HWND dialog) {
            if (zone >= 0)
                UserInput(dialog, "select", {"1023", std::to_string(zone)});
            if (team >= 0)
                UserInput(dialog, "select", {"1022", std::to_string(team)});
            EXPECT_EQ(SendMessageW(dialog, WM_COMMAND, button, 0), TRUE);  // handled
            EXPECT_FALSE(IsWindowVisible(dialog));  // ended
        }));
    }
};

TEST_F(OptionsDialogTest, DefaultsPreselectEasternTimeAndTheFirstTeam)
{
    RunMainWindow([](HWND window) {
        ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [](HWND dialog) {
            HWND zones = GetDlgItem(dialog, IDC_ZONE_PICKER);
            const std::vector<std::wstring> teams = Entries(dialog, IDC_FAVOURITE_PICKER), names = Entries(dialog, IDC_ZONE_PICKER);
            EXPECT_EQ(teams.size(), 32u);
            EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_FAVOURITE_PICKER), CB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(teams[0], L"Arizona");
            ASSERT_EQ(names.size(), 70u);
            EXPECT_EQ(names[static_cast<size_t>(SendMessageW(zones, CB_GETCURSEL, 0, 0))], L"GMT-5 Eastern US");
            EXPECT_EQ(SendMessageW(zones, CB_GETITEMDATA, 69, 0), 18);
            EXPECT_EQ(SendMessageW(dialog, WM_COMMAND, 4242, 0), FALSE);
            EXPECT_EQ(SendMessageW(dialog, WM_USER, IDC_SAVE, 0), FALSE);
            EXPECT_TRUE(IsWindowVisible(dialog));  // not ended
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        }));
    });
}

TEST_F(OptionsDialogTest, SaveStoresTheZonesIndexAndOffset)
{
    struct Case {
        int zone, index, offset;
    };
    RunMainWindow([this](HWND window) {
        for (const Case& c : {Case{4, 4, -3}, Case{69, 69, 18}, Case{17, 17, 2}, Case{18, 18, 2}}) {
            ChooseAndPress(window, c.zone, 7, IDC_SAVE);
            EXPECT_EQ(g_timeZoneIndex, c.index);
            EXPECT_EQ(g_timeZoneOffset, c.offset);
            EXPECT_EQ(g_favouriteTeam, 7);
            std::string file = Registry();
            char index[32];
            std::snprintf(index, sizeof index, "\"Index\"=dword:%08x", c.index);
            EXPECT_NE(file.find(index), std::string::npos) << file;
            EXPECT_NE(file.find("\"OffSet\"=\"" + std::to_string(c.offset) + "\""), std::string::npos) << file;
            EXPECT_NE(file.find("\"Team\"=dword:00000007"), std::string::npos) << file;
        }
    });
}

// Eastern time is GMT-5: every zone moves Eastern times by the GMT hour of
// its name plus 5.
TEST_F(OptionsDialogTest, EveryZoneShiftsByTheHourOfItsName)
{
    RunMainWindow([](HWND window) {
        ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [](HWND dialog) {
            HWND zones = GetDlgItem(dialog, IDC_ZONE_PICKER);
            const std::vector<std::wstring> names = Entries(dialog, IDC_ZONE_PICKER);
            ASSERT_EQ(names.size(), 70u);
            for (size_t i = 0; i < names.size(); ++i) {
                const std::wstring& name = names[i];
                ASSERT_EQ(name.substr(0, 3), L"GMT");
                int hour = std::stoi(name.substr(3));
                EXPECT_EQ(SendMessageW(zones, CB_GETITEMDATA, i, 0), hour + 5) << std::string(name.begin(), name.end());
            }
            SendMessageW(dialog, WM_COMMAND, IDC_CANCEL, 0);
        }));
    });
}

// New England's 2003 kick-offs of October 19 and 26 (1 pm), November 3
// (9 pm) and December 7 (4:15 pm), all Eastern, seen from a zone chosen by
// its name in Options. Eastern clocks ran on daylight time until October
// 26; Hawaii, Arizona and Indiana did not.
TEST_F(OptionsDialogTest, ChosenZoneShowsRealKickOffsInItsOwnTime)
{
    struct Case {
        const WCHAR* zone;
        std::vector<std::wstring> times;
    };
    const std::vector<Case> cases = {
        {L"GMT-10 Hawaii", {L"7:00a", L"8:00a", L"4:00p", L"11:15a"}},
        {L"GMT-7 Arizona", {L"10:00a", L"11:00a", L"7:00p", L"2:15p"}},
        {L"GMT-5 Indiana", {L"12:00p", L"1:00p", L"9:00p", L"4:15p"}},
        {L"GMT-6 Saskatchewan", {L"12:00p", L"12:00p", L"8:00p", L"3:15p"}},
        {L"GMT-03 Newfoundland", {L"3:00p", L"3:00p", L"11:00p", L"6:15p"}},
        {L"GMT+4 Kabul", {L"10:00p", L"10:00p", L"6:00a", L"1:15a"}},
        {L"GMT+6 Kathmandu", {L"12:00a", L"12:00a", L"8:00a", L"3:15a"}},
        {L"GMT+13 Tonga", {L"7:00a", L"7:00a", L"3:00p", L"10:15a"}},
        {L"GMT-12 Kwajalein", {L"6:00a", L"6:00a", L"2:00p", L"9:15a"}},
    };
    RunMainWindow([&](HWND window) {
        for (const Case& c : cases) {
            ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [&](HWND dialog) {
                const std::vector<std::wstring> names = Entries(dialog, IDC_ZONE_PICKER);
                auto found = std::find(names.begin(), names.end(), std::wstring(c.zone));
                EXPECT_TRUE(UserInput(dialog, "select", {"1023", std::to_string(found - names.begin())}));
                SendMessageW(dialog, WM_COMMAND, IDC_SAVE, 0);
            }));
            ASSERT_TRUE(UserInput(window, "select", {"1022", "18"}));  // New England
            HWND list = GetDlgItem(window, IDC_TEAM_LIST);
            EXPECT_EQ((std::vector<std::wstring>{ListCell(list, 6, 2), ListCell(list, 7, 2), ListCell(list, 8, 2), ListCell(list, 13, 2)}),
                      c.times) << std::string(c.zone, c.zone + std::wcslen(c.zone));
        }
    });
}

TEST_F(OptionsDialogTest, CancelAndOkChangeNothing)
{
    RunMainWindow([this](HWND window) {
        ChooseAndPress(window, 4, 9, IDC_SAVE);
        std::string before = Registry();
        ChooseAndPress(window, 69, 3, IDC_CANCEL);
        ChooseAndPress(window, 30, 2, IDOK);
        EXPECT_EQ(Registry(), before);
        EXPECT_EQ(g_timeZoneIndex, 4);
        EXPECT_EQ(g_timeZoneOffset, -3);
        EXPECT_EQ(g_favouriteTeam, 9);
    });
}

// A Save that cannot store the settings says why, in the program's stop
// message box; the registry keeps the old settings, the choice holds until
// the program ends.
TEST_F(OptionsDialogTest, SaveThatCannotStoreSaysWhy)
{
    const std::string folder = configDir + "/corvale";
    struct Case {
        const char* name;
        std::function<bool()> fail, restore;  // fail: false when this machine cannot
        std::wstring reason;
    };
    const Case cases[] = {
        {"full disk", [] { FailCallForTest("write", 1, ENOSPC, Fault::FromThenOn, "reg"); return true; }, [] { ClearFaultsForTest(); return true; },
         L"There is not enough space on the disk."},
        {"read-only folder",
         [&] { return std::system(("mount --bind '" + folder + "' '" + folder + "' 2>/dev/null && mount -o remount,ro,bind '" +
                                   folder + "' 2>/dev/null").c_str()) == 0; },
         [&] { return std::system(("umount '" + folder + "'").c_str()) == 0; }, L"The media is write protected."},
    };
    std::vector<std::wstring> messages;
    std::string skipped;
    UINT type = 0;
    SetMessageBoxHookForTest([&](const std::wstring& text, const std::wstring& caption, UINT style) {
        messages.push_back(caption + L": " + text);
        type = style;
        return IDOK;
    });
    RunMainWindow([&](HWND window) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::string before = Registry();
            if (!c.fail()) {
                skipped += std::string(c.name) + ": not possible here (a bind mount needs root). ";
                continue;
            }
            messages.clear();
            ChooseAndPress(window, 4, 9, IDC_SAVE);
            c.restore();
            EXPECT_EQ(messages, std::vector<std::wstring>{L"Corvale: The settings could not be saved.\n\n" + c.reason});
            EXPECT_EQ(type, static_cast<UINT>(MB_OK | MB_ICONERROR));
            EXPECT_EQ(Registry(), before);
            EXPECT_EQ(g_timeZoneOffset, -3);
            EXPECT_EQ(g_favouriteTeam, 9);
            g_timeZoneOffset = 0;
            g_favouriteTeam = 0;
        }
        messages.clear();
        ChooseAndPress(window, 4, 9, IDC_SAVE);
        EXPECT_TRUE(messages.empty());
    });
    SetMessageBoxHookForTest(nullptr);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
}

TEST_F(OptionsDialogTest, PickerWithoutSelectionKeepsItsSetting)
{
    RunMainWindow([](HWND window) {
        g_timeZoneIndex = 99;  // as a damaged registry could leave it
        g_timeZoneOffset = 4;
        g_favouriteTeam = -5;
        ChooseAndPress(window, -1, -1, IDC_SAVE);
        EXPECT_EQ(g_timeZoneIndex, 99);
        EXPECT_EQ(g_timeZoneOffset, 4);
        EXPECT_EQ(g_favouriteTeam, -5);
    });
}

TEST_F(OptionsDialogTest, ListsKeepTheirTimesUntilFilledAgain)
{
    RunMainWindow([](HWND window) {
        HWND teamList = GetDlgItem(window, IDC_TEAM_LIST);
        EXPECT_EQ(ListCell(teamList, 0, 2), L"1:00p");
        ChooseAndPress(window, 4, -1, IDC_SAVE);
        EXPECT_EQ(ListCell(teamList, 0, 2), L"1:00p");
        UserInput(window, "select", {"1022", "0"});
        EXPECT_EQ(ListCell(teamList, 0, 2), L"10:00a");
    });
}

}  // namespace
