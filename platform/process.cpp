// Processes: CreateProcessW starts a program beside our own binary, the
// handheld's program names resolved to their stand-ins here.

#include "platform/platform.h"
#include "platform/text.h"

#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Handheld programs and the stand-ins that play them.
const struct {
    const wchar_t* handheldName;  // as the program names it
    const char* standIn;          // our binary beside the program's
} kStandIns[] = {
    {L"PegHelp.exe", "corvale-help"},
};

std::string OwnDirectory()
{
    char path[4096] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string full(path, static_cast<size_t>(length));
    return full.substr(0, full.rfind('/'));
}

std::string ResolveProgram(LPCWSTR name)
{
    for (const auto& entry : kStandIns)
        if (wcscasecmp(name, entry.handheldName) == 0)
            return OwnDirectory() + "/" + entry.standIn;
    return platform::ToUtf8(name);
}

}  // namespace

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, const void*, const void*, BOOL, DWORD, void*, LPCWSTR,
                    STARTUPINFOW*, PROCESS_INFORMATION*)
{
    if (!applicationName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string program = ResolveProgram(applicationName);
    if (access(program.c_str(), X_OK) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string argument = commandLine ? platform::ToUtf8(commandLine) : std::string();
    // Started twice removed, so that it never lingers as our child.
    pid_t child = fork();
    if (child < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            std::vector<char*> argv = {program.data()};
            if (!argument.empty())
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return TRUE;
}
