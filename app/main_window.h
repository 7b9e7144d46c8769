// The main window: the program's one full-screen dialog, its loading
// stages, its menu and the secondary windows it opens.
#pragma once

#include "platform/platform.h"

extern HWND g_mainWindow;  // how the secondary windows reach the main window

INT_PTR MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateMainMenuBar(HWND mainWindow);
HWND CreateEmptyMenuBar(HWND dialog);
int BringWindowForward(LPCWSTR caption);
void CloseSecondaryWindows();
int CloseHelpViewer();
