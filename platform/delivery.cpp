// Delivery to the program. While the program waits inside a blocking
// platform call (an Internet request), the platform keeps painting and
// answering the window station, but what would reach the program (input,
// timers, posted messages, activation) waits here, in order, until the
// call has returned. A person's request to close or cancel the window the
// call is made for stops the call instead of waiting behind it.
//
// Divisions: held deliveries, turns, blocking calls, input while waiting.

#include "platform/delivery.h"

#include "platform/objects.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

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

// Turns

namespace {

std::vector<WindowObject*> g_handling;  // windows whose procedures run, innermost last
uint64_t g_turn = 0;                    // counts the messages taken from the loop

}  // namespace

void EnterProcedure(WindowObject* window)
{
    g_turn += g_handling.empty() ? 1 : 0;
    g_handling.push_back(window);
}

void LeaveProcedure()
{
    g_handling.pop_back();
}

WindowObject* HandlingWindow()
{
    return g_handling.empty() ? nullptr : g_handling.back();
}

uint64_t ProgramTurn()
{
    return g_handling.empty() ? 0 : g_turn;
}

// Blocking calls. While one lasts, the window station answers dumps from a
// snapshot taken as it begins (the program changes nothing meanwhile).

namespace {

WindowObject* g_waitingFor = nullptr;  // the top-level window the call is made for
uint64_t g_stopTurn = 0;               // the program's turn in which a stop was asked
std::vector<void (*)(bool)> g_waitWatchers;  // told as blocking calls begin, serve and end

void TellWatchers(bool waiting)
{
    for (void (*watcher)(bool) : g_waitWatchers)
        watcher(waiting);
}

WindowObject* TopLevelOf(WindowObject* window)
{
    while (window && window->parent)
        window = window->parent;
    return window;
}

void ReplayHeldInput();
void HoldInputWhileWaiting();

}  // namespace

BlockingCall::BlockingCall() : m_counted(OnGuiThread())
{
    if (!m_counted)
        return;
    if (g_blockDepth++ != 0)
        return;
    g_waitingFor = TopLevelOf(HandlingWindow());
    HoldInputWhileWaiting();
    TellWatchers(true);
}

BlockingCall::~BlockingCall()
{
    if (!m_counted || --g_blockDepth != 0)
        return;
    g_waitingFor = nullptr;
    TellWatchers(false);
    ReplayHeldInput();
    PostDrain();
}

void ServeWhileBlocked()
{
    if (g_blockDepth == 0 || !OnGuiThread())
        return;
    QCoreApplication::processEvents();
    TellWatchers(true);
}

void AskToStopWaiting(WindowObject* window)
{
    if (g_blockDepth > 0 && g_waitingFor && TopLevelOf(window) == g_waitingFor)
        g_stopTurn = ProgramTurn();
}

bool StopAsked()
{
    return g_blockDepth > 0 && g_stopTurn != 0 && g_stopTurn == ProgramTurn();
}

void WatchWaiting(void (*watcher)(bool waiting))
{
    g_waitWatchers.push_back(watcher);
}

// Input while waiting: Escape in the window the call is made for reaches
// it (its frame makes it the window's close); other keys, clicks and wheel
// turns are held and given again, in order, once the call has returned;
// pointer moves are dropped.

namespace {

struct HeldEvent {
    QPointer<QObject> target;  // gone when its widget went meanwhile
    QEvent* event;             // a copy, owned until given again
};
std::vector<HeldEvent> g_heldInput;

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: case QEvent::HoverMove: case QEvent::Wheel: case QEvent::ContextMenu:
    case QEvent::TouchBegin: case QEvent::TouchUpdate: case QEvent::TouchEnd: case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool IsKept(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::MouseButtonPress ||
           type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick || type == QEvent::Wheel;
}

// Input from the desktop reaches a window's QWindow first, then its widgets.
bool IsEscapeInWaitingWindow(QObject* target, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape || !g_waitingFor ||
        !g_waitingFor->widget)
        return false;
    if (auto* widget = qobject_cast<QWidget*>(target))
        return widget->window() == g_waitingFor->widget;
    return target->isWindowType() && target == g_waitingFor->widget->windowHandle();
}

class InputHolder : public QObject {
protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (g_blockDepth == 0 || !IsInput(event->type()) || !event->spontaneous())
            return false;
        if (IsEscapeInWaitingWindow(target, event))
            return false;
        event->accept();
        if (IsKept(event->type()))
            g_heldInput.push_back({target, event->clone()});
        return true;
    }
};

void HoldInputWhileWaiting()
{
    static InputHolder* holder = nullptr;
    if (!holder && qApp) {
        holder = new InputHolder;
        qApp->installEventFilter(holder);
    }
}

void ReplayHeldInput()
{
    if (g_heldInput.empty())
        return;
    std::vector<HeldEvent> held = std::move(g_heldInput);
    g_heldInput.clear();
    for (HeldEvent& entry : held) {
        if (entry.target)
            QCoreApplication::postEvent(entry.target, entry.event);
        else
            delete entry.event;
    }
}

}  // namespace

}  // namespace platform
