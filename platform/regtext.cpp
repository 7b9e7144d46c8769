// The registry's text model: parsing REGEDIT4 text into keys and values,
// finding and storing them, and writing the text again.
//
// Divisions: text checks, numbers, keys and values, parsing, writing.

#include "platform/regtext.h"

#include <cstdio>

namespace platform {

const char kRegistryRoot[] = "HKEY_LOCAL_MACHINE";

namespace {

const size_t kNone = static_cast<size_t>(-1);

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

// The number held in four little-endian bytes.
DWORD DwordFrom(const std::string& bytes)
{
    DWORD number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return number;
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

}  // namespace

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

// A number as the four little-endian bytes kept for REG_DWORD.
std::string DwordBytes(DWORD number)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
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
    if (folded == Fold(kRegistryRoot) || hive.index.count(folded))
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
        if (line.size() > kMaxRegistryLine || !Printable(line) || !ValidUtf8(line) || !ParseLine(hive, line, current))
            hive.damaged = true;
    }
    return hive;
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

}  // namespace platform
