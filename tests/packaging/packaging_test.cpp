// The Debian package, the manual pages and the software centre entry: the
// pages render cleanly and name every option the programs take, the
// metainfo validates, and `cpack -G DEB` makes a package whose fields,
// contents and lintian verdict are right and whose unpacked programs run
// the bundled season.

#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>

#include <algorithm>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Output = CommandResult;

// Runs a shell command (120 s at most) and collects its standard output.
Output Capture(const std::string& command)
{
    return RunShell("timeout 120 sh -c " + ShellQuote(command));
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Have(const std::string& program)
{
    return Capture("command -v " + program + " >/dev/null").status == 0;
}

// Every line of `text` matching `pattern`, its first group each.
std::vector<std::string> Matches(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

// The manual pages; `tool` is the program whose --help lists the options.
const struct {
    const char* page;
    const char* tool;
} kPages[] = {
    {"corvale", "corvale"},
    {"winspy", "winspy"},
    {"corvale-install", "corvale-install"},
    {"corvale-help", "corvale-help"},
    {"corvale-dataserver", "corvale-dataserver"},
};

std::string PagePath(const std::string& page)
{
    return SourcePath("packaging/man/" + page + ".1");
}

TEST(ManPages, RenderWithoutWarningsAndHaveEverySection)
{
    if (!Have("man"))
        GTEST_SKIP() << "man is not installed (scripts/setup.sh installs man-db)";
    for (const auto& entry : kPages) {
        SCOPED_TRACE(entry.page);
        std::string path = PagePath(entry.page);
        ASSERT_TRUE(fs::exists(path));
        // groff's and man's complaints go to standard error, here captured alone.
        Output warnings = Capture("MANWIDTH=80 man --warnings -l " + ShellQuote(path) + " 2>&1 >/dev/null");
        EXPECT_EQ(warnings.status, 0);
        EXPECT_EQ(warnings.output, "");
        Output page = Capture("MANWIDTH=80 man -l " + ShellQuote(path) + " 2>/dev/null");
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES"})
            EXPECT_NE(page.output.find("\n" + std::string(section) + "\n"), std::string::npos) << section;
        EXPECT_NE(page.output.find("registry.reg"), std::string::npos);
        // The whatis line that apropos and lintian read starts with the page's name.
        std::string name = "\nNAME\n       " + std::string(entry.page);
        size_t at = page.output.find(name);
        EXPECT_TRUE(at != std::string::npos && std::string(" ,").find(page.output[at + name.size()]) != std::string::npos)
            << page.output.substr(0, 300);
    }
}

// A page that misses an option, argument or verb of its program's --help has
// fallen behind.
TEST(ManPages, NameEveryOptionAndVerbOfTheHelp)
{
    for (const auto& entry : kPages) {
        if (!entry.tool)
            continue;
        SCOPED_TRACE(entry.page);
        Output help = Capture(std::string(CORVALE_BINARY_DIR) + "/" + entry.tool + " --help");
        ASSERT_EQ(help.status, 0);
        std::vector<std::string> words = Matches(help.output, R"((--[a-z]+))");
        std::string usage = help.output.substr(0, help.output.find('\n'));
        for (const std::string& argument : Matches(usage, R"(([A-Z][A-Z_]+))"))
            words.push_back(argument);
        for (const std::string& verb : Matches(help.output, R"(\n  winspy ([a-z]+))"))
            words.push_back(".B " + verb);
        ASSERT_FALSE(words.empty());
        std::string page = ReadText(PagePath(entry.page));
        // In roff a hyphen-minus is written \-; a verb heads its own .B or .BI line.
        page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
        page = std::regex_replace(page, std::regex(R"(\n\.BI )"), "\n.B ");
        for (const std::string& word : words)
            EXPECT_NE(page.find(word), std::string::npos) << word;
    }
}

TEST(Metainfo, ValidatesAndShowsTheReadmeScreenshots)
{
    std::string path = SourcePath("packaging/io.github.corvale.Corvale.metainfo.xml");
    std::string metainfo = ReadText(path);
    // What a software centre lists; the validator lets a missing content rating pass.
    for (const char* element : {"<id>io.github.corvale.Corvale</id>", "<summary>", "<description>",
                                "<launchable type=\"desktop-id\">corvale.desktop</launchable>",
                                "<content_rating type=\"oars-1.1\"", "<project_license>", "<metadata_license>"})
        EXPECT_NE(metainfo.find(element), std::string::npos) << element;
    std::vector<std::string> shots = Matches(metainfo, R"(<image>https://[^<]*/(docs/[a-z]+\.png)</image>)");
    EXPECT_EQ(shots.size(), 4u);
    for (const std::string& shot : shots)
        EXPECT_TRUE(fs::exists(SourcePath(shot))) << shot;
    if (!Have("appstreamcli"))
        GTEST_SKIP() << "appstreamcli is not installed (scripts/setup.sh installs appstream)";
    Output validation = Capture("appstreamcli validate --no-net " + ShellQuote(path) + " 2>&1");
    EXPECT_EQ(validation.status, 0) << validation.output;
}

// The package `cpack -G DEB` made of this build directory once, before
// these tests (the CTest fixture PackageMade); a sanitizer build registers
// neither (tests/CMakeLists.txt).
class PackageTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        unsetenv("XDG_DATA_HOME");
        for (const char* program : {"dpkg-deb", "dpkg-shlibdeps", "file"})
            if (!Have(program))
                GTEST_SKIP() << program << " is not installed (scripts/setup.sh installs dpkg-dev and file)";
        Output arch = Capture("dpkg --print-architecture");
        ASSERT_EQ(arch.status, 0);
        std::string name =
            "corvale_" + std::string(CORVALE_VERSION) + "_" + arch.output.substr(0, arch.output.find('\n')) + ".deb";
        deb = CORVALE_BINARY_DIR "/test-package/" + name;
        ASSERT_TRUE(fs::exists(deb)) << deb << " was not made (the PackageMade test)";
    }

    std::string Field(const std::string& name)
    {
        return Capture("dpkg-deb -f " + ShellQuote(deb) + " " + name).output;
    }

    // A shell command that prints one file of the package.
    std::string Unpacked(const std::string& path)
    {
        return "dpkg-deb --fsys-tarfile " + ShellQuote(deb) + " | tar -xO " + ShellQuote("./" + path);
    }

    std::string deb;  // the package made
};

TEST_F(PackageTest, ControlFieldsAndDependenciesComeFromTheBinaries)
{
    EXPECT_EQ(Field("Package"), "corvale\n");
    EXPECT_EQ(Field("Version"), std::string(CORVALE_VERSION) + "\n");
    std::string depends = Field("Depends");
    // The libraries the binaries link, and curl, which the program loads
    // when it first sends a request, and no others: Qt, curl, and C and
    // C++'s own (the data server needs only those last).
    std::set<std::string> packages;
    for (const std::string& dependency : Matches(", " + depends, R"(, ([^,\n]+))")) {
        packages.insert(dependency.substr(0, dependency.find(' ')));
        // Every dependency carries the minimum version dpkg-shlibdeps works out.
        EXPECT_NE(dependency.find(" (>= "), std::string::npos) << dependency;
    }
    EXPECT_EQ(packages, (std::set<std::string>{"libqt6core6", "libqt6gui6", "libqt6widgets6", "libcurl4", "libc6",
                                                "libstdc++6", "libgcc-s1"}))
        << depends;
    // Qt's Wayland plugin, which no binary links, so that the window opens on a Wayland desktop.
    EXPECT_EQ(Field("Recommends"), "qt6-wayland\n");
    // The changelog's latest entry is this version.
    Output changelog = Capture(Unpacked("usr/share/doc/corvale/changelog.gz") + " | zcat");
    EXPECT_EQ(changelog.output.rfind("corvale (" + std::string(CORVALE_VERSION) + ") ", 0), 0u) << changelog.output;
}

TEST_F(PackageTest, InstallsUnderUsrAndPassesLintian)
{
    std::set<std::string> files;
    // Each line of the listing ends in a path, then " -> TARGET" for a link; folders end in '/'.
    std::string listing = Capture("dpkg-deb -c " + ShellQuote(deb)).output;
    for (const std::string& path : Matches(listing, R"( \./([^ \n]*[^/ \n])(?: -> [^\n]*)?\n)"))
        files.insert(path);
    std::set<std::string> expected = {
        "usr/bin/corvale", "usr/bin/winspy", "usr/bin/corvale-install", "usr/bin/corvale-help",
        "usr/bin/corvale-dataserver", "usr/bin/corvale-start",
        "usr/share/corvale/season/2003/Standings.dat", "usr/share/corvale/season/2003/Schedule.dat",
        "usr/share/corvale/season/2003/Season.dat", "usr/share/corvale/season/2003/Ravelock.html",
        "usr/share/applications/corvale.desktop", "usr/share/icons/hicolor/64x64/apps/corvale.png",
        "usr/share/man/man1/corvale.1.gz", "usr/share/man/man1/corvale-start.1.gz", "usr/share/man/man1/winspy.1.gz",
        "usr/share/man/man1/corvale-install.1.gz", "usr/share/man/man1/corvale-help.1.gz",
        "usr/share/man/man1/corvale-dataserver.1.gz", "usr/share/metainfo/io.github.corvale.Corvale.metainfo.xml",
        "usr/share/doc/corvale/copyright", "usr/share/doc/corvale/changelog.gz",
        "usr/share/doc/corvale/examples/corvale-data.conf",
    };
    std::set<std::string> missing, extra;
    std::set_difference(expected.begin(), expected.end(), files.begin(), files.end(),
                        std::inserter(missing, missing.end()));
    std::set_difference(files.begin(), files.end(), expected.begin(), expected.end(),
                        std::inserter(extra, extra.end()));
    for (const std::string& file : missing)
        ADD_FAILURE() << "missing " << file;
    for (const std::string& file : extra)
        ADD_FAILURE() << "unexpected " << file;

    // The menu entry runs the packaged launcher; the metainfo names that entry.
    Output entry = Capture(Unpacked("usr/share/applications/corvale.desktop"));
    EXPECT_NE(entry.output.find("\nExec=\"/usr/bin/corvale-start\"\n"), std::string::npos) << entry.output;
    Output metainfo = Capture(Unpacked("usr/share/metainfo/io.github.corvale.Corvale.metainfo.xml"));
    EXPECT_NE(metainfo.output.find("<launchable type=\"desktop-id\">corvale.desktop</launchable>"), std::string::npos);

    if (!Have("lintian"))
        GTEST_SKIP() << "lintian is not installed (scripts/setup.sh installs it)";
    // Errors fail lintian itself; warnings are listed, and there should be none either.
    Output lintian = Capture("lintian --fail-on error " + ShellQuote(deb) + " 2>/dev/null");
    EXPECT_EQ(lintian.status, 0) << lintian.output;
    EXPECT_EQ(Matches(lintian.output, R"((?:^|\n)([EW]: [^\n]*))").size(), 0u) << lintian.output;
}

// Unpacked anywhere, the package's installer finds its season and the
// program starts on it.
TEST_F(PackageTest, UnpackedProgramsRunOnTheBundledSeason)
{
    std::string root = home + "/unpacked";
    ASSERT_EQ(Capture("dpkg-deb -x " + ShellQuote(deb) + " " + ShellQuote(root)).status, 0);
    Output install = Capture(ShellQuote(root + "/usr/bin/corvale-install"));
    ASSERT_EQ(install.status, 0);
    EXPECT_EQ(install.output, "Corvale installed in " + home + "/.local/share/corvale\n");

    pid_t program = fork();
    if (program == 0) {
        std::string corvale = root + "/usr/bin/corvale";
        execl(corvale.c_str(), corvale.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (!WaitForWindow("Corvale", "dialog", 10000)) {
        kill(program, SIGKILL);
        WaitForExit(program, 10000);
        FAIL() << "the unpacked corvale showed no main window";
    }
    QJsonObject window = DumpWhenLoaded();
    EXPECT_EQ(window["cursor"].toString(), "none");
    // The standings of the final 2003 season, New England first at 14-2, and
    // the whole season's 288 games.
    QJsonArray standings = RowsOf(window, 1005);
    EXPECT_EQ(standings.size(), 40);
    EXPECT_EQ(standings[1].toArray().toVariantList(), QJsonArray({"New England", "14", "2", "0", ".875"}).toVariantList());
    EXPECT_EQ(RowsOf(window, 1008).size(), 288);
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(program, 10000), 0);
}

}  // namespace
