// The data server's configuration: the command line and its help, the
// CORVALE_CLOCK_SPEED that divides the deadlines, and giving up root (or
// the capabilities it was given) once it listens.
//
// Divisions: help and numbers, the command line and the environment,
// privileges.

#include "tools/dataserver/config.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace dataserver {

namespace {

// Help and numbers

const char kHelp[] = R"(usage: corvale-dataserver --root DIR [--port N] [--stall SECONDS]

Serves DIR/Standings.dat and DIR/Schedule.dat, read afresh at each request,
as /sports/football/2003/Standings.dat and /sports/football/2003/Schedule.dat
on 127.0.0.1 (port 80 unless --port; 0 takes any free port), to GET and HEAD
over HTTP/1.0 and 1.1 with keep-alive. Only regular files are served: a
link, FIFO, folder or device at either name is 404, as is every other path.
With --stall, holds each request SECONDS (0 to 3600) before answering, as a
slow network would. A request head larger than 8 KiB or of more than 100
header fields is answered 431; a head must arrive whole within 3 seconds of
its first byte, and a connection idle for 5 seconds is closed.
Started as root, it gives up root once listening: it runs as the user that
SUDO_UID and SUDO_GID name, else as nobody and nogroup.
Prints "serving DIR on 127.0.0.1:PORT" once listening; stops on SIGINT or
SIGTERM.
Exit status: 0 stopped, 1 cannot listen or cannot give up root, 2 bad
arguments.
)";

int Usage(const char* problem)
{
    std::fprintf(stderr, "corvale-dataserver: %s\n\n%s", problem, kHelp);
    return 2;
}

// A whole decimal number from 0 to `largest`, or -1.
int ParseNumberUpTo(const char* text, long largest)
{
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text, &end, 10);
    if (errno || end == text || *end || number < 0 || number > largest)
        return -1;
    return static_cast<int>(number);
}

// The command line and the environment

// CORVALE_CLOCK_SPEED=N (1 to 100) divides every deadline by N; any other
// value is passed over.
void ApplyClockSpeed(Deadlines& deadlines)
{
    const char* speed = std::getenv("CORVALE_CLOCK_SPEED");
    const int factor = speed ? ParseNumberUpTo(speed, 100) : -1;
    if (factor >= 1)
        for (std::chrono::milliseconds* deadline : {&deadlines.idle, &deadlines.head, &deadlines.send, &deadlines.linger})
            *deadline /= factor;
}

}  // namespace

int ReadConfig(int argc, char** argv, Config& config)
{
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
            config.root = value;
        else if (arg == "--stall" && (config.stallSeconds = ParseNumberUpTo(value, 3600)) < 0)
            return Usage("--stall takes a number of seconds from 0 to 3600");
        else if (arg == "--port" && (config.port = ParseNumberUpTo(value, 65535)) < 0)
            return Usage("--port takes a number from 0 to 65535");
    }
    if (config.root.empty())
        return Usage("--root DIR is required");
    ApplyClockSpeed(config.deadlines);
    std::error_code error;
    if (!std::filesystem::is_directory(config.root, error))
        return Usage(("not a directory: " + config.root).c_str());
    return -1;
}

// Privileges

namespace {

// A user or group number for SUDO_UID or SUDO_GID: decimal, not root's 0.
bool ParseId(const char* text, unsigned* id)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (errno || *end || !std::isdigit(static_cast<unsigned char>(text[0])) || value == 0 || value >= 0xffffffffULL)
        return false;
    *id = static_cast<unsigned>(value);
    return true;
}

// A process that is not root keeps its user and drops every capability.
bool DropCapabilities()
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] {};
    if (syscall(SYS_capget, &header, caps) == 0 && (caps[0].permitted | caps[1].permitted) == 0)
        return true;
    __user_cap_data_struct none[2] {};
    if (syscall(SYS_capset, &header, none) != 0) {
        std::perror("corvale-dataserver: cannot drop its capabilities");
        return false;
    }
    return true;
}

// The user and group root becomes: the one that ran sudo, else nobody and
// nogroup. False, having said why, when there is no such user.
bool UnprivilegedIds(unsigned& uid, unsigned& gid)
{
    if (ParseId(std::getenv("SUDO_UID"), &uid) && ParseId(std::getenv("SUDO_GID"), &gid))
        return true;
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot give up root: there is no user nobody\n");
        return false;
    }
    const group* nogroup = getgrnam("nogroup");
    uid = nobody->pw_uid;
    gid = nogroup ? nogroup->gr_gid : nobody->pw_gid;
    return true;
}

// True when every one of the process's user and group IDs is this one,
// it has no supplementary groups, and it cannot become root again.
bool RunsOnlyAs(unsigned uid, unsigned gid)
{
    uid_t ruid, euid, suid;
    gid_t rgid, egid, sgid;
    return getresuid(&ruid, &euid, &suid) == 0 && getresgid(&rgid, &egid, &sgid) == 0 && ruid == uid && euid == uid &&
           suid == uid && rgid == gid && egid == gid && sgid == gid && getgroups(0, nullptr) == 0 && setuid(0) != 0;
}

}  // namespace

bool GiveUpPrivileges()
{
    if (getuid() != 0 && geteuid() != 0)
        return DropCapabilities();
    unsigned uid = 0, gid = 0;
    if (!UnprivilegedIds(uid, gid))
        return false;
    if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) {
        std::fprintf(stderr, "corvale-dataserver: cannot give up root for user %u, group %u: %s\n", uid, gid,
                     std::strerror(errno));
        return false;
    }
    if (!RunsOnlyAs(uid, gid)) {
        std::fprintf(stderr, "corvale-dataserver: cannot give up root: root could be regained\n");
        return false;
    }
    return true;
}

}  // namespace dataserver
