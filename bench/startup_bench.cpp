// Start-up benchmark: the real program from its start to the end of its
// third loading stage, against a bare Qt dialog program from start to exit,
// and the peak memory of each. Both run in turn, offscreen, in a temporary
// home with the 2003 season installed; medians are printed against the
// targets.
//
// usage: startup_bench [RUNS]   (each program RUNS times, default 10)

#include "platform/winstation.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kTimersMs = 300;      // the three 100 ms loading stages
constexpr double kTimeFactor = 1.3;    // start to ready within bare x 1.3 + the timers
constexpr double kMemoryFactor = 1.5;  // peak memory within bare x 1.5
constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr int kReadyTimeoutMs = 10000;
constexpr int kExitTimeoutMs = 5000;

const std::string kBuildDir = CORVALE_BINARY_DIR;
const std::string kSourceDir = CORVALE_SOURCE_DIR;

struct Sample {
    double ms = 0;         // start to ready (the program) or to exit (bare)
    double visibleMs = 0;  // the program: start to its main window shown
    long rssKiB = 0;       // peak resident set size
};

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string g_logPath;  // where the children's output goes

// Starts a binary with SIGCHLD unblocked again in the child and its output
// appended to the log; -1 on failure.
pid_t Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int log = open(g_logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Waits for the child to end, woken by SIGCHLD (blocked in this process so
// that it stays pending); kills it after `timeoutMs`. Fills its resource
// use; returns its exit status, or -1 when it was killed or crashed.
int Reap(pid_t pid, int timeoutMs, rusage& usage)
{
    Clock::time_point start = Clock::now();
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    int status = 0;
    for (;;) {
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0)
            return -1;
        double left = timeoutMs - MsSince(start);
        if (left <= 0) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return -1;
        }
        timespec wait = {static_cast<time_t>(left / 1000), static_cast<long>(static_cast<long>(left) % 1000 * 1000000)};
        sigtimedwait(&child, nullptr, &wait);
    }
}

// True once the child has ended; the child is not reaped.
bool HasEnded(pid_t pid)
{
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid;
}

// True once the process's window-station socket is listening. The station
// binds and listens under a private name and only then renames the socket
// to PID.sock, so the published name exists only once it accepts. (The
// kernel's table of Unix sockets keeps the name bound, the private one.)
// Asked while the socket is bound but not yet listening, the station client
// would take the refused connection for a copy that died and remove it.
bool StationListening(pid_t pid)
{
    const std::string path = platform::StationDirectory() + "/" + std::to_string(pid) + ".sock";
    std::error_code error;
    return fs::is_socket(path, error);
}

// Polls the program through the window station with the requests `winspy
// list` and `winspy dump` make, without starting a winspy each time: ready
// is the first dump of the visible main window with the wait cursor gone.
// Fills the times since `start` of the window shown and of ready; false
// when the program ended or never got ready. Each dump's round trip is
// added to `dumpMs`.
bool WaitForReady(pid_t pid, Clock::time_point start, Sample& sample, std::vector<double>& dumpMs)
{
    uint64_t id = 0;
    while (MsSince(start) < kReadyTimeoutMs && !HasEnded(pid)) {
        if (!id && StationListening(pid)) {
            for (const platform::StationWindow& window : platform::StationListAll(false))
                if (window.pid == pid && window.caption == L"Corvale" && window.kind == "dialog" && window.visible)
                    id = window.id;
            if (id)
                sample.visibleMs = MsSince(start);
        }
        if (id) {
            std::string reply;
            Clock::time_point asked = Clock::now();
            bool answered = platform::StationRequest(pid, "dump\t" + std::to_string(id), reply, 1000);
            sample.ms = MsSince(start);
            dumpMs.push_back(MsSince(asked));
            if (answered && reply.rfind("ok\n", 0) == 0 && reply.find("\"cursor\":\"none\"") != std::string::npos)
                return true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

// Runs a binary to its end; its exit status, -1 when it did not end in time.
int RunToEnd(const std::vector<std::string>& args, int timeoutMs)
{
    pid_t pid = Spawn(args);
    if (pid < 0)
        return -1;
    rusage usage = {};
    return Reap(pid, timeoutMs, usage);
}

// The program from its start to ready, then closed as a person would.
std::optional<Sample> RunProgram(std::vector<double>& dumpMs)
{
    Clock::time_point start = Clock::now();
    pid_t pid = Spawn({kBuildDir + "/corvale"});
    if (pid < 0)
        return std::nullopt;
    Sample sample;
    bool ready = WaitForReady(pid, start, sample, dumpMs);
    if (ready)
        RunToEnd({kBuildDir + "/winspy", "close", "Corvale"}, kExitTimeoutMs);
    rusage usage = {};
    int status = Reap(pid, ready ? kExitTimeoutMs : 0, usage);
    if (!ready || status != 0)
        return std::nullopt;
    sample.rssKiB = usage.ru_maxrss;
    return sample;
}

// The bare dialog program from its start to its exit.
std::optional<Sample> RunBare()
{
    Clock::time_point start = Clock::now();
    pid_t pid = Spawn({kBuildDir + "/bare_dialog"});
    if (pid < 0)
        return std::nullopt;
    rusage usage = {};
    int status = Reap(pid, kReadyTimeoutMs, usage);
    double ms = MsSince(start);
    if (status != 0)
        return std::nullopt;
    return Sample{ms, 0, usage.ru_maxrss};
}

// A private home, configuration, data and runtime directory, offscreen.
std::string MakeTempHome()
{
    std::string pattern = (fs::temp_directory_path() / "corvale-startup-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return {};
    const std::string home = pattern;
    for (const char* dir : {"/config", "/data", "/cache", "/runtime"})
        fs::create_directories(home + dir);
    fs::permissions(home + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return home;
}

template <typename Field>
double MedianOf(const std::vector<Sample>& samples, Field Sample::*field)
{
    std::vector<double> values;
    for (const Sample& sample : samples)
        values.push_back(static_cast<double>(sample.*field));
    return Median(values);
}

void PrintSamples(const char* label, const std::vector<Sample>& samples)
{
    std::printf("  %-28s", label);
    for (const Sample& sample : samples)
        std::printf(" %.1f", sample.ms);
    std::printf("\n");
}

const char* Verdict(bool met)
{
    return met ? "met" : "not met";
}

// Every run, the medians and ratios, and the two start-up targets.
void PrintReport(const std::vector<Sample>& program, const std::vector<Sample>& bare, const std::vector<double>& dumpMs)
{
    const double programMs = MedianOf(program, &Sample::ms);
    const double bareMs = MedianOf(bare, &Sample::ms);
    const double programMiB = MedianOf(program, &Sample::rssKiB) / 1024;
    const double bareMiB = MedianOf(bare, &Sample::rssKiB) / 1024;
    PrintSamples("corvale start to ready, ms", program);
    PrintSamples("bare start to exit, ms", bare);
    std::printf("  ready polled every %lld ms; median dump round trip %.2f ms (%zu dumps)\n\n",
                static_cast<long long>(kPollInterval.count()), Median(dumpMs), dumpMs.size());
    std::printf("  %-34s %9s %12s\n", "median", "time", "peak RSS");
    std::printf("  %-34s %6.1f ms\n", "corvale, start to main window shown", MedianOf(program, &Sample::visibleMs));
    std::printf("  %-34s %6.1f ms %8.1f MiB\n", "corvale, start to ready", programMs, programMiB);
    std::printf("  %-34s %6.1f ms %8.1f MiB\n", "bare dialog, start to exit", bareMs, bareMiB);
    std::printf("\n  time ratio corvale/bare: raw %.2f; with the %.0f ms of loading timers subtracted %.2f\n",
                programMs / bareMs, kTimersMs, (programMs - kTimersMs) / bareMs);
    std::printf("  memory ratio corvale/bare: %.2f\n\n", programMiB / bareMiB);
    const double allowedMs = kTimeFactor * bareMs + kTimersMs;
    std::printf("Target: start to ready within %.1fx bare + %.0f ms (%.1f ms allowed, %.1f ms measured): %s\n",
                kTimeFactor, kTimersMs, allowedMs, programMs, Verdict(programMs <= allowedMs));
    std::printf("Target: peak memory within %.1fx bare (%.1f MiB allowed, %.1f MiB measured): %s\n", kMemoryFactor,
                kMemoryFactor * bareMiB, programMiB, Verdict(programMiB <= kMemoryFactor * bareMiB));
}

// Installs the season, warms both programs up once, then alternates them.
int Measure(const std::string& home, int runs)
{
    if (RunToEnd({kBuildDir + "/corvale-install", kSourceDir + "/season/2003", home + "/install"}, kExitTimeoutMs) != 0) {
        std::fprintf(stderr, "startup_bench: corvale-install failed\n");
        return 1;
    }
    std::vector<double> dumpMs;
    bool programStarted = RunProgram(dumpMs).has_value();
    if (!programStarted || !RunBare()) {
        std::fprintf(stderr, "startup_bench: the warm-up run of %s failed\n", programStarted ? "bare_dialog" : "corvale");
        return 1;
    }
    dumpMs.clear();
    std::vector<Sample> program;
    std::vector<Sample> bare;
    for (int run = 0; run < runs; ++run) {
        std::optional<Sample> programSample = RunProgram(dumpMs);
        std::optional<Sample> bareSample = RunBare();
        if (!programSample || !bareSample) {
            std::fprintf(stderr, "startup_bench: run %d of %s failed\n", run + 1, programSample ? "bare_dialog" : "corvale");
            return 1;
        }
        program.push_back(*programSample);
        bare.push_back(*bareSample);
    }
    std::printf("Start-up, %d runs each after one warm-up run (offscreen, temporary home, season 2003)\n", runs);
    PrintReport(program, bare, dumpMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    if (argc > 2 || runs < 1 || runs > 1000) {
        std::fprintf(stderr, "usage: startup_bench [RUNS]   (1 to 1000, default 10)\n");
        return 2;
    }
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    sigprocmask(SIG_BLOCK, &child, nullptr);
    const std::string home = MakeTempHome();
    if (home.empty()) {
        std::fprintf(stderr, "startup_bench: no temporary home\n");
        return 1;
    }
    g_logPath = home + "/children.log";
    int status = Measure(home, runs);
    if (status != 0) {
        std::ifstream log(g_logPath);
        std::fprintf(stderr, "startup_bench: what the programs printed:\n%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return status;
}
