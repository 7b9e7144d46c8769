// The Download command in the main window: both files fetched from a
// loopback server, the lists reloaded for the user's selections, and every
// failure reported in a message box with the files on disk and the window
// left as they were.

#include "app/resources/resource.h"
#include "app/startup.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/servers.h"

#include <QJsonObject>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

namespace {

using Rows = std::vector<std::vector<std::wstring>>;

const char kStandingsPath[] = "/sports/football/2003/Standings.dat";
const char kSchedulePath[] = "/sports/football/2003/Schedule.dat";
const std::wstring kUnusable = L"Invalid File 12152\nThe server response could not be parsed.";

struct Message {
    std::wstring text, caption;
    UINT type = 0;
    int count = 0;
};

// What the main window shows on its pages, as a person would see it.
struct Pages {
    Rows standings, team, week, season;
    std::vector<std::wstring> record;  // the record bar's figures
    LRESULT teamPick = 0, weekPick = 0;
    std::wstring title;                // the standings title as last drawn
};

std::wstring Title(HWND window)
{
    const std::vector<std::wstring> painted = Painted(window, IDC_STANDINGS_TITLE);
    return painted.empty() ? L"" : painted.back();
}

Pages Snapshot(HWND window)
{
    Pages pages;
    pages.standings = ListRows(window, IDC_STANDINGS_LIST);
    pages.team = ListRows(window, IDC_TEAM_LIST);
    pages.week = ListRows(window, IDC_WEEK_LIST);
    pages.season = ListRows(window, IDC_SEASON_LIST);
    for (int id = IDC_TOTAL_WINS; id <= IDC_ROAD_TIES; ++id)
        pages.record.push_back(WindowText(GetDlgItem(window, id)));
    pages.teamPick = SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_GETCURSEL, 0, 0);
    pages.weekPick = SendMessageW(GetDlgItem(window, IDC_WEEK_PICKER), CB_GETCURSEL, 0, 0);
    pages.title = Title(window);
    return pages;
}

void ExpectSamePages(const Pages& now, const Pages& before)
{
    EXPECT_EQ(now.standings, before.standings);
    EXPECT_EQ(now.team, before.team);
    EXPECT_EQ(now.week, before.week);
    EXPECT_EQ(now.season, before.season);
    EXPECT_EQ(now.record, before.record);
    EXPECT_EQ(now.teamPick, before.teamPick);
    EXPECT_EQ(now.weekPick, before.weekPick);
    EXPECT_EQ(now.title, before.title);
}

// The names of the download dialog's status images that are shown.
std::string ShownImages()
{
    HWND dialog = FindWindowW(nullptr, L"RVL Download");
    std::string shown;
    const std::pair<int, const char*> images[] = {{IDC_CONNECTING, "Connecting"},
                                                  {IDC_DOWNLOADING_STANDINGS, "Downloading Standings"},
                                                  {IDC_DOWNLOADING_SCHEDULES, "Downloading Schedules"}};
    for (const auto& [id, name] : images)
        if (dialog && DumpedControl(dialog, id)["visible"].toBool())
            shown += shown.empty() ? name : std::string(" + ") + name;
    return shown.empty() ? "none" : shown;
}

// A file's name as these tests speak of it: a temporary file (PPPXXXX.TMP)
// by its prefix alone, "Sta*.TMP".
std::string Spoken(const std::wstring& path)
{
    std::wstring name = path.substr(path.rfind(L'/') + 1);
    if (name.size() > 7 && name.ends_with(L".TMP"))
        name = name.substr(0, 3) + L"*.TMP";
    return std::string(name.begin(), name.end());
}

std::string Edited(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class DownloadTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("tests/fixtures/season-2003-week9");
        SetClockSpeedForTest(15);  // a second of silence ends a transfer
        SetMessageBoxHookForTest([this](const std::wstring& text, const std::wstring& caption, UINT type) {
            message = {text, caption, type, message.count + 1};
            if (onMessage)
                onMessage();
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHookForTest(nullptr);
        WatchCallsForTest(nullptr);
        ClearFaultsForTest();
        InternetRedirectForTest(-1, -1);
        SetClockSpeedForTest(1);
        AppTest::TearDown();
    }
    static std::string Final(const char* name) { return ReadFile(SourcePath(std::string("season/2003/") + name)); }
    // The final season's files, as the data server would hold them.
    static Bodies FinalSeason() { return {{kStandingsPath, Final("Standings.dat")}, {kSchedulePath, Final("Schedule.dat")}}; }
    // Chooses File > Download and waits until its dialog has come and gone.
    static void Download(HWND window)
    {
        ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [](HWND) {}));
        EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Download") == nullptr; }, 8000));
        EXPECT_TRUE(IsWindowVisible(window));
    }
    static Rows List(HWND window, int id) { return ListRows(window, id); }
    std::string Installed(const char* name) { return ReadFile(installDir + "/" + name); }
    // Files of the install directory other than the three data files.
    std::vector<std::string> Leftovers()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(installDir))
            if (entry.path().extension() != ".dat")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The file operations on the install directory, in order, with each run
    // of writes to one file counted once.
    void RecordFileOperations(std::vector<std::string>& order)
    {
        WatchCallsForTest([this, &order](const std::string& operation, const std::wstring& path) {
            std::wstring dir(installDir.begin(), installDir.end());
            static const std::set<std::string> kept = {"create", "write", "flush", "close", "move", "sync folder"};
            if (path.rfind(dir, 0) != 0 || !kept.count(operation))
                return;
            std::string entry = operation + " " + (path == dir ? std::string("install") : Spoken(path));
            if (order.empty() || order.back() != entry || operation != "write")
                order.push_back(entry);
        });
    }

    Message message;
    std::function<void()> onMessage;  // runs while the message box is up
};

TEST_F(DownloadTest, SuccessReloadsListsForTheSelectionsTheUserHad)
{
    // A new season label, which the standings title shows afterwards.
    Bodies bodies = FinalSeason();
    bodies[kStandingsPath] = Edited(bodies[kStandingsPath], "\"2003\",", "\"2003 Final\",");
    HttpServer server(bodies);
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        ASSERT_TRUE(UserInput(window, "select", {"1022", "5"}));  // Chicago
        ASSERT_TRUE(UserInput(window, "select", {"1023", "12"}));  // Week 13
        const Rows seasonBefore = List(window, IDC_SEASON_LIST);
        const Rows weekBefore = List(window, IDC_WEEK_LIST);
        EXPECT_NE(List(window, IDC_STANDINGS_LIST)[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));
        EXPECT_TRUE(WaitUntil([&] { return Title(window) == L" 2003 NFL Standings "; }));

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
        EXPECT_FALSE(WaitCursorShown());
        EXPECT_TRUE(WaitUntil([&] { return Title(window) == L" 2003 Final NFL Standings "; }));
        EXPECT_EQ(Title(window), L" 2003 Final NFL Standings ");
    });
    EXPECT_EQ(Installed("Schedule.dat"), Final("Schedule.dat"));
    EXPECT_EQ(Installed("Standings.dat"), bodies[kStandingsPath]);
}

// Each file is written, flushed to the disk and closed before it takes the
// old file's name, and the folder is synced after: a power cut leaves the
// old file or the new one, whole.
TEST_F(DownloadTest, EachFileReachesTheDiskBeforeItTakesTheOldName)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    std::vector<std::string> order;
    RecordFileOperations(order);
    RunMainWindow([&](HWND window) {
        Download(window);
        EXPECT_EQ(message.count, 0);
    });
    EXPECT_EQ(order, (std::vector<std::string>{
                         "create Sta*.TMP", "write Sta*.TMP", "flush Sta*.TMP", "close Sta*.TMP",
                         "move Standings.dat", "close Sta*.TMP", "sync folder install",
                         "create Sch*.TMP", "write Sch*.TMP", "flush Sch*.TMP", "close Sch*.TMP",
                         "move Schedule.dat", "close Sch*.TMP", "sync folder install"}));
    EXPECT_EQ(Installed("Schedule.dat"), Final("Schedule.dat"));
    EXPECT_EQ(Installed("Standings.dat"), Final("Standings.dat"));
}

// Every way a download can fail: the message box says which step failed
// and why; the schedule on disk stays byte for byte, the standings too
// unless they had already been stored whole, no temporary file is left,
// the pages show what they showed, and the next start opens the window.
TEST_F(DownloadTest, FailuresKeepTheFilesAndTheWindowAsTheyWere)
{
    const std::string standings = Final("Standings.dat"), schedule = Final("Schedule.dat");
    struct Fault {
        const char* operation;  // the file operation that fails, or none
        int nth;                // its occurrence on the file
        const char* file;       // the file's name, as Spoken gives it
        int error;              // the system error it fails with
    };
    struct Case {
        const char* name;
        std::string standings, schedule;  // the bodies served
        Statuses statuses;
        Fault fault;
        std::wstring message;
        bool standingsStored;  // the standings fetch had succeeded
    };
    const Fault none = {nullptr, 0, "", 0};
    const Case cases[] = {
        {"sign-in page as the standings", SignInPage(), SignInPage(), {}, none, kUnusable, false},
        {"sign-in page as the schedule", standings, SignInPage(), {}, none, kUnusable, true},
        {"schedule of 2004", standings, Edited(schedule, "/2003 ", "/2004 "), {}, none, kUnusable, true},
        {"empty standings", "", schedule, {}, none, kUnusable, false},
        {"empty schedule", standings, "", {}, none, kUnusable, true},
        {"standings cut short", standings.substr(0, 300), schedule, {}, none, kUnusable, false},
        {"schedule cut short", standings, schedule.substr(0, schedule.size() * 2 / 3), {}, none, kUnusable, true},
        {"no content", standings, schedule, {{kStandingsPath, 204}}, none, L"Server Refused 204\nNo Content", false},
        {"moved", standings, schedule, {{kStandingsPath, 301}}, none, L"Server Refused 301\nMoved Permanently", false},
        {"standings not found", standings, schedule, {{kStandingsPath, 404}}, none, L"Server Refused 404\nNot Found", false},
        {"schedule not found", standings, schedule, {{kSchedulePath, 404}}, none, L"Server Refused 404\nNot Found", true},
        {"server error", standings, schedule, {{kSchedulePath, 500}}, none,
         L"Server Refused 500\nInternal Server Error", true},
        {"disk full on the schedule's third piece", standings, schedule, {}, {"write", 3, "Sch*.TMP", ENOSPC},
         L"File Error 112\nError", true},
        {"short write of the standings", standings, schedule, {}, {"write", 1, "Sta*.TMP", EIO},
         L"File Error 31\nError", false},
        {"no room for the temporary file", standings, schedule, {}, {"create", 1, "Sta*.TMP", EACCES},
         L"File Error 5\nError", false},
        {"flush fails", standings, schedule, {}, {"flush", 1, "Sch*.TMP", EIO}, L"File Error 31\nError", true},
        {"close fails", standings, schedule, {}, {"close", 1, "Sta*.TMP", EDQUOT}, L"File Error 112\nError",
         false},
        {"rename fails", standings, schedule, {}, {"move", 1, "Schedule.dat", EACCES}, L"File Error 5\nError", true},
    };
    const std::string scheduleBefore = Installed("Schedule.dat");
    Pages before;
    RunMainWindow([&](HWND window) {
        EXPECT_TRUE(WaitUntil([&] { return !Title(window).empty(); }));
        before = Snapshot(window);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            HttpServer server(Bodies{{kStandingsPath, c.standings}, {kSchedulePath, c.schedule}}, c.statuses);
            InternetRedirectForTest(80, server.port);
            if (c.fault.operation)  // the file's name as spoken, up to its '*'
                FailCallForTest(c.fault.operation, c.fault.nth, c.fault.error, ::Fault::Once,
                                std::string(c.fault.file).substr(0, std::string(c.fault.file).find('*')));
            const std::string standingsBefore = Installed("Standings.dat");
            const int shown = message.count;
            Download(window);
            EXPECT_EQ(message.count, shown + 1);
            EXPECT_EQ(message.text, c.message);
            EXPECT_EQ(message.caption, L"Corvale");
            EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
            EXPECT_TRUE(Installed("Schedule.dat") == scheduleBefore);
            EXPECT_TRUE(Installed("Standings.dat") == (c.standingsStored ? standings : standingsBefore));
            EXPECT_EQ(Leftovers(), std::vector<std::string>{});
            ExpectSamePages(Snapshot(window), before);
            EXPECT_FALSE(WaitCursorShown());
            EXPECT_EQ(CheckScheduleSeason(g_schedulePath), 1);
            ClearFaultsForTest();
        }
    });
    // The next start: the kept schedule, and the standings stored whole
    // before a refused schedule.
    RunMainWindow([&](HWND window) {
        const Pages after = Snapshot(window);
        EXPECT_EQ(after.team, before.team);
        EXPECT_EQ(after.week, before.week);
        EXPECT_EQ(after.standings[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));
    });
}

// A server that cannot be reached: the message names the step and the
// system's reason, as for any failure.
TEST_F(DownloadTest, UnreachableServerShowsTheErrorAndKeepsTheWindowAsItWas)
{
    int port = 0;
    int bound = Listener(false, &port);
    InternetRedirectForTest(80, port);
    const std::string scheduleBefore = Installed("Schedule.dat");
    RunMainWindow([&](HWND window) {
        const Pages before = Snapshot(window);
        Download(window);
        EXPECT_EQ(message.count, 1);
        EXPECT_EQ(message.text, L"Send Request Error 12029\nThe attempt to connect to the server failed.");
        ExpectSamePages(Snapshot(window), before);
    });
    close(bound);
    EXPECT_EQ(Installed("Schedule.dat"), scheduleBefore);
}

// The failure message box belongs to the main window, which stays shown
// behind it.
TEST_F(DownloadTest, FailureMessageIsOwnedByTheMainWindow)
{
    SetMessageBoxHookForTest(nullptr);
    HttpServer server(Bodies{{kStandingsPath, SignInPage()}});
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        std::wstring text;
        HWND owner = nullptr;
        bool mainShown = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            HWND box = FindWindowW(nullptr, L"Corvale");  // the newest of that caption
            QJsonObject dump = Dump(box);
            if (dump["kind"].toString() != "messagebox" || !dump["visible"].toBool())
                return;
            text = dump["text"].toString().toStdWString();
            owner = GetParent(box);
            mainShown = IsWindowVisible(window);
            UserInput(box, "close", {});
        });
        poll.start();
        Download(window);
        EXPECT_EQ(text, kUnusable);
        EXPECT_EQ(owner, window);
        EXPECT_TRUE(mainShown);
    });
}

// Connecting shows until the request is sent; the standings image from
// then on, even when the server refuses; the schedule image throughout
// the schedule's fetch.
TEST_F(DownloadTest, StatusImagesShowEachStepAsItHappens)
{
    struct Case {
        const char* name;
        bool reachable;
        Statuses statuses;
        std::vector<std::string> seen;  // moment: images shown
    };
    const Case cases[] = {
        {"both files", true, {}, {"standings stored: Downloading Standings", "schedule stored: Downloading Schedules"}},
        {"no server", false, {}, {"message: Connecting"}},
        {"standings refused", true, {{kStandingsPath, 404}}, {"message: Downloading Standings"}},
        {"schedule refused", true, {{kSchedulePath, 404}},
         {"standings stored: Downloading Standings", "message: Downloading Schedules"}},
    };
    int unreachablePort = 0;
    int bound = Listener(false, &unreachablePort);
    RunMainWindow([&](HWND window) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            HttpServer server(FinalSeason(), c.statuses);
            InternetRedirectForTest(80, c.reachable ? server.port : unreachablePort);
            std::vector<std::string> seen;
            WatchCallsForTest([&](const std::string& operation, const std::wstring& path) {
                if (operation == "create")
                    seen.push_back((Spoken(path) == "Sta*.TMP" ? "standings stored: " : "schedule stored: ") +
                                   ShownImages());
            });
            onMessage = [&] { seen.push_back("message: " + ShownImages()); };
            Download(window);
            EXPECT_EQ(seen, c.seen);
        }
    });
    close(bound);
}

// The largest body taken is 4 MiB: a schedule padded to exactly that is
// stored and shown, one byte more is refused.
TEST_F(DownloadTest, BodyOf4MiBIsKeptOneByteMoreRefused)
{
    const std::string schedule = Final("Schedule.dat");
    const size_t limit = 4 * 1024 * 1024;
    std::string padded = schedule;
    while (padded.size() < limit)
        padded += "padding after the team lines, which the table never reads\r\n";
    padded.resize(limit);
    Bodies bodies = FinalSeason();
    bodies[kSchedulePath] = padded;
    RunMainWindow([&](HWND window) {
        const Rows teamBefore = List(window, IDC_TEAM_LIST);
        {
            HttpServer server(bodies);
            InternetRedirectForTest(80, server.port);
            Download(window);
        }
        EXPECT_EQ(message.count, 0);
        EXPECT_TRUE(Installed("Schedule.dat") == padded);
        EXPECT_NE(List(window, IDC_TEAM_LIST), teamBefore);  // the final scores

        bodies[kSchedulePath] = padded + "\n";
        const Pages before = Snapshot(window);
        HttpServer server(bodies);
        InternetRedirectForTest(80, server.port);
        Download(window);
        EXPECT_EQ(message.count, 1);
        EXPECT_EQ(message.text,
                  L"File Too Large 12152\nThe server announced 4194305 bytes; a data file may have at most 4194304.");
        ExpectSamePages(Snapshot(window), before);
    });
    EXPECT_TRUE(Installed("Schedule.dat") == padded);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// A link planted at a name a Download's temporary file takes (the first
// PPPXXXX.TMP names of both files, and the names an older build used) is
// never written through: its target keeps its bytes, and the data files
// come in as files of their own. What a Download killed part way left is
// removed.
TEST_F(DownloadTest, LinksPlantedAtTemporaryNamesAreNeverWrittenThrough)
{
    const std::string target = WriteFile("precious.txt", "precious");
    for (const char* prefix : {"Sta", "Sch"}) {
        for (unsigned number = 1; number <= 0x100; ++number) {
            char name[16];
            std::snprintf(name, sizeof name, "%s%X.TMP", prefix, number);
            std::string path = installDir + "/" + name;
            if (number % 16 == 7)
                WriteFile("install/" + std::string(name), "left by a Download that was killed");
            else
                ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        }
    }
    for (const char* name : {"Standings.dat.part", "Schedule.dat.part"})
        std::filesystem::create_symlink(target, installDir + "/" + name);
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        Download(window);
        EXPECT_EQ(message.count, 0);
    });
    EXPECT_EQ(ReadFile(target), "precious");
    EXPECT_EQ(Installed("Standings.dat"), Final("Standings.dat"));
    EXPECT_EQ(Installed("Schedule.dat"), Final("Schedule.dat"));
    EXPECT_FALSE(std::filesystem::is_symlink(installDir + "/Standings.dat"));
    EXPECT_EQ(Leftovers(), (std::vector<std::string>{"Schedule.dat.part", "Standings.dat.part"}));
}

// Once a file has taken the old one's name it is stored, even when the
// folder sync after the rename fails: no message, and the pages show it.
TEST_F(DownloadTest, AFileIsStoredOnceItHasTheOldName)
{
    Bodies bodies = FinalSeason();
    bodies[kStandingsPath] = Edited(bodies[kStandingsPath], "\"2003\",", "\"2003 Final\",");
    HttpServer server(bodies);
    InternetRedirectForTest(80, server.port);
    FailCallForTest("sync folder", 1, EIO, Fault::FromThenOn);
    RunMainWindow([&](HWND window) {
        const Rows teamBefore = List(window, IDC_TEAM_LIST);
        Download(window);
        EXPECT_EQ(message.count, 0);
        EXPECT_NE(List(window, IDC_TEAM_LIST), teamBefore);  // the final scores
        EXPECT_TRUE(WaitUntil([&] { return Title(window) == L" 2003 Final NFL Standings "; }));
    });
    EXPECT_EQ(Installed("Schedule.dat"), Final("Schedule.dat"));
    EXPECT_EQ(Installed("Standings.dat"), bodies[kStandingsPath]);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// Cancel or OK between the transfer and the views: the new standings and
// schedule table stay with the old Team and Week pages, and the wait cursor
// goes with the dialog.
TEST_F(DownloadTest, EndedBetweenTheStagesLeavesNoWaitCursor)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    for (int command : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(command);
        InstallSeason("tests/fixtures/season-2003-week9");
        RunMainWindow([&](HWND window) {
            SetClockSpeedForTest(1);  // the views' timer 100 ms after the transfer, as a person has it
            const Rows teamBefore = List(window, IDC_TEAM_LIST), weekBefore = List(window, IDC_WEEK_LIST);
            // The schedule's rename is the transfer's last step: the command
            // arrives once it is over, before the views' timer.
            WatchCallsForTest([command](const std::string& operation, const std::wstring& path) {
                if (operation == "move" && path.ends_with(L"Schedule.dat"))
                    PostMessageW(FindWindowW(nullptr, L"RVL Download"), WM_COMMAND, command, 0);
            });
            Download(window);
            EXPECT_EQ(message.count, 0);
            EXPECT_FALSE(WaitCursorShown());
            EXPECT_EQ(List(window, IDC_STANDINGS_LIST)[1], (std::vector<std::wstring>{L"New England", L"14", L"2", L"0", L".875"}));
            EXPECT_EQ(List(window, IDC_TEAM_LIST), teamBefore);
            EXPECT_EQ(List(window, IDC_WEEK_LIST), weekBefore);
            WatchCallsForTest(nullptr);
        });
    }
    EXPECT_EQ(server.requests, 4);
}

TEST_F(DownloadTest, CancelBeforeTheTransferFetchesNothing)
{
    HttpServer server(FinalSeason());
    InternetRedirectForTest(80, server.port);
    RunMainWindow([&](HWND window) {
        SetClockSpeedForTest(1);  // the dialog's 100 ms before its first stage, as a person has them
        ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download",
                                    [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }));
        WaitMs(300);  // past the moment the transfer would have started
        EXPECT_EQ(FindWindowW(nullptr, L"RVL Download"), nullptr);
        EXPECT_TRUE(IsWindowVisible(window));
    });
    EXPECT_EQ(server.requests, 0);
}

// Cancel, Escape or the close button while the transfer waits on a slow
// server ends the Download at once: no message, the old files byte for
// byte, no temporary file, no wait cursor, the main window back and usable.
TEST_F(DownloadTest, CancelWhileTheTransferWaitsEndsItAtOnce)
{
    struct Case {
        const char* name;
        std::string reply;  // what the server sends before it trickles or falls silent
        End end;
        const char* verb;   // the person's input, through the inspector
        std::vector<std::string> arguments;
    };
    const std::string trickled = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    const Case cases[] = {
        {"Cancel while the body trickles", trickled, End::Trickle, "command", {"2"}},
        {"Escape while the body trickles", trickled, End::Trickle, "key", {"Escape"}},
        {"close button while the server is silent", "", End::Hold, "close", {}},
    };
    const std::string standings = Installed("Standings.dat"), schedule = Installed("Schedule.dat");
    RunMainWindow([&](HWND window) {
        const Pages before = Snapshot(window);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            ScriptServer server(c.reply, c.end, std::chrono::milliseconds(20));
            InternetRedirectForTest(80, server.port);
            QTimer asking;  // gives the input once the server has the request
            QObject::connect(&asking, &QTimer::timeout, [&] {
                HWND dialog = FindWindowW(nullptr, L"RVL Download");
                if (server.requested && dialog && UserInput(dialog, c.verb, c.arguments))
                    asking.stop();
            });
            ASSERT_TRUE(RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [&](HWND) { asking.start(2); }));
            EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Download") == nullptr; }));
            EXPECT_EQ(message.count, 0) << std::string(message.text.begin(), message.text.end());
            EXPECT_TRUE(Installed("Standings.dat") == standings);
            EXPECT_TRUE(Installed("Schedule.dat") == schedule);
            EXPECT_EQ(Leftovers(), std::vector<std::string>{});
            EXPECT_FALSE(WaitCursorShown());
            EXPECT_TRUE(IsWindowVisible(window));
            ExpectSamePages(Snapshot(window), before);
        }
        ASSERT_TRUE(UserInput(window, "select", {"1022", "5"}));  // still usable
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_GETCURSEL, 0, 0), 5);
    });
}

}  // namespace
