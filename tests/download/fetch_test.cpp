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
        InternetTimeoutsForTest(1000, 1000);
    }
    void TearDown() override
    {
        CloseInternetHandles();
        InternetRedirectForTest(-1, -1);
        InternetTimeoutsForTest(0, 0);
        AppTest::TearDown();
    }
    void Serve(int port) { InternetRedirectForTest(80, port); }
    std::string Standings() { return ReadFile(installDir + "/Standings.dat"); }
    bool PartLeft() { return std::filesystem::exists(installDir + "/Standings.dat.part"); }
    std::string LastError()
    {
        std::wstring text = g_lastErrorText;
        return std::string(text.begin(), text.end());
    }
};

TEST_F(FetchTest, BodiesAreStoredExactlyAsReceived)
{
    const std::string bodies[] = {
        "", Pattern(1024), Pattern(1023), Pattern(1025), Pattern(40000),
        "100% %s %d %n %%\r\nNew England,14,2\r\n", std::string(5, '\0') + "after zero bytes",
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body.size());
        HttpServer server(Bodies{{kStandingsPath, body}, {kSchedulePath, body + "schedule"}});
        Serve(server.port);
        EXPECT_EQ(FetchStandings(nullptr), 1);
        EXPECT_TRUE(Standings() == body) << Standings().size() << " bytes stored";
        EXPECT_EQ(server.lastPath, kStandingsPath);
        EXPECT_EQ(server.Seen("User-Agent"), "Ravelock");
        EXPECT_EQ(server.Seen("Cache-Control"), "no-cache");
        EXPECT_EQ(FetchSchedule(nullptr), 1);
        EXPECT_TRUE(ReadFile(installDir + "/Schedule.dat") == body + "schedule");
        EXPECT_FALSE(PartLeft());
    }
    // Nothing is held after a fetch: closing twice more is harmless and a
    // new fetch opens its own handles.
    CloseInternetHandles();
    CloseInternetHandles();
    HttpServer server(Bodies{{kStandingsPath, "again"}});
    Serve(server.port);
    EXPECT_EQ(FetchStandings(nullptr), 1);
    EXPECT_EQ(Standings(), "again");
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
         "File Too Large 12152\nThe server response could not be parsed."},
    };
    // Long enough for the trickle to beat the silence limit, so that only
    // the limit on the whole transfer ends it.
    InternetTimeoutsForTest(1000, 1500, 3500);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.reply, c.end);
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
