// The season list: the bundled file, and the odd lines a season file can have.

#include "app/resources/resource.h"
#include "views/season_list.h"
#include "settings/settings.h"
#include "tests/support/app_harness.h"

namespace {

class SeasonListTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }

    static std::vector<std::vector<std::wstring>> Load(HWND window, const std::string& path, int* result = nullptr)
    {
        HWND list = GetDlgItem(window, IDC_SEASON_LIST);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        std::wstring wide(path.begin(), path.end());
        int loaded = LoadSeasonList(window, wide.c_str());
        if (result)
            *result = loaded;
        return ListRows(window, IDC_SEASON_LIST);
    }
};

TEST_F(SeasonListTest, BundledSeasonListsEveryGameWithItsTime)
{
    RunMainWindow([](HWND window) {
        auto rows = ListRows(window, IDC_SEASON_LIST);
        ASSERT_EQ(rows.size(), 288u);
        EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"Week 1", L""}));
        EXPECT_EQ(rows[1], (std::vector<std::wstring>{L"09/04 N.Y. Jets @ Washington", L"9:00p"}));
        g_timeZoneOffset = -3;  // a list filled after a zone change shows the new times
        rows = Load(window, std::string(CORVALE_SOURCE_DIR) + "/season/2003/Season.dat");
        EXPECT_EQ(rows[1][1], L"6:00p");
    });
}

TEST_F(SeasonListTest, OddLinesGiveDefinedRows)
{
    RunMainWindow([this](HWND window) {
        int result = -1;
        EXPECT_TRUE(Load(window, WriteFile("a/Season.dat", ""), &result).empty());
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(Load(window, WriteFile("b/Season.dat", "\"Season\",\"Kickoff\""), &result).empty());
        EXPECT_EQ(result, 1);
        std::string body = "\"Season\",\"Kickoff\"\r\n"
                           "\"X\",\"13:00\"\r\n"             // one character: no row
                           "\"XY\",\"13:00\"\r\n"            // two characters: a row
                           "\"Short time\",\"13\"\r\n"       // two characters of time: empty
                           "\"Three\",\"1:5\"\r\n"           // three and four characters: converted
                           "\"Four\",\"9:00\"\r\n"
                           "\"No colon\",\"1300\"\r\n"       // not a time: empty
                           "\"Bad minute\",\"13:75\"\r\n"
                           "\"Midnight\",\"24:00\"\r\n"     // Eastern 24 is midnight
                           "\"Empty\",\"\"\r\n"
                           "\r\n"                               // lines of a line break alone: no row
                           "\n"
                           "\"AB, C\",\"13:00\"\r\n"         // the comma cuts the game text
                           "\"Long\",\"" + std::string(1100, '1') + "\"\r\n"
                           "\"Last\",\"20:30\"\r\n";
        auto withEnd = Load(window, WriteFile("c/Season.dat", body), &result);
        EXPECT_EQ(result, 1);
        auto withoutEnd = Load(window, WriteFile("d/Season.dat", body.substr(0, body.size() - 2)));
        EXPECT_EQ(withEnd, withoutEnd);
        const std::vector<std::vector<std::wstring>> expected = {
            {L"XY", L"1:00p"}, {L"Short time", L""}, {L"Three", L"1:05a"}, {L"Four", L"9:00a"},
            {L"No colon", L""}, {L"Bad minute", L""}, {L"Midnight", L"12:00a"}, {L"Empty", L""},
            {L"AB", L""},  // the time field is " C\"", no time
            // 1023 bytes of the long line, then the rest of it as a line of its own.
            {L"Long", L""}, {std::wstring(1100 - 1015, L'1'), L""},
            {L"Last", L"8:30p"}};
        EXPECT_EQ(withEnd, expected);
        EXPECT_EQ(Load(window, home + "/missing/Season.dat", &result).size(), 0u);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Load(window, home, &result).size(), 0u);  // a folder: every read fails
        EXPECT_EQ(result, 0);
    });
}

}  // namespace
