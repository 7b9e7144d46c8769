// The schedule table: 32 rows of 107 fields whatever the file holds, the
// 254-character cell read, and the pickers filled on the first load only.

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "tests/support/app_harness.h"

#include <sstream>

namespace {

class ScheduleTableTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }

    // A schedule line with `fields` comma fields: team code, name, then numbers.
    static std::string Line(int row, int fields)
    {
        std::ostringstream line;
        line << "T" << row << ",Team " << row;
        for (int k = 2; k < fields; ++k)
            line << "," << k;
        return line.str() + "\r\n";
    }

    std::wstring WritePath(const std::string& content)
    {
        std::string path = WriteFile("custom/Schedule.dat", content);
        return std::wstring(path.begin(), path.end());
    }

    static std::wstring Cell(int row, int column)
    {
        WCHAR cell[kCellChars] = {};
        ReadCell(row, column, cell);
        return cell;
    }
};

TEST_F(ScheduleTableTest, BundledScheduleFillsTheTable)
{
    RunMainWindow([](HWND) {
        EXPECT_EQ(Cell(0, 0), L"ARI");
        EXPECT_EQ(Cell(0, kNameColumn), L"Arizona");
        EXPECT_EQ(Cell(0, DateColumn(0)), L"9/7/2003 13:00");
        EXPECT_EQ(Cell(0, OddsColumn(0)), L"+3.5");
        EXPECT_EQ(Cell(31, kNameColumn), L"Washington");
        // The last field keeps no line end.
        EXPECT_EQ(Cell(0, HomeColumn(20)), L"0");
        EXPECT_EQ(Cell(0, 107), L"");
        EXPECT_EQ(Cell(32, 1), L"");
        EXPECT_EQ(Cell(-1, 1), L"");
    });
}

TEST_F(ScheduleTableTest, ShortLongAndMissingFieldsKeepTheirColumns)
{
    RunMainWindow([this](HWND window) {
        std::string content;
        content += Line(0, 110);                          // 110 fields: 0..106 kept
        content += Line(1, 50);                           // 50 fields: the rest empty
        content += "T2,Team 2,,9/7/2003 13:00,5\r\n";     // an empty field vanishes
        content += "T3," + std::string(300, 'n') + "\r\n";
        content += "\r\n";                                // lines of a line break alone:
        content += "\n";                                   // rows with every cell empty
        for (int row = 6; row < 20; ++row)
            content += Line(row, 107);
        EXPECT_EQ(LoadScheduleTable(window, WritePath(content).c_str()), 1);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_SCHEDULE_TABLE), LVM_GETITEMCOUNT, 0, 0), 32);
        EXPECT_EQ(Cell(0, 106), L"106");
        EXPECT_EQ(Cell(0, 107), L"");
        EXPECT_EQ(Cell(1, 49), L"49");
        EXPECT_EQ(Cell(1, 50), L"");
        EXPECT_EQ(Cell(2, 2), L"9/7/2003 13:00");
        EXPECT_EQ(Cell(2, 3), L"5");
        EXPECT_EQ(Cell(3, 1), std::wstring(254, L'n'));
        for (int row : {4, 5})
            EXPECT_EQ(Cell(row, 0) + Cell(row, 1) + Cell(row, 2), L"") << row;
        EXPECT_EQ(Cell(6, 0), L"T6");  // the rows after them keep their places
        EXPECT_EQ(Cell(19, 106), L"106");
        for (int row = 20; row < 32; ++row)
            EXPECT_EQ(Cell(row, 0) + Cell(row, 1) + Cell(row, 2), L"") << row;
    });
}

TEST_F(ScheduleTableTest, PickersAreFilledOnTheFirstLoadOnly)
{
    std::string content;
    for (int row = 0; row < 20; ++row)
        content += Line(row, 107);
    WriteFile("install/Schedule.dat", "ARI,Arizona,9/7/2003 13:00\r\n" + content);
    RunMainWindow([this](HWND window) {
        HWND teams = GetDlgItem(window, IDC_TEAM_PICKER);
        HWND weeks = GetDlgItem(window, IDC_WEEK_PICKER);
        // A first load of 21 lines: 11 empty team entries at the end.
        ASSERT_EQ(Entries(window, IDC_TEAM_PICKER).size(), 32u);
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER)[1], L"Team 0");
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER)[31], L"");
        SendMessageW(teams, CB_SETCURSEL, 5, 0);
        SendMessageW(weeks, CB_SETCURSEL, 3, 0);
        EXPECT_EQ(LoadScheduleTable(window, g_schedulePath), 1);
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER).size(), 32u);
        EXPECT_EQ(Entries(window, IDC_WEEK_PICKER).size(), 21u);
        EXPECT_EQ(SendMessageW(teams, CB_GETCURSEL, 0, 0), 5);
        EXPECT_EQ(SendMessageW(weeks, CB_GETCURSEL, 0, 0), 3);
        // A stream error (a folder in place of the file) leaves no row.
        std::wstring folder(home.begin(), home.end());
        EXPECT_EQ(LoadScheduleTable(window, folder.c_str()), 0);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_SCHEDULE_TABLE), LVM_GETITEMCOUNT, 0, 0), 0);
        // A missing file empties the table and leaves the pickers alone.
        EXPECT_EQ(LoadScheduleTable(window, L"/nonexistent/Schedule.dat"), 0);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_SCHEDULE_TABLE), LVM_GETITEMCOUNT, 0, 0), 0);
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER).size(), 32u);
        // Emptied, the pickers are filled again as on a first load.
        SendMessageW(teams, CB_RESETCONTENT, 0, 0);
        SendMessageW(weeks, CB_RESETCONTENT, 0, 0);
        EXPECT_EQ(LoadScheduleTable(window, g_schedulePath), 1);
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER).size(), 32u);
        EXPECT_EQ(Entries(window, IDC_TEAM_PICKER)[1], L"Team 0");
        EXPECT_EQ(Entries(window, IDC_WEEK_PICKER).size(), 21u);
    });
}

}  // namespace
