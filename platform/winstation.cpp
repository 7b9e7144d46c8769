// The window station, the inspector's transport: the private directory,
// the server thread that answers other processes (what the inspector can
// answer there at once, the rest handed to the GUI thread), starting it,
// the client that reaches other processes, and the claims on captions.
//
// Divisions: private folders and connections, server thread, starting
// (where the station lives, saying so, listening), client, claims.

#include "platform/winstation.h"

#include "platform/inspect.h"
#include "platform/internal.h"
#include "platform/os.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <deque>
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRequestMs = 2000;   // for a client to send its request line
constexpr int kReplyMs = 2000;     // for a reply to be taken
constexpr int kAnnounceMs = 500;   // for a peer to take an announcement
// For another process's list: its station's own thread answers at once, so a
// process silent this long is stopped or frozen.
constexpr int kListMs = 1000;
constexpr size_t kMaxClients = 32; // connections read at once

// Private folders and connections

bool MakePrivateDirectory(const std::string& path)
{
    if (path.empty() || (os::MakeFolder(path, 0700) != 0 && errno != EEXIST))
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

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
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

// Server thread

int g_listenFd = -1;                 // this process's listening socket
int g_wakeFds[2] = {-1, -1};         // wakes the server thread
std::thread* g_server = nullptr;     // answers the socket
pid_t g_owner = 0;                   // the process that started it
std::string g_socketPath;            // where it is bound
std::mutex g_serverMutex;            // guards the two below
bool g_serving = false;              // hand-overs to the GUI thread allowed
int g_announcements = 0;             // activations not yet told to the peers

// Hands a request to the GUI thread, which writes the reply and closes fd.
void HandOver(int fd, const std::string& request)
{
    std::lock_guard<std::mutex> lock(g_serverMutex);
    QCoreApplication* application = QCoreApplication::instance();
    if (!g_serving || !application) {
        WriteAll(fd, g_socketPath, "error\tnot served\n", kReplyMs);
        os::Close(fd, g_socketPath);
        return;
    }
    QMetaObject::invokeMethod(application, [fd, request] {
        std::string reply = AnswerOnGuiThread(request);
        RefreshSnapshotIfChanged(ProgramWaiting());
        WriteAll(fd, g_socketPath, reply, kReplyMs);
        os::Close(fd, g_socketPath);
    }, Qt::QueuedConnection);
}

// Answers one whole request line: what the inspector answers on this
// thread at once, the rest by the GUI thread.
void Serve(int fd, const std::string& request)
{
    std::string reply = AnswerOnStationThread(request);
    if (reply.empty()) {
        HandOver(fd, request);
        return;
    }
    WriteAll(fd, g_socketPath, reply, kReplyMs);
    os::Close(fd, g_socketPath);
}

// Tells every other process that a window of this one became active.
void Announce(const std::string& dir)
{
    for (int pid : PeerProcesses(dir)) {
        int fd = ConnectTo(dir, pid);
        if (fd < 0)
            continue;
        WriteAll(fd, dir, "inactive\n", kAnnounceMs);
        os::Close(fd, dir);
    }
}

struct Client {
    int fd;                      // the connection
    std::string request;         // what has arrived of its request line
    Clock::time_point deadline;  // when it is given up
};

// Reads what a client sent; true when it is done with (served or dropped).
bool ReadClient(Client& client)
{
    char buffer[4096];
    ssize_t n = os::Receive(client.fd, g_socketPath, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (n <= 0 || client.request.size() > 64 * 1024) {
        os::Close(client.fd, g_socketPath);
        return true;
    }
    client.request.append(buffer, static_cast<size_t>(n));
    size_t end = client.request.find('\n');
    if (end == std::string::npos)
        return false;
    client.request.erase(end);
    Serve(client.fd, client.request);
    return true;
}

void AcceptClient(std::vector<Client>& clients)
{
    int fd = os::Accept(g_listenFd, g_socketPath, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (!SameUser(fd)) {
        os::Close(fd, g_socketPath);
        return;
    }
    clients.push_back({fd, std::string(), Clock::now() + std::chrono::milliseconds(kRequestMs)});
}

void ServerLoop(const std::string& dir)
{
    std::vector<Client> clients;
    for (;;) {
        short accepting = clients.size() < kMaxClients ? POLLIN : 0;
        std::vector<pollfd> fds = {{g_wakeFds[0], POLLIN, 0}, {g_listenFd, accepting, 0}};
        for (const Client& client : clients)
            fds.push_back({client.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), clients.empty() ? -1 : 100) < 0 && errno != EINTR)
            break;
        if (fds[0].revents) {
            char drained[64];
            while (os::Read(g_wakeFds[0], "wake", drained, sizeof drained) > 0) {
            }
            std::unique_lock<std::mutex> lock(g_serverMutex);
            if (!g_serving)
                break;
            int announcements = std::exchange(g_announcements, 0);
            lock.unlock();
            if (announcements)
                Announce(dir);
        }
        auto now = Clock::now();
        std::vector<Client> waiting;
        for (size_t i = 0; i < clients.size(); ++i) {
            bool done = fds[i + 2].revents ? ReadClient(clients[i]) : false;
            if (!done && now >= clients[i].deadline) {
                os::Close(clients[i].fd, g_socketPath);
                done = true;
            }
            if (!done)
                waiting.push_back(clients[i]);
        }
        clients.swap(waiting);
        if (fds[1].revents)
            AcceptClient(clients);
    }
    for (const Client& client : clients)
        os::Close(client.fd, g_socketPath);
}

void Wake()
{
    char byte = 1;
    (void)!os::Write(g_wakeFds[1], "wake", &byte, 1);
}

// Starting

// A folder under the user's home that only the user can have made:
// ~/.cache/corvale/station-HOST ($XDG_CACHE_HOME when set), the host named
// in case the home is shared between machines. Empty without a home.
std::string HomeStationDirectory()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = cache && *cache == '/' ? cache : home && *home == '/' ? std::string(home) + "/.cache" : "";
    if (base.empty())
        return "";
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::error_code ignored;
    std::filesystem::create_directories(base + "/corvale", ignored);
    return base + "/corvale/station-" + host;
}

}  // namespace

std::string StationDirectory(std::string* refused)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path;
    struct stat info{};
    if (runtime && *runtime && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
        path = std::string(runtime) + "/corvale";
    else
        path = "/tmp/corvale-" + std::to_string(geteuid());
    if (MakePrivateDirectory(path))
        return path;
    // Someone else's folder, or a link, at that name: never used.
    if (refused)
        *refused = path;
    std::string fallback = HomeStationDirectory();
    return MakePrivateDirectory(fallback) ? fallback : std::string();
}

namespace {

// Says on standard error where the station is when its usual folder was
// refused, and that there is none when it cannot be had.
void ReportDirectory(const std::string& dir, const std::string& refused)
{
    if (!refused.empty() && !dir.empty())
        std::fprintf(stderr, "%s: %s is not a private folder of this user's; the window station is in %s\n",
                     program_invocation_short_name, refused.c_str(), dir.c_str());
}

void ReportNoStation(const std::string& why)
{
    std::fprintf(stderr, "%s: no window station (%s); other programs cannot find this one's windows\n",
                 program_invocation_short_name, why.c_str());
}

// Binds and listens under a private name first, then renames the socket
// into place: a client never finds it before it is answered. The socket,
// or -1 with the reason in `why`.
int Listen(const std::string& dir, std::string& path, std::string& why)
{
    path = dir + "/" + std::to_string(getpid()) + ".sock";
    std::string staging = dir + "/." + std::to_string(getpid()) + ".new";
    struct sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path || staging.size() >= sizeof address.sun_path) {
        why = "the folder's path " + dir + " is too long for a socket";
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, staging.c_str());
    int fd = os::Socket(SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, path);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    os::Unlink(staging);
    if (os::Listen(fd, path, reinterpret_cast<sockaddr*>(&address), sizeof address, 16) != 0 ||
        os::Rename(staging, path) != 0) {
        why = std::string(std::strerror(errno)) + " in " + dir;
        os::Unlink(staging);
        os::Close(fd, path);
        return -1;
    }
    return fd;
}

}  // namespace

void StationAnnounceActivation()
{
    std::lock_guard<std::mutex> lock(g_serverMutex);
    if (!g_serving)
        return;
    ++g_announcements;
    Wake();
}

// Tried once a process: a station that cannot be had is reported once.
void StationStart()
{
    static bool tried = false;
    if (tried)
        return;
    tried = true;
    std::string refused;
    std::string dir = StationDirectory(&refused);
    ReportDirectory(dir, refused);
    if (dir.empty()) {
        ReportNoStation("no private folder for it could be had");
        return;
    }
    std::string path, why;
    int fd = Listen(dir, path, why);
    if (fd < 0) {
        ReportNoStation(why);
        return;
    }
    if (pipe2(g_wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        ReportNoStation(std::strerror(errno));
        os::Unlink(path);
        os::Close(fd, path);
        return;
    }
    g_listenFd = fd;
    g_owner = getpid();
    g_socketPath = path;
    g_serving = true;
    g_server = new std::thread(ServerLoop, dir);
    std::atexit(StationStop);
}

void StationStop()
{
    // A forked child shares the socket but not the thread: it leaves both.
    if (g_listenFd < 0 || getpid() != g_owner)
        return;
    {
        std::lock_guard<std::mutex> lock(g_serverMutex);
        g_serving = false;
        Wake();
    }
    os::Unlink(g_socketPath);
    g_server->join();
    delete g_server;
    g_server = nullptr;
    os::Close(g_listenFd, g_socketPath);
    os::Close(g_wakeFds[0], "wake");
    os::Close(g_wakeFds[1], "wake");
    g_listenFd = g_wakeFds[0] = g_wakeFds[1] = -1;
}

// Client

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
        for (const std::string& line : ListLines()) {
            lines.push_back(line);
            owners.push_back(getpid());
        }
    }
    for (int pid : PeerProcesses(StationDirectory())) {
        std::string reply;
        bool quiet = false;
        if (!StationRequest(pid, "list", reply, kListMs, &quiet)) {
            if (quiet && silent)
                silent->push_back(pid);
            continue;
        }
        size_t start = reply.find('\n');
        while (start != std::string::npos && start + 1 < reply.size()) {
            size_t end = reply.find('\n', start + 1);
            lines.push_back(reply.substr(start + 1, end - start - 1));
            owners.push_back(pid);
            start = end;
        }
    }
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

// Claims: a caption held by one process of the user from the moment it
// looks for a window of that caption until it has made one (or waits for
// events), so that two processes never both find none and both make one.
// One lock file a caption in the station's folder; a process that ends
// lets go of its claims with its descriptors.

namespace {

constexpr int kClaimMs = 5000;  // longest wait for another process's claim
constexpr int kClaimPollMs = 2;

std::map<std::wstring, int> g_claims;  // captions this process holds; GUI thread only

std::string ClaimPath(const std::string& dir, const std::wstring& caption)
{
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the caption's UTF-8
    for (unsigned char c : QString::fromStdWString(caption).toUtf8())
        hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "claim-%016llx.lock", static_cast<unsigned long long>(hash));
    return dir + "/" + name;
}

// The process that wrote its ID into a claim file, or 0.
int ClaimHolder(int fd, const std::string& path)
{
    char text[16] = {};
    return os::ReadAt(fd, path, text, sizeof text - 1, 0) > 0 ? ToInt(text) : 0;
}

}  // namespace

bool StationClaim(const std::wstring& caption, int* holder)
{
    if (holder)
        *holder = 0;
    if (g_claims.count(caption))
        return true;
    std::string dir = StationDirectory();
    if (dir.empty())
        return true;  // no station: nothing to coordinate with
    std::string path = ClaimPath(dir, caption);
    int fd = os::Open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    auto deadline = Clock::now() + std::chrono::milliseconds(kClaimMs);
    while (os::Lock(fd, path, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) {
            if (holder)
                *holder = ClaimHolder(fd, path);
            os::Close(fd, path);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kClaimPollMs));
    }
    std::string pid = std::to_string(getpid());
    if (os::Truncate(fd, path) == 0)
        (void)!os::WriteAt(fd, path, pid.data(), pid.size(), 0);
    g_claims[caption] = fd;
    return true;
}

void StationRelease(const std::wstring& caption)
{
    auto found = g_claims.find(caption);
    if (found == g_claims.end())
        return;
    os::Close(found->second, "claim");
    g_claims.erase(found);
}

void StationReleaseAll()
{
    for (const auto& claim : g_claims)
        os::Close(claim.second, "claim");
    g_claims.clear();
}

bool SameProgram(int pid)
{
    char own[4096] = {}, other[4096] = {};
    ssize_t a = readlink("/proc/self/exe", own, sizeof own - 1);
    ssize_t b = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), other, sizeof other - 1);
    return a > 0 && a == b && std::strcmp(own, other) == 0;
}

}  // namespace platform
