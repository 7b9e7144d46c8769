#include "download/fetch.h"
#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kServer = CORVALE_BINARY_DIR "/corvale-dataserver";
const std::string kPath = "/sports/football/2003/";

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Exit status of the data server run with `args` (shell words), output discarded; 124 if it ran 10 s.
int ExitStatus(const std::string& args)
{
    int status = std::system(("timeout 10 " + kServer + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A data server run through `timeout`, so that none outlives a test by
// more than a minute.
struct ServerProcess {
    // Starts it with `args` and the environment assignments `env` (shell
    // words); true once it says it is serving `root`.
    bool Start(const std::string& root, const std::string& args, const std::string& env = "")
    {
        // The shell prints its pid and becomes `timeout`, which runs the server.
        pipe = popen(("echo $$; exec env " + env + " timeout 60 " + kServer + " --root '" + root + "' --port 0 " + args).c_str(),
                     "r");
        char text[512] = "";
        shell = std::atoi(pipe && fgets(text, sizeof text, pipe) ? text : "0");
        line = pipe && fgets(text, sizeof text, pipe) ? text : "";
        const std::string prefix = "serving " + root + " on 127.0.0.1:";
        if (shell <= 0 || !line.starts_with(prefix))
            return false;
        port = std::stoi(line.substr(prefix.size()));
        return true;
    }
    // Stops it with SIGTERM; its exit status, -1 when it did not exit
    // within 5 s (it is then killed).
    int Stop()
    {
        if (!pipe)
            return -1;
        // To the server itself: `timeout` would follow it with a SIGCONT,
        // which can cancel the stop that the sanitizer's leak check at exit
        // waits for.
        const pid_t server = Server();
        kill(server > 0 ? server : shell, SIGTERM);
        bool stopped = false;
        for (auto start = Clock::now(); !stopped && MsSince(start) < 5000;) {
            std::ifstream stat("/proc/" + std::to_string(server) + "/stat");
            std::string pid, name, state;
            stopped = !(stat >> pid >> name >> state) || state == "Z";
            if (!stopped)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!stopped && server > 0)
            kill(server, SIGKILL);
        int status = pclose(pipe);
        pipe = nullptr;
        return stopped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The data server's own process, which `timeout` started.
    pid_t Server() const
    {
        std::ifstream children("/proc/" + std::to_string(shell) + "/task/" + std::to_string(shell) + "/children");
        pid_t child = 0;
        children >> child;
        return child;
    }
    // A line of its /proc status ("Uid", "VmHWM"...) after the name, trimmed.
    std::string Status(const std::string& name) const
    {
        std::ifstream status("/proc/" + std::to_string(Server()) + "/status");
        for (std::string text; std::getline(status, text);)
            if (text.starts_with(name + ":")) {
                size_t start = text.find_first_not_of(" \t", name.size() + 1);
                return start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(" \t") + 1 - start);
            }
        return "(none)";
    }
    long Kilobytes(const std::string& name) const { return std::atol(Status(name).c_str()); }

    FILE* pipe = nullptr;
    pid_t shell = 0;
    int port = 0;
    std::string line;  // what it printed first
};

// One answer read off a connection.
struct Reply {
    int status = 0;    // 0 when no whole answer came
    std::string head;  // status line and fields
    std::string body;
    std::string Field(const std::string& name) const
    {
        std::string lower = head, wanted = "\r\n" + name + ":";
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : wanted)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t at = lower.find(wanted);
        if (at == std::string::npos)
            return "(none)";
        size_t start = head.find_first_not_of(' ', at + wanted.size()), end = head.find("\r\n", at + 2);
        return head.substr(start, end - start);
    }
};

// A raw connection to a loopback port; every wait is bounded.
struct Client {
    explicit Client(int port)
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
        connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client()
    {
        if (fd >= 0)
            close(fd);
    }
    bool Send(const std::string& bytes)
    {
        for (size_t sent = 0; sent < bytes.size();) {
            pollfd p{fd, POLLOUT, 0};
            ssize_t n = poll(&p, 1, 3000) == 1 ? send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL) : -1;
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
    // Waits up to `ms` for more bytes; false at the end of the stream or the time.
    bool Receive(int ms)
    {
        pollfd p{fd, POLLIN, 0};
        char buffer[65536];
        ssize_t n = poll(&p, 1, ms) == 1 ? recv(fd, buffer, sizeof buffer, 0) : -1;
        if (n > 0)
            pending.append(buffer, n);
        ended = ended || n == 0 || (n < 0 && p.revents);
        return n > 0;
    }
    // The next answer (with no body after a HEAD), within `ms`.
    Reply Read(bool head = false, int ms = 3000)
    {
        Reply reply;
        auto start = Clock::now();
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos)
            if (!Receive(std::max(1L, ms - MsSince(start))))
                return reply;
        reply.head = pending.substr(0, end + 2);
        const std::string length = reply.Field("Content-Length");
        const size_t size = head || length == "(none)" ? 0 : std::stoul(length);
        while (pending.size() < end + 4 + size)
            if (!Receive(std::max(1L, ms - MsSince(start))))
                return reply;
        reply.body = pending.substr(end + 4, size);
        pending.erase(0, end + 4 + size);
        if (reply.head.starts_with("HTTP/1.1 ") && reply.head.size() > 12)
            reply.status = std::atoi(reply.head.c_str() + 9);
        return reply;
    }
    // True once the server has closed the connection, within `ms`.
    bool ClosedWithin(int ms)
    {
        auto start = Clock::now();
        while (!ended && MsSince(start) < ms)
            Receive(std::max(1L, ms - MsSince(start)));
        return ended;
    }

    int fd = -1;
    bool connected = false;
    bool ended = false;    // the server closed or reset it
    std::string pending;   // received and not yet read as an answer
};

std::string GetOf(const std::string& path, const std::string& fields = "Host: 127.0.0.1\r\n")
{
    return "GET " + path + " HTTP/1.1\r\n" + fields + "\r\n";
}

// "STATUS BODY" of a GET of `path` at 127.0.0.1:80 through the platform.
std::string Get(const std::string& path)
{
    HINTERNET session = InternetOpenW(L"Corvale", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectW(session, L"127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestW(connection, nullptr, std::wstring(path.begin(), path.end()).c_str(), nullptr,
                                         nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
    DWORD status = 0, size = sizeof status, got = 0;
    char buffer[1024];
    EXPECT_TRUE(HttpSendRequestW(request, nullptr, 0, nullptr, 0)) << GetLastError();
    HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    std::string result = std::to_string(status) + " ";
    for (int reads = 0; reads < 10000 && InternetReadFile(request, buffer, sizeof buffer, &got) && got; reads++)
        result.append(buffer, got);
    for (HINTERNET handle : {request, connection, session})
        InternetCloseHandle(handle);
    return result;
}

class DataServerTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        root = home + "/season";
        WriteFile("season/Standings.dat", standings);
        WriteFile("season/Schedule.dat", schedule);
        WriteFile("season/Secret.dat", "not served");
        // Started as root, the server runs as another user, which must be
        // able to reach the files.
        umask(022);
        for (const std::string& folder : {home, root})
            fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                        fs::perms::group_read | fs::perms::others_read);
        ASSERT_TRUE(server.Start(root, Extra(), Environment())) << server.line;
        port = server.port;
        InternetRedirectForTest(80, port);
    }
    virtual std::string Extra() { return ""; }        // more arguments for the server
    virtual std::string Environment() { return ""; }  // and its environment
    void TearDown() override
    {
        InternetRedirectForTest(-1, -1);
        SetClockSpeedForTest(1);
        EXPECT_EQ(server.Stop(), 0) << "exit status after SIGTERM";
        TempHomeTest::TearDown();
    }

    const std::string standings = "AFC East\r\nNew England,6,2\r\n\xE9t\xE9 100%\r\n" + std::string(2, '\0') + std::string(5000, 'S');
    const std::string schedule = "1,09/04,2003,19:00,NYJ,WAS\r\n" + std::string(3000, 'x');
    std::string root;
    ServerProcess server;
    int port = 0;
};

TEST_F(DataServerTest, ServesTheTwoFilesFreshAndNothingElse)
{
    EXPECT_TRUE(Get(kPath + "Standings.dat") == "200 " + standings);
    EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
    for (std::string path : {kPath + "Secret.dat", kPath + "standings.dat", kPath + "Standings.dat/x",
                             kPath + "Standings.datx", std::string("/sports/football/2004/Standings.dat"), std::string("/")})
        EXPECT_EQ(Get(path).substr(0, 4), "404 ") << path;

    WriteFile("season/Standings.dat", "changed");
    std::filesystem::remove(root + "/Schedule.dat");
    EXPECT_EQ(Get(kPath + "Standings.dat"), "200 changed");
    EXPECT_EQ(Get(kPath + "Schedule.dat").substr(0, 4), "404 ");
}

// Whatever is put at a served name, only a regular file in the folder goes
// out: a link could lead anywhere the server can read, and a FIFO would
// block whoever opened or read it.
TEST_F(DataServerTest, ServesOnlyRegularFilesInsideItsFolder)
{
    const std::string name = root + "/Standings.dat";
    const std::string outside = WriteFile("outside.dat", "outside the folder\r\n");
    fs::permissions(outside, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    struct Case {
        const char* name;
        std::function<bool()> plant;  // false when this system cannot make it
    };
    const Case cases[] = {
        {"a link to a file outside", [&] { fs::create_symlink(outside, name); return true; }},
        {"a relative link out of the folder", [&] { fs::create_symlink("../outside.dat", name); return true; }},
        {"a link to the other served file", [&] { fs::create_symlink("Schedule.dat", name); return true; }},
        {"a link to a folder", [&] { fs::create_symlink("/etc", name); return true; }},
        {"a FIFO", [&] { return mkfifo(name.c_str(), 0644) == 0; }},
        {"a folder", [&] { return fs::create_directory(name); }},
        {"a socket", [&] {
             int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{AF_UNIX, {}};
             name.copy(address.sun_path, sizeof address.sun_path - 1);
             bool made = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
             close(fd);
             return made;
         }},
        {"a device", [&] { return mknod(name.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},  // as /dev/null
    };
    SetClockSpeedForTest(7);  // 2 s of silence ends a transfer
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(name);
        if (!c.plant()) {
            std::printf("[   NOTE   ] %s cannot be made here: %s\n", c.name, std::strerror(errno));
            continue;
        }
        EXPECT_EQ(Get(kPath + "Standings.dat").substr(0, 4), "404 ");
        // Nothing was left blocked: the other file is still served at once.
        EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
        fs::remove_all(name);
    }
    WriteFile("season/Standings.dat", "a regular file again");
    EXPECT_EQ(Get(kPath + "Standings.dat"), "200 a regular file again");
}

// Each kind of request head gets its answer, and the connection stays
// open or closes as HTTP/1.0 and 1.1 say.
TEST_F(DataServerTest, AnswersEveryRequestHeadAsHttpSays)
{
    const std::string file = kPath + "Standings.dat";
    auto fields = [](int count, size_t size) {
        std::string text = "Host: 127.0.0.1\r\n";
        for (int i = 1; i < count; i++)
            text += "X-Field-" + std::to_string(i) + ": " + std::string(size, 'v') + "\r\n";
        return text;
    };
    // Fields of a head of exactly `total` bytes.
    auto headOf = [&](size_t total) {
        std::string head = GetOf(file, "Host: 127.0.0.1\r\nX-Pad: \r\n");
        return GetOf(file, "Host: 127.0.0.1\r\nX-Pad: " + std::string(total - head.size(), 'p') + "\r\n");
    };
    struct Case {
        const char* name;
        std::string request;
        int status;
        bool staysOpen;
        bool served = false;  // the body is the standings file
    };
    const Case cases[] = {
        {"GET", GetOf(file), 200, true, true},
        {"HEAD", "HEAD " + file + " HTTP/1.1\r\nHost: x\r\n\r\n", 200, true},
        {"HTTP/1.0", "GET " + file + " HTTP/1.0\r\n\r\n", 200, false, true},
        {"HTTP/1.0 keep-alive", "GET " + file + " HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", 200, true, true},
        {"Connection: close", GetOf(file, "Host: x\r\nConnection: close\r\n"), 200, false, true},
        {"LF line ends", "GET " + file + " HTTP/1.1\nHost: x\n\n", 200, true, true},
        {"empty lines first", "\r\n\r\n" + GetOf(file), 200, true, true},
        {"absolute URI", GetOf("http://127.0.0.1" + file), 200, true, true},
        {"query", GetOf(file + "?week=9"), 200, true, true},
        {"HTTP/1.2", "GET " + file + " HTTP/1.2\r\nHost: x\r\n\r\n", 200, true, true},
        {"100 fields", GetOf(file, fields(100, 10)), 200, true, true},
        {"head of 8192 bytes", headOf(8192), 200, true, true},
        {"chunked body", GetOf(file, "Host: x\r\nTransfer-Encoding: chunked\r\n") + "0\r\n\r\n", 200, false, true},
        {"other path", GetOf(kPath + "Secret.dat"), 404, true},
        {"POST with a body", "POST " + file + " HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 405, false},
        {"DELETE", "DELETE " + file + " HTTP/1.1\r\nHost: x\r\n\r\n", 405, true},
        {"lower-case method", "get " + file + " HTTP/1.1\r\nHost: x\r\n\r\n", 405, true},
        {"no Host", "GET " + file + " HTTP/1.1\r\n\r\n", 400, false},
        {"two Hosts", GetOf(file, "Host: a\r\nHost: b\r\n"), 400, false},
        {"field without a colon", GetOf(file, "Host: x\r\nNo colon here\r\n"), 400, false},
        {"space before the colon", GetOf(file, "Host : x\r\n"), 400, false},
        {"folded field", GetOf(file, "Host: x\r\nX-Long: a\r\n b\r\n"), 400, false},
        {"bare CR in a value", GetOf(file, "Host: x\r\nX-Odd: a\rb\r\n"), 400, false},
        {"zero byte in the path", GetOf(kPath + std::string("Standings.dat\0x", 15)), 400, false},
        {"bad Content-Length", GetOf(file, "Host: x\r\nContent-Length: 5x\r\n"), 400, false},
        {"no version", "GET " + file + "\r\n\r\n", 400, false},
        {"two spaces", "GET  " + file + " HTTP/1.1\r\nHost: x\r\n\r\n", 400, false},
        {"HTTP/2.0", "GET " + file + " HTTP/2.0\r\nHost: x\r\n\r\n", 505, false},
        {"101 fields", GetOf(file, fields(101, 10)), 431, false},
        {"head of 8193 bytes", headOf(8193), 431, false},
        {"one field of 9000 bytes", GetOf(file, "Host: x\r\nX-Big: " + std::string(9000, 'b') + "\r\n"), 431, false},
        {"path of 9000 bytes", GetOf("/" + std::string(9000, 'p')), 414, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Client client(port);
        ASSERT_TRUE(client.connected);
        ASSERT_TRUE(client.Send(c.request));
        Reply reply = client.Read(c.request.starts_with("HEAD"));
        EXPECT_EQ(reply.status, c.status) << reply.head;
        EXPECT_EQ(reply.Field("Content-Type"), "text/plain");
        if (c.served) {
            EXPECT_TRUE(reply.body == standings) << reply.body.size() << " bytes";
        }
        if (c.status == 405) {
            EXPECT_EQ(reply.Field("Allow"), "GET, HEAD");
        }
        if (c.staysOpen) {
            // A second request on the same connection is answered in full.
            EXPECT_EQ(reply.Field("Connection"), c.request.find("HTTP/1.0") != std::string::npos ? "keep-alive" : "(none)");
            ASSERT_TRUE(client.Send(GetOf(kPath + "Schedule.dat")));
            Reply next = client.Read();
            EXPECT_EQ(next.status, 200) << next.head;
            EXPECT_TRUE(next.body == schedule);
        } else {
            EXPECT_EQ(reply.Field("Connection"), "close");
            EXPECT_TRUE(client.ClosedWithin(3000));
        }
    }
}

// A kept-alive connection carries request after request, one after the
// other or all sent at once, each answered in order.
TEST_F(DataServerTest, KeepsAConnectionForManyRequests)
{
    Client client(port);
    ASSERT_TRUE(client.connected);
    const std::pair<std::string, int> requests[] = {
        {GetOf(kPath + "Standings.dat"), 200}, {"HEAD " + kPath + "Schedule.dat HTTP/1.1\r\nHost: x\r\n\r\n", 200},
        {GetOf(kPath + "Nothing.dat"), 404},   {GetOf(kPath + "Schedule.dat"), 200},
        {GetOf(kPath + "Standings.dat"), 200},
    };
    std::string all;
    for (const auto& [request, status] : requests) {
        ASSERT_TRUE(client.Send(request));
        EXPECT_EQ(client.Read(request.starts_with("HEAD")).status, status) << request;
        all += request;
    }
    ASSERT_TRUE(client.Send(all + all));
    for (int round = 0; round < 2; round++) {
        EXPECT_TRUE(client.Read().body == standings);
        EXPECT_EQ(client.Read(true).Field("Content-Length"), std::to_string(schedule.size()));
        EXPECT_EQ(client.Read().status, 404);
        EXPECT_TRUE(client.Read().body == schedule);
        EXPECT_TRUE(client.Read().body == standings);
    }
    EXPECT_FALSE(client.ended);
}

// The server's deadlines run five times as fast: 1 s idle, 600 ms for a
// head, 400 ms of lingering.
class QuickDataServerTest : public DataServerTest {
protected:
    static constexpr int kSpeed = 5;
    std::string Environment() override { return "CORVALE_CLOCK_SPEED=" + std::to_string(kSpeed); }
};

// While clients hold connections open in every way a slow or hostile one
// can, others are served at once, each of those connections ends on its
// deadline, and the server's memory stays small.
TEST_F(QuickDataServerTest, SlowAndHostileClientsKeepNobodyWaiting)
{
    enum class Way { Trickle, Silent, Flood, Pipeline };
    struct Kind {
        const char* name;
        int count;
        std::string first;    // sent on connecting
        Way way;              // what it does after
        std::string answer;   // how what it receives begins
        long endsWithinMs;    // when the server must have closed it; 0: not looked at
    };
    const std::string head = "GET " + kPath + "Standings.dat HTTP/1.1\r\nHost: x\r\n";
    const Kind kinds[] = {
        // A head that never ends, a byte each tenth of its time: 408 after 3 s.
        {"slow head", 200, head + "X-Slow: ", Way::Trickle, "HTTP/1.1 408 ", 3000 / kSpeed + 2500},
        // Connected and silent: closed after 5 s idle.
        {"idle", 100, "", Way::Silent, "", 5000 / kSpeed + 2500},
        {"idle after an answer", 20, head + "\r\n", Way::Silent, "HTTP/1.1 200 ", 5000 / kSpeed + 2500},
        // 50 MB of one header field, as fast as it goes: 431 at 8 KiB, and
        // what it sends on is dropped for at most 2 s.
        {"huge head", 8, head + "X-Big: ", Way::Flood, "HTTP/1.1 431 ", 2000 / kSpeed + 3000},
        // Request after request, never reading an answer.
        {"never reads", 4, "", Way::Pipeline, "", 0},
    };
    struct Hostile {
        const Kind* kind;
        int fd;
        size_t sent = 0;
        std::string received;
        bool ended = false;
        long endedAtMs = 0;
    };
    std::vector<Hostile> clients;
    const long startRss = server.Kilobytes("VmRSS");
    auto start = Clock::now();
    for (const Kind& kind : kinds)
        for (int i = 0; i < kind.count; i++) {
            Client connection(port);
            ASSERT_TRUE(connection.connected) << kind.name;
            ASSERT_TRUE(kind.first.empty() || connection.Send(kind.first));
            clients.push_back({&kind, connection.fd, 0, "", false, 0});
            connection.fd = -1;
        }
    const std::string block(65536, 'b'), pipelined = GetOf(kPath + "Standings.dat");
    std::atomic<bool> stop{false};
    std::thread driver([&] {
        auto lastTrickle = Clock::now();
        while (!stop && MsSince(start) < 15000) {
            std::vector<pollfd> polls;
            for (Hostile& h : clients) {
                const bool sending = (h.kind->way == Way::Flood || h.kind->way == Way::Pipeline) && h.sent < (50u << 20);
                polls.push_back({h.fd, static_cast<short>(h.ended ? 0 : POLLIN | (sending ? POLLOUT : 0)), 0});
            }
            poll(polls.data(), polls.size(), 20);
            const bool trickle = MsSince(lastTrickle) >= 300 / kSpeed;
            if (trickle)
                lastTrickle = Clock::now();
            auto failed = [](ssize_t n) { return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK; };
            for (size_t i = 0; i < clients.size(); i++) {
                Hostile& h = clients[i];
                const short events = polls[i].revents;
                bool gone = false;
                if (h.ended)
                    continue;
                if ((events & (POLLIN | POLLERR | POLLHUP)) && h.kind->way != Way::Pipeline) {
                    char buffer[4096];
                    ssize_t n = recv(h.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n > 0 && h.received.size() < 100000)
                        h.received.append(buffer, n);
                    gone = n == 0 || failed(n);
                }
                if (!gone && (events & POLLOUT)) {
                    // Whole blocks of one field, or request after request.
                    const std::string& bytes = h.kind->way == Way::Flood ? block : pipelined;
                    const size_t at = h.sent % bytes.size();
                    ssize_t n = send(h.fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
                    h.sent += n > 0 ? n : 0;
                    gone = failed(n);
                }
                if (!gone && trickle && h.kind->way == Way::Trickle)
                    gone = failed(send(h.fd, "s", 1, MSG_NOSIGNAL | MSG_DONTWAIT));
                if (gone) {
                    h.ended = true;
                    h.endedAtMs = MsSince(start);
                }
            }
        }
    });

    // A normal client, meanwhile, is answered within a second, again and again.
    for (int i = 0; i < 5; i++) {
        auto asked = Clock::now();
        EXPECT_TRUE(Get(kPath + "Standings.dat") == "200 " + standings);
        EXPECT_LT(MsSince(asked), 1000) << "request " << i;
    }
    auto allEnded = [&] {
        for (const Hostile& h : clients)
            if (h.kind->endsWithinMs && !h.ended)
                return false;
        return true;
    };
    while (!allEnded() && MsSince(start) < 9000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    driver.join();
    for (const Kind& kind : kinds) {
        int ended = 0, answered = 0, late = 0;
        for (const Hostile& h : clients)
            if (h.kind == &kind) {
                ended += h.ended;
                answered += h.received.starts_with(kind.answer);
                late += h.ended && h.endedAtMs > kind.endsWithinMs;
            }
        EXPECT_EQ(answered, kind.count) << kind.name << ": answered as expected";
        if (kind.endsWithinMs) {
            EXPECT_EQ(ended, kind.count) << kind.name << ": closed by the server";
            EXPECT_EQ(late, 0) << kind.name << ": closed later than " << kind.endsWithinMs << " ms";
        }
    }
    const long peak = server.Kilobytes("VmHWM");
    EXPECT_LT(peak - startRss, 32 * 1024) << "peak " << peak << " kB against " << startRss << " kB at the start";
    for (const Hostile& h : clients)
        close(h.fd);
    // And it is still serving.
    EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
}

// --stall holds every request: a slow network to try the program against.
class StallingDataServerTest : public DataServerTest {
protected:
    std::string Extra() override { return "--stall 1"; }
};

TEST_F(StallingDataServerTest, AnswersOnlyAfterItsStall)
{
    auto start = Clock::now();
    EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
    EXPECT_GE(MsSince(start), 1000);
}

// Held requests hold only themselves: forty held at once are all answered
// after the one stall, not one after another.
TEST_F(StallingDataServerTest, HoldsEachRequestWithoutHoldingOthers)
{
    std::vector<std::unique_ptr<Client>> clients;
    auto start = Clock::now();
    for (int i = 0; i < 40; i++) {
        clients.push_back(std::make_unique<Client>(port));
        ASSERT_TRUE(clients.back()->connected);
        ASSERT_TRUE(clients.back()->Send(GetOf(kPath + (i % 2 ? "Standings.dat" : "Schedule.dat"))));
    }
    const long sent = MsSince(start);
    for (int i = 0; i < 40; i++) {
        Reply reply = clients[i]->Read(false, 5000);
        EXPECT_TRUE(reply.status == 200 && reply.body == (i % 2 ? standings : schedule)) << i << ": " << reply.head;
    }
    EXPECT_GE(MsSince(start), 1000);
    EXPECT_LT(MsSince(start), sent + 3000) << "the held requests were answered one after another";
}

TEST(DataServerArguments, BadArgumentsExit2AndABusyPort1)
{
    for (const char* args : {"", "--root", "--port 8080", "--root /tmp --port http", "--root /tmp --port 70000",
                             "--root /tmp --port -1", "--root /nonexistent/season", "--root /tmp --verbose",
                             "--root /tmp --stall 3601", "--root /tmp --stall soon", "--root /tmp --stall"})
        EXPECT_EQ(ExitStatus(args), 2) << args;
    EXPECT_EQ(ExitStatus("--help"), 0);

    int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size);
    EXPECT_EQ(ExitStatus("--root /tmp --port " + std::to_string(ntohs(address.sin_port))), 1);
    close(taken);
}

// Started as root (as sudo starts it, to bind port 80), it serves as the
// user who ran sudo, else as nobody, and never as root or with a
// capability.
TEST(DataServerPrivileges, RunsUnprivilegedOnceListening)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only a server started as root gives up root; this test runs as user " << geteuid();
    const passwd* nobody = getpwnam("nobody");
    const group* nogroup = getgrnam("nogroup");
    ASSERT_TRUE(nobody && nogroup);
    const std::string anybody = std::to_string(nobody->pw_uid), anygroup = std::to_string(nogroup->gr_gid);
    struct Case {
        const char* environment;
        std::string uid, gid;
    };
    const Case cases[] = {
        {"env -u SUDO_UID -u SUDO_GID", anybody, anygroup},
        {"SUDO_UID=4242 SUDO_GID=4343", "4242", "4343"},
        {"SUDO_UID=0 SUDO_GID=0", anybody, anygroup},    // sudo run by root itself
        {"SUDO_UID=4242 SUDO_GID=", anybody, anygroup},  // half of a user
        {"SUDO_UID=42x SUDO_GID=43", anybody, anygroup},
        // Not root, but given the capability to bind low ports, as a
        // service may be: it keeps its user and drops the capability.
        {"setpriv --reuid 4242 --regid 4343 --clear-groups --inh-caps +net_bind_service --ambient-caps +net_bind_service",
         "4242", "4343"},
    };
    const std::string folder = SourcePath("tests/fixtures/season-2003-week9");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment);
        ServerProcess server;
        ASSERT_TRUE(server.Start(folder, "", c.environment)) << server.line;
        // Real, effective, saved and file-system IDs alike.
        EXPECT_EQ(server.Status("Uid"), c.uid + "\t" + c.uid + "\t" + c.uid + "\t" + c.uid);
        EXPECT_EQ(server.Status("Gid"), c.gid + "\t" + c.gid + "\t" + c.gid + "\t" + c.gid);
        EXPECT_EQ(server.Status("Groups"), "");
        EXPECT_EQ(server.Status("CapPrm"), "0000000000000000");
        EXPECT_EQ(server.Status("CapEff"), "0000000000000000");
        EXPECT_EQ(server.Status("CapAmb"), "0000000000000000");
        // And it still serves the files, as that user.
        Client client(server.port);
        client.Send(GetOf(kPath + "Standings.dat"));
        std::ifstream file(folder + "/Standings.dat", std::ios::binary);
        EXPECT_TRUE(client.Read().body == std::string(std::istreambuf_iterator<char>(file), {}));
        EXPECT_EQ(server.Stop(), 0);
    }
}

// nginx with the shipped configuration, on a free loopback port, in a
// temporary prefix of its own.
class NginxTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx"})
            if (access(candidate, X_OK) == 0)
                nginx = candidate;
        if (nginx.empty())
            GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs Debian's nginx)";
        prefix = home + "/nginx";
        data = home + "/data";
        fs::create_directories(prefix);
        fs::create_directories(data);
        for (const char* name : {"Standings.dat", "Schedule.dat", "Season.dat"})
            fs::copy_file(SourcePath("tests/fixtures/season-2003-week9/") + name, data + "/" + name);
        // A port that was free a moment ago; should another take it first, another.
        for (int attempt = 0; attempt < 3 && port == 0; attempt++) {
            int probe = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
            socklen_t size = sizeof address;
            bind(probe, reinterpret_cast<sockaddr*>(&address), size);
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
            close(probe);
            ASSERT_NO_FATAL_FAILURE(StartNginx(ntohs(address.sin_port)));
        }
        ASSERT_NE(port, 0) << "nginx did not start:\n" << ReadFile(prefix + "/error.log");
        InternetRedirectForTest(80, port);
        SetClockSpeedForTest(5);  // 3 s of silence ends a transfer
    }
    void TearDown() override
    {
        InternetRedirectForTest(-1, -1);
        SetClockSpeedForTest(1);
        if (pid > 0) {
            kill(pid, SIGQUIT);  // a graceful stop
            EXPECT_EQ(WaitForExit(pid, 10000), 0);
        }
        AppTest::TearDown();
    }

    // The shipped server block pointed at `data` and `tryPort`, inside a
    // configuration that keeps every file nginx writes in `prefix`.
    void StartNginx(int tryPort)
    {
        std::string server = ReadFile(SourcePath("packaging/nginx/corvale-data.conf"));
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"listen 127.0.0.1:80;",
                                                                            "listen 127.0.0.1:" + std::to_string(tryPort) + ";"},
                                       {"/srv/corvale/", data + "/"}}) {
            ASSERT_NE(server.find(from), std::string::npos) << from;
            for (size_t at; (at = server.find(from)) != std::string::npos;)
                server.replace(at, from.size(), to);
        }
        WriteFile("nginx/corvale-data.conf", server);
        // Around it, what Debian's nginx.conf gives every server: its file
        // types, another default type, and a page at the default root.
        WriteFile("nginx/html/index.html", "<p>Welcome to nginx!</p>\n");
        std::string config = "daemon off;\nmaster_process off;\npid " + prefix + "/nginx.pid;\nerror_log " + prefix +
                             "/error.log;\nevents { worker_connections 64; }\nhttp {\n  access_log " + prefix +
                             "/access.log;\n  default_type application/octet-stream;\n";
        if (fs::exists("/etc/nginx/mime.types"))
            config += "  include /etc/nginx/mime.types;\n";
        for (const char* temporary : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            config += "  " + std::string(temporary) + "_temp_path " + prefix + "/" + temporary + ";\n";
        config += "  include " + prefix + "/corvale-data.conf;\n}\n";
        WriteFile("nginx/nginx.conf", config);
        pid_t started = fork();
        if (started == 0) {
            execl(nginx.c_str(), nginx.c_str(), "-p", prefix.c_str(), "-c", (prefix + "/nginx.conf").c_str(), "-e",
                  (prefix + "/error.log").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Listening, or ended (as when the port was taken meanwhile).
        for (auto start = Clock::now(); MsSince(start) < 10000 && IsRunning(started);) {
            if (Client(tryPort).connected) {
                pid = started;
                port = tryPort;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (IsRunning(started))
            kill(started, SIGKILL);
        WaitForExit(started, 5000);
    }

    std::string nginx, prefix, data;
    pid_t pid = 0;
    int port = 0;
};

// The program's own Download code fetches both files through nginx and
// stores them byte for byte; nginx answers like the data server, with the
// same type, and 404 for everything else.
TEST_F(NginxTest, ServesTheProgramsDownload)
{
    InstallSeason("season/2003");
    EXPECT_EQ(FetchStandings(nullptr), 1) << std::string(g_lastErrorText, g_lastErrorText + std::wcslen(g_lastErrorText));
    EXPECT_EQ(FetchSchedule(nullptr), 1);
    for (const char* name : {"Standings.dat", "Schedule.dat"})
        EXPECT_TRUE(ReadFile(installDir + "/" + name) == ReadFile(data + "/" + name)) << name;
    EXPECT_NE(ReadFile(installDir + "/Standings.dat"), ReadFile(SourcePath("season/2003/Standings.dat")));

    const std::pair<std::string, int> requests[] = {
        {GetOf(kPath + "Standings.dat"), 200},
        {"HEAD " + kPath + "Schedule.dat HTTP/1.1\r\nHost: x\r\n\r\n", 200},
        {GetOf(kPath + "Season.dat"), 404},
        {GetOf(kPath + "standings.dat"), 404},
        {GetOf(kPath + "Standings.dat/x"), 404},
        {GetOf(kPath), 404},
        {GetOf("/"), 404},
        {GetOf("/Standings.dat"), 404},
        {"POST " + kPath + "Standings.dat HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", 405},
    };
    for (const auto& [request, status] : requests) {
        SCOPED_TRACE(request);
        Client client(port);
        ASSERT_TRUE(client.Send(request));
        Reply reply = client.Read(request.starts_with("HEAD"));
        EXPECT_EQ(reply.status, status);
        if (status == 200) {
            EXPECT_EQ(reply.Field("Content-Type"), "text/plain");
        }
    }
}

}  // namespace
