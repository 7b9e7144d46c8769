// What the C runtime pieces offer the rest of the platform (the runtime's
// calls and GetLastError are the platform API's): the Win32 code of a
// failed file operation, and the codes it gives besides platform.h's.
#pragma once

#include "platform/platform.h"

#include <string>

namespace platform {

constexpr DWORD kErrorTooManyOpenFiles = 4;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorFilenameTooLong = 206;

// The Win32 code for a failed file operation on `path`: a missing file in
// an existing folder is "file not found", a missing folder "path not found".
DWORD ErrorCodeOf(int error, const std::string& path);

}  // namespace platform
