// The data server's request parsing as a pure function: bytes in, the
// request or the status of its answer out. The socket tests
// (dataserver_test.cpp) send the same kinds of head over a connection.

#include "tools/dataserver/request.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dataserver::kMaxHeadBytes;
using dataserver::ParsedHead;
using dataserver::ParseHead;

const std::string kFile = "/sports/football/2003/Standings.dat";

// A GET of `target` over HTTP/1.1 with these fields.
std::string Get(const std::string& target, const std::string& fields = "Host: x\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + fields + "\r\n";
}

// A GET of the standings whose head is exactly `total` bytes long.
std::string GetOfSize(size_t total)
{
    const size_t bare = Get(kFile, "Host: x\r\nX-Pad: \r\n").size();
    return Get(kFile, "Host: x\r\nX-Pad: " + std::string(total - bare, 'p') + "\r\n");
}

// `count` fields: Host, then X-N: v.
std::string Fields(int count)
{
    std::string text = "Host: x\r\n";
    for (int i = 1; i < count; i++)
        text += "X-" + std::to_string(i) + ": v\r\n";
    return text;
}

TEST(DataServerRequest, ParsesEachKindOfHead)
{
    const std::string head10 = "GET " + kFile + " HTTP/1.0\r\n";
    const struct Row {
        const char* name;
        std::string head;        // a head, whole unless `length` is 0
        std::string after = "";  // bytes that follow it (a body, the next request)
        int status = 0;          // 0: a GET or HEAD to answer
        bool keepAlive = true;
        std::string path = kFile;  // when status is 0
        bool whole = true;         // false: no whole head yet, length 0
    } rows[] = {
        // Methods, versions and targets.
        {"GET", Get(kFile)},
        {"HEAD", "HEAD " + kFile + " HTTP/1.1\r\nHost: x\r\n\r\n"},
        {"HTTP/1.0", head10 + "\r\n", "", 0, false},
        {"HTTP/1.0 keep-alive", head10 + "Connection: Keep-Alive\r\n\r\n"},
        {"HTTP/1.1 Connection: close", Get(kFile, "Host: x\r\nConnection: close\r\n"), "", 0, false},
        {"close among options", Get(kFile, "Host: x\r\nConnection: TE , close\r\n"), "", 0, false},
        {"LF line ends", "GET " + kFile + " HTTP/1.1\nHost: x\n\n"},
        {"absolute URI", Get("http://127.0.0.1" + kFile)},
        {"absolute https URI without a path", Get("HTTPS://example"), "", 0, true, "/"},
        {"query", Get(kFile + "?week=9&x=/")},
        {"other path", Get("/sports/football/2003/Secret.dat"), "", 0, true, "/sports/football/2003/Secret.dat"},
        {"HTTP/1.2", "GET " + kFile + " HTTP/1.2\r\nHost: x\r\n\r\n"},
        {"next request after", Get(kFile), Get("/next")},
        {"lower-case method", "get " + kFile + " HTTP/1.1\r\nHost: x\r\n\r\n", "", 405},
        {"DELETE", "DELETE " + kFile + " HTTP/1.1\r\nHost: x\r\n\r\n", "", 405},
        {"HTTP/1.0 DELETE keep-alive", "DELETE " + kFile + " HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "", 405},
        {"HTTP/2.0", "GET " + kFile + " HTTP/2.0\r\nHost: x\r\n\r\n", "", 505, false},
        // A body is never read, so it ends the connection.
        {"chunked body", Get(kFile, "Host: x\r\nTransfer-Encoding: chunked\r\n"), "0\r\n\r\n", 0, false},
        {"Content-Length 0", Get(kFile, "Host: x\r\nContent-Length: 00\r\nContent-Length: 00\r\n")},
        {"POST with a body", "POST " + kFile + " HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\n", "hello", 405, false},
        // Malformed lines.
        {"no Host", "GET " + kFile + " HTTP/1.1\r\n\r\n", "", 400, false},
        {"two Hosts", Get(kFile, "Host: a\r\nHost: b\r\n"), "", 400, false},
        {"field without a colon", Get(kFile, "Host: x\r\nNo colon here\r\n"), "", 400, false},
        {"space before the colon", Get(kFile, "Host : x\r\n"), "", 400, false},
        {"folded field", Get(kFile, "Host: x\r\nX-Long: a\r\n b\r\n"), "", 400, false},
        {"bare CR in a value", Get(kFile, "Host: x\r\nX-Odd: a\rb\r\n"), "", 400, false},
        {"control byte in a value", Get(kFile, "Host: x\r\nX-Odd: a\x01z\r\n"), "", 400, false},
        {"zero byte in the path", Get(kFile + std::string("\0x", 2)), "", 400, false},
        {"bad Content-Length", Get(kFile, "Host: x\r\nContent-Length: 5x\r\n"), "", 400, false},
        {"two Content-Lengths", Get(kFile, "Host: x\r\nContent-Length: 1\r\nContent-Length: 2\r\n"), "", 400, false},
        {"no version", "GET " + kFile + "\r\n\r\n", "", 400, false},
        {"two spaces", "GET  " + kFile + " HTTP/1.1\r\nHost: x\r\n\r\n", "", 400, false},
        {"version HTTP/1.10", "GET " + kFile + " HTTP/1.10\r\nHost: x\r\n\r\n", "", 400, false},
        {"target not a path", Get("Standings.dat"), "", 400, true},
        // Limits: 100 fields and 8 KiB of head.
        {"100 fields", Get(kFile, Fields(100))},
        {"101 fields", Get(kFile, Fields(101)), "", 431, false},
        {"head of 8192 bytes", GetOfSize(kMaxHeadBytes)},
        {"head of 8193 bytes", GetOfSize(kMaxHeadBytes + 1), "", 431, false, "", false},
        {"one field of 9000 bytes", Get(kFile, "Host: x\r\nX-Big: " + std::string(9000, 'b') + "\r\n"), "", 431, false, "", false},
        {"path of 9000 bytes", Get("/" + std::string(9000, 'p')), "", 414, false, "", false},
        {"8192 bytes of a head so far", Get(kFile).substr(0, 40) + std::string(kMaxHeadBytes - 40, 'v'), "", 0, false, "", false},
        {"half a head", Get(kFile).substr(0, 30), "", 0, false, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ParsedHead parsed = ParseHead(row.head + row.after);
        EXPECT_EQ(parsed.length, row.whole ? row.head.size() : 0u);
        EXPECT_EQ(parsed.status, row.status);
        EXPECT_EQ(parsed.request.keepAlive, row.keepAlive);
        if (row.status == 0 && row.whole) {
            EXPECT_EQ(parsed.request.path, row.path);
            EXPECT_EQ(parsed.request.head, row.head.starts_with("HEAD "));
        }
        if (row.status == 0 || row.status == 405) {
            EXPECT_EQ(parsed.request.http10, row.head.find(" HTTP/1.0\r\n") != std::string::npos);
        }
    }
}

}  // namespace
