// The registry's store: the file under the user's configuration folder,
// read again only when it changed since the last read, and written by one
// locked read-modify-write that replaces it atomically (files.cpp's
// whole-file calls and lock). A file that is no regular file, or far too
// large, reads as damaged and empty, and is kept aside by the next save.
//
// Divisions: the file, the last read kept.

#include "platform/regstore.h"

#include "platform/files.h"
#include "platform/os.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <sys/file.h>

namespace platform {

namespace {

// The settings file is refused above this size; real settings are a few
// hundred bytes, and one value's line may take up to half of it.
constexpr size_t kMaxRegistryFile = 2 * kMaxRegistryLine;

// The file

// $XDG_CONFIG_HOME/corvale, else $HOME/.config/corvale; empty when neither is
// an absolute path.
std::string ConfigDir()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/corvale";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/corvale";
    return "";
}

// The registry error for a system error number.
LONG ErrorFrom(int error, LONG fallback)
{
    if (error == EACCES || error == EPERM)
        return ERROR_ACCESS_DENIED;
    if (error == EROFS)
        return ERROR_WRITE_PROTECT;
    if (error == ENOSPC || error == EDQUOT)
        return ERROR_DISK_FULL;
    if (error == ENOMEM)
        return ERROR_NOT_ENOUGH_MEMORY;
    return fallback;
}

// Says on standard error, once for each file and reason, why the settings file cannot be read, and
// that the defaults stand in for it until the settings are saved.
void SayRefused(const std::string& path, const FileStamp& stamp, int error)
{
    static std::mutex sayMutex;
    static std::string said;  // the file and reason said last
    std::lock_guard<std::mutex> lock(sayMutex);
    std::string now = path + ":" + std::to_string(stamp.device) + ":" + std::to_string(stamp.inode) + ":" +
                      std::to_string(error);
    if (now == said)
        return;
    said = now;
    const char* why = error == EFBIG ? "is larger than 2 MiB" : "is not a regular file";
    std::fprintf(stderr, "%s: the settings file %s %s; the default settings are used until they are saved\n",
                 program_invocation_short_name, path.c_str(), why);
}

// Reads the file; a missing file reads as empty, and one that is not a
// regular file or is over the bound as empty and damaged, so that a save
// keeps it aside.
LONG ReadStore(const std::string& path, Hive& hive, std::string& bytes, FileStamp& stamp)
{
    int error = ReadRegularFile(path, kMaxRegistryFile, bytes, &stamp);
    if (error == ENOENT || error == ENOTDIR) {
        hive = Hive();
        return ERROR_SUCCESS;
    }
    if (error == EINVAL || error == EFBIG) {
        SayRefused(path, stamp, error);
        bytes.clear();
        hive = Hive();
        hive.damaged = true;
        return ERROR_SUCCESS;
    }
    if (error)
        return ErrorFrom(error, ERROR_BADDB);
    hive = Parse(bytes);
    return ERROR_SUCCESS;
}

// Keeps the damaged file as registry.reg.damaged, or .damaged.1, .2, ... when
// that name is taken: a hard link, or a copy where links are not supported
// (a file that could not be read is moved aside instead).
bool KeepDamaged(const std::string& path, const std::string& bytes)
{
    for (int n = 0; n < 10000; ++n) {
        std::string name = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        if (os::Link(path, name) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        if (bytes.empty()) {
            if (os::Rename(path, name, RENAME_NOREPLACE) == 0)
                return true;
            if (errno == EEXIST)
                continue;
            return false;
        }
        int fd = os::Create(name, O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return false;
        int error = WriteAndSync(fd, name, bytes);
        os::Close(fd, name);
        if (!error)
            return true;
        os::Unlink(name);
        errno = error;
        return false;
    }
    errno = EEXIST;
    return false;
}

// Puts the text in the file's place in one rename, keeping a damaged
// original aside just before; on failure the old file stays as it was.
LONG Save(const std::string& path, const std::string& text, const std::string* damaged)
{
    int error = ReplaceFileWhole(path, "reg", text, [&]() { return !damaged || KeepDamaged(path, *damaged) ? 0 : errno; });
    return error ? ErrorFrom(error, ERROR_WRITE_FAULT) : ERROR_SUCCESS;
}

}  // namespace

// The last read kept

namespace {

// The hive as last read, and the stamp of the file it was read from: a
// query whose file has the same stamp is answered without reading it again.
// A file changed within the last few milliseconds is read again all the
// same, since its timestamp may not have moved yet.
std::mutex storeMutex;
std::string storedPath;
FileStamp storedStamp;
Hive storedHive;
constexpr long long kRacyNs = 20 * 1000000LL;

bool StillStored(const std::string& path, FileStamp& stamp)
{
    if (!StampOfPath(path, stamp))
        return false;
    struct timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    long long nowNs = now.tv_sec * 1000000000LL + now.tv_nsec;
    std::lock_guard<std::mutex> lock(storeMutex);
    return path == storedPath && stamp == storedStamp && nowNs - stamp.modified > kRacyNs &&
           nowNs - stamp.changed > kRacyNs;
}

}  // namespace

LONG LoadHive(Hive& hive)
{
    std::string dir = ConfigDir();
    if (!dir.empty()) {
        std::string path = dir + "/registry.reg";
        FileStamp stamp;
        if (StillStored(path, stamp)) {
            std::lock_guard<std::mutex> lock(storeMutex);
            hive = storedHive;
        } else {
            int lock = TakeLockFile(path + ".lock", LOCK_SH);
            std::string bytes;
            LONG status = ReadStore(path, hive, bytes, stamp);
            if (lock >= 0)
                os::Close(lock, path + ".lock");
            if (status)
                return status;
            std::lock_guard<std::mutex> guard(storeMutex);
            storedPath = path;
            storedStamp = stamp;
            storedHive = hive;
        }
    }
    return ERROR_SUCCESS;
}

LONG Update(const std::function<bool(Hive&)>& change)
{
    std::string dir = ConfigDir();
    if (dir.empty())
        return ERROR_PATH_NOT_FOUND;
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    if (made)
        return ErrorFrom(made.value(), ERROR_PATH_NOT_FOUND);
    std::string path = dir + "/registry.reg";
    int lock = TakeLockFile(path + ".lock", LOCK_EX);
    if (lock < 0)
        return ErrorFrom(errno, ERROR_WRITE_FAULT);
    std::string bytes;
    Hive hive;
    FileStamp stamp;
    LONG status = ReadStore(path, hive, bytes, stamp);
    if (status == ERROR_SUCCESS && change(hive)) {
        std::string text = Serialize(hive);
        status = text.size() > kMaxRegistryFile ? ERROR_INVALID_PARAMETER
                                                : Save(path, text, hive.damaged ? &bytes : nullptr);
    }
    os::Close(lock, path + ".lock");
    return status;
}

}  // namespace platform
