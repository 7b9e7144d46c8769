// What the data server sets up before it serves: SIGINT and SIGTERM taken
// through a signal descriptor, and a non-blocking listening socket on the
// loopback address (port 0: any free port).
//
// Divisions: the stop signals, listening.

#include "tools/dataserver/listen.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/signalfd.h>
#include <sys/socket.h>

namespace dataserver {

// The stop signals

int TakeStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// Listening

int Listen(int port, int* bound)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot listen on %s:%d: %s\n", kHost, port, std::strerror(errno));
        if (port < 1024 && errno == EACCES)
            std::fprintf(stderr, "ports below 1024, such as 80, need root; try sudo, or --port 8080\n");
        return -1;
    }
    *bound = ntohs(address.sin_port);
    return listener;
}

}  // namespace dataserver
