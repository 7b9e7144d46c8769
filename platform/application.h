// The application object of a program with windows: made only when a
// display can be opened. Without one the program says so in one line on
// standard error and ends with kExitNoDisplay, instead of aborting.
#pragma once

#include <QApplication>

#include <memory>

namespace platform {

constexpr int kExitNoDisplay = 1;  // the exit status when no display can be opened

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv);

}  // namespace platform
