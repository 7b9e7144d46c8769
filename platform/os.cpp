// The operating system's file, lock and socket calls, each behind the test
// seam: the only place in the platform that makes them. A routine asks the
// seam under its name ("fail the Nth call, once or from then on"), fails
// with the error a test chose, or forwards to the system.
//
// Divisions: the seam, files, folders and locks, sockets.

#include "platform/os.h"

#include "platform/seams.h"

#include <cerrno>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::os {

namespace {

// The seam

// 0 when the call may run; else errno is set to the error a test chose.
int Refused(const char* call, const std::string& path)
{
    int error = CallSeam(call, path);
    if (error)
        errno = error;
    return error;
}

}  // namespace

// Files

int Open(const std::string& path, int flags, mode_t mode)
{
    return Refused("open", path) ? -1 : open(path.c_str(), flags, mode);
}

int OpenAt(int folder, const std::string& name, int flags, mode_t mode)
{
    return Refused("open", name) ? -1 : openat(folder, name.c_str(), flags, mode);
}

int Create(const std::string& path, int flags, mode_t mode)
{
    return Refused("create", path) ? -1 : open(path.c_str(), flags | O_CREAT | O_EXCL, mode);
}

int CreateLocked(const std::string& path, mode_t mode)
{
    if (Refused("create", path))
        return -1;
    std::string folder = path.substr(0, path.rfind('/') + 1);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd >= 0) {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (flock(fd, LOCK_EX) == 0 && linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        int error = errno;
        close(fd);
        errno = error;
        if (error != ENOENT)  // ENOENT: /proc is not mounted
            return -1;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return -1;
    fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0)
        flock(fd, LOCK_EX);
    return fd;
}

ssize_t Read(int fd, const std::string& path, void* buffer, size_t bytes)
{
    return Refused("read", path) ? -1 : read(fd, buffer, bytes);
}

ssize_t ReadAt(int fd, const std::string& path, void* buffer, size_t bytes, off_t at)
{
    return Refused("read", path) ? -1 : pread(fd, buffer, bytes, at);
}

ssize_t Write(int fd, const std::string& path, const void* data, size_t bytes)
{
    int error = CallSeam("write", path);
    if (!error)
        return write(fd, data, bytes);
    if (bytes / 2 > 0 && write(fd, data, bytes / 2) < 0)
        return -1;
    errno = error;
    return -1;
}

ssize_t WriteAt(int fd, const std::string& path, const void* data, size_t bytes, off_t at)
{
    return Refused("write", path) ? -1 : pwrite(fd, data, bytes, at);
}

int Truncate(int fd, const std::string& path)
{
    return Refused("truncate", path) ? -1 : ftruncate(fd, 0);
}

int Sync(int fd, const std::string& path)
{
    return Refused("flush", path) ? -1 : fsync(fd);
}

// The descriptor is closed even when the seam refuses, as close does.
int Close(int fd, const std::string& path)
{
    int error = CallSeam("close", path);
    int closed = close(fd);
    if (error)
        errno = error;
    return error ? -1 : closed;
}

int Rename(const std::string& from, const std::string& to, unsigned flags)
{
    return Refused("move", to) ? -1 : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags);
}

int Link(const std::string& from, const std::string& to)
{
    return Refused("link", to) ? -1 : link(from.c_str(), to.c_str());
}

int Unlink(const std::string& path)
{
    return Refused("delete", path) ? -1 : unlink(path.c_str());
}

int UnlinkAt(int folder, const std::string& name, const std::string& path)
{
    return Refused("delete", path) ? -1 : unlinkat(folder, name.c_str(), 0);
}

// Folders and locks

int MakeFolder(const std::string& path, mode_t mode)
{
    return Refused("mkdir", path) ? -1 : mkdir(path.c_str(), mode);
}

int SyncFolder(const std::string& folder)
{
    if (Refused("sync folder", folder))
        return -1;
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int synced = fsync(fd);
    int error = errno;
    close(fd);
    errno = error;
    return synced;
}

int Lock(int fd, const std::string& path, int operation)
{
    return Refused("lock", path) ? -1 : flock(fd, operation);
}

int Pipe(int fds[2], int flags, const std::string& name)
{
    return Refused("pipe", name) ? -1 : pipe2(fds, flags);
}

// Sockets

int Socket(int type, const std::string& path)
{
    return Refused("socket", path) ? -1 : socket(AF_UNIX, type, 0);
}

int Connect(int fd, const std::string& path, const sockaddr* address, size_t length)
{
    return Refused("connect", path) ? -1 : connect(fd, address, static_cast<socklen_t>(length));
}

int Listen(int fd, const std::string& path, const sockaddr* address, size_t length, int backlog)
{
    if (Refused("listen", path))
        return -1;
    return bind(fd, address, static_cast<socklen_t>(length)) == 0 ? listen(fd, backlog) : -1;
}

int Accept(int fd, const std::string& path, int flags)
{
    return Refused("accept", path) ? -1 : accept4(fd, nullptr, nullptr, flags);
}

ssize_t Send(int fd, const std::string& path, const void* data, size_t bytes)
{
    return Refused("send", path) ? -1 : send(fd, data, bytes, MSG_NOSIGNAL);
}

ssize_t Receive(int fd, const std::string& path, void* buffer, size_t bytes)
{
    return Refused("receive", path) ? -1 : recv(fd, buffer, bytes, 0);
}

}  // namespace platform::os
