// The Week page on real data: games with scores and odds, byes in order,
// playoff placeholders until the games are known.

#include "app/resources/resource.h"
#include "data/schedule_table.h"
#include "tests/support/app_harness.h"
#include "views/week_view.h"

#include <cstdio>

namespace {

using Rows = std::vector<std::vector<std::wstring>>;

class WeekViewTest : public AppTest {
protected:
    static Rows Week(HWND window, int week)
    {
        ShowWeekGames(window, week);
        return ListRows(window, IDC_WEEK_LIST);
    }

    // 32 clubs "Team 00".."Team 31". In the regular weeks row 2k+1 is at
    // home (odds -3) against row 2k (odds +3); in the playoff weeks nobody
    // plays yet, and every row carries a date of its own: month w - 16, day
    // r % 28 + 1.
    static std::string PairedSchedule()
    {
        std::string schedule;
        for (int row = 0; row < 32; ++row) {
            char name[8];
            std::snprintf(name, sizeof name, "%02d", row);
            std::string line = "T" + std::to_string(row) + ",Team " + name;
            for (int week = 0; week < 21; ++week) {
                if (week >= 17) {
                    line += "," + std::to_string(week - 16) + "/" + std::to_string(row % 28 + 1) + "/2004 13:00,-1,-1,999,0";
                    continue;
                }
                bool home = row % 2 == 1;
                line += ",9/7/2003 13:00," + std::to_string(home ? row - 1 : row + 1) + ",-1," + (home ? "-3,1" : "+3,0");
            }
            schedule += line + "\r\n";
        }
        return schedule;
    }

    static void SetCell(HWND window, int row, int column, const WCHAR* text)
    {
        LVITEMW cell = {};
        cell.iSubItem = column;
        cell.pszText = const_cast<WCHAR*>(text);
        SendMessageW(GetDlgItem(window, IDC_SCHEDULE_TABLE), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }

    // The rows of week 1 that name Team 00 or Team 01.
    static Rows FirstPair(HWND window)
    {
        Rows pair;
        for (const auto& row : Week(window, 0))
            if (row[1].find(L"Team 00") != std::wstring::npos || row[1].find(L"Team 01") != std::wstring::npos)
                pair.push_back(row);
        return pair;
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

// Rows 0 (away) and 1 (home) play each other in week 1; one cell of theirs
// is changed. Cells are compared as exact texts, never as numbers.
TEST_F(WeekViewTest, CellsAreComparedAsExactTexts)
{
    struct Case {
        const char* what;
        int row, column;       // the cell changed
        const WCHAR* text;     // its new text
        Rows expected;         // the rows naming Team 00 or Team 01
    };
    const std::vector<std::wstring> game = {L"09/07", L"Team 00 @ Team 01", L"-3"};
    const std::vector<std::wstring> reversed = {L"09/07", L"Team 01 @ Team 00", L"+3"};
    const std::vector<Case> cases = {
        {"unchanged", 1, HomeColumn(0), L"1", {game}},
        {"empty home flag", 1, HomeColumn(0), L"", {game}},
        {"home flag 00", 1, HomeColumn(0), L"00", {game}},
        {"away row's flag 00 makes it a home row too", 0, HomeColumn(0), L"00", {reversed, game}},
        {"away row's empty flag as well", 0, HomeColumn(0), L"", {reversed, game}},
        {"-1 is a bye", 0, OpponentColumn(0), L"-1", {game, {L"Bye", L"Team 00", L""}}},
        {"-1.0 is not a bye", 0, OpponentColumn(0), L"-1.0", {game}},
        {"-1.0 on the home row: no bye and no away team", 1, OpponentColumn(0), L"-1.0", {}},
        {"odds 999", 1, OddsColumn(0), L"999", {{L"09/07", L"Team 00 @ Team 01", L"N/A"}}},
        {"odds 999.0", 1, OddsColumn(0), L"999.0", {{L"09/07", L"Team 00 @ Team 01", L"999.0"}}},
        {"empty odds", 1, OddsColumn(0), L"", {{L"09/07", L"Team 00 @ Team 01", L""}}},
        {"away row 31", 1, OpponentColumn(0), L"31", {{L"09/07", L"Team 31 @ Team 01", L"-3"}}},
        {"away row 32 is no team", 1, OpponentColumn(0), L"32", {}},
        {"away row -2 is no team and no bye", 1, OpponentColumn(0), L"-2", {}},
    };
    InstallSeason("season/2003");
    WriteFile("install/Schedule.dat", PairedSchedule());
    RunMainWindow([&](HWND window) {
        for (const Case& c : cases) {
            WCHAR saved[kCellChars] = {};
            ReadCell(c.row, c.column, saved);
            SetCell(window, c.row, c.column, c.text);
            EXPECT_EQ(FirstPair(window), c.expected) << c.what;
            SetCell(window, c.row, c.column, saved);
        }
    });
}

TEST_F(WeekViewTest, PlaceholdersAreDatedFromTeamRows1And31)
{
    InstallSeason("season/2003");
    WriteFile("install/Schedule.dat", PairedSchedule());
    RunMainWindow([](HWND window) {
        EXPECT_EQ(Week(window, 17), (Rows{{L"01/02", L"Wild Card Playoffs", L""}, {L"01/04", L"Wild Card Playoffs", L""}}));
        EXPECT_EQ(Week(window, 18), (Rows{{L"02/02", L"Divisional Playoffs", L""}, {L"02/04", L"Divisional Playoffs", L""}}));
        EXPECT_EQ(Week(window, 19),
                  (Rows{{L"03/02", L"Conference Championships", L""}, {L"03/04", L"Conference Championships", L""}}));
        EXPECT_EQ(Week(window, 20), (Rows{{L"04/02", L"Super Bowl", L""}, {L"04/04", L"Houston, Texas", L""}}));
        // One known game replaces both placeholders; the byes never show.
        SetCell(window, 6, OpponentColumn(19), L"7");
        SetCell(window, 7, OpponentColumn(19), L"6");
        SetCell(window, 7, HomeColumn(19), L"1");
        SetCell(window, 7, OddsColumn(19), L"-2.5");
        EXPECT_EQ(Week(window, 19), (Rows{{L"03/08", L"Team 06 @ Team 07", L"-2.5"}}));
    });
}

TEST_F(WeekViewTest, ByesAreSortedWithoutCaseAndBadAwayRowsSkipped)
{
    // Four teams with lower- and upper-case names sit out week 1; team 4, at
    // home, names an away row of 32, and team 5 plays away at team 4.
    std::string schedule;
    const char* names[] = {"zebras", "Aces", "moose", "Bears"};
    for (int row = 0; row < 32; ++row) {
        std::string name = row < 4 ? names[row] : "Team " + std::to_string(row);
        std::string line = "T" + std::to_string(row) + "," + name;
        for (int week = 0; week < 21; ++week) {
            std::string opponent = row < 4 ? "-1" : row == 4 ? "32" : std::to_string(row % 2 ? row - 1 : row + 1);
            std::string home = row == 4 ? "1" : row == 5 ? "0" : row % 2 ? "1" : "0";
            line += ",9/7/2003 13:00," + opponent + ",-1,999," + home;
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
        // A name as long as a cell can hold shows whole on its bye row.
        SetCell(window, 0, kNameColumn, std::wstring(300, L'z').c_str());
        EXPECT_EQ(Week(window, 0).back(), (std::vector<std::wstring>{L"Bye", std::wstring(254, L'z'), L""}));
    });
}

}  // namespace
