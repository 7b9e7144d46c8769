// The file handles the program writes whole files through, and its
// temporary files: created new and exclusive, written, flushed, closed, put
// in another's place by one rename, or deleted; with the system error code
// of each failure and the test seam before each call.
//
// Divisions: handles, whole writes and folder syncs, temporary files, the
// handle calls.

#include "platform/files.h"

#include "platform/crt.h"
#include "platform/os.h"
#include "platform/platform.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace platform {

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

// Syncs the folder that holds `path`.
int SyncFolderOf(const std::string& path)
{
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return platform::SyncFolder(parent.empty() ? std::string(".") : parent.string());
}

}  // namespace

// Whole writes and folder syncs

namespace platform {

int WriteAllBytes(int fd, const std::string& path, const char* data, size_t bytes, size_t* done)
{
    for (*done = 0; *done < bytes;) {
        ssize_t wrote = os::Write(fd, path, data + *done, bytes - *done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return wrote < 0 ? errno : EIO;
        *done += static_cast<size_t>(wrote);
    }
    return 0;
}

int WriteAndSync(int fd, const std::string& path, const std::string& bytes)
{
    size_t done = 0;
    int error = WriteAllBytes(fd, path, bytes.data(), bytes.size(), &done);
    return error ? error : os::Sync(fd, path) != 0 ? errno : 0;
}

int SyncFolder(const std::string& folder)
{
    return os::SyncFolder(folder) != 0 ? errno : 0;
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
        int fd = os::OpenAt(dirfd(listing), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ELOOP)
                os::UnlinkAt(dirfd(listing), entry->d_name, path);
            continue;
        }
        struct stat held{}, named{};
        if (os::Lock(fd, path, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 &&
            fstatat(dirfd(listing), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            os::UnlinkAt(dirfd(listing), entry->d_name, path);
        os::Close(fd, path);
    }
    if (listing)
        closedir(listing);
}

// Lets go of a temporary file once it is moved away or deleted.
void Release(const std::string& path)
{
    std::lock_guard<std::mutex> lock(filesMutex);
    auto found = claims.find(path);
    if (found == claims.end())
        return;
    os::Close(found->second.fd, path);
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
    int fd = os::Open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
    if (!error && (os::Truncate(fd, path) != 0 || fcntl(fd, F_SETFL, 0) != 0))
        error = errno;
    if (error) {
        os::Close(fd, path);
        errno = error;
        return -1;
    }
    return fd;
}

// Makes the temporary file dir/PPPXXXX.TMP with the lowest free number,
// held by this process until moved away or deleted, after removing what
// killed writers left. A name that is taken, by another writer or by
// anything planted there, is passed over, never opened. The descriptor is
// the claim's; -1 with errno set.
int MakeTemporary(const std::string& dir, const std::string& start, std::string& path, unsigned& number)
{
    std::lock_guard<std::mutex> lock(filesMutex);
    RemoveLeftovers(dir, start);
    for (number = 1; number <= kUniqueNumbers; ++number) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number);
        path = dir + "/" + start + hex + ".TMP";
        int fd = os::CreateLocked(path, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd >= 0) {
            struct stat info{};
            fstat(fd, &info);
            claims[path] = {fd, info.st_dev, info.st_ino};
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
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
    std::string path;
    unsigned number = 0;
    if (MakeTemporary(dir, start, path, number) < 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorCodeOf(errno, path));
        return 0;
    }
    std::wstring wide = platform::FromUtf8(path);
    std::wmemcpy(name, wide.c_str(), wide.size() + 1);
    return number;
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, const void*, DWORD creation, DWORD, HANDLE)
{
    if (!path || access != GENERIC_WRITE || (creation != CREATE_NEW && creation != TRUNCATE_EXISTING)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string utf8 = platform::ToUtf8(path);
    int fd = creation == CREATE_NEW ? os::Create(utf8, O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666) : OpenToTruncate(utf8);
    if (fd < 0) {
        FailWith(errno, utf8);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject{fd, utf8};
    std::lock_guard<std::mutex> lock(filesMutex);
    openFiles.insert(file);
    return file;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD bytes, DWORD* written, void*)
{
    if (written)
        *written = 0;
    FileObject* file = OpenFileOf(handle);
    if (!file || (!buffer && bytes)) {
        SetLastError(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    size_t done = 0;
    int error = platform::WriteAllBytes(file->fd, file->path, static_cast<const char*>(buffer), bytes, &done);
    if (written)
        *written = static_cast<DWORD>(done);
    return error ? FailWith(error, file->path) : TRUE;
}

BOOL FlushFileBuffers(HANDLE handle)
{
    FileObject* file = OpenFileOf(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return os::Sync(file->fd, file->path) != 0 ? FailWith(errno, file->path) : TRUE;
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
    int error = os::Close(file->fd, file->path) != 0 ? errno : 0;
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
    if (os::Unlink(utf8) != 0)
        return FailWith(errno, utf8);
    Release(utf8);
    return TRUE;
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
    unsigned int mode = (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : RENAME_NOREPLACE;
    if (os::Rename(source, target, mode) != 0)
        return FailWith(errno, source);
    Release(source);
    if (flags & MOVEFILE_WRITE_THROUGH)
        SyncFolderOf(target);
    return TRUE;
}

// Whole files

namespace platform {

int TakeLockFile(const std::string& path, int operation)
{
    int fd = os::Open(path, O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat info{};
    bool regular = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (fd >= 0 && !regular)
        os::Close(fd, path);
    if (!regular && (fd >= 0 || errno == ELOOP) && os::Unlink(path) == 0)
        fd = os::Create(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    else if (!regular)
        fd = -1;
    while (fd >= 0 && os::Lock(fd, path, operation) != 0) {
        if (errno == EINTR)
            continue;
        int error = errno;
        os::Close(fd, path);
        errno = error;
        return -1;
    }
    return fd;
}

int ReadRegularFile(const std::string& path, size_t limit, std::string& bytes, FileStamp* stamp)
{
    int fd = os::Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info{};
    int error = fstat(fd, &info) != 0 ? errno : !S_ISREG(info.st_mode) ? EINVAL
              : static_cast<unsigned long long>(info.st_size) > limit ? EFBIG : 0;
    char buffer[65536];
    while (!error) {
        ssize_t got = os::Read(fd, path, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0 && errno != EINTR && errno != EAGAIN)
            error = errno;
        else if (got > 0)
            bytes.append(buffer, static_cast<size_t>(got));
        if (bytes.size() > limit)
            error = EFBIG;
    }
    if (stamp)
        *stamp = StampOf(info);
    os::Close(fd, path);
    return error;
}

FileStamp StampOf(const struct stat& info)
{
    return {static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino),
            static_cast<long long>(info.st_size), info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

bool StampOfPath(const std::string& path, FileStamp& stamp)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0)
        return false;
    stamp = StampOf(info);
    return true;
}

int ReplaceFileWhole(const std::string& path, const std::string& prefix, const std::string& bytes,
                     const std::function<int()>& beforeMove)
{
    std::string dir = path.substr(0, path.rfind('/')), temp;
    unsigned number = 0;
    int fd = MakeTemporary(dir, prefix, temp, number);
    if (fd < 0)
        return errno;
    int error = WriteAndSync(fd, temp, bytes);
    if (!error)
        error = beforeMove();
    if (!error && os::Rename(temp, path) != 0)
        error = errno;
    if (error)
        os::Unlink(temp);
    Release(temp);
    if (!error)
        SyncFolder(dir);  // best effort: the new file is in place
    return error;
}

}  // namespace platform
