// The window station's protocol, built and read in one place by the
// programs on both ends (the platform's station, winspy, the benchmarks),
// without Qt. A request is one line, "VERB\tWINDOW-ID\tARG..." (no window
// ID for the verbs that name none); a reply is "ok\n" and what was asked
// for, "error\tREASON\n" or "notfound\n". `list` answers a line of compact
// JSON for each top-level window. Also the one JSON writer the platform's
// descriptions use.
//
// Divisions: requests, replies, list lines, JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Requests

using Words = std::vector<std::string>;

// The request line (without its line end) for `verb` on window `window` of
// the process asked; `window` 0 for a verb that names none.
std::string StationRequestLine(const std::string& verb, uint64_t window = 0, const Words& arguments = {});
// A request line's words: the verb, the window's ID, the arguments.
Words SplitRequestLine(const std::string& line);

// Replies

std::string OkReply(const std::string& body = std::string());
std::string ErrorReply(const std::string& reason);
std::string NotFoundReply();

struct StationReply {
    enum class Status { Ok, Error, NotFound } status = Status::Error;
    std::string body;  // what was asked for, or the reason of an error (without line ends)
};
StationReply ParseReply(const std::string& reply);

// List lines

// One top-level window of some process, as that process reports it.
struct StationWindow {
    int pid = 0;             // owning process
    uint64_t id = 0;         // the window's serial in that process
    std::wstring caption;    // exact caption
    std::string kind;        // "dialog", "messagebox", "help" or "other"
    bool visible = false;    // shown now
    double created = 0;      // creation time, ms since the epoch
    std::string json;        // the line as the process sent it
};

// The lines of an `ok` reply to `list`.
std::vector<std::string> ReplyLines(const std::string& body);
// Reads a list line; false when it is not a JSON object with a caption.
bool ParseListLine(const std::string& line, StationWindow& window);

// JSON: compact, keys written by the caller in sorted order, strings as
// UTF-8 with the escapes JSON requires.

void AppendJsonString(std::string& out, const std::wstring& text);
// `"key":` after a comma unless it opens the object.
void AppendJsonKey(std::string& out, const char* key);
void AppendJsonInt(std::string& out, const char* key, long long value);
void AppendJsonBool(std::string& out, const char* key, bool value);
void AppendJsonText(std::string& out, const char* key, const std::wstring& text);
void AppendJsonStrings(std::string& out, const std::vector<std::wstring>& texts, size_t atLeast = 0);

// A JSON array of `count` elements, each written by `element(i)`.
template <typename Element>
void AppendJsonArray(std::string& out, size_t count, Element element)
{
    out += '[';
    for (size_t i = 0; i < count; ++i) {
        if (i)
            out += ',';
        element(i);
    }
    out += ']';
}

}  // namespace platform
