// The window station, the inspector's transport: the server thread that
// answers other processes (what the inspector can answer there at once,
// the rest handed to the GUI thread), and starting it once the process has
// a window to show. Its folder, client and claims are in stationfolder.cpp,
// stationclient.cpp and claims.cpp.
//
// Divisions: server thread, starting (saying where, listening, following
// the windows).

#include "platform/winstation.h"

#include "platform/os.h"
#include "platform/protocol.h"
#include "platform/stationio.h"
#include "platform/window.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRequestMs = 2000;   // for a client to send its request line
constexpr int kReplyMs = 2000;     // for a reply to be taken
constexpr size_t kMaxClients = 32; // connections read at once

// Server thread

StationAnswerer g_answerer;          // the window inspector's answers
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
        WriteAll(fd, g_socketPath, ErrorReply("not served"), kReplyMs);
        os::Close(fd, g_socketPath);
        return;
    }
    QMetaObject::invokeMethod(application, [fd, request] {
        std::string reply = g_answerer.onGuiThread(request);
        WriteAll(fd, g_socketPath, reply, kReplyMs);
        os::Close(fd, g_socketPath);
    }, Qt::QueuedConnection);
}

// Answers one whole request line: what the inspector answers on this
// thread at once, the rest by the GUI thread.
void Serve(int fd, const std::string& request)
{
    std::string reply = g_answerer.onStationThread(request);
    if (reply.empty()) {
        HandOver(fd, request);
        return;
    }
    WriteAll(fd, g_socketPath, reply, kReplyMs);
    os::Close(fd, g_socketPath);
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

void AnnounceActivation()
{
    std::lock_guard<std::mutex> lock(g_serverMutex);
    if (!g_serving)
        return;
    ++g_announcements;
    Wake();
}

// Tried once a process: a station that cannot be had is reported once.
void StartServing()
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
    if (os::Pipe(g_wakeFds, O_CLOEXEC | O_NONBLOCK, "wake") != 0) {
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

}  // namespace

// The station follows the windows: a caption is claimed as its window is
// made and let go once other processes can see it (the inspector's
// snapshot, told first, has it by then), and the station serves once there
// is a window. Whatever the process has not made by the time it next waits
// is let go too.
void StartStation(const StationAnswerer& answerer)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    g_answerer = answerer;
    WatchWindows([](WindowEvent event, WindowObject* window) {
        if (event == WindowEvent::Made)
            StationClaim(window->text, nullptr);
        else if (event == WindowEvent::Activated)
            AnnounceActivation();
        else if (event == WindowEvent::Published) {
            StartServing();
            for (WindowObject* shown : TopLevelWindows())
                StationRelease(shown->text);
        }
    });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, StationReleaseAll);
}

std::vector<std::string> LocalListLines()
{
    return g_answerer.listLines ? g_answerer.listLines() : std::vector<std::string>();
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

}  // namespace platform
