// The platform's one door to the operating system's files, locks and
// sockets. Every call below asks the test seam first, under the name tests
// know it by, and then makes the system call; a refused call fails as the
// system would, with errno set, and each answers as its system call does
// (-1 and errno on failure). `path` names what the call is on, for the seam
// and for a watching test; calls on a descriptor take it too.
//
// Divisions: files, folders and locks, sockets.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

struct sockaddr;

namespace platform::os {

// Files

int Open(const std::string& path, int flags, mode_t mode = 0);               // "open"
int OpenAt(int folder, const std::string& name, int flags, mode_t mode = 0); // "open"
// A file that must not exist yet: O_CREAT | O_EXCL added.
int Create(const std::string& path, int flags, mode_t mode);                 // "create"
// A new file under `path`, read-write and already flock'ed exclusively: an
// unnamed file given its name in one step where the file system can, else
// created exclusively and locked at once. EEXIST when the name is taken.
int CreateLocked(const std::string& path, mode_t mode);                      // "create"
ssize_t Read(int fd, const std::string& path, void* buffer, size_t bytes);   // "read"
ssize_t ReadAt(int fd, const std::string& path, void* buffer, size_t bytes, off_t at);  // "read"
// Writes what it can; a refused write writes half of the bytes first, as
// a disk that fills up part of the way through.
ssize_t Write(int fd, const std::string& path, const void* data, size_t bytes);          // "write"
ssize_t WriteAt(int fd, const std::string& path, const void* data, size_t bytes, off_t at);  // "write"
int Truncate(int fd, const std::string& path);                               // "truncate"
int Sync(int fd, const std::string& path);                                   // "flush"
int Close(int fd, const std::string& path);                                  // "close"
// renameat2 with its flags (RENAME_NOREPLACE); the seam sees the target.
int Rename(const std::string& from, const std::string& to, unsigned flags = 0);  // "move"
int Link(const std::string& from, const std::string& to);                    // "link"
int Unlink(const std::string& path);                                         // "delete"
int UnlinkAt(int folder, const std::string& name, const std::string& path);  // "delete"

// Folders and locks

int MakeFolder(const std::string& path, mode_t mode);                        // "mkdir"
int SyncFolder(const std::string& folder);                                   // "sync folder"
int Lock(int fd, const std::string& path, int operation);                    // "lock" (flock)
int Pipe(int fds[2], int flags, const std::string& name);                   // "pipe" (pipe2)

// Sockets

int Socket(int type, const std::string& path);                               // "socket" (AF_UNIX)
int Connect(int fd, const std::string& path, const sockaddr* address, size_t length);  // "connect"
int Listen(int fd, const std::string& path, const sockaddr* address, size_t length, int backlog);  // "listen" (bind too)
int Accept(int fd, const std::string& path, int flags);                      // "accept"
ssize_t Send(int fd, const std::string& path, const void* data, size_t bytes);   // "send"
ssize_t Receive(int fd, const std::string& path, void* buffer, size_t bytes);    // "receive"

}  // namespace platform::os
