// Timers of windows: SetTimer and KillTimer are the platform API's; a
// window going away has every timer of its own stopped.
#pragma once

struct WindowObject;

namespace platform {

// Stops every timer of a window that is going away.
void KillTimersOf(WindowObject* window);

}  // namespace platform
