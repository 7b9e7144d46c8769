// The real program driven through the window inspector: pages, menu
// commands opening their windows once, minimise ending the program.

#include "platform/platform.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MainWindowEndToEnd : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        std::string dir = home + "/install";
        std::filesystem::create_directories(dir);
        for (const char* name : {"Standings.dat", "Schedule.dat", "Season.dat"})
            std::filesystem::copy_file(SourcePath("season/2003/") + name, dir + "/" + name);
        SetInstallDirectory(std::wstring(dir.begin(), dir.end()));
    }

    // Starts the program and waits for its loading stages to end: the last
    // one makes the main window the active one, which would end an About box
    // opened before it.
    void Start()
    {
        pid = StartBinary("corvale");
        ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
        ASSERT_EQ(DumpWhenLoaded()["cursor"].toString(), "none");
    }

    void TearDown() override
    {
        if (IsRunning(pid)) {
            Winspy({"close", "Corvale"});
            WaitForExit(pid, 5000);
        }
        TempHomeTest::TearDown();
    }

    pid_t pid = 0;
};

TEST_F(MainWindowEndToEnd, TabsSwitchPagesAndPickersHoldTheSeason)
{
    Start();
    QJsonObject window = DumpWhenLoaded();
    EXPECT_TRUE(ControlOf(window, 1005)["visible"].toBool());
    EXPECT_FALSE(ControlOf(window, 1006)["visible"].toBool());
    QJsonObject teams = ControlOf(window, 1022);
    EXPECT_EQ(teams["items"].toArray().size(), 32);
    EXPECT_EQ(teams["selection"].toInt(), 0);
    EXPECT_EQ(ControlOf(window, 1023)["items"].toArray().at(17).toString(), "Wild Card");
    ASSERT_EQ(Winspy({"select", "Corvale", "1001", "1"}).status, 0);
    window = DumpWindow("Corvale");
    EXPECT_FALSE(ControlOf(window, 1005)["visible"].toBool());
    EXPECT_TRUE(ControlOf(window, 1006)["visible"].toBool());
    EXPECT_TRUE(ControlOf(window, 1022)["visible"].toBool());
    EXPECT_EQ(ControlOf(window, 1001)["selection"].toInt(), 1);
    EXPECT_EQ(Winspy({"select", "Corvale", "1001", "9"}).status, 1);  // no such tab
    EXPECT_EQ(Winspy({"select", "Corvale", "4242", "0"}).status, 1);  // no such control
    EXPECT_EQ(Winspy({"screenshot", "Corvale", home + "/team.png"}).status, 0);
    EXPECT_TRUE(std::filesystem::file_size(home + "/team.png") > 1000);
}

TEST_F(MainWindowEndToEnd, MenuCommandOpensItsWindowOnce)
{
    Start();
    ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
    ASSERT_EQ(Winspy({"command", "Corvale", "40017"}).status, 0);
    ASSERT_TRUE(WaitForWindow("About Corvale", "dialog", 5000));
    EXPECT_EQ(CountWindows("RVL Options"), 1);
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);  // closes them all
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
}

TEST_F(MainWindowEndToEnd, MinimisingEndsTheProgram)
{
    Start();
    ASSERT_EQ(Winspy({"command", "Corvale", "40011"}).status, 0);
    ASSERT_TRUE(WaitForWindow("RVL Calendar", "dialog", 5000));
    EXPECT_EQ(Winspy({"minimize", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
    EXPECT_EQ(CountWindows("RVL Calendar"), 0);
}

// Nothing is saved on the way out: the registry file keeps its bytes and
// is not even written again, whether the program is closed or minimised.
// Its settings are ones a save would write differently: an offset of " +2"
// (saved as "2") and no time zone index (saved as 11).
TEST_F(MainWindowEndToEnd, ClosingOrMinimisingLeavesTheRegistryFileAlone)
{
    StoreSettings(L" +2", 9);
    const std::string path = configDir + "/corvale/registry.reg";
    const std::string before = ReadFile(path);
    struct stat original = {};
    ASSERT_EQ(stat(path.c_str(), &original), 0);
    for (const char* ending : {"close", "minimize"}) {
        Start();
        // Options opened and left with Cancel changes nothing either.
        ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
        ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
        ASSERT_EQ(Winspy({"command", "RVL Options", "1040"}).status, 0);
        ASSERT_TRUE(WaitForNoWindow("RVL Options", 5000));
        EXPECT_EQ(Winspy({ending, "--kind", "dialog", "Corvale"}).status, 0);
        EXPECT_EQ(WaitForExit(pid, 5000), 0) << ending;
        struct stat after = {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, original.st_ino) << ending;  // a save replaces the file
        EXPECT_EQ(ReadFile(path), before) << ending;
    }
}

// The settings of the registry file as the next start reads them:
// "OffSet Team Index".
std::string StoredSettings()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, 0, &key) != ERROR_SUCCESS)
        return "no key";
    WCHAR offset[64] = {};
    DWORD team = 0, index = 0, size = sizeof offset;
    RegQueryValueExW(key, L"OffSet", nullptr, nullptr, reinterpret_cast<BYTE*>(offset), &size);
    size = sizeof team;
    RegQueryValueExW(key, L"Team", nullptr, nullptr, reinterpret_cast<BYTE*>(&team), &size);
    size = sizeof index;
    RegQueryValueExW(key, L"Index", nullptr, nullptr, reinterpret_cast<BYTE*>(&index), &size);
    RegCloseKey(key);
    std::wstring text(offset);
    return std::string(text.begin(), text.end()) + " " + std::to_string(team) + " " + std::to_string(index);
}

// A program killed at the first change of the registry file during Save
// leaves the old settings or the new ones, whole: the zone named and the
// hours shifted always agree.
TEST_F(MainWindowEndToEnd, SaveKilledPartWayLeavesOldOrNewSettingsWhole)
{
    StoreSettings(L"0", 0, 11);
    const std::string folder = configDir + "/corvale";
    const struct {
        int zone, team;
        const char* stored;
    } trials[] = {{4, 9, "-3 9 4"}, {28, 3, "6 3 28"}, {2, 17, "-5 17 2"}, {69, 30, "18 30 69"}, {11, 0, "0 0 11"}};
    for (const auto& trial : trials) {
        SCOPED_TRACE(trial.stored);
        const std::string before = StoredSettings();
        Start();
        ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
        ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
        ASSERT_EQ(Winspy({"select", "RVL Options", "1023", std::to_string(trial.zone)}).status, 0);
        ASSERT_EQ(Winspy({"select", "RVL Options", "1022", std::to_string(trial.team)}).status, 0);
        int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_MODIFY), 0);
        ASSERT_EQ(Winspy({"command", "RVL Options", "1039"}).status, 0);
        pollfd ready{watch, POLLIN, 0};
        bool changed = false;
        while (!changed && poll(&ready, 1, 5000) == 1) {
            alignas(inotify_event) char events[4096];
            ssize_t got = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < got;) {
                auto* event = reinterpret_cast<inotify_event*>(events + at);
                changed = changed || (event->len && std::string(event->name) == "registry.reg");
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        kill(pid, SIGKILL);
        WaitForExit(pid, 5000);
        close(watch);
        EXPECT_TRUE(changed);
        const std::string after = StoredSettings();
        EXPECT_TRUE(after == before || after == trial.stored) << "before " << before << ", after " << after;
    }
}

// The zone stored in the registry shifts every time the next start shows.
TEST_F(MainWindowEndToEnd, StoredTimeZoneShiftsEveryTime)
{
    StoreSettings(L"-3", 18, 4);
    Start();
    QJsonObject window = DumpWhenLoaded();
    QJsonArray team0 = ControlOf(window, 1006)["rows"].toArray().at(0).toArray();
    EXPECT_EQ(team0.at(1).toString(), "0 @ Buffalo 31");
    EXPECT_EQ(team0.at(2).toString(), "10:00a");  // 1 pm Eastern in Pacific time
    QJsonArray season1 = ControlOf(window, 1008)["rows"].toArray().at(1).toArray();
    EXPECT_EQ(season1.at(1).toString(), "6:00p");  // 9 pm Eastern
    EXPECT_EQ(ControlOf(window, 1022)["selection"].toInt(), 18);
}

}  // namespace
