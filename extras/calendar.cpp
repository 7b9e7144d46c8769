#include "extras/calendar.h"

#include "app/main_window.h"

INT_PTR CalendarDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES};
    InitCommonControlsEx(&classes);
    switch (message) {
    case WM_INITDIALOG: {
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_SIPDOWN};
        SHInitDialog(&info);
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        return 1;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
            return 1;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ShowWindow(dialog, SW_HIDE);
            ShowWindow(g_mainWindow, SW_SHOWNORMAL);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}
