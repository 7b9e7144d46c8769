// What the file handles share with the rest of the platform: whole writes
// and folder syncs, the registry's whole files and lock, each answering
// with a system error number.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <functional>
#include <string>

struct stat;

namespace platform {

// Writes all of the bytes through interruptions and partial writes; 0, or
// the system error number, with the bytes written in *done.
int WriteAllBytes(int fd, const std::string& path, const char* data, size_t bytes, size_t* done);

// Writes all of `bytes` and syncs them to the disk; 0 or the system error
// number.
int WriteAndSync(int fd, const std::string& path, const std::string& bytes);

// Syncs a folder, so that a rename in it reaches the disk; 0 or the system
// error number.
int SyncFolder(const std::string& folder);

// Opens the lock file at `path`, making it when missing, and takes the
// flock `operation` on it; -1 with errno set. A link or anything but a
// regular file at its name is removed and made anew, never followed or
// waited on.
int TakeLockFile(const std::string& path, int operation);

// What tells one version of a file from another without reading it.
struct FileStamp {
    unsigned long long device = 0, inode = 0;  // which file
    long long size = -1;                       // bytes
    long long modified = 0, changed = 0;       // mtime and ctime, ns
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const struct stat& info);
// The stamp of the file `path` names now (links followed); false when none.
bool StampOfPath(const std::string& path, FileStamp& stamp);

// Reads the regular file at `path` whole, never waiting on a FIFO or a
// device: 0, the system error number (ENOENT when missing), EINVAL for
// anything but a regular file, EFBIG above `limit` bytes. `stamp` gets the
// file's stamp when given.
int ReadRegularFile(const std::string& path, size_t limit, std::string& bytes, FileStamp* stamp);

// Puts `bytes` in place of the file at `path` in one rename: written to a
// new temporary file beside it (PPPXXXX.TMP with `prefix`, held until
// moved, so the next writer removes one a killed writer left), synced,
// renamed over the old, then the folder synced; `beforeMove` runs just
// before the rename and may stop it with a system error number. On failure
// the old file stays and the temporary file is removed. 0 or the system
// error number.
int ReplaceFileWhole(const std::string& path, const std::string& prefix, const std::string& bytes,
                     const std::function<int()>& beforeMove);

}  // namespace platform
