// One send of an HTTP request on libcurl's multi interface: the handles
// set up, the status line, headers and body as they arrive, the Internet
// error a failure gives, and the waiting with its limits (connecting,
// silence, and the time the requests of one turn of the program share).
//
// Divisions: libcurl, limits and libcurl's callbacks, waiting, starting.

#include "platform/transfer.h"

#include "platform/delivery.h"
#include "platform/testing.h"
#include "platform/text.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

namespace platform::inet {

std::atomic<int> redirectFrom{-1};  // tests' servers: this port of 127.0.0.1 ...
std::atomic<int> redirectTo{-1};    // ... is served by this one

// libcurl

namespace {

template <typename Call>
bool Find(void* library, const char* name, Call& call)
{
    call = reinterpret_cast<Call>(dlsym(library, name));
    return call != nullptr;
}

bool LoadCurl(CurlCalls& c)
{
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    return library && Find(library, "curl_global_init", c.global_init) && Find(library, "curl_easy_init", c.easy_init) &&
           Find(library, "curl_easy_setopt", c.easy_setopt) && Find(library, "curl_easy_getinfo", c.easy_getinfo) &&
           Find(library, "curl_easy_pause", c.easy_pause) && Find(library, "curl_easy_cleanup", c.easy_cleanup) &&
           Find(library, "curl_multi_init", c.multi_init) && Find(library, "curl_multi_add_handle", c.multi_add_handle) &&
           Find(library, "curl_multi_remove_handle", c.multi_remove_handle) &&
           Find(library, "curl_multi_perform", c.multi_perform) && Find(library, "curl_multi_info_read", c.multi_info_read) &&
           Find(library, "curl_multi_poll", c.multi_poll) && Find(library, "curl_multi_cleanup", c.multi_cleanup) &&
           Find(library, "curl_slist_append", c.slist_append) && Find(library, "curl_slist_free_all", c.slist_free_all) &&
           c.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

}  // namespace

const CurlCalls* Curl()
{
    static CurlCalls calls{};
    static const bool loaded = LoadCurl(calls);
    return loaded ? &calls : nullptr;
}

std::string HeaderText(LPCWSTR text)
{
    std::string utf8 = text ? platform::ToUtf8(text) : "";
    std::erase_if(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return utf8;
}

namespace {

const int kWholeMs = 120000;   // for the transfers of one turn of the program, so that a trickle ends too
const int kSliceMs = 100;      // longest wait before looking at the clock and for a close again
const int kServeMs = 20;       // longest wait before painting and serving the station again


// A host name, IPv4 address or bracketed IPv6 address, and nothing else.
bool ValidHost(const std::string& host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return host.find_first_not_of("0123456789abcdefABCDEF:.", 1) == host.size() - 1;
    return !host.empty() && host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") == std::string::npos;
}

// The Internet error for how libcurl ended a transfer.
DWORD ErrorFor(CURL* easy, CURLcode code)
{
    long osError = 0;
    Curl()->easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
    switch (code) {
    case CURLE_OK:
        return 0;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_UNSUPPORTED_PROTOCOL:  // the URL is always http://, so this is a reply without a status line
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PARTIAL_FILE:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return osError == ECONNRESET ? ERROR_INTERNET_CONNECTION_RESET : ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

bool IsHeader(std::string_view line, std::string_view name)
{
    return line.size() >= name.size() &&
           std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) { return a == std::tolower(b); });
}

// Decimal digits between blanks, up to 2^62; -1 for anything else.
long long ContentLength(std::string_view value)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string_view::npos)
        return -1;
    return std::stoll(std::string(value));
}

// Notes each header line: a status line starts a response, the empty line
// after a final (not 1xx) one ends the headers.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    transfer->activity = true;
    while (line.ends_with('\n') || line.ends_with('\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        size_t code = std::min(line.find(' '), line.size());
        line.remove_prefix(code);
        transfer->status = 0;
        for (size_t i = 1; i < line.size() && i < 4 && line[i] >= '0' && line[i] <= '9'; i++)
            transfer->status = transfer->status * 10 + (line[i] - '0');
        transfer->reason = line.size() > 5 ? std::string(line.substr(5)) : "";
        transfer->headersDone = false;
        transfer->length = -1;
    } else if (IsHeader(line, "content-length:")) {
        transfer->length = ContentLength(line.substr(15));
    } else if (line.empty() && transfer->status >= 200) {
        transfer->headersDone = true;
    }
    return size * count;
}

// Puts body bytes into the caller's buffer and keeps the rest of the chunk;
// while some is kept, libcurl is told to hold the next chunk.
size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    size_t length = size * count;
    transfer->activity = true;
    if (!transfer->pending.empty()) {
        transfer->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    size_t copied = std::min(length, transfer->room - transfer->filled);
    if (copied)
        std::memcpy(transfer->target + transfer->filled, data, copied);
    transfer->filled += copied;
    transfer->pending.assign(data + copied, length - copied);
    return length;
}

// Called once connected, as the request goes out.
int OnConnected(void* user, char*, char*, int, int)
{
    auto* transfer = static_cast<Transfer*>(user);
    transfer->connected = true;
    transfer->activity = true;
    return CURL_PREREQFUNC_OK;
}

// Waiting

// The extra header lines given to a send, one per CR LF.
curl_slist* ExtraHeaders(curl_slist* list, LPCWSTR headers, DWORD length);

// The end of the time the transfers of the program's present turn have
// together: the requests made while it handles one message (a Download's
// two files) share one limit. Outside a turn each request has its own.
Clock::time_point TurnDeadline();

}  // namespace

// Idle time counts only while waiting here, not while the caller is busy.
void Pump(InternetObject& request, const std::function<bool()>& ready)
{
    Transfer& t = *request.transfer;
    auto quietSince = platform::Now();
    while (!t.error && !t.done && !ready()) {
        int running = 0;
        if (request.closed || platform::StopAsked()) {
            t.error = ERROR_INTERNET_OPERATION_CANCELLED;
        } else if (Curl()->multi_perform(t.multi, &running) != CURLM_OK) {
            t.error = ERROR_INTERNET_INTERNAL_ERROR;
        }
        int left = 0;
        while (CURLMsg* message = Curl()->multi_info_read(t.multi, &left)) {
            if (message->msg == CURLMSG_DONE) {
                t.done = true;
                t.error = ErrorFor(t.easy, message->data.result);
            }
        }
        if (t.error || t.done || ready())
            break;
        auto now = platform::Now();
        if (t.activity)
            quietSince = now;
        t.activity = false;
        int limit = kIdleMs + (t.connected ? 0 : kConnectMs);
        auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - quietSince).count();
        if (quiet >= limit || now >= t.deadline) {
            t.error = ERROR_INTERNET_TIMEOUT;
        } else {
            platform::ServeWhileBlocked();
            int slice = platform::ProgramWaiting() ? kServeMs : kSliceMs;
            Curl()->multi_poll(t.multi, nullptr, 0, std::min(slice, platform::RealMs(limit - quiet)), nullptr);
        }
    }
}

// Starting

namespace {

curl_slist* ExtraHeaders(curl_slist* list, LPCWSTR headers, DWORD length)
{
    if (!headers)
        return list;
    std::wstring text(headers, length == static_cast<DWORD>(-1) ? std::wcslen(headers) : length);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
        std::string line = HeaderText(text.substr(start, end - start).c_str());
        if (!line.empty())
            list = Curl()->slist_append(list, line.c_str());
        start = end + 1;
    }
    return list;
}

Clock::time_point TurnDeadline()
{
    static uint64_t turn = 0;
    static Clock::time_point deadline;
    uint64_t now = platform::ProgramTurn();
    if (now == 0 || now != turn)
        deadline = platform::Now() + std::chrono::milliseconds(kWholeMs);
    turn = now;
    return deadline;
}

}  // namespace

DWORD StartTransfer(InternetObject& request, Transfer& t, LPCWSTR headers, DWORD headersLength)
{
    if (!ValidHost(request.server))
        return ERROR_INTERNET_INVALID_URL;
    t.deadline = TurnDeadline();
    const CurlCalls* curl = Curl();
    if (!curl)
        return ERROR_INTERNET_INTERNAL_ERROR;
    t.easy = curl->easy_init();
    t.multi = curl->multi_init();
    if (!t.easy || !t.multi)
        return ERROR_NOT_ENOUGH_MEMORY;

    std::string url = "http://" + request.server + ":" + std::to_string(request.port) + request.path;
    curl->easy_setopt(t.easy, CURLOPT_URL, url.c_str());
    if (request.server == "127.0.0.1" && request.port == redirectFrom) {
        std::string to = "127.0.0.1:" + std::to_string(request.port) + ":127.0.0.1:" + std::to_string(redirectTo.load());
        t.connectTo = curl->slist_append(nullptr, to.c_str());
        curl->easy_setopt(t.easy, CURLOPT_CONNECT_TO, t.connectTo);
    }
    curl->easy_setopt(t.easy, CURLOPT_NOBODY, request.head ? 1L : 0L);
    if (request.flags & INTERNET_FLAG_RELOAD) {
        t.headers = curl->slist_append(t.headers, "Cache-Control: no-cache");
        t.headers = curl->slist_append(t.headers, "Pragma: no-cache");
    }
    t.headers = ExtraHeaders(t.headers, headers, headersLength);
    curl->easy_setopt(t.easy, CURLOPT_HTTPHEADER, t.headers);
    curl->easy_setopt(t.easy, CURLOPT_USERAGENT, request.agent.c_str());
    curl->easy_setopt(t.easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl->easy_setopt(t.easy, CURLOPT_PROXY, "");
    curl->easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl->easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl->easy_setopt(t.easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(platform::RealMs(kConnectMs)));
    curl->easy_setopt(t.easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl->easy_setopt(t.easy, CURLOPT_HEADERDATA, &t);
    curl->easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl->easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
    curl->easy_setopt(t.easy, CURLOPT_PREREQFUNCTION, OnConnected);
    curl->easy_setopt(t.easy, CURLOPT_PREREQDATA, &t);
    if (curl->multi_add_handle(t.multi, t.easy) != CURLM_OK)
        return ERROR_INTERNET_INTERNAL_ERROR;
    return 0;
}


}  // namespace platform::inet

// Tests reach their own servers: 127.0.0.1:fromPort is served by 127.0.0.1:toPort.
void InternetRedirectForTest(int fromPort, int toPort)
{
    platform::inet::redirectTo = toPort;
    platform::inet::redirectFrom = fromPort;
}
