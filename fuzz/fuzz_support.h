// What the fuzz targets share: a private home for the process, each input
// written as a real file there, and the main window built once from its
// template with libFuzzer run inside it.
#pragma once

#include "app/main_window.h"
#include "app/pages.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "platform/resources.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv, int (*callback)(const uint8_t* data, size_t size));

namespace fuzz {

namespace fs = std::filesystem;

// A fresh directory for this process, removed at exit; HOME and the XDG
// directories point into it so that nothing of the user's is touched.
inline const std::string& Home()
{
    static const std::string* home = [] {
        std::string pattern = (fs::temp_directory_path() / "corvale-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        fs::create_directories(pattern + "/config");
        fs::create_directories(pattern + "/runtime");
        fs::permissions(pattern + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
        setenv("HOME", pattern.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (pattern + "/runtime").c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Home(), ignored);
        });
        return new std::string(pattern);
    }();
    return *home;
}

// Writes the input as `path` (under the home unless absolute) and returns
// the path as wide text.
inline std::wstring WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    std::string full = path.starts_with('/') ? path : Home() + "/" + path;
    std::ofstream(full, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return std::wstring(full.begin(), full.end());
}

// The main window and the test each input runs against it.
inline HWND g_window = nullptr;
inline int (*g_test)(HWND window, const uint8_t* data, size_t size) = nullptr;
inline int g_argc = 0;
inline char** g_argv = nullptr;

// Gives the window its pages and list columns as the main window does, then
// runs libFuzzer inside it: the window lives for the whole process and no
// event loop runs between inputs.
inline INT_PTR FuzzWindowProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return 0;
    g_window = window;
    g_mainWindow = window;
    CreatePageTabs(window);
    CreateListColumns(window);
    std::exit(LLVMFuzzerRunDriver(&g_argc, &g_argv, [](const uint8_t* data, size_t size) { return g_test(g_window, data, size); }));
}

// The main of a target that needs the main window: the offscreen
// application, the program's module, then the window from template 108.
inline int RunInMainWindow(int argc, char** argv, int (*test)(HWND window, const uint8_t* data, size_t size))
{
    g_argc = argc;
    g_argv = argv;
    g_test = test;
    Home();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int qtArgc = 1;
    static char name[] = "corvale-fuzz";
    static char* qtArgv[] = {name, nullptr};
    new QApplication(qtArgc, qtArgv);
    platform::SetProcessModule(&g_moduleResources);
    g_instance = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    if (!resource)
        return 1;
    DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, resource)), nullptr,
                            FuzzWindowProc, 0);
    return 1;  // reached only when the window could not be made
}

}  // namespace fuzz
