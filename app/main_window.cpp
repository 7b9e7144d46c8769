#include "app/main_window.h"

// Ends the main window on OK or Cancel (the close button).
INT_PTR MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, 1);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}
