// Dialogs, timers, controls, the menu bar and painting, driven through the
// platform API the way the program uses it.

#include "app/startup.h"
#include "platform/gdi.h"
#include "platform/inspect.h"
#include "platform/objects.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const DLGITEMTEMPLATEW kItems[] = {
    {kChild | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER, 0, 6, 28, 148, 60, 10, L"SysListView32", nullptr, 0},
    {kChild | WS_BORDER | LVS_REPORT, 0, 6, 100, 148, 40, 11, L"SysListView32", nullptr, 0},
    {kChild, 0, 0, 151, 160, 16, 12, L"SysTabControl32", nullptr, 0},
    {kChild | CBS_DROPDOWNLIST, 0, 70, 7, 77, 99, 13, L"combobox", nullptr, 0},
    {WS_CHILD | LBS_SORT, 0, 145, 146, 15, 14, 14, L"LISTBOX", nullptr, 0},
    {kChild | SS_CENTER, 0, 35, 5, 87, 9, 15, L"STATIC", L"title", 0},
    {WS_CHILD | SS_BITMAP, 0, 9, 31, 37, 6, 16, L"STATIC", nullptr, 118},
};
const DLGTEMPLATEW kTemplate = {WS_POPUP | WS_CAPTION, 0, 0, 0, 162, 167, L"Window Test", 8, L"MS Sans Serif", 7, kItems};

// Messages the test dialog received, and a body run once it is up.
struct Recorder {
    std::vector<std::pair<UINT, WPARAM>> messages;
    std::function<void(HWND)> body;
    bool fullScreen = true;
};
Recorder* g_recorder = nullptr;

INT_PTR RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_PAINT || message == WM_ERASEBKGND || message == WM_CTLCOLORSTATIC)
        return 0;
    g_recorder->messages.push_back({message, wParam});
    if (message == WM_INITDIALOG) {
        SHINITDLGINFO info = {SHIDIM_FLAGS, window, g_recorder->fullScreen ? DWORD(SHIDIF_SIZEDLGFULLSCREEN) : DWORD(0)};
        SHInitDialog(&info);
        QTimer::singleShot(0, [window] {
            g_recorder->body(window);
            EndDialog(window, 42);
        });
        return 1;
    }
    // Handles its commands, as a dialog with its own cancel path does.
    return message == WM_COMMAND;
}

class WindowTest : public AppTest {
protected:
    INT_PTR Run(const std::function<void(HWND)>& body)
    {
        recorder.body = body;
        g_recorder = &recorder;
        return DialogBoxIndirectParamW(g_instance, &kTemplate, nullptr, RecordingProc, 0);
    }

    bool Received(UINT message, WPARAM wParam) const
    {
        for (const auto& entry : recorder.messages)
            if (entry.first == message && entry.second == wParam)
                return true;
        return false;
    }

    Recorder recorder;
};

void AddColumns(HWND list, int count)
{
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column = {LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, i == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT, 40, const_cast<WCHAR*>(L"C"), 0, i};
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

int AddRow(HWND list, const WCHAR* first, const WCHAR* second)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<WCHAR*>(first);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = const_cast<WCHAR*>(second);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    return row;
}

TEST_F(WindowTest, TemplateBuildsControlsWithConsistentGeometry)
{
    EXPECT_EQ(Run([&](HWND window) {
        RECT screen, client, list;
        GetWindowRect(window, &screen);
        GetClientRect(window, &client);
        EXPECT_EQ(screen.left, 0);
        EXPECT_EQ(screen.top, 26);  // below the navigation bar
        EXPECT_EQ(client.right, 240);
        EXPECT_EQ(client.bottom, 268);  // above the menu bar
        // Sizing succeeds for a live dialog only, and with its flags named.
        SHINITDLGINFO info = {SHIDIM_FLAGS, window, SHIDIF_SIZEDLGFULLSCREEN};
        EXPECT_TRUE(SHInitDialog(&info));
        info.dwMask = 0;
        EXPECT_FALSE(SHInitDialog(&info));
        EXPECT_FALSE(SHInitDialog(nullptr));
        HWND standings = GetDlgItem(window, 10);
        GetWindowRect(standings, &list);
        EXPECT_EQ(list.left, 9);        // 6 units across
        EXPECT_EQ(list.top, 26 + 46);   // 28 units down
        EXPECT_EQ(list.right - list.left, 222);
        SetWindowPos(standings, HWND_TOP, 20, 30, 100, 50, 0);
        GetWindowRect(standings, &list);
        EXPECT_EQ(list.left, 20);
        EXPECT_EQ(list.top, 56);
        EXPECT_EQ(list.bottom - list.top, 50);
        GetClientRect(standings, &client);
        EXPECT_LT(client.right, 100);  // inside the border
        EXPECT_EQ(GetDlgCtrlID(GetDlgItem(window, 13)), 13);
        EXPECT_EQ(GetDlgItem(window, 99), nullptr);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, 15)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, 16)));  // created without WS_VISIBLE
        EXPECT_EQ(GetDlgItem(window, 13)->className, L"COMBOBOX");  // class names without case
    }), 42);
    ASSERT_FALSE(recorder.messages.empty());
    EXPECT_EQ(recorder.messages.front().first, static_cast<UINT>(WM_INITDIALOG));
}

TEST_F(WindowTest, ListViewKeepsCellsAndCutsTextAtTheBuffer)
{
    Run([](HWND window) {
        HWND list = GetDlgItem(window, 10);
        AddColumns(list, 2);
        EXPECT_EQ(AddRow(list, L"first", L"1"), 0);
        EXPECT_EQ(AddRow(list, L"second", std::wstring(300, L'x').c_str()), 1);
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(ListCell(list, 0, 0), L"first");
        EXPECT_EQ(ListCell(list, 0, 1), L"1");
        WCHAR cut[255] = {};
        LVITEMW item = {};
        item.iSubItem = 1;
        item.pszText = cut;
        item.cchTextMax = 255;
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item)), 254);
        EXPECT_EQ(std::wcslen(cut), 254u);
        item.cchTextMax = 1;  // room for the terminator alone
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item)), 0);
        EXPECT_EQ(cut[0], L'\0');
        EXPECT_EQ(ListCell(list, 7, 0), L"");   // no such row
        EXPECT_EQ(ListCell(list, 0, 50), L"");  // no such cell
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    });
}

TEST_F(WindowTest, ItemRectanglesFollowScrollingAndNotifyTheDialog)
{
    Run([&](HWND window) {
        HWND bare = GetDlgItem(window, 10);    // no header
        HWND headed = GetDlgItem(window, 11);  // with a header
        AddColumns(bare, 2);
        AddColumns(headed, 2);
        for (int i = 0; i < 40; ++i) {
            AddRow(bare, L"row", L"x");
            AddRow(headed, L"row", L"x");
        }
        RECT row0 = {}, row5 = {}, headedRow0 = {};
        ASSERT_TRUE(SendMessageW(bare, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0)));
        ASSERT_TRUE(SendMessageW(bare, LVM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&row5)));
        ASSERT_TRUE(SendMessageW(headed, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&headedRow0)));
        EXPECT_EQ(row0.top, 0);
        EXPECT_EQ(row5.top, 5 * (row0.bottom - row0.top));
        EXPECT_GT(headedRow0.top, 0);  // below the header
        RECT missing = {};
        EXPECT_FALSE(SendMessageW(bare, LVM_GETITEMRECT, 40, reinterpret_cast<LPARAM>(&missing)));
        recorder.messages.clear();
        std::string error;
        ASSERT_TRUE(InspectForTest(window, "scroll", {"10", "6"})) << error;
        RECT scrolled = {};
        SendMessageW(bare, LVM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&scrolled));
        EXPECT_LT(scrolled.top, 0);  // above the list's top edge now
        EXPECT_TRUE(Received(WM_NOTIFY, 10));
    });
}

TEST_F(WindowTest, TabsAndPickersNotifyOnlyForTheUsersChoice)
{
    Run([&](HWND window) {
        HWND tabs = GetDlgItem(window, 12);
        HWND picker = GetDlgItem(window, 13);
        for (const WCHAR* text : {L"One", L"Two", L"Three"}) {
            TCITEMW item = {TCIF_TEXT, 0, 0, const_cast<WCHAR*>(text), 0, -1, 0};
            SendMessageW(tabs, TCM_INSERTITEMW, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&item));
            SendMessageW(picker, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);  // the first tab inserted is current
        EXPECT_EQ(SendMessageW(picker, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageW(picker, CB_SETCURSEL, 2, 0), 2);
        EXPECT_EQ(SendMessageW(picker, CB_SETCURSEL, 7, 0), CB_ERR);
        EXPECT_EQ(SendMessageW(picker, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageW(picker, CB_SETITEMDATA, 1, -3), TRUE);
        EXPECT_EQ(SendMessageW(picker, CB_GETITEMDATA, 1, 0), -3);
        EXPECT_FALSE(Received(WM_COMMAND, MAKEWPARAM(13, CBN_SELCHANGE)));
        emit static_cast<QComboBox*>(picker->widget)->activated(1);
        EXPECT_TRUE(Received(WM_COMMAND, MAKEWPARAM(13, CBN_SELCHANGE)));
        EXPECT_EQ(SendMessageW(picker, CB_GETCURSEL, 0, 0), 1);
        emit static_cast<QTabBar*>(tabs->widget)->tabBarClicked(2);
        EXPECT_TRUE(Received(WM_NOTIFY, 12));
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
    });
}

TEST_F(WindowTest, SortedListBoxComparesWithoutCase)
{
    Run([](HWND window) {
        HWND list = GetDlgItem(window, 14);
        for (const WCHAR* name : {L"denver", L"Atlanta", L"Chicago", L"buffalo"})
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        std::vector<std::wstring> order;
        for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            WCHAR text[64] = {};
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            order.push_back(text);
        }
        EXPECT_EQ(order, (std::vector<std::wstring>{L"Atlanta", L"buffalo", L"Chicago", L"denver"}));
        EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 9, 0), LB_ERR);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
    });
}

TEST_F(WindowTest, TimersFireUntilKilled)
{
    Run([&](HWND window) {
        SetTimer(window, 5, 10, nullptr);
        WaitMs(100);
        KillTimer(window, 5);
        size_t fired = 0;
        for (const auto& entry : recorder.messages)
            fired += entry.first == WM_TIMER && entry.second == 5;
        EXPECT_GE(fired, 2u);
        recorder.messages.clear();
        WaitMs(50);
        EXPECT_FALSE(Received(WM_TIMER, 5));
        EXPECT_FALSE(KillTimer(window, 5));
    });
}

// An inner ownerless dialog leaves the outer one working; EndDialog hides at once.
TEST_F(WindowTest, NestedDialogLeavesTheOuterUsable)
{
    static bool outerGotTimer = false;
    static bool hiddenAtOnce = false;
    Run([&](HWND window) {
        SetTimer(window, 9, 10, nullptr);
        static Recorder inner;
        inner.body = [](HWND dialog) {
            outerGotTimer = WaitUntil([] {
                for (const auto& entry : g_recorder->messages)
                    if (entry.first == WM_TIMER)
                        return true;
                return false;
            });
            EndDialog(dialog, 3);
            hiddenAtOnce = !IsWindowVisible(dialog);
        };
        Recorder* saved = g_recorder;
        EXPECT_EQ(DialogBoxIndirectParamW(g_instance, &kTemplate, nullptr,
                                          [](HWND d, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
                                              if (m == WM_INITDIALOG) {
                                                  QTimer::singleShot(0, [d] { inner.body(d); });
                                                  return 1;
                                              }
                                              return RecordingProc(d, m, w, l);
                                          },
                                          0),
                  3);
        g_recorder = saved;
        KillTimer(window, 9);
    });
    EXPECT_TRUE(outerGotTimer);
    EXPECT_TRUE(hiddenAtOnce);
}

TEST_F(WindowTest, CloseButtonEscapeEnterAndMinimiseArriveAsMessages)
{
    Run([&](HWND window) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window->widget, &escape);
        EXPECT_TRUE(WaitUntil([&] { return Received(WM_COMMAND, IDCANCEL); }));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(window->widget, &enter);
        EXPECT_TRUE(WaitUntil([&] { return Received(WM_COMMAND, IDOK); }));
        recorder.messages.clear();
        window->widget->close();  // the close button: the procedure decides, the window stays
        EXPECT_TRUE(WaitUntil([&] { return Received(WM_COMMAND, IDCANCEL); }));
        EXPECT_TRUE(IsWindowVisible(window));
        window->widget->showMinimized();
        EXPECT_TRUE(WaitUntil([&] { return Received(WM_SIZE, SIZE_MINIMIZED); }));
    });
}

// Dialogs that leave IDCANCEL unhandled: the close button and Escape press
// the dialog's Cancel button, and a dialog with neither simply ends; a
// close button never does nothing.
const DLGITEMTEMPLATEW kButtons[] = {
    {kChild | BS_PUSHBUTTON, 0, 19, 128, 50, 18, 1039, L"BUTTON", L"Save", 0},
    {kChild | BS_PUSHBUTTON, 0, 91, 128, 50, 18, 1040, L"BUTTON", L"Cancel", 0},
};
const DLGTEMPLATEW kWithCancel = {WS_POPUP | WS_CAPTION, 0, 0, 0, 160, 160, L"Cancel Test", 8, L"MS Sans Serif", 2, kButtons};
const DLGTEMPLATEW kWithout = {WS_POPUP | WS_CAPTION, 0, 0, 0, 160, 160, L"Cancel Test", 8, L"MS Sans Serif", 1, kButtons};

INT_PTR ButtonsEndIt(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == 1039 || LOWORD(wParam) == 1040)) {
        EndDialog(window, LOWORD(wParam));
        return 1;
    }
    return message == WM_INITDIALOG;
}

TEST_F(WindowTest, CloseButtonAndEscapeCloseDialogsThatLeaveCancelUnhandled)
{
    struct Case {
        const DLGTEMPLATEW* dialog;
        bool escape;      // Escape rather than the close button
        INT_PTR result;   // how the dialog ended
    };
    for (const Case& c : {Case{&kWithCancel, false, 1040}, Case{&kWithCancel, true, 1040}, Case{&kWithout, false, IDCANCEL},
                          Case{&kWithout, true, IDCANCEL}}) {
        SCOPED_TRACE(std::to_string(c.dialog->cdit) + (c.escape ? " escape" : " close"));
        QTimer::singleShot(0, [&c] {
            HWND window = FindWindowW(nullptr, L"Cancel Test");
            ASSERT_NE(window, nullptr);
            QTimer::singleShot(3000, [window] { EndDialog(window, -1); });  // never hang
            if (c.escape) {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(window->widget, &escape);
            } else {
                window->widget->close();
            }
        });
        EXPECT_EQ(DialogBoxIndirectParamW(g_instance, c.dialog, nullptr, ButtonsEndIt, 0), c.result);
    }
}

TEST_F(WindowTest, MenuBarButtonsOpenThePopupsAndSendTheirCommands)
{
    Run([&](HWND window) {
        SHMENUBARINFO info = {};
        info.cbSize = sizeof info;
        info.hwndParent = window;
        info.nToolBarId = 102;
        info.hInstRes = g_instance;
        ASSERT_TRUE(SHCreateMenuBar(&info));
        ASSERT_NE(info.hwndMB, nullptr);
        EXPECT_EQ(info.hwndMB->data.items, (std::vector<std::wstring>{L"File", L"Tools", L"Help"}));
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.bottom, 268);  // the bar sits below the client area
        QList<QToolButton*> buttons = window->menuBar->findChildren<QToolButton*>();
        ASSERT_EQ(buttons.size(), 3);
        QList<QAction*> actions = buttons[1]->menu()->actions();
        ASSERT_EQ(actions.size(), 3);  // Options, separator, Calendar
        EXPECT_EQ(actions[0]->text(), "Options");
        EXPECT_TRUE(actions[1]->isSeparator());
        actions[2]->trigger();
        EXPECT_TRUE(WaitUntil([&] { return Received(WM_COMMAND, 40011); }));
        info.dwFlags = SHCMBF_EMPTYBAR;
        EXPECT_FALSE(SHCreateMenuBar(&info));  // one bar per window
        info.nToolBarId = 999;
        info.dwFlags = 0;
        EXPECT_FALSE(SHCreateMenuBar(&info));
    });
}

TEST_F(WindowTest, TextDrawnOnAControlIsKeptUntilTheNextPaint)
{
    Run([](HWND window) {
        HWND title = GetDlgItem(window, 15);
        RECT area;
        GetClientRect(title, &area);
        PAINTSTRUCT paint;
        HDC context = BeginPaint(title, &paint);
        LOGFONTW description = {};
        description.lfHeight = 14;
        description.lfWeight = FW_BOLD;
        std::wcscpy(description.lfFaceName, L"Tahoma");
        HFONT font = CreateFontIndirectW(&description);
        SelectObject(context, font);
        SetBkMode(context, OPAQUE);
        SetTextColor(context, RGB(255, 0, 0));
        DrawTextW(context, L" 2003 NFL Standings ", -1, &area, DT_CENTER | DT_SINGLELINE);
        EndPaint(title, &paint);
        DeleteObject(font);
        ASSERT_EQ(title->data.painted.size(), 1u);
        EXPECT_EQ(title->data.painted[0].text, L" 2003 NFL Standings ");
        EXPECT_EQ(title->data.painted[0].color, RGB(255, 0, 0));
        EXPECT_EQ(title->data.painted[0].font.lfWeight, FW_BOLD);
        title->widget->repaint();  // a repaint keeps it
        EXPECT_EQ(title->data.painted.size(), 1u);
        BeginPaint(title, &paint);
        EndPaint(title, &paint);
        EXPECT_TRUE(title->data.painted.empty());
    });
}

// A description's height, weight and slant are what a person sees drawn:
// the standings title is bold and upright.
TEST_F(WindowTest, DrawnFontFollowsItsDescription)
{
    struct Case {
        LONG height, weight;
        BYTE italic;
        int pixels;
        bool bold, slanted;
    };
    const Case cases[] = {{14, FW_BOLD, 0, 21, true, false}, {-14, 400, 0, 21, false, false},
                          {14, 599, 1, 21, false, true}, {0, 600, 0, 16, true, false}};
    for (const Case& c : cases) {
        LOGFONTW description = {};
        description.lfHeight = c.height;
        description.lfWeight = c.weight;
        description.lfItalic = c.italic;
        std::wcscpy(description.lfFaceName, L"Tahoma");
        QFont font = platform::FontFrom(description);
        EXPECT_EQ(font.pixelSize(), c.pixels) << c.height;
        EXPECT_EQ(font.bold(), c.bold) << c.weight;
        EXPECT_EQ(font.italic(), c.slanted) << int(c.italic);
    }
}

TEST_F(WindowTest, WaitCursorShowsInTheDump)
{
    Run([](HWND window) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        EXPECT_TRUE(platform::DescribeWindow(window, true).find("\"cursor\":\"wait\"") != std::string::npos);
        SetCursor(LoadCursorW(nullptr, nullptr));
        EXPECT_TRUE(platform::DescribeWindow(window, true).find("\"cursor\":\"none\"") != std::string::npos);
    });
}

}  // namespace
