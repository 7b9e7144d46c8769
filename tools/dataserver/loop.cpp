// The data server's event loop: one thread serves every connection through
// non-blocking sockets and epoll, so that a slow, idle or hostile client
// holds only its own connection. Each connection keeps at most one request
// head (kMaxHeadBytes) and the head of one answer in memory; bodies go from
// the file to the socket. Every connection has a deadline for what it is
// waiting for, looked at each tick.
//
// Divisions: connections; the server: accepting and closing, reading and
// answering, sending, deadlines and the loop; before serving; serving.

#include "tools/dataserver/loop.h"

#include "tools/dataserver/answer.h"
#include "tools/dataserver/files.h"
#include "tools/dataserver/listen.h"
#include "tools/dataserver/request.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace dataserver {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kTick = milliseconds(50);  // how often deadlines are looked at
constexpr size_t kInlineBody = 65536;     // bodies up to this size go out with their head
constexpr int kMaxConnections = 4096;

// Connections

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

// The server

class Server {
public:
    Server(const Config& config, int listener, int epoll, int signals)
        : root_(config.root), stall_(std::chrono::seconds(config.stallSeconds)), deadlines_(config.deadlines),
          listener_(listener), epoll_(epoll), signals_(signals)
    {
    }
    int Run();

private:
    void Accept();
    void OnEvent(Connection& c, uint32_t events);
    void Read(Connection& c);
    void AnswerHeads(Connection& c);
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
    const Deadlines deadlines_;
    const int listener_, epoll_, signals_;
    std::vector<std::unique_ptr<Connection>> connections_;  // by socket
    std::vector<std::unique_ptr<Connection>> closed_;       // closed while their events were handled
    int open_ = 0;
    bool paused_ = false;
    Clock::time_point now_ = Clock::now();
    Clock::time_point resumeAccepting_;  // after running out of file descriptors
};

// Accepting and closing

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
        c->deadline = now_ + deadlines_.idle;
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

// Reading and answering

void Server::OnEvent(Connection& c, uint32_t events)
{
    switch (c.state) {
    case State::Reading:
        Read(c);
        break;
    case State::Writing:
        if (events & (EPOLLOUT | EPOLLERR | EPOLLHUP))
            Flush(c);
        AnswerHeads(c);  // requests that came while it waited
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
        c.deadline = now_ + deadlines_.head;
    }
    AnswerHeads(c);
}

// Answers every whole request head waiting in `in`, in order, as long as
// the answers go out at once.
void Server::AnswerHeads(Connection& c)
{
    while (c.state == State::Reading) {
        size_t blank = c.in.find_first_not_of("\r\n");
        c.in.erase(0, blank == std::string::npos ? c.in.size() : blank);  // empty lines before a request
        ParsedHead next = ParseHead(c.in);
        if (next.length == 0) {
            if (next.status != 0)
                Answer(c, next.status, next.request);  // too long
            return;
        }
        c.in.erase(0, next.length);
        if (next.status != 0) {
            Answer(c, next.status, next.request);
        } else if (stall_.count() > 0) {
            c.held = std::move(next.request);
            c.state = State::Held;
            c.deadline = now_ + stall_;
            Watch(c, 0);
            return;
        } else {
            AnswerFile(c, next.request);
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
    int file = OpenServedFile(root_, request.path, &size);
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

// Sending

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
            c.deadline = now_ + deadlines_.send;
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
        c.deadline = now_ + deadlines_.linger;
        Watch(c, EPOLLIN);
        return;
    }
    c.state = State::Reading;
    c.headBegun = !c.in.empty();
    c.deadline = now_ + (c.headBegun ? deadlines_.head : deadlines_.idle);
    Watch(c, EPOLLIN);
}

// Deadlines and the loop

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
        return AnswerHeads(c);  // requests that came while it was held
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

}  // namespace

// Before serving

void RaiseDescriptorLimit()
{
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < kMaxConnections + 64) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, kMaxConnections + 64);
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

// Serving

int Serve(const Config& config, int listener, int signals, int port)
{
    int epoll = epoll_create1(EPOLL_CLOEXEC);
    epoll_event event {EPOLLIN, {}};
    event.data.fd = listener;
    if (signals < 0 || epoll < 0 || epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event) != 0 ||
        (event.data.fd = signals, epoll_ctl(epoll, EPOLL_CTL_ADD, signals, &event)) != 0) {
        std::perror("corvale-dataserver: epoll");
        return 1;
    }
    std::printf("serving %s on %s:%d\n", config.root.c_str(), kHost, port);
    std::fflush(stdout);
    return Server(config, listener, epoll, signals).Run();
}

}  // namespace dataserver
