// The application object of a program with windows: made only when a
// display can be opened. Without one the program says so in one line on
// standard error and ends with kExitNoDisplay, instead of aborting. Where
// WAYLAND_DISPLAY names a compositor but Qt's Wayland plugin is not
// installed, that line says so and what to install; with DISPLAY set too
// and no platform chosen (QT_QPA_PLATFORM, -platform), the program opens
// through X11 instead and says so in one line.
#pragma once

#include <QApplication>
#include <QStringList>

#include <memory>

namespace platform {

constexpr int kExitNoDisplay = 1;  // the exit status when no display can be opened

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv);

// Whether Qt would find a platform plugin for `key` ("wayland", "xcb"):
// one whose metadata names that key, in the folder a -platformpluginpath
// among `arguments` or QT_QPA_PLATFORM_PLUGIN_PATH names, or in the
// "platforms" folder of one of Qt's library paths. Nothing is loaded.
bool HasPlatformPlugin(const QString& key, const QStringList& arguments = {});

}  // namespace platform
