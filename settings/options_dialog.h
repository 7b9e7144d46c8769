// The options dialog: the favourite team and the time zone, saved to the
// settings store.
#pragma once

#include "platform/platform.h"

INT_PTR OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Team picker from column 1 of the schedule table; time zone picker from
// the time zone table, each entry with its offset attached.
void FillOptionsPickers(HWND dialog);
