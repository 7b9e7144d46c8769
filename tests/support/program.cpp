#include "tests/support/program.h"

#include "platform/platform.h"

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

pid_t StartBinary(const std::string& name, const std::vector<std::string>& args, const std::string& errorFile, int gate)
{
    std::string path = std::string(CORVALE_BINARY_DIR) + "/" + name;
    pid_t pid = fork();
    if (pid == 0) {
        if (!errorFile.empty()) {
            int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 2);
        }
        char opened;
        if (gate >= 0)
            (void)!read(gate, &opened, 1);  // one byte for each waiting child
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

namespace {

// The pauses between looks: 2 ms at first, doubling up to `longest`, so
// that what happens at once is seen at once and a long wait costs little.
class Backoff {
public:
    explicit Backoff(int longestMs) : m_longest(longestMs) {}
    void Pause()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_next));
        m_next = std::min(m_next * 2, m_longest);
    }

private:
    int m_longest;
    int m_next = 2;
};

}  // namespace

bool PollUntil(const std::function<bool()>& done, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Backoff backoff(50);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        backoff.Pause();
    }
    return true;
}

int WaitForExit(pid_t pid, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Backoff backoff(20);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        backoff.Pause();
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

bool IsRunning(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

std::string ShellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult RunShell(const std::string& commandLine)
{
    CommandResult result{-1, ""};
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

WinspyResult Winspy(const std::vector<std::string>& args)
{
    std::string command = std::string(CORVALE_BINARY_DIR) + "/winspy";
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    return RunShell(command);
}

// The lines of `winspy list` for windows with this caption (and kind, when given).
static std::vector<QJsonObject> Matching(const std::string& caption, const std::string& kind)
{
    WinspyResult list = Winspy({"list"});
    std::vector<QJsonObject> windows;
    for (const QByteArray& line : QByteArray::fromStdString(list.output).split('\n')) {
        QJsonObject window = QJsonDocument::fromJson(line).object();
        if (window["caption"].toString().toStdString() == caption &&
            (kind.empty() || window["kind"].toString().toStdString() == kind))
            windows.push_back(window);
    }
    return windows;
}

static int CountMatching(const std::string& caption, const std::string& kind)
{
    return static_cast<int>(Matching(caption, kind).size());
}

bool WaitForWindow(const std::string& caption, const std::string& kind, int timeoutMs)
{
    return PollUntil([&] { return CountMatching(caption, kind) > 0; }, timeoutMs);
}

bool WaitForNoWindow(const std::string& caption, int timeoutMs)
{
    return PollUntil([&] { return CountMatching(caption, "") == 0; }, timeoutMs);
}

int CountWindows(const std::string& caption, const std::string& kind)
{
    return CountMatching(caption, kind);
}

std::vector<pid_t> WindowPids(const std::string& caption)
{
    std::vector<pid_t> pids;
    for (const QJsonObject& window : Matching(caption, ""))
        pids.push_back(window["pid"].toInt());
    return pids;
}

QJsonObject DumpWindow(const std::string& caption, const std::string& kind)
{
    std::vector<std::string> args = {"dump"};
    if (!kind.empty())
        args.insert(args.end(), {"--kind", kind});
    args.push_back(caption);
    return QJsonDocument::fromJson(QByteArray::fromStdString(Winspy(args).output)).object();
}

QJsonObject DumpWhenLoaded()
{
    QJsonObject window;
    PollUntil([&] { return (window = DumpWindow("Corvale", "dialog"))["cursor"].toString() == "none"; }, 5000);
    return window;
}

QJsonObject ControlOf(const QJsonObject& window, int id)
{
    for (const QJsonValue& control : window["controls"].toArray())
        if (control["id"].toInt() == id)
            return control.toObject();
    return {};
}

QJsonArray RowsOf(const QJsonObject& window, int id)
{
    return ControlOf(window, id)["rows"].toArray();
}

void SetInstallDirectory(const std::wstring& directory)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(directory.c_str()),
                   static_cast<DWORD>((directory.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

void StoreSettings(const std::wstring& offset, int team, std::optional<int> zone)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, L"OffSet", 0, REG_SZ, reinterpret_cast<const BYTE*>(offset.c_str()),
                   static_cast<DWORD>((offset.size() + 1) * sizeof(WCHAR)));
    DWORD numbers[2] = {static_cast<DWORD>(team), static_cast<DWORD>(zone.value_or(0))};
    RegSetValueExW(key, L"Team", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&numbers[0]), 4);
    if (zone)
        RegSetValueExW(key, L"Index", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&numbers[1]), 4);
    RegCloseKey(key);
}
