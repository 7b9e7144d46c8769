// The real program on a real desktop (Xvfb with the openbox window
// manager): where its windows appear.

#include "tests/support/desktop.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

class DesktopEndToEnd : public DesktopTest {
protected:
    // The window's client area on the desktop once it shows.
    std::vector<int> Box(const std::string& title)
    {
        int box[4] = {};
        PollUntil([&] { return desktop.Geometry(title, box); }, 5000);
        return {box[0], box[1], box[2], box[3]};
    }
};

// The secondary windows open where the handheld's screen is: over the main
// window, at the position and size of their dialogs on that screen (two
// desktop pixels to a handheld pixel), wherever the window manager put the
// main window.
TEST_F(DesktopEndToEnd, SecondaryWindowsOpenOverTheMainWindow)
{
    const struct {
        const char* command;
        const char* caption;
        int x, y, width, height;  // relative to the main window's client area
    } windows[] = {
        {"40010", "RVL Options", 0, 0, 480, 588},      // full screen, as the main window
        {"40011", "RVL Calendar", 92, 124, 294, 286},  // centred on the screen
        {"40017", "About Corvale", 30, 128, 420, 332},
    };
    const std::vector<int> main = Box("Corvale");
    ASSERT_EQ(main[2], 480);
    for (const auto& window : windows) {
        SCOPED_TRACE(window.caption);
        ASSERT_EQ(Winspy({"command", "Corvale", window.command}).status, 0);
        EXPECT_EQ(Box(window.caption), (std::vector<int>{main[0] + window.x, main[1] + window.y, window.width, window.height}));
        Winspy({"close", window.caption});
        if (std::string(window.caption) != "RVL Calendar")  // the calendar is only hidden
            ASSERT_TRUE(WaitForNoWindow(window.caption, 5000));
    }
}

}  // namespace
