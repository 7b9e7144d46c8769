// Dialogs and message boxes (DialogBoxIndirectParamW, EndDialog and
// MessageBoxW are the platform API's): the frame a dialog shows in, its
// modal loop, its place over the main window, the close a person asks.
#pragma once

struct WindowObject;

namespace platform {

// The desktop's close button and Escape: the window's own cancel command;
// a dialog that does not handle it is closed by its Cancel button, and one
// without either simply ends. What the window waits on stops first.
void CloseAsUser(WindowObject* window);

}  // namespace platform
