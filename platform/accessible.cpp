// What a screen reader hears: each control's accessible name, given to its
// widget as the control is built and again when what it is named after
// changes; the roles and names of the windows; which controls a reader is
// shown; the control classes' own interfaces, and what their parts share.
//
// Divisions: a picker's label, windows, parts, naming.

#include "platform/accessible.h"

#include "platform/control.h"
#include "platform/window.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace platform {

namespace {

// A picker's label

Labelling LabellingOf(const WindowObject* control)
{
    return control->klass && control->klass->labels ? control->klass->labels(control) : Labelling::None;
}

// The label of a picker: the group box around it; else a static to its left
// on its row, a shown one before a hidden one, the nearest first.
WindowObject* LabelFor(const WindowObject* control)
{
    const QRect own = control->widget->geometry();
    for (WindowObject* other : control->parent->children)
        if (LabellingOf(other) == Labelling::Around && other->widget->geometry().contains(own))
            return other;
    WindowObject* best = nullptr;
    long bestScore = std::numeric_limits<long>::max();
    for (WindowObject* other : control->parent->children) {
        if (LabellingOf(other) != Labelling::Beside || ControlWords(other).isEmpty())
            continue;
        const QRect area = other->widget->geometry();
        if (area.top() > own.bottom() || own.top() > area.bottom() || area.right() > own.left() + kScale)
            continue;
        long score = own.left() - area.right() + (other->visible != control->visible ? 1000000L : 0);
        if (score < bestScore) {
            bestScore = score;
            best = other;
        }
    }
    return best;
}

// Windows: the main window is a frame, the others (message boxes too) are
// dialogs, each named by its caption. A window shows a reader only what is
// shown: a dialog's client area, or any other unnamed plain container (a
// message box's row of buttons), is no node of its own, its children stand
// in its place; a picture without words is not read, and the client area
// shows neither the focus mark nor a picture whose words another control
// says (the division pictures over a list's rows, a picture of the headings
// of a list or of figures).

// A picture of a dialog that another of its shown controls says the words of.
bool SaidElsewhere(const WindowObject* dialog, const QWidget* widget)
{
    const WindowObject* picture = nullptr;
    for (const WindowObject* control : dialog->children)
        if (control->widget == widget)
            picture = control;
    if (!picture || !picture->klass || !picture->klass->isPicture || !picture->klass->isPicture(picture))
        return false;
    for (const WindowObject* other : dialog->children)
        if (other != picture && other->visible && other->klass && other->klass->says && other->klass->says(other, picture))
            return true;
    return false;
}

// A node as a reader is shown it, into `shown`: an unnamed plain container
// passed through, a picture without words (a message box's icon) left out.
void AddShown(QAccessibleInterface* child, QList<QAccessibleInterface*>& shown)
{
    if (!child || child->state().invisible)
        return;
    const QAccessible::Role role = child->role();
    const bool unnamed = child->text(QAccessible::Name).isEmpty();
    if (unnamed && role == QAccessible::Graphic)
        return;
    if (!unnamed || (role != QAccessible::Client && role != QAccessible::Grouping && role != QAccessible::Pane)) {
        shown.append(child);
        return;
    }
    for (int i = 0; i < child->childCount(); ++i)
        AddShown(child->child(i), shown);
}

// A top-level window of ours: the main window (the oldest dialog) is the
// frame, the others dialogs.
class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Dialog) {}

    QAccessible::Role role() const override
    {
        for (WindowObject* window : TopLevelWindows())
            if (window->kind == WindowKind::Dialog)
                return window->widget == widget() ? QAccessible::Window : QAccessible::Dialog;
        return QAccessible::Dialog;
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? widget()->windowTitle() : QAccessibleWidget::text(kind);
    }

    int childCount() const override
    {
        return static_cast<int>(Shown().size());
    }

    QAccessibleInterface* child(int index) const override
    {
        QList<QAccessibleInterface*> shown = Shown();
        return index >= 0 && index < shown.size() ? shown[index] : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return static_cast<int>(Shown().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    QList<QAccessibleInterface*> Shown() const
    {
        QList<QAccessibleInterface*> shown;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i)
            AddShown(QAccessibleWidget::child(i), shown);
        return shown;
    }
};

// A dialog's client area: its shown controls only, so that the hidden ones
// (another page's, the never-shown schedule table) are not read.
class ClientAccessible : public QAccessibleWidget {
public:
    explicit ClientAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Client) {}

    int childCount() const override
    {
        return static_cast<int>(Shown().size());
    }

    QAccessibleInterface* child(int index) const override
    {
        QList<QWidget*> shown = Shown();
        return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(Shown().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> Shown() const
    {
        const WindowObject* dialog = nullptr;
        for (const WindowObject* window : TopLevelWindows())
            if (window->client == widget())
                dialog = window;
        QList<QWidget*> shown;
        for (QObject* object : widget()->children()) {
            auto* control = qobject_cast<QWidget*>(object);
            if (control && !control->isWindow() && !control->isHidden() && control->objectName() != kFocusMarkName &&
                !(dialog && SaidElsewhere(dialog, control)))
                shown.append(control);
        }
        return shown;
    }
};

std::vector<const ControlClass*> g_offered;  // the classes whose own interfaces are asked for

QAccessibleInterface* AccessibleFor(const QString&, QObject* object)
{
    for (const ControlClass* klass : g_offered)
        if (QAccessibleInterface* own = klass->accessible(object))
            return own;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (widget->objectName() == kClientAreaName)
        return new ClientAccessible(widget);
    if (widget->objectName() == kWindowName || qobject_cast<QMessageBox*>(widget))
        return new WindowAccessible(widget);
    return nullptr;
}

}  // namespace

// Parts

void OfferAccessible(const ControlClass* klass)
{
    if (klass->accessible && std::find(g_offered.begin(), g_offered.end(), klass) == g_offered.end())
        g_offered.push_back(klass);
}

QRect PartAccessible::OnScreen(const QRect& area) const
{
    if (!m_owner || !m_owner->isVisible())
        return QRect();
    return QRect(m_owner->mapToGlobal(area.topLeft()), area.size());
}

void PartInterfaces::Clear()
{
    for (const auto& [number, id] : m_ids)
        QAccessible::deleteAccessibleInterface(id);
    m_ids.clear();
}

// Naming

// Before the first window is made: the interfaces Qt makes are kept. A
// picker's label may be one that shows or hides with a page: the pickers
// of the dialog are named again whenever a control that labels, or a
// picker, does.
void StartAccessibility()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    QAccessible::installFactory(AccessibleFor);
    WatchWindows([](WindowEvent event, WindowObject* control) {
        if (event != WindowEvent::ControlShown || (LabellingOf(control) == Labelling::None && !control->klass->labelled))
            return;
        for (WindowObject* sibling : control->parent->children)
            if (sibling->klass && sibling->klass->labelled)
                NameControl(sibling);
    });
}

QString ControlWords(const WindowObject* control)
{
    return control->klass && control->klass->words ? control->klass->words(control) : QString();
}

QString JoinTexts(const std::vector<std::wstring>& texts)
{
    QStringList joined;
    for (const std::wstring& text : texts)
        if (QString trimmed = Q(text).trimmed(); !trimmed.isEmpty() && !joined.contains(trimmed))
            joined.append(trimmed);
    return joined.join(QStringLiteral(", "));
}

void NameControl(WindowObject* control)
{
    const ControlClass* klass = control->klass;
    if (!klass)
        return;
    QString name = ControlWords(control);
    if (klass->labelled) {
        WindowObject* label = LabelFor(control);
        if (auto* widget = label ? dynamic_cast<QLabel*>(label->widget) : nullptr)
            widget->setBuddy(control->widget);
        name = label ? ControlWords(label) : QString();
    } else if (klass->heading) {
        QString heading = klass->heading(control);
        if (!heading.isEmpty())
            name = heading + QStringLiteral(" ") + name;
    }
    if (name.isEmpty() && !klass->labelled && !klass->named)
        name = Q(control->parent->text);
    // A reader hears a name given again as a change: only a new one is given.
    if (control->widget->accessibleName() != name)
        control->widget->setAccessibleName(name);
    // A picker's list of entries, read for their count and shown when it
    // opens, is named by its label too.
    if (klass->labelled)
        for (QAbstractItemView* list : control->widget->findChildren<QAbstractItemView*>())
            if (list->accessibleName() != name)
                list->setAccessibleName(name);
}

}  // namespace platform
