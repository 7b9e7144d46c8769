#include "views/team_view.h"

#include "app/resources/resource.h"

// Stand-in until the team view is built: the list is cleared.
void ShowTeamSchedule(HWND mainWindow, int)
{
    SendMessageW(GetDlgItem(mainWindow, IDC_TEAM_LIST), LVM_DELETEALLITEMS, 0, 0);
}
