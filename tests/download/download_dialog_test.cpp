// The Download command in the main window: both files fetched from a
// loopback server, the lists reloaded for the user's selections, and a
// failure reported in a message box with the main window left as it was.

#include "app/resources/resource.h"
#include "app/startup.h"
#include "download/fetch.h"
#include "platform/internal.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/servers.h"

namespace {

using Rows = std::vector<std::vector<std::wstring>>;

struct Message {
    std::wstring text, caption;
    UINT type = 0;
    int count = 0;
};

class DownloadTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("tests/fixtures/season-2003-week9");
        InternetTimeoutsForTest(1000, 1000);
        SetMessageBoxHookForTest([this](const std::wstring& text, const std::wstring& caption, UINT type) {
            message = {text, caption, type, message.count + 1};
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHookForTest(nullptr);
        InternetRedirectForTest(-1, -1);
        InternetTimeoutsForTest(0, 0);
        AppTest::TearDown();
    }
    // The final season's files, as the data server would hold them.
    static Bodies FinalSeason()
    {
        return {{"/sports/football/2003/Standings.dat", ReadFile(SourcePath("season/2003/Standings.dat"))},
                {"/sports/football/2003/Schedule.dat", ReadFile(SourcePath("season/2003/Schedule.dat"))}};
    }
    // Chooses File > Download and waits until its dialog has come and gone.
    static void Download(HWND window)
    {
        ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [](HWND) {}));
        EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Download") == nullptr; }, 8000));
        EXPECT_TRUE(IsWindowVisible(window));
    }
    static Rows List(HWND window, int id) { return ListRows(GetDlgItem(window, id)); }

    Message message;
};

TEST_F(DownloadTest, SuccessReloadsListsForTheSelectionsTheUserHad)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        std::string error;
        ASSERT_TRUE(platform::ControlInput(window, "select", {"1022", "5"}, error));  // Chicago
        ASSERT_TRUE(platform::ControlInput(window, "select", {"1023", "12"}, error));  // Week 13
        const Rows seasonBefore = List(window, IDC_SEASON_LIST);
        const Rows weekBefore = List(window, IDC_WEEK_LIST);
        EXPECT_NE(List(window, IDC_STANDINGS_LIST)[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));

        Download(window);
        EXPECT_EQ(server.requests, 2);
        EXPECT_EQ(message.count, 0);
        EXPECT_EQ(List(window, IDC_STANDINGS_LIST)[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_GETCURSEL, 0, 0), 5);
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_WEEK_PICKER), CB_GETCURSEL, 0, 0), 12);
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_TOTAL_WINS)), L"7");  // Chicago's final 7-9
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_TOTAL_LOSSES)), L"9");
        const Rows weekAfter = List(window, IDC_WEEK_LIST);
        ASSERT_EQ(weekAfter.size(), weekBefore.size());
        EXPECT_NE(weekAfter, weekBefore);  // the week's scores arrived
        EXPECT_NE(weekAfter[0][1].find_first_of(L"0123456789"), std::wstring::npos);
        EXPECT_EQ(List(window, IDC_SEASON_LIST), seasonBefore);
        EXPECT_EQ(platform::CursorName(), "none");
    });
    EXPECT_EQ(ReadFile(installDir + "/Schedule.dat"), ReadFile(SourcePath("season/2003/Schedule.dat")));
}

TEST_F(DownloadTest, UnreachableServerShowsTheErrorAndKeepsTheWindowAsItWas)
{
    int port = 0;
    int bound = Listener(false, &port);
    InternetRedirectForTest(80, port);
    const std::string scheduleBefore = ReadFile(installDir + "/Schedule.dat");
    RunMainWindow([&](HWND window) {
        const Rows standings = List(window, IDC_STANDINGS_LIST), team = List(window, IDC_TEAM_LIST);
        Download(window);
        EXPECT_EQ(message.count, 1);
        EXPECT_EQ(message.text, L"Send Request Error 12029\nThe attempt to connect to the server failed.");
        EXPECT_EQ(message.caption, L"Corvale");
        EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(List(window, IDC_STANDINGS_LIST), standings);
        EXPECT_EQ(List(window, IDC_TEAM_LIST), team);
        EXPECT_EQ(platform::CursorName(), "none");
    });
    close(bound);
    EXPECT_EQ(ReadFile(installDir + "/Schedule.dat"), scheduleBefore);
}

// The standings arrive, the schedule is refused: the new standings wait on
// disk for the next start, the window keeps what it showed.
TEST_F(DownloadTest, RefusedScheduleAfterNewStandings)
{
    Bodies bodies = FinalSeason();
    bodies.erase("/sports/football/2003/Schedule.dat");
    HttpServer server(bodies);
    InternetRedirectForTest(80, server.port);
    const std::string scheduleBefore = ReadFile(installDir + "/Schedule.dat");
    RunMainWindow([&](HWND window) {
        const Rows standings = List(window, IDC_STANDINGS_LIST);
        Download(window);
        EXPECT_EQ(message.text, L"Server Refused 404\nNot Found");
        EXPECT_EQ(List(window, IDC_STANDINGS_LIST), standings);
    });
    EXPECT_EQ(ReadFile(installDir + "/Standings.dat"), ReadFile(SourcePath("season/2003/Standings.dat")));
    EXPECT_EQ(ReadFile(installDir + "/Schedule.dat"), scheduleBefore);
}

TEST_F(DownloadTest, CancelBeforeTheTransferFetchesNothing)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download",
                                    [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }));
        WaitMs(300);  // past the moment the transfer would have started
        EXPECT_EQ(FindWindowW(nullptr, L"RVL Download"), nullptr);
        EXPECT_TRUE(IsWindowVisible(window));
    });
    EXPECT_EQ(server.requests, 0);
}

// Each fetch shows exactly one status image: connecting, then downloading
// standings once sent; downloading schedules throughout the schedule.
TEST_F(DownloadTest, StatusImagesFollowTheFetches)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        std::vector<std::vector<bool>> shown;
        auto images = [&](HWND dialog) {
            std::vector<bool> visible;
            for (int id : {IDC_CONNECTING, IDC_DOWNLOADING_SCHEDULES, IDC_DOWNLOADING_STANDINGS})
                visible.push_back(IsWindowVisible(GetDlgItem(dialog, id)));
            shown.push_back(visible);
        };
        RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [&](HWND dialog) {
            KillTimer(dialog, 1);  // the test runs the fetches itself
            images(dialog);
            EXPECT_EQ(FetchStandings(dialog), 1);
            images(dialog);
            EXPECT_EQ(FetchSchedule(dialog), 1);
            images(dialog);
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(shown, (std::vector<std::vector<bool>>{{false, false, false}, {false, false, true}, {false, true, false}}));
    });
}

}  // namespace
