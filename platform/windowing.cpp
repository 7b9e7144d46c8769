// The rooms that follow a process's windows, started once, in the order
// they must hear of windows: the inspector's snapshot before the station
// lets go of a caption's claim.

#include "platform/windowing.h"

#include "platform/accessible.h"
#include "platform/inspect.h"
#include "platform/keyboard.h"
#include "platform/window.h"

#include <QCoreApplication>

namespace platform {

void StartWindowing()
{
    static bool started = false;
    if (started || !QCoreApplication::instance())
        return;
    started = true;
    StartAccessibility();
    StartKeyboard();
    StartInspector();
    WatchActivation();
}

}  // namespace platform
