// A real desktop for a test, on a display of its own: X11 (Xvfb with the
// openbox window manager, as a person's desktop places and decorates
// windows), a bare X server (Xvfb alone, as a kiosk or some remote
// desktops run programs) or Wayland (a headless Weston, no X display
// beside it).
// Programs the test starts afterwards open their windows there.
#pragma once

#include "tests/support/temp_home.h"

#include <string>
#include <sys/types.h>

class Desktop {
public:
    enum class Kind { X11, BareX11, Wayland };
    enum class Outcome {
        Up,           // the desktop answers
        ToolMissing,  // a program or plugin it needs is not installed
        Failed,       // everything is installed, yet it did not come up
    };

    // Starts the desktop. X11 and BareX11 set DISPLAY (QT_QPA_PLATFORM
    // becomes xcb, WAYLAND_DISPLAY is unset), their screen `screen`
    // ("WIDTHxHEIGHT") pixels; Wayland sets WAYLAND_DISPLAY and unsets
    // DISPLAY and QT_QPA_PLATFORM, so that a program picks its platform as
    // on a person's Wayland desktop. `why` names the missing tool, or says
    // what did not come up.
    Outcome Start(Kind kind, std::string& why, const std::string& screen = "1280x1024");
    ~Desktop();

    // The visible window titled exactly `title`: its client area on the
    // desktop, [x, y, width, height]; false when there is none (X11 only).
    bool Geometry(const std::string& title, int box[4]) const;
    // The same window with the frame the window manager puts around it.
    bool Frame(const std::string& title, int box[4]) const;

private:
    Outcome StartX11(bool manager, const std::string& screen, std::string& why);
    Outcome StartWayland(std::string& why);

    pid_t m_server = 0;   // Xvfb, or Weston
    pid_t m_manager = 0;  // openbox
};

// The real program on its own test desktop, the bundled season installed:
// started once the desktop is up (and BeforeStart has run) with its loading
// stages over; closed after the test. Skips only when a tool the desktop
// needs is not installed, saying which; fails when the desktop does not
// come up.
class DesktopTest : public TempHomeTest {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void BeforeStart() {}
    void Start();

    Desktop::Kind kind = Desktop::Kind::X11;  // the desktop SetUp starts
    std::string screen = "1280x1024";         // its X screen's size
    std::string errorFile;                    // the program's standard error goes here when set
    Desktop desktop;
    pid_t pid = 0;  // the program
};
