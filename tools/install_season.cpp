// corvale-install: the installer step. Records the install directory in
// the registry value `Install` and copies the bundled season files into it,
// never over files already there (a download must survive a reinstall).
// Each file arrives whole: written to a new temporary file beside its
// place, flushed to the disk, then moved into place by one rename that
// never replaces a file, so that two installers at once, or a program
// starting meanwhile, never see half a file and never fail on each other.
// Without SEASON_DIR it takes the season installed with the program, found
// from its own binary, so that an installed copy needs no arguments.

#include "platform/platform.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kSeasonFiles[] = {"Standings.dat", "Schedule.dat", "Season.dat", "Ravelock.html"};
// The longest install folder the program can use: its file paths hold 259
// characters, and the longest name it appends is "/Standings.dat".
constexpr size_t kLongestInstallPath = 245;
constexpr size_t kPathChars = 260;    // a path the platform's file calls take, the NUL included
constexpr DWORD kReasonChars = 256;   // the system's text for an error

fs::path DefaultInstallDirectory()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data)
        return fs::path(data) / "corvale";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/corvale";
}

// The season installed beside this binary (CORVALE_BUNDLED_SEASON is
// relative to the binary's directory), or "" when /proc/self/exe is unreadable.
fs::path BundledSeasonDirectory()
{
    char path[4096] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return fs::path();
    return (fs::path(std::string(path, static_cast<size_t>(length))).parent_path() / CORVALE_BUNDLED_SEASON)
        .lexically_normal();
}

// The bytes of a file; false, with errno set, when it cannot be read.
bool ReadWholeFile(const fs::path& path, std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    const bool read = !std::ferror(file);
    std::fclose(file);
    if (!read && errno == 0)
        errno = EIO;
    return read;
}

// The system's text for an error code of the platform's file calls.
std::string ReasonOf(DWORD code)
{
    WCHAR reason[kReasonChars] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, reason,
                        kReasonChars, nullptr))
        return "error " + std::to_string(code);
    return platform::ToUtf8(reason);
}

// Puts `bytes` at `to` through a new temporary file beside it (of a name no
// other writer uses), written, flushed to the disk and moved into place by
// one rename that never replaces a file. A file already at `to` (another
// installer's, or a download) stays, and counts as success. The temporary
// file never outlives a failure. ERROR_SUCCESS, or the system's error code.
DWORD PlaceFile(const std::string& bytes, const fs::path& to)
{
    const std::wstring folder = platform::FromUtf8(to.parent_path().string());
    const std::wstring target = platform::FromUtf8(to.string());
    const std::wstring prefix = platform::FromUtf8(to.filename().string()).substr(0, 3);
    WCHAR temporary[kPathChars] = {};
    if (!GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, temporary))
        return GetLastError();
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    bool synced = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && FlushFileBuffers(file);
    DWORD code = synced ? ERROR_SUCCESS : GetLastError();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && synced) {
        synced = false;
        code = GetLastError();
    }
    bool moved = synced && MoveFileExW(temporary, target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (synced && !moved) {
        code = GetLastError();
        if (code == ERROR_ALREADY_EXISTS)
            code = ERROR_SUCCESS;  // put there meanwhile: it stays
    }
    if (!moved)
        DeleteFileW(temporary);
    return code;
}

bool WriteInstallValue(const fs::path& directory)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring text = platform::FromUtf8(directory.string());
    LONG status = RegSetValueExW(key, L"Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    LONG closed = RegCloseKey(key);  // the value reaches the disk here
    return status == ERROR_SUCCESS && closed == ERROR_SUCCESS;
}

const char kUsage[] = "usage: corvale-install [SEASON_DIR [INSTALL_DIR]]\n"
                      "Copies the season files of SEASON_DIR (default: the season installed with\n"
                      "the program) into INSTALL_DIR (default $XDG_DATA_HOME/corvale, else\n"
                      "~/.local/share/corvale) unless they are already there, and records\n"
                      "INSTALL_DIR as the registry value Install.\n";

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 3 || (argc > 1 && std::string(argv[1]).starts_with("-"))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    fs::path source = argc > 1 ? fs::path(argv[1]) : BundledSeasonDirectory();
    if (!fs::is_directory(source)) {
        std::fprintf(stderr, "corvale-install: no season folder %s (give SEASON_DIR)\n", source.c_str());
        return 1;
    }
    fs::path target = fs::absolute(argc == 3 ? fs::path(argv[2]) : DefaultInstallDirectory()).lexically_normal();
    std::string directory = target.string();
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    if (size_t length = platform::FromUtf8(directory).size(); length > kLongestInstallPath) {
        std::fprintf(stderr, "corvale-install: the install folder's path is %zu characters long; Corvale can use at most %zu\n",
                     length, kLongestInstallPath);
        return 1;
    }
    std::error_code error;
    fs::create_directories(target, error);
    if (error) {
        std::fprintf(stderr, "corvale-install: cannot create %s: %s\n", target.c_str(), error.message().c_str());
        return 1;
    }
    for (const char* name : kSeasonFiles) {
        fs::path from = source / name;
        fs::path to = target / name;
        if (!fs::exists(from) || fs::exists(to))
            continue;
        std::string bytes;
        errno = 0;
        if (!ReadWholeFile(from, bytes)) {
            std::fprintf(stderr, "corvale-install: cannot copy %s: %s\n", from.c_str(), std::strerror(errno));
            return 1;
        }
        if (DWORD code = PlaceFile(bytes, to); code != ERROR_SUCCESS) {
            std::fprintf(stderr, "corvale-install: cannot copy %s: %s\n", from.c_str(), ReasonOf(code).c_str());
            return 1;
        }
    }
    if (!WriteInstallValue(directory)) {
        std::fprintf(stderr, "corvale-install: cannot write the registry\n");
        return 1;
    }
    std::printf("Corvale installed in %s\n", directory.c_str());
    return 0;
}
