// The window station's client: reaching another process of the user's
// through its socket, with a request line and its whole reply, its
// windows' list, and the activation told to every other process.
//
// Divisions: connections, announcing, requests.

#include "platform/stationio.h"

#include "platform/os.h"
#include "platform/protocol.h"
#include "platform/winstation.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// For another process's list: its station's own thread answers at once, so a
// process silent this long is stopped or frozen.
constexpr int kListMs = 1000;
constexpr int kAnnounceMs = 500;  // for a peer to take an announcement

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// Reads until the peer closes, or up to a line end when `oneLine`. A reply
// over kLargestReply is read to its end but not kept: `*oversize` gets
// its size.
bool ReadReply(int fd, const std::string& path, std::string& out, bool oneLine, int timeoutMs, size_t* oversize)
{
    char buffer[65536];
    size_t total = 0;
    for (;;) {
        if (oneLine && out.find('\n') != std::string::npos)
            return true;
        if (!WaitFor(fd, POLLIN, timeoutMs))
            return false;
        ssize_t n = os::Receive(fd, path, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0 && total > kLargestReply && oversize)
            *oversize = total;
        if (n == 0)
            return total <= kLargestReply && (!oneLine || !out.empty());
        total += static_cast<size_t>(n);
        if (total <= kLargestReply)
            out.append(buffer, static_cast<size_t>(n));
        else
            out.clear();
    }
}

}  // namespace

// Connections

bool SameUser(int fd)
{
    struct ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == geteuid();
}

// Waits until fd is ready for `events`; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs)
{
    struct pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool WriteAll(int fd, const std::string& path, const std::string& data, int timeoutMs)
{
    size_t done = 0;
    while (done < data.size()) {
        if (!WaitFor(fd, POLLOUT, timeoutMs))
            return false;
        ssize_t n = os::Send(fd, path, data.data() + done, data.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Connects to process pid's socket; -1 when it cannot be reached. A socket
// that refuses, left by a process that has ended, is cleaned away.
int ConnectTo(const std::string& dir, int pid)
{
    std::string path = dir + "/" + std::to_string(pid) + ".sock";
    struct sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    int fd = os::Socket(SOCK_STREAM | SOCK_CLOEXEC, path);
    if (fd < 0)
        return -1;
    if (os::Connect(fd, path, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno == ECONNREFUSED && kill(pid, 0) != 0 && errno == ESRCH)
            os::Unlink(path);
        os::Close(fd, path);
        return -1;
    }
    if (!SameUser(fd)) {
        os::Close(fd, path);
        return -1;
    }
    return fd;
}

// The processes with a socket in the directory, this one left out.
std::vector<int> PeerProcesses(const std::string& dir)
{
    std::vector<int> pids;
    DIR* listing = dir.empty() ? nullptr : opendir(dir.c_str());
    while (struct dirent* entry = listing ? readdir(listing) : nullptr) {
        std::string name = entry->d_name;
        if (name.size() < 6 || name.substr(name.size() - 5) != ".sock")
            continue;
        int pid = ToInt(name);
        if (pid > 0 && pid != getpid())
            pids.push_back(pid);
    }
    if (listing)
        closedir(listing);
    return pids;
}

// Announcing

// Tells every other process that a window of this one became active.
void Announce(const std::string& dir)
{
    for (int pid : PeerProcesses(dir)) {
        int fd = ConnectTo(dir, pid);
        if (fd < 0)
            continue;
        WriteAll(fd, dir, StationRequestLine("inactive") + "\n", kAnnounceMs);
        os::Close(fd, dir);
    }
}

// Requests

bool StationRequest(int pid, const std::string& request, std::string& reply, int timeoutMs, bool* silent,
                    size_t* oversize)
{
    if (silent)
        *silent = false;
    if (oversize)
        *oversize = 0;
    int fd = ConnectTo(StationDirectory(), pid);
    if (fd < 0)
        return false;
    std::string peer = std::to_string(pid) + ".sock";
    bool sent = WriteAll(fd, peer, request + "\n", timeoutMs);
    bool ok = sent && ReadReply(fd, peer, reply, false, timeoutMs, oversize);
    os::Close(fd, peer);
    if (silent)
        *silent = !ok;
    return ok;
}

std::vector<StationWindow> StationListAll(bool includeSelf, std::vector<int>* silent)
{
    std::vector<std::string> lines;
    std::vector<int> owners;
    if (includeSelf) {
        for (const std::string& line : LocalListLines()) {
            lines.push_back(line);
            owners.push_back(getpid());
        }
    }
    for (int pid : PeerProcesses(StationDirectory())) {
        std::string reply;
        bool quiet = false;
        if (!StationRequest(pid, StationRequestLine("list"), reply, kListMs, &quiet)) {
            if (quiet && silent)
                silent->push_back(pid);
            continue;
        }
        StationReply parsed = ParseReply(reply);
        for (const std::string& line : parsed.status == StationReply::Status::Ok ? ReplyLines(parsed.body) : Words()) {
            lines.push_back(line);
            owners.push_back(pid);
        }
    }
    std::vector<StationWindow> windows;
    for (size_t i = 0; i < lines.size(); ++i) {
        StationWindow window;
        window.pid = owners[i];
        if (ParseListLine(lines[i], window))
            windows.push_back(window);
    }
    return windows;
}

}  // namespace platform
