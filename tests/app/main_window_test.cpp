// The main window in process: set-up, pages and their layouts, the title,
// the division images, secondary windows found by caption, minimising.

#include "app/main_window.h"
#include "app/pages.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/standings.h"
#include "platform/objects.h"  // the title test reads how gdi drew its text
#include "platform/testing.h"
#include "settings/settings.h"
#include "tests/support/app_harness.h"
#include "tests/support/program.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace {

class MainWindowTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }

    static void SelectTab(HWND window, int page)
    {
        ASSERT_TRUE(UserInput(window, "select", {"1001", std::to_string(page)}));
    }

    // IDs of the visible page controls; the division images are placed
    // apart from the page switch and checked on their own.
    static std::vector<int> VisibleControls(HWND window)
    {
        std::vector<int> visible;
        for (int id = 1001; id <= 1037; ++id)
            if ((id < IDC_DIVISION_FIRST || id > IDC_DIVISION_LAST) && IsWindowVisible(GetDlgItem(window, id)))
                visible.push_back(id);
        return visible;
    }

    // The visible windows of this caption that `winspy list` shows of this process.
    static int CountTopLevel(const std::wstring& caption)
    {
        int count = 0;
        for (const std::string& line : ListForTest()) {
            QJsonObject window = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            count += window["caption"].toString().toStdWString() == caption && window["visible"].toBool();
        }
        return count;
    }
};

TEST_F(MainWindowTest, OpensFullScreenWithPickersTabsAndColumns)
{
    StoreSettings(L"0", 5);
    RunMainWindow([](HWND window) {
        EXPECT_EQ(g_mainWindow, window);
        RECT screen;
        GetWindowRect(window, &screen);
        EXPECT_EQ(screen.top, 26);
        EXPECT_EQ(screen.right - screen.left, 240);
        HWND teams = GetDlgItem(window, IDC_TEAM_PICKER);
        HWND weeks = GetDlgItem(window, IDC_WEEK_PICKER);
        const std::vector<std::wstring> teamNames = Entries(window, IDC_TEAM_PICKER), weekNames = Entries(window, IDC_WEEK_PICKER);
        EXPECT_EQ(teamNames.size(), 32u);
        EXPECT_EQ(teamNames[0], L"Arizona");
        EXPECT_EQ(SendMessageW(teams, CB_GETCURSEL, 0, 0), 5);  // the favourite team
        EXPECT_EQ(SendMessageW(weeks, CB_GETCURSEL, 0, 0), 0);
        ASSERT_EQ(weekNames.size(), 21u);
        EXPECT_EQ(weekNames[16], L"Week 17");
        EXPECT_EQ(std::vector<std::wstring>(weekNames.begin() + 17, weekNames.end()),
                  (std::vector<std::wstring>{L"Wild Card", L"Divisonal", L"Conference", L"Super Bowl"}));
        EXPECT_EQ(Entries(window, IDC_PAGE_TABS),
                  (std::vector<std::wstring>{L" Standings ", L"   Team   ", L"   Week   ", L"   Year   "}));
        auto style = [window](int id) { return SendMessageW(GetDlgItem(window, id), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); };
        const QJsonArray standings = DumpedControl(window, IDC_STANDINGS_LIST)["columns"].toArray();
        ASSERT_EQ(standings.size(), 5);
        EXPECT_EQ(standings[0]["width"].toInt(), 80);
        EXPECT_EQ(standings[4]["text"].toString(), "Pct");
        EXPECT_EQ(standings[4]["align"].toString(), "right");
        EXPECT_EQ(style(IDC_STANDINGS_LIST), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        const QJsonArray week = DumpedControl(window, IDC_WEEK_LIST)["columns"].toArray();
        EXPECT_EQ(week[2]["text"].toString(), "Odds");
        EXPECT_EQ(week[2]["align"].toString(), "center");
        EXPECT_EQ(style(IDC_WEEK_LIST), LVS_EX_FULLROWSELECT);
        EXPECT_EQ(DumpedControl(window, IDC_SCHEDULE_TABLE)["columns"].toArray().size(), 108);
        EXPECT_EQ(style(IDC_SCHEDULE_TABLE), 0);
        EXPECT_FALSE(WaitCursorShown());
    });
}

// Every page reached from every page (itself included) shows its own
// controls and nothing of the others.
TEST_F(MainWindowTest, EachTabShowsItsPageAndHidesTheOthers)
{
    RunMainWindow([](HWND window) {
        const std::vector<int> pages[4] = {
            {1001, 1002, 1005, 1019},
            {1001, 1006, 1021, 1022, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036},
            {1001, 1007, 1020, 1023},
            {1001, 1008}};
        EXPECT_EQ(VisibleControls(window), pages[0]);
        for (int from = 0; from < 4; ++from) {
            for (int to = 0; to < 4; ++to) {
                SelectTab(window, from);
                SelectTab(window, to);
                EXPECT_EQ(VisibleControls(window), pages[to]) << from << " to " << to;
                for (int id = IDC_DIVISION_FIRST; id <= IDC_DIVISION_LAST; ++id)
                    EXPECT_EQ(IsWindowVisible(GetDlgItem(window, id)) != 0, to == 0 && id <= 1013) << from << " to " << to << ": " << id;
            }
        }
    });
}

TEST_F(MainWindowTest, DivisionImagesLieOverTheirRowsAndFollowScrolling)
{
    RunMainWindow([](HWND window) {
        HWND list = GetDlgItem(window, IDC_STANDINGS_LIST);
        for (int i = 0; i < 40; ++i) {
            LVITEMW item = {LVIF_TEXT, i, 0, 0, 0, const_cast<WCHAR*>(L""), 0, 0, 0};
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        PlaceDivisionHeaders(window);
        RECT listRect, rowRect = {}, imageRect;
        GetWindowRect(list, &listRect);
        for (int k = 0; k < 8; ++k) {
            HWND image = GetDlgItem(window, IDC_DIVISION_FIRST + k);
            SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(5 * k), reinterpret_cast<LPARAM>(&rowRect));
            bool shouldShow = (k < 3 ? rowRect.bottom : rowRect.top) < listRect.bottom - 92;
            EXPECT_EQ(IsWindowVisible(image) != 0, shouldShow) << "image " << k;
            if (!shouldShow)
                continue;
            GetWindowRect(image, &imageRect);
            // Inside the list, over the top of the division's row.
            EXPECT_EQ(imageRect.left, listRect.left + 30);
            EXPECT_GE(imageRect.top, listRect.top + rowRect.top);
            EXPECT_LT(imageRect.bottom, listRect.top + rowRect.bottom + 2);
            EXPECT_LT(imageRect.bottom, listRect.bottom);
        }
        // Scrolled by whole rows of 14 pixels: an image shows while its row
        // has not passed the list's top edge and lies in the upper part of
        // the list (rows 0, 5 and 10 by their bottom edge, the others by
        // their top edge, both left of 170 pixels down).
        const std::pair<int, std::vector<int>> scrolls[] = {
            {0, {1011, 1012, 1013}},
            {3, {1012, 1013, 1014}},  // row 15 from 168 to 182: its top is above the limit
            {6, {1013, 1014}},        // row 5 above the top edge
            {8, {1013, 1014, 1015}},
            {20, {1015, 1016, 1017}},
            {35, {1018}},
            {36, {}},
            {0, {1011, 1012, 1013}},  // and back
        };
        for (const auto& [scroll, expected] : scrolls) {
            std::string error;
            ASSERT_TRUE(InspectForTest(window, "scroll", {"1005", std::to_string(scroll)})) << error;
            std::vector<int> shown;
            for (int id = IDC_DIVISION_FIRST; id <= IDC_DIVISION_LAST; ++id)
                if (IsWindowVisible(GetDlgItem(window, id)))
                    shown.push_back(id);
            EXPECT_EQ(shown, expected) << "scrolled by " << scroll << " rows";
        }
        // Fewer rows: images of missing rows are hidden.
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        PlaceDivisionHeaders(window);
        for (int id = IDC_DIVISION_FIRST; id <= IDC_DIVISION_LAST; ++id)
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, id))) << id;
        SelectTab(window, 1);
        for (int id = IDC_DIVISION_FIRST; id <= IDC_DIVISION_LAST; ++id)
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, id))) << id;
    });
}

TEST_F(MainWindowTest, TitleIsDrawnInRedOnTheStandingsPageOnly)
{
    RunMainWindow([](HWND window) {
        std::wcscpy(g_seasonLabel, L"2003");
        HWND title = GetDlgItem(window, IDC_STANDINGS_TITLE);
        PaintStandingsTitle(window);
        ASSERT_EQ(title->data.painted.size(), 1u);
        const PaintedText& drawn = title->data.painted[0];
        EXPECT_EQ(drawn.text, L" 2003 NFL Standings ");
        EXPECT_EQ(drawn.color, RGB(255, 0, 0));
        EXPECT_EQ(drawn.format, static_cast<UINT>(DT_CENTER | DT_SINGLELINE));
        EXPECT_EQ(drawn.backgroundMode, OPAQUE);
        EXPECT_EQ(drawn.font.lfHeight, 14);
        EXPECT_EQ(drawn.font.lfWeight, 700);
        EXPECT_STREQ(drawn.font.lfFaceName, L"Tahoma");
        RECT client;
        GetClientRect(title, &client);  // over the whole of the title control
        EXPECT_EQ(std::vector<LONG>({drawn.rect.left, drawn.rect.top, drawn.rect.right, drawn.rect.bottom}),
                  std::vector<LONG>({client.left, client.top, client.right, client.bottom}));
        // The title control repainting on its own draws the new label.
        std::wcscpy(g_seasonLabel, L"2004");
        InvalidateRect(title, nullptr, TRUE);
        EXPECT_TRUE(WaitUntil([title] { return !title->data.painted.empty() && title->data.painted[0].text == L" 2004 NFL Standings "; }));
        SelectTab(window, 2);
        SendMessageW(window, WM_PAINT, 0, 0);
        EXPECT_FALSE(IsWindowVisible(title));
        SelectTab(window, 0);
        EXPECT_TRUE(IsWindowVisible(title));
        // A label of 129 characters makes the title longer than 127: it is cut.
        std::wcscpy(g_seasonLabel, std::wstring(129, L'9').c_str());
        WCHAR text[128];
        BuildStandingsTitle(text);
        EXPECT_EQ(std::wstring(text), L" " + std::wstring(126, L'9'));
    });
}

// The secondary dialogs run nested modal loops inside the main window's:
// the checks run from a timer inside the innermost loop.
TEST_F(MainWindowTest, SecondaryWindowsOpenOnceAndEndWithTheMainWindow)
{
    int options = -1, calendars = -1;
    LRESULT dropDown = -1, unknown = -1, minimised = -1;
    RunMainWindow([&](HWND window) {
        PostMessageW(window, WM_COMMAND, IDM_OPTIONS, 0);
        PostMessageW(window, WM_COMMAND, IDM_OPTIONS, 0);
        PostMessageW(window, WM_COMMAND, IDM_CALENDAR, 0);
        QTimer::singleShot(300, [&, window] {
            options = CountTopLevel(L"RVL Options");
            calendars = CountTopLevel(L"RVL Calendar");
            // The main window still answers while they are up.
            dropDown = SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TEAM_PICKER, CBN_DROPDOWN), 0);
            unknown = SendMessageW(window, WM_COMMAND, 12345, 0);
            // Minimising ends every secondary window and then the main window.
            minimised = SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, 0);
        });
        EXPECT_TRUE(WaitUntil([window] { return !IsWindowVisible(window); }, 5000));
    });
    EXPECT_EQ(options, 1);
    EXPECT_EQ(calendars, 1);
    EXPECT_EQ(dropDown, 1);
    EXPECT_EQ(unknown, 0);
    EXPECT_EQ(minimised, 1);
    EXPECT_EQ(CountTopLevel(L"RVL Options"), 0);
    EXPECT_EQ(CountTopLevel(L"RVL Calendar"), 0);
    EXPECT_EQ(CountTopLevel(L"Corvale"), 0);
}

// Options and Download cover the screen below the navigation bar, as the
// main window does, whatever their templates' sizes.
TEST_F(MainWindowTest, OptionsAndDownloadFillTheScreen)
{
    SetMessageBoxHookForTest([](const std::wstring&, const std::wstring&, UINT) { return IDOK; });
    InternetRedirectForTest(80, 1);  // nothing listens there: the download fails at once
    // The rectangle a window dump shows: x, y, width, height.
    auto dumped = [](HWND window) {
        std::vector<int> rect;
        for (const QJsonValue& value : Dump(window)["rect"].toArray())
            rect.push_back(value.toInt());
        return rect;
    };
    RunMainWindow([&](HWND window) {
        const std::vector<int> screen = dumped(window);
        EXPECT_EQ(screen, (std::vector<int>{0, 26, 240, 294}));  // below the navigation bar, its menu bar at the bottom
        for (const auto& [command, caption] : {std::pair{IDM_OPTIONS, L"RVL Options"}, std::pair{IDM_DOWNLOAD, L"RVL Download"}}) {
            std::vector<int> rect;
            ASSERT_TRUE(RunInsideDialog(window, command, caption, [&](HWND dialog) {
                rect = dumped(dialog);
                if (command == IDM_OPTIONS)
                    SendMessageW(dialog, WM_COMMAND, IDC_CANCEL, 0);
            }));
            EXPECT_EQ(rect, screen) << command;
        }
        EXPECT_TRUE(WaitUntil([] { return FindWindowW(nullptr, L"RVL Download") == nullptr; }, 8000));
    });
    InternetRedirectForTest(-1, -1);
    SetMessageBoxHookForTest(nullptr);
}

// The fills run in stages after the window opens: Team and Week pages,
// then the season list, then the wait cursor goes.
TEST_F(MainWindowTest, LoadingStagesFillThePagesInOrder)
{
    SetClockSpeedForTest(1);  // stages 100 ms apart: the watch below, looking again at most every 50 ms, sees each
    std::vector<std::string> seen;
    QTimer::singleShot(0, [&] {
        HWND window = g_mainWindow;
        auto state = [window] {
            std::string now;
            now += SendMessageW(GetDlgItem(window, IDC_STANDINGS_LIST), LVM_GETITEMCOUNT, 0, 0) ? "S" : "-";
            now += SendMessageW(GetDlgItem(window, IDC_TEAM_LIST), LVM_GETITEMCOUNT, 0, 0) ? "T" : "-";
            now += SendMessageW(GetDlgItem(window, IDC_WEEK_LIST), LVM_GETITEMCOUNT, 0, 0) ? "W" : "-";
            now += SendMessageW(GetDlgItem(window, IDC_SEASON_LIST), LVM_GETITEMCOUNT, 0, 0) ? "Y" : "-";
            now += WaitCursorShown() ? "c" : "-";
            return now;
        };
        WaitUntil([&] {
            if (seen.empty() || seen.back() != state())
                seen.push_back(state());
            return seen.back() == "STWY-";
        }, 5000);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, resource)), nullptr, MainDialogProc, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"S---c", "STW-c", "STWYc", "STWY-"}));
}

TEST_F(MainWindowTest, PickersRefillTheirPageOnlyOnASelectionChange)
{
    g_favouriteTeam = 5;
    StoreSettings(L"0", 5, 11);
    RunMainWindow([](HWND window) {
        HWND teamList = GetDlgItem(window, IDC_TEAM_LIST);
        EXPECT_EQ(ListCell(teamList, 0, 1), L"7 @ San Francisco 49");  // Chicago, team row 5
        EXPECT_EQ(ListCell(GetDlgItem(window, IDC_WEEK_LIST), 0, 1), L"New England 0 @ Buffalo 31");
        SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_SETCURSEL, 0, 0);
        EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TEAM_PICKER, CBN_DROPDOWN), 0), 1);
        EXPECT_EQ(ListCell(teamList, 0, 1), L"7 @ San Francisco 49");  // unchanged
        EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TEAM_PICKER, CBN_SELCHANGE), 0), 1);
        EXPECT_EQ(ListCell(teamList, 0, 1), L"24 @ Detroit 42");  // Arizona
        ASSERT_TRUE(UserInput(window, "select", {"1023", "2"}));
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_PERCENTAGE)), L".250");
        EXPECT_EQ(ListRows(window, IDC_WEEK_LIST).back()[0], L"Bye");
    });
}

// The dialog procedure answers 1 for what it handled and 0 where the
// dialog's own handling goes on; the title's colour answer is a brush.
TEST_F(MainWindowTest, DialogProcedureAnswersWhatItHandled)
{
    RunMainWindow([](HWND window) {
        struct Case {
            const char* what;
            UINT message;
            WPARAM wParam;
            LPARAM lParam;
            LRESULT result;
        };
        const LPARAM otherStatic = reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_TOTAL_WINS));
        const Case cases[] = {
            {"team picker dropped down", WM_COMMAND, MAKEWPARAM(IDC_TEAM_PICKER, CBN_DROPDOWN), 0, 1},
            {"week picker dropped down", WM_COMMAND, MAKEWPARAM(IDC_WEEK_PICKER, CBN_DROPDOWN), 0, 1},
            {"week picked", WM_COMMAND, MAKEWPARAM(IDC_WEEK_PICKER, CBN_SELCHANGE), 0, 1},
            {"unknown command", WM_COMMAND, 12345, 0, 0},
            {"help (no viewer beside the tests)", WM_COMMAND, IDM_HELP_CONTENTS, 0, 1},
            {"unknown timer", WM_TIMER, 4, 0, 0},
            {"loading stages once more", WM_TIMER, 1, 0, 1},
            {"second loading stage", WM_TIMER, 2, 0, 1},
            {"last loading stage", WM_TIMER, 3, 0, 1},
            {"restored", WM_SIZE, SIZE_RESTORED, 0, 0},
            {"maximised", WM_SIZE, 2, 0, 0},  // SIZE_MAXIMIZED
            {"activated", WM_ACTIVATE, WA_ACTIVE, 0, 1},
            {"deactivated", WM_ACTIVATE, WA_INACTIVE, 0, 0},
            {"activated by a click", WM_ACTIVATE, WA_CLICKACTIVE, 0, 0},
            {"paint", WM_PAINT, 0, 0, 0},
            {"colour of another static", WM_CTLCOLORSTATIC, 0, otherStatic, 0},
            {"tab notification", WM_NOTIFY, IDC_PAGE_TABS, 0, 0},
            {"list notification", WM_NOTIFY, IDC_STANDINGS_LIST, 0, 0},
            {"any other message", WM_USER, 0, 0, 0},
        };
        for (const Case& c : cases)
            EXPECT_EQ(SendMessageW(window, c.message, c.wParam, c.lParam), c.result) << c.what;
        EXPECT_EQ(SendMessageW(window, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_STANDINGS_TITLE))),
                  reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
        EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
        // A menu command answers once its window has come and gone.
        QTimer::singleShot(100, [] { EndDialog(FindWindowW(nullptr, L"About Corvale"), 1); });
        EXPECT_EQ(SendMessageW(window, WM_COMMAND, IDM_ABOUT, 0), 1);
        // Activation shows the window again.
        ShowWindow(window, SW_HIDE);
        SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
        EXPECT_FALSE(IsWindowVisible(window));
        SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(SendMessageW(window, WM_COMMAND, IDCANCEL, 0), 1);
        EXPECT_FALSE(IsWindowVisible(window));  // ended
    });
}

// A window found by its exact caption is shown and made the active one.
TEST_F(MainWindowTest, BringWindowForwardShowsAndActivatesTheWindowOfThatCaption)
{
    static std::vector<WPARAM> activations;  // what the other window was told
    RunMainWindow([](HWND window) {
        EXPECT_EQ(BringWindowForward(L"Corval"), 0);
        EXPECT_EQ(CloseHelpViewer(), 0);
        QTimer::singleShot(50, [window] {
            HWND other = FindWindowW(nullptr, L"About Corvale");
            ASSERT_NE(other, nullptr);
            ShowWindow(other, SW_HIDE);
            SetForegroundWindow(window);
            activations.clear();
            EXPECT_EQ(BringWindowForward(L"About Corvale"), 1);
            EXPECT_TRUE(IsWindowVisible(other));
            EXPECT_EQ(activations, std::vector<WPARAM>{WA_ACTIVE});
            EndDialog(other, 1);
        });
        // The About template run with a procedure that only listens.
        auto listen = [](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
            if (message == WM_ACTIVATE)
                activations.push_back(LOWORD(wParam));
            return 0;
        };
        HRSRC about = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
        DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, about)), nullptr, listen, 0);
    });
}

}  // namespace
