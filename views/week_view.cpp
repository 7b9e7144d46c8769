#include "views/week_view.h"

#include "app/resources/resource.h"

// Stand-in until the week view is built: the list is cleared.
void ShowWeekGames(HWND mainWindow, int)
{
    SendMessageW(GetDlgItem(mainWindow, IDC_WEEK_LIST), LVM_DELETEALLITEMS, 0, 0);
}
