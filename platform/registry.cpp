// The registry: HKEY_LOCAL_MACHINE kept in a REGEDIT4 text file under the
// user's configuration directory. A call reads the file again only when it
// changed since the last read. What is
// set through an open key is seen at once by this process and reaches the
// disk together, when the key is closed or flushed: one locked
// read-modify-write that replaces the file atomically. The text model is
// regtext.cpp's.
//
// Divisions: open keys and changes not yet stored, the store (the file
// through files.cpp's whole-file calls and lock, the last read kept), the
// handle calls.
#include "platform/files.h"
#include "platform/os.h"
#include "platform/regtext.h"
#include "platform/platform.h"
#include "platform/text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>

// Open keys and changes not yet stored

// An open key: its full path, root included.
struct RegistryKey {
    std::string path;
};

using namespace platform;

namespace {

// The settings file is refused above this size; real settings are a few
// hundred bytes, and one value's line may take up to half of it.
constexpr size_t kMaxRegistryFile = 2 * kMaxRegistryLine;

// A change made through an open key that has not reached the disk yet.
struct Pending {
    HKEY handle;       // the key it was made through
    std::string path;  // the key's full path, created if it is new
    bool hasValue;     // a value set, or only the key created
    Value value;       // the value set
};

std::mutex handlesMutex;
std::unordered_set<HKEY> handles;
std::vector<Pending> pending;  // in the order made; guarded by handlesMutex

// The store

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
        size_t done = 0;
        int error = WriteAllBytes(fd, name, bytes.data(), bytes.size(), &done);
        if (!error && os::Sync(fd, name) != 0)
            error = errno;
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

// Applies pending changes to a hive: those of `handle`, or every one when
// it is null. True when the hive changed.
bool ApplyPending(Hive& hive, HKEY handle)
{
    std::lock_guard<std::mutex> lock(handlesMutex);
    bool changed = false;
    for (const Pending& change : pending) {
        if (handle && change.handle != handle)
            continue;
        bool existed = KeyExists(hive, change.path);
        size_t key = AddKey(hive, change.path);
        changed = changed || !existed;
        if (change.hasValue)
            changed = StoreValue(hive.keys[key], change.value) || changed;
    }
    return changed;
}

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

// The hive as it is on the disk, read under a shared lock when it changed
// since the last read, with this process's changes not yet on the disk on
// top. The lock is best effort so that a file in a read-only directory
// still reads.
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
    ApplyPending(hive, nullptr);
    return ERROR_SUCCESS;
}

// Applies `change` to the hive read afresh under the exclusive lock and
// saves the result when `change` reports that it changed something.
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

// Runs an entry point; the only exceptions below come from running out of
// memory, and they become an error code.
template <typename Body>
LONG Guarded(Body body)
{
    try {
        return body();
    } catch (const std::exception&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// The full path of an open key or of the root; false for anything else.
bool PathOf(HKEY key, std::string& path)
{
    if (key == HKEY_LOCAL_MACHINE) {
        path = kRegistryRoot;
        return true;
    }
    std::lock_guard<std::mutex> lock(handlesMutex);
    if (!handles.count(key))
        return false;
    path = key->path;
    return true;
}

// The full path of `subKey` under the root. Empty components and control
// characters cannot be kept in the file and are refused.
LONG FullPath(HKEY root, LPCWSTR subKey, std::string& path)
{
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    path = kRegistryRoot;
    if (!subKey || !*subKey)
        return ERROR_SUCCESS;
    std::string text = platform::ToUtf8(subKey);
    if (!Printable(text) || text.size() > kMaxRegistryLine / 2 || text.front() == '\\' || text.back() == '\\' || text.find("\\\\") != std::string::npos)
        return ERROR_INVALID_PARAMETER;
    path += '\\' + text;
    return ERROR_SUCCESS;
}

// Hands out a new open key for the path.
LONG NewHandle(const std::string& path, HKEY* result)
{
    auto key = std::make_unique<RegistryKey>(RegistryKey{path});
    std::lock_guard<std::mutex> lock(handlesMutex);
    handles.insert(key.get());
    *result = key.release();
    return ERROR_SUCCESS;
}

// A value name in UTF-8; null names the default value.
std::string NameOf(LPCWSTR name)
{
    return name ? platform::ToUtf8(name) : std::string();
}

// The bytes to keep for data given to RegSetValueExW.
LONG DataToStore(DWORD type, const BYTE* data, DWORD size, std::string& out)
{
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    if (type == REG_SZ) {
        // The text runs to its first NUL within the size given; nothing
        // past `size` bytes is ever read.
        std::wstring text;
        for (size_t i = 0; i < size / sizeof(WCHAR); ++i) {
            WCHAR c;
            std::memcpy(&c, data + i * sizeof(WCHAR), sizeof c);
            if (c == 0)
                break;
            text += c;
        }
        out = platform::ToUtf8(text);
    } else if (type == REG_DWORD) {
        if (size < 4)
            return ERROR_INVALID_PARAMETER;
        DWORD number;
        std::memcpy(&number, data, sizeof number);
        out = DwordBytes(number);
    } else if (size) {
        out.assign(reinterpret_cast<const char*>(data), size);
    }
    return ERROR_SUCCESS;
}

// The bytes RegQueryValueExW hands back: wide text with its NUL for REG_SZ.
std::string DataToReturn(const Value& value)
{
    if (value.type != REG_SZ)
        return value.data;
    std::wstring text = platform::FromUtf8(value.data);
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR));
}

}  // namespace

// The handle calls

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD, DWORD, HKEY* result)
{
    return Guarded([&]() -> LONG {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        std::string path;
        if (LONG status = FullPath(root, subKey, path))
            return status;
        Hive hive;
        if (LONG status = LoadHive(hive))
            return status;
        if (!KeyExists(hive, path))
            return ERROR_FILE_NOT_FOUND;
        return NewHandle(path, result);
    });
}

LONG RegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD, LPWSTR, DWORD, DWORD, const void*, HKEY* result, DWORD* disposition)
{
    return Guarded([&]() -> LONG {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        std::string path;
        if (LONG status = FullPath(root, subKey, path))
            return status;
        Hive hive;
        if (LONG status = LoadHive(hive))
            return status;
        bool existed = KeyExists(hive, path);
        if (disposition)
            *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
        NewHandle(path, result);
        if (!existed) {
            std::lock_guard<std::mutex> lock(handlesMutex);
            pending.push_back({*result, path, false, {}});
        }
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize)
{
    return Guarded([&]() -> LONG {
        std::string path;
        if (!PathOf(key, path))
            return ERROR_INVALID_HANDLE;
        if (reserved || (data && !dataSize))
            return ERROR_INVALID_PARAMETER;
        Hive hive;
        if (LONG status = LoadHive(hive))
            return status;
        const Key* found = FindKey(hive, path);
        const Value* value = found ? FindValue(*found, NameOf(name)) : nullptr;
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        std::string bytes = DataToReturn(*value);
        if (type)
            *type = value->type;
        bool fits = !data || *dataSize >= bytes.size();
        if (data && fits)
            std::memcpy(data, bytes.data(), bytes.size());
        if (dataSize)
            *dataSize = static_cast<DWORD>(bytes.size());
        return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
    });
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    return Guarded([&]() -> LONG {
        std::string path;
        if (!PathOf(key, path))
            return ERROR_INVALID_HANDLE;
        Value value{NameOf(name), type, {}};
        if (!Printable(value.name))
            return ERROR_INVALID_PARAMETER;
        if (LONG status = DataToStore(type, data, dataSize, value.data))
            return status;
        if (FormatValue(value).size() > kMaxRegistryLine)
            return ERROR_INVALID_PARAMETER;
        std::lock_guard<std::mutex> lock(handlesMutex);
        pending.push_back({key, path, true, std::move(value)});
        return ERROR_SUCCESS;
    });
}

namespace {

// True when the key has changes not yet on the disk.
bool HasPending(HKEY key)
{
    std::lock_guard<std::mutex> lock(handlesMutex);
    return std::any_of(pending.begin(), pending.end(), [key](const Pending& change) { return change.handle == key; });
}

}  // namespace

LONG RegFlushKey(HKEY key)
{
    return Guarded([&]() -> LONG {
        std::string path;
        if (key == HKEY_LOCAL_MACHINE || !PathOf(key, path))
            return ERROR_INVALID_HANDLE;
        if (!HasPending(key))
            return ERROR_SUCCESS;
        LONG status = Update([key](Hive& hive) { return ApplyPending(hive, key); });
        if (status == ERROR_SUCCESS) {
            std::lock_guard<std::mutex> lock(handlesMutex);
            std::erase_if(pending, [key](const Pending& change) { return change.handle == key; });
        }
        return status;
    });
}

// What was set through the key reaches the disk first; the key is closed
// whether or not that succeeds.
LONG RegCloseKey(HKEY key)
{
    LONG status = RegFlushKey(key);
    if (status == ERROR_INVALID_HANDLE)
        return status;
    std::lock_guard<std::mutex> lock(handlesMutex);
    std::erase_if(pending, [key](const Pending& change) { return change.handle == key; });
    handles.erase(key);
    delete key;
    return status;
}
