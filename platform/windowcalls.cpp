// The window calls of the platform API on Qt widgets: messages sent and
// posted (a dialog's to its procedure, a control's to its class), showing,
// texts, geometry in handheld pixels, cursors, and activation.
//
// Divisions: activation, messages, showing and text, geometry, cursors.

#include "platform/control.h"
#include "platform/delivery.h"
#include "platform/window.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

struct CursorObject {
    int id;  // the system cursor ID
};

namespace {

CursorObject g_waitCursor{32514};
HCURSOR g_cursor = nullptr;  // the cursor SetCursor last set

}  // namespace

namespace platform {

QString CursorName()
{
    return g_cursor == &g_waitCursor ? QStringLiteral("wait") : QStringLiteral("none");
}

// Activation

namespace {

WindowObject* g_active = nullptr;  // the window that was last made active
WindowObject* g_asked = nullptr;   // the window last asked for, until the desktop activates it

}  // namespace

// Records that a window became the active one: the one that was active gets
// WM_ACTIVATE with WA_INACTIVE, the new one WA_ACTIVE; the other processes
// hear that theirs are no longer active.
void NoteActivation(WindowObject* window)
{
    if (window == g_asked)
        g_asked = nullptr;
    if (!IsLiveWindow(window) || window == g_active)
        return;
    WindowObject* previous = IsLiveWindow(g_active) ? g_active : nullptr;
    g_active = window;
    NoteChanged();
    ReportWindowEvent(WindowEvent::Activated, window);
    DeliverToProgram([previous, window] {
        if (IsLiveWindow(previous))
            SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
        if (IsLiveWindow(window))
            SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    });
}

// A window of another process, or of another application, became active.
void LoseActivation()
{
    WindowObject* previous = IsLiveWindow(g_active) ? g_active : nullptr;
    g_active = nullptr;
    g_asked = nullptr;
    if (previous)
        DeliverToProgram([previous] {
            if (IsLiveWindow(previous))
                SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, 0);
        });
}

// Raises a top-level window and asks the desktop to activate it. Qt asks
// the window manager; where none runs, it gives the window the X input
// focus itself once the window is mapped.
void AskToActivate(WindowObject* window)
{
    if (!IsLiveWindow(window) || !window->widget)
        return;
    window->widget->raise();
    window->widget->activateWindow();
    g_asked = window;
}

// The same, recorded at once as the active window.
void ActivateWindow(WindowObject* window)
{
    AskToActivate(window);
    NoteActivation(window);
}

// The window going is forgotten as the active one (its object may be freed
// and its address reused). Without a window manager nothing else would
// give the keyboard back.
void PassActivationOn(WindowObject* window, bool active)
{
    bool hadKeyboard = active || window == g_active || window == g_asked;
    if (window == g_active)
        g_active = nullptr;
    if (window == g_asked)
        g_asked = nullptr;
    if (!hadKeyboard)
        return;
    const std::vector<WindowObject*>& windows = TopLevelWindows();
    for (auto other = windows.rbegin(); other != windows.rend(); ++other) {
        if (*other != window && (*other)->widget && (*other)->widget->isVisible()) {
            AskToActivate(*other);
            return;
        }
    }
}

// The desktop moved the focus to another application. Switching between
// windows of this process may pass through a moment without an active
// window: only one that lasts counts.
void WatchActivation()
{
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            return;
        QTimer::singleShot(150, qApp, [] {
            if (QGuiApplication::applicationState() != Qt::ApplicationActive && !QApplication::activeWindow())
                LoseActivation();
        });
    });
}

}  // namespace platform

using namespace platform;

// Messages

namespace {

// The text messages every control answers; the others go to its class.
LRESULT ControlTextMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT:
        return SetWindowTextW(control, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
        return GetWindowTextW(control, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control->text.size());
    default:
        return control->klass && control->klass->message ? control->klass->message(control, message, wParam, lParam) : 0;
    }
}

}  // namespace

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsLiveWindow(window))
        return 0;
    NoteChanged();
    if (window->procedure) {
        EnterProcedure(window);
        LRESULT result = window->procedure(window, message, wParam, lParam);
        LeaveProcedure();
        return result;
    }
    if (window->kind == WindowKind::Control)
        return ControlTextMessage(window, message, wParam, lParam);
    return 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsLiveWindow(window))
        return FALSE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        AskToStopWaiting(window);
    PostToProgram([window, message, wParam, lParam] {
        if (IsLiveWindow(window))
            SendMessageW(window, message, wParam, lParam);
    });
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    if (!IsLiveWindow(dialog))
        return nullptr;
    for (WindowObject* child : dialog->children)
        if (child->id == id)
            return child;
    return nullptr;
}

HWND GetParent(HWND window)
{
    if (!IsLiveWindow(window))
        return nullptr;
    WindowObject* parent = window->kind == WindowKind::Control ? window->parent : window->owner;
    return IsLiveWindow(parent) ? parent : nullptr;
}

int GetDlgCtrlID(HWND control)
{
    return IsLiveWindow(control) ? control->id : 0;
}

BOOL IsWindow(HWND window)
{
    return IsLiveWindow(window) || IsRemoteWindow(window);
}

BOOL IsWindowVisible(HWND window)
{
    if (!IsLiveWindow(window))
        return FALSE;
    for (WindowObject* w = window; w; w = w->parent)
        if (!w->visible)
            return FALSE;
    return TRUE;
}

BOOL ShowWindow(HWND window, int command)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "show", std::to_string(command));
    if (!IsLiveWindow(window))
        return FALSE;
    BOOL wasVisible = window->visible;
    window->visible = command != SW_HIDE;
    NoteChanged();
    if (window->widget) {
        if (command == SW_MINIMIZE) {
            window->widget->showMinimized();
        } else if (command == SW_HIDE) {
            window->widget->hide();
            PassActivationOn(window, false);
        } else if (window->kind == WindowKind::Control) {
            window->widget->setVisible(true);
        } else {
            if (!window->widget->isVisible())
                ReportWindowEvent(WindowEvent::TopLevelShown, window);  // placed where it shows now
            window->widget->showNormal();
        }
    }
    if (window->kind == WindowKind::Control)
        ReportWindowEvent(WindowEvent::ControlShown, window);
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    if (!IsLiveWindow(window))
        return FALSE;
    if (window->widget && window->widget->isVisible())
        window->widget->repaint();
    return TRUE;
}

BOOL SetForegroundWindow(HWND window)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "foreground");
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    ActivateWindow(window);
    return TRUE;
}

BOOL DestroyWindow(HWND window)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "destroy");
    if (!IsLiveWindow(window) || window->kind == WindowKind::Control)
        return FALSE;
    // A top-level window here always runs a modal loop: end it; the loop's
    // owner frees the window when control returns to it.
    NoteChanged();
    window->ended = true;
    window->result = 0;
    window->visible = false;
    if (window->widget)
        window->widget->hide();
    PassActivationOn(window, false);
    WakeLoops();
    return TRUE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    if (!IsLiveWindow(window))
        return FALSE;
    window->text = text ? text : L"";
    NoteChanged();
    if (window->kind == WindowKind::Control && window->klass && window->klass->textChanged)
        window->klass->textChanged(window);
    else if (window->widget)
        window->widget->setWindowTitle(QString::fromStdWString(window->text));
    return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int bufferSize)
{
    if (!IsLiveWindow(window) || !buffer || bufferSize <= 0)
        return 0;
    int count = std::min<int>(static_cast<int>(window->text.size()), bufferSize - 1);
    std::copy_n(window->text.c_str(), count, buffer);
    buffer[count] = L'\0';
    return count;
}

void InitCommonControls()
{
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes)
{
    return classes && classes->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

// Geometry: handheld pixels; a top-level window's client area starts at its
// screen position, a control's rectangle is relative to that client area.

namespace platform {

QMargins FrameMargins(const QWidget* widget)
{
    return widget && widget->windowHandle() ? widget->windowHandle()->frameMargins() : QMargins();
}

QRect InsideWorkArea(const QRect& client, const QMargins& frame, const QScreen* screen, bool fit)
{
    if (!screen)
        return client;
    const QRect area = screen->availableGeometry();
    QRect outer = client.marginsAdded(frame);
    if (fit)
        outer.setSize(outer.size().boundedTo(area.size()));
    outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.left() + area.width() - outer.width())));
    outer.moveTop(std::max(area.top(), std::min(outer.top(), area.top() + area.height() - outer.height())));
    return outer.marginsRemoved(frame);
}

}  // namespace platform

static QWidget* ClientOrWidget(HWND window)
{
    return window->client ? window->client : window->widget;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!IsLiveWindow(window) || !rect || !window->widget)
        return FALSE;
    WindowObject* top = window;
    int x = 0, y = 0;
    if (window->kind == WindowKind::Control) {
        top = window->parent;
        x = window->widget->x() / kScale;
        y = window->widget->y() / kScale;
    }
    rect->left = top->screenX + x;
    rect->top = top->screenY + y;
    QWidget* sized = window->kind == WindowKind::Control ? window->widget : window->widget;
    rect->right = rect->left + sized->width() / kScale;
    rect->bottom = rect->top + sized->height() / kScale;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!IsLiveWindow(window) || !rect || !window->widget)
        return FALSE;
    QWidget* area = ClientOrWidget(window);
    int border = 0;
    if (auto* frame = qobject_cast<QFrame*>(area); frame && window->kind == WindowKind::Control)
        border = frame->frameWidth();
    rect->left = 0;
    rect->top = 0;
    rect->right = (area->width() - 2 * border) / kScale;
    rect->bottom = (area->height() - 2 * border) / kScale;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    QWidget* widget = window->widget;
    if (!(flags & SWP_NOMOVE)) {
        if (window->kind == WindowKind::Control) {
            widget->move(x * kScale, y * kScale);
        } else {
            window->screenX = x;
            window->screenY = y;
        }
    }
    if (!(flags & SWP_NOSIZE))
        widget->resize(width * kScale, height * kScale);
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST && window->kind != WindowKind::Control) {
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            if (window->visible)
                widget->show();
        }
        if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST)
            widget->raise();
    }
    if (window->kind == WindowKind::Control)
        ReportWindowEvent(WindowEvent::ControlMoved, window);
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(window, SW_SHOWNORMAL);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(window, SW_HIDE);
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL)
{
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    ClientOrWidget(window)->update();
    return TRUE;
}

// Cursors

HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR cursorName)
{
    if (module || cursorName != IDC_WAIT)
        return nullptr;
    return &g_waitCursor;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous = g_cursor;
    if (cursor == g_cursor)
        return previous;
    NoteChanged();
    if (g_cursor == &g_waitCursor)
        QApplication::restoreOverrideCursor();
    if (cursor == &g_waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    g_cursor = cursor;
    return previous;
}

HCURSOR GetCursor()
{
    return g_cursor;
}
