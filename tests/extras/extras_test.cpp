// About, Calendar and Help: the About box ending when another window is
// activated, the calendar hidden and brought back, the help viewer started
// and closed with the main window.

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "platform/internal.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"

#include <QTimer>

#include <filesystem>

namespace {

class ExtrasTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }
};

TEST_F(ExtrasTest, AboutEndsWhenTheMainWindowIsActivated)
{
    RunMainWindow([](HWND window) {
        INT_PTR seen = -1;
        bool ended = RunInsideDialog(window, IDM_ABOUT, L"About Corvale", [&](HWND about) {
            EXPECT_EQ(about->children.size(), 4u);  // icon, version, name, empty menu bar
            EXPECT_EQ(about->children[1]->text, L"Version 2.0.03");
            EXPECT_EQ(SendMessageW(about, WM_ACTIVATE, WA_ACTIVE, 0), 1);
            // Other commands and messages pass it by.
            EXPECT_EQ(SendMessageW(about, WM_COMMAND, 4242, 0), 0);
            EXPECT_EQ(SendMessageW(about, WM_USER, 0, 0), 0);
            // Nothing else takes the foreground while it is up.
            WaitMs(400);
            EXPECT_FALSE(about->ended);
            platform::ActivateWindow(window);
            seen = about->ended ? about->result : -1;
        });
        EXPECT_TRUE(ended);
        EXPECT_EQ(seen, 0);
        // OK and Cancel end it with their own IDs.
        for (WORD button : {IDOK, IDCANCEL}) {
            INT_PTR answer = -1, result = -1;
            EXPECT_TRUE(RunInsideDialog(window, IDM_ABOUT, L"About Corvale", [&](HWND about) {
                answer = SendMessageW(about, WM_COMMAND, button, 0);
                result = about->ended ? about->result : -1;
            }));
            EXPECT_EQ(answer, 1);
            EXPECT_EQ(result, button);
        }
    });
}

TEST_F(ExtrasTest, CalendarCancelHidesItAndCalendarAgainShowsTheSameOne)
{
    RunMainWindow([](HWND window) {
        HWND first = nullptr;
        ASSERT_TRUE(RunInsideDialog(window, IDM_CALENDAR, L"RVL Calendar", [&](HWND calendar) {
            first = calendar;
            EXPECT_EQ(GetDlgItem(calendar, IDC_MONTH_CALENDAR)->className, L"SysMonthCal32");
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, 4242, 0), 0);
            EXPECT_EQ(SendMessageW(calendar, WM_USER, 0, 0), 0);
            EXPECT_TRUE(IsWindowVisible(calendar));
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, IDCANCEL, 0), 1);
            EXPECT_FALSE(IsWindowVisible(calendar));
            EXPECT_FALSE(calendar->ended);
            EXPECT_TRUE(IsWindowVisible(window));
            // Choosing Calendar again brings back the same window.
            SendMessageW(window, WM_COMMAND, IDM_CALENDAR, 0);
            EXPECT_TRUE(IsWindowVisible(calendar));
            int calendars = 0;
            for (WindowObject* top : platform::TopLevelWindows())
                calendars += top->text == L"RVL Calendar";
            EXPECT_EQ(calendars, 1);
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, IDOK, 0), 1);
            EXPECT_TRUE(calendar->ended);
        }));
        EXPECT_NE(first, nullptr);
    });
}

// The help viewer is a program of its own: this one runs the real binaries.
TEST_F(ExtrasTest, HelpStartsAViewerEachTimeAndClosingTheMainWindowClosesThem)
{
    std::filesystem::copy_file(SourcePath("season/2003/Ravelock.html"), installDir + "/Ravelock.html");
    pid_t program = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    EXPECT_EQ(Winspy({"command", "Corvale", "40015"}).status, 0);
    EXPECT_EQ(Winspy({"command", "Corvale", "40015"}).status, 0);
    EXPECT_TRUE(WaitUntil([] { return CountWindows("Help") == 2; }, 10000));
    WinspyResult dump = Winspy({"dump", "--kind", "help", "Help"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_NE(dump.output.find("\"visible\":true"), std::string::npos);
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(program, 10000), 0);
    // Closing the main window closed the newest viewer.
    EXPECT_TRUE(WaitUntil([] { return CountWindows("Help") == 1; }, 10000));
    Winspy({"close", "Help"});
    EXPECT_TRUE(WaitUntil([] { return CountWindows("Help") == 0; }, 10000));
}

}  // namespace
