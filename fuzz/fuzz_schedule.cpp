// The schedule loader on the input as the schedule file, then the Team and
// Week pages, which read what it stored.
#include "data/schedule_table.h"
#include "fuzz/fuzz_support.h"
#include "views/team_view.h"
#include "views/week_view.h"

namespace {

int LoadSchedule(HWND window, const uint8_t* data, size_t size)
{
    std::wstring path = fuzz::WriteInput("Schedule.dat", data, size);
    // Emptied so that every load fills the pickers from its own table.
    SendMessageW(GetDlgItem(window, IDC_TEAM_PICKER), CB_RESETCONTENT, 0, 0);
    SendMessageW(GetDlgItem(window, IDC_WEEK_PICKER), CB_RESETCONTENT, 0, 0);
    LoadScheduleTable(window, path.c_str());
    for (int team : {0, 1, 16, 31})
        ShowTeamSchedule(window, team);
    for (int week : {0, 1, 16, 17, 20})
        ShowWeekGames(window, week);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz::RunInMainWindow(argc, argv, LoadSchedule);
}
