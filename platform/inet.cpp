// Internet (HTTP): session, connection and request handles, WinInet's
// way. A send runs its transfer (transfer.cpp) until the headers are in;
// the body is then pulled by the caller's reads, so at most the rest of one
// libcurl write chunk waits beside the caller's buffer. While a send or a
// read waits on the GUI thread, the windows keep painting and the window
// station keeps answering; nothing else reaches the program until the call
// returns, and a person's Cancel or close of the window waiting stops it.
//
// Divisions: handles, the calls.

#include "platform/transfer.h"

#include "platform/delivery.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

using namespace platform::inet;

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


}  // namespace

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
    t.error = StartTransfer(*request, t, headers, headersLength);
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
        if (Curl()->easy_pause(t->easy, CURLPAUSE_CONT) != CURLE_OK)
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
