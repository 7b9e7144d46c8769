// The Team page on real data: New England's 2003 record, byes, played and
// unplayed games, times in other zones, and rows that are not teams.

#include "app/resources/resource.h"
#include "data/schedule_table.h"
#include "settings/settings.h"
#include "tests/support/app_harness.h"
#include "views/team_view.h"

namespace {

constexpr int kNewEngland = 18;  // team row in the bundled schedule
constexpr int kTampaBay = 29;

class TeamViewTest : public AppTest {
protected:
    static std::vector<std::wstring> Labels(HWND window)
    {
        std::vector<std::wstring> labels;
        for (int id = IDC_TOTAL_WINS; id <= IDC_ROAD_TIES; ++id)
            labels.push_back(WindowText(GetDlgItem(window, id)));
        return labels;
    }
};

TEST_F(TeamViewTest, FinalSeasonRecordWithHomeAndRoadSplit)
{
    InstallSeason("season/2003");
    RunMainWindow([](HWND window) {
        ShowTeamSchedule(window, kNewEngland);
        // Totals W L T, percentage, home W L T, road W L T.
        EXPECT_EQ(Labels(window), (std::vector<std::wstring>{L"14", L"2", L"0", L".875", L"8", L"0", L"0", L"6", L"2", L"0"}));
        auto rows = ListRows(window, IDC_TEAM_LIST);
        ASSERT_EQ(rows.size(), 17u);
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"09/07", L"0 @ Buffalo 31", L"1:00p"}));
        EXPECT_EQ(rows[9], (std::vector<std::wstring>{L"11/09", L"Bye Week", L""}));
    });
}

TEST_F(TeamViewTest, UnplayedGamesShowTheirOpponentAndTime)
{
    InstallSeason("tests/fixtures/season-2003-week9");
    RunMainWindow([](HWND window) {
        ShowTeamSchedule(window, kNewEngland);
        EXPECT_EQ(Labels(window), (std::vector<std::wstring>{L"7", L"2", L"0", L".778", L"4", L"0", L"0", L"3", L"2", L"0"}));
        auto rows = ListRows(window, IDC_TEAM_LIST);
        ASSERT_EQ(rows.size(), 17u);
        EXPECT_EQ(rows[10][1], L"vs Dallas");  // week 11, not yet played
        EXPECT_EQ(rows[10][2], L"8:30p");
        EXPECT_EQ(rows[11][1], L"@ Houston");
    });
}

TEST_F(TeamViewTest, TimesFollowTheZoneAndLateGamesKeepTheEasternDate)
{
    InstallSeason("season/2003");
    RunMainWindow([](HWND window) {
        g_timeZoneIndex = 2;  // Hawaii: daylight correction until October 25
        g_timeZoneOffset = -5;
        ShowTeamSchedule(window, kNewEngland);
        auto rows = ListRows(window, IDC_TEAM_LIST);
        EXPECT_EQ(rows[0][2], L"7:00a");   // September 7, 1 pm Eastern
        EXPECT_EQ(rows[10][0], L"11/16");
        EXPECT_EQ(rows[10][2], L"3:30p");  // November 16, 8:30 pm Eastern
        g_timeZoneIndex = 22;              // Azores, 4 hours ahead of Eastern
        g_timeZoneOffset = 4;
        ShowTeamSchedule(window, kTampaBay);
        rows = ListRows(window, IDC_TEAM_LIST);
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"09/08", L"17 @ Philadelphia 0", L"1:00a"}));
    });
}

TEST_F(TeamViewTest, RowsThatAreNotTeamsShowNoGames)
{
    InstallSeason("season/2003");
    RunMainWindow([](HWND window) {
        ShowTeamSchedule(window, kNewEngland);
        for (int row : {-1, 32, 1000}) {
            ShowTeamSchedule(window, row);
            EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_TEAM_LIST), LVM_GETITEMCOUNT, 0, 0), 0) << row;
            EXPECT_EQ(Labels(window), (std::vector<std::wstring>{L"0", L"0", L"0", L".000", L"0", L"0", L"0", L"0", L"0", L"0"}));
        }
    });
}

// Teams 0 and 1 meet in weeks 1 to 7; team 0 has a bye in week 8.
TEST_F(TeamViewTest, ResultsCountAtHomeOrOnTheRoadTiesIncluded)
{
    struct Game {
        const char* score0;  // team 0's points
        const char* score1;  // team 1's points
        const char* home0;   // team 0's home flag
        const char* home1;   // team 1's home flag
    };
    const Game games[] = {
        {"9", "10", "0", "1"},   // scores compare as numbers: 9 against 10 is a loss
        {"24", "17", "1", "0"},
        {"13", "13", "1", "0"},  // a tie at home for team 0, on the road for team 1
        {"20", "20", "0", "1"},  // and the other way round
        {"31", "7", "1", "0"},
        {"13", "13", "2", "2"},  // a home flag other than 0 or 1 counts nowhere
        {"3", "3", "0", "1"},
    };
    std::string schedule;
    for (int row = 0; row < 32; ++row) {
        std::string line = "T" + std::to_string(row) + ",Team " + std::to_string(row);
        for (int week = 0; week < 21; ++week) {
            std::string opponent = "-1", score = "-1", home = "0";
            if (row < 2 && week < 7) {
                const Game& game = games[week];
                opponent = row == 0 ? "1" : "0";
                score = row == 0 ? game.score0 : game.score1;
                home = row == 0 ? game.home0 : game.home1;
            }
            line += ",9/" + std::to_string(1 + 2 * week) + "/2003 13:00," + opponent + "," + score + ",999," + home;
        }
        schedule += line + "\r\n";
    }
    InstallSeason("season/2003");
    WriteFile("install/Schedule.dat", schedule);
    RunMainWindow([](HWND window) {
        ShowTeamSchedule(window, 0);
        auto rows = ListRows(window, IDC_TEAM_LIST);
        ASSERT_EQ(rows.size(), 17u);
        std::vector<std::wstring> texts;
        for (int week = 0; week < 8; ++week)
            texts.push_back(rows[week][1]);
        EXPECT_EQ(texts, (std::vector<std::wstring>{L"9 @ Team 1 10", L"24 vs Team 1 17", L"13 vs Team 1 13", L"20 @ Team 1 20",
                                                    L"31 vs Team 1 7", L"13 Team 1 13", L"3 @ Team 1 3", L"Bye Week"}));
        // Totals W L T, percentage, home W L T, road W L T; a tie is half a win.
        EXPECT_EQ(Labels(window), (std::vector<std::wstring>{L"2", L"1", L"3", L".583", L"2", L"0", L"1", L"0", L"1", L"2"}));
        ShowTeamSchedule(window, 1);
        EXPECT_EQ(Labels(window), (std::vector<std::wstring>{L"1", L"2", L"3", L".417", L"1", L"0", L"2", L"0", L"2", L"1"}));
    });
}

}  // namespace
