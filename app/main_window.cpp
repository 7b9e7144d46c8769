// The main window's dialog procedure: set-up, the three loading stages,
// the menu commands and pickers, and the end of the program.

#include "app/main_window.h"

#include "app/pages.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "views/season_list.h"
#include "data/standings.h"
#include "download/download_dialog.h"
#include "download/fetch.h"
#include "extras/about.h"
#include "extras/calendar.h"
#include "extras/help.h"
#include "settings/options_dialog.h"
#include "settings/settings.h"
#include "views/team_view.h"
#include "views/week_view.h"

HWND g_mainWindow = nullptr;

namespace {

constexpr UINT kLoadingDelay = 100;  // ms between the loading stages
constexpr UINT_PTR kTablesStage = 1;   // timer: the Team and Week pages
constexpr UINT_PTR kSeasonStage = 2;   // timer: the Year page
constexpr UINT_PTR kReadyStage = 3;    // timer: the wait cursor removed

// A window the menu opens, found again by its caption.
struct SecondaryWindow {
    WORD command;        // menu command
    const WCHAR* caption;  // caption of the open window
    WORD dialog;         // its template
    DLGPROC procedure;   // its dialog procedure
};

const SecondaryWindow kSecondaryWindows[] = {
    {IDM_DOWNLOAD, CAPTION_DOWNLOAD, IDD_DOWNLOAD, DownloadDialogProc},
    {IDM_OPTIONS, CAPTION_OPTIONS, IDD_OPTIONS, OptionsDialogProc},
    {IDM_CALENDAR, CAPTION_CALENDAR, IDD_CALENDAR, CalendarDialogProc},
    {IDM_ABOUT, CAPTION_ABOUT, IDD_ABOUT, AboutDialogProc},
};

// Closed in this order when the main window ends.
const WCHAR* const kClosingOrder[] = {CAPTION_DOWNLOAD, CAPTION_CALENDAR, CAPTION_OPTIONS, CAPTION_ABOUT};

HWND CreateMenuBar(HWND parent, DWORD flags)
{
    SHMENUBARINFO info = {};
    info.cbSize = sizeof info;
    info.hwndParent = parent;
    info.dwFlags = flags;
    info.nToolBarId = IDM_MAIN;
    info.hInstRes = g_instance;
    return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

// Brings an open copy forward, or runs the window from its template.
void OpenSecondaryWindow(const SecondaryWindow& window)
{
    if (BringWindowForward(window.caption))
        return;
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(window.dialog), RT_DIALOG);
    HGLOBAL dialogTemplate = resource ? LoadResource(g_instance, resource) : nullptr;
    if (dialogTemplate)
        DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(dialogTemplate), nullptr, window.procedure, 0);
}

// Wait cursor, settings, full screen, menu bar, pages; loads the schedule
// table and standings and preselects the favourite team and week 1.
INT_PTR InitMainWindow(HWND window)
{
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    LoadSettings();
    g_mainWindow = window;
    SHINITDLGINFO info = {SHIDIM_FLAGS, window, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
    SHInitDialog(&info);
    CreateMainMenuBar(window);
    CreatePageTabs(window);
    CreateListColumns(window);
    SetTimer(window, kTablesStage, kLoadingDelay, nullptr);
    LoadScheduleTable(window, g_schedulePath);
    LoadStandings(window, g_standingsPath);
    SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_SETCURSEL, static_cast<WPARAM>(g_favouriteTeam), 0);
    SendMessageW(GetDlgItem(window, IDC_WEEK_PICKER), CB_SETCURSEL, 0, 0);
    return 1;
}

// The three loading stages, each run once by its own timer.
INT_PTR RunLoadingStage(HWND window, UINT_PTR stage)
{
    switch (stage) {
    case kTablesStage:
        KillTimer(window, kTablesStage);
        ShowTeamSchedule(window, g_favouriteTeam);
        ShowWeekGames(window, 0);
        SetTimer(window, kSeasonStage, kLoadingDelay, nullptr);
        return 1;
    case kSeasonStage:
        KillTimer(window, kSeasonStage);
        SetTimer(window, kReadyStage, kLoadingDelay, nullptr);
        LoadSeasonList(window, g_seasonPath);
        return 1;
    case kReadyStage:
        KillTimer(window, kReadyStage);
        SetCursor(LoadCursorW(nullptr, nullptr));
        SetForegroundWindow(window);
        return 1;
    default:
        return 0;
    }
}

int PickerSelection(HWND window, int picker)
{
    return static_cast<int>(SendMessageW(GetDlgItem(window, picker), CB_GETCURSEL, 0, 0));
}

INT_PTR HandleMainCommand(HWND window, WPARAM wParam)
{
    WORD id = LOWORD(wParam);
    switch (id) {
    case IDOK:
    case IDCANCEL:
        CloseSecondaryWindows();
        EndDialog(window, 1);
        return 1;
    case IDC_TEAM_PICKER:
        if (HIWORD(wParam) == CBN_SELCHANGE)
            ShowTeamSchedule(window, PickerSelection(window, IDC_TEAM_PICKER));
        return 1;
    case IDC_WEEK_PICKER:
        if (HIWORD(wParam) == CBN_SELCHANGE)
            ShowWeekGames(window, PickerSelection(window, IDC_WEEK_PICKER));
        return 1;
    case IDM_HELP_CONTENTS:
        ShowHelp();
        return 1;
    default:
        for (const SecondaryWindow& secondary : kSecondaryWindows) {
            if (secondary.command == id) {
                OpenSecondaryWindow(secondary);
                return 1;
            }
        }
        return 0;
    }
}

}  // namespace

INT_PTR MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitMainWindow(window);
    case WM_TIMER:
        return RunLoadingStage(window, LOWORD(wParam));
    case WM_COMMAND:
        return HandleMainCommand(window, wParam);
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            return 0;
        // Minimising ends the program.
        ShowWindow(window, SW_HIDE);
        UpdateWindow(window);
        CloseSecondaryWindows();
        EndDialog(window, 1);
        return 1;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_ACTIVE)
            return 0;
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        return 1;
    case WM_PAINT:
        PaintStandingsTitle(window);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(window, IDC_STANDINGS_TITLE))
            return 0;
        PaintStandingsTitle(window);
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_NOTIFY:
        if (wParam == IDC_PAGE_TABS)
            SwitchPage(window);
        return TrackDivisionHeaders(window);
    default:
        return TrackDivisionHeaders(window);
    }
}

HWND CreateMainMenuBar(HWND mainWindow)
{
    return CreateMenuBar(mainWindow, 0);
}

HWND CreateEmptyMenuBar(HWND dialog)
{
    return CreateMenuBar(dialog, SHCMBF_EMPTYBAR);
}

int BringWindowForward(LPCWSTR caption)
{
    HWND window = FindWindowW(nullptr, caption);
    if (!window)
        return 0;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return 1;
}

void CloseSecondaryWindows()
{
    CloseInternetHandles();
    CloseHelpViewer();
    for (const WCHAR* caption : kClosingOrder) {
        if (HWND window = FindWindowW(nullptr, caption))
            EndDialog(window, 1);
    }
}

int CloseHelpViewer()
{
    HWND viewer = FindWindowW(nullptr, CAPTION_HELP);
    if (!viewer)
        return 0;
    DestroyWindow(viewer);
    return 1;
}
