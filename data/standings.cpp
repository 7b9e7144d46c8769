#include "data/standings.h"

#include "app/resources/resource.h"

WCHAR g_seasonLabel[kSeasonLabelChars];

// Stand-in until the standings are read: the list stays empty.
int LoadStandings(HWND mainWindow, LPCWSTR)
{
    SendMessageW(GetDlgItem(mainWindow, IDC_STANDINGS_LIST), LVM_DELETEALLITEMS, 0, 0);
    return 0;
}
