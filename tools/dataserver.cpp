// corvale-dataserver: serves a season's Standings.dat and Schedule.dat on
// the loopback address at the paths the program downloads them from.
// See `corvale-dataserver --help`.

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <pthread.h>

namespace {

const char kHelp[] = R"(usage: corvale-dataserver --root DIR [--port N] [--stall SECONDS]

Serves DIR/Standings.dat and DIR/Schedule.dat, read afresh at each request,
as /sports/football/2003/Standings.dat and /sports/football/2003/Schedule.dat
on 127.0.0.1 (port 80 unless --port; 0 takes any free port). Every other
path is 404. With --stall, holds each request SECONDS (0 to 3600) before
answering, as a slow network would. Prints "serving DIR on 127.0.0.1:PORT"
once listening; stops on SIGINT or SIGTERM.
Exit status: 0 stopped, 1 cannot listen, 2 bad arguments.
)";

const char kHost[] = "127.0.0.1";

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

std::atomic<bool> g_stopping{false};  // a stop signal came

// Holds a request `seconds`, or until the server stops.
void Stall(int seconds)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!g_stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Sends a data file as it is on disk; 404 when it cannot be read.
void ServeFile(const std::string& root, const httplib::Request& request, httplib::Response& response)
{
    std::ifstream in(root + "/" + request.matches[1].str() + ".dat", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        response.status = 404;
        return;
    }
    response.set_content(bytes, "text/plain");
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
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        return Usage(("not a directory: " + root).c_str());

    // SIGINT and SIGTERM are taken by one thread, which stops the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    httplib::Server server;
    server.Get(R"(/sports/football/2003/(Standings|Schedule)\.dat)",
               [&root, stall](const httplib::Request& request, httplib::Response& response) {
                   Stall(stall);
                   ServeFile(root, request, response);
               });
    errno = 0;
    int bound = port ? (server.bind_to_port(kHost, port) ? port : -1) : server.bind_to_any_port(kHost);
    if (bound <= 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot listen on %s:%d: %s\n", kHost, port, errno ? std::strerror(errno) : "bind failed");
        if (port < 1024)
            std::fprintf(stderr, "ports below 1024, such as 80, need root or CAP_NET_BIND_SERVICE; try --port 8080\n");
        return 1;
    }
    std::thread([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        g_stopping = true;
        while (!server.is_running())  // a stop before listening starts would be lost
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        server.stop();
    }).detach();
    std::printf("serving %s on %s:%d\n", root.c_str(), kHost, bound);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
