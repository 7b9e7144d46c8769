// A real X11 desktop for a test: Xvfb on a display of its own with the
// openbox window manager, as a person's desktop places and decorates
// windows. Programs the test starts afterwards open their windows there.
#pragma once

#include "tests/support/temp_home.h"

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

// The real program on its own test desktop, the bundled season installed:
// started once the desktop is up (and BeforeStart has run) with its loading
// stages over; closed after the test. Skips when the desktop cannot start.
class DesktopTest : public TempHomeTest {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void BeforeStart() {}
    void Start();

    Desktop desktop;
    pid_t pid = 0;  // the program
};
