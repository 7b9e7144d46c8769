#include "extras/about.h"

// Stand-in: opens from its template and ends on OK or Cancel.
INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return 1;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return 1;
    }
    return 0;
}
