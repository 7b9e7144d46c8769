// Fetching the standings and schedule files from the data server: each
// body replaces its local file only once it has arrived whole, reached the
// disk and proved a file of its kind; a failure leaves the last error text
// for the download dialog.
#pragma once

#include "platform/platform.h"

constexpr int kErrorTextChars = 256;

extern WCHAR g_lastErrorText[kErrorTextChars];  // the message of the last failed fetch

// Each returns 1 when the whole body has been stored, else 0 with the
// last error text set and the local file as it was. `dialog` is the download dialog, whose status
// images they show and hide.
int FetchStandings(HWND dialog);
int FetchSchedule(HWND dialog);

// 1 when the last failed fetch was stopped because the person cancelled
// the download while it waited.
int FetchCancelled();

// Closes every held Internet handle: request, connection, session.
void CloseInternetHandles();

// Appends " CODE\nMESSAGE" to `label` (kErrorTextChars) and returns it.
WCHAR* ComposeErrorText(WCHAR* label, int code);
