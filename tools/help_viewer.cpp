// corvale-help: the stand-in for the handheld's help viewer. Started as
// "PegHelp.exe FILE#ANCHOR", it shows FILE from the install directory at
// ANCHOR in a window titled "Help".

#include "platform/application.h"
#include "platform/helpwindow.h"
#include "platform/platform.h"
#include "platform/text.h"

#include <cstdio>
#include <string>

namespace {

const char kHelp[] = R"(usage: corvale-help [FILE[#ANCHOR]]

Shows FILE (default Ravelock.html), a file of the install folder that
corvale-install recorded, at ANCHOR in a window titled "Help", until the
window is closed. Corvale starts it for Help > Corvale.
Exit status: 0 once the window is closed; 1 when no display could be
opened.
)";

// The install directory the program was installed to, or "".
std::string InstallDirectory()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock\\Ravelock", 0, 0, &key) != ERROR_SUCCESS)
        return std::string();
    WCHAR directory[520] = {};
    DWORD size = sizeof directory;
    LONG status = RegQueryValueExW(key, L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(directory), &size);
    RegCloseKey(key);
    directory[519] = L'\0';
    return status == ERROR_SUCCESS ? platform::ToUtf8(directory) : std::string();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::unique_ptr<QApplication> application = platform::MakeApplication(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    std::string target = argc > 1 ? argv[1] : "Ravelock.html";
    size_t hash = target.find('#');
    std::string file = target.substr(0, hash);
    std::string anchor = hash == std::string::npos ? std::string() : target.substr(hash + 1);
    // Only a file name: help files live in the install directory.
    if (file.find('/') != std::string::npos || file.empty())
        file = "Ravelock.html";
    return platform::RunHelpWindow(L"Help", InstallDirectory() + "/" + file, anchor);
}
