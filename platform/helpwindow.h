// The help viewer's window: an HTML file shown at an anchor in a top-level
// window of kind "help" on the window station. Used by the viewer stand-in.
#pragma once

#include <string>

namespace platform {

// Shows `htmlPath` scrolled to `anchor` in a window captioned `title` until
// it is closed or destroyed (another process's DestroyWindow included).
// A missing file shows a short notice instead. The process's window station
// closes with the window.
int RunHelpWindow(const std::wstring& title, const std::string& htmlPath, const std::string& anchor);

}  // namespace platform
