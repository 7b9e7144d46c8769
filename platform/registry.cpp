// The registry: HKEY_LOCAL_MACHINE kept in a REGEDIT4 text file under the
// user's configuration directory (its store is regstore.cpp, its text
// model regtext.cpp). What is set through an open key is seen at once by
// this process and reaches the disk together, when the key is closed or
// flushed.
//
// Divisions: open keys and changes not yet stored, the handle calls.
#include "platform/platform.h"
#include "platform/regstore.h"
#include "platform/regtext.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

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

// The hive on the disk with this process's changes not yet stored on top.
LONG LoadHiveWithChanges(Hive& hive)
{
    LONG status = LoadHive(hive);
    if (status == ERROR_SUCCESS)
        ApplyPending(hive, nullptr);
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
        if (LONG status = LoadHiveWithChanges(hive))
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
        if (LONG status = LoadHiveWithChanges(hive))
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
        if (LONG status = LoadHiveWithChanges(hive))
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
