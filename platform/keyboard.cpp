// The keyboard, in the desktop's conventions, for a program made for a
// handheld with a D-pad: Ctrl+Tab and Ctrl+PgDown (with Shift, PgUp) move
// between the pages of a tab control, Alt and a letter open the menu bar's
// pop-up of that letter, F10 or Alt alone its first pop-up (again: close
// it), Left and Right in an open pop-up move along the menu bar, F1 chooses
// the first item of the Help pop-up, and the control with the keyboard
// focus wears a visible mark. Tab, the pickers' and buttons' own keys and
// Escape are the widgets' and frames'.
//
// Divisions: finding the window, pages, menus, the focus mark, the filter,
// typed keys.

#include "platform/keyboard.h"

#include "platform/control.h"
#include "platform/gdi.h"
#include "platform/window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <unordered_map>
#include <utility>

namespace platform {

namespace {

// The top-level window of ours that a widget belongs to, or none.
WindowObject* WindowOf(QWidget* widget)
{
    QWidget* top = widget ? widget->window() : nullptr;
    for (WindowObject* window : TopLevelWindows())
        if (window->widget == top)
            return window;
    return nullptr;
}

// Pages

WindowObject* VisibleTabControl(WindowObject* window)
{
    for (WindowObject* control : window->children)
        if (control->klass && control->klass->pages && control->visible && !control->data.items.empty())
            return control;
    return nullptr;
}

// Moves `step` pages on, wrapping around, as a user's choice of the tab.
bool TurnPage(WindowObject* window, int step)
{
    WindowObject* tabs = VisibleTabControl(window);
    if (!tabs)
        return false;
    int count = static_cast<int>(tabs->data.items.size());
    int current = std::max(tabs->data.selection, 0);
    tabs->klass->choose(tabs, ((current + step) % count + count) % count);
    // A control of the page left behind had the focus: the new page's first takes it.
    QWidget* focus = window->widget->focusWidget();
    if (focus && focus->isVisible())
        return true;
    for (WindowObject* control : window->children) {
        if (control->widget->isVisible() && (control->widget->focusPolicy() & Qt::TabFocus)) {
            control->widget->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

// Menus

QList<QToolButton*> MenuButtons(WindowObject* window)
{
    return window->menuBar ? window->menuBar->findChildren<QToolButton*>() : QList<QToolButton*>();
}

// Opens a drop-down button's pop-up above it, its first item highlighted,
// without waiting for it to close.
void OpenMenu(QToolButton* button)
{
    QMenu* menu = button->menu();
    if (!menu)
        return;
    QSize size = menu->sizeHint();
    menu->popup(button->mapToGlobal(QPoint(0, -size.height())));
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->isEnabled()) {
            menu->setActiveAction(action);
            break;
        }
    }
}

// Alt and a letter: the pop-up whose caption begins with it.
bool OpenMenuByLetter(WindowObject* window, int key)
{
    for (QToolButton* button : MenuButtons(window)) {
        QString caption = button->text();
        if (!caption.isEmpty() && caption[0].toUpper().unicode() == key) {
            OpenMenu(button);
            return true;
        }
    }
    return false;
}

// F10 or Alt alone: the menu bar's first pop-up.
bool OpenMenuBar(WindowObject* window)
{
    QList<QToolButton*> buttons = MenuButtons(window);
    if (buttons.isEmpty())
        return false;
    OpenMenu(buttons.first());
    return true;
}

// A key in an open pop-up of a menu bar: Left and Right close it and open
// the previous or next one, wrapping; F10 closes it; Alt is kept from the
// pop-up (let go alone, it closes it). False for any other key or pop-up.
bool MenuBarKey(QMenu* open, int code)
{
    auto* button = qobject_cast<QToolButton*>(open->parentWidget());
    WindowObject* window = button ? WindowOf(button) : nullptr;
    QList<QToolButton*> buttons = window ? MenuButtons(window) : QList<QToolButton*>();
    const int at = static_cast<int>(buttons.indexOf(button));
    if (at < 0 || (code != Qt::Key_Left && code != Qt::Key_Right && code != Qt::Key_F10 && code != Qt::Key_Alt))
        return false;
    if (code == Qt::Key_Alt)
        return true;
    open->close();
    if (code != Qt::Key_F10) {
        const int count = static_cast<int>(buttons.size());
        OpenMenu(buttons[(at + (code == Qt::Key_Right ? 1 : count - 1)) % count]);
    }
    return true;
}

// F1: the first item of a Help pop-up, of this window's menu bar or of
// another window of the process that has one.
bool ChooseHelp(WindowObject* window)
{
    std::vector<WindowObject*> candidates = {window};
    for (WindowObject* other : TopLevelWindows())
        candidates.push_back(other);
    for (WindowObject* candidate : candidates) {
        for (QToolButton* button : MenuButtons(candidate)) {
            if (button->text() != QStringLiteral("Help") || !button->menu())
                continue;
            for (QAction* action : button->menu()->actions()) {
                if (!action->isSeparator()) {
                    action->trigger();
                    return true;
                }
            }
        }
    }
    return false;
}

// The focus mark: a frame drawn around the focused control, above it. As on
// the handheld's desktop cousins, it shows once the keyboard has been used.

bool g_keyboardUsed = false;  // a key has been pressed in a window of ours

class FocusMark : public QWidget {
public:
    explicit FocusMark(QWidget* area) : QWidget(area)
    {
        setObjectName(kFocusMarkName);  // no control: a screen reader is not shown it
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

    // Frames `control`, or hides when there is none to frame.
    void Frame(QWidget* control)
    {
        m_control = control;
        if (!control || !control->isVisible() || !g_keyboardUsed) {
            hide();
            return;
        }
        setGeometry(control->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
        show();
        raise();
    }

    QWidget* Control() const
    {
        return m_control;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // The frame only: the control shows through the middle.
        QPainter painter(this);
        const QColor colour(0x1c, 0x5f, 0xd0);
        painter.fillRect(0, 0, width(), kWidth, colour);
        painter.fillRect(0, height() - kWidth, width(), kWidth, colour);
        painter.fillRect(0, 0, kWidth, height(), colour);
        painter.fillRect(width() - kWidth, 0, kWidth, height(), colour);
    }

private:
    static constexpr int kWidth = 3;  // pixels of the frame, outside the control
    QPointer<QWidget> m_control;      // the control framed
};

// Each client area's mark, looked up without walking the area's children:
// controls are moved and shown often (the division images as a list scrolls).
std::unordered_map<QWidget*, QPointer<FocusMark>> g_marks;

// The mark of a dialog's client area, made when first needed.
FocusMark* MarkOf(QWidget* area, bool make)
{
    if (!area)
        return nullptr;
    auto found = g_marks.find(area);
    if (found != g_marks.end() && found->second)
        return found->second;
    if (!make)
        return nullptr;
    auto* mark = new FocusMark(area);
    g_marks[area] = mark;
    return mark;
}

// The control of ours that holds a focused widget (a month calendar's
// focus is on a part of it): the widget on a dialog's client area.
QWidget* FocusedControl(QWidget* widget)
{
    WindowObject* window = WindowOf(widget);
    QWidget* area = window ? ClientWidget(window) : nullptr;
    while (widget && area && widget->parentWidget() != area)
        widget = widget->parentWidget();
    return area ? widget : nullptr;
}

void MoveFocusMark(QWidget* before, QWidget* now)
{
    if (FocusMark* old = before ? MarkOf(before->parentWidget(), false) : nullptr)
        old->Frame(nullptr);
    if (QWidget* control = FocusedControl(now))
        MarkOf(control->parentWidget(), true)->Frame(control);
}

// The filter

// Alt alone opens the menu bar when it is let go with no other key (nor a
// click) since it went down.
bool g_altAlone = false;

class KeyboardFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::WindowDeactivate)
            g_altAlone = false;
        if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || !watched->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool alt = key->key() == Qt::Key_Alt;
        if (event->type() == QEvent::KeyRelease) {
            if (!alt)
                g_altAlone = false;
            return alt && !key->isAutoRepeat() && AltLetGo(static_cast<QWidget*>(watched));
        }
        g_altAlone = alt && !(key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
        if (auto* menu = qobject_cast<QMenu*>(watched))
            return (alt || key->modifiers() == Qt::NoModifier) && MenuBarKey(menu, key->key());
        WindowObject* window = WindowOf(static_cast<QWidget*>(watched));
        if (!window)
            return false;
        if (!g_keyboardUsed) {
            g_keyboardUsed = true;
            MoveFocusMark(nullptr, QApplication::focusWidget());
        }
        Qt::KeyboardModifiers modifiers = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        int code = key->key();
        if (modifiers & Qt::ControlModifier) {
            bool back = code == Qt::Key_Backtab || code == Qt::Key_PageUp || (code == Qt::Key_Tab && (modifiers & Qt::ShiftModifier));
            bool forward = (code == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier)) || code == Qt::Key_PageDown;
            if (back || forward)
                return TurnPage(window, back ? -1 : 1);
        }
        if (modifiers == Qt::AltModifier && code >= Qt::Key_A && code <= Qt::Key_Z)
            return OpenMenuByLetter(window, code);
        if (modifiers == Qt::NoModifier && code == Qt::Key_F1)
            return ChooseHelp(window);
        if (modifiers == Qt::NoModifier && code == Qt::Key_F10)
            return OpenMenuBar(window);
        return false;
    }

private:
    // Alt let go alone: in a window of ours, its menu bar opens; in an open
    // pop-up of a menu bar, that closes.
    static bool AltLetGo(QWidget* watched)
    {
        if (!std::exchange(g_altAlone, false))
            return false;
        if (auto* menu = qobject_cast<QMenu*>(watched))
            return MenuBarKey(menu, Qt::Key_F10);
        WindowObject* window = WindowOf(watched);
        return window && OpenMenuBar(window);
    }
};

// The mark follows its control when that moves or shows.
void RefitFocusMark(WindowObject* control)
{
    QWidget* widget = control && control->widget ? control->widget->parentWidget() : nullptr;
    if (FocusMark* mark = MarkOf(widget, false); mark && mark->Control() == control->widget)
        mark->Frame(control->widget);
}

}  // namespace

void StartKeyboard()
{
    qApp->installEventFilter(new KeyboardFilter(qApp));
    QObject::connect(qApp, &QApplication::focusChanged, qApp, MoveFocusMark);
    WatchWindows([](WindowEvent event, WindowObject* control) {
        if (event == WindowEvent::ControlShown || event == WindowEvent::ControlMoved)
            RefitFocusMark(control);
    });
}

// Typed keys: each key of the sequence goes, a moment after the one before
// it was handled (as a quick typist's would), to an open pop-up, else the
// window's focused widget, else the window; never to another window of the
// process, which may still have the keyboard while this one shows.

namespace {

constexpr int kKeyGapMs = 20;  // between two typed keys

void TypeKeysFrom(QPointer<QWidget> frame, std::vector<QKeyCombination> keys, size_t index)
{
    if (index >= keys.size())
        return;
    QWidget* target = QApplication::activePopupWidget();
    if (target && target->focusWidget())
        target = target->focusWidget();  // as the desktop routes keys to a pop-up
    if (!target && frame)
        target = frame->focusWidget() ? frame->focusWidget() : frame.data();
    if (target) {
        QPointer<QWidget> receiver = target;
        QKeyEvent press(QEvent::KeyPress, keys[index].key(), keys[index].keyboardModifiers());
        QApplication::sendEvent(receiver, &press);
        if (receiver) {
            QKeyEvent release(QEvent::KeyRelease, keys[index].key(), keys[index].keyboardModifiers());
            QApplication::sendEvent(receiver, &release);
        }
    }
    QTimer::singleShot(kKeyGapMs, qApp, [frame, keys, index] { TypeKeysFrom(frame, keys, index + 1); });
}

}  // namespace

std::vector<QKeyCombination> ParseKeys(const QString& text)
{
    std::vector<QKeyCombination> keys;
    for (const QString& part : text.split(QStringLiteral(", "))) {
        QKeySequence one = QKeySequence::fromString(part.trimmed(), QKeySequence::PortableText);
        if (one.count() != 1 || one[0].key() == Qt::Key_unknown)
            return {};
        keys.push_back(one[0]);
    }
    return keys;
}

bool TypeKeys(WindowObject* window, const QString& text, std::string& error, bool perform)
{
    std::vector<QKeyCombination> keys = ParseKeys(text);
    if (keys.empty()) {
        error = "no keys in " + text.toStdString();
        return false;
    }
    if (perform)
        QTimer::singleShot(0, qApp, [frame = QPointer<QWidget>(window->widget), keys] { TypeKeysFrom(frame, keys, 0); });
    return true;
}

}  // namespace platform
