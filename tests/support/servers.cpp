#include "tests/support/servers.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <chrono>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

HttpServer::HttpServer(const Bodies& bodies, const Statuses& statuses)
{
    server.Get(".*", [this, bodies, statuses](const httplib::Request& request, httplib::Response& response) {
        seen = request.headers;
        lastPath = request.path;
        requests++;
        if (bodies.contains(request.path))
            response.set_content(bodies.at(request.path), "text/plain");
        else
            response.status = 404;
        if (statuses.contains(request.path))
            response.status = statuses.at(request.path);
    });
    port = server.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server.listen_after_bind(); });
}

HttpServer::~HttpServer()
{
    for (int i = 0; i < 500 && !server.is_running(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    server.stop();
    thread.join();
}

std::string HttpServer::Seen(const char* name)
{
    auto it = seen.find(name);
    return it == seen.end() ? "(none)" : it->second;
}

int Listener(bool listening, int* port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_TRUE(!listening || listen(fd, 1) == 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return fd;
}

ScriptServer::ScriptServer(std::string reply, End end, std::chrono::milliseconds trickle)
    : listener(Listener(true, &port)), thread([=, this] { Serve(reply, end, trickle); })
{
}

ScriptServer::~ScriptServer()
{
    stop = true;
    thread.join();
    close(listener);
}

namespace {

bool Readable(int fd, int ms) { pollfd p{fd, POLLIN, 0}; return poll(&p, 1, ms) == 1; }

// False once the client has gone: its end closed or reset.
bool ClientThere(int client)
{
    char byte;
    return !Readable(client, 0) || recv(client, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

}  // namespace

void ScriptServer::Serve(const std::string& reply, End end, std::chrono::milliseconds trickle)
{
    int client = -1;
    for (int waited = 0; client < 0 && waited < 10000 && !stop; waited += 100)
        if (Readable(listener, 100))
            client = accept(listener, nullptr, nullptr);
    if (client < 0)
        return;
    char buffer[4096];
    std::string request;
    for (ssize_t got = 1; got > 0 && request.find("\r\n\r\n") == std::string::npos && Readable(client, 10000);)
        if ((got = recv(client, buffer, sizeof buffer, 0)) > 0)
            request.append(buffer, got);
    requested = true;
    send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    const std::string block(65536, 'x');
    auto lastByte = std::chrono::steady_clock::now();
    while (end != End::Close && end != End::Reset && !stop && ClientThere(client)) {
        pollfd p{client, static_cast<short>(end == End::Endless ? POLLOUT : POLLIN), 0};
        poll(&p, 1, static_cast<int>(std::min<long long>(50, trickle.count())));
        if (end == End::Endless && (p.revents & POLLOUT))
            send(client, block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (end == End::Trickle && std::chrono::steady_clock::now() - lastByte >= trickle) {
            send(client, "y", 1, MSG_NOSIGNAL);
            lastByte = std::chrono::steady_clock::now();
        }
    }
    linger abort{1, 0};
    if (end == End::Reset)
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(client);
}

std::string Pattern(size_t size)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; i++)
        text[i] = static_cast<char>(i * 7 + i / 251);
    return text;
}

std::string SignInPage()
{
    return "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head><meta charset=\"utf-8\">\r\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
           "<title>Welcome aboard - Wi-Fi</title></head>\r\n<body>\r\n"
           "<form method=\"post\" action=\"/login\"><p>Accept the terms, then connect.</p>\r\n"
           "<input type=\"checkbox\" name=\"terms\"> I agree, connect me\r\n"
           "<button>Connect</button></form>\r\n</body>\r\n</html>\r\n";
}
