// The handheld's C runtime pieces the program relies on: last-error codes
// and their texts, wide-path fopen of regular files, _wtoi, wsprintfW and
// Sleep. The file handles are files.cpp's.
//
// Divisions: errors, streams, numbers and text, sleeping.
#include "platform/crt.h"
#include "platform/os.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

DWORD ErrorCodeOf(int error, const std::string& path)
{
    switch (error) {
    case ENOENT: {
        std::error_code ignored;
        std::filesystem::path parent = std::filesystem::path(path).parent_path();
        if (parent.empty())
            parent = ".";
        return std::filesystem::is_directory(parent, ignored) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ELOOP:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
        return kErrorTooManyOpenFiles;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    default:
        return kErrorGenFailure;
    }
}

}  // namespace platform

using namespace platform;

namespace {

constexpr DWORD kErrorNoMessage = 317;  // ERROR_MR_MID_NOT_FOUND: no text for the code
constexpr int kWsprintfLimit = 1024;  // characters, the NUL included

thread_local DWORD lastError = ERROR_SUCCESS;

// The fopen mode of a wide mode, or "" when it is not one: 't' is dropped
// since text mode is plain binary here.
std::string NarrowMode(LPCWSTR mode)
{
    std::string narrow;
    for (; *mode; ++mode) {
        if (*mode == L't')
            continue;
        if (*mode > 0x7f)
            return "";
        narrow += static_cast<char>(*mode);
    }
    if (narrow.empty() || std::strchr("rwa", narrow[0]) == nullptr)
        return "";
    return narrow;
}

// Opens a stream the way fopen does, but only on a regular file or a folder
// (whose first read fails): a FIFO, socket or device is refused at once
// rather than waited on or read without end.
FILE* OpenStream(const std::string& path, const std::string& mode)
{
    bool plus = mode.find('+') != std::string::npos;
    int access = plus ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
    int creation = mode[0] == 'w' ? O_CREAT | O_TRUNC : mode[0] == 'a' ? O_CREAT | O_APPEND : 0;
    int fd = os::Open(path, access | creation | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat info{};
    int error = fstat(fd, &info) != 0 ? errno : (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) ? EACCES : 0;
    if (!error && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    FILE* file = error ? nullptr : fdopen(fd, mode.c_str());
    if (!file) {
        error = error ? error : errno;
        os::Close(fd, path);
        errno = error;
    }
    return file;
}

// One parsed conversion of a wsprintfW format.
struct Conversion {
    bool left = false;
    bool zero = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
    bool narrow = false;  // 'h' prefix
    WCHAR type = 0;
};

// Parses the conversion after a '%'; returns the character after it, or
// nullptr when the text is not a conversion wsprintfW knows.
LPCWSTR ParseConversion(LPCWSTR p, Conversion& c)
{
    for (;; ++p) {
        if (*p == L'-')
            c.left = true;
        else if (*p == L'0')
            c.zero = true;
        else if (*p == L'#')
            c.alternate = true;
        else
            break;
    }
    for (; *p >= L'0' && *p <= L'9'; ++p)
        c.width = std::min(c.width * 10 + (*p - L'0'), kWsprintfLimit);
    if (*p == L'.') {
        c.precision = 0;
        for (++p; *p >= L'0' && *p <= L'9'; ++p)
            c.precision = std::min(c.precision * 10 + (*p - L'0'), kWsprintfLimit);
    }
    if (*p == L'h')
        c.narrow = true;
    if (*p == L'h' || *p == L'l')
        ++p;
    if (*p == 0 || std::wcschr(L"diuxXcs", *p) == nullptr)
        return nullptr;
    c.type = *p;
    return p + 1;
}

// The digits of a %d, %i, %u or %x conversion, with sign or 0x prefix.
std::wstring NumberText(const Conversion& c, va_list& args)
{
    // LONG and int are both 32 bits on the handheld, so 'l' reads an int.
    unsigned int value = va_arg(args, unsigned int);
    bool negative = (c.type == L'd' || c.type == L'i') && static_cast<int>(value) < 0;
    unsigned long long magnitude = negative ? 0ull - static_cast<int>(value) : value;
    wchar_t digits[24];
    const wchar_t* form = c.type == L'x' ? L"%llx" : c.type == L'X' ? L"%llX" : L"%llu";
    std::swprintf(digits, 24, form, magnitude);
    std::wstring text = digits;
    if (c.precision >= 0 && static_cast<int>(text.size()) < c.precision)
        text.insert(0, c.precision - text.size(), L'0');
    std::wstring prefix = negative ? L"-" : L"";
    if (c.alternate && value != 0 && (c.type == L'x' || c.type == L'X'))
        prefix = c.type == L'x' ? L"0x" : L"0X";
    if (c.zero && !c.left && c.precision < 0 && static_cast<int>(text.size() + prefix.size()) < c.width)
        text.insert(0, c.width - text.size() - prefix.size(), L'0');
    return prefix + text;
}

// A wide or 8-bit string argument, cut to the precision; NULL prints "(null)".
std::wstring StringText(const Conversion& c, va_list& args)
{
    size_t limit = c.precision >= 0 ? static_cast<size_t>(c.precision) : static_cast<size_t>(kWsprintfLimit);
    std::wstring text;
    if (c.narrow) {
        const char* s = va_arg(args, const char*);
        if (s == nullptr)
            s = "(null)";
        for (; *s && text.size() < limit; ++s)
            text += platform::WidenAnsiByte(static_cast<unsigned char>(*s));
    } else {
        const WCHAR* s = va_arg(args, const WCHAR*);
        if (s == nullptr)
            s = L"(null)";
        for (; *s && text.size() < limit; ++s)
            text += *s;
    }
    return text;
}

// The text of one conversion, padded to its width.
std::wstring ConversionText(const Conversion& c, va_list& args)
{
    std::wstring text;
    if (c.type == L's') {
        text = StringText(c, args);
    } else if (c.type == L'c') {
        int ch = va_arg(args, int);
        text = c.narrow ? platform::WidenAnsiByte(static_cast<unsigned char>(ch)) : static_cast<WCHAR>(ch);
    } else {
        text = NumberText(c, args);
    }
    if (static_cast<int>(text.size()) < c.width)
        text.insert(c.left ? text.size() : 0, c.width - text.size(), L' ');
    return text;
}

}  // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD code)
{
    lastError = code;
}

DWORD FormatMessageW(DWORD flags, const void*, DWORD messageId, DWORD, LPWSTR buffer, DWORD size, void*)
{
    static const struct {
        DWORD code;
        const WCHAR* text;
    } kMessages[] = {
        {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified."},
        {ERROR_PATH_NOT_FOUND, L"The system cannot find the path specified."},
        {kErrorTooManyOpenFiles, L"The system cannot open the file."},
        {ERROR_ACCESS_DENIED, L"Access is denied."},
        {ERROR_INVALID_HANDLE, L"The handle is invalid."},
        {ERROR_NOT_ENOUGH_MEMORY, L"Not enough storage is available to process this command."},
        {ERROR_INVALID_DATA, L"The data is invalid."},
        {ERROR_WRITE_PROTECT, L"The media is write protected."},
        {ERROR_WRITE_FAULT, L"The system cannot write to the specified device."},
        {kErrorGenFailure, L"A device attached to the system is not functioning."},
        {ERROR_INVALID_PARAMETER, L"The parameter is incorrect."},
        {ERROR_DISK_FULL, L"There is not enough space on the disk."},
        {ERROR_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small."},
        {ERROR_ALREADY_EXISTS, L"Cannot create a file when that file already exists."},
        {kErrorFilenameTooLong, L"The filename or extension is too long."},
        {ERROR_MORE_DATA, L"More data is available."},
        {ERROR_BADDB, L"The configuration registry database is corrupt."},
    };
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (const auto& message : kMessages) {
        if (message.code != messageId)
            continue;
        size_t length = std::wcslen(message.text);
        if (length + 1 > size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::wmemcpy(buffer, message.text, length + 1);
        return static_cast<DWORD>(length);
    }
    SetLastError(kErrorNoMessage);
    return 0;
}

// Opens a file by wide path; lines keep their CR LF as on the handheld.
FILE* _wfopen(LPCWSTR path, LPCWSTR mode)
{
    std::string narrowMode = mode ? NarrowMode(mode) : "";
    if (path == nullptr || narrowMode.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    std::string utf8 = platform::ToUtf8(path);
    FILE* file = OpenStream(utf8, narrowMode);
    if (file == nullptr) {
        int error = errno;
        SetLastError(ErrorCodeOf(error, utf8));
        errno = error;
    }
    return file;
}

// Leading white space, a sign and decimal digits; clamps on overflow.
int _wtoi(const WCHAR* text)
{
    if (text == nullptr)
        return 0;
    while (std::iswspace(static_cast<wint_t>(*text)))
        ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// The handheld's wsprintfW; output is cut at 1023 characters and a NUL.
int wsprintfW(LPWSTR out, LPCWSTR format, ...)
{
    if (out == nullptr)
        return 0;
    std::wstring text;
    va_list args;
    va_start(args, format);
    for (LPCWSTR p = format; p && *p && static_cast<int>(text.size()) < kWsprintfLimit;) {
        if (*p != L'%') {
            text += *p++;
        } else if (p[1] == L'%') {
            text += L'%';
            p += 2;
        } else {
            Conversion c;
            LPCWSTR after = ParseConversion(p + 1, c);
            if (after == nullptr) {
                text += *p++;  // unknown: the rest is copied as text
            } else {
                text += ConversionText(c, args);
                p = after;
            }
        }
    }
    va_end(args);
    size_t count = std::min(text.size(), static_cast<size_t>(kWsprintfLimit - 1));
    std::wmemcpy(out, text.data(), count);
    out[count] = 0;
    return static_cast<int>(count);
}

// Sleeps the calling thread on the platform's clock (tests may run it
// fast); 0 only gives up the rest of its time slice.
void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(RealMs(milliseconds)));
}
