// The platform's start-up code: makes the application object, hands the
// program's module to the platform and calls WinMain.

#include "platform/internal.h"

#include <QApplication>

int main(int argc, char** argv)
{
    platform::StartFontWarmUp();  // on another thread, while Qt starts
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    platform::SetProcessModule(&g_moduleResources);
    WCHAR commandLine[1] = {L'\0'};
    int result = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
    platform::StationStop();
    platform::AwaitFontWarmUp();
    return result;
}
