// Where the window station lives: a private folder of the user's, made
// 0700; a folder of that name that is someone else's or a link is never
// used, and the station moves under the user's home instead.

#include "platform/winstation.h"

#include "platform/os.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool MakePrivateDirectory(const std::string& path)
{
    if (path.empty() || (os::MakeFolder(path, 0700) != 0 && errno != EEXIST))
        return false;
    struct stat info{};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    if ((info.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0)
        return false;
    return true;
}

// A folder under the user's home that only the user can have made:
// ~/.cache/corvale/station-HOST ($XDG_CACHE_HOME when set), the host named
// in case the home is shared between machines. Empty without a home.
std::string HomeStationDirectory()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = cache && *cache == '/' ? cache : home && *home == '/' ? std::string(home) + "/.cache" : "";
    if (base.empty())
        return "";
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::error_code ignored;
    std::filesystem::create_directories(base + "/corvale", ignored);
    return base + "/corvale/station-" + host;
}

}  // namespace

std::string StationDirectory(std::string* refused)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path;
    struct stat info{};
    if (runtime && *runtime && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
        path = std::string(runtime) + "/corvale";
    else
        path = "/tmp/corvale-" + std::to_string(geteuid());
    if (MakePrivateDirectory(path))
        return path;
    // Someone else's folder, or a link, at that name: never used.
    if (refused)
        *refused = path;
    std::string fallback = HomeStationDirectory();
    return MakePrivateDirectory(fallback) ? fallback : std::string();
}

}  // namespace platform
