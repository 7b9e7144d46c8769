#include "tests/support/temp_home.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

void TempHomeTest::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "corvale-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    ASSERT_NE(made, nullptr);
    home = made;
    configDir = home + "/config";
    runtimeDir = home + "/runtime";
    fs::create_directories(configDir);
    fs::create_directories(runtimeDir);
    fs::permissions(runtimeDir, fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void TempHomeTest::TearDown()
{
    std::error_code ignored;
    if (!home.empty())
        fs::remove_all(home, ignored);
}

std::string TempHomeTest::WriteFile(const std::string& name, const std::string& content)
{
    std::string path = home + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path;
}

std::string TempHomeTest::ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempHomeTest::Registry() const
{
    return ReadFile(configDir + "/corvale/registry.reg");
}

std::string SourcePath(const std::string& relative)
{
    return std::string(CORVALE_SOURCE_DIR) + "/" + relative;
}
