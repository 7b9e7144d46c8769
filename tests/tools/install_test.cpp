// The installed layout: `cmake --install` into a temporary prefix, the
// installed corvale-install run without arguments, and the desktop entry's
// launcher starting the installed program, whose help viewer comes from
// beside it.

#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kSeasonFiles[] = {"Standings.dat", "Schedule.dat", "Season.dat", "Ravelock.html"};
const char* const kPrograms[] = {"corvale", "winspy", "corvale-install", "corvale-help", "corvale-dataserver",
                                 "corvale-start"};

// Exit status of a shell command, its output discarded.
int Shell(const std::string& command)
{
    int status = std::system(("timeout 60 " + command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The executable of a running process.
std::string ExecutableOf(int pid)
{
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
}

// Waits until `count` windows have this caption; false on time-out.
bool WaitForCount(const std::string& caption, int count)
{
    return PollUntil([&] { return CountWindows(caption) == count; }, 10000);
}

// The pid `winspy list` shows for the window with this caption, or 0.
int PidOfWindow(const std::string& caption)
{
    std::string list = Winspy({"list"}).output;
    size_t at = list.find("\"caption\":\"" + caption + "\"");
    size_t pid = list.find("\"pid\":", at);
    if (at == std::string::npos || pid == std::string::npos)
        return 0;
    return std::atoi(list.c_str() + pid + 6);
}

class InstallTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        unsetenv("XDG_DATA_HOME");
        prefix = home + "/prefix";
        std::string install = ShellQuote(CORVALE_CMAKE_COMMAND) + " --install " + ShellQuote(CORVALE_BINARY_DIR);
        ASSERT_EQ(Shell(install + " --prefix " + ShellQuote(prefix)), 0) << install;
    }

    // True when the registry file records `directory` as Install.
    bool RegistryInstallIs(const std::string& directory)
    {
        std::string registry = Registry();
        size_t at = registry.find("\"Install\"=\"" + directory + "\"");
        return at != std::string::npos && registry.find("\"Install\"=", at + 1) == std::string::npos;
    }

    // True when `directory` holds the bundled season, file for file.
    static bool HoldsTheSeason(const std::string& directory)
    {
        for (const char* name : kSeasonFiles) {
            std::string copied = ReadFile(directory + "/" + name);
            if (copied.empty() || copied != ReadFile(SourcePath(std::string("season/2003/") + name)))
                return false;
        }
        return true;
    }

    std::string prefix;  // the install prefix
};

TEST_F(InstallTest, LaysOutProgramsSeasonIconAndDesktopEntry)
{
    for (const char* name : kPrograms)
        EXPECT_EQ(access((prefix + "/bin/" + name).c_str(), X_OK), 0) << name;
    EXPECT_TRUE(HoldsTheSeason(prefix + "/share/corvale/season/2003"));

    // One icon, in the folder named after its real size.
    std::vector<fs::path> icons;
    for (const auto& entry : fs::recursive_directory_iterator(prefix + "/share/icons"))
        if (entry.path().filename() == "corvale.png")
            icons.push_back(entry.path());
    ASSERT_EQ(icons.size(), 1u);
    std::string png = ReadFile(icons[0]);
    ASSERT_GE(png.size(), 24u);
    ASSERT_EQ(png.substr(12, 4), "IHDR");
    auto number = [&](size_t at) {
        return (unsigned char)png[at] << 24 | (unsigned char)png[at + 1] << 16 | (unsigned char)png[at + 2] << 8 |
               (unsigned char)png[at + 3];
    };
    std::string size = std::to_string(number(16)) + "x" + std::to_string(number(20));
    EXPECT_EQ(icons[0].parent_path(), fs::path(prefix + "/share/icons/hicolor/" + size + "/apps"));

    // A compressed manual page for every program; corvale-start shares corvale's.
    for (const char* name : kPrograms) {
        std::string page = ReadFile(prefix + "/share/man/man1/" + name + ".1.gz");
        EXPECT_EQ(page.substr(0, 2), "\x1f\x8b") << name;
    }
    EXPECT_EQ(fs::read_symlink(prefix + "/share/man/man1/corvale-start.1.gz"), "corvale.1.gz");
    EXPECT_TRUE(fs::exists(prefix + "/share/metainfo/io.github.corvale.Corvale.metainfo.xml"));

    // The entry runs the launcher of this prefix, by its full path.
    std::string entry = ReadFile(prefix + "/share/applications/corvale.desktop");
    EXPECT_NE(entry.find("\nExec=\"" + prefix + "/bin/corvale-start\"\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=corvale\n"), std::string::npos) << entry;
}

TEST_F(InstallTest, DesktopEntryPassesTheValidator)
{
    if (Shell("sh -c 'command -v desktop-file-validate'") != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed";
    std::string command = "desktop-file-validate " + ShellQuote(prefix + "/share/applications/corvale.desktop");
    EXPECT_EQ(Shell(command), 0) << command;
}

TEST_F(InstallTest, InstalledInstallerFindsItsSeasonAndKeepsFilesAlreadyThere)
{
    const std::string installer = ShellQuote(prefix + "/bin/corvale-install");
    const std::string local = home + "/.local/share/corvale";
    ASSERT_EQ(Shell(installer), 0);
    EXPECT_TRUE(HoldsTheSeason(local));
    EXPECT_TRUE(RegistryInstallIs(local));

    // XDG_DATA_HOME moves the default; a file already there (a download) stays.
    WriteFile("data/corvale/Standings.dat", "downloaded");
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ASSERT_EQ(Shell(installer), 0);
    EXPECT_EQ(ReadFile(home + "/data/corvale/Standings.dat"), "downloaded");
    EXPECT_EQ(ReadFile(home + "/data/corvale/Season.dat"), ReadFile(SourcePath("season/2003/Season.dat")));
    EXPECT_TRUE(RegistryInstallIs(home + "/data/corvale"));

    // The season is found relative to the binary, so a moved prefix still works.
    fs::rename(prefix, home + "/moved");
    unsetenv("XDG_DATA_HOME");
    fs::remove_all(local);
    ASSERT_EQ(Shell(ShellQuote(home + "/moved/bin/corvale-install")), 0);
    EXPECT_TRUE(HoldsTheSeason(local));

    // The explicit form still takes any season folder and install folder.
    ASSERT_EQ(Shell(ShellQuote(home + "/moved/bin/corvale-install") + " " + ShellQuote(SourcePath("season/2003")) + " " +
                  ShellQuote(home + "/elsewhere")),
              0);
    EXPECT_TRUE(HoldsTheSeason(home + "/elsewhere"));
    EXPECT_TRUE(RegistryInstallIs(home + "/elsewhere"));
}

TEST_F(InstallTest, InstallerOutsideTheLayoutOrWithBadArgumentsChangesNothing)
{
    fs::create_directories(home + "/loose");
    fs::copy_file(prefix + "/bin/corvale-install", home + "/loose/corvale-install");
    EXPECT_EQ(Shell(ShellQuote(home + "/loose/corvale-install")), 1);
    EXPECT_EQ(Shell(ShellQuote(home + "/loose/corvale-install") + " " + ShellQuote(home + "/no-season")), 1);
    const std::string installer = ShellQuote(prefix + "/bin/corvale-install");
    for (const char* args : {" --bogus", " -", " a b c"})
        EXPECT_EQ(Shell(installer + args), 2) << args;
    EXPECT_EQ(Shell(installer + " --help"), 0);
    // An install folder longer than the program can use: 245 characters.
    const std::string season = ShellQuote(SourcePath("season/2003"));
    const std::string longest = home + "/" + std::string(245 - home.size() - 1, 'd');
    EXPECT_EQ(Shell(installer + " " + season + " " + ShellQuote(longest + "d")), 1);
    EXPECT_FALSE(fs::exists(longest + "d"));
    EXPECT_FALSE(fs::exists(configDir + "/corvale/registry.reg"));
    EXPECT_EQ(Shell(installer + " " + season + " " + ShellQuote(longest)), 0);
    EXPECT_TRUE(RegistryInstallIs(longest));
    fs::remove_all(longest);
    fs::remove(configDir + "/corvale/registry.reg");
    EXPECT_FALSE(fs::exists(home + "/.local/share/corvale"));
    EXPECT_FALSE(fs::exists(configDir + "/corvale/registry.reg"));
}

// Two installers started at the same instant into one fresh folder both
// succeed: each file is put in place whole by one of them, and neither
// leaves a temporary file behind.
TEST_F(InstallTest, TwoInstallersAtOnceBothSucceedAndLeaveOnlyTheSeason)
{
    const std::string season = SourcePath("season/2003");
    for (int round = 0; round < 20; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string folder = home + "/at-once-" + std::to_string(round);
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t copies[2];
        std::string errors[2];
        for (int i = 0; i < 2; i++) {
            errors[i] = home + "/install-" + std::to_string(i) + ".err";
            copies[i] = StartBinary("corvale-install", {season, folder}, errors[i], gate[0]);
        }
        ASSERT_EQ(write(gate[1], "xx", 2), 2);  // both start now
        close(gate[0]);
        close(gate[1]);
        for (int i = 0; i < 2; i++)
            EXPECT_EQ(WaitForExit(copies[i], 10000), 0) << "copy " << i << ": " << ReadFile(errors[i]);
        EXPECT_TRUE(HoldsTheSeason(folder));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Ravelock.html", "Schedule.dat", "Season.dat", "Standings.dat"}));
    }
}

// Without a display each program with windows says so in one line and
// ends with status 1 instead of aborting; --help needs no display.
TEST_F(InstallTest, WithoutADisplayEachProgramSaysSo)
{
    const struct {
        const char* program;
        const char* line;  // its standard error, and the usage's first line
    } programs[] = {
        {"corvale", "corvale: no display could be opened"},
        {"corvale-start", "corvale: no display could be opened"},
        {"corvale-help", "corvale-help: no display could be opened"},
    };
    const struct {
        const char* environment;
        const char* named;
    } displays[] = {
        {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "(DISPLAY is not set, WAYLAND_DISPLAY is not set)"},
        {"env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97", "(DISPLAY is :97, WAYLAND_DISPLAY is not set)"},
    };
    for (const auto& p : programs) {
        const std::string path = ShellQuote(prefix + "/bin/" + p.program);
        for (const auto& d : displays) {
            SCOPED_TRACE(std::string(p.program) + " with " + d.environment);
            CommandResult run = RunShell("timeout 30 " + std::string(d.environment) + " " + path + " 2>&1 >/dev/null");
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.output, std::string(p.line) + " " + d.named + "\n");
        }
        CommandResult help = RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + path + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.output.substr(0, 7 + std::strlen(p.program)), "usage: " + std::string(p.program));
    }
}

// The launcher installs the season, then becomes the installed corvale,
// which starts the help viewer from its own folder.
TEST_F(InstallTest, LauncherInstallsTheSeasonAndStartsTheProgramWithItsHelpViewer)
{
    std::string launcher = prefix + "/bin/corvale-start";
    pid_t program = fork();
    if (program == 0) {
        execl(launcher.c_str(), launcher.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    EXPECT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    EXPECT_TRUE(HoldsTheSeason(home + "/.local/share/corvale"));
    EXPECT_TRUE(RegistryInstallIs(home + "/.local/share/corvale"));
    EXPECT_EQ(ExecutableOf(PidOfWindow("Corvale")), prefix + "/bin/corvale");

    EXPECT_EQ(Winspy({"command", "Corvale", "40015"}).status, 0);
    EXPECT_TRUE(WaitForCount("Help", 1));
    EXPECT_EQ(ExecutableOf(PidOfWindow("Help")), prefix + "/bin/corvale-help");

    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(program, 10000), 0);
    // Closing the main window closed its viewer.
    if (!WaitForCount("Help", 0)) {
        ADD_FAILURE() << "the help viewer outlived the main window";
        Winspy({"close", "Help"});
    }
}

}  // namespace
