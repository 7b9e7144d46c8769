// The user's three settings, process-wide, kept in the registry key of the
// install directory as `OffSet` (text), `Team` and `Index` (numbers).
#pragma once

#include "platform/platform.h"

extern int g_timeZoneOffset;  // whole hours added to US Eastern times
extern int g_favouriteTeam;   // team row preselected at start
extern int g_timeZoneIndex;   // position in the time zone table

// Reads OffSet, Team and Index in that order, each assigned as read;
// returns 1 when all three were read.
int LoadSettings();

// Writes OffSet, Index and Team in that order; the first failure skips the
// rest. They reach the disk together, or none of them. Returns ERROR_SUCCESS,
// or the registry's error code.
LONG SaveSettings();
