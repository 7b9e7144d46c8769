// The Options dialog.
#pragma once

#include "platform/platform.h"

INT_PTR OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
