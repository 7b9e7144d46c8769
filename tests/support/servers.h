// Loopback servers for the Internet and download tests: a well-behaved
// HTTP server with fixed bodies, and a scripted one that misbehaves.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>

using Bodies = std::map<std::string, std::string>;
using Statuses = std::map<std::string, int>;

// A well-behaved server on a free loopback port: fixed bodies by path, with
// status 200 unless `statuses` gives another, 404 for other paths; keeps the
// headers and path of the last request.
struct HttpServer {
    explicit HttpServer(const Bodies& bodies, const Statuses& statuses = {});
    ~HttpServer();
    // A header of the last request, once it has been answered.
    std::string Seen(const char* name);

    httplib::Server server;
    std::thread thread;
    httplib::Headers seen;
    std::string lastPath;
    std::atomic<int> requests{0};
    int port = 0;
};

// A loopback socket on a free port: listening, or only bound so that
// connections are refused.
int Listener(bool listening, int* port);

// What a scripted server does after its reply: close, reset, hold the
// connection open in silence, trickle one byte at a time (a second apart
// unless the server is told otherwise), or send an endless stream of bytes.
enum class End { Close, Reset, Hold, Trickle, Endless };

// Accepts one connection, reads the request, writes `reply`, then ends as
// `end` says, until the client goes or the server is destroyed.
struct ScriptServer {
    ScriptServer(std::string reply, End end, std::chrono::milliseconds trickle = std::chrono::seconds(1));
    ~ScriptServer();

    int port = 0;
    int listener;
    std::atomic<bool> stop{false};
    std::atomic<bool> requested{false};  // a request head has arrived
    std::thread thread;

private:
    void Serve(const std::string& reply, End end, std::chrono::milliseconds trickle);
};

// The page a network with a sign-in page answers every request with.
std::string SignInPage();

// `size` bytes of a pattern that holds zero bytes and every other value.
std::string Pattern(size_t size);
