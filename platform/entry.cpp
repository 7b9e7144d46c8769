// The platform's start-up code: answers --help, makes the application
// object (or ends when no display can be opened), hands the program's
// module to the platform and calls WinMain.

#include "platform/application.h"
#include "platform/gdi.h"
#include "platform/resources.h"
#include "platform/winstation.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] = R"(usage: corvale [--help]

Shows the US football season that corvale-install put in the install
folder: standings by division, one team's schedule and record, one week's
games, and the whole season's kick-off list, in one window. A second start
brings the running copy's window forward and ends. Qt's own options (such
as -platform offscreen) are taken as well.
Exit status: 0, also when a message box refuses the start; 1 when no
display could be opened.
)";

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    platform::StartFontWarmUp();  // on another thread, while Qt starts
    std::unique_ptr<QApplication> application = platform::MakeApplication(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    platform::SetProcessModule(&g_moduleResources);
    WCHAR commandLine[1] = {L'\0'};
    int result = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
    platform::StationStop();
    platform::AwaitFontWarmUp();
    return result;
}
