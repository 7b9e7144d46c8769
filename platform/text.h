// Text conversions shared by the platform services (not part of the
// program's API).
#pragma once

#include <string>

namespace platform {

// Wide text to UTF-8 and back; used for file paths and the registry file.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// One byte of 8-bit data widened through the Windows-1252 code page.
wchar_t WidenAnsiByte(unsigned char byte);

}  // namespace platform
