// Running the real binaries in a test's home and watching them through the
// window station, as a person with the window inspector would.
#pragma once

#include <QJsonArray>
#include <QJsonObject>

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts build/<name> with `args`; the child inherits the test's home. Its
// standard error goes to `errorFile` when one is named. `gate`, when not
// -1, is the read end of a pipe: the child waits for a byte from it before
// it starts, so that several start at the same instant once the test
// writes a byte for each.
pid_t StartBinary(const std::string& name, const std::vector<std::string>& args = {}, const std::string& errorFile = "",
                  int gate = -1);

// Checks `done` every 50 ms until it holds or `timeoutMs` passes; returns
// `done()`. (Inside the test's own event loop, WaitUntil of app_harness.h
// keeps the loop running meanwhile.)
bool PollUntil(const std::function<bool()>& done, int timeoutMs);

// Waits for the process to end; its exit status, or -1 when it is still
// running after `timeoutMs` (it is then killed).
int WaitForExit(pid_t pid, int timeoutMs);

// True while the process has not ended.
bool IsRunning(pid_t pid);

struct CommandResult {
    int status;          // exit status, -1 when the command did not end normally
    std::string output;  // what it printed on standard output
};
using WinspyResult = CommandResult;

// A word quoted for sh.
std::string ShellQuote(const std::string& word);

// Runs a sh command line and collects its standard output.
CommandResult RunShell(const std::string& commandLine);

// Runs build/winspy with `args`.
WinspyResult Winspy(const std::vector<std::string>& args);

// Waits until `winspy list` shows a window with this caption (and kind,
// when given); false on time-out.
bool WaitForWindow(const std::string& caption, const std::string& kind, int timeoutMs);

// Waits until `winspy list` shows no window with this caption; false on time-out.
bool WaitForNoWindow(const std::string& caption, int timeoutMs);

// Number of windows with this caption (and kind, when given) that `winspy list` shows.
int CountWindows(const std::string& caption, const std::string& kind = "");

// The processes of the windows with this caption that `winspy list` shows.
std::vector<pid_t> WindowPids(const std::string& caption);

// `winspy dump` of a window (picked by kind, when given), parsed; empty when there is none.
QJsonObject DumpWindow(const std::string& caption, const std::string& kind = "");

// The main window once its loading stages are over (the wait cursor goes last).
QJsonObject DumpWhenLoaded();

// A control of a dump by its ID, and the rows of a list view control.
QJsonObject ControlOf(const QJsonObject& window, int id);
QJsonArray RowsOf(const QJsonObject& window, int id);

// Sets the registry value Install (through the platform's registry).
void SetInstallDirectory(const std::wstring& directory);

// Stores the settings a start reads: the offset text, the favourite team
// and, when given, the time zone index.
void StoreSettings(const std::wstring& offset, int team, std::optional<int> zone = std::nullopt);
