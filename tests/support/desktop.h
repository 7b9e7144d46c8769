// A real X11 desktop for a test: Xvfb on a display of its own with the
// openbox window manager, as a person's desktop places and decorates
// windows. Programs the test starts afterwards open their windows there.
#pragma once

#include <string>
#include <sys/types.h>

class Desktop {
public:
    // Starts Xvfb and openbox and sets DISPLAY (QT_QPA_PLATFORM becomes
    // xcb); `why` says what is missing when it cannot.
    bool Start(std::string& why);
    ~Desktop();

    // The visible window titled exactly `title`: its client area on the
    // desktop, [x, y, width, height]; false when there is none.
    bool Geometry(const std::string& title, int box[4]) const;

private:
    pid_t m_server = 0;   // Xvfb
    pid_t m_manager = 0;  // openbox
};
