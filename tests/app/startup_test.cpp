// Start-up: the season check and install directory in process, and the real
// program's messages and single-copy behaviour through the window inspector.

#include "app/resources/resource.h"
#include "app/startup.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kInstallText[] = "Corvale does not appear to be installed properly.\n\nPlease run install again.";
const char kVersionText[] = "Corvale version does not match schedule.\n\nPlease install the most current version.";

class StartupTest : public TempHomeTest {
protected:
    // An install directory holding a schedule file whose first line is `firstLine`.
    std::string InstallWithSchedule(const std::string& firstLine)
    {
        std::string dir = home + "/install";
        WriteFile("install/Schedule.dat", firstLine);
        SetInstallDirectory(std::wstring(dir.begin(), dir.end()));
        return dir;
    }

    QJsonObject Dump(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {"dump"};
        all.insert(all.end(), args.begin(), args.end());
        WinspyResult result = Winspy(all);
        EXPECT_EQ(result.status, 0) << result.output;
        return QJsonDocument::fromJson(QByteArray::fromStdString(result.output)).object();
    }

    // Starts the program and expects its start-up message with `text`;
    // closing the message ends the program with 0.
    void ExpectStartupMessage(const char* text)
    {
        pid_t pid = StartBinary("corvale");
        ASSERT_TRUE(WaitForWindow("Corvale", "messagebox", 10000));
        QJsonObject box = Dump({"--kind", "messagebox", "Corvale"});
        EXPECT_EQ(box["text"].toString().toStdString(), text);
        EXPECT_TRUE(box["visible"].toBool());
        EXPECT_EQ(CountWindows("Corvale"), 1);
        EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
        EXPECT_EQ(WaitForExit(pid, 10000), 0);
    }
};

struct SeasonCase {
    const char* firstLine;  // first line of the schedule file
    int accepted;           // CheckScheduleSeason's answer
};

class SeasonCheckTest : public StartupTest, public ::testing::WithParamInterface<SeasonCase> {};

TEST_P(SeasonCheckTest, AcceptsOnlyAValidDateOfTheSeason)
{
    std::string path = WriteFile("Schedule.dat", GetParam().firstLine);
    std::wstring wide(path.begin(), path.end());
    EXPECT_EQ(CheckScheduleSeason(wide.c_str()), GetParam().accepted) << GetParam().firstLine;
}

// A line fills a data line's 1023 bytes with its line end, or is too long.
const std::string kFullLine = "ARI,Arizona,9/7/2003 16:15," + std::string(995, 'x') + "\n";
const std::string kLongLine = "ARI,Arizona,9/7/2003 16:15," + std::string(996, 'x') + "\n";
const std::string kLongLater = "ARI,Arizona,9/7/2003 16:15\r\n" + std::string(100000, 'x') + "\r\n";

INSTANTIATE_TEST_SUITE_P(FirstLines, SeasonCheckTest, ::testing::Values(
    SeasonCase{kFullLine.c_str(), 1},
    SeasonCase{kLongLine.c_str(), 0},
    SeasonCase{kLongLater.c_str(), 0},  // every line is bounded, not only the first
    SeasonCase{"ARI,Arizona,9/7/2003 16:15,10,24\r\n", 1},
    SeasonCase{"ARI,Arizona,9/7/2004 16:15,10,24\r\n", 0},
    SeasonCase{"ARI,Arizona,9/7/1903 16:15\n", 1},  // any year ending in 03
    SeasonCase{"ARI,Arizona,13/40/2003 16:15\r\n", 0},
    SeasonCase{"ARI,Arizona,2/29/2003 16:15\r\n", 0},
    SeasonCase{"ARI,Arizona,9/7/2003", 1},          // no time, no line end
    SeasonCase{"ARI,,,Arizona,,9/7/2003 16:15\r\n", 1},  // empty fields vanish
    SeasonCase{"ARI,Arizona\r\n", 0},
    SeasonCase{"", 0},
    SeasonCase{"\r\nARI,Arizona,9/7/2003 16:15\r\n", 0},  // only the first line counts
    SeasonCase{"\nARI,Arizona,9/7/2003 16:15\n", 0},
    SeasonCase{"   \r\nARI,Arizona,9/7/2003 16:15\r\n", 0},
    SeasonCase{"ARI,Arizona,soon\r\n", 0}));

TEST_F(StartupTest, MissingScheduleFileIsRefused)
{
    EXPECT_EQ(CheckScheduleSeason(L"/nonexistent/Schedule.dat"), 0);
    std::wstring folder(home.begin(), home.end());
    EXPECT_EQ(CheckScheduleSeason(folder.c_str()), 0);  // opens, but every read fails
    // A FIFO in the file's place is unreadable, not waited on.
    std::string fifo = home + "/Schedule.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CheckScheduleSeason(std::wstring(fifo.begin(), fifo.end()).c_str()), 0);
}

TEST_F(StartupTest, InstallDirectoryBuildsTheThreePaths)
{
    EXPECT_EQ(ReadInstallDirectory(), 0);  // no key yet
    SetInstallDirectory(L"/opt/corvale/");
    ASSERT_EQ(ReadInstallDirectory(), 1);
    EXPECT_STREQ(g_standingsPath, L"/opt/corvale//Standings.dat");
    EXPECT_STREQ(g_schedulePath, L"/opt/corvale//Schedule.dat");
    EXPECT_STREQ(g_seasonPath, L"/opt/corvale//Season.dat");
}

TEST_F(StartupTest, InstallDirectoryTooLongForThePathsIsRefused)
{
    SetInstallDirectory(L"/" + std::wstring(244, L'd'));  // 245 characters: fits
    EXPECT_EQ(ReadInstallDirectory(), 1);
    EXPECT_EQ(std::wcslen(g_standingsPath), 259u);
    SetInstallDirectory(L"/" + std::wstring(245, L'd'));
    EXPECT_EQ(ReadInstallDirectory(), 0);
}

TEST_F(StartupTest, NoInstallValueShowsTheInstallMessage)
{
    ExpectStartupMessage(kInstallText);
}

TEST_F(StartupTest, ScheduleOfAnotherSeasonShowsTheVersionMessage)
{
    InstallWithSchedule("ARI,Arizona,9/7/2004 16:15,10,24\r\n");
    ExpectStartupMessage(kVersionText);
}

TEST_F(StartupTest, MissingOrUnreadableScheduleShowsTheVersionMessage)
{
    SetInstallDirectory(L"/nonexistent-install");
    ExpectStartupMessage(kVersionText);
    std::string dir = InstallWithSchedule("");
    std::filesystem::remove(dir + "/Schedule.dat");
    ASSERT_EQ(mkfifo((dir + "/Schedule.dat").c_str(), 0600), 0);  // a FIFO nobody writes
    ExpectStartupMessage(kVersionText);
}

// A FIFO where the settings live is never waited on: with one at the
// settings' lock the start goes on as usual, with one at the settings file
// as without settings (no install folder known).
TEST_F(StartupTest, FifoAtTheSettingsIsNotWaitedOn)
{
    InstallWithSchedule("ARI,Arizona,9/7/2003 16:15\r\n");
    const std::string settings = configDir + "/corvale/registry.reg";
    std::filesystem::remove(settings + ".lock");
    ASSERT_EQ(mkfifo((settings + ".lock").c_str(), 0600), 0);
    pid_t pid = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 5000));
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
    std::filesystem::remove(settings);
    ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
    ExpectStartupMessage(kInstallText);
}

TEST_F(StartupTest, BundledSeasonOpensTheMainWindowUntilClosed)
{
    std::string dir = home + "/install";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SourcePath("season/2003/Schedule.dat"), dir + "/Schedule.dat");
    SetInstallDirectory(std::wstring(dir.begin(), dir.end()));
    pid_t pid = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    EXPECT_TRUE(Dump({"Corvale"})["visible"].toBool());
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 10000), 0);
}

TEST_F(StartupTest, SecondStartRaisesTheMainWindowAndShowsNothing)
{
    InstallWithSchedule("ARI,Arizona,9/7/2003 16:15\r\n");
    pid_t first = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    pid_t second = StartBinary("corvale");
    EXPECT_EQ(WaitForExit(second, 10000), 0);
    EXPECT_EQ(CountWindows("Corvale"), 1);
    EXPECT_TRUE(IsRunning(first));
    EXPECT_TRUE(Dump({"Corvale"})["visible"].toBool());
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(first, 10000), 0);
}

TEST_F(StartupTest, SecondStartWhileTheMessageIsUpBringsItForward)
{
    pid_t first = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "messagebox", 10000));
    pid_t second = StartBinary("corvale");
    EXPECT_EQ(WaitForExit(second, 10000), 0);
    EXPECT_EQ(CountWindows("Corvale"), 1);
    EXPECT_TRUE(Dump({"Corvale"})["visible"].toBool());
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(first, 10000), 0);
}

// Copies started at the same instant open one main window: the others
// end with status 0 without one. A bounded number of trials here; the
// benchmark script bench/simultaneous_starts.sh runs many more.
TEST_F(StartupTest, SimultaneousStartsOpenOneMainWindow)
{
    InstallWithSchedule("ARI,Arizona,9/7/2003 16:15\r\n");
    for (int copies : {2, 2, 2, 2, 2, 5, 5}) {
        SCOPED_TRACE(copies);
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        std::vector<pid_t> pids;
        for (int i = 0; i < copies; ++i)
            pids.push_back(StartBinary("corvale", {}, "", gate[0]));
        ASSERT_EQ(write(gate[1], std::string(copies, 'x').data(), copies), copies);
        close(gate[0]);
        close(gate[1]);
        ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
        pid_t running = WindowPids("Corvale").at(0);
        for (pid_t pid : pids) {
            if (pid != running) {
                EXPECT_EQ(WaitForExit(pid, 10000), 0);
            }
        }
        EXPECT_EQ(CountWindows("Corvale"), 1);
        EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
        EXPECT_EQ(WaitForExit(running, 10000), 0);
    }
}

// The station's usual folder, /tmp/corvale-UID when there is no runtime
// folder, taken by someone else first: it is never used, the station moves
// to the user's own folder and says so, and a second start still finds the
// first. In a mount namespace of its own, so that /tmp is this test's.
class HostileStationFolderTest : public StartupTest {
protected:
    void SetUp() override
    {
        mounted = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  CoverTmp();
        StartupTest::SetUp();
        unsetenv("XDG_RUNTIME_DIR");
    }
    // A fresh /tmp; the source and build trees, when they lie under /tmp (a
    // clone made there), are held open before it is covered and bound back.
    static bool CoverTmp()
    {
        std::vector<std::pair<std::string, int>> kept;
        for (const char* tree : {CORVALE_SOURCE_DIR, CORVALE_BINARY_DIR})
            if (std::string(tree).starts_with("/tmp/"))
                kept.push_back({tree, open(tree, O_PATH | O_DIRECTORY | O_CLOEXEC)});
        if (mount("tmpfs", "/tmp", "tmpfs", 0, nullptr) != 0)
            return false;
        bool bound = true;
        for (const auto& [tree, fd] : kept) {
            std::error_code ignored;
            std::filesystem::create_directories(tree, ignored);
            const std::string from = "/proc/self/fd/" + std::to_string(fd);
            bound = bound && fd >= 0 && mount(from.c_str(), tree.c_str(), nullptr, MS_BIND, nullptr) == 0;
            close(fd);
        }
        return bound;
    }
    bool mounted = false;
};

TEST_F(HostileStationFolderTest, StationMovesToTheUsersOwnFolder)
{
    if (!mounted)
        GTEST_SKIP() << "a mount namespace needs root";
    InstallWithSchedule("ARI,Arizona,9/7/2003 16:15\r\n");
    const std::string taken = "/tmp/corvale-" + std::to_string(geteuid());
    const std::string elsewhere = "/tmp/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0777), 0);
    const struct {
        const char* name;
        std::function<void()> plant;
    } cases[] = {
        {"another user's open folder", [&] { mkdir(taken.c_str(), 0777); chmod(taken.c_str(), 0777); (void)!chown(taken.c_str(), 65534, 65534); }},
        {"a link", [&] { (void)!symlink(elsewhere.c_str(), taken.c_str()); }},
        {"a file", [&] { WriteFile("../" + taken.substr(5), "a file"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(taken);
        c.plant();
        const std::string errors = home + "/errors.txt";
        pid_t first = StartBinary("corvale", {}, errors);
        ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
        pid_t second = StartBinary("corvale");
        EXPECT_EQ(WaitForExit(second, 10000), 0);
        EXPECT_EQ(CountWindows("Corvale"), 1);
        EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
        EXPECT_EQ(WaitForExit(first, 10000), 0);
        EXPECT_NE(ReadFile(errors).find(taken + " is not a private folder of this user's; the window station is in " + home +
                                        "/.cache/corvale/station-"), std::string::npos) << ReadFile(errors);
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
        if (std::filesystem::is_directory(taken) && !std::filesystem::is_symlink(taken)) {
            EXPECT_TRUE(std::filesystem::is_empty(taken));
        }
    }
}

// In process: the copy already running is a window captioned "Corvale",
// here hidden behind another window. A start finds it, shows it and makes
// it the active window.
class RunningCopyTest : public AppTest {};

TEST_F(RunningCopyTest, ARunningCopysWindowIsShownAndActivated)
{
    static std::vector<std::pair<std::wstring, WPARAM>> activations;  // caption, WA_ code
    auto listen = [](HWND window, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_ACTIVATE)
            activations.push_back({WindowText(window), LOWORD(wParam)});
        return 0;
    };
    auto run = [listen](WORD dialog) {
        HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(dialog), RT_DIALOG);
        DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, resource)), nullptr, listen, 0);
    };
    EXPECT_FALSE(ActivatePreviousInstance());
    bool started = false;
    QTimer fallback;  // ends both windows unless the start has ended the loops
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [&] {
        EndDialog(FindWindowW(nullptr, L"About Corvale"), 0);
        EndDialog(FindWindowW(nullptr, L"Corvale"), 0);
    });
    QTimer::singleShot(50, [&] {
        QTimer::singleShot(50, [&] {
            HWND copy = FindWindowW(nullptr, L"Corvale");
            ASSERT_NE(copy, nullptr);
            ShowWindow(copy, SW_HIDE);
            activations.clear();
            started = ActivatePreviousInstance();
            EXPECT_TRUE(IsWindowVisible(copy));
            fallback.start(500);
        });
        run(IDD_ABOUT);  // another window, active above it
    });
    run(IDD_MAIN);
    EXPECT_TRUE(started);
    EXPECT_EQ(activations, (std::vector<std::pair<std::wstring, WPARAM>>{{L"About Corvale", WA_INACTIVE}, {L"Corvale", WA_ACTIVE}}));
}

}  // namespace
