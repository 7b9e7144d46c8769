// The manual pages render cleanly and name every option the programs take;
// the software centre's metainfo validates.

#include "tests/support/temp_home.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Output {
    int status;          // exit status, -1 when the command did not end normally
    std::string text;    // what it printed on standard output
};

std::string Quote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command (120 s at most) and collects its standard output.
Output Capture(const std::string& command)
{
    Output result{-1, ""};
    FILE* pipe = popen(("timeout 120 sh -c " + Quote(command)).c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.text.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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
    {"corvale", nullptr},
    {"winspy", "winspy"},
    {"corvale-install", "corvale-install"},
    {"corvale-help", nullptr},
    {"corvale-dataserver", "corvale-dataserver"},
};

std::string PagePath(const std::string& page)
{
    return SourcePath("packaging/man/" + page + ".1");
}

TEST(ManPages, RenderWithoutWarningsAndHaveEverySection)
{
    if (!Have("man"))
        GTEST_SKIP() << "man is not installed";
    for (const auto& entry : kPages) {
        SCOPED_TRACE(entry.page);
        std::string path = PagePath(entry.page);
        ASSERT_TRUE(fs::exists(path));
        // groff's and man's complaints go to standard error, here captured alone.
        Output warnings = Capture("MANWIDTH=80 man --warnings -l " + Quote(path) + " 2>&1 >/dev/null");
        EXPECT_EQ(warnings.status, 0);
        EXPECT_EQ(warnings.text, "");
        Output page = Capture("MANWIDTH=80 man -l " + Quote(path) + " 2>/dev/null");
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES"})
            EXPECT_NE(page.text.find("\n" + std::string(section) + "\n"), std::string::npos) << section;
        EXPECT_NE(page.text.find("registry.reg"), std::string::npos);
        // The whatis line that apropos and lintian read starts with the page's name.
        std::string name = "\nNAME\n       " + std::string(entry.page);
        size_t at = page.text.find(name);
        EXPECT_TRUE(at != std::string::npos && std::string(" ,").find(page.text[at + name.size()]) != std::string::npos)
            << page.text.substr(0, 300);
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
        std::vector<std::string> words = Matches(help.text, R"((--[a-z]+))");
        std::string usage = help.text.substr(0, help.text.find('\n'));
        for (const std::string& argument : Matches(usage, R"(([A-Z][A-Z_]+))"))
            words.push_back(argument);
        for (const std::string& verb : Matches(help.text, R"(\n  winspy ([a-z]+))"))
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
        GTEST_SKIP() << "appstreamcli is not installed";
    Output validation = Capture("appstreamcli validate --no-net " + Quote(path) + " 2>&1");
    EXPECT_EQ(validation.status, 0) << validation.text;
}

}  // namespace
