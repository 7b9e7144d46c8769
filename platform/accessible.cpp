// Accessible names: what a screen reader says for each control, given to
// its widget as the control is built and again when what it is named after
// changes.
//
// Divisions: the words a control shows, a picker's label, naming.

#include "platform/internal.h"

#include <QLabel>
#include <QStringList>

#include <limits>

namespace platform {

namespace {

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

// The label of a picker: a static to its left on its row, a shown one
// before a hidden one, the nearest first.
WindowObject* LabelFor(const WindowObject* control)
{
    const QRect own = control->widget->geometry();
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

}  // namespace

// Naming

void NameControl(WindowObject* control)
{
    QString name = OwnWords(control);
    if (IsClass(control, L"COMBOBOX")) {
        WindowObject* label = LabelFor(control);
        if (auto* widget = label ? dynamic_cast<QLabel*>(label->widget) : nullptr)
            widget->setBuddy(control->widget);
        name = label ? OwnWords(label) : QString();
    }
    if (name.isEmpty() && !IsClass(control, L"SysTabControl32") && !IsClass(control, L"COMBOBOX"))
        name = Q(control->parent->text);
    control->widget->setAccessibleName(name);
}

}  // namespace platform
