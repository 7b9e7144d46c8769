// A whole session by keyboard alone: the real program driven only with
// `winspy key` and checked at each step with `winspy dump`, as a person
// without a mouse would use it.

#include "platform/platform.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <functional>
#include <thread>

namespace {

class KeyboardSession : public TempHomeTest {
protected:
    void TearDown() override
    {
        if (pid > 0 && IsRunning(pid)) {
            Winspy({"close", "--kind", "dialog", "Corvale"});
            WaitForExit(pid, 5000);
        }
        TempHomeTest::TearDown();
    }
    // Types keys into a window (the main window, not a message box, for "Corvale").
    static void Keys(const std::string& caption, const std::string& keys)
    {
        std::vector<std::string> args = {"key", caption, keys};
        if (caption == "Corvale")
            args.insert(args.begin() + 1, {"--kind", "dialog"});
        ASSERT_EQ(Winspy(args).status, 0) << keys;
    }
    // Dumps the window until `holds` is true of it (the keys are handled
    // as the program next runs); the last dump either way.
    static QJsonObject DumpUntil(const std::string& caption, const std::function<bool(const QJsonObject&)>& holds)
    {
        QJsonObject window;
        PollUntil([&] {
            window = DumpWindow(caption, caption == "Corvale" ? "dialog" : "");
            return !window.isEmpty() && holds(window);
        }, 5000);
        return window;
    }
    static int Selection(const QJsonObject& window, int id) { return ControlOf(window, id)["selection"].toInt(); }
    static bool Focused(const QJsonObject& window, int id) { return ControlOf(window, id)["focused"].toBool(); }

    pid_t pid = 0;
};

TEST_F(KeyboardSession, EverythingWithoutAMouse)
{
    const std::string installDir = home + "/install";
    ASSERT_EQ(WaitForExit(StartBinary("corvale-install", {SourcePath("season/2003"), installDir}), 10000), 0);
    pid = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    QJsonObject window = DumpWhenLoaded();
    EXPECT_TRUE(Focused(window, 1005));  // the standings list takes the focus

    // Pages, both ways.
    Keys("Corvale", "Ctrl+Tab");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Selection(w, 1001) == 1; });
    EXPECT_TRUE(ControlOf(window, 1006)["visible"].toBool());
    Keys("Corvale", "Ctrl+PgDown, Ctrl+PgDown");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Selection(w, 1001) == 3; });
    EXPECT_TRUE(ControlOf(window, 1008)["visible"].toBool());
    Keys("Corvale", "Ctrl+Shift+Tab, Ctrl+PgUp");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Selection(w, 1001) == 1; });
    EXPECT_EQ(Selection(window, 1001), 1);
    EXPECT_TRUE(Focused(window, 1006));  // the page's first control takes the focus

    // On the Team page, Tab reaches the picker and an arrow picks the next team.
    Keys("Corvale", "Tab");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Focused(w, 1022); });
    ASSERT_TRUE(Focused(window, 1022));
    Keys("Corvale", "Down");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Selection(w, 1022) == 1; });
    EXPECT_EQ(ControlOf(window, 1006)["rows"].toArray().at(0).toArray().at(1).toString().toStdString(), "27 @ Dallas 13");
    EXPECT_EQ(ControlOf(window, 1006)["rows"].toArray().at(0).toArray().at(2).toString().toStdString(), "4:15p");

    // Options: Tab to the time zone picker, open it, seven up to Pacific, Save.
    Keys("Corvale", "Alt+T, Return");
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    Keys("RVL Options", "Tab, Tab, Tab");
    QJsonObject options = DumpUntil("RVL Options", [](const QJsonObject& w) { return Focused(w, 1023); });
    ASSERT_TRUE(Focused(options, 1023));
    Keys("RVL Options", "Alt+Down, Up, Up, Up, Up, Up, Up, Up, Return");
    options = DumpUntil("RVL Options", [](const QJsonObject& w) { return Selection(w, 1023) == 4; });
    EXPECT_EQ(Selection(options, 1023), 4);
    Keys("RVL Options", "Tab, Return");  // on to Save
    ASSERT_TRUE(WaitForNoWindow("RVL Options", 5000));
    EXPECT_NE(Registry().find("\"OffSet\"=\"-3\""), std::string::npos) << Registry();
    // The team picked again by the keyboard shows Pacific times.
    Keys("Corvale", "Up");
    window = DumpUntil("Corvale", [](const QJsonObject& w) { return Selection(w, 1022) == 0; });
    EXPECT_EQ(ControlOf(window, 1006)["rows"].toArray().at(0).toArray().at(2).toString().toStdString(), "10:00a");

    // Download: its result, a message box or fresh pages, read and closed by the keyboard.
    Keys("Corvale", "Alt+F, Return");
    ASSERT_TRUE(WaitForWindow("RVL Download", "dialog", 5000));
    PollUntil([] { return CountWindows("RVL Download") == 0 || CountWindows("Corvale", "messagebox") > 0; }, 15000);
    if (CountWindows("Corvale", "messagebox") > 0) {
        QJsonObject message = DumpWindow("Corvale", "messagebox");
        EXPECT_FALSE(message["text"].toString().isEmpty());
        ASSERT_EQ(Winspy({"key", "--kind", "messagebox", "Corvale", "Return"}).status, 0);
    }
    EXPECT_TRUE(WaitForNoWindow("RVL Download", 20000));
    EXPECT_EQ(CountWindows("Corvale", "messagebox"), 0);

    // F1 opens the help; Escape closes it.
    Keys("Corvale", "F1");
    ASSERT_TRUE(WaitForWindow("Help", "help", 10000));
    Keys("Help", "Escape");
    EXPECT_TRUE(WaitForNoWindow("Help", 5000));

    // About and Calendar from their menus, each closed by Escape.
    Keys("Corvale", "Alt+H, Down, Return");
    ASSERT_TRUE(WaitForWindow("About Corvale", "dialog", 5000));
    Keys("About Corvale", "Escape");
    EXPECT_TRUE(WaitForNoWindow("About Corvale", 5000));
    Keys("Corvale", "Alt+T, Down, Return");
    ASSERT_TRUE(WaitForWindow("RVL Calendar", "dialog", 5000));
    Keys("RVL Calendar", "Escape");
    QJsonObject calendar = DumpUntil("RVL Calendar", [](const QJsonObject& w) { return !w["visible"].toBool(); });
    EXPECT_FALSE(calendar["visible"].toBool());  // hidden, as its Cancel does

    // Escape on the main window ends the program and every window with it.
    Keys("Corvale", "Escape");
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
    EXPECT_EQ(Winspy({"list"}).output, "");
}

// Keys that do not parse are bad arguments; a window that is not there is not found.
TEST_F(KeyboardSession, WinspyKeyExitStatuses)
{
    EXPECT_EQ(Winspy({"key", "Corvale", "Ctrl+Nonsense"}).status, 2);
    EXPECT_EQ(Winspy({"key", "Corvale"}).status, 2);
    EXPECT_EQ(Winspy({"key", "No Such Window", "Return"}).status, 1);
}

}  // namespace
