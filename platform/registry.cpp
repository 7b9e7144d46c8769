// The registry: HKEY_LOCAL_MACHINE kept in a REGEDIT4 text file under the
// user's configuration directory. Every call reads the file afresh. What is
// set through an open key is seen at once by this process and reaches the
// disk together, when the key is closed or flushed: one locked
// read-modify-write that replaces the file atomically. The text model is
// regtext.cpp's.
//
// Divisions: open keys and changes not yet stored, the store (the file,
// its lock, its temporary files), the handle calls.
#include "platform/files.h"
#include "platform/regtext.h"
#include "platform/platform.h"
#include "platform/seams.h"
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

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Open keys and changes not yet stored

// An open key: its full path, root included.
struct RegistryKey {
    std::string path;
};

using namespace platform;

namespace {


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

// Closes a file descriptor when it goes out of scope.
struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

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

// Opens the lock file and takes the flock `operation` on it; -1 with errno
// set on failure. A link planted at its name is removed, never followed.
int TakeLock(const std::string& path, int operation)
{
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == ELOOP && unlink(path.c_str()) == 0)
        fd = open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    while (fd >= 0 && flock(fd, operation) != 0) {
        if (errno == EINTR)
            continue;
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Reads the whole file; a missing file reads as empty.
LONG ReadBytes(const std::string& path, std::string& bytes)
{
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS : ErrorFrom(errno, ERROR_BADDB);
    char buffer[65536];
    for (;;) {
        ssize_t got = read(file.fd, buffer, sizeof buffer);
        if (got == 0)
            return ERROR_SUCCESS;
        if (got < 0 && errno != EINTR)
            return ErrorFrom(errno, ERROR_BADDB);
        if (got > 0)
            bytes.append(buffer, static_cast<size_t>(got));
    }
}

// Writes all of `text` to the file at `path`; the test seam can make it
// fail part of the way through, as a full disk does.
bool WriteAll(int fd, const std::string& path, const std::string& text)
{
    int refused = platform::CallSeam("registry write", path);
    size_t done = 0;
    int error = platform::WriteAllBytes(fd, text.data(), refused ? text.size() / 2 : text.size(), &done);
    if (error || refused)
        errno = error ? error : refused;
    return !error && !refused;
}

// Keeps the damaged file as registry.reg.damaged, or .damaged.1, .2, ... when
// that name is taken: a hard link, or a copy where links are not supported.
bool KeepDamaged(const std::string& path, const std::string& bytes)
{
    for (int n = 0; n < 10000; ++n) {
        std::string name = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        if (link(path.c_str(), name.c_str()) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        Descriptor copy(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (copy.fd < 0 && errno == EEXIST)
            continue;
        if (copy.fd < 0)
            return false;
        if (WriteAll(copy.fd, name, bytes) && fsync(copy.fd) == 0)
            return true;
        int error = errno;
        unlink(name.c_str());
        errno = error;
        return false;
    }
    errno = EEXIST;
    return false;
}

// Removes the temporary files a writer killed part way left beside the
// registry. Called under the exclusive lock, when no other writer has one.
void RemoveLeftovers(const std::string& dir)
{
    const std::string prefix = "registry.reg.new-";
    DIR* listing = opendir(dir.c_str());
    while (struct dirent* entry = listing ? readdir(listing) : nullptr)
        if (std::string_view(entry->d_name).starts_with(prefix))
            unlinkat(dirfd(listing), entry->d_name, 0);
    if (listing)
        closedir(listing);
}

// Writes the text to a new temporary file beside the registry (created
// exclusively, never through a name that exists), keeps a damaged original
// aside, then renames the new file into place. On failure the old file
// stays as it was and the temporary file is removed.
LONG Save(const std::string& dir, const std::string& path, const std::string& text, const std::string* damaged)
{
    RemoveLeftovers(dir);
    std::string temp = path + ".new-XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return ErrorFrom(errno, ERROR_WRITE_FAULT);
    bool done = WriteAll(fd, temp, text) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done && damaged && !KeepDamaged(path, *damaged)) {
        done = false;
        error = errno;
    }
    if (done && rename(temp.c_str(), path.c_str()) != 0) {
        done = false;
        error = errno;
    }
    if (!done) {
        unlink(temp.c_str());
        return ErrorFrom(error, ERROR_WRITE_FAULT);
    }
    platform::SyncFolder(dir);  // best effort: the new file is in place
    return ERROR_SUCCESS;
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

// Reads the hive afresh under a shared lock, with this process's changes
// not yet on the disk on top. The lock is best effort so that a file in a
// read-only directory still reads.
LONG LoadHive(Hive& hive)
{
    std::string dir = ConfigDir();
    if (!dir.empty()) {
        std::string path = dir + "/registry.reg";
        Descriptor lock(TakeLock(path + ".lock", LOCK_SH));
        std::string bytes;
        if (LONG status = ReadBytes(path, bytes))
            return status;
        hive = Parse(bytes);
    }
    ApplyPending(hive, nullptr);
    return ERROR_SUCCESS;
}

// Applies `change` to the hive under the exclusive lock and saves the result
// when `change` reports that it changed something.
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
    Descriptor lock(TakeLock(path + ".lock", LOCK_EX));
    if (lock.fd < 0)
        return ErrorFrom(errno, ERROR_WRITE_FAULT);
    std::string bytes;
    if (LONG status = ReadBytes(path, bytes))
        return status;
    Hive hive = Parse(bytes);
    if (!change(hive))
        return ERROR_SUCCESS;
    return Save(dir, path, Serialize(hive), hive.damaged ? &bytes : nullptr);
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
