// The Week page on real data: games with scores and odds, byes in order,
// playoff placeholders until the games are known.

#include "app/resources/resource.h"
#include "platform/internal.h"
#include "tests/support/app_harness.h"
#include "views/week_view.h"

namespace {

class WeekViewTest : public AppTest {
protected:
    static std::vector<std::vector<std::wstring>> Week(HWND window, int week)
    {
        ShowWeekGames(window, week);
        return ListRows(GetDlgItem(window, IDC_WEEK_LIST));
    }
};

TEST_F(WeekViewTest, RegularWeekListsGamesByHomeTeamThenByes)
{
    InstallSeason("season/2003");
    RunMainWindow([](HWND window) {
        auto rows = Week(window, 0);
        ASSERT_EQ(rows.size(), 16u);  // every team plays: no bye rows
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"09/07", L"New England 0 @ Buffalo 31", L"-1"}));
        rows = Week(window, 2);
        ASSERT_EQ(rows.size(), 14u + 4u);
        std::vector<std::wstring> byes;
        for (size_t i = 14; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][0], L"Bye");
            EXPECT_EQ(rows[i][2], L"");
            byes.push_back(rows[i][1]);
        }
        EXPECT_EQ(byes, (std::vector<std::wstring>{L"Carolina", L"Chicago", L"Dallas", L"Philadelphia"}));
        for (int week = 0; week < 17; ++week)
            for (const auto& row : Week(window, week))
                EXPECT_TRUE(row[1].find(L'\r') == std::wstring::npos && row[2] != L"999") << week;
    });
}

TEST_F(WeekViewTest, PlayoffWeeksShowPlaceholdersUntilGamesAreKnown)
{
    InstallSeason("tests/fixtures/season-2003-week9");
    RunMainWindow([](HWND window) {
        EXPECT_EQ(Week(window, 17), (std::vector<std::vector<std::wstring>>{
                                        {L"01/03", L"Wild Card Playoffs", L""}, {L"01/04", L"Wild Card Playoffs", L""}}));
        EXPECT_EQ(Week(window, 20), (std::vector<std::vector<std::wstring>>{
                                        {L"02/01", L"Super Bowl", L""}, {L"02/01", L"Houston, Texas", L""}}));
        auto unplayed = Week(window, 10);
        ASSERT_FALSE(unplayed.empty());
        EXPECT_EQ(unplayed[0][1].find(L" @ "), unplayed[0][1].find_first_of(L'@') - 1);
        EXPECT_EQ(unplayed[0][1].find_first_of(L"0123456789"), std::wstring::npos);  // no scores yet
    });
}

TEST_F(WeekViewTest, FinalSeasonPlayoffsListTheirGamesOnce)
{
    InstallSeason("season/2003");
    RunMainWindow([](HWND window) {
        EXPECT_EQ(Week(window, 17).size(), 4u);
        auto superBowl = Week(window, 20);
        ASSERT_EQ(superBowl.size(), 1u);  // the home flag of the last field matches "0" exactly
        EXPECT_EQ(superBowl[0][1], L"Carolina 29 @ New England 32");
        EXPECT_TRUE(Week(window, -1).empty());
        EXPECT_TRUE(Week(window, 21).empty());
    });
}

TEST_F(WeekViewTest, ByesAreSortedWithoutCaseAndBadAwayRowsSkipped)
{
    // Four teams with lower- and upper-case names sit out week 1; team 4, at
    // home, names an away row of 40, and team 5 plays away at team 4.
    std::string schedule;
    const char* names[] = {"zebras", "Aces", "moose", "Bears"};
    for (int row = 0; row < 32; ++row) {
        std::string name = row < 4 ? names[row] : "Team " + std::to_string(row);
        std::string line = "T" + std::to_string(row) + "," + name;
        for (int week = 0; week < 21; ++week) {
            std::string opponent = row < 4 ? "-1" : row == 4 ? "40" : std::to_string(row % 2 ? row - 1 : row + 1);
            std::string home = row == 4 ? "1" : row == 5 ? "0" : row % 2 ? "1" : "0";
            line += ",9/7/2003 13:00," + opponent + ",-1,N/A," + home;
        }
        schedule += line + "\r\n";
    }
    InstallSeason("season/2003");
    WriteFile("install/Schedule.dat", schedule);
    RunMainWindow([](HWND window) {
        auto rows = Week(window, 0);
        std::vector<std::wstring> byes;
        for (const auto& row : rows)
            if (row[0] == L"Bye")
                byes.push_back(row[1]);
        EXPECT_EQ(byes, (std::vector<std::wstring>{L"Aces", L"Bears", L"moose", L"zebras"}));
        EXPECT_EQ(rows.size(), 13u + 4u);  // rows 6..31 give 13 games; row 4's game is skipped
        EXPECT_EQ(rows[0][1], L"Team 6 @ Team 7");
        EXPECT_EQ(rows[0][2], L"N/A");
    });
}

}  // namespace
