#include "data/season_list.h"

// Stand-in until the season file is read.
int LoadSeasonList(HWND, LPCWSTR)
{
    return 0;
}
