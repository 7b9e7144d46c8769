// Internet (HTTP): session, connection and request handles over libcurl.
// A send runs the multi interface until the headers are in; the body is then
// pulled by the caller's reads, so at most the rest of one libcurl write
// chunk waits here beside the caller's buffer. While a send or a read waits
// on the GUI thread, the windows keep painting and the window station keeps
// answering; nothing else reaches the program until the call returns.
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/testing.h"
#include "platform/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

using platform::Clock;

const int kConnectMs = 10000;  // to get a connection
const int kIdleMs = 15000;     // without a byte, once connected
const int kWholeMs = 120000;   // for the transfers of one turn of the program, so that a trickle ends too
const int kSliceMs = 100;      // longest wait before looking at the clock and for a close again
const int kServeMs = 20;       // longest wait before painting and serving the station again

std::atomic<int> redirectFrom{-1};
std::atomic<int> redirectTo{-1};

enum class Kind { Session, Connection, Request };

// One send of a request: libcurl's handles and what has arrived so far.
struct Transfer {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* connectTo = nullptr;
    int connectMs = kConnectMs;
    int idleMs = kIdleMs;
    Clock::time_point deadline;  // when the turn's time for transfers is up
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
        if (multi && easy)
            curl_multi_remove_handle(multi, easy);
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
        curl_slist_free_all(connectTo);
    }
};

}  // namespace

struct InternetObject {
    Kind kind = Kind::Session;
    std::string agent;            // User-Agent, handed down from the session
    std::string server;           // host name or address (connection, request)
    int port = INTERNET_DEFAULT_HTTP_PORT;
    bool head = false;            // request: HEAD rather than GET
    std::string path;             // request path as it goes on the wire
    DWORD flags = 0;              // INTERNET_FLAG_ bits of the request
    std::atomic<bool> closed{false};  // closed while another thread may still use it
    std::unique_ptr<Transfer> transfer;  // the latest send
};

namespace {

std::mutex handlesMutex;
std::unordered_map<InternetObject*, std::shared_ptr<InternetObject>> handles;

HINTERNET Register(std::shared_ptr<InternetObject> object)
{
    std::lock_guard<std::mutex> lock(handlesMutex);
    HINTERNET handle = object.get();
    handles.emplace(handle, std::move(object));
    return handle;
}

// The live object behind a handle of the given kind; sets the error when there is none.
std::shared_ptr<InternetObject> Find(HINTERNET handle, Kind kind)
{
    std::lock_guard<std::mutex> lock(handlesMutex);
    auto it = handles.find(handle);
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return it->second;
}

// Text for a header line: UTF-8 without control characters.
std::string HeaderText(LPCWSTR text)
{
    std::string utf8 = text ? platform::ToUtf8(text) : "";
    std::erase_if(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return utf8;
}

// The request path: a leading slash, and bytes that cannot stand in a URL percent-escaped.
std::string WirePath(LPCWSTR object)
{
    std::string utf8 = object ? platform::ToUtf8(object) : "";
    std::string path = utf8.starts_with('/') ? "" : "/";
    const char hex[] = "0123456789ABCDEF";
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#')
            path += {'%', hex[byte >> 4], hex[byte & 15]};
        else
            path += c;
    }
    return path;
}

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
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
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

// Runs the transfer until `ready` holds, it ends or it fails (error set).
// Idle time counts only while waiting here, not while the caller is busy.
template <typename Ready>
void Pump(InternetObject& request, Ready ready)
{
    Transfer& t = *request.transfer;
    auto quietSince = platform::Now();
    while (!t.error && !t.done && !ready()) {
        int running = 0;
        if (request.closed || platform::StopAsked()) {
            t.error = ERROR_INTERNET_OPERATION_CANCELLED;
        } else if (curl_multi_perform(t.multi, &running) != CURLM_OK) {
            t.error = ERROR_INTERNET_INTERNAL_ERROR;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(t.multi, &left)) {
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
        int limit = t.idleMs + (t.connected ? 0 : t.connectMs);
        auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - quietSince).count();
        if (quiet >= limit || now >= t.deadline) {
            t.error = ERROR_INTERNET_TIMEOUT;
        } else {
            platform::ServeWhileBlocked();
            int slice = platform::ProgramWaiting() ? kServeMs : kSliceMs;
            curl_multi_poll(t.multi, nullptr, 0, std::min(slice, platform::RealMs(limit - quiet)), nullptr);
        }
    }
}

// The extra header lines given to a send, one per CR LF.
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
            list = curl_slist_append(list, line.c_str());
        start = end + 1;
    }
    return list;
}

// The end of the time the transfers of the program's present turn have
// together: the requests made while it handles one message (a Download's
// two files) share one limit. Outside a turn each request has its own.
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

// Sets libcurl up for one send of the request; returns an Internet error or 0.
DWORD Start(InternetObject& request, Transfer& t, LPCWSTR headers, DWORD headersLength)
{
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (!ValidHost(request.server))
        return ERROR_INTERNET_INVALID_URL;
    t.deadline = TurnDeadline();
    t.easy = curl_easy_init();
    t.multi = curl_multi_init();
    if (!t.easy || !t.multi)
        return ERROR_NOT_ENOUGH_MEMORY;

    std::string url = "http://" + request.server + ":" + std::to_string(request.port) + request.path;
    curl_easy_setopt(t.easy, CURLOPT_URL, url.c_str());
    if (request.server == "127.0.0.1" && request.port == redirectFrom) {
        std::string to = "127.0.0.1:" + std::to_string(request.port) + ":127.0.0.1:" + std::to_string(redirectTo.load());
        t.connectTo = curl_slist_append(nullptr, to.c_str());
        curl_easy_setopt(t.easy, CURLOPT_CONNECT_TO, t.connectTo);
    }
    curl_easy_setopt(t.easy, CURLOPT_NOBODY, request.head ? 1L : 0L);
    if (request.flags & INTERNET_FLAG_RELOAD) {
        t.headers = curl_slist_append(t.headers, "Cache-Control: no-cache");
        t.headers = curl_slist_append(t.headers, "Pragma: no-cache");
    }
    t.headers = ExtraHeaders(t.headers, headers, headersLength);
    curl_easy_setopt(t.easy, CURLOPT_HTTPHEADER, t.headers);
    curl_easy_setopt(t.easy, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(t.easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(t.easy, CURLOPT_PROXY, "");
    curl_easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(t.easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(platform::RealMs(t.connectMs)));
    curl_easy_setopt(t.easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(t.easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_PREREQFUNCTION, OnConnected);
    curl_easy_setopt(t.easy, CURLOPT_PREREQDATA, &t);
    if (curl_multi_add_handle(t.multi, t.easy) != CURLM_OK)
        return ERROR_INTERNET_INTERNAL_ERROR;
    return 0;
}

}  // namespace

// Tests reach their own servers: 127.0.0.1:fromPort is served by 127.0.0.1:toPort.
void InternetRedirectForTest(int fromPort, int toPort)
{
    redirectTo = toPort;
    redirectFrom = fromPort;
}

HINTERNET InternetOpenW(LPCWSTR agent, DWORD, LPCWSTR, LPCWSTR, DWORD)
{
    auto session = std::make_shared<InternetObject>();
    session->agent = HeaderText(agent);
    return Register(std::move(session));
}

// Only records the server; the connection is made when a request is sent.
HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, WORD port, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR)
{
    auto parent = Find(session, Kind::Session);
    if (!parent)
        return nullptr;
    auto connection = std::make_shared<InternetObject>();
    connection->kind = Kind::Connection;
    connection->agent = parent->agent;
    connection->server = serverName ? platform::ToUtf8(serverName) : "";
    connection->port = port ? port : INTERNET_DEFAULT_HTTP_PORT;
    return Register(std::move(connection));
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD flags, DWORD_PTR)
{
    auto parent = Find(connection, Kind::Connection);
    if (!parent)
        return nullptr;
    std::wstring method = verb && *verb ? verb : L"GET";
    if (method != L"GET" && method != L"HEAD") {  // the only methods without a request body
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto request = std::make_shared<InternetObject>();
    request->kind = Kind::Request;
    request->agent = parent->agent;
    request->server = parent->server;
    request->port = parent->port;
    request->head = method == L"HEAD";
    request->path = WirePath(objectName);
    request->flags = flags;
    return Register(std::move(request));
}

// Sends the request and waits for the status line and headers; any status counts as sent.
BOOL HttpSendRequestW(HINTERNET handle, LPCWSTR headers, DWORD headersLength, void*, DWORD)
{
    auto request = Find(handle, Kind::Request);
    if (!request)
        return FALSE;
    platform::BlockingCall waiting;
    request->transfer = std::make_unique<Transfer>();
    Transfer& t = *request->transfer;
    t.error = Start(*request, t, headers, headersLength);
    if (!t.error)
        Pump(*request, [&t] { return t.headersDone; });
    if (t.headersDone)
        return TRUE;
    SetLastError(t.error ? t.error : ERROR_INTERNET_CONNECTION_ABORTED);
    return FALSE;
}

namespace {

template <typename Number>
BOOL CopyNumber(Number number, void* buffer, DWORD* bufferLength)
{
    bool fits = buffer && *bufferLength >= sizeof number;
    *bufferLength = sizeof number;
    if (!fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, &number, sizeof number);
    return TRUE;
}

}  // namespace

// The status code (as a number or text), the reason phrase or the
// Content-Length (as a 64-bit number) of the response.
BOOL HttpQueryInfoW(HINTERNET handle, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD*)
{
    auto request = Find(handle, Kind::Request);
    if (!request)
        return FALSE;
    if (!bufferLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Transfer* t = request->transfer.get();
    if (!t || !t->headersDone) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    if (infoLevel == (HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER))
        return CopyNumber(t->status, buffer, bufferLength);
    if (infoLevel == (HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER64)) {
        if (t->length >= 0)
            return CopyNumber(static_cast<ULONGLONG>(t->length), buffer, bufferLength);
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    std::wstring text;
    if (infoLevel == HTTP_QUERY_STATUS_CODE)
        text = std::to_wstring(t->status);
    else if (infoLevel == HTTP_QUERY_STATUS_TEXT)
        for (char c : t->reason)
            text += platform::WidenAnsiByte(static_cast<unsigned char>(c));
    else {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (!buffer || *bufferLength < needed) {
        *bufferLength = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *bufferLength = needed - sizeof(WCHAR);
    return TRUE;
}

// The next bytes of the body: fills the buffer unless the body ends first;
// TRUE with 0 at its end. A failure shows once the bytes before it are read.
BOOL InternetReadFile(HINTERNET handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead)
{
    auto request = Find(handle, Kind::Request);
    if (!request)
        return FALSE;
    if (!bytesRead || (!buffer && bytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *bytesRead = 0;
    Transfer* t = request->transfer.get();
    if (!t || !t->headersDone) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    t->target = static_cast<char*>(buffer);
    t->room = bytesToRead;
    t->filled = std::min(t->room, t->pending.size());
    if (t->filled)
        std::memcpy(t->target, t->pending.data(), t->filled);
    t->pending.erase(0, t->filled);
    platform::BlockingCall waiting;
    if (t->filled < t->room && t->paused && !t->error) {
        t->paused = false;
        if (curl_easy_pause(t->easy, CURLPAUSE_CONT) != CURLE_OK)
            t->error = ERROR_INTERNET_INTERNAL_ERROR;
    }
    Pump(*request, [t] { return t->filled == t->room; });
    *bytesRead = static_cast<DWORD>(t->filled);
    t->target = nullptr;
    t->room = t->filled = 0;
    if (*bytesRead || !t->error)
        return TRUE;
    SetLastError(t->error);
    return FALSE;
}

// Frees a handle; a thread still using it sees the transfer cancelled.
BOOL InternetCloseHandle(HINTERNET handle)
{
    std::shared_ptr<InternetObject> object;
    {
        std::lock_guard<std::mutex> lock(handlesMutex);
        auto it = handles.find(handle);
        if (it != handles.end()) {
            object = std::move(it->second);
            handles.erase(it);
        }
    }
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->closed = true;
    return TRUE;
}
