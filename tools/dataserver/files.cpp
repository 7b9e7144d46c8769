// The data server's files: the two paths it serves and their names in the
// folder, and opening a served name only when it is a regular file there:
// never a link (which could lead out of the folder), a FIFO (whose open or
// read would block), a folder, a socket or a device.
//
// Divisions: the served names, opening.

#include "tools/dataserver/files.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dataserver {

// The served names

namespace {

const std::string_view kStandingsPath = "/sports/football/2003/Standings.dat";
const std::string_view kSchedulePath = "/sports/football/2003/Schedule.dat";

}  // namespace

const char* ServedFileName(std::string_view path)
{
    return path == kStandingsPath ? "Standings.dat" : path == kSchedulePath ? "Schedule.dat" : nullptr;
}

// Opening

namespace {

// Opens the regular file `name` directly inside the folder `root`; -1 for
// anything else. The name may be given to something else between the two
// looks, so the file opened must be the one looked at.
int OpenRegularFile(const std::string& root, const char* name, off_t* size)
{
    int folder = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return -1;
    struct stat named {}, opened {};
    int file = -1;
    if (fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode)) {
        file = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (file >= 0 && (fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev ||
                          opened.st_ino != named.st_ino)) {
            close(file);
            file = -1;
        }
    }
    close(folder);
    *size = opened.st_size;
    return file;
}

}  // namespace

int OpenServedFile(const std::string& root, std::string_view path, off_t* size)
{
    const char* name = ServedFileName(path);
    return name ? OpenRegularFile(root, name, size) : -1;
}

void WarnIfUnreachable(const std::string& root)
{
    if (access(root.c_str(), X_OK) != 0)
        std::fprintf(stderr, "corvale-dataserver: warning: user %u cannot open %s; every request will be 404\n",
                     static_cast<unsigned>(getuid()), root.c_str());
}

}  // namespace dataserver
