// The standings loader on the input as the standings file, then the title
// made from the season label it read.
#include "data/standings.h"
#include "fuzz/fuzz_support.h"

namespace {

int LoadStandingsFile(HWND window, const uint8_t* data, size_t size)
{
    std::wstring path = fuzz::WriteInput("Standings.dat", data, size);
    LoadStandings(window, path.c_str());
    WCHAR title[128];
    BuildStandingsTitle(title);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz::RunInMainWindow(argc, argv, LoadStandingsFile);
}
