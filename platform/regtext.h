// The registry's text model: HKEY_LOCAL_MACHINE as the REGEDIT4 text of
// its file, read and written without touching the disk (so it can be
// fuzzed on its own). Key and value names compare without case and keep
// their first spelling; lines that cannot be understood are taken as damage
// and skipped.
#pragma once

#include "platform/platform.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

extern const char kRegistryRoot[];  // "HKEY_LOCAL_MACHINE"
// Longer lines are taken as damage; values that would need one are refused.
constexpr size_t kMaxRegistryLine = 1 << 20;

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

// ASCII lower case, for comparing paths and names.
std::string Fold(std::string_view text);
// True when the text has no control characters other than tab.
bool Printable(std::string_view text);
// True for well-formed UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool ValidUtf8(std::string_view text);
// A number as the four little-endian bytes kept for REG_DWORD.
std::string DwordBytes(DWORD number);
// The index of the key, added at the end when it is new.
size_t AddKey(Hive& hive, const std::string& path);
// The key with this path in any case, or null.
const Key* FindKey(const Hive& hive, const std::string& path);
// A key exists when it has a section, or a key below it has one.
bool KeyExists(const Hive& hive, const std::string& path);
// The value with this name in any case, or null.
const Value* FindValue(const Key& key, const std::string& name);
// Stores the value under the name's first spelling; false when nothing changed.
bool StoreValue(Key& key, const Value& value);
// Reads the file's text line by line, skipping lines it cannot understand.
Hive Parse(const std::string& bytes);
// One value line as the file keeps it.
std::string FormatValue(const Value& value);
// The whole file: header, then each key with its values.
std::string Serialize(const Hive& hive);

}  // namespace platform
