// corvale-install: the installer step. Records the install directory in
// the registry value `Install` and copies the bundled season files into it,
// never over files already there (a download must survive a reinstall).
// Without SEASON_DIR it takes the season installed with the program, found
// from its own binary, so that an installed copy needs no arguments.

#include "platform/platform.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kSeasonFiles[] = {"Standings.dat", "Schedule.dat", "Season.dat", "Ravelock.html"};
// The longest install folder the program can use: its file paths hold 259
// characters, and the longest name it appends is "/Standings.dat".
constexpr size_t kLongestInstallPath = 245;

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
        if (!fs::copy_file(from, to, error)) {
            std::fprintf(stderr, "corvale-install: cannot copy %s: %s\n", from.c_str(), error.message().c_str());
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
