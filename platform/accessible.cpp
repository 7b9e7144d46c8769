// What a screen reader hears: each control's accessible name, given to its
// widget as the control is built and again when what it is named after
// changes; the roles and names of the windows; and which controls a reader
// is shown.
//
// Divisions: the words a control shows, a picker's label, a figure's
// heading, windows, naming.

#include "platform/internal.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

#include <cstdlib>
#include <limits>

namespace platform {

namespace {

constexpr int kHeadingGap = 12;  // handheld pixels at most between a picture and a figure under it

// The words a control shows. A text control says its text, a static painted on what is painted, a picture the
// words it shows (the string resource of the picture's own ID), a group box
// its title, a list its column headings; pickers and tabs say their chosen
// entry, as the desktop has them do, and a picker is labelled by the label
// beside it on its row. A control with none of these says the caption of
// its dialog.

bool IsPicture(const WindowObject* control)
{
    int kind = control->style & 0x1F;
    return IsClass(control, L"STATIC") && (kind == SS_BITMAP || kind == SS_ICON);
}

// Distinct texts, trimmed, joined by commas.
QString JoinTexts(const std::vector<std::wstring>& texts)
{
    QStringList joined;
    for (const std::wstring& text : texts)
        if (QString trimmed = Q(text).trimmed(); !trimmed.isEmpty() && !joined.contains(trimmed))
            joined.append(trimmed);
    return joined.join(QStringLiteral(", "));
}

// The words of a control that names itself, or none.
QString OwnWords(const WindowObject* control)
{
    if (IsPicture(control)) {
        WCHAR words[256] = {};
        LoadStringW(GetModuleHandleW(nullptr), control->resource, words, 256);
        return QString::fromWCharArray(words);
    }
    if (IsClass(control, L"STATIC") && !control->data.painted.empty()) {
        std::vector<std::wstring> painted;
        for (const PaintedText& text : control->data.painted)
            painted.push_back(text.text);
        return JoinTexts(painted);
    }
    if (IsClass(control, L"SysListView32")) {
        std::vector<std::wstring> headings;
        for (const ListColumn& column : control->data.columns)
            headings.push_back(column.text);
        return JoinTexts(headings);
    }
    if (IsClass(control, L"STATIC") || IsClass(control, L"BUTTON"))
        return Q(control->text).trimmed();
    return QString();
}

// A picker's label

// True for a group box: a frame around controls, titled.
bool IsGroupBox(const WindowObject* control)
{
    return IsClass(control, L"BUTTON") && (control->style & 0xF) == BS_GROUPBOX;
}

// The label of a picker: the group box around it; else a static to its left
// on its row, a shown one before a hidden one, the nearest first.
WindowObject* LabelFor(const WindowObject* control)
{
    const QRect own = control->widget->geometry();
    for (WindowObject* other : control->parent->children)
        if (IsGroupBox(other) && other->widget->geometry().contains(own))
            return other;
    WindowObject* best = nullptr;
    long bestScore = std::numeric_limits<long>::max();
    for (WindowObject* other : control->parent->children) {
        if (!IsClass(other, L"STATIC") || OwnWords(other).isEmpty())
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

// A figure's heading

// A figure's heading: the word of the picture just above it (a picture
// whose resource places its words) that stands nearest over its middle.
QString HeadingOf(const WindowObject* figure)
{
    const QRect own = figure->widget->geometry();
    for (WindowObject* other : figure->parent->children) {
        if (!IsPicture(other))
            continue;
        HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(other->resource), RT_RCDATA);
        const auto* places = found ? static_cast<const PICTUREWORDS*>(LoadResource(GetModuleHandleW(nullptr), found)) : nullptr;
        const QRect area = other->widget->geometry();
        if (!places || own.top() < area.top() || own.top() - area.bottom() > kHeadingGap * kScale)
            continue;
        const PICTUREWORD* nearest = nullptr;
        for (int i = 0; i < places->count; ++i) {
            const PICTUREWORD& word = places->words[i];
            int distance = std::abs(area.left() + word.x * kScale - own.center().x());
            if (!nearest || distance < std::abs(area.left() + nearest->x * kScale - own.center().x()))
                nearest = &word;
        }
        if (nearest)
            return QString::fromWCharArray(nearest->word);
    }
    return QString();
}

// Windows: the main window is a frame, the others (message boxes too) are
// dialogs, each named by its caption; a dialog's client area shows a reader
// only the controls that are shown.

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
        QList<QWidget*> shown;
        for (QObject* object : widget()->children()) {
            auto* control = qobject_cast<QWidget*>(object);
            if (control && !control->isWindow() && !control->isHidden() && control->objectName() != kFocusMarkName)
                shown.append(control);
        }
        return shown;
    }
};

QAccessibleInterface* AccessibleFor(const QString&, QObject* object)
{
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

// Naming

// Before the first window is made: the interfaces Qt makes are kept.
void StartAccessibility()
{
    static bool started = false;
    if (!started)
        QAccessible::installFactory(AccessibleFor);
    started = true;
}

void NameControl(WindowObject* control)
{
    QString name = OwnWords(control);
    if (IsClass(control, L"COMBOBOX")) {
        WindowObject* label = LabelFor(control);
        if (auto* widget = label ? dynamic_cast<QLabel*>(label->widget) : nullptr)
            widget->setBuddy(control->widget);
        name = label ? OwnWords(label) : QString();
    } else if (IsClass(control, L"STATIC") && !IsPicture(control)) {
        QString heading = HeadingOf(control);
        if (!heading.isEmpty())
            name = heading + QStringLiteral(" ") + name;
    }
    if (name.isEmpty() && !IsClass(control, L"SysTabControl32") && !IsClass(control, L"COMBOBOX"))
        name = Q(control->parent->text);
    control->widget->setAccessibleName(name);
}

// A picker's label may be one that shows or hides with a page: the pickers
// of the dialog are named again whenever a static or a picker does.
void ShownOrHidden(WindowObject* control)
{
    if (!IsClass(control, L"STATIC") && !IsClass(control, L"COMBOBOX"))
        return;
    for (WindowObject* sibling : control->parent->children)
        if (IsClass(sibling, L"COMBOBOX"))
            NameControl(sibling);
}

QString RowLabelWords(const WindowObject* picture)
{
    return IsLiveWindow(picture) ? OwnWords(picture) : QString();
}

}  // namespace platform
