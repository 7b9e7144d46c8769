// What the window station's server and client share: connections to the
// user's other processes through their sockets, checked to be the user's
// own, and the activation told to every other process.
//
// Divisions: connections, announcing.

#include "platform/stationio.h"

#include "platform/os.h"
#include "platform/protocol.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kAnnounceMs = 500;  // for a peer to take an announcement

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
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

}  // namespace platform
