// The real program on a real desktop: where its windows appear on X11
// (Xvfb with the openbox window manager, and without one), and that they
// take the keyboard; that it opens on Wayland (a headless Weston); and
// without Qt's Wayland plugin, that it opens through X11 and says what to
// install.

#include "tests/support/desktop.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QLibraryInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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
        if (std::string(window.caption) != "RVL Calendar") {  // the calendar is only hidden
            ASSERT_TRUE(WaitForNoWindow(window.caption, 5000));
        }
    }
}

// On a small screen, with openbox and without a window manager (as in a
// kiosk), the main window moved to stick out at the bottom right: each
// secondary window and the help window lie inside the screen (a dialog
// taller than it starts at its top; the help window, which scrolls, is
// made to fit) and take the keyboard: Escape, typed on the X server or by
// winspy, ends that window only, and the main window has the keyboard back.
struct Screen {
    const char* name;
    Desktop::Kind kind;
    int width, height;
    bool typed;  // Escape typed on the X server, else by winspy
};
void PrintTo(const Screen& screen, std::ostream* out) { *out << screen.name; }

class SmallScreen : public DesktopEndToEnd, public ::testing::WithParamInterface<Screen> {
protected:
    SmallScreen()
    {
        kind = GetParam().kind;
        screen = std::to_string(width) + "x" + std::to_string(height);
    }
    const int width = GetParam().width, height = GetParam().height;
};

// The X window with the keyboard focus: "ID NAME\n".
std::string KeyboardWindow()
{
    return RunShell("id=$(xdotool getwindowfocus) && echo \"$id $(xdotool getwindowname $id)\"").output;
}

TEST_P(SmallScreen, SecondaryWindowsLieInsideAndTakeTheKeyboard)
{
    const std::string main = "xdotool search --onlyvisible --name '^Corvale$'";
    const std::string mainWindow = RunShell(main + " | tr '\\n' ' '").output + "Corvale\n";
    RunShell(main + " windowmove " + std::to_string(width - 300) + " " + std::to_string(height - 300));
    int box[4] = {};
    ASSERT_TRUE(PollUntil([&] { return desktop.Frame("Corvale", box) && box[0] > width / 2; }, 5000));
    const std::tuple<const char*, const char*, const char*> windows[] = {
        {"40010", "RVL Options", "dialog"}, {"40011", "RVL Calendar", "dialog"},
        {"40015", "Help", "help"},          {"40017", "About Corvale", "dialog"}};
    for (const auto& [command, caption, kind] : windows) {
        SCOPED_TRACE(caption);
        auto inside = [&](int at, int size, int limit) {
            return at >= 0 && (at + size <= limit || (at == 0 && std::string(kind) == "dialog"));
        };
        ASSERT_EQ(Winspy({"command", "--kind", "dialog", "Corvale", command}).status, 0);
        EXPECT_TRUE(PollUntil(
            [&] { return desktop.Frame(caption, box) && inside(box[0], box[2], width) && inside(box[1], box[3], height); }, 5000))
            << box[0] << "," << box[1] << " " << box[2] << "x" << box[3];
        if (GetParam().typed) {
            const std::string owner = " " + std::string(caption) + "\n";
            EXPECT_TRUE(PollUntil([&] { return KeyboardWindow().find(owner) != std::string::npos; }, 5000))
                << "the keyboard is with " << KeyboardWindow();
            RunShell("xdotool key Escape");
        } else {
            Winspy({"key", "--kind", kind, caption, "Escape"});
        }
        // Gone; the calendar is only hidden.
        EXPECT_TRUE(PollUntil([&] { return !DumpWindow(caption, kind)["visible"].toBool(); }, 5000));
        ASSERT_TRUE(IsRunning(pid) && DumpWindow("Corvale", "dialog")["visible"].toBool());
    }
    EXPECT_TRUE(PollUntil([&] { return KeyboardWindow() == mainWindow; }, 5000)) << KeyboardWindow();
    RunShell("xdotool key Escape");
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
}

INSTANTIATE_TEST_SUITE_P(Desktops, SmallScreen,
                         ::testing::Values(Screen{"Openbox800x600", Desktop::Kind::X11, 800, 600, true},
                                           Screen{"BareX11At640x480", Desktop::Kind::BareX11, 640, 480, true},
                                           Screen{"BareX11At640x480ByWinspy", Desktop::Kind::BareX11, 640, 480, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// On a Wayland desktop with no X display the program opens there, through
// Qt's Wayland plugin.
class WaylandEndToEnd : public DesktopTest {
protected:
    WaylandEndToEnd() { kind = Desktop::Kind::Wayland; }
};

TEST_F(WaylandEndToEnd, TheMainWindowShows)
{
    const QJsonObject window = DumpWindow("Corvale");
    EXPECT_TRUE(window["visible"].toBool());
    EXPECT_EQ(window["cursor"].toString(), "none");
    EXPECT_EQ(RowsOf(window, 1005).size(), 40);  // the standings, loaded
    EXPECT_NE(ReadFile("/proc/" + std::to_string(pid) + "/maps").find("/libqwayland-"), std::string::npos);
    EXPECT_EQ(Winspy({"screenshot", "Corvale", home + "/corvale.png"}).status, 0);
    EXPECT_GT(fs::file_size(home + "/corvale.png"), 1000u);
}

// A mount namespace of the test's own: as root at once; otherwise inside a
// user namespace of its own (where the kernel lets users make one), the
// test's user and group mapped to themselves, so that files keep their owners.
bool OwnMountNamespace()
{
    if (unshare(CLONE_NEWNS) == 0)
        return true;
    const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    auto write = [](const char* path, const std::string& text) {
        std::ofstream out(path);
        return static_cast<bool>(out << text << std::flush);
    };
    return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && write("/proc/self/setgroups", "deny") &&
           write("/proc/self/uid_map", uid + " " + uid + " 1") && write("/proc/self/gid_map", gid + " " + gid + " 1");
}

// Qt's Wayland plugin out of sight of the programs the test starts: in a
// mount namespace of the test's own, Qt's folder of platform plugins is
// covered by a copy of it without the Wayland ones. False, saying why, when
// that cannot be done here.
bool CoverWaylandPlugin(const std::string& copy, std::string& why)
{
    const std::string platforms = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
    fs::create_directories(copy);
    for (const fs::directory_entry& plugin : fs::directory_iterator(platforms))
        if (plugin.path().filename().string().find("wayland") == std::string::npos)
            fs::copy_file(plugin.path(), copy / plugin.path().filename());
    if (OwnMountNamespace() && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount(copy.c_str(), platforms.c_str(), nullptr, MS_BIND, nullptr) == 0)
        return true;
    why = "covering " + platforms + " in a mount namespace of the test's own: " + std::strerror(errno);
    return false;
}

// A person's desktop that names a Wayland compositor beside the X display,
// Qt's Wayland plugin not installed.
class WithoutQtsWaylandPlugin : public DesktopEndToEnd {
protected:
    void BeforeStart() override
    {
        std::string why;
        ASSERT_TRUE(CoverWaylandPlugin(home + "/platforms", why)) << why;
        setenv("WAYLAND_DISPLAY", "wayland-corvale", 1);  // never asked: there is no plugin to ask with
        unsetenv("QT_QPA_PLATFORM");
        errorFile = home + "/errors.txt";
    }
};

// The program opens through X11 and says why in one line; without an X
// display it says in its one line what to install.
TEST_F(WithoutQtsWaylandPlugin, OpensThroughX11AndSaysWhatToInstall)
{
    const std::string missing = "Qt's Wayland plugin is missing; install qt6-wayland\n";
    EXPECT_EQ(Box("Corvale")[2], 480);
    EXPECT_EQ(ReadFile(errorFile), "corvale: opening through X11 (DISPLAY is " + std::string(std::getenv("DISPLAY")) +
                                       "), not Wayland (WAYLAND_DISPLAY is wayland-corvale): " + missing);
    CommandResult alone = RunShell("env -u DISPLAY timeout 30 " + ShellQuote(CORVALE_BINARY_DIR "/corvale") + " 2>&1 >/dev/null");
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(alone.output, "corvale: no display could be opened (DISPLAY is not set, WAYLAND_DISPLAY is wayland-corvale): " + missing);
}

}  // namespace
