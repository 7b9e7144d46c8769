// The program's windows while it waits on a slow server and when the
// desktop closes or leaves them: other processes are answered at once, the
// windows keep painting, input waits until the program is done, a second
// start never opens a second main window, and the close button, Escape and
// another application's activation close windows as their own cancel does.

#include "app/resources/resource.h"
#include "app/startup.h"
#include "platform/testing.h"
#include "settings/settings.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"

#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QWidget>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

constexpr int kDesktopScale = 2;  // desktop pixels to a handheld pixel

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Serves the final season, holding the first request until released.
struct HeldServer {
    HeldServer()
    {
        server.Get(R"(/sports/football/2003/(\w+)\.dat)", [this](const httplib::Request& request, httplib::Response& response) {
            if (requests++ == 0) {
                held = true;
                while (!released)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            std::ifstream file(SourcePath("season/2003/" + request.matches[1].str() + ".dat"), std::ios::binary);
            response.set_content(std::string(std::istreambuf_iterator<char>(file), {}), "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
    }
    ~HeldServer()
    {
        released = true;
        server.stop();
        thread.join();
    }

    httplib::Server server;
    std::thread thread;
    std::atomic<int> requests{0};
    std::atomic<bool> held{false};
    std::atomic<bool> released{false};
    int port = 0;
};

class ResponsiveTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("tests/fixtures/season-2003-week9");
        SetMessageBoxHookForTest([this](const std::wstring& text, const std::wstring&, UINT) {
            messages.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHookForTest(nullptr);
        InternetRedirectForTest(-1, -1);
        AppTest::TearDown();
    }

    std::vector<std::wstring> messages;
};

// Dark pixels of a screenshot inside a control's rectangle as a dump gives it.
int DarkPixels(const QImage& shot, const QJsonObject& window, const QJsonObject& control)
{
    QJsonArray outer = window["rect"].toArray(), inner = control["rect"].toArray();
    int x0 = (inner[0].toInt() - outer[0].toInt()) * kDesktopScale;
    int y0 = (inner[1].toInt() - outer[1].toInt()) * kDesktopScale;
    int dark = 0;
    for (int y = y0; y < y0 + inner[3].toInt() * kDesktopScale && y < shot.height(); ++y)
        for (int x = x0; x < x0 + inner[2].toInt() * kDesktopScale && x < shot.width(); ++x)
            dark += qGray(shot.pixel(x, y)) < 100;
    return dark;
}

// What another process sees and can do while the download waits on the server.
struct Observed {
    long long dumpMs = -1;           // how long the dump took to answer
    QJsonObject download;            // the download dialog's dump
    int darkInStatus = -1;           // dark pixels where its status image lies
    int selectStatus = -1;           // winspy select of a page tab
    int tabDuringWait = -1;          // the tab that shows meanwhile
    int secondExit = -2;             // a second start's exit status
    long long secondMs = -1;         // and how long it ran
    int mainWindows = -1;            // main windows once it ended
};

Observed ObserveTheWait(HeldServer& server, const std::string& home)
{
    Observed seen;
    while (!server.held)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well inside the wait
    Clock::time_point start = Clock::now();
    WinspyResult dump = Winspy({"dump", "RVL Download"});
    seen.dumpMs = MsSince(start);
    seen.download = QJsonDocument::fromJson(QByteArray::fromStdString(dump.output)).object();
    std::string shot = home + "/waiting.png";
    if (Winspy({"screenshot", "RVL Download", shot}).status == 0)
        seen.darkInStatus = DarkPixels(QImage(QString::fromStdString(shot)), seen.download, ControlOf(seen.download, IDC_CONNECTING));
    seen.selectStatus = Winspy({"select", "Corvale", "1001", "2"}).status;
    seen.tabDuringWait = ControlOf(DumpWindow("Corvale", "dialog"), IDC_PAGE_TABS)["selection"].toInt();
    start = Clock::now();
    pid_t second = StartBinary("corvale");
    seen.secondExit = WaitForExit(second, 10000);
    seen.secondMs = MsSince(start);
    seen.mainWindows = CountWindows("Corvale", "dialog");
    server.released = true;
    return seen;
}

TEST_F(ResponsiveTest, WhileTheDownloadWaitsOtherProcessesAreAnsweredAndInputWaits)
{
    HeldServer server;
    InternetRedirectForTest(80, server.port);
    Observed seen;
    RunMainWindow([&](HWND window) {
        std::thread observer([&] { seen = ObserveTheWait(server, home); });
        ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [](HWND) {}));
        EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Download") == nullptr; }, 15000));
        observer.join();
        // The download ended as usual, then the held input arrived.
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(ListCell(GetDlgItem(window, IDC_STANDINGS_LIST), 1, 1), L"14");  // the final season
        EXPECT_TRUE(WaitUntil([&] { return SendMessageW(GetDlgItem(window, IDC_PAGE_TABS), TCM_GETCURSEL, 0, 0) == 2; }));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_WEEK_LIST)));
    });
    EXPECT_GE(seen.dumpMs, 0);
    EXPECT_LT(seen.dumpMs, 1000);
    EXPECT_TRUE(ControlOf(seen.download, IDC_CONNECTING)["visible"].toBool());
    EXPECT_FALSE(ControlOf(seen.download, IDC_DOWNLOADING_STANDINGS)["visible"].toBool());
    EXPECT_GT(seen.darkInStatus, 50);  // the words "Connecting to Internet" are painted
    EXPECT_EQ(seen.selectStatus, 0);
    EXPECT_EQ(seen.tabDuringWait, 0);  // taken, but not yet given to the program
    EXPECT_EQ(seen.secondExit, 0);
    EXPECT_LT(seen.secondMs, 5000);
    EXPECT_EQ(seen.mainWindows, 1);
    EXPECT_EQ(server.requests, 2);
}

// A copy of the program that accepts connections but never answers (here:
// stopped) is still a running copy: a second start ends without a window.
TEST_F(ResponsiveTest, ACopyThatDoesNotAnswerStillCountsAsRunning)
{
    InstallSeason("season/2003");
    pid_t first = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    ASSERT_EQ(kill(first, SIGSTOP), 0);
    pid_t second = StartBinary("corvale");
    int status = WaitForExit(second, 15000);
    ASSERT_EQ(kill(first, SIGCONT), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(CountWindows("Corvale", "dialog"), 1);
    EXPECT_EQ(WindowPids("Corvale"), std::vector<pid_t>{first});
    Winspy({"close", "Corvale"});
    EXPECT_EQ(WaitForExit(first, 5000), 0);
}

// The close button and Escape close Options as its Cancel does.
TEST_F(ResponsiveTest, OptionsClosedByTheDesktopChangesNothing)
{
    RunMainWindow([&](HWND window) {
        SaveSettings();
        const std::string before = Registry();
        for (bool escape : {false, true}) {
            SCOPED_TRACE(escape ? "escape" : "close button");
            ASSERT_TRUE(RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [escape](HWND dialog) {
                ASSERT_TRUE(UserInput(dialog, "select", {"1023", "4"}));
                ASSERT_TRUE(UserInput(dialog, "select", {"1022", "9"}));
                ASSERT_TRUE(UserInput(dialog, escape ? "key" : "close", escape ? std::vector<std::string>{"Escape"} : std::vector<std::string>{}));
            }));
            EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Options") == nullptr; }));
            EXPECT_EQ(g_timeZoneIndex, 11);
            EXPECT_EQ(g_timeZoneOffset, 0);
            EXPECT_EQ(g_favouriteTeam, 0);
            EXPECT_EQ(Registry(), before);
            EXPECT_TRUE(IsWindowVisible(window));
        }
    });
}

// The real program: About goes when the help viewer, another process,
// opens; the close button of Options closes it.
TEST_F(ResponsiveTest, AboutClosesWhenTheHelpViewerOpens)
{
    InstallSeason("season/2003");
    std::filesystem::copy_file(SourcePath("season/2003/Ravelock.html"), installDir + "/Ravelock.html");
    pid_t program = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    DumpWhenLoaded();
    ASSERT_EQ(Winspy({"command", "Corvale", "40017"}).status, 0);
    ASSERT_TRUE(WaitForWindow("About Corvale", "dialog", 5000));
    ASSERT_EQ(Winspy({"command", "--kind", "dialog", "Corvale", "40015"}).status, 0);
    ASSERT_TRUE(WaitForWindow("Help", "help", 10000));
    EXPECT_TRUE(WaitForNoWindow("About Corvale", 5000));

    ASSERT_EQ(Winspy({"command", "--kind", "dialog", "Corvale", "40010"}).status, 0);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    EXPECT_EQ(Winspy({"close", "RVL Options"}).status, 0);
    EXPECT_TRUE(WaitForNoWindow("RVL Options", 5000));
    EXPECT_EQ(Winspy({"close", "--kind", "dialog", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(program, 5000), 0);
    EXPECT_TRUE(WaitForNoWindow("Help", 5000));
}

}  // namespace
