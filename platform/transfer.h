// What the Internet room's two files share: the objects behind the
// handles and one send of a request on libcurl's multi interface. Not for
// other rooms.
#pragma once

#include "platform/platform.h"
#include "platform/seams.h"

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace platform::inet {

// libcurl's calls, found when the first request is sent rather than linked:
// loading libcurl and the two dozen libraries it brings would cost every
// start of the program milliseconds. Null when libcurl cannot be loaded.
struct CurlCalls {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL* easy, CURLoption option, ...);
    CURLcode (*easy_getinfo)(CURL* easy, CURLINFO info, ...);
    CURLcode (*easy_pause)(CURL* easy, int bitmask);
    void (*easy_cleanup)(CURL* easy);
    CURLM* (*multi_init)();
    CURLMcode (*multi_add_handle)(CURLM* multi, CURL* easy);
    CURLMcode (*multi_remove_handle)(CURLM* multi, CURL* easy);
    CURLMcode (*multi_perform)(CURLM* multi, int* running);
    CURLMsg* (*multi_info_read)(CURLM* multi, int* left);
    CURLMcode (*multi_poll)(CURLM* multi, curl_waitfd* extra, unsigned count, int timeoutMs, int* ready);
    CURLMcode (*multi_cleanup)(CURLM* multi);
    curl_slist* (*slist_append)(curl_slist* list, const char* text);
    void (*slist_free_all)(curl_slist* list);
};
const CurlCalls* Curl();

constexpr int kConnectMs = 10000;  // to get a connection
constexpr int kIdleMs = 15000;     // without a byte, once connected

enum class Kind { Session, Connection, Request };

// One send of a request: libcurl's handles and what has arrived so far.
struct Transfer {
    CURLM* multi = nullptr;            // libcurl's multi handle
    CURL* easy = nullptr;              // and its one transfer
    curl_slist* headers = nullptr;     // the request's extra header lines
    curl_slist* connectTo = nullptr;   // a test's own server in the data server's place
    platform::Clock::time_point deadline;  // when the turn's time for transfers is up
    bool connected = false;    // the request is going out; idle time counts from here
    bool activity = false;     // something arrived since the clock was last read
    bool headersDone = false;  // the final status line and all headers are in
    bool done = false;         // libcurl finished the transfer
    bool paused = false;       // the write callback refused a chunk; libcurl holds it
    DWORD error = 0;           // why the transfer failed, once it has
    DWORD status = 0;          // status code of the last status line
    std::string reason;        // its reason phrase
    long long length = -1;     // its Content-Length, -1 for none or one that cannot be read
    std::string pending;       // the undelivered rest of a write chunk
    char* target = nullptr;    // the caller's buffer during a read
    size_t room = 0;           // its size
    size_t filled = 0;         // bytes put into it so far

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer()
    {
        const CurlCalls* curl = Curl();  // loaded when any handle was made
        if (!curl)
            return;
        if (multi && easy)
            curl->multi_remove_handle(multi, easy);
        if (easy)
            curl->easy_cleanup(easy);
        if (multi)
            curl->multi_cleanup(multi);
        curl->slist_free_all(headers);
        curl->slist_free_all(connectTo);
    }
};

}  // namespace platform::inet

struct InternetObject {
    platform::inet::Kind kind = platform::inet::Kind::Session;
    std::string agent;            // User-Agent, handed down from the session
    std::string server;           // host name or address (connection, request)
    int port = INTERNET_DEFAULT_HTTP_PORT;
    bool head = false;            // request: HEAD rather than GET
    std::string path;             // request path as it goes on the wire
    DWORD flags = 0;              // INTERNET_FLAG_ bits of the request
    std::atomic<bool> closed{false};  // closed while another thread may still use it
    std::unique_ptr<platform::inet::Transfer> transfer;  // the latest send
};

namespace platform::inet {

// Text for a header line: UTF-8 without control characters.
std::string HeaderText(LPCWSTR text);

// Sets libcurl up for one send of the request; an Internet error or 0.
DWORD StartTransfer(InternetObject& request, Transfer& t, LPCWSTR headers, DWORD headersLength);
// Runs the request's transfer until `ready` holds, it ends or it fails
// (its error set). While it waits on the GUI thread, windows paint and
// the station answers; a person's stop ends it.
void Pump(InternetObject& request, const std::function<bool()>& ready);

}  // namespace platform::inet
