// The Team page: one team's regular season and its record.
#pragma once

#include "platform/platform.h"

void ShowTeamSchedule(HWND mainWindow, int teamRow);
