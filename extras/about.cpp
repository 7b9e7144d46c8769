#include "extras/about.h"

#include "app/main_window.h"

INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_SIPDOWN};
        SHInitDialog(&info);
        CreateEmptyMenuBar(dialog);
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            EndDialog(dialog, 0);
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}
