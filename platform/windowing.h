// The rooms that follow a process's windows, started once, before its
// first window is made: the screen reader's roles and names, the keyboard,
// the window inspector with its station, and the desktop's activation.
#pragma once

namespace platform {

void StartWindowing();

}  // namespace platform
