// The options dialog: pickers filled and preselected, Save storing the
// chosen zone's index and offset, Cancel changing nothing, no selection
// keeping the setting.

#include "app/resources/resource.h"
#include "platform/internal.h"
#include "settings/settings.h"
#include "settings/time_zones.h"
#include "tests/support/app_harness.h"
#include "views/team_view.h"

namespace {

class OptionsDialogTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }

    std::string Registry() { return ReadFile(configDir + "/corvale/registry.reg"); }

    // Opens Options, chooses the zone (and team when >= 0), presses `button`.
    static void ChooseAndPress(HWND window, int zone, int team, WORD button)
    {
        ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [=](HWND dialog) {
            std::string error;
            if (zone >= 0)
                platform::ControlInput(dialog, "select", {"1023", std::to_string(zone)}, error);
            if (team >= 0)
                platform::ControlInput(dialog, "select", {"1022", std::to_string(team)}, error);
            SendMessageW(dialog, WM_COMMAND, button, 0);
        }));
    }
};

TEST_F(OptionsDialogTest, DefaultsPreselectEasternTimeAndTheFirstTeam)
{
    RunMainWindow([](HWND window) {
        ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [](HWND dialog) {
            HWND teams = GetDlgItem(dialog, IDC_FAVOURITE_PICKER);
            HWND zones = GetDlgItem(dialog, IDC_ZONE_PICKER);
            EXPECT_EQ(teams->data.items.size(), 32u);
            EXPECT_EQ(teams->data.selection, 0);
            EXPECT_EQ(teams->data.items[0], L"Arizona");
            ASSERT_EQ(zones->data.items.size(), 70u);
            EXPECT_EQ(zones->data.items[static_cast<size_t>(zones->data.selection)], L"GMT-5 Eastern US");
            EXPECT_EQ(SendMessageW(zones, CB_GETITEMDATA, 69, 0), 18);
            EXPECT_EQ(SendMessageW(dialog, WM_COMMAND, 4242, 0), FALSE);
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
        std::string error;
        platform::ControlInput(window, "select", {"1022", "0"}, error);
        EXPECT_EQ(ListCell(teamList, 0, 2), L"10:00a");
    });
}

}  // namespace
