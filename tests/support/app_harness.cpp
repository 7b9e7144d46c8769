#include "tests/support/app_harness.h"

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/standings.h"
#include "platform/gdi.h"
#include "platform/objects.h"
#include "platform/resources.h"
#include "platform/testing.h"
#include "settings/settings.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QElapsedTimer>
#include <QTimer>

#include <filesystem>

namespace fs = std::filesystem;

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "corvale-test";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        platform::StartFontWarmUp();  // as the program's start does
        new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    platform::SetProcessModule(&g_moduleResources);
    g_instance = GetModuleHandleW(nullptr);
}

void WaitMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void AppTest::SetUp()
{
    TempHomeTest::SetUp();
    EnsureApplication();
    g_timeZoneOffset = 0;
    g_favouriteTeam = 0;
    g_timeZoneIndex = 11;
    g_seasonLabel[0] = L'\0';
    installDir = home + "/install";
    fs::create_directories(installDir);
    SetClockSpeedForTest(10);
}

void AppTest::TearDown()
{
    SetClockSpeedForTest(1);
    TempHomeTest::TearDown();
}

void AppTest::InstallSeason(const std::string& seasonDir)
{
    for (const char* name : {"Standings.dat", "Schedule.dat", "Season.dat"}) {
        fs::path from = SourcePath(seasonDir) + "/" + name;
        if (fs::exists(from))
            fs::copy_file(from, installDir + "/" + name, fs::copy_options::overwrite_existing);
    }
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    std::wstring dir(installDir.begin(), installDir.end());
    RegSetValueExW(key, L"Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                   static_cast<DWORD>((dir.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    ASSERT_EQ(ReadInstallDirectory(), 1);
}

void AppTest::RunMainWindow(const std::function<void(HWND)>& body)
{
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    ASSERT_NE(resource, nullptr);
    bool ran = false;
    QTimer::singleShot(0, [&] {
        HWND window = g_mainWindow;
        // The stages end with the wait cursor removed.
        EXPECT_TRUE(WaitUntil([] { return !WaitCursorShown(); }, 5000));
        body(window);
        ran = true;
        if (IsWindow(window))
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, resource)), nullptr,
                            MainDialogProc, 0);
    EXPECT_TRUE(ran);
}

bool RunInsideDialog(HWND mainWindow, WORD command, const std::wstring& caption, const std::function<void(HWND)>& inside)
{
    bool ran = false;
    HWND dialog = nullptr;
    QTimer poll;
    poll.setInterval(0);  // every pass of the loop: a dialog may last only milliseconds
    QObject::connect(&poll, &QTimer::timeout, [&] {
        dialog = FindWindowW(nullptr, caption.c_str());
        if (!dialog || ran)
            return;
        poll.stop();
        inside(dialog);
        ran = true;
    });
    poll.start();
    PostMessageW(mainWindow, WM_COMMAND, command, 0);
    WaitUntil([&] { return ran && (!IsWindow(dialog) || !IsWindowVisible(dialog)); }, 5000);
    return ran;
}

std::vector<std::vector<std::wstring>> ListRows(HWND window, int id)
{
    HWND list = GetDlgItem(window, id);
    const int columns = static_cast<int>(DumpedControl(window, id)["columns"].toArray().size());
    std::vector<std::vector<std::wstring>> rows;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        rows.emplace_back();
        for (int column = 0; column < columns; ++column)
            rows.back().push_back(ListCell(list, row, column));
    }
    return rows;
}

std::wstring ListCell(HWND list, int row, int column)
{
    WCHAR text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring WindowText(HWND window)
{
    WCHAR text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

QJsonObject Dump(HWND window)
{
    std::string json;
    if (!InspectForTest(window, "dump", {}, &json))
        return QJsonObject();
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

QJsonObject DumpedControl(HWND window, int id)
{
    for (const QJsonValue& control : Dump(window)["controls"].toArray())
        if (control["id"].toInt() == id)
            return control.toObject();
    return QJsonObject();
}

static std::vector<std::wstring> Texts(const QJsonArray& array)
{
    std::vector<std::wstring> texts;
    for (const QJsonValue& text : array)
        texts.push_back(text.toString().toStdWString());
    return texts;
}

std::vector<std::wstring> Entries(HWND window, int id)
{
    return Texts(DumpedControl(window, id)["items"].toArray());
}

std::vector<std::wstring> Painted(HWND window, int id)
{
    return Texts(DumpedControl(window, id)["painted"].toArray());
}

bool UserInput(HWND window, const std::string& verb, const std::vector<std::string>& arguments)
{
    return InspectForTest(window, verb, arguments);
}

bool WaitCursorShown()
{
    return GetCursor() != nullptr && GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
}
