// Timers: SetTimer and KillTimer on Qt's precise timers, following the
// platform's clock (tests may run it fast). A tick while the program waits
// in a blocking call is held like any delivery; ticks in a row make one
// WM_TIMER.

#include "platform/timers.h"

#include "platform/delivery.h"
#include "platform/seams.h"
#include "platform/window.h"

#include <QTimer>

#include <vector>

namespace platform {

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
