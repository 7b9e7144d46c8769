#include "download/fetch.h"

#include "app/resources/resource.h"
#include "app/startup.h"
#include "download/file_checks.h"

#include <cstdio>
#include <cwchar>
#include <initializer_list>

WCHAR g_lastErrorText[kErrorTextChars];
int g_lastErrorCode = 0;

namespace {

// The data server: a fixed address of the program.
const WCHAR kServerAddress[] = L"127.0.0.1";
constexpr WORD kServerPort = INTERNET_DEFAULT_HTTP_PORT;
const WCHAR kAgent[] = L"Ravelock";
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION;
constexpr DWORD kPieceBytes = 1024;
// Far larger than any season file: a body beyond this is refused rather
// than allowed to fill the disk.
constexpr long kLargestBody = 4 * 1024 * 1024;
// The label of a body that arrived whole but is not a file of its kind
// that the program can use: a sign-in page, another season's schedule.
const WCHAR kUnusableLabel[] = L"Invalid File";
const WCHAR kTooLargeText[] = L"File Too Large %d\nThe server %ls %llu bytes; a data file may have at most %ld.";

HINTERNET g_session = nullptr;     // InternetOpenW
HINTERNET g_connection = nullptr;  // InternetConnectW
HINTERNET g_request = nullptr;     // HttpOpenRequestW

const struct {
    int code;
    const WCHAR* message;
} kErrorMessages[] = {
    {12001, L"No more handles could be generated at this time."},
    {12002, L"The request has timed out."},
    {12003, L"An extended error was returned from the server."},
    {12004, L"An internal error has occurred."},
    {12005, L"The URL is invalid."},
    {12006, L"The URL scheme could not be recognized or is not supported."},
    {12007, L"The server name could not be resolved."},
    {12008, L"The requested protocol could not be located."},
    {12011, L"The request option cannot be set, only queried."},
    {12012, L"The Win32 Internet function support is being shut down or unloaded."},
    {12013, L"The request to connect and log on to server could not be completed because the supplied user name is incorrect."},
    {12014, L"The request to connect and log on to an server could not be completed because the supplied password is incorrect."},
    {12015, L"The request to connect to and log on to server failed."},
    {12016, L"The requested operation is invalid."},
    {12017, L"The operation was canceled, usually because the handle on which the request was operating was closed before the operation completed."},
    {12018, L"The type of handle supplied is incorrect for this operation."},
    {12019, L"The requested operation cannot be carried out because the handle supplied is not in the correct state."},
    {12020, L"The request cannot be made via a proxy."},
    {12021, L"A required registry value could not be located."},
    {12022, L"A required registry value was located but is an incorrect type or has an invalid value."},
    {12023, L"Direct network access cannot be made at this time."},
    {12024, L"An asynchronous request could not be made because a zero context value was supplied."},
    {12025, L"An asynchronous request could not be made because a callback function has not been set."},
    {12026, L"The required operation could not be completed because one or more requests are pending."},
    {12027, L"The format of the request is invalid."},
    {12028, L"The requested item could not be located."},
    {12029, L"The attempt to connect to the server failed."},
    {12030, L"The connection with the server has been terminated."},
    {12031, L"The connection with the server has been reset."},
    {12032, L"Calls for the Win32 Internet function to redo the request."},
    {12033, L"The request to the proxy was invalid."},
    {12036, L"The request failed because the handle already exists."},
    {12150, L"The requested header could not be located."},
    {12151, L"The server did not return any headers."},
    {12152, L"The server response could not be parsed."},
    {12153, L"The supplied header is invalid."},
    {12154, L"The request made to HttpQueryInfo is invalid."},
    {12155, L"The header could not be added because it already exists."},
    {12156, L"The redirection failed because either the scheme changed or all attempts made to redirect failed."},
};

// What a fetch fetches and which status images it shows.
struct FetchTarget {
    const WCHAR* serverPath;  // on the data server
    const WCHAR* localPath;   // the local file it replaces
    const WCHAR* tempPrefix;  // of its temporary file beside the local one
    int shownAtStart;         // status image shown while connecting
    int shownAfterSend;       // status image shown once sent, 0 for no change
    int (*check)(LPCWSTR path);  // whether a received file is one the program can use
};

const int kStatusImages[] = {IDC_CONNECTING, IDC_DOWNLOADING_SCHEDULES, IDC_DOWNLOADING_STANDINGS};

// Shows one status image of the dialog, hides the others, paints at once.
void ShowStatusImage(HWND dialog, int shown)
{
    for (int image : kStatusImages)
        ShowWindow(GetDlgItem(dialog, image), image == shown ? SW_SHOWNORMAL : SW_HIDE);
    UpdateWindow(dialog);
}

// The failure steps: the code first, then the handles, then the text.
int Fail(const WCHAR* label, int code)
{
    g_lastErrorCode = code;
    CloseInternetHandles();
    WCHAR text[kErrorTextChars];
    std::wcsncpy(text, label, kErrorTextChars - 1);
    text[kErrorTextChars - 1] = L'\0';
    std::wcscpy(g_lastErrorText, ComposeErrorText(text, code));
    return 0;
}

// A response other than 200: the status as the code, its reason below.
int FailOnStatus()
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(g_request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return Fail(L"Send Request Error", static_cast<int>(GetLastError()));
    if (status == 200)
        return 1;
    WCHAR reason[128] = {};
    DWORD reasonSize = sizeof reason;
    if (!HttpQueryInfoW(g_request, HTTP_QUERY_STATUS_TEXT, reason, &reasonSize, nullptr) || reason[0] == L'\0')
        std::wcscpy(reason, L"Error");
    g_lastErrorCode = static_cast<int>(status);
    CloseInternetHandles();
    wsprintfW(g_lastErrorText, L"Server Refused %d\n%s", static_cast<int>(status), reason);
    return 0;
}

// A body too large to take: refused with its size named, as announced by
// the server or as far as it was read.
int FailTooLarge(const WCHAR* how, unsigned long long bytes)
{
    g_lastErrorCode = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    CloseInternetHandles();
    std::swprintf(g_lastErrorText, kErrorTextChars, kTooLargeText, ERROR_HTTP_INVALID_SERVER_RESPONSE, how, bytes,
                  kLargestBody);
    return 0;
}

// A body the server announces larger than any data file is refused before
// a byte of it is read.
int FailOnAnnouncedSize()
{
    ULONGLONG announced = 0;
    DWORD size = sizeof announced;
    if (!HttpQueryInfoW(g_request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER64, &announced, &size, nullptr) ||
        announced <= static_cast<ULONGLONG>(kLargestBody))
        return 1;
    return FailTooLarge(L"announced", announced);
}

// Streams the body into `file`; 1 when it arrived whole.
int ReceiveBody(HANDLE file)
{
    char piece[kPieceBytes];
    long total = 0;
    for (;;) {
        DWORD count = 0;
        if (!InternetReadFile(g_request, piece, kPieceBytes, &count))
            return Fail(L"Read Error", static_cast<int>(GetLastError()));
        if (count == 0)
            return 1;
        total += static_cast<long>(count);
        if (total > kLargestBody)
            return FailTooLarge(L"sent more than", kLargestBody);
        DWORD written = 0;
        if (!WriteFile(file, piece, count, &written, nullptr))
            return Fail(L"File Error", static_cast<int>(GetLastError()));
    }
}

// A new temporary file beside the local one, of a name no other writer
// uses; INVALID_HANDLE_VALUE when there is none. `partPath` holds its name,
// or is empty when none was made.
HANDLE CreateTemporaryFile(const FetchTarget& target, WCHAR* partPath)
{
    WCHAR folder[kPathChars];
    std::wcscpy(folder, target.localPath);
    if (WCHAR* slash = std::wcsrchr(folder, L'/'))
        *slash = L'\0';
    partPath[0] = L'\0';
    if (!GetTempFileNameW(folder, target.tempPrefix, 0, partPath))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(partPath, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Receives the body into a temporary file beside the local one, flushes it
// to the disk and checks it, then renames it over the local file and syncs
// the folder: a power cut leaves the old file or the new one, whole. On
// failure the local file is untouched and the temporary one removed.
int StoreBody(const FetchTarget& target)
{
    WCHAR partPath[kPathChars] = {};
    HANDLE file = CreateTemporaryFile(target, partPath);
    if (file == INVALID_HANDLE_VALUE) {
        int code = static_cast<int>(GetLastError());
        if (partPath[0])
            DeleteFileW(partPath);
        return Fail(L"File Error", code);
    }
    int stored = ReceiveBody(file);
    CloseInternetHandles();
    if (stored && !FlushFileBuffers(file))
        stored = Fail(L"File Error", static_cast<int>(GetLastError()));
    if (!CloseHandle(file) && stored)
        stored = Fail(L"File Error", static_cast<int>(GetLastError()));
    if (stored && !target.check(partPath))
        stored = Fail(kUnusableLabel, ERROR_HTTP_INVALID_SERVER_RESPONSE);
    if (stored && !MoveFileExW(partPath, target.localPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        stored = Fail(L"File Error", static_cast<int>(GetLastError()));
    if (!stored)
        DeleteFileW(partPath);
    return stored;
}

// Fetches one file: connect, request, send, then the body stored in the
// local file's place. The image for "sent" shows as soon as the send has
// succeeded, whatever status the server then answers.
int Fetch(HWND dialog, const FetchTarget& target)
{
    ShowStatusImage(dialog, target.shownAtStart);
    CloseInternetHandles();
    g_session = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    g_connection = InternetConnectW(g_session, kServerAddress, kServerPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!g_connection)
        return Fail(L"Connect Error", static_cast<int>(GetLastError()));
    g_request = HttpOpenRequestW(g_connection, nullptr, target.serverPath, nullptr, nullptr, nullptr, kRequestFlags, 0);
    if (!g_request)
        return Fail(L"Open Request Error", static_cast<int>(GetLastError()));
    if (!HttpSendRequestW(g_request, nullptr, 0, nullptr, 0))
        return Fail(L"Send Request Error", static_cast<int>(GetLastError()));
    if (target.shownAfterSend)
        ShowStatusImage(dialog, target.shownAfterSend);
    if (!FailOnStatus() || !FailOnAnnouncedSize())
        return 0;
    return StoreBody(target);
}

}  // namespace

int FetchStandings(HWND dialog)
{
    return Fetch(dialog, {L"/sports/football/2003/Standings.dat", g_standingsPath, L"Standings", IDC_CONNECTING,
                          IDC_DOWNLOADING_STANDINGS, CheckStandingsFile});
}

int FetchSchedule(HWND dialog)
{
    return Fetch(dialog, {L"/sports/football/2003/Schedule.dat", g_schedulePath, L"Schedule", IDC_DOWNLOADING_SCHEDULES, 0,
                          CheckScheduleFile});
}

int FetchCancelled()
{
    return g_lastErrorCode == ERROR_INTERNET_OPERATION_CANCELLED;
}

void CloseInternetHandles()
{
    for (HINTERNET* handle : {&g_request, &g_connection, &g_session}) {
        if (*handle)
            InternetCloseHandle(*handle);
        *handle = nullptr;
    }
}

WCHAR* ComposeErrorText(WCHAR* label, int code)
{
    const WCHAR* message = L"Error";
    for (const auto& entry : kErrorMessages)
        if (entry.code == code)
            message = entry.message;
    WCHAR tail[kErrorTextChars];
    wsprintfW(tail, L" %d\n%s", code, message);
    std::wcsncat(label, tail, kErrorTextChars - 1 - std::wcslen(label));
    return label;
}
