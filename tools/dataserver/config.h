// The data server's configuration: its command line, the environment that
// speeds its deadlines up (CORVALE_CLOCK_SPEED), and giving up root once
// it listens.
//
// Divisions: the configuration, reading it, privileges.
#pragma once

#include <chrono>
#include <string>

namespace dataserver {

// The configuration

// The connections' deadlines. CORVALE_CLOCK_SPEED=N (1 to 100), which only
// the tests set, divides them by N, so that a test of them takes a second.
struct Deadlines {
    std::chrono::milliseconds idle{5000};    // a kept-alive connection waiting for a request
    std::chrono::milliseconds head{3000};    // a request head, from its first byte to its end
    std::chrono::milliseconds send{10000};   // an answer making no progress
    std::chrono::milliseconds linger{2000};  // reading what a closed client still sends
};

struct Config {
    std::string root;      // the folder the files are served from
    int port = 80;         // 0: any free port
    int stallSeconds = 0;  // how long each request is held before it is answered
    Deadlines deadlines;
};

// Reading it

// Reads the command line and the environment into `config`: -1 to go on
// serving, else the exit status (0 after --help, 2 after saying what is
// wrong with the arguments).
int ReadConfig(int argc, char** argv, Config& config);

// Privileges

// Once the port is bound, a root process becomes the user that ran sudo,
// or else nobody and nogroup, with no supplementary groups; any other
// process drops the capabilities it was given. False, having said why, when
// that fails or root could be regained.
bool GiveUpPrivileges();

}  // namespace dataserver
