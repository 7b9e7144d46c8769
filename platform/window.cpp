// Window objects: the bookkeeping of live windows and of proxies for other
// processes' windows, the modal loops, activation, and the rooms told of
// what happens to windows. The window calls of the API are in
// windowcalls.cpp.
//
// Divisions: what happens to windows, bookkeeping, proxies, activation.

#include "platform/window.h"

#include "platform/delivery.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

namespace platform {

// What happens to windows

namespace {

std::vector<WindowWatcher> g_watchers;
uint64_t g_changes = 0;  // changes a dump could show

}  // namespace

void ReportWindowEvent(WindowEvent event, WindowObject* window)
{
    for (const WindowWatcher& watcher : g_watchers)
        watcher(event, window);
}

void WatchWindows(WindowWatcher watcher)
{
    g_watchers.push_back(std::move(watcher));
}

uint64_t ChangeCount()
{
    return g_changes;
}

void NoteChanged()
{
    ++g_changes;
}

// Bookkeeping

namespace {

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

}  // namespace

void RegisterWindow(WindowObject* window)
{
    window->serial = g_nextSerial++;
    window->created = NowMs();
    g_live.insert(window);
}

void RegisterTopLevel(WindowObject* window)
{
    ReportWindowEvent(WindowEvent::Made, window);
    RegisterWindow(window);
    g_topLevel.push_back(window);
}

void PublishWindows()
{
    ReportWindowEvent(WindowEvent::Published, nullptr);
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
    NoteChanged();
    ReportWindowEvent(WindowEvent::Published, nullptr);
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

// Proxies

namespace {

std::vector<std::unique_ptr<WindowObject>> g_remotes;  // kept for the process's life
RemoteAsker g_asker = nullptr;

}  // namespace

WindowObject* RemoteWindow(int pid, uint64_t id, const std::wstring& caption)
{
    for (const auto& remote : g_remotes)
        if (remote->remotePid == pid && remote->remoteId == id)
            return remote.get();
    auto remote = std::make_unique<WindowObject>();
    remote->kind = WindowKind::Remote;
    remote->text = caption;
    remote->remotePid = pid;
    remote->remoteId = id;
    g_remotes.push_back(std::move(remote));
    return g_remotes.back().get();
}

// Looked up rather than read through the handle: a stale handle may point
// at a freed window.
bool IsRemoteWindow(const WindowObject* window)
{
    for (const auto& remote : g_remotes)
        if (remote.get() == window)
            return true;
    return false;
}

void SetRemoteAsker(RemoteAsker asker)
{
    g_asker = asker;
}

bool AskRemote(WindowObject* window, const std::string& verb, const std::string& extra)
{
    return g_asker && g_asker(window, verb, extra);
}

// Activation

namespace {

WindowObject* g_active = nullptr;  // the window that was last made active

}  // namespace

// Records that a window became the active one: the one that was active gets
// WM_ACTIVATE with WA_INACTIVE, the new one WA_ACTIVE; the other processes
// hear that theirs are no longer active.
void NoteActivation(WindowObject* window)
{
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
    if (previous)
        DeliverToProgram([previous] {
            if (IsLiveWindow(previous))
                SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, 0);
        });
}

// Raises a top-level window, asks the desktop to activate it and records it.
void ActivateWindow(WindowObject* window)
{
    if (!IsLiveWindow(window))
        return;
    if (window->widget) {
        window->widget->raise();
        window->widget->activateWindow();
    }
    NoteActivation(window);
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

void PostQuitMessage(int)
{
    g_quitPosted = true;
    WakeLoops();
}
