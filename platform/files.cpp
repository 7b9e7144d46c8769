// The file handles the program writes whole files through, and its
// temporary files: created new and exclusive, written, flushed, closed, put
// in another's place by one rename, or deleted; with the system error code
// of each failure and the test seam before each call.
//
// Divisions: handles, whole writes and folder syncs, temporary files, the
// handle calls.

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Win32 code for a failed file operation; a missing file in an existing
// folder is "file not found", a missing folder "path not found".
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

// Handles

namespace {

struct FileObject {
    int fd;            // the open descriptor
    std::string path;  // UTF-8, for error codes and the test seam
};

std::mutex filesMutex;
std::set<FileObject*> openFiles;  // handles CreateFileW gave that CloseHandle has not closed

// The test seam before an operation: 0 lets it run, else the system error
// number it fails with.
int SeamError(const char* operation, const std::string& path)
{
    return platform::CallSeam(operation, path);
}

// Leaves the code of a system error number for GetLastError; FALSE.
BOOL FailWith(int error, const std::string& path)
{
    SetLastError(ErrorCodeOf(error, path));
    errno = error;
    return FALSE;
}

FileObject* OpenFileOf(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(filesMutex);
    auto* file = static_cast<FileObject*>(handle);
    return openFiles.count(file) ? file : nullptr;
}

// Syncs the folder that holds `path`, through the test seam.
int SyncFolderOf(const std::string& path)
{
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::string folder = parent.empty() ? std::string(".") : parent.string();
    int error = SeamError("sync folder", folder);
    return error ? error : platform::SyncFolder(folder);
}

}  // namespace

// Whole writes and folder syncs

namespace platform {

int WriteAllBytes(int fd, const char* data, size_t bytes, size_t* done)
{
    for (*done = 0; *done < bytes;) {
        ssize_t wrote = write(fd, data + *done, bytes - *done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        *done += static_cast<size_t>(wrote);
    }
    return 0;
}

int SyncFolder(const std::string& folder)
{
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = fsync(fd) != 0 ? errno : 0;
    close(fd);
    return error;
}

}  // namespace platform

// Temporary files

namespace {

constexpr size_t kMaxPath = 260;      // characters of a name, the NUL included
constexpr size_t kPrefixChars = 3;    // of the prefix a temporary name keeps
constexpr unsigned kUniqueNumbers = 0xFFFF;

// Temporary files this process made, each held by a lock on an open
// descriptor until it is moved away or deleted; a writer that is killed
// lets go of its files with its descriptors.
struct Claim {
    int fd;      // the descriptor holding the lock
    dev_t dev;   // the file it holds
    ino_t ino;
};
std::map<std::string, Claim> claims;  // by path; guarded by filesMutex

// True for a name of the temporary-file form PPPXXXX.TMP with this prefix.
bool IsTemporaryName(const std::string& name, const std::string& prefix)
{
    if (!name.starts_with(prefix) || !name.ends_with(".TMP"))
        return false;
    std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    return !digits.empty() && digits.size() <= 4 && digits.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Removes the temporary files of this prefix in the folder that no writer
// holds: they were left by one that was killed. A link planted at such a
// name is removed too, never followed.
void RemoveLeftovers(const std::string& folder, const std::string& prefix)
{
    DIR* listing = opendir(folder.c_str());
    while (struct dirent* entry = listing ? readdir(listing) : nullptr) {
        std::string path = folder + "/" + entry->d_name;
        if (!IsTemporaryName(entry->d_name, prefix) || claims.count(path))
            continue;
        int fd = openat(dirfd(listing), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ELOOP)
                unlinkat(dirfd(listing), entry->d_name, 0);
            continue;
        }
        struct stat held{}, named{};
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 &&
            fstatat(dirfd(listing), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            unlinkat(dirfd(listing), entry->d_name, 0);
        close(fd);
    }
    if (listing)
        closedir(listing);
}

// Makes the file new under `path`, already locked: an unnamed file given
// its name in one step where the file system can, else created exclusively
// and locked at once. -1 with errno set; EEXIST when the name is taken.
int CreateLocked(const std::string& folder, const std::string& path)
{
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (flock(fd, LOCK_EX) == 0 && linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        int error = errno;
        close(fd);
        errno = error;
        if (error != ENOENT || !std::filesystem::is_directory(folder))
            return -1;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return -1;
    fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0)
        flock(fd, LOCK_EX);
    return fd;
}

// Lets go of a temporary file once it is moved away or deleted.
void Release(const std::string& path)
{
    std::lock_guard<std::mutex> lock(filesMutex);
    auto found = claims.find(path);
    if (found == claims.end())
        return;
    close(found->second.fd);
    claims.erase(found);
}

// The claim on a path, or null.
const Claim* ClaimOf(const std::string& path)
{
    auto found = claims.find(path);
    return found == claims.end() ? nullptr : &found->second;
}

// Opens an existing regular file for writing and empties it, never through
// a link; a temporary file of this process's only while it is the very file
// made. -1 with errno set.
int OpenToTruncate(const std::string& path)
{
    int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info{};
    int error = fstat(fd, &info) != 0 ? errno : !S_ISREG(info.st_mode) ? EACCES : 0;
    if (!error) {
        std::lock_guard<std::mutex> lock(filesMutex);
        const Claim* claim = ClaimOf(path);
        if (claim && (claim->dev != info.st_dev || claim->ino != info.st_ino))
            error = EACCES;
    }
    if (!error && (ftruncate(fd, 0) != 0 || fcntl(fd, F_SETFL, 0) != 0))
        error = errno;
    if (error) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR name)
{
    if (!folder || !prefix || !name || unique != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string dir = platform::ToUtf8(folder);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    std::string start = platform::ToUtf8(std::wstring(prefix).substr(0, kPrefixChars));
    if (platform::FromUtf8(dir).size() + 1 + std::wstring(prefix).substr(0, kPrefixChars).size() + 8 >= kMaxPath) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    std::lock_guard<std::mutex> lock(filesMutex);
    RemoveLeftovers(dir, start);
    // The lowest free number: a name that is taken, by another writer or
    // by anything planted there, is passed over, never opened.
    for (unsigned number = 1; number <= kUniqueNumbers; ++number) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number);
        std::string path = dir + "/" + start + hex + ".TMP";
        int error = SeamError("create", path);
        int fd = error ? -1 : CreateLocked(dir, path);
        if (fd < 0 && !error && errno == EEXIST)
            continue;
        if (fd < 0) {
            SetLastError(ErrorCodeOf(error ? error : errno, path));
            return 0;
        }
        struct stat info{};
        fstat(fd, &info);
        claims[path] = {fd, info.st_dev, info.st_ino};
        std::wstring wide = platform::FromUtf8(path);
        std::wmemcpy(name, wide.c_str(), wide.size() + 1);
        return number;
    }
    SetLastError(ERROR_ALREADY_EXISTS);
    return 0;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, const void*, DWORD creation, DWORD, HANDLE)
{
    if (!path || access != GENERIC_WRITE || (creation != CREATE_NEW && creation != TRUNCATE_EXISTING)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string utf8 = platform::ToUtf8(path);
    int error = SeamError(creation == CREATE_NEW ? "create" : "open", utf8);
    int fd = -1;
    if (!error && creation == CREATE_NEW)
        fd = open(utf8.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    else if (!error)
        fd = OpenToTruncate(utf8);
    if (fd < 0) {
        FailWith(error ? error : errno, utf8);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject{fd, utf8};
    std::lock_guard<std::mutex> lock(filesMutex);
    openFiles.insert(file);
    return file;
}

// A write the test seam fails writes half of its bytes first, as a disk
// that fills up part of the way through.
BOOL WriteFile(HANDLE handle, const void* buffer, DWORD bytes, DWORD* written, void*)
{
    if (written)
        *written = 0;
    FileObject* file = OpenFileOf(handle);
    if (!file || (!buffer && bytes)) {
        SetLastError(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    int refused = SeamError("write", file->path);
    size_t done = 0;
    int error = platform::WriteAllBytes(file->fd, static_cast<const char*>(buffer), refused ? bytes / 2 : bytes, &done);
    if (written)
        *written = static_cast<DWORD>(done);
    if (error || refused)
        return FailWith(error ? error : refused, file->path);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle)
{
    FileObject* file = OpenFileOf(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    int error = SeamError("flush", file->path);
    if (!error && fsync(file->fd) != 0)
        error = errno;
    return error ? FailWith(error, file->path) : TRUE;
}

// The handle is gone afterwards even when closing reports an error.
BOOL CloseHandle(HANDLE handle)
{
    FileObject* file = OpenFileOf(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(filesMutex);
        openFiles.erase(file);
    }
    int error = SeamError("close", file->path);
    if (close(file->fd) != 0 && !error)
        error = errno;
    std::string path = file->path;
    delete file;
    return error ? FailWith(error, path) : TRUE;
}

BOOL DeleteFileW(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string utf8 = platform::ToUtf8(path);
    int error = SeamError("delete", utf8);
    if (!error && unlink(utf8.c_str()) != 0)
        error = errno;
    if (!error)
        Release(utf8);
    return error ? FailWith(error, utf8) : TRUE;
}

// One rename: the target names either its old file or the moved one, never
// something in between. Write-through then syncs the target's folder; when
// that fails the move has happened all the same, and the call succeeds: the
// file is in its place.
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags)
{
    if (!from || !to || (flags & ~static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string source = platform::ToUtf8(from), target = platform::ToUtf8(to);
    int error = SeamError("move", target);
    unsigned int mode = (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : RENAME_NOREPLACE;
    if (!error && renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), mode) != 0)
        error = errno;
    if (error)
        return FailWith(error, source);
    Release(source);
    if (flags & MOVEFILE_WRITE_THROUGH)
        SyncFolderOf(target);
    return TRUE;
}
