// Window objects: the bookkeeping of live windows and of proxies for other
// processes' windows, the modal loops, and the rooms told of what happens
// to windows. The window calls of the API and activation are in
// windowcalls.cpp.
//
// Divisions: what happens to windows, bookkeeping, proxies.

#include "platform/window.h"

#include <QAbstractEventDispatcher>
#include <QApplication>

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

}  // namespace platform

using namespace platform;

void PostQuitMessage(int)
{
    g_quitPosted = true;
    WakeLoops();
}
