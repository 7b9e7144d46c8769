// Running the real binaries in a test's home and watching them through the
// window station, as a person with the window inspector would.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Starts build/<name> with `args`; the child inherits the test's home.
pid_t StartBinary(const std::string& name, const std::vector<std::string>& args = {});

// Waits for the process to end; its exit status, or -1 when it is still
// running after `timeoutMs` (it is then killed).
int WaitForExit(pid_t pid, int timeoutMs);

// True while the process has not ended.
bool IsRunning(pid_t pid);

struct WinspyResult {
    int status;          // exit status of winspy
    std::string output;  // what it printed on standard output
};

// Runs build/winspy with `args`.
WinspyResult Winspy(const std::vector<std::string>& args);

// Waits until `winspy list` shows a window with this caption (and kind,
// when given); false on time-out.
bool WaitForWindow(const std::string& caption, const std::string& kind, int timeoutMs);

// Number of windows with this caption that `winspy list` shows.
int CountWindows(const std::string& caption);

// Sets the registry value Install (through the platform's registry).
void SetInstallDirectory(const std::wstring& directory);
