// Checks that a received file is one of its kind that the program can use,
// read the way the program's own loaders read it, before it may replace
// the local file.
#pragma once

#include "platform/platform.h"

// A schedule of the program's season: the start-up season check passes and
// each of the 32 team lines holds the 107 fields of the schedule table.
// Further fields and lines are allowed, as the table ignores them.
int CheckScheduleFile(LPCWSTR path);

// Standings: a first line that begins with the season label in double
// quotes, then 32 team lines of a quoted name, wins, losses and ties.
int CheckStandingsFile(LPCWSTR path);
