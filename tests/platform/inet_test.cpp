#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/servers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A session, connection and request for `path` at host:port, closed at the end.
struct Request {
    explicit Request(int port, LPCWSTR path = L"/", DWORD flags = INTERNET_FLAG_RELOAD,
                     LPCWSTR agent = L"Corvale-Test/2.0 (50% off)", LPCWSTR host = L"127.0.0.1")
        : session(InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
          connection(InternetConnectW(session, host, static_cast<WORD>(port), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)),
          request(HttpOpenRequestW(connection, nullptr, path, nullptr, nullptr, nullptr, flags, 0))
    {
    }
    ~Request()
    {
        for (HINTERNET handle : {request, connection, session})
            InternetCloseHandle(handle);
    }
    DWORD Send() { return HttpSendRequestW(request, nullptr, 0, nullptr, 0) ? 0 : GetLastError(); }
    // Reads the rest of the body through a buffer of `chunk` bytes; 0 at its end, else the error.
    DWORD Read(std::string& body, size_t chunk = 1024)
    {
        std::vector<char> buffer(chunk);
        for (int reads = 0; reads < 1000000; reads++) {
            DWORD got = 0xDEAD;
            if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(chunk), &got))
                return GetLastError();
            if (got == 0)
                return 0;
            body.append(buffer.data(), std::min<size_t>(got, chunk));
        }
        return 0xDEAD;
    }
    // HttpQueryInfoW into a buffer of `size` bytes: the text, or "error N (size M)".
    std::wstring Query(DWORD level, DWORD size = 64)
    {
        std::vector<WCHAR> text(64);
        if (!HttpQueryInfoW(request, level, text.data(), &size, nullptr))
            return L"error " + std::to_wstring(GetLastError()) + L" (size " + std::to_wstring(size) + L")";
        return level & HTTP_QUERY_FLAG_NUMBER ? std::to_wstring(*reinterpret_cast<DWORD*>(text.data())) : text.data();
    }
    HINTERNET session, connection, request;
};

class InetTest : public ::testing::Test {
protected:
    // Time-outs of 200 ms to connect and 300 ms of silence.
    void SetUp() override { SetClockSpeedForTest(50); }
    void TearDown() override
    {
        InternetRedirectForTest(-1, -1);
        SetClockSpeedForTest(1);
    }
};

TEST_F(InetTest, BodiesArriveExactlyThroughSmallBuffers)
{
    const Bodies bodies = {
        {"/empty", ""}, {"/1024", Pattern(1024)}, {"/percent", "100% %s %d %n %%\r\n" + std::string(2000, '%')},
        {"/zeros", std::string(3000, '\0') + "x" + std::string(5, '\0')}, {"/large", Pattern(300000)},
    };
    HttpServer server(bodies);
    for (const auto& [path, expected] : bodies) {
        for (size_t chunk : {1024, 1000, 1}) {
            SCOPED_TRACE(path + " through " + std::to_string(chunk));
            Request request(server.port, std::wstring(path.begin(), path.end()).c_str());
            ASSERT_EQ(request.Send(), 0u);
            std::string body;
            EXPECT_EQ(request.Read(body, chunk), 0u);
            EXPECT_TRUE(body == expected) << body.size() << " of " << expected.size() << " bytes";
            EXPECT_EQ(request.Read(body), 0u);  // the end stays the end
        }
    }
}

TEST_F(InetTest, StatusOfA404)
{
    HttpServer server({});
    Request request(server.port, L"/sports/football/2003/Standings.dat");
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_CODE), L"error 12019 (size 64)");
    ASSERT_EQ(request.Send(), 0u);
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER), L"404");
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, 3), L"error 122 (size 4)");
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_CODE), L"404");
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_TEXT), L"Not Found");
    EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_TEXT, 9 * sizeof(WCHAR)), L"error 122 (size " + std::to_wstring(10 * sizeof(WCHAR)) + L")");
    EXPECT_EQ(request.Query(1), L"error 12150 (size 64)");
}

TEST_F(InetTest, AgentNoCacheAndRedirect)
{
    HttpServer server(Bodies{{"/a", "x"}});
    EXPECT_EQ(Request(server.port, L"/a").Send(), 0u);
    EXPECT_EQ(server.Seen("User-Agent"), "Corvale-Test/2.0 (50% off)");
    EXPECT_EQ(server.Seen("Cache-Control"), "no-cache");
    EXPECT_EQ(server.Seen("Pragma"), "no-cache");

    InternetRedirectForTest(80, server.port);
    EXPECT_EQ(Request(80, L"/a", 0, L"Other").Send(), 0u);
    EXPECT_EQ(server.Seen("User-Agent"), "Other");
    EXPECT_EQ(server.Seen("Pragma"), "(none)");
    EXPECT_EQ(server.Seen("Host"), "127.0.0.1");
}

TEST_F(InetTest, MisbehavingServers)
{
    const std::string hundred = Pattern(100);
    const std::string sized = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + hundred;
    struct Case {
        const char* name;
        std::string reply;
        End end;
        DWORD sendError;  // 0: sent, the body gives `hundred` then readError
        DWORD readError;
    };
    const Case cases[] = {
        {"silent", "", End::Hold, ERROR_INTERNET_TIMEOUT, 0},
        {"garbage", "SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n", End::Close, ERROR_HTTP_INVALID_SERVER_RESPONSE, 0},
        {"empty reply", "", End::Close, ERROR_HTTP_INVALID_SERVER_RESPONSE, 0},
        {"headers cut", "HTTP/1.1 200 OK\r\nContent-Le", End::Close, ERROR_INTERNET_CONNECTION_ABORTED, 0},
        {"headers then silence", "HTTP/1.1 200 OK\r\n", End::Hold, ERROR_INTERNET_TIMEOUT, 0},
        {"reset", "", End::Reset, ERROR_INTERNET_CONNECTION_RESET, 0},
        {"closed before Content-Length", sized, End::Close, 0, ERROR_INTERNET_CONNECTION_ABORTED},
        {"chunked body cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n" + hundred + "\r\n", End::Close, 0,
         ERROR_INTERNET_CONNECTION_ABORTED},
        {"silent in the body", sized, End::Hold, 0, ERROR_INTERNET_TIMEOUT},
        {"body to the close, no reason", "HTTP/1.1 200\r\n\r\n" + hundred, End::Close, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.reply, c.end);
        Request request(server.port);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(request.Send(), c.sendError);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        std::string body;
        if (c.sendError) {
            EXPECT_EQ(request.Read(body), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
            continue;
        }
        EXPECT_EQ(request.Query(HTTP_QUERY_STATUS_TEXT), c.reply.starts_with("HTTP/1.1 200 OK") ? L"OK" : L"");
        EXPECT_EQ(request.Read(body), c.readError);
        EXPECT_EQ(body, hundred);
        EXPECT_EQ(request.Read(body), c.readError);  // a failure stays a failure
    }
    int port = 0;
    int bound = Listener(false, &port);
    EXPECT_EQ(Request(port).Send(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    close(bound);
}

// A byte a second never lets the silence limit strike; the limit on the
// whole transfer ends it.
TEST_F(InetTest, TrickleEndsAtTheWholeTransferLimit)
{
    SetClockSpeedForTest(100);  // 150 ms of silence, 1.2 s for the whole
    ScriptServer server("HTTP/1.1 200 OK\r\n\r\nx", End::Trickle, std::chrono::milliseconds(50));
    Request request(server.port);
    ASSERT_EQ(request.Send(), 0u);
    std::string body;
    EXPECT_EQ(request.Read(body), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_TRUE(body.starts_with("xy")) << body;
}

// Requests made while the program handles one message (a Download's two
// files) share one limit for the whole: once it has struck, the next
// request of that message fails at once; outside such a message it would
// have its own.
TEST_F(InetTest, RequestsOfOneMessageShareTheWholeTransferLimit)
{
    EnsureApplication();
    SetClockSpeedForTest(100);  // 150 ms of silence, 1.2 s for the whole
    static ScriptServer* slow;
    static HttpServer* quick;
    static DWORD errors[2];
    ScriptServer trickling("HTTP/1.1 200 OK\r\n\r\nx", End::Trickle, std::chrono::milliseconds(50));
    HttpServer answering(Bodies{{"/", "quick"}});
    slow = &trickling;
    quick = &answering;
    static const DLGTEMPLATEW kDialog = {WS_POPUP | WS_CAPTION, 0, 0, 0, 100, 80, L"Inet Test", 8, L"MS Sans Serif", 0, nullptr};
    DialogBoxIndirectParamW(nullptr, &kDialog, nullptr, [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_INITDIALOG)
            return FALSE;
        std::string body;
        Request first(slow->port), second(quick->port);
        errors[0] = first.Send() ? 1 : first.Read(body);
        errors[1] = second.Send();
        EndDialog(dialog, 0);
        return TRUE;
    }, 0);
    EXPECT_EQ(errors[0], static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_EQ(errors[1], static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    Request outside(answering.port);
    EXPECT_EQ(outside.Send(), 0u);
}

TEST_F(InetTest, HandleMisuseFailsCleanly)
{
    HttpServer server(Bodies{{"/", "kept"}});
    Request request(server.port);
    std::string body;
    EXPECT_EQ(request.Read(body), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
    EXPECT_FALSE(HttpSendRequestW(request.session, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    EXPECT_TRUE(InternetCloseHandle(request.session));  // parents first: the request still works
    EXPECT_TRUE(InternetCloseHandle(request.connection));
    ASSERT_EQ(request.Send(), 0u);
    EXPECT_EQ(request.Read(body), 0u);
    EXPECT_EQ(body, "kept");
    EXPECT_TRUE(InternetCloseHandle(request.request));
    for (HINTERNET gone : {request.request, request.session, HINTERNET{}}) {
        EXPECT_FALSE(InternetCloseHandle(gone));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    EXPECT_EQ(Request(80, L"/", 0, L"t", L"bad host").Send(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));
}

}  // namespace
