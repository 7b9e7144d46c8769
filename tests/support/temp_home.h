// A fresh home for each test: the registry file and the window-station
// sockets of one test never meet those of another.
#pragma once

#include <gtest/gtest.h>
#include <string>

class TempHomeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `content` to `name` under the home and returns the full path.
    std::string WriteFile(const std::string& name, const std::string& content);
    static std::string ReadFile(const std::string& path);
    // The registry file's text as it is on disk ("" when there is none).
    std::string Registry() const;

    std::string home;        // the temporary home directory
    std::string configDir;   // $XDG_CONFIG_HOME
    std::string runtimeDir;  // $XDG_RUNTIME_DIR
};

// Path of a file in the bundled season or the test fixtures.
std::string SourcePath(const std::string& relative);
