// The registry: HKEY_LOCAL_MACHINE kept in a REGEDIT4 text file under the
// user's configuration directory. Every call reads the file afresh. What is
// set through an open key is seen at once by this process and reaches the
// disk together, when the key is closed or flushed: one locked
// read-modify-write that replaces the file atomically.
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/testing.h"
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

// An open key: its full path, root included.
struct RegistryKey {
    std::string path;
};

namespace {

const char kRoot[] = "HKEY_LOCAL_MACHINE";
// Longer lines are taken as damage; values that would need one are refused.
const size_t kMaxLine = 1 << 20;
const size_t kNone = static_cast<size_t>(-1);

struct Value {
    std::string name;  // spelling as first written; empty for the default value
    DWORD type = REG_NONE;
    std::string data;  // REG_SZ: UTF-8 text; other types: the bytes as stored
};

struct Key {
    std::string path;  // spelling as first written
    std::vector<Value> values;
    std::unordered_map<std::string, size_t> index;  // folded name -> values
};

struct Hive {
    std::vector<Key> keys;
    std::unordered_map<std::string, size_t> index;  // folded path -> keys
    bool damaged = false;  // some line could not be understood
};

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
std::atomic<int> writesBeforeFailure{-1};

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

// ASCII lower case, for comparing paths and names.
std::string Fold(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// True when the text has no control characters other than tab.
bool Printable(std::string_view text)
{
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t')
            return false;
    return true;
}

// True for well-formed UTF-8: no overlong forms, surrogates or code points
// past U+10FFFF.
bool ValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || text.size() - i < length)
            return false;
        static const unsigned lowest[] = {0, 0, 0x80, 0x800, 0x10000};
        unsigned code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < lowest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// The value of one hexadecimal digit, -1 for anything else.
int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a hexadecimal number of 1 to 8 digits.
bool ParseHexNumber(std::string_view text, DWORD& number)
{
    if (text.empty() || text.size() > 8)
        return false;
    number = 0;
    for (char c : text) {
        if (HexDigit(c) < 0)
            return false;
        number = number * 16 + static_cast<DWORD>(HexDigit(c));
    }
    return true;
}

// A number as the four little-endian bytes kept for REG_DWORD.
std::string DwordBytes(DWORD number)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
}

// The number held in four little-endian bytes.
DWORD DwordFrom(const std::string& bytes)
{
    DWORD number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return number;
}

// The index of the key, added at the end when it is new.
size_t AddKey(Hive& hive, const std::string& path)
{
    auto [entry, added] = hive.index.emplace(Fold(path), hive.keys.size());
    if (added)
        hive.keys.push_back(Key{path, {}, {}});
    return entry->second;
}

// The key with this path in any case, or null.
const Key* FindKey(const Hive& hive, const std::string& path)
{
    auto found = hive.index.find(Fold(path));
    return found == hive.index.end() ? nullptr : &hive.keys[found->second];
}

// A key exists when it has a section, or a key below it has one.
bool KeyExists(const Hive& hive, const std::string& path)
{
    std::string folded = Fold(path);
    if (folded == Fold(kRoot) || hive.index.count(folded))
        return true;
    folded += '\\';
    for (const auto& entry : hive.index)
        if (entry.first.starts_with(folded))
            return true;
    return false;
}

// The value with this name in any case, or null.
const Value* FindValue(const Key& key, const std::string& name)
{
    auto found = key.index.find(Fold(name));
    return found == key.index.end() ? nullptr : &key.values[found->second];
}

// Stores the value under the name's first spelling; false when nothing changed.
bool StoreValue(Key& key, const Value& value)
{
    auto [entry, added] = key.index.emplace(Fold(value.name), key.values.size());
    if (added) {
        key.values.push_back(value);
        return true;
    }
    Value& old = key.values[entry->second];
    if (old.type == value.type && old.data == value.data)
        return false;
    old.type = value.type;
    old.data = value.data;
    return true;
}

// Reads a quoted text starting at line[pos], undoing the \\ and \" escapes;
// pos ends past the closing quote.
bool ParseQuoted(std::string_view line, size_t& pos, std::string& out)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && (++pos == line.size() || (line[pos] != '\\' && line[pos] != '"')))
            return false;
        out += line[pos];
    }
    return false;
}

// Reads comma-separated byte pairs such as "0a,ff".
bool ParseHexBytes(std::string_view text, std::string& out)
{
    for (size_t pos = 0; pos < text.size(); pos += 3) {
        if (text.size() - pos < 2 || HexDigit(text[pos]) < 0 || HexDigit(text[pos + 1]) < 0)
            return false;
        if (text.size() - pos > 2 && text[pos + 2] != ',')
            return false;
        if (text.size() - pos == 3)
            return false;  // a trailing comma: the line was cut or continues
        out += static_cast<char>(HexDigit(text[pos]) * 16 + HexDigit(text[pos + 1]));
    }
    return true;
}

// Reads the data after the '=' of a value line.
bool ParseData(std::string_view text, Value& value)
{
    if (text.starts_with('"')) {
        size_t pos = 0;
        value.type = REG_SZ;
        return ParseQuoted(text, pos, value.data) && pos == text.size();
    }
    if (text.starts_with("dword:")) {
        DWORD number = 0;
        if (text.size() != 14 || !ParseHexNumber(text.substr(6), number))
            return false;
        value.type = REG_DWORD;
        value.data = DwordBytes(number);
        return true;
    }
    if (text.starts_with("hex:")) {
        value.type = REG_BINARY;
        return ParseHexBytes(text.substr(4), value.data);
    }
    size_t close = text.find("):");
    if (!text.starts_with("hex(") || close == std::string_view::npos || !ParseHexNumber(text.substr(4, close - 4), value.type))
        return false;
    return ParseHexBytes(text.substr(close + 2), value.data);
}

// Adds one line to the hive; false when the line is not understood.
bool ParseLine(Hive& hive, std::string_view line, size_t& current)
{
    if (line.starts_with('[')) {
        if (line.size() < 3 || !line.ends_with(']'))
            return false;
        current = AddKey(hive, std::string(line.substr(1, line.size() - 2)));
        return true;
    }
    if (current == kNone || !(line.starts_with('"') || line.starts_with('@')))
        return false;
    Value value;
    size_t pos = line[0] == '@' ? 1 : 0;
    if (pos == 0 && !ParseQuoted(line, pos, value.name))
        return false;
    if (pos >= line.size() || line[pos] != '=' || !ParseData(line.substr(pos + 1), value))
        return false;
    // A repeated name takes the later data, as regedit does, but counts as
    // damage so that the original is kept when the file is rewritten.
    Key& key = hive.keys[current];
    bool repeated = FindValue(key, value.name) != nullptr;
    StoreValue(key, value);
    return !repeated;
}

// Reads the file's text line by line, skipping lines it cannot understand.
Hive Parse(const std::string& bytes)
{
    Hive hive;
    size_t current = kNone;
    bool first = true;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string_view line(bytes.data() + start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (first) {
            first = false;
            if (line.starts_with("\xEF\xBB\xBF"))
                line.remove_prefix(3);
            if (line == "REGEDIT4")
                continue;
            hive.damaged = true;  // no header
        }
        if (line.size() > kMaxLine || !Printable(line) || !ValidUtf8(line) || !ParseLine(hive, line, current))
            hive.damaged = true;
    }
    return hive;
}

// Text in double quotes with \\ and \" escaped.
std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// Bytes as comma-separated hexadecimal pairs.
std::string HexBytes(const std::string& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 3);
    for (unsigned char c : data) {
        if (!out.empty())
            out += ',';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// One value line as the file keeps it. Text that a quoted line cannot hold
// (line breaks, control characters) is kept as hex(1) bytes.
std::string FormatValue(const Value& value)
{
    std::string line = value.name.empty() ? "@=" : Quote(value.name) + "=";
    if (value.type == REG_SZ && Printable(value.data) && ValidUtf8(value.data))
        return line + Quote(value.data);
    char prefix[24];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        std::snprintf(prefix, sizeof prefix, "dword:%08x", static_cast<unsigned>(DwordFrom(value.data)));
        return line + prefix;
    }
    if (value.type == REG_BINARY)
        return line + "hex:" + HexBytes(value.data);
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    return line + prefix + HexBytes(value.data);
}

// The whole file: header, then each key with its values.
std::string Serialize(const Hive& hive)
{
    std::string out = "REGEDIT4\n";
    for (const Key& key : hive.keys) {
        out += "\n[" + key.path + "]\n";
        for (const Value& value : key.values)
            out += FormatValue(value) + '\n';
    }
    return out;
}

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

// Tells whether the test seam lets the next file write through.
bool SeamAllowsWrite()
{
    int left = writesBeforeFailure.load();
    if (left < 0)
        return true;
    if (left == 0)
        return false;
    writesBeforeFailure = left - 1;
    return true;
}

// Writes all of `text`; the test seam can make it run out of space midway.
bool WriteAll(int fd, const std::string& text)
{
    bool allowed = SeamAllowsWrite();
    size_t done = 0;
    int error = platform::WriteAllBytes(fd, text.data(), allowed ? text.size() : text.size() / 2, &done);
    if (error || !allowed)
        errno = error ? error : ENOSPC;
    return !error && allowed;
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
        if (WriteAll(copy.fd, bytes) && fsync(copy.fd) == 0)
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
    bool done = WriteAll(fd, text) && fsync(fd) == 0;
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
        path = kRoot;
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
    path = kRoot;
    if (!subKey || !*subKey)
        return ERROR_SUCCESS;
    std::string text = platform::ToUtf8(subKey);
    if (!Printable(text) || text.size() > kMaxLine / 2 || text.front() == '\\' || text.back() == '\\' || text.find("\\\\") != std::string::npos)
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
        if (FormatValue(value).size() > kMaxLine)
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

void RegistryFailWritesForTest(int failAfter)
{
    writesBeforeFailure = failAfter;
}
