// Start-up: the single-copy check, the install directory and the three data
// file paths, the season check, and the run of the main window.
#pragma once

#include "platform/platform.h"

constexpr int kPathChars = 260;  // a path buffer, terminator included

extern HINSTANCE g_instance;                 // the program's module
extern WCHAR g_standingsPath[kPathChars];    // install directory + "/Standings.dat"
extern WCHAR g_schedulePath[kPathChars];     // install directory + "/Schedule.dat"
extern WCHAR g_seasonPath[kPathChars];       // install directory + "/Season.dat"

extern const WCHAR kRegistryKey[];  // "Software\Tamrock\Ravelock" under HKEY_LOCAL_MACHINE
extern const WCHAR kAppCaption[];   // "Corvale": the main window's caption and the message caption

bool ActivatePreviousInstance();
int ReadInstallDirectory();
int CheckScheduleSeason(LPCWSTR schedulePath);
