// The season list loader on the input as the season file.
#include "views/season_list.h"
#include "fuzz/fuzz_support.h"

namespace {

int LoadSeason(HWND window, const uint8_t* data, size_t size)
{
    std::wstring path = fuzz::WriteInput("Season.dat", data, size);
    // The loader appends, as it runs once in the program: start each input empty.
    SendMessageW(GetDlgItem(window, IDC_SEASON_LIST), LVM_DELETEALLITEMS, 0, 0);
    LoadSeasonList(window, path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz::RunInMainWindow(argc, argv, LoadSeason);
}
