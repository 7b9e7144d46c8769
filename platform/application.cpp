// Making the application object. Qt reports a display it cannot open with
// warnings and then a fatal message that aborts; while the object is made,
// its messages are held here: a fatal one becomes one line of ours and the
// exit status kExitNoDisplay, the others are written as Qt would once the
// object is made.

#include "platform/application.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::vector<std::string> g_held;  // messages while the object is made

// What an environment variable names, for the message.
std::string Named(const char* variable)
{
    const char* value = std::getenv(variable);
    return std::string(variable) + (value && *value ? " is " + std::string(value) : " is not set");
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.push_back(qFormatLogMessage(type, context, text).toStdString());
        return;
    }
    std::fprintf(stderr, "%s: no display could be opened (%s, %s)\n", program_invocation_short_name,
                 Named("DISPLAY").c_str(), Named("WAYLAND_DISPLAY").c_str());
    std::fflush(stderr);
    _exit(kExitNoDisplay);
}

}  // namespace

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv)
{
    QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const std::string& message : g_held)
        std::fprintf(stderr, "%s\n", message.c_str());
    g_held.clear();
    return application;
}

}  // namespace platform
