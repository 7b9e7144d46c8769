// The season list: every game of the season file with its kick-off time.
#pragma once

#include "platform/platform.h"

int LoadSeasonList(HWND mainWindow, LPCWSTR seasonPath);
