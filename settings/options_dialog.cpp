#include "settings/options_dialog.h"

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "settings/settings.h"
#include "settings/time_zones.h"

namespace {

constexpr int kReasonChars = 256;  // the system's text for an error code

void ShowMainWindow()
{
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    UpdateWindow(g_mainWindow);
}

// A Save that could not store the settings says so, with the system's
// reason: they hold only until the program ends.
void ShowSaveFailure(HWND dialog, LONG status)
{
    WCHAR reason[kReasonChars] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(status), 0,
                        reason, kReasonChars, nullptr))
        wsprintfW(reason, L"Error %d", static_cast<int>(status));
    WCHAR text[kReasonChars + 64];
    wsprintfW(text, L"The settings could not be saved.\n\n%s", reason);
    MessageBoxW(dialog, text, kAppCaption, MB_OK | MB_ICONERROR);
}

// Takes the pickers' choices into the settings and stores them. A picker
// without a selection keeps its setting as it was rather than storing -1.
void SaveOptions(HWND dialog)
{
    HWND teams = GetDlgItem(dialog, IDC_FAVOURITE_PICKER);
    HWND zones = GetDlgItem(dialog, IDC_ZONE_PICKER);
    int team = static_cast<int>(SendMessageW(teams, CB_GETCURSEL, 0, 0));
    int zone = static_cast<int>(SendMessageW(zones, CB_GETCURSEL, 0, 0));
    if (team != CB_ERR)
        g_favouriteTeam = team;
    if (zone != CB_ERR) {
        g_timeZoneIndex = zone;
        g_timeZoneOffset = static_cast<int>(SendMessageW(zones, CB_GETITEMDATA, static_cast<WPARAM>(zone), 0));
    }
    if (LONG status = SaveSettings(); status != ERROR_SUCCESS)
        ShowSaveFailure(dialog, status);
}

INT_PTR InitOptions(HWND dialog)
{
    SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
    SHInitDialog(&info);
    SHDoneButton(dialog, SHDB_HIDE);
    CreateEmptyMenuBar(dialog);
    FillOptionsPickers(dialog);
    SendMessageW(GetDlgItem(dialog, IDC_FAVOURITE_PICKER), CB_SETCURSEL, static_cast<WPARAM>(g_favouriteTeam), 0);
    SendMessageW(GetDlgItem(dialog, IDC_ZONE_PICKER), CB_SETCURSEL, static_cast<WPARAM>(g_timeZoneIndex), 0);
    return TRUE;
}

}  // namespace

void FillOptionsPickers(HWND dialog)
{
    HWND table = GetDlgItem(g_mainWindow, IDC_SCHEDULE_TABLE);
    HWND teams = GetDlgItem(dialog, IDC_FAVOURITE_PICKER);
    for (int row = 0; row < kTeamRows; ++row) {
        WCHAR name[kCellChars] = {};
        LVITEMW item = {};
        item.iSubItem = kNameColumn;
        item.pszText = name;
        item.cchTextMax = kCellChars;
        SendMessageW(table, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        SendMessageW(teams, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    HWND zones = GetDlgItem(dialog, IDC_ZONE_PICKER);
    for (const TimeZoneEntry& zone : kTimeZones) {
        LRESULT position = SendMessageW(zones, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(zone.name));
        SendMessageW(zones, CB_SETITEMDATA, static_cast<WPARAM>(position), zone.offset);
    }
}

INT_PTR OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return InitOptions(dialog);
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_SAVE:
        SaveOptions(dialog);
        ShowMainWindow();
        EndDialog(dialog, IDC_SAVE);
        return TRUE;
    case IDC_CANCEL:
        ShowMainWindow();
        EndDialog(dialog, IDC_CANCEL);
        return TRUE;
    case IDOK:
        ShowMainWindow();
        EndDialog(dialog, IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}
