#include "tests/support/desktop.h"

#include "platform/application.h"
#include "tests/support/program.h"

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartMs = 20000;  // how long a desktop may take to come up, as a loaded sanitizer run needs

// Starts a program with `args`, its output written to `log` (discarded when
// none is named); 0 when it cannot run.
pid_t Spawn(const std::vector<std::string>& args, const std::string& log = "", int keepFd = -1)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        int output = open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepFd)
                close(fd);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid > 0 ? pid : 0;
}

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a desktop needs: a program on the PATH or, for Qt's plugins, a
// check of its own; and the Debian package that brings it.
struct Tool {
    std::string name;
    std::string package;
    bool installed;
};

bool OnPath(const std::string& program)
{
    return RunShell("command -v " + ShellQuote(program) + " >/dev/null").status == 0;
}

// "" when every tool is installed; else the sentence that names the missing ones.
std::string NotInstalled(const std::vector<Tool>& tools)
{
    std::string missing;
    for (const Tool& tool : tools)
        if (!tool.installed)
            missing += (missing.empty() ? "" : ", ") + tool.name + " (Debian's " + tool.package + ")";
    return missing.empty() ? "" : "not installed: " + missing + "; scripts/setup.sh installs what is missing";
}

// The programs on the desktop run under AddressSanitizer without its strict
// string checks: libxkbcommon, which Qt's xcb and Wayland plugins load,
// calls strndup on key names that end at the bound rather than at a NUL,
// which those checks take for an overflow.
void RelaxStringChecks()
{
    if (const char* options = std::getenv("ASAN_OPTIONS")) {
        std::string relaxed = options;
        for (size_t at = relaxed.find("strict_string_checks=1"); at != std::string::npos;
             at = relaxed.find("strict_string_checks=1"))
            relaxed.replace(at, 22, "strict_string_checks=0");
        setenv("ASAN_OPTIONS", relaxed.c_str(), 1);
    }
}

// Waits until `up` holds of a desktop that `process` (named `name`, its
// output in `log`) brings up; Failed, saying why, when the process ends
// first or `up` takes longer than kStartMs.
Desktop::Outcome AwaitUp(pid_t& process, const std::string& name, const std::string& log, const std::string& what,
                         const std::function<bool()>& up, std::string& why)
{
    PollUntil([&] { return !IsRunning(process) || up(); }, kStartMs);
    if (!IsRunning(process)) {
        process = 0;  // already reaped
        why = name + " ended before it could " + what;
    } else if (!up()) {
        why = name + " did not " + what + " within " + std::to_string(kStartMs / 1000) + " s";
    } else {
        return Desktop::Outcome::Up;
    }
    why += "; its output:\n" + Contents(log);
    return Desktop::Outcome::Failed;
}

// A file in the test's own runtime folder (XDG_RUNTIME_DIR, set by TempHomeTest).
std::string RuntimeFile(const std::string& name)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime ? runtime : "/tmp") + "/" + name;
}

}  // namespace

Desktop::Outcome Desktop::Start(Kind kind, std::string& why, const std::string& screen)
{
    RelaxStringChecks();
    return kind == Kind::Wayland ? StartWayland(why) : StartX11(kind == Kind::X11, screen, why);
}

Desktop::Outcome Desktop::StartX11(bool manager, const std::string& screen, std::string& why)
{
    why = NotInstalled({{"Xvfb", "xvfb", OnPath("Xvfb")},
                        {"openbox", "openbox", !manager || OnPath("openbox")},
                        {"xdotool", "xdotool", OnPath("xdotool")},
                        {"xprop", "x11-utils", OnPath("xprop")}});
    if (!why.empty())
        return Outcome::ToolMissing;
    // Xvfb picks a free display and writes its number to the pipe.
    int numbers[2];
    if (pipe(numbers) != 0) {
        why = "no pipe for Xvfb's display number";
        return Outcome::Failed;
    }
    const std::string serverLog = RuntimeFile("xvfb.log");
    // -noreset: an X server resets itself whenever its last client leaves,
    // refusing whoever connects meanwhile, as openbox right after the check
    // below was, now and then.
    m_server = Spawn({"Xvfb", "-displayfd", std::to_string(numbers[1]), "-screen", "0", screen + "x24", "-nolisten", "tcp",
                      "-noreset"},
                     serverLog, numbers[1]);
    close(numbers[1]);
    std::string number;
    char c = 0;
    while (read(numbers[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(numbers[0]);
    if (number.empty()) {
        why = "Xvfb did not start; its output:\n" + Contents(serverLog);
        return Outcome::Failed;
    }
    std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    // openbox only once Xvfb answers a client, so that an X server that
    // does not answer is told from an openbox that fails.
    const Outcome answering = AwaitUp(m_server, "Xvfb", serverLog, "let a client in",
                                      [] { return RunShell("xprop -root >/dev/null 2>&1").status == 0; }, why);
    if (answering != Outcome::Up || !manager)
        return answering;
    const std::string log = RuntimeFile("openbox.log");
    m_manager = Spawn({"openbox"}, log);
    // openbox owns the screen's window-manager selection once it manages.
    auto managing = [] {
        return RunShell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").output.find("window id") != std::string::npos;
    };
    return AwaitUp(m_manager, "openbox", log, "manage the display", managing, why);
}

Desktop::Outcome Desktop::StartWayland(std::string& why)
{
    why = NotInstalled({{"weston", "weston", OnPath("weston")},
                        {"Qt's Wayland plugin", "qt6-wayland", platform::HasPlatformPlugin("wayland")}});
    if (!why.empty())
        return Outcome::ToolMissing;
    // Weston listens in the test's own runtime folder. It reads no request
    // before its shell is loaded, so a client may connect as soon as the
    // socket is there.
    const std::string socket = "wayland-corvale", log = RuntimeFile("weston.log");
    m_server = Spawn({"weston", "--backend=headless-backend.so", "--socket=" + socket, "--width=1280", "--height=1024",
                      "--idle-time=0", "--no-config"}, log);
    const Outcome outcome = AwaitUp(m_server, "weston", log, "listen",
                                    [&] { return std::filesystem::exists(RuntimeFile(socket)); }, why);
    if (outcome != Outcome::Up)
        return outcome;
    // As a Wayland session a person logs in to (not GNOME's, where Qt
    // chooses X11 whatever is there).
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    setenv("XDG_SESSION_TYPE", "wayland", 1);
    unsetenv("XDG_CURRENT_DESKTOP");
    unsetenv("XDG_SESSION_DESKTOP");
    unsetenv("DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    return Outcome::Up;
}

Desktop::~Desktop()
{
    Stop(m_manager);
    Stop(m_server);
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

bool Desktop::Geometry(const std::string& title, int box[4]) const
{
    CommandResult result = RunShell("xdotool search --onlyvisible --name " + ShellQuote("^" + title + "$") +
                                    " getwindowgeometry --shell 2>/dev/null");
    return std::sscanf(result.output.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &box[0], &box[1], &box[2], &box[3]) == 4;
}

// xwininfo's client area, then the window manager's _NET_FRAME_EXTENTS
// (left, right, top, bottom; none without one).
bool Desktop::Frame(const std::string& title, int box[4]) const
{
    CommandResult result = RunShell("{ id=$(xdotool search --onlyvisible --name " + ShellQuote("^" + title + "$") +
                                    " | head -n 1) && [ -n \"$id\" ] &&"
                                    " xwininfo -id $id | awk '/Absolute|Width:|Height:/ { print $NF }' &&"
                                    " xprop -id $id _NET_FRAME_EXTENTS | grep -o '[0-9, ]*$' | tr -d ,; } 2>/dev/null");
    int f[4] = {};  // left, right, top, bottom
    if (std::sscanf(result.output.c_str(), "%d %d %d %d %d %d %d %d", &box[0], &box[1], &box[2], &box[3], &f[0], &f[1], &f[2],
                    &f[3]) < 4)
        return false;
    box[0] -= f[0], box[1] -= f[2], box[2] += f[0] + f[1], box[3] += f[2] + f[3];
    return true;
}

void DesktopTest::SetUp()
{
    TempHomeTest::SetUp();
    std::string why;
    switch (desktop.Start(kind, why, screen)) {
    case Desktop::Outcome::ToolMissing:
        GTEST_SKIP() << why;
    case Desktop::Outcome::Failed:
        FAIL() << "the test desktop did not come up: " << why;
    case Desktop::Outcome::Up:
        break;
    }
    BeforeStart();
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_EQ(WaitForExit(StartBinary("corvale-install", {SourcePath("season/2003"), home + "/install"}), 10000), 0);
    Start();
}

void DesktopTest::Start()
{
    pid = StartBinary("corvale", {}, errorFile);
    ASSERT_TRUE(WaitForWindow("Corvale", "", 10000));
    DumpWhenLoaded();
}

void DesktopTest::TearDown()
{
    if (pid > 0 && IsRunning(pid)) {
        Winspy({"close", "Corvale"});
        WaitForExit(pid, 5000);
    }
    TempHomeTest::TearDown();
}
