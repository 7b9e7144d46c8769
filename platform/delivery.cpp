// Delivery to the program. While the program waits inside a blocking
// platform call (an Internet request), the platform keeps painting and
// answering the window station, but what would reach the program (input,
// timers, posted messages, activation) waits here, in order, until the
// call has returned. Timers are delivered through it too.
//
// Divisions: held deliveries, blocking calls, timers.

#include "platform/internal.h"
#include "platform/seams.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

namespace platform {

namespace {

bool OnGuiThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

// Held deliveries

int g_blockDepth = 0;                          // blocking calls under way
std::deque<std::function<void()>> g_deferred;  // deliveries held meanwhile
bool g_drainPosted = false;                    // a drain is on its way

void DrainDeferred()
{
    g_drainPosted = false;
    while (!g_deferred.empty() && g_blockDepth == 0) {
        std::function<void()> delivery = std::move(g_deferred.front());
        g_deferred.pop_front();
        delivery();
    }
}

void PostDrain()
{
    if (g_drainPosted || g_deferred.empty() || !qApp)
        return;
    g_drainPosted = true;
    QTimer::singleShot(0, qApp, DrainDeferred);
}

}  // namespace

bool ProgramWaiting()
{
    return g_blockDepth > 0;
}

void DeliverToProgram(std::function<void()> delivery)
{
    if (g_blockDepth == 0 && g_deferred.empty()) {
        delivery();
        return;
    }
    g_deferred.push_back(std::move(delivery));
    if (g_blockDepth == 0)
        PostDrain();
}

void PostToProgram(std::function<void()> delivery)
{
    if (!qApp)
        return;
    QTimer::singleShot(0, qApp, [delivery = std::move(delivery)] { DeliverToProgram(delivery); });
}

// Blocking calls. While one lasts, the window station answers dumps from a
// snapshot taken as it begins (the program changes nothing meanwhile).

BlockingCall::BlockingCall() : m_counted(OnGuiThread())
{
    if (!m_counted)
        return;
    if (g_blockDepth++ == 0)
        RefreshSnapshotIfChanged(true);
}

BlockingCall::~BlockingCall()
{
    if (!m_counted || --g_blockDepth != 0)
        return;
    RefreshSnapshotIfChanged(false);
    PostDrain();
}

void ServeWhileBlocked()
{
    if (g_blockDepth == 0 || !OnGuiThread())
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    RefreshSnapshotIfChanged(true);
}

// Timers

namespace {

struct TimerEntry {
    HWND window;       // who gets WM_TIMER
    UINT_PTR id;       // its ID
    QTimer* timer;     // the Qt timer behind it
    bool due = false;  // fired while the program waited; WM_TIMER held
};

std::vector<TimerEntry> g_timers;

TimerEntry* FindTimer(HWND window, UINT_PTR id)
{
    for (TimerEntry& entry : g_timers)
        if (entry.window == window && entry.id == id)
            return &entry;
    return nullptr;
}

// A timer's tick. Ticks while the program waits make one WM_TIMER once it
// is done, and none when the timer is killed before.
void DeliverTimer(HWND window, UINT_PTR id)
{
    TimerEntry* entry = FindTimer(window, id);
    if (!entry || entry->due)
        return;
    entry->due = true;
    DeliverToProgram([window, id] {
        TimerEntry* still = FindTimer(window, id);
        if (!still || !still->due)
            return;
        still->due = false;
        if (IsLiveWindow(window))
            SendMessageW(window, WM_TIMER, id, 0);
    });
}

}  // namespace

void KillTimersOf(WindowObject* window)
{
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        if (it->window == window) {
            delete it->timer;
            it = g_timers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace platform

using namespace platform;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, void*)
{
    if (!IsLiveWindow(window))
        return 0;
    KillTimer(window, id);
    auto* timer = new QTimer;
    // The handheld's timers are not coalesced: a coarse timer may run 5% late.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(RealMs(milliseconds));
    QObject::connect(timer, &QTimer::timeout, timer, [window, id] { DeliverTimer(window, id); });
    g_timers.push_back({window, id, timer});
    timer->start();
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            it->timer->deleteLater();
            it->timer->stop();
            g_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
