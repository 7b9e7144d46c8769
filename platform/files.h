// POSIX file writing shared by the registry and the file handles: whole
// writes and folder syncs, each answering with a system error number.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Writes all of the bytes through interruptions and partial writes; 0, or
// the system error number, with the bytes written in *done.
int WriteAllBytes(int fd, const char* data, size_t bytes, size_t* done);

// Syncs a folder, so that a rename in it reaches the disk; 0 or the system
// error number.
int SyncFolder(const std::string& folder);

}  // namespace platform
