// Fetching the two season files from servers on loopback ports, good and
// hostile: stored bytes, error texts, and local files kept on failure.

#include "app/startup.h"
#include "download/fetch.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/servers.h"

#include <filesystem>

namespace {

const char kStandingsPath[] = "/sports/football/2003/Standings.dat";
const char kSchedulePath[] = "/sports/football/2003/Schedule.dat";
const std::string kOld = "old standings, kept\r\n";

// The download address 127.0.0.1:80 reaches the test's own server.
class FetchTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("tests/fixtures/season-2003-week9");
        WriteFile("install/Standings.dat", kOld);
        SetClockSpeedForTest(15);  // a second of silence ends a transfer
    }
    void TearDown() override
    {
        CloseInternetHandles();
        InternetRedirectForTest(-1, -1);
        SetClockSpeedForTest(1);
        AppTest::TearDown();
    }
    void Serve(int port) { InternetRedirectForTest(80, port); }
    std::string Standings() { return ReadFile(installDir + "/Standings.dat"); }
    // A temporary file (PPPXXXX.TMP) left in the install directory.
    bool PartLeft()
    {
        for (const auto& entry : std::filesystem::directory_iterator(installDir))
            if (entry.path().extension() == ".TMP")
                return true;
        return false;
    }
    std::string LastError()
    {
        std::wstring text = g_lastErrorText;
        return std::string(text.begin(), text.end());
    }
};

// Lines past the ones the loaders read may hold anything: the bytes are
// stored exactly, through whole and partial 1024-byte pieces.
TEST_F(FetchTest, BodiesAreStoredExactlyAsReceived)
{
    const std::string standings = ReadFile(SourcePath("season/2003/Standings.dat"));
    const std::string schedule = ReadFile(SourcePath("season/2003/Schedule.dat"));
    const std::string tails[] = {
        "", Pattern(1024 - standings.size()), Pattern(1023 - standings.size()), Pattern(1025 - standings.size()),
        Pattern(40000), "100% %s %d %n %%\r\nNew England,14,2\r\n", std::string(5, '\0') + "after zero bytes",
    };
    for (const std::string& tail : tails) {
        SCOPED_TRACE(standings.size() + tail.size());
        HttpServer server(Bodies{{kStandingsPath, standings + tail}, {kSchedulePath, schedule + tail}});
        Serve(server.port);
        EXPECT_EQ(FetchStandings(nullptr), 1);
        EXPECT_TRUE(Standings() == standings + tail) << Standings().size() << " bytes stored";
        EXPECT_EQ(server.lastPath, kStandingsPath);
        EXPECT_EQ(server.Seen("User-Agent"), "Ravelock");
        EXPECT_EQ(server.Seen("Cache-Control"), "no-cache");
        EXPECT_EQ(FetchSchedule(nullptr), 1);
        EXPECT_TRUE(ReadFile(installDir + "/Schedule.dat") == schedule + tail);
        EXPECT_FALSE(PartLeft());
    }
    // Nothing is held after a fetch: closing twice more is harmless and a
    // new fetch opens its own handles.
    CloseInternetHandles();
    CloseInternetHandles();
    HttpServer server(Bodies{{kStandingsPath, "\"again\"\r\n" + standings.substr(standings.find('\n') + 1)}});
    Serve(server.port);
    EXPECT_EQ(FetchStandings(nullptr), 1);
    EXPECT_EQ(Standings().substr(0, 9), "\"again\"\r\n");
}

// Only a file of its kind that the program can use replaces the local one:
// every form of the season files the loaders read is taken, anything else
// refused with the old file kept.
TEST_F(FetchTest, ReceivedFilesAreCheckedBeforeTheyReplaceTheLocalOnes)
{
    const std::string standings = ReadFile(SourcePath("season/2003/Standings.dat"));
    const std::string schedule = ReadFile(SourcePath("season/2003/Schedule.dat"));
    auto lf = [](std::string text) { std::erase(text, '\r'); return text; };
    auto edit = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    auto lines = [](const std::string& text, int count) {
        size_t end = 0;
        for (int i = 0; i < count; ++i)
            end = text.find('\n', end) + 1;
        return text.substr(0, end);
    };
    const std::string page = SignInPage();
    struct Case {
        const char* name;
        const char* path;
        std::string body;
        bool taken;
    };
    const Case cases[] = {
        {"bundled standings", kStandingsPath, standings, true},
        {"week-9 standings", kStandingsPath, ReadFile(SourcePath("tests/fixtures/season-2003-week9/Standings.dat")), true},
        {"standings with LF ends, no last line end", kStandingsPath, lf(standings).substr(0, lf(standings).size() - 1), true},
        {"standings with extra fields and lines", kStandingsPath, edit(standings, "\r\n", ",x,y\r\n") + "more\r\n", true},
        {"label followed by other text", kStandingsPath, "\"2003 Final\" as of week 17\r\n" + standings.substr(standings.find('\n') + 1), true},
        {"standings sign-in page", kStandingsPath, page, false},
        {"empty standings", kStandingsPath, "", false},
        {"standings cut in the last team line", kStandingsPath, standings.substr(0, standings.size() - 8), false},
        {"standings of 31 teams", kStandingsPath, lines(standings, 32), false},
        {"label not quoted", kStandingsPath, "2003,NFL Standings\r\n" + standings.substr(standings.find('\n') + 1), false},
        {"team name not quoted", kStandingsPath, edit(standings, "\"Miami\"", "Miami"), false},
        {"team line of three fields", kStandingsPath, edit(standings, "\"Miami\",10,6,0", "\"Miami\",10,6"), false},
        {"bundled schedule", kSchedulePath, schedule, true},
        {"week-9 schedule", kSchedulePath, ReadFile(SourcePath("tests/fixtures/season-2003-week9/Schedule.dat")), true},
        {"schedule with LF ends", kSchedulePath, lf(schedule), true},
        {"schedule with extra fields and lines", kSchedulePath, edit(schedule, "\r\n", ",x,y,z\r\n") + "\r\nnotes\r\n", true},
        {"odd odds", kSchedulePath, edit(edit(schedule, ",-3,", ",N/A,"), ",+3.5,", ",even money,"), true},
        {"schedule of 2004", kSchedulePath, edit(schedule, "/2003 ", "/2004 "), false},
        {"schedule sign-in page", kSchedulePath, page, false},
        {"one line of a page with commas", kSchedulePath, "<meta content=\"a, b, 9/7/2003 13:00\">\r\n" + page, false},
        {"empty schedule", kSchedulePath, "", false},
        {"schedule cut in half", kSchedulePath, schedule.substr(0, schedule.size() / 2), false},
        {"schedule of 31 teams", kSchedulePath, lines(schedule, 31), false},
        {"last team line without its home flags", kSchedulePath, schedule.substr(0, schedule.size() - 4), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string local = installDir + (c.path == kStandingsPath ? "/Standings.dat" : "/Schedule.dat");
        const std::string before = ReadFile(local);
        HttpServer server(Bodies{{c.path, c.body}});
        Serve(server.port);
        g_lastErrorText[0] = L'\0';
        EXPECT_EQ(c.path == kStandingsPath ? FetchStandings(nullptr) : FetchSchedule(nullptr), c.taken ? 1 : 0);
        EXPECT_TRUE(ReadFile(local) == (c.taken ? c.body : before));
        EXPECT_EQ(LastError(), c.taken ? "" : "Invalid File 12152\nThe server response could not be parsed.");
        EXPECT_FALSE(PartLeft());
        EXPECT_EQ(CheckScheduleSeason(g_schedulePath), 1);
    }
}

// Every failure leaves the old file and no temporary file behind, ends in
// bounded time, and names the failed step, its code and the message.
TEST_F(FetchTest, HostileServersLeaveTheLocalFileIntact)
{
    const std::string hundred = Pattern(100);
    const std::string sized = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + hundred;
    struct Case {
        const char* name;
        std::string reply;
        End end;
        const char* error;
    };
    const Case cases[] = {
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here\n", End::Close,
         "Server Refused 404\nNot Found"},
        {"server error page", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\n\r\noops\n", End::Close,
         "Server Refused 500\nInternal Server Error"},
        {"status without a reason", "HTTP/1.1 503\r\nContent-Length: 0\r\n\r\n", End::Close, "Server Refused 503\nError"},
        {"garbage headers", "SSH-2.0-OpenSSH_9.2\r\n\r\n", End::Close,
         "Send Request Error 12152\nThe server response could not be parsed."},
        {"headers cut", "HTTP/1.1 200 OK\r\nContent-Le", End::Close,
         "Send Request Error 12030\nThe connection with the server has been terminated."},
        {"never answers", "", End::Hold, "Send Request Error 12002\nThe request has timed out."},
        {"reset", "", End::Reset, "Send Request Error 12031\nThe connection with the server has been reset."},
        {"closed half way", sized, End::Close, "Read Error 12030\nThe connection with the server has been terminated."},
        {"chunked body cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n" + hundred + "\r\n", End::Close,
         "Read Error 12030\nThe connection with the server has been terminated."},
        {"silent in the body", sized, End::Hold, "Read Error 12002\nThe request has timed out."},
        {"a byte a second", "HTTP/1.1 200 OK\r\n\r\n", End::Trickle, "Read Error 12002\nThe request has timed out."},
        {"endless body", "HTTP/1.1 200 OK\r\n\r\n", End::Endless,
         "File Too Large 12152\nThe server sent more than 4194304 bytes; a data file may have at most 4194304."},
        {"10 GB announced", "HTTP/1.1 200 OK\r\nContent-Length: 10737418240\r\n\r\n" + hundred, End::Hold,
         "File Too Large 12152\nThe server announced 10737418240 bytes; a data file may have at most 4194304."},
    };
    // 150 ms of silence, 1.2 s for the whole transfer: the trickle's bytes
    // (two seconds apart on that clock) beat the silence limit, so that only
    // the limit on the whole transfer ends it.
    SetClockSpeedForTest(100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.reply, c.end, std::chrono::milliseconds(20));
        Serve(server.port);
        g_lastErrorText[0] = L'\0';
        EXPECT_EQ(FetchStandings(nullptr), 0);
        EXPECT_EQ(LastError(), c.error);
        EXPECT_EQ(Standings(), kOld);
        EXPECT_FALSE(PartLeft());
    }
}

TEST_F(FetchTest, UnreachableServerAndUnwritableFile)
{
    int port = 0;
    int bound = Listener(false, &port);  // bound, not listening: connections are refused
    Serve(port);
    EXPECT_EQ(FetchSchedule(nullptr), 0);
    EXPECT_EQ(LastError(), "Send Request Error 12029\nThe attempt to connect to the server failed.");
    close(bound);

    HttpServer server(Bodies{{kStandingsPath, "new"}});
    Serve(server.port);
    std::wstring missing = std::wstring(installDir.begin(), installDir.end()) + L"/gone/Standings.dat";
    std::wcscpy(g_standingsPath, missing.c_str());
    EXPECT_EQ(FetchStandings(nullptr), 0);
    EXPECT_EQ(LastError(), "File Error 3\nError");
    EXPECT_EQ(Standings(), kOld);
}

TEST(ComposeErrorText, LabelCodeAndMessage)
{
    struct Case {
        const WCHAR* label;
        int code;
        const WCHAR* text;
    };
    const Case cases[] = {
        {L"Connect Error", 12029, L"Connect Error 12029\nThe attempt to connect to the server failed."},
        {L"File Error", 3, L"File Error 3\nError"},
        {L"Read Error", -1, L"Read Error -1\nError"},
        {L"Open Request Error", 12156,
         L"Open Request Error 12156\nThe redirection failed because either the scheme changed or all attempts made to "
         L"redirect failed."},
        {L"", 12001, L" 12001\nNo more handles could be generated at this time."},
    };
    for (const Case& c : cases) {
        WCHAR label[kErrorTextChars];
        std::wcscpy(label, c.label);
        EXPECT_EQ(ComposeErrorText(label, c.code), label);
        EXPECT_STREQ(label, c.text);
    }
    // A label that nearly fills the text is cut to fit rather than overrun.
    WCHAR label[kErrorTextChars];
    std::wmemset(label, L'x', kErrorTextChars - 3);
    label[kErrorTextChars - 3] = L'\0';
    ComposeErrorText(label, 12017);
    EXPECT_EQ(std::wcslen(label), static_cast<size_t>(kErrorTextChars - 1));
    EXPECT_EQ(std::wstring(label + kErrorTextChars - 3), L" 1");
}

}  // namespace
