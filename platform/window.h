// Window objects: the bookkeeping of live windows and of the proxies for
// other processes' windows, the modal loops, activation, and what happens
// to windows, told to the rooms that follow it (the inspector's snapshot,
// the window station, the keyboard's mark, the screen reader's names,
// placement). The window messages themselves are the platform API's.
#pragma once

#include "platform/objects.h"

#include <QMargins>
#include <QRect>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QScreen;

namespace platform {

// Bookkeeping. A window gets its serial and a valid handle; a top-level one
// (made by the dialog machinery, or the help window) runs until ended or
// destroyed, and is forgotten with its controls.
void RegisterWindow(WindowObject* window);
void RegisterTopLevel(WindowObject* window);
WindowObject* NewTopLevel(WindowKind kind, const std::wstring& text);
void RunModalLoopOf(WindowObject* window);
void WakeLoops();
void ForgetTopLevel(WindowObject* window);
// Live top-level windows of this process, oldest first.
const std::vector<WindowObject*>& TopLevelWindows();
WindowObject* FindLocalWindow(uint64_t serial);
bool IsLiveWindow(const WindowObject* window);
// Other processes see this process's top-level windows as they are now:
// called once a new one is built or shown.
void PublishWindows();
// Counts every change a dump of a window could show (messages, showing,
// texts, the cursor); NoteChanged counts one made elsewhere.
uint64_t ChangeCount();
void NoteChanged();
// The cursor the program set, as the inspector names it: "wait" or "none".
QString CursorName();

// Proxies for windows of other processes, kept for the life of the
// process: the one for window `id` of process `pid`, made when new. What
// the program asks of a proxy (show, bring forward, destroy) goes to the
// asker the window search sets.
WindowObject* RemoteWindow(int pid, uint64_t id, const std::wstring& caption);
bool IsRemoteWindow(const WindowObject* window);
using RemoteAsker = bool (*)(WindowObject* window, const std::string& verb, const std::string& extra);
void SetRemoteAsker(RemoteAsker asker);
bool AskRemote(WindowObject* window, const std::string& verb, const std::string& extra = std::string());

// Activation. ActivateWindow raises a top-level window and makes it the
// active one, with WM_ACTIVATE to both sides; AskToActivate raises one just
// shown and asks the desktop to activate it, as a window manager does with
// a new window, and it counts as active once the desktop says so (what
// NoteActivation records); LoseActivation: a window of another process or
// application became active. PassActivationOn: a window that had the
// keyboard (`active`, or the one last made or asked to be active) is
// going, and the newest other one shown is asked to take it, as a window
// manager gives it back. WatchActivation follows the desktop's activation
// of other applications, once the application object exists.
void ActivateWindow(WindowObject* window);
void AskToActivate(WindowObject* window);
void NoteActivation(WindowObject* window);
void LoseActivation();
void PassActivationOn(WindowObject* window, bool active);
void WatchActivation();

// Placement on the desktop. FrameMargins: what the desktop puts around a
// shown top-level widget (none without a window manager, or before it
// framed the window). InsideWorkArea: where a top-level window's client
// area goes so that, its frame around it, it lies inside the screen's
// work area (the screen less panels and docks): moved just enough; one
// larger than the work area starts at the area's edge or, `fit`, is made
// as small as the area.
QMargins FrameMargins(const QWidget* widget);
QRect InsideWorkArea(const QRect& client, const QMargins& frame, const QScreen* screen, bool fit);

// What happens to windows, as the rooms that follow it are told.
enum class WindowEvent {
    Made,           // a top-level window of this caption is about to be made
    Published,      // top-level windows were made, shown or forgotten
    TopLevelShown,  // a top-level window hidden until now is about to show
    ControlShown,   // a control was shown or hidden
    ControlMoved,   // a control was moved or resized
    Activated,      // a window of this process became the active one
};
using WindowWatcher = std::function<void(WindowEvent event, WindowObject* window)>;
void WatchWindows(WindowWatcher watcher);
void ReportWindowEvent(WindowEvent event, WindowObject* window);

}  // namespace platform
