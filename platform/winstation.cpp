// Window station: the per-process socket server, the client that reaches
// other processes, and the private directory both live in.
//
// Divisions: directory, server, client.

#include "platform/winstation.h"
#include "platform/internal.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

int g_listenFd = -1;                  // this process's listening socket
QSocketNotifier* g_notifier = nullptr;  // wakes the GUI thread on a connection
std::string g_socketPath;             // where it is bound

bool MakePrivateDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info{};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    if ((info.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0)
        return false;
    return true;
}

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

bool WriteAll(int fd, const std::string& data, int timeoutMs)
{
    size_t done = 0;
    while (done < data.size()) {
        if (!WaitFor(fd, POLLOUT, timeoutMs))
            return false;
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads until the peer closes, or up to a line end when `oneLine`.
bool ReadReply(int fd, std::string& out, bool oneLine, int timeoutMs)
{
    const size_t limit = 16 * 1024 * 1024;
    char buffer[4096];
    for (;;) {
        if (oneLine && out.find('\n') != std::string::npos)
            return true;
        if (!WaitFor(fd, POLLIN, timeoutMs))
            return false;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return !oneLine || !out.empty();
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > limit)
            return false;
    }
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return parts;
        start = tab + 1;
    }
}

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

std::string Answer(const std::string& request)
{
    std::vector<std::string> words = SplitTabs(request);
    const std::string& verb = words[0];
    if (verb == "list") {
        std::string out = "ok\n";
        for (WindowObject* window : TopLevelWindows())
            out += DescribeWindow(window, false).toStdString() + "\n";
        return out;
    }
    if (words.size() < 2)
        return "error\tmissing window\n";
    WindowObject* window = FindLocalWindow(std::strtoull(words[1].c_str(), nullptr, 10));
    if (!window)
        return "notfound\n";
    std::vector<std::string> args(words.begin() + 2, words.end());
    if (verb == "dump")
        return "ok\n" + DescribeWindow(window, true).toStdString() + "\n";
    if (verb == "show" && args.size() == 1)
        return ShowWindow(window, ToInt(args[0])), "ok\n";
    if (verb == "foreground")
        return SetForegroundWindow(window), "ok\n";
    if (verb == "destroy")
        return DestroyWindow(window) ? "ok\n" : "error\tnot destroyed\n";
    std::string error;
    if (!PostUserInput(window, verb, args, error))
        return "error\t" + error + "\n";
    return "ok\n";
}

void ServeOne()
{
    int fd = accept4(g_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    std::string request;
    if (SameUser(fd) && ReadReply(fd, request, true, 2000)) {
        request.erase(request.find('\n'));
        WriteAll(fd, Answer(request), 2000);
    }
    close(fd);
}

}  // namespace

std::string StationDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path;
    struct stat info{};
    if (runtime && *runtime && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
        path = std::string(runtime) + "/corvale";
    else
        path = "/tmp/corvale-" + std::to_string(geteuid());
    return MakePrivateDirectory(path) ? path : std::string();
}

void StationStart()
{
    if (g_listenFd >= 0)
        return;
    std::string dir = StationDirectory();
    if (dir.empty())
        return;
    // Bound and listening under a private name first, then renamed into
    // place: a client never finds the socket before it accepts.
    std::string path = dir + "/" + std::to_string(getpid()) + ".sock";
    std::string staging = dir + "/." + std::to_string(getpid()) + ".new";
    struct sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path || staging.size() >= sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, staging.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    unlink(staging.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        rename(staging.c_str(), path.c_str()) != 0) {
        unlink(staging.c_str());
        close(fd);
        return;
    }
    g_listenFd = fd;
    g_socketPath = path;
    g_notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(g_notifier, &QSocketNotifier::activated, g_notifier, [] { ServeOne(); });
    std::atexit(StationStop);
}

void StationStop()
{
    if (g_listenFd < 0)
        return;
    delete g_notifier;
    g_notifier = nullptr;
    close(g_listenFd);
    g_listenFd = -1;
    unlink(g_socketPath.c_str());
}

bool StationRequest(int pid, const std::string& request, std::string& reply, int timeoutMs)
{
    std::string dir = StationDirectory();
    if (dir.empty())
        return false;
    std::string path = dir + "/" + std::to_string(pid) + ".sock";
    struct sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno == ECONNREFUSED && kill(pid, 0) != 0 && errno == ESRCH)
            unlink(path.c_str());  // a copy that ended without cleaning up
        close(fd);
        return false;
    }
    bool ok = SameUser(fd) && WriteAll(fd, request + "\n", timeoutMs) && ReadReply(fd, reply, false, timeoutMs);
    close(fd);
    return ok;
}

std::vector<StationWindow> StationListAll(bool includeSelf)
{
    std::vector<std::string> lines;
    std::vector<int> owners;
    if (includeSelf) {
        for (WindowObject* window : TopLevelWindows()) {
            lines.push_back(DescribeWindow(window, false).toStdString());
            owners.push_back(getpid());
        }
    }
    std::string dir = StationDirectory();
    DIR* listing = dir.empty() ? nullptr : opendir(dir.c_str());
    while (struct dirent* entry = listing ? readdir(listing) : nullptr) {
        std::string name = entry->d_name;
        if (name.size() < 6 || name.substr(name.size() - 5) != ".sock")
            continue;
        int pid = ToInt(name);
        std::string reply;
        if (pid <= 0 || pid == getpid() || !StationRequest(pid, "list", reply, 3000))
            continue;
        size_t start = reply.find('\n');
        while (start != std::string::npos && start + 1 < reply.size()) {
            size_t end = reply.find('\n', start + 1);
            lines.push_back(reply.substr(start + 1, end - start - 1));
            owners.push_back(pid);
            start = end;
        }
    }
    if (listing)
        closedir(listing);
    std::vector<StationWindow> windows;
    for (size_t i = 0; i < lines.size(); ++i) {
        QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(lines[i])).object();
        if (object.isEmpty())
            continue;
        StationWindow window;
        window.pid = owners[i];
        window.id = static_cast<uint64_t>(object.value("id").toDouble());
        window.caption = object.value("caption").toString().toStdWString();
        window.kind = object.value("kind").toString().toStdString();
        window.visible = object.value("visible").toBool();
        window.created = object.value("created").toDouble();
        window.json = lines[i];
        windows.push_back(window);
    }
    return windows;
}

}  // namespace platform
