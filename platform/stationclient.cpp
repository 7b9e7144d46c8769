// The window station's client: a request line to another process of the
// user's and its whole reply, and every process's windows' list.

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
