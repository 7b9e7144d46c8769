// How every control tells its dialog what a person did: the notification
// or command is held while the program waits in a blocking call.

#include "platform/control.h"

#include "platform/delivery.h"
#include "platform/window.h"

namespace platform {

void NotifyParent(WindowObject* control, UINT code)
{
    DeliverToProgram([control, code] {
        if (!IsLiveWindow(control))
            return;
        NMHDR header{control, static_cast<UINT_PTR>(control->id), code};
        SendMessageW(control->parent, WM_NOTIFY, static_cast<WPARAM>(control->id), reinterpret_cast<LPARAM>(&header));
    });
}

void CommandParent(WindowObject* control, int code)
{
    DeliverToProgram([control, code] {
        if (IsLiveWindow(control))
            SendMessageW(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control));
    });
}

}  // namespace platform
