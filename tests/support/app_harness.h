// Running dialogs in the test process: the application object, the
// program's module, the bundled season installed in the test's home, and
// the main window run with a body of test code inside its modal loop.
#pragma once

#include "platform/platform.h"
#include "tests/support/temp_home.h"

#include <QJsonObject>

#include <functional>
#include <string>
#include <vector>

// Makes the QApplication (offscreen) and hands the program's resources to
// the platform, once per process.
void EnsureApplication();

// Processes events for `ms` milliseconds.
void WaitMs(int ms);

// Processes events until `done` holds or `timeoutMs` passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000);

class AppTest : public TempHomeTest {
protected:
    // The platform's clock runs ten times as fast: the loading stages take
    // 30 ms instead of 300.
    void SetUp() override;
    void TearDown() override;

    // Copies the files of `seasonDir` (relative to the source tree) into the
    // install directory and points `Install` and the three paths at it.
    void InstallSeason(const std::string& seasonDir);

    // Runs the main window; `body` runs inside its loop once the loading
    // stages are over, and the window is closed after it.
    void RunMainWindow(const std::function<void(HWND)>& body);

    std::string installDir;  // the test's install directory
};

// Posts `command` to the main window and, once the window captioned
// `caption` is up, runs `inside` from a timer within that window's own
// modal loop; returns when `inside` has run and the window has ended or
// stays open hidden. False when the window never came.
bool RunInsideDialog(HWND mainWindow, WORD command, const std::wstring& caption, const std::function<void(HWND)>& inside);

// Every cell of the list view `id` of a window, row by row: LVM_GETITEMTEXTW
// for each of the columns the inspector's dump shows.
std::vector<std::vector<std::wstring>> ListRows(HWND window, int id);
std::wstring ListCell(HWND list, int row, int column);
std::wstring WindowText(HWND window);

// What the window inspector shows of a window, as winspy dumps it; one of
// its controls; a combo box's, list box's or tab control's entries; the
// texts painted on a static.
QJsonObject Dump(HWND window);
QJsonObject DumpedControl(HWND window, int id);
std::vector<std::wstring> Entries(HWND window, int id);
std::vector<std::wstring> Painted(HWND window, int id);

// Input a person gives, through the window inspector ("select", "scroll",
// "command", "close", "key", ...); false when the window cannot take it.
bool UserInput(HWND window, const std::string& verb, const std::vector<std::string>& arguments);

// True while the wait cursor shows.
bool WaitCursorShown();
