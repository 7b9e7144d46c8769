// What a screen reader hears: the real program on a real desktop (Xvfb and
// openbox) with a D-Bus session, its windows read through the desktop's
// accessibility bus by pyatspi (tests/app/atspi_reader.py), as Orca reads
// them.

#include "tests/support/desktop.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <regex>

namespace {

const std::string kReader = SourcePath("tests/app/atspi_reader.py");

class AccessibilityEndToEnd : public DesktopTest {
protected:
    // A session bus of the test's own, before the program starts; the
    // accessibility bus starts on it when first asked.
    void BeforeStart() override
    {
        if (RunShell("/usr/bin/python3 -c 'import pyatspi' 2>/dev/null").status != 0)
            GTEST_SKIP() << "pyatspi is not installed (Debian's python3-pyatspi; scripts/setup.sh installs it)";
        if (RunShell("command -v dbus-launch >/dev/null").status != 0)
            GTEST_SKIP() << "dbus-launch is not installed (Debian's dbus-x11; scripts/setup.sh installs it)";
        std::string session = RunShell("dbus-launch --sh-syntax").output;
        std::smatch found;
        ASSERT_TRUE(std::regex_search(session, found, std::regex("DBUS_SESSION_BUS_ADDRESS='([^']*)'")));
        setenv("DBUS_SESSION_BUS_ADDRESS", found[1].str().c_str(), 1);
        ASSERT_TRUE(std::regex_search(session, found, std::regex("DBUS_SESSION_BUS_PID=([0-9]+)")));
        bus = std::stoi(found[1].str());
        setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    }
    void TearDown() override
    {
        DesktopTest::TearDown();
        if (bus > 0)
            kill(bus, SIGTERM);
        unsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    }
    // The last line the reader printed, parsed.
    static QJsonObject Read(const std::string& arguments)
    {
        std::string output = RunShell("timeout 60 /usr/bin/python3 " + ShellQuote(kReader) + " " + arguments + " 2>/dev/null").output;
        size_t start = output.rfind("\n{");
        return QJsonDocument::fromJson(QByteArray::fromStdString(output.substr(start == std::string::npos ? 0 : start + 1))).object();
    }
    // The window of this name as the reader sees it.
    static QJsonObject Window(const std::string& name)
    {
        QJsonObject found;
        PollUntil([&] {
            for (const QJsonValue& window : Read("tree " + ShellQuote(name))["windows"].toArray())
                if (window["name"].toString().toStdString() == name)
                    found = window.toObject();
            return !found.isEmpty();
        }, 10000);
        return found;
    }

    int bus = 0;  // the session bus's daemon
};

// The nodes of a window that a reader is shown, with their role and name.
std::vector<std::string> Shown(const QJsonObject& window, const std::string& role = "")
{
    std::vector<std::string> names;
    for (const QJsonValue& node : window["nodes"].toArray())
        if (node["showing"].toBool() && (role.empty() || node["role"].toString().toStdString() == role))
            names.push_back(node["name"].toString().toStdString());
    return names;
}

// What labels the window's shown nodes of this role: "name <- label" each.
std::vector<std::string> Labels(const QJsonObject& window, const std::string& role)
{
    std::vector<std::string> labels;
    for (const QJsonValue& node : window["nodes"].toArray()) {
        if (!node["showing"].toBool() || node["role"].toString().toStdString() != role)
            continue;
        std::string label;
        for (const QJsonValue& by : node["labelledBy"].toArray())
            label += by.toString().toStdString();
        labels.push_back(label);
    }
    return labels;
}

bool Has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What a reader would trip over in a window: a node not shown under a shown
// one (other than an entry scrolled out of its list), a name with padding,
// a node with no name (a blank cell is the table's content; a menu bar is
// known by its menus), a heading heard more than once.
void ExpectReadsWell(const QJsonObject& window)
{
    std::vector<std::string> heard = Shown(window);
    for (const QJsonValue& node : window["nodes"].toArray()) {
        std::string role = node["role"].toString().toStdString(), name = node["name"].toString().toStdString();
        EXPECT_FALSE(node["hidden"].toBool()) << "a hidden " << role << " '" << name << "'";
        EXPECT_EQ(node["name"].toString().trimmed().toStdString(), name) << "a padded " << role;
        EXPECT_TRUE(!name.empty() || role == "table cell" || role == "menu bar") << "an unnamed " << role;
        if (role == "heading") {
            EXPECT_EQ(std::count(heard.begin(), heard.end(), name), 1) << name << " heard again";
        }
    }
}

// Every window, each as a reader gets it: its role and name; every picker,
// list, table and button shown is named; and what each window is known by.
TEST_F(AccessibilityEndToEnd, EveryWindowIsRoledNamedAndLabelled)
{
    const struct {
        const char* what;
        std::vector<std::vector<std::string>> input;  // winspy's, before the window is read
        std::string caption, role;
        std::function<void(const QJsonObject&)> check;
    } rows[] = {
        {"main window, Standings page", {}, "Corvale", "frame", [](const QJsonObject& window) {
             EXPECT_LT(window["nodes"].toArray().size(), 1000);  // the hidden schedule table is not in the tree
             EXPECT_FALSE(Has(Shown(window, "table"), "Game"));
             EXPECT_EQ(Shown(window, "table"), std::vector<std::string>{"Team, W, L, T, Pct"});
             // A division's blank row is a heading named by its division; its
             // picture, and the picture of the list's headings, are not read.
             EXPECT_EQ(Shown(window, "heading"), (std::vector<std::string>{"AFC East", "AFC North", "AFC South"}));
             EXPECT_EQ(Shown(window, "image"), std::vector<std::string>{});
             EXPECT_EQ(Shown(window, "page tab"), (std::vector<std::string>{"Standings", "Team", "Week", "Year"}));
             EXPECT_EQ(Shown(window, "menu bar").size(), 1u);
             EXPECT_EQ(Shown(window, "menu item"), (std::vector<std::string>{"File", "Tools", "Help"}));
         }},
        {"main window, Team page", {{"select", "Corvale", "1001", "1"}}, "Corvale", "frame", [](const QJsonObject& window) {
             EXPECT_EQ(Labels(window, "combo box"), std::vector<std::string>{"Choose Team"});
             std::vector<std::string> labels = Shown(window, "label");
             for (const char* figure : {"W 4", "L 12", "T 0", "Pct .250", "Home 4", "Road 0"})
                 EXPECT_TRUE(Has(labels, figure)) << figure;
             EXPECT_EQ(Shown(window, "image"), std::vector<std::string>{"Choose Team"});  // not the figures' headings
         }},
        {"main window, Week page", {{"select", "Corvale", "1001", "2"}}, "Corvale", "frame", [](const QJsonObject& window) {
             EXPECT_EQ(Labels(window, "combo box"), std::vector<std::string>{"Choose Week"});
         }},
        {"Options", {{"command", "Corvale", "40010"}}, "RVL Options", "dialog", [](const QJsonObject& window) {
             EXPECT_EQ(Labels(window, "combo box"), (std::vector<std::string>{"Favorite Team", "Time Zone"}));
             EXPECT_EQ(Shown(window, "push button"), (std::vector<std::string>{"Save", "Cancel"}));
         }},
        {"Calendar", {{"command", "RVL Options", "1040"}, {"command", "Corvale", "40011"}}, "RVL Calendar", "dialog",
         [](const QJsonObject& window) {
             EXPECT_EQ(Shown(window, "push button"), (std::vector<std::string>{"Previous month", "Next month"}));
             EXPECT_EQ(Shown(window, "table column header"),
                       (std::vector<std::string>{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"}));
         }},
        {"About", {{"command", "RVL Calendar", "1"}, {"command", "Corvale", "40017"}}, "About Corvale", "dialog",
         [](const QJsonObject& window) {
             EXPECT_TRUE(Has(Shown(window, "label"), "Version 2.0.03"));
             EXPECT_EQ(Shown(window, "image"), std::vector<std::string>{"Corvale"});  // the icon says it no more
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const std::vector<std::string>& input : row.input)
            ASSERT_EQ(Winspy(input).status, 0);
        QJsonObject window = Window(row.caption);
        ASSERT_FALSE(window.isEmpty());
        EXPECT_EQ(window["role"].toString().toStdString(), row.role);
        for (const char* role : {"combo box", "list", "table", "push button", "page tab"})
            for (const std::string& name : Shown(window, role))
                EXPECT_FALSE(name.empty()) << "an unnamed " << role;
        if (row.caption != "RVL Calendar") {  // the calendar is Qt's own, week-number headers and all
            ExpectReadsWell(window);
        }
        row.check(window);
    }
    // A message box: the start-up's, with no install folder recorded.
    ASSERT_EQ(Winspy({"close", "Corvale"}).status, 0);
    ASSERT_EQ(WaitForExit(pid, 10000), 0);
    std::remove((configDir + "/corvale/registry.reg").c_str());
    pid = StartBinary("corvale");
    QJsonObject box = Window("Corvale");
    EXPECT_EQ(box["role"].toString().toStdString(), "dialog");
    EXPECT_TRUE(Has(Shown(box, "label"), "Corvale does not appear to be installed properly.\n\nPlease run install again."));
    EXPECT_EQ(Shown(box, "push button"), std::vector<std::string>{"OK"});
    ExpectReadsWell(box);
}

// Keys typed one row after the other, and what a reader hears: Down in a
// focused list makes the next row current (focus and selection events
// naming it); a page turned selects its tab; a picker's new entry is heard
// as its name and selection changing; F10 reaches the menu bar, Right its
// next menu, Escape leaves it for the control that had the focus.
TEST_F(AccessibilityEndToEnd, TypedKeysAreAnnounced)
{
    // An event of this type on this node; a state change, to the state being set.
    auto heardOn = [](const QJsonArray& events, const std::string& type, const std::string& role, const std::string& name) {
        return std::any_of(events.begin(), events.end(), [&](const QJsonValue& event) {
            return event["type"].toString().toStdString() == type && event["role"].toString().toStdString() == role &&
                   event["name"].toString().toStdString() == name &&
                   (type.rfind("object:state-changed", 0) != 0 || event["detail"].toInt() == 1);
        });
    };
    const struct {
        const char* keys;
        int focusEvents;                   // the reader listens until it has heard these
        std::vector<std::string> focused;  // what they name; empty: not checked
        std::function<void(const QJsonArray&)> check;
    } rows[] = {
        {"Tab, Down, Down", 2, {"New England", "Miami"}, nullptr},
        {"Ctrl+Tab, Tab, Down", 2, {}, [&](const QJsonArray& events) {
             EXPECT_TRUE(heardOn(events, "object:state-changed:selected", "page tab", "Team"));
             EXPECT_TRUE(heardOn(events, "object:selection-changed", "combo box", "Atlanta"));
             EXPECT_TRUE(heardOn(events, "object:property-change:accessible-name", "combo box", "Atlanta"));
         }},
        {"F10, Right, Escape", 3, {"Download", "Options", "Atlanta"}, [](const QJsonArray& events) {
             for (const QJsonValue& event : events) {
                 if (event["type"] == "focus:" && event["name"] == "Download") {
                     EXPECT_TRUE(event["ancestors"].toArray().contains("menu bar"));
                     EXPECT_TRUE(event["enabled"].toBool());  // heard as a command that can be chosen
                 }
             }
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        QJsonObject heard = Read("events " + std::to_string(row.focusEvents) + " " + ShellQuote(CORVALE_BINARY_DIR "/winspy") +
                                 " key Corvale " + ShellQuote(row.keys));
        ASSERT_TRUE(heard["program"].toBool());
        std::vector<std::string> focused;
        for (const QJsonValue& event : heard["events"].toArray())
            if (event["type"].toString() == "focus:")
                focused.push_back(event["name"].toString().toStdString());
        if (!row.focused.empty()) {
            EXPECT_EQ(focused, row.focused);
        }
        if (row.check)
            row.check(heard["events"].toArray());
    }
}

}  // namespace
