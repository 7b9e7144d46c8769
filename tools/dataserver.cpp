// corvale-dataserver: serves a season's Standings.dat and Schedule.dat on
// the loopback address at the paths the program downloads them from.
// See `corvale-dataserver --help`.
//
// One thread serves every connection through non-blocking sockets and
// epoll, so a slow, idle or hostile client holds only its own connection.
// Each connection keeps at most one request head (kMaxHeadBytes) and the
// head of one answer in memory; bodies go from the file to the socket.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pwd.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

const char kHelp[] = R"(usage: corvale-dataserver --root DIR [--port N] [--stall SECONDS]

Serves DIR/Standings.dat and DIR/Schedule.dat, read afresh at each request,
as /sports/football/2003/Standings.dat and /sports/football/2003/Schedule.dat
on 127.0.0.1 (port 80 unless --port; 0 takes any free port), to GET and HEAD
over HTTP/1.0 and 1.1 with keep-alive. Only regular files are served: a
link, FIFO, folder or device at either name is 404, as is every other path.
With --stall, holds each request SECONDS (0 to 3600) before answering, as a
slow network would. A request head larger than 8 KiB or of more than 100
header fields is answered 431; a head must arrive whole within 3 seconds of
its first byte, and a connection idle for 5 seconds is closed.
Started as root, it gives up root once listening: it runs as the user that
SUDO_UID and SUDO_GID name, else as nobody and nogroup.
Prints "serving DIR on 127.0.0.1:PORT" once listening; stops on SIGINT or
SIGTERM.
Exit status: 0 stopped, 1 cannot listen or cannot give up root, 2 bad
arguments.
)";

const char kHost[] = "127.0.0.1";
const std::string_view kStandingsPath = "/sports/football/2003/Standings.dat";
const std::string_view kSchedulePath = "/sports/football/2003/Schedule.dat";

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kMaxHeadBytes = 8192;   // request line, header fields and the blank line
constexpr int kMaxHeaderFields = 100;
// The connections' deadlines. CORVALE_CLOCK_SPEED=N (1 to 100), which only
// the tests set, divides them by N, so that a test of them takes a second.
milliseconds g_idleTime(5000);    // a kept-alive connection waiting for a request
milliseconds g_headTime(3000);    // a request head, from its first byte to its end
milliseconds g_sendTime(10000);   // an answer making no progress
milliseconds g_lingerTime(2000);  // reading what a closed client still sends
constexpr auto kTick = milliseconds(50);         // how often deadlines are looked at
constexpr size_t kInlineBody = 65536;            // bodies up to this size go out with their head
constexpr int kMaxConnections = 4096;

int Usage(const char* problem)
{
    std::fprintf(stderr, "corvale-dataserver: %s\n\n%s", problem, kHelp);
    return 2;
}

// A port number 0..65535, or -1.
int ParsePort(const char* text)
{
    char* end = nullptr;
    errno = 0;
    long port = std::strtol(text, &end, 10);
    if (errno || end == text || *end || port < 0 || port > 65535)
        return -1;
    return static_cast<int>(port);
}

// ---- Requests

enum class Target { None, Standings, Schedule };

struct Request {
    bool head = false;       // HEAD: the answer without its body
    bool http10 = false;     // an HTTP/1.0 request, kept alive only when it asks
    bool keepAlive = false;  // the connection stays open after the answer
    Target target = Target::None;
};

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

// Where a whole head ends in `in` (just past its blank line), or 0 when
// none is there yet. Lines end in LF, with or without CR.
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

// Reads one request head (ending in its blank line) into `request`: 0 for
// a GET or HEAD to answer, else the status of the answer, after which the
// connection closes unless `request.keepAlive` says otherwise (405 only).
int ParseHead(std::string_view head, Request& request)
{
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find('\r') != std::string_view::npos)
            return 400;
        lines.push_back(line);
    }
    lines.pop_back();  // the blank line
    if (lines.size() - 1 > static_cast<size_t>(kMaxHeaderFields))
        return 431;

    // METHOD SP TARGET SP HTTP/x.y
    std::string_view line = lines[0];
    size_t first = line.find(' '), second = line.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return 400;
    std::string_view method = line.substr(0, first);
    std::string_view target = line.substr(first + 1, second - first - 1);
    std::string_view version = line.substr(second + 1);
    if (!IsToken(method) || target.empty() ||
        !std::all_of(target.begin(), target.end(), [](unsigned char c) { return c > 0x20 && c < 0x7f; }))
        return 400;
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || !std::isdigit(static_cast<unsigned char>(version[5])) ||
        version[6] != '.' || !std::isdigit(static_cast<unsigned char>(version[7])))
        return 400;
    if (version[5] != '1')
        return 505;
    const bool http10 = version[7] == '0';
    request.http10 = http10;

    int hosts = 0;
    bool close = false, keepAlive = false, body = false;
    std::string_view length;
    for (size_t i = 1; i < lines.size(); i++) {
        std::string_view field = lines[i];
        size_t colon = field.find(':');
        if (colon == std::string_view::npos || !IsToken(field.substr(0, colon)))
            return 400;  // no name, a name with spaces, or a folded line
        std::string_view name = field.substr(0, colon), value = Trim(field.substr(colon + 1));
        for (unsigned char c : value)
            if ((c < 0x20 && c != '\t') || c == 0x7f)
                return 400;
        if (SameWord(name, "Host")) {
            hosts++;
        } else if (SameWord(name, "Connection")) {
            for (size_t start = 0; start <= value.size();) {
                size_t comma = std::min(value.find(',', start), value.size());
                std::string_view option = Trim(value.substr(start, comma - start));
                close = close || SameWord(option, "close");
                keepAlive = keepAlive || SameWord(option, "keep-alive");
                start = comma + 1;
            }
        } else if (SameWord(name, "Content-Length")) {
            if (value.empty() || !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); }) ||
                (!length.empty() && length != value))
                return 400;
            length = value;
            body = body || value.find_first_not_of('0') != std::string_view::npos;
        } else if (SameWord(name, "Transfer-Encoding")) {
            body = true;
        }
    }
    if (hosts > 1 || (hosts == 0 && !http10))
        return 400;
    // Request bodies are never read, so a request with one ends its connection.
    request.keepAlive = !close && !body && (!http10 || keepAlive);

    if (method != "GET" && method != "HEAD")
        return 405;
    request.head = method == "HEAD";
    // An absolute URI names the host before its path.
    if (target.size() > 7 && (SameWord(target.substr(0, 7), "http://") || SameWord(target.substr(0, 8), "https://"))) {
        size_t slash = target.find('/', target.find("//") + 2);
        target = slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    if (target[0] != '/')
        return 400;
    std::string_view path = target.substr(0, target.find('?'));
    request.target = path == kStandingsPath ? Target::Standings : path == kSchedulePath ? Target::Schedule : Target::None;
    return 0;
}

// ---- Files

// Opens the regular file `name` directly inside the folder `root`; -1 for
// anything else: missing, a link (which could lead out of the folder), a
// FIFO (whose open or read would block), a folder, a socket or a device.
int OpenServedFile(const std::string& root, const char* name, off_t* size)
{
    int folder = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return -1;
    struct stat named {}, opened {};
    int file = -1;
    if (fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode)) {
        file = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        // The name may have been given to something else between the two looks.
        if (file >= 0 && (fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev ||
                          opened.st_ino != named.st_ino)) {
            close(file);
            file = -1;
        }
    }
    close(folder);
    *size = opened.st_size;
    return file;
}

// ---- Answers

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 505: return "HTTP Version Not Supported";
    }
    return "Error";
}

// The Date field's text, made again once a second.
const char* HttpDate()
{
    static time_t made = 0;
    static char text[64];
    time_t now = time(nullptr);
    if (now != made) {
        tm parts {};
        gmtime_r(&now, &parts);
        strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
        made = now;
    }
    return text;
}

// The head of an answer of `length` body bytes to `request`.
std::string AnswerHead(int status, long long length, const Request& request, bool close)
{
    char head[512];
    int size = std::snprintf(head, sizeof head,
                             "HTTP/1.1 %d %s\r\nDate: %s\r\nContent-Type: text/plain\r\nContent-Length: %lld\r\n%s%s\r\n",
                             status, Reason(status), HttpDate(), length, status == 405 ? "Allow: GET, HEAD\r\n" : "",
                             close ? "Connection: close\r\n" : request.http10 ? "Connection: keep-alive\r\n" : "");
    return std::string(head, size);
}

// ---- Connections

enum class State {
    Reading,    // waiting for (the rest of) a request head
    Held,       // a request held by --stall
    Writing,    // an answer waiting for room in the socket
    Lingering,  // answered and shut for writing; what the client still sends is read and dropped
    Closed,     // gone; freed once the events at hand are handled
};

struct Connection {
    int fd = -1;
    State state = State::Reading;
    std::string in;            // bytes received and not yet answered, at most kMaxHeadBytes + 1
    std::string out;           // the part of an answer's head still to send
    int file = -1;             // the body's file, sent from fileOffset up to fileEnd
    off_t fileOffset = 0, fileEnd = 0;
    bool closeAfter = false;   // close once the answer has gone
    bool headBegun = false;    // a byte of the next request head has come
    Request held;              // the request a stall holds
    Clock::time_point deadline;
    uint32_t events = 0;       // what epoll watches for
};

class Server {
public:
    Server(std::string root, int stallSeconds, int listener, int epoll, int signals)
        : root_(std::move(root)), stall_(std::chrono::seconds(stallSeconds)), listener_(listener), epoll_(epoll),
          signals_(signals)
    {
    }
    int Run();

private:
    void Accept();
    void OnEvent(Connection& c, uint32_t events);
    void Read(Connection& c);
    void Serve(Connection& c);
    void Answer(Connection& c, int status, const Request& request);
    void AnswerFile(Connection& c, const Request& request);
    void Flush(Connection& c);
    void Finished(Connection& c);
    void OnDeadline(Connection& c);
    void Watch(Connection& c, uint32_t events);
    void Close(Connection& c);
    void PauseAccepting(bool pause);

    const std::string root_;
    const Clock::duration stall_;
    const int listener_, epoll_, signals_;
    std::vector<std::unique_ptr<Connection>> connections_;  // by socket
    std::vector<std::unique_ptr<Connection>> closed_;       // closed while their events were handled
    int open_ = 0;
    bool paused_ = false;
    Clock::time_point now_ = Clock::now();
    Clock::time_point resumeAccepting_;  // after running out of file descriptors
};

void Server::Watch(Connection& c, uint32_t events)
{
    if (c.events == events)
        return;
    epoll_event event {events, {}};
    event.data.fd = c.fd;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &event);
    c.events = events;
}

void Server::PauseAccepting(bool pause)
{
    if (paused_ == pause)
        return;
    epoll_event event {pause ? 0u : static_cast<uint32_t>(EPOLLIN), {}};
    event.data.fd = listener_;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, listener_, &event);
    paused_ = pause;
}

void Server::Close(Connection& c)
{
    if (c.file >= 0)
        close(c.file);
    c.file = -1;
    close(c.fd);  // leaves the epoll set too
    c.state = State::Closed;
    closed_.push_back(std::move(connections_[c.fd]));
    if (--open_ < kMaxConnections && now_ >= resumeAccepting_)
        PauseAccepting(false);
}

void Server::Accept()
{
    for (int i = 0; i < 64 && open_ < kMaxConnections; i++) {
        int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: wait for connections to end rather than spin.
                resumeAccepting_ = now_ + kTick * 4;
                PauseAccepting(true);
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (static_cast<size_t>(fd) >= connections_.size())
            connections_.resize(fd + 1);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->events = EPOLLIN;
        c->deadline = now_ + g_idleTime;
        epoll_event event {EPOLLIN, {}};
        event.data.fd = fd;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
            close(fd);
            continue;
        }
        connections_[fd] = std::move(c);
        open_++;
    }
    if (open_ >= kMaxConnections)
        PauseAccepting(true);
}

void Server::OnEvent(Connection& c, uint32_t events)
{
    switch (c.state) {
    case State::Reading:
        Read(c);
        break;
    case State::Writing:
        if (events & (EPOLLOUT | EPOLLERR | EPOLLHUP))
            Flush(c);
        Serve(c);  // requests that came while it waited
        break;
    case State::Lingering: {
        // A bounded share at each turn, so that a client sending without end
        // keeps no one else waiting.
        static char dropped[65536];
        ssize_t got = 1;
        for (int reads = 0; reads < 4 && got > 0; reads++)
            got = recv(c.fd, dropped, sizeof dropped, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            Close(c);
        break;
    }
    case State::Held:
        if (events & (EPOLLERR | EPOLLHUP))
            Close(c);
        break;
    case State::Closed:
        break;
    }
}

// Reads while there is room for a head, then answers what has come whole.
void Server::Read(Connection& c)
{
    static char buffer[kMaxHeadBytes + 1];
    while (c.in.size() <= kMaxHeadBytes) {
        size_t room = kMaxHeadBytes + 1 - c.in.size();
        ssize_t got = recv(c.fd, buffer, room, 0);
        if (got > 0) {
            c.in.append(buffer, got);
            if (static_cast<size_t>(got) < room)
                break;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        Close(c);  // gone, or reset: a head it began is not answered
        return;
    }
    if (!c.headBegun && !c.in.empty()) {
        c.headBegun = true;
        c.deadline = now_ + g_headTime;
    }
    Serve(c);
}

// Answers every whole request head waiting in `in`, in order, as long as
// the answers go out at once.
void Server::Serve(Connection& c)
{
    while (c.state == State::Reading) {
        size_t blank = c.in.find_first_not_of("\r\n");
        c.in.erase(0, blank == std::string::npos ? c.in.size() : blank);  // empty lines before a request
        size_t end = HeadEnd(std::string_view(c.in).substr(0, kMaxHeadBytes));
        if (end == 0) {
            // Too long: a request line alone that long names a target too long.
            if (c.in.size() > kMaxHeadBytes)
                Answer(c, c.in.find('\n') < kMaxHeadBytes ? 431 : 414, Request {});
            return;
        }
        Request request;
        int status = ParseHead(std::string_view(c.in).substr(0, end), request);
        c.in.erase(0, end);
        if (status != 0) {
            Answer(c, status, request);
        } else if (stall_.count() > 0) {
            c.held = request;
            c.state = State::Held;
            c.deadline = now_ + stall_;
            Watch(c, 0);
            return;
        } else {
            AnswerFile(c, request);
        }
    }
}

void Server::Answer(Connection& c, int status, const Request& request)
{
    c.closeAfter = !(status == 405 && request.keepAlive);
    const std::string body = std::string(Reason(status)) + "\n";
    c.out = AnswerHead(status, static_cast<long long>(body.size()), request, c.closeAfter) + body;
    Flush(c);
}

void Server::AnswerFile(Connection& c, const Request& request)
{
    off_t size = 0;
    int file = request.target == Target::None
                   ? -1
                   : OpenServedFile(root_, request.target == Target::Standings ? "Standings.dat" : "Schedule.dat", &size);
    c.closeAfter = !request.keepAlive;
    if (file < 0) {
        const std::string body = "Not Found\n";
        c.out = AnswerHead(404, static_cast<long long>(body.size()), request, c.closeAfter) + (request.head ? "" : body);
        Flush(c);
        return;
    }
    if (request.head) {
        close(file);
        c.out = AnswerHead(200, size, request, c.closeAfter);
        Flush(c);
        return;
    }
    // A small body is read whole and goes out with its head in one write;
    // the rest of it, should the socket be full, is sent from the file.
    static char body[kInlineBody];
    ssize_t got = 0;
    if (size <= static_cast<off_t>(kInlineBody)) {
        while (got < size) {
            ssize_t n = pread(file, body + got, size - got, got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        size = got;  // a file that shrank meanwhile is sent as it was read
    }
    c.out = AnswerHead(200, size, request, c.closeAfter);
    c.file = file;
    c.fileOffset = 0;
    c.fileEnd = size;
    if (got > 0) {
        iovec parts[2] = {{c.out.data(), c.out.size()}, {body, static_cast<size_t>(got)}};
        msghdr message {};
        message.msg_iov = parts;
        message.msg_iovlen = 2;
        ssize_t sent = sendmsg(c.fd, &message, MSG_NOSIGNAL);
        if (sent > 0) {
            size_t headSent = std::min(static_cast<size_t>(sent), c.out.size());
            c.out.erase(0, headSent);
            c.fileOffset = static_cast<off_t>(sent - headSent);
        }
    }
    Flush(c);
}

// Sends what is left of the answer: its head, then its body from the file.
void Server::Flush(Connection& c)
{
    bool progress = false;
    while (!c.out.empty()) {
        ssize_t sent = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | (c.file >= 0 ? MSG_MORE : 0));
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (sent <= 0)
            return Close(c);
        c.out.erase(0, sent);
        progress = true;
    }
    while (c.out.empty() && c.file >= 0 && c.fileOffset < c.fileEnd) {
        ssize_t sent = sendfile(c.fd, c.file, &c.fileOffset, c.fileEnd - c.fileOffset);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (sent <= 0)
            return Close(c);  // a file cut short meanwhile cannot fill its promised length
        progress = true;
    }
    if (!c.out.empty() || (c.file >= 0 && c.fileOffset < c.fileEnd)) {
        if (c.state != State::Writing || progress)
            c.deadline = now_ + g_sendTime;
        c.state = State::Writing;
        Watch(c, EPOLLOUT);
        return;
    }
    Finished(c);
}

// The answer has gone: wait for the next request, or close.
void Server::Finished(Connection& c)
{
    if (c.file >= 0) {
        close(c.file);
        c.file = -1;
    }
    if (c.closeAfter) {
        int unread = 0;
        if (c.in.empty() && ioctl(c.fd, FIONREAD, &unread) == 0 && unread == 0)
            return Close(c);
        // Closing with bytes unread would reset the connection, and the
        // client could lose the answer before reading it.
        shutdown(c.fd, SHUT_WR);
        c.in.clear();
        c.state = State::Lingering;
        c.deadline = now_ + g_lingerTime;
        Watch(c, EPOLLIN);
        return;
    }
    c.state = State::Reading;
    c.headBegun = !c.in.empty();
    c.deadline = now_ + (c.headBegun ? g_headTime : g_idleTime);
    Watch(c, EPOLLIN);
}

void Server::OnDeadline(Connection& c)
{
    switch (c.state) {
    case State::Reading:
        if (c.in.empty())
            return Close(c);  // idle
        return Answer(c, 408, Request {});
    case State::Held:
        c.state = State::Reading;
        AnswerFile(c, c.held);
        return Serve(c);  // requests that came while it was held
    case State::Writing:
    case State::Lingering:
        return Close(c);
    case State::Closed:
        return;
    }
}

int Server::Run()
{
    epoll_event events[256];
    Clock::time_point nextSweep = Clock::now() + kTick;
    for (;;) {
        int timeout = -1;
        if (open_ > 0 || paused_)
            timeout = static_cast<int>(
                std::max<long long>(1, std::chrono::duration_cast<milliseconds>(nextSweep - Clock::now()).count() + 1));
        int count = epoll_wait(epoll_, events, 256, timeout);
        if (count < 0 && errno != EINTR) {
            std::perror("corvale-dataserver: epoll_wait");
            return 1;
        }
        now_ = Clock::now();
        for (int i = 0; i < count; i++) {
            int fd = events[i].data.fd;
            if (fd == signals_)
                return 0;
            if (fd == listener_)
                Accept();
            else if (static_cast<size_t>(fd) < connections_.size() && connections_[fd])
                OnEvent(*connections_[fd], events[i].events);
        }
        if (now_ >= nextSweep) {
            for (size_t fd = 0; fd < connections_.size(); fd++)
                if (connections_[fd] && now_ >= connections_[fd]->deadline)
                    OnDeadline(*connections_[fd]);
            if (paused_ && open_ < kMaxConnections && now_ >= resumeAccepting_)
                PauseAccepting(false);
            nextSweep = now_ + kTick;
        }
        closed_.clear();
    }
}

// ---- Privileges

// A user or group number for SUDO_UID or SUDO_GID: decimal, not root's 0.
bool ParseId(const char* text, unsigned* id)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (errno || *end || !std::isdigit(static_cast<unsigned char>(text[0])) || value == 0 || value >= 0xffffffffULL)
        return false;
    *id = static_cast<unsigned>(value);
    return true;
}

// Once the port is bound, a root process becomes the user that ran sudo,
// or else nobody and nogroup, with no supplementary groups; any other
// process drops the capabilities it was given. False, having said why, when
// that fails or root could be regained.
bool GiveUpPrivileges()
{
    if (getuid() != 0 && geteuid() != 0) {
        __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2] {};
        if (syscall(SYS_capget, &header, caps) == 0 && (caps[0].permitted | caps[1].permitted) == 0)
            return true;
        __user_cap_data_struct none[2] {};
        if (syscall(SYS_capset, &header, none) != 0) {
            std::perror("corvale-dataserver: cannot drop its capabilities");
            return false;
        }
        return true;
    }
    unsigned uid = 0, gid = 0;
    if (!ParseId(std::getenv("SUDO_UID"), &uid) || !ParseId(std::getenv("SUDO_GID"), &gid)) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || nobody->pw_uid == 0) {
            std::fprintf(stderr, "corvale-dataserver: cannot give up root: there is no user nobody\n");
            return false;
        }
        const group* nogroup = getgrnam("nogroup");
        uid = nobody->pw_uid;
        gid = nogroup ? nogroup->gr_gid : nobody->pw_gid;
    }
    if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot give up root for user %u, group %u: %s\n", uid, gid,
                     std::strerror(errno));
        return false;
    }
    uid_t ruid, euid, suid;
    gid_t rgid, egid, sgid;
    if (getresuid(&ruid, &euid, &suid) != 0 || getresgid(&rgid, &egid, &sgid) != 0 || ruid != uid || euid != uid ||
        suid != uid || rgid != gid || egid != gid || sgid != gid || getgroups(0, nullptr) != 0 || setuid(0) == 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot give up root: root could be regained\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    int port = 80;
    int stall = 0;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if ((arg != "--root" && arg != "--port" && arg != "--stall") || i + 1 == argc)
            return Usage(("unexpected argument: " + arg).c_str());
        const char* value = argv[++i];
        if (arg == "--root")
            root = value;
        else if (arg == "--stall" && ((stall = ParsePort(value)) < 0 || stall > 3600))
            return Usage("--stall takes a number of seconds from 0 to 3600");
        else if (arg == "--port" && (port = ParsePort(value)) < 0)
            return Usage("--port takes a number from 0 to 65535");
    }
    if (root.empty())
        return Usage("--root DIR is required");
    if (const char* speed = std::getenv("CORVALE_CLOCK_SPEED")) {
        const int factor = ParsePort(speed);
        if (factor >= 1 && factor <= 100)
            for (milliseconds* deadline : {&g_idleTime, &g_headTime, &g_sendTime, &g_lingerTime})
                *deadline /= factor;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        return Usage(("not a directory: " + root).c_str());

    // SIGINT and SIGTERM arrive through a descriptor the loop watches, so
    // one that comes before the loop starts is not lost.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    int signals = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);

    // Room for every connection it keeps, and a few more descriptors.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < kMaxConnections + 64) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, kMaxConnections + 64);
        setrlimit(RLIMIT_NOFILE, &files);
    }

    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot listen on %s:%d: %s\n", kHost, port, std::strerror(errno));
        if (port < 1024 && errno == EACCES)
            std::fprintf(stderr, "ports below 1024, such as 80, need root; try sudo, or --port 8080\n");
        return 1;
    }
    if (!GiveUpPrivileges())
        return 1;
    if (access(root.c_str(), X_OK) != 0)
        std::fprintf(stderr, "corvale-dataserver: warning: user %u cannot open %s; every request will be 404\n",
                     static_cast<unsigned>(getuid()), root.c_str());

    int epoll = epoll_create1(EPOLL_CLOEXEC);
    epoll_event event {EPOLLIN, {}};
    event.data.fd = listener;
    if (signals < 0 || epoll < 0 || epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event) != 0 ||
        (event.data.fd = signals, epoll_ctl(epoll, EPOLL_CTL_ADD, signals, &event)) != 0) {
        std::perror("corvale-dataserver: epoll");
        return 1;
    }
    std::printf("serving %s on %s:%d\n", root.c_str(), kHost, ntohs(address.sin_port));
    std::fflush(stdout);
    return Server(root, stall, listener, epoll, signals).Run();
}
