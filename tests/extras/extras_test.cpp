// About, Calendar and Help: the About box ending when another window is
// activated, the calendar hidden and brought back, the help viewer started
// and closed with the main window.

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "extras/about.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"

#include <QJsonArray>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace {

class ExtrasTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }
};

// The About box run from its template, the check inside its loop; the
// result is what the dialog ended with.
INT_PTR RunAbout(const std::function<void(HWND)>& inside)
{
    QTimer::singleShot(50, [inside] { inside(FindWindowW(nullptr, L"About Corvale")); });
    HRSRC about = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
    return DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, about)), nullptr,
                                   AboutDialogProc, 0);
}

TEST_F(ExtrasTest, AboutEndsWhenTheMainWindowIsActivated)
{
    RunMainWindow([](HWND window) {
        INT_PTR seen = RunAbout([&](HWND about) {
            const QJsonArray controls = Dump(about)["controls"].toArray();
            EXPECT_EQ(controls.size(), 4);  // icon, version, name, empty menu bar
            EXPECT_EQ(controls[1]["text"].toString(), "Version 2.0.03");
            EXPECT_EQ(SendMessageW(about, WM_ACTIVATE, WA_ACTIVE, 0), 1);
            // Other commands and messages pass it by.
            EXPECT_EQ(SendMessageW(about, WM_COMMAND, 4242, 0), 0);
            EXPECT_EQ(SendMessageW(about, WM_USER, 0, 0), 0);
            // Nothing else takes the foreground while it is up.
            WaitMs(400);
            EXPECT_EQ(FindWindowW(nullptr, L"About Corvale"), about);
            SetForegroundWindow(window);
            EXPECT_EQ(FindWindowW(nullptr, L"About Corvale"), nullptr);  // ended
        });
        EXPECT_EQ(seen, 0);
        // OK and Cancel end it with their own IDs.
        for (WORD button : {IDOK, IDCANCEL}) {
            INT_PTR answer = -1;
            INT_PTR result = RunAbout([&](HWND about) { answer = SendMessageW(about, WM_COMMAND, button, 0); });
            EXPECT_EQ(answer, 1);
            EXPECT_EQ(result, button);
        }
        // The menu command opens the same box.
        EXPECT_TRUE(RunInsideDialog(window, IDM_ABOUT, L"About Corvale", [](HWND about) { SendMessageW(about, WM_COMMAND, IDOK, 0); }));
    });
}

TEST_F(ExtrasTest, CalendarCancelHidesItAndCalendarAgainShowsTheSameOne)
{
    RunMainWindow([](HWND window) {
        HWND first = nullptr;
        ASSERT_TRUE(RunInsideDialog(window, IDM_CALENDAR, L"RVL Calendar", [&](HWND calendar) {
            first = calendar;
            EXPECT_EQ(DumpedControl(calendar, IDC_MONTH_CALENDAR)["class"].toString(), "SysMonthCal32");
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, 4242, 0), 0);
            EXPECT_EQ(SendMessageW(calendar, WM_USER, 0, 0), 0);
            EXPECT_TRUE(IsWindowVisible(calendar));
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, IDCANCEL, 0), 1);
            EXPECT_FALSE(IsWindowVisible(calendar));
            EXPECT_EQ(FindWindowW(nullptr, L"RVL Calendar"), calendar);  // hidden, not ended
            EXPECT_TRUE(IsWindowVisible(window));
            // Choosing Calendar again brings back the same window.
            SendMessageW(window, WM_COMMAND, IDM_CALENDAR, 0);
            EXPECT_TRUE(IsWindowVisible(calendar));
            int calendars = 0;
            for (const std::string& line : ListForTest())
                calendars += line.find("\"caption\":\"RVL Calendar\"") != std::string::npos;
            EXPECT_EQ(calendars, 1);
            EXPECT_EQ(SendMessageW(calendar, WM_COMMAND, IDOK, 0), 1);
            EXPECT_EQ(FindWindowW(nullptr, L"RVL Calendar"), nullptr);  // ended
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
