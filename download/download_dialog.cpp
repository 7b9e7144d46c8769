#include "download/download_dialog.h"

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "data/standings.h"
#include "download/fetch.h"
#include "views/team_view.h"
#include "views/week_view.h"

namespace {

// The main window's picker selections, carried from the transfer to the views.
int g_rememberedTeam = 0;
int g_rememberedWeek = 0;

constexpr UINT kStageDelay = 100;   // ms before each stage, so windows paint first
constexpr UINT_PTR kTransferStage = 1;  // timer of the transfer
constexpr UINT_PTR kViewsStage = 2;     // timer of the views rebuilt after it

void ShowMainInsteadOf(HWND dialog)
{
    ShowWindow(dialog, SW_HIDE);
    UpdateWindow(dialog);
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    UpdateWindow(g_mainWindow);
}

// The failure path: the message box with the last error text.
void EndWithFailure(HWND dialog)
{
    CloseInternetHandles();
    SetCursor(nullptr);
    ShowMainInsteadOf(dialog);
    MessageBoxW(g_mainWindow, g_lastErrorText, kAppCaption, MB_OK | MB_ICONERROR);
    EndDialog(dialog, 1);
}

// A transfer the person cancelled while it waited: the main window back as
// Cancel has it, with no message.
void EndCancelled(HWND dialog)
{
    CloseInternetHandles();
    SetCursor(nullptr);
    ShowMainInsteadOf(dialog);
    EndDialog(dialog, 2);
}

// Stage 1: both files, then the standings and the schedule table reloaded.
void TransferFiles(HWND dialog)
{
    KillTimer(dialog, kTransferStage);
    if (!FetchStandings(dialog) || !FetchSchedule(dialog)) {
        if (FetchCancelled())
            EndCancelled(dialog);
        else
            EndWithFailure(dialog);
        return;
    }
    CloseInternetHandles();
    ShowMainInsteadOf(dialog);
    g_rememberedTeam = static_cast<int>(SendMessageW(GetDlgItem(g_mainWindow, IDC_TEAM_PICKER), CB_GETCURSEL, 0, 0));
    g_rememberedWeek = static_cast<int>(SendMessageW(GetDlgItem(g_mainWindow, IDC_WEEK_PICKER), CB_GETCURSEL, 0, 0));
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    LoadStandings(g_mainWindow, g_standingsPath);
    LoadScheduleTable(g_mainWindow, g_schedulePath);
    SetTimer(dialog, kViewsStage, kStageDelay, nullptr);
}

// Stage 2: the Team and Week pages for the remembered selections.
void RebuildViews(HWND dialog)
{
    KillTimer(dialog, kViewsStage);
    ShowTeamSchedule(g_mainWindow, g_rememberedTeam);
    ShowWeekGames(g_mainWindow, g_rememberedWeek);
    SetCursor(nullptr);
    InvalidateRect(GetDlgItem(g_mainWindow, IDC_STANDINGS_TITLE), nullptr, TRUE);
    EndDialog(dialog, 2);
}

// Cancel or OK between the stages: the views stage will not run, so the
// wait cursor that it would have removed goes with the dialog.
void StopViewsStage(HWND dialog)
{
    if (KillTimer(dialog, kViewsStage))
        SetCursor(nullptr);
}

}  // namespace

INT_PTR DownloadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
        SHInitDialog(&info);
        SHDoneButton(dialog, SHDB_HIDE);
        CreateEmptyMenuBar(dialog);
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetTimer(dialog, kTransferStage, kStageDelay, nullptr);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kTransferStage)
            TransferFiles(dialog);
        else if (wParam == kViewsStage)
            RebuildViews(dialog);
        else
            return FALSE;
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            StopViewsStage(dialog);
            ShowWindow(g_mainWindow, SW_SHOWNORMAL);
            UpdateWindow(g_mainWindow);
            EndDialog(dialog, 2);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            StopViewsStage(dialog);
            CloseInternetHandles();
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
