// Making the application object. Qt reports a display it cannot open with
// warnings and then a fatal message that aborts; while the object is made,
// its messages are held here: a fatal one becomes one line of ours and the
// exit status kExitNoDisplay, the others are written as Qt would once the
// object is made.
//
// Where WAYLAND_DISPLAY names a compositor but Qt's Wayland plugin is not
// installed, that line says what to install, and with an X display named
// too the object is made on X11 instead.
//
// Divisions: the platform plugins Qt would find, the choice of platform,
// the messages, the object.

#include "platform/application.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform {

// The platform plugins Qt would find

bool HasPlatformPlugin(const QString& key, const QStringList& arguments)
{
    // Where Qt's platform plugin factory looks: the folder named by
    // -platformpluginpath or QT_QPA_PLATFORM_PLUGIN_PATH, then "platforms"
    // in each of the library paths (Qt's own plugin folder, QT_PLUGIN_PATH,
    // the program's folder). Each plugin's metadata, read from the file
    // without loading it, names the keys it answers to, as Qt matches them.
    QStringList folders;
    const qsizetype option = arguments.indexOf("-platformpluginpath");
    if (option >= 0 && option + 1 < arguments.size())
        folders << arguments[option + 1];
    else if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    QStringList libraryPaths = QCoreApplication::libraryPaths();
    libraryPaths << QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
    for (const QString& path : libraryPaths)
        folders << path + QStringLiteral("/platforms");
    for (const QString& folder : folders) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
            if (!QLibrary::isLibrary(file.fileName()))
                continue;
            const QJsonObject metaData =
                QPluginLoader(file.absoluteFilePath()).metaData().value(QStringLiteral("MetaData")).toObject();
            for (const QJsonValue& name : metaData.value(QStringLiteral("Keys")).toArray())
                if (name.toString().compare(key, Qt::CaseInsensitive) == 0)
                    return true;
        }
    }
    return false;
}

namespace {

// The choice of platform

const char kWaylandMissing[] = "Qt's Wayland plugin is missing; install qt6-wayland";

bool g_waylandMissing = false;  // a Wayland display named, Qt's plugin for it not installed

// The value of an environment variable, "" when it is not set.
std::string Variable(const char* variable)
{
    const char* value = std::getenv(variable);
    return value ? value : "";
}

// The platform the user chose: a -platform argument, else QT_QPA_PLATFORM;
// "" when neither names one.
std::string ChosenPlatform(const QStringList& arguments)
{
    for (const QString& option : {QStringLiteral("-platform"), QStringLiteral("--platform")}) {
        const qsizetype at = arguments.indexOf(option);
        if (at >= 0 && at + 1 < arguments.size())
            return arguments[at + 1].toStdString();
    }
    return Variable("QT_QPA_PLATFORM");
}

// The arguments Qt gets when the program is to open through X11: the
// program's own with "-platform xcb" after its name. Qt refers to them as
// long as the application object lives.
char g_platformOption[] = "-platform";
char g_x11[] = "xcb";
int g_x11Count = 0;
std::vector<char*> g_x11Arguments;

// The messages

std::vector<std::string> g_held;  // messages while the object is made

// What an environment variable names, for the message.
std::string Named(const char* variable)
{
    const std::string value = Variable(variable);
    return std::string(variable) + (value.empty() ? " is not set" : " is " + value);
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.push_back(qFormatLogMessage(type, context, text).toStdString());
        return;
    }
    const std::string cause = g_waylandMissing ? std::string(": ") + kWaylandMissing : "";
    std::fprintf(stderr, "%s: no display could be opened (%s, %s)%s\n", program_invocation_short_name,
                 Named("DISPLAY").c_str(), Named("WAYLAND_DISPLAY").c_str(), cause.c_str());
    std::fflush(stderr);
    _exit(kExitNoDisplay);
}

}  // namespace

// The object

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv)
{
    // Messages of the plugin search are held too: a broken plugin file is
    // reported as Qt itself would report it.
    QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::string chosen = ChosenPlatform(arguments);
    g_waylandMissing = !Variable("WAYLAND_DISPLAY").empty() &&
                       (chosen.empty() || chosen.find("wayland") != std::string::npos) &&
                       !HasPlatformPlugin(QStringLiteral("wayland"), arguments);
    // Nothing chosen: Qt would try Wayland first; with an X display named
    // the program opens there instead, as a person without the plugin
    // would want.
    const bool onX11 = g_waylandMissing && chosen.empty() && !Variable("DISPLAY").empty();
    std::unique_ptr<QApplication> application;
    if (onX11) {
        g_x11Arguments = {argv[0], g_platformOption, g_x11};
        g_x11Arguments.insert(g_x11Arguments.end(), argv + 1, argv + argc);
        g_x11Arguments.push_back(nullptr);
        g_x11Count = argc + 2;
        application = std::make_unique<QApplication>(g_x11Count, g_x11Arguments.data());
        // Qt took its options out, "-platform xcb" among them; the caller's
        // arguments become what is left, as they would have without it.
        std::copy_n(g_x11Arguments.data(), g_x11Count + 1, argv);
        argc = g_x11Count;
    } else {
        application = std::make_unique<QApplication>(argc, argv);
    }
    qInstallMessageHandler(previous);
    for (const std::string& message : g_held)
        std::fprintf(stderr, "%s\n", message.c_str());
    g_held.clear();
    if (onX11)
        std::fprintf(stderr, "%s: opening through X11 (%s), not Wayland (%s): %s\n", program_invocation_short_name,
                     Named("DISPLAY").c_str(), Named("WAYLAND_DISPLAY").c_str(), kWaylandMissing);
    return application;
}

}  // namespace platform
