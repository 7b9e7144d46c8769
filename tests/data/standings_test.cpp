// Standings: winning percentages, the bundled season's rows and label, and
// damaged standings files.

#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "views/season_list.h"
#include "data/standings.h"
#include "tests/support/app_harness.h"

#include <cmath>
#include <filesystem>
#include <sys/resource.h>

namespace {

struct PercentageCase {
    double wins, losses, ties;
    const WCHAR* text;
};

void PrintTo(const PercentageCase& c, std::ostream* out)
{
    *out << c.wins << "-" << c.losses << "-" << c.ties;
}

class PercentageTest : public ::testing::TestWithParam<PercentageCase> {};

TEST_P(PercentageTest, RoundsHalfUpAtThreePlaces)
{
    WCHAR text[kPercentageChars] = {};
    FormatWinningPercentage(GetParam().wins, GetParam().losses, GetParam().ties, text);
    EXPECT_STREQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Records, PercentageTest, ::testing::Values(
    PercentageCase{9, 7, 0, L".563"}, PercentageCase{1, 15, 0, L".063"}, PercentageCase{8, 7, 1, L".531"},
    PercentageCase{10, 5, 1, L".656"}, PercentageCase{16, 0, 0, L"1000"}, PercentageCase{0, 0, 0, L".000"},
    PercentageCase{0, 16, 0, L".000"}, PercentageCase{8, 8, 0, L".500"}, PercentageCase{14, 2, 0, L".875"},
    PercentageCase{2, 1, 0, L".667"}, PercentageCase{1, 199, 0, L".005"}, PercentageCase{1, 2500, 0, L".000"},
    PercentageCase{0, 0, 1, L".500"}, PercentageCase{5, -1, 0, L"1000"}, PercentageCase{-1, 3, 0, L".000"},
    // Halfway in decimal but not in binary: forty games with an odd number of ties.
    PercentageCase{1, 38, 1, L".038"}, PercentageCase{0, 39, 1, L".013"}, PercentageCase{6, 33, 1, L".163"},
    PercentageCase{11, 28, 1, L".288"}, PercentageCase{20, 19, 1, L".513"}, PercentageCase{37, 2, 1, L".938"},
    PercentageCase{39, 0, 1, L".988"}, PercentageCase{1, 1999, 0, L".001"}, PercentageCase{1999, 1, 0, L"1000"},
    // Counts of any size the numbers of a file can hold.
    PercentageCase{1e306, 1e306, 0, L".500"}, PercentageCase{1e308, 1e308, 1e308, L".500"},
    PercentageCase{1.7e308, 0, 0, L"1000"}, PercentageCase{3e305, 5e305, 0, L".375"}),
    [](const ::testing::TestParamInfo<PercentageCase>& info) {
        std::string name;
        for (double count : {info.param.wins, info.param.losses, info.param.ties})
            name += (name.empty() ? "" : "_") + std::string(count < 0 ? "minus" : "") +
                    (std::abs(count) < 1e9 ? std::to_string(static_cast<int>(std::abs(count))) : "e" + std::to_string(static_cast<int>(std::log10(std::abs(count)))));
        return name;
    });

class StandingsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }

    std::vector<std::vector<std::wstring>> Load(const std::string& content, int* result = nullptr)
    {
        std::string path = WriteFile("custom/Standings.dat", content);
        std::wstring wide(path.begin(), path.end());
        int loaded = LoadStandings(g_window, wide.c_str());
        if (result)
            *result = loaded;
        return ListRows(g_window, IDC_STANDINGS_LIST);
    }

    static std::string TeamLines(int count)
    {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += "\"Team " + std::to_string(i) + "\"," + std::to_string(i) + ",1,0\r\n";
        return lines;
    }

    static HWND g_window;
};

HWND StandingsTest::g_window = nullptr;

TEST_F(StandingsTest, BundledSeasonGivesFortyRowsByDivision)
{
    RunMainWindow([](HWND window) {
        auto rows = ListRows(window, IDC_STANDINGS_LIST);
        ASSERT_EQ(rows.size(), 40u);
        for (int blank : {0, 5, 10, 15, 20, 25, 30, 35})
            EXPECT_EQ(rows[blank], std::vector<std::wstring>(5, L"")) << blank;
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));
        EXPECT_EQ(rows[39][0], L"Arizona");
        EXPECT_STREQ(g_seasonLabel, L"2003");
        // The title draws the label once the window paints.
        WaitUntil([window] { return !Painted(window, IDC_STANDINGS_TITLE).empty(); });
        EXPECT_EQ(Painted(window, IDC_STANDINGS_TITLE), std::vector<std::wstring>{L" 2003 NFL Standings "});
        // With real rows the first three division images are placed.
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, 1011)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, 1013)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, 1018)));
    });
}

TEST_F(StandingsTest, DamagedFilesKeepWhatWasRead)
{
    RunMainWindow([this](HWND window) {
        g_window = window;
        // Label followed by other text; wins written 07; a comma in a name.
        auto rows = Load("\"2004 Preview\" and more,x\r\n\"Washington, D.C.\",07,9,0\r\n" + TeamLines(31));
        EXPECT_STREQ(g_seasonLabel, L"2004 Preview");
        ASSERT_EQ(rows.size(), 40u);
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"Washington", L" D.C.\"", L"07", L"9", L".281"}));
        // A file that ends early still keeps the division rows in place.
        int result = -1;
        rows = Load("\"2003\"\r\n" + TeamLines(6), &result);
        EXPECT_EQ(result, 1);
        ASSERT_EQ(rows.size(), 40u);
        EXPECT_EQ(rows[7][0], L"Team 5");
        EXPECT_EQ(rows[8], std::vector<std::wstring>(5, L""));
        // A team line of a line break alone is a blank row in its place.
        rows = Load("\"2003\"\r\n" + TeamLines(2) + "\r\n\n" + TeamLines(28));
        ASSERT_EQ(rows.size(), 40u);
        EXPECT_EQ(rows[3], std::vector<std::wstring>(5, L""));
        EXPECT_EQ(rows[4], std::vector<std::wstring>(5, L""));
        EXPECT_EQ(rows[6], (std::vector<std::wstring>{L"Team 0", L"0", L"1", L"0", L".000"}));
        EXPECT_EQ(rows[39], (std::vector<std::wstring>{L"Team 27", L"27", L"1", L"0", L".964"}));
        // Missing fields read as nothing.
        rows = Load("\"2003\"\r\n\"Short\",3\r\n\"Name only\"\r\n" + TeamLines(30));
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"Short", L"3", L"", L"", L"1000"}));
        EXPECT_EQ(rows[2], (std::vector<std::wstring>{L"Name only", L"", L"", L"", L".000"}));
        // Counts far beyond any season keep their exact halves.
        rows = Load("\"2003\"\r\n\"Huge\",1e306,1e306,0\r\n" + TeamLines(31));
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"Huge", L"1e306", L"1e306", L"0", L".500"}));
        // A stream error (a folder in place of the file) stops at the first team line.
        std::wstring folder(home.begin(), home.end());
        EXPECT_EQ(LoadStandings(window, folder.c_str()), 0);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_STANDINGS_LIST), LVM_GETITEMCOUNT, 0, 0), 1);
        Load("\"2003\"\r\n");
        // A missing file: empty list, label kept.
        EXPECT_EQ(LoadStandings(window, L"/nonexistent/Standings.dat"), 0);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_STANDINGS_LIST), LVM_GETITEMCOUNT, 0, 0), 0);
        EXPECT_STREQ(g_seasonLabel, L"2003");
        // A label longer than 129 characters is cut.
        Load("\"" + std::string(200, 'L') + "\"\r\n" + TeamLines(32));
        EXPECT_EQ(std::wcslen(g_seasonLabel), 129u);
        // An empty file: empty label, 40 empty rows.
        rows = Load("");
        EXPECT_STREQ(g_seasonLabel, L"");
        EXPECT_EQ(rows.size(), 40u);
    });
}

// Every reader closes its file, on success and after a stream error alike:
// with only a few file descriptors left, hundreds of loads still succeed.
TEST_F(StandingsTest, EveryReaderClosesItsFile)
{
    RunMainWindow([this](HWND window) {
        std::wstring folder(home.begin(), home.end());
        int open = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            open += entry.is_symlink() ? 1 : 0;
        rlimit saved = {};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit scarce = saved;
        scarce.rlim_cur = static_cast<rlim_t>(open + 8);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &scarce), 0);
        int failures = 0;
        for (int i = 0; i < 40; ++i) {
            LoadStandings(window, folder.c_str());
            LoadScheduleTable(window, folder.c_str());
            LoadSeasonList(window, folder.c_str());
            failures += LoadStandings(window, g_standingsPath) != 1;
            failures += LoadScheduleTable(window, g_schedulePath) != 1;
            SendMessageW(GetDlgItem(window, IDC_SEASON_LIST), LVM_DELETEALLITEMS, 0, 0);
            failures += LoadSeasonList(window, g_seasonPath) != 1;
            failures += CheckScheduleSeason(g_schedulePath) != 1;
        }
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(failures, 0);
    });
}

}  // namespace
