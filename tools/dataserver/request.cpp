// The data server's request parsing: a request head's bytes read into the
// request they make, or the HTTP status of the error that answers them.
//
// Divisions: words (tokens, case, blanks), the head's end and its lines,
// the request line, the header fields, the target's path, the head whole.

#include "tools/dataserver/request.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace dataserver {

namespace {

// Words

bool IsTokenChar(unsigned char c)
{
    return std::isalnum(c) || std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return IsTokenChar(c); });
}

bool SameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The head's end and its lines

// Where a whole head ends in `in` (just past its blank line), or 0 when
// none is there yet.
size_t HeadEnd(std::string_view in)
{
    for (size_t at = in.find('\n'); at != std::string_view::npos; at = in.find('\n', at + 1)) {
        if (at + 1 < in.size() && in[at + 1] == '\n')
            return at + 2;
        if (at + 2 < in.size() && in[at + 1] == '\r' && in[at + 2] == '\n')
            return at + 3;
    }
    return 0;
}

// The lines of a whole head without their ends or the blank line that
// ends it; false when a CR stands inside a line.
bool SplitLines(std::string_view head, std::vector<std::string_view>& lines)
{
    while (!head.empty()) {
        size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find('\r') != std::string_view::npos)
            return false;
        lines.push_back(line);
    }
    lines.pop_back();  // the blank line
    return true;
}

// The request line

struct RequestLine {
    std::string_view method, target, version;
};

// METHOD SP TARGET SP HTTP/x.y, the method a token and the target visible
// ASCII: 0, or 400.
int SplitRequestLine(std::string_view line, RequestLine& parts)
{
    size_t first = line.find(' '), second = line.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return 400;
    parts.method = line.substr(0, first);
    parts.target = line.substr(first + 1, second - first - 1);
    parts.version = line.substr(second + 1);
    if (!IsToken(parts.method) || parts.target.empty() ||
        !std::all_of(parts.target.begin(), parts.target.end(), [](unsigned char c) { return c > 0x20 && c < 0x7f; }))
        return 400;
    return 0;
}

// HTTP/1.x is 0, with `http10` set for 1.0; another HTTP/x.y is 505,
// anything else 400.
int ReadVersion(std::string_view version, bool& http10)
{
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || !std::isdigit(static_cast<unsigned char>(version[5])) ||
        version[6] != '.' || !std::isdigit(static_cast<unsigned char>(version[7])))
        return 400;
    if (version[5] != '1')
        return 505;
    http10 = version[7] == '0';
    return 0;
}

// The header fields

// What the header fields say of the host, the connection and a body.
struct Fields {
    int hosts = 0;
    bool close = false, keepAlive = false, body = false;
    std::string_view length;  // the Content-Length, when one came
};

// The options of a Connection field, separated by commas.
void ReadConnection(std::string_view value, Fields& fields)
{
    for (size_t start = 0; start <= value.size();) {
        size_t comma = std::min(value.find(',', start), value.size());
        std::string_view option = Trim(value.substr(start, comma - start));
        fields.close = fields.close || SameWord(option, "close");
        fields.keepAlive = fields.keepAlive || SameWord(option, "keep-alive");
        start = comma + 1;
    }
}

// A Content-Length: digits, the same in every such field. 0, or 400.
int ReadContentLength(std::string_view value, Fields& fields)
{
    if (value.empty() || !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); }) ||
        (!fields.length.empty() && fields.length != value))
        return 400;
    fields.length = value;
    fields.body = fields.body || value.find_first_not_of('0') != std::string_view::npos;
    return 0;
}

// One NAME: VALUE line: 0, or 400 for no name, a name with spaces, a folded
// line or a control character in the value.
int ReadField(std::string_view line, Fields& fields)
{
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)))
        return 400;
    std::string_view name = line.substr(0, colon), value = Trim(line.substr(colon + 1));
    for (unsigned char c : value)
        if ((c < 0x20 && c != '\t') || c == 0x7f)
            return 400;
    if (SameWord(name, "Host"))
        fields.hosts++;
    else if (SameWord(name, "Connection"))
        ReadConnection(value, fields);
    else if (SameWord(name, "Content-Length"))
        return ReadContentLength(value, fields);
    else if (SameWord(name, "Transfer-Encoding"))
        fields.body = true;
    return 0;
}

// Every field after the request line, then one Host (none needed by
// HTTP/1.0): 0, or 400.
int ReadFields(const std::vector<std::string_view>& lines, bool http10, Fields& fields)
{
    for (size_t i = 1; i < lines.size(); i++)
        if (int status = ReadField(lines[i], fields))
            return status;
    return fields.hosts > 1 || (fields.hosts == 0 && !http10) ? 400 : 0;
}

// The target's path

// The path a target names, without its query; an absolute URI names the
// host before its path. False when it names no path.
bool ReadPath(std::string_view target, std::string& path)
{
    if (target.size() > 7 && (SameWord(target.substr(0, 7), "http://") || SameWord(target.substr(0, 8), "https://"))) {
        size_t slash = target.find('/', target.find("//") + 2);
        target = slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    if (target[0] != '/')
        return false;
    path = target.substr(0, target.find('?'));
    return true;
}

// The head whole

// Reads a whole head, ending in its blank line, into `request`: 0 for a
// GET or HEAD, else the status of the answer.
int ReadHead(std::string_view head, Request& request)
{
    std::vector<std::string_view> lines;
    if (!SplitLines(head, lines))
        return 400;
    if (lines.size() - 1 > static_cast<size_t>(kMaxHeaderFields))
        return 431;
    RequestLine line;
    Fields fields;
    if (int status = SplitRequestLine(lines[0], line))
        return status;
    if (int status = ReadVersion(line.version, request.http10))
        return status;
    if (int status = ReadFields(lines, request.http10, fields))
        return status;
    // Request bodies are never read, so a request with one ends its connection.
    request.keepAlive = !fields.close && !fields.body && (!request.http10 || fields.keepAlive);
    if (line.method != "GET" && line.method != "HEAD")
        return 405;
    request.head = line.method == "HEAD";
    return ReadPath(line.target, request.path) ? 0 : 400;
}

}  // namespace

ParsedHead ParseHead(std::string_view in)
{
    ParsedHead parsed;
    parsed.length = HeadEnd(in.substr(0, kMaxHeadBytes));
    if (parsed.length != 0)
        parsed.status = ReadHead(in.substr(0, parsed.length), parsed.request);
    else if (in.size() > kMaxHeadBytes)
        parsed.status = in.find('\n') < kMaxHeadBytes ? 431 : 414;
    return parsed;
}

}  // namespace dataserver
