// Window objects and their messages on Qt widgets: the bookkeeping of
// live windows, the messages the program sends and posts, showing, text,
// geometry in handheld pixels, cursors, and the windowing started once a
// process has a window.
//
// Divisions: bookkeeping, the windowing, messages, geometry, cursors.

#include "platform/internal.h"
#include "platform/winstation.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <set>

struct CursorObject {
    int id;  // the system cursor ID
};

namespace platform {

namespace {

// Bookkeeping

std::vector<WindowObject*> g_topLevel;  // live top-level windows, oldest first
std::set<const WindowObject*> g_live;   // every live window object
uint64_t g_nextSerial = 1;              // creation order
bool g_quitPosted = false;              // PostQuitMessage was called

double NowMs()
{
    using namespace std::chrono;
    return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

void ForgetChildren(WindowObject* window)
{
    for (WindowObject* child : window->children)
        ForgetChildren(child);
    g_live.erase(window);
    delete window;
}

CursorObject g_waitCursor{32514};
HCURSOR g_cursor = nullptr;  // the cursor SetCursor last set

// The program's turn: the windows whose procedures are running, innermost
// last; a turn begins when a message reaches a procedure while none runs.
std::vector<WindowObject*> g_handling;
uint64_t g_turn = 0;

}  // namespace

void RegisterWindow(WindowObject* window)
{
    window->serial = g_nextSerial++;
    window->created = NowMs();
    g_live.insert(window);
}

void RegisterTopLevel(WindowObject* window)
{
    StartAccessibility();
    StationClaim(window->text, nullptr);  // released once other processes can see it
    RegisterWindow(window);
    g_topLevel.push_back(window);
}

void PublishWindows()
{
    StartWindowing();
    RefreshSnapshot(ProgramWaiting());
    for (WindowObject* window : g_topLevel)
        StationRelease(window->text);
}

WindowObject* NewTopLevel(WindowKind kind, const std::wstring& text)
{
    auto* window = new WindowObject;
    window->kind = kind;
    window->text = text;
    RegisterTopLevel(window);
    return window;
}

// Frees a top-level window and its controls; other processes no longer see it.
void ForgetTopLevel(WindowObject* window)
{
    g_topLevel.erase(std::remove(g_topLevel.begin(), g_topLevel.end(), window), g_topLevel.end());
    ForgetChildren(window);
    RefreshSnapshot(ProgramWaiting());
}

void WakeLoops()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

// Runs the modal loop of a window until it is ended (or a quit is posted).
void RunModalLoopOf(WindowObject* window)
{
    while (!window->ended && !g_quitPosted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

const std::vector<WindowObject*>& TopLevelWindows()
{
    return g_topLevel;
}

bool IsLiveWindow(const WindowObject* window)
{
    return window && g_live.count(window) != 0;
}

WindowObject* FindLocalWindow(uint64_t serial)
{
    for (WindowObject* window : g_topLevel)
        if (window->serial == serial)
            return window;
    return nullptr;
}

WindowObject* HandlingWindow()
{
    return g_handling.empty() ? nullptr : g_handling.back();
}

uint64_t ProgramTurn()
{
    return g_handling.empty() ? 0 : g_turn;
}

QString CursorName()
{
    return g_cursor == &g_waitCursor ? QStringLiteral("wait") : QStringLiteral("none");
}

// The windowing

void StartWindowing()
{
    static bool started = false;
    StationStart();
    if (started || !qApp)
        return;
    started = true;
    StartKeyboard();
    // Whenever the GUI thread is about to wait, other processes are given
    // the windows' list as it is once each batch of work is done.
    // Claims of captions end there too: a search that found no window
    // made none before the process waited.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, [] {
            RefreshSnapshotIfChanged(false);
            StationReleaseAll();
        });
    // The desktop moved the focus to another application. Switching between
    // windows of this process may pass through a moment without an active
    // window: only one that lasts counts.
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

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsLiveWindow(window))
        return 0;
    MarkChanged();
    if (window->procedure) {
        g_turn += g_handling.empty() ? 1 : 0;
        g_handling.push_back(window);
        LRESULT result = window->procedure(window, message, wParam, lParam);
        g_handling.pop_back();
        return result;
    }
    if (window->kind == WindowKind::Control)
        return ControlMessage(window, message, wParam, lParam);
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

void PostQuitMessage(int)
{
    g_quitPosted = true;
    WakeLoops();
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
    MarkChanged();
    if (window->widget) {
        if (command == SW_MINIMIZE)
            window->widget->showMinimized();
        else if (command == SW_HIDE)
            window->widget->hide();
        else if (window->kind == WindowKind::Control)
            window->widget->setVisible(true);
        else {
            if (!window->widget->isVisible())
                PlaceOnScreen(window);  // shown again: over the main window where it is now
            window->widget->showNormal();
        }
    }
    if (window->kind == WindowKind::Control) {
        RefitFocusMark(window);
        ShownOrHidden(window);
    }
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
    MarkChanged();
    window->ended = true;
    window->result = 0;
    window->visible = false;
    if (window->widget)
        window->widget->hide();
    WakeLoops();
    return TRUE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    if (!IsLiveWindow(window))
        return FALSE;
    window->text = text ? text : L"";
    MarkChanged();
    if (window->kind == WindowKind::Control)
        ControlTextChanged(window);
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
    if (window->kind == WindowKind::Control) {
        RefitFocusMark(window);
        NoteRowLabel(window);
    }
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
    MarkChanged();
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
