#include "tests/support/desktop.h"

#include "tests/support/program.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts a program with `args`, its output discarded; 0 when it cannot run.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
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

}  // namespace

bool Desktop::Start(std::string& why)
{
    if (RunShell("command -v Xvfb && command -v openbox && command -v xdotool && command -v xprop").status != 0) {
        why = "Xvfb, openbox and xdotool are needed (scripts/setup.sh installs them)";
        return false;
    }
    // Xvfb picks a free display and writes its number to the pipe.
    int numbers[2];
    if (pipe(numbers) != 0)
        return false;
    m_server = Spawn({"Xvfb", "-displayfd", std::to_string(numbers[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                     numbers[1]);
    close(numbers[1]);
    std::string number;
    char c = 0;
    while (read(numbers[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(numbers[0]);
    if (number.empty()) {
        why = "Xvfb did not start";
        return false;
    }
    std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Under AddressSanitizer: libxkbcommon-x11, which Qt's xcb plugin loads,
    // calls strndup on key names that end at the bound rather than at a NUL,
    // which ASan's strict string checks take for an overflow; the programs on
    // this display run without those checks.
    if (const char* options = std::getenv("ASAN_OPTIONS")) {
        std::string relaxed = options;
        for (size_t at = relaxed.find("strict_string_checks=1"); at != std::string::npos;
             at = relaxed.find("strict_string_checks=1"))
            relaxed.replace(at, 22, "strict_string_checks=0");
        setenv("ASAN_OPTIONS", relaxed.c_str(), 1);
    }
    unsetenv("WAYLAND_DISPLAY");
    m_manager = Spawn({"openbox"});
    // openbox owns the screen's window-manager selection once it manages.
    if (PollUntil([] { return RunShell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").output.find("window id") !=
                              std::string::npos; },
                  20000))
        return true;
    why = "openbox did not start within 20 s";
    return false;
}

Desktop::~Desktop()
{
    Stop(m_manager);
    Stop(m_server);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

bool Desktop::Geometry(const std::string& title, int box[4]) const
{
    CommandResult result = RunShell("xdotool search --onlyvisible --name " + ShellQuote("^" + title + "$") +
                                    " getwindowgeometry --shell 2>/dev/null");
    return std::sscanf(result.output.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &box[0], &box[1], &box[2], &box[3]) == 4;
}

void DesktopTest::SetUp()
{
    TempHomeTest::SetUp();
    std::string why;
    if (!desktop.Start(why))
        GTEST_SKIP() << why;
    BeforeStart();
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_EQ(WaitForExit(StartBinary("corvale-install", {SourcePath("season/2003"), home + "/install"}), 10000), 0);
    Start();
}

void DesktopTest::Start()
{
    pid = StartBinary("corvale");
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
