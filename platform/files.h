// What the file handles share with the rest of the platform: whole writes
// and folder syncs (the registry's too), each answering with a system error
// number, and the Win32 code of a system error number on a path.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <string>

namespace platform {

// Win32 codes the platform's file calls give besides those of platform.h.
constexpr DWORD kErrorTooManyOpenFiles = 4;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorFilenameTooLong = 206;

// Writes all of the bytes through interruptions and partial writes; 0, or
// the system error number, with the bytes written in *done.
int WriteAllBytes(int fd, const char* data, size_t bytes, size_t* done);

// Syncs a folder, so that a rename in it reaches the disk; 0 or the system
// error number.
int SyncFolder(const std::string& folder);

// The Win32 code for a failed file operation on `path`: a missing file in
// an existing folder is "file not found", a missing folder "path not found".
DWORD ErrorCodeOf(int error, const std::string& path);

}  // namespace platform
