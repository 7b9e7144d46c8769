// The window station's protocol and the JSON the descriptions are written
// in, without Qt: what winspy and the platform's station both link.
//
// Divisions: requests, replies, list lines, JSON.

#include "platform/protocol.h"

#include <cstdlib>

namespace platform {

// Requests

std::string StationRequestLine(const std::string& verb, uint64_t window, const Words& arguments)
{
    std::string line = verb;
    if (window)
        line += "\t" + std::to_string(window);
    for (const std::string& argument : arguments)
        line += "\t" + argument;
    return line;
}

Words SplitRequestLine(const std::string& line)
{
    Words words;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        words.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return words;
        start = tab + 1;
    }
}

// Replies

std::string OkReply(const std::string& body)
{
    return "ok\n" + (body.empty() ? std::string() : body + "\n");
}

std::string ErrorReply(const std::string& reason)
{
    return "error\t" + reason + "\n";
}

std::string NotFoundReply()
{
    return "notfound\n";
}

StationReply ParseReply(const std::string& reply)
{
    StationReply parsed;
    if (reply.rfind("ok\n", 0) == 0) {
        parsed.status = StationReply::Status::Ok;
        parsed.body = reply.substr(3);
        if (!parsed.body.empty() && parsed.body.back() == '\n')
            parsed.body.pop_back();
    } else if (reply.rfind("error\t", 0) == 0) {
        parsed.body = reply.substr(6, reply.find('\n') == std::string::npos ? std::string::npos : reply.find('\n') - 6);
    } else {
        parsed.status = reply.rfind("notfound", 0) == 0 ? StationReply::Status::NotFound : StationReply::Status::Error;
    }
    return parsed;
}

// List lines

std::vector<std::string> ReplyLines(const std::string& body)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        if (end > start)
            lines.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

// Appends code point `c` as UTF-8 (U+FFFD for one that cannot be).
void AppendUtf8(std::wstring::value_type c, std::string& out);

// A JSON string's content from `at` (just after its quote) to its closing
// quote, which `at` is left after; false when it is cut or ill-formed.
bool ReadJsonString(const std::string& line, size_t& at, std::wstring& text)
{
    while (at < line.size() && line[at] != '"') {
        unsigned char c = static_cast<unsigned char>(line[at++]);
        if (c == '\\') {
            if (at >= line.size())
                return false;
            char escape = line[at++];
            const char* plain = "\"\\/bfnrt";
            const wchar_t* meant = L"\"\\/\b\f\n\r\t";
            if (const char* found = std::char_traits<char>::find(plain, 8, escape)) {
                text += meant[found - plain];
                continue;
            }
            if (escape != 'u' || at + 4 > line.size())
                return false;
            unsigned unit = static_cast<unsigned>(std::strtoul(line.substr(at, 4).c_str(), nullptr, 16));
            at += 4;
            if (unit >= 0xD800 && unit < 0xDC00 && line.compare(at, 2, "\\u") == 0) {
                unsigned low = static_cast<unsigned>(std::strtoul(line.substr(at + 2, 4).c_str(), nullptr, 16));
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                at += 6;
            }
            text += static_cast<wchar_t>(unit);
            continue;
        }
        // UTF-8 sequences: the lead byte's bits, then six from each follower.
        int followers = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        unsigned code = followers ? c & (0x3F >> followers) : c;
        for (; followers > 0 && at < line.size(); --followers)
            code = (code << 6) | (static_cast<unsigned char>(line[at++]) & 0x3F);
        text += static_cast<wchar_t>(code);
    }
    return at++ < line.size();
}

}  // namespace

bool ParseListLine(const std::string& line, StationWindow& window)
{
    size_t at = line.find('{');
    bool captioned = false;
    while (at != std::string::npos && at < line.size()) {
        size_t quote = line.find('"', at);
        if (quote == std::string::npos)
            break;
        at = quote + 1;
        std::wstring key, text;
        if (!ReadJsonString(line, at, key) || (at = line.find(':', at)) == std::string::npos)
            return false;
        size_t value = line.find_first_not_of(' ', at + 1);
        if (value == std::string::npos)
            return false;
        if (line[value] == '"') {
            at = value + 1;
            if (!ReadJsonString(line, at, text))
                return false;
        } else {
            at = line.find_first_of(",}", value);
            text = std::wstring(line.begin() + static_cast<long>(value), line.begin() + static_cast<long>(at == std::string::npos ? line.size() : at));
        }
        std::string number(text.begin(), text.end());
        if (key == L"caption")
            window.caption = text, captioned = true;
        else if (key == L"kind")
            window.kind = number;
        else if (key == L"id")
            window.id = std::strtoull(number.c_str(), nullptr, 10);
        else if (key == L"created")
            window.created = std::strtod(number.c_str(), nullptr);
        else if (key == L"visible")
            window.visible = number == "true";
    }
    window.json = line;
    return captioned;
}

// JSON

namespace {

void AppendUtf8(std::wstring::value_type c, std::string& out)
{
    auto code = static_cast<unsigned long>(c);
    if (code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

void AppendJsonString(std::string& out, const std::wstring& text)
{
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += "\\\""; break;
        case L'\\': out += "\\\\"; break;
        case L'\b': out += "\\b"; break;
        case L'\f': out += "\\f"; break;
        case L'\n': out += "\\n"; break;
        case L'\r': out += "\\r"; break;
        case L'\t': out += "\\t"; break;
        default:
            if (c >= 0 && c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                AppendUtf8(c, out);
            }
        }
    }
    out += '"';
}

void AppendJsonKey(std::string& out, const char* key)
{
    if (!out.empty() && out.back() != '{')
        out += ',';
    out += '"';
    out += key;
    out += "\":";
}

void AppendJsonInt(std::string& out, const char* key, long long value)
{
    AppendJsonKey(out, key);
    out += std::to_string(value);
}

void AppendJsonBool(std::string& out, const char* key, bool value)
{
    AppendJsonKey(out, key);
    out += value ? "true" : "false";
}

void AppendJsonText(std::string& out, const char* key, const std::wstring& text)
{
    AppendJsonKey(out, key);
    AppendJsonString(out, text);
}

void AppendJsonStrings(std::string& out, const std::vector<std::wstring>& texts, size_t atLeast)
{
    static const std::wstring kEmpty;
    AppendJsonArray(out, texts.size() > atLeast ? texts.size() : atLeast,
                    [&](size_t i) { AppendJsonString(out, i < texts.size() ? texts[i] : kEmpty); });
}

}  // namespace platform
