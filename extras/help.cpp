#include "extras/help.h"

#include "platform/platform.h"

#include <cwchar>

void ShowHelp()
{
    WCHAR commandLine[64];
    std::wcscpy(commandLine, L"Ravelock.html#Main_Contents");
    CreateProcessW(L"PegHelp.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr);
}
