// The button control: a push button, which tells its dialog when pressed
// (Return presses the focused one), or a group box, a titled frame around
// other controls whose title labels the pickers inside it for a screen
// reader.
//
// Divisions: the group box, the push button, the entry.

#include "platform/accessible.h"
#include "platform/controls.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace platform {

namespace {

bool IsGroupBox(const WindowObject* control)
{
    return (control->style & 0xF) == BS_GROUPBOX;
}

// The group box

// A group box as the handheld draws it: a thin frame whose top line its
// title interrupts, on the window's white.
// A label to the screen reader, so that the pickers in it are labelled by
// its title.
class GroupBoxWidget : public QLabel {
public:
    GroupBoxWidget(WindowObject* control, QWidget* parent) : QLabel(parent), m_control(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QFontMetrics metrics(font());
        QString title = Q(m_control->text);
        int line = metrics.height() / 2;
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawRect(0, line, width() - 1, height() - line - 1);
        QRect words(kTitleInset, 0, metrics.horizontalAdvance(title), metrics.height());
        painter.fillRect(words, Qt::white);
        painter.setPen(Qt::black);
        painter.drawText(words, Qt::AlignLeft | Qt::AlignVCenter, title);
    }

private:
    static constexpr int kTitleInset = 4 * kScale;  // the title's distance from the left edge
    WindowObject* m_control;                         // the group box control
};

// The push button

QWidget* CreateButton(WindowObject* control, QWidget* parent)
{
    if (IsGroupBox(control)) {
        // A frame around other controls: it lies beneath them.
        auto* group = new GroupBoxWidget(control, parent);
        group->lower();
        return group;
    }
    auto* button = new QPushButton(Q(control->text), parent);
    button->setAutoDefault(true);  // Return presses the focused button
    QObject::connect(button, &QPushButton::clicked, button, [control] { CommandParent(control, BN_CLICKED); });
    return button;
}

void ButtonTextChanged(WindowObject* control)
{
    if (auto* button = qobject_cast<QPushButton*>(control->widget))
        button->setText(Q(control->text));
    else
        control->widget->update();
    NameControl(control);
}

}  // namespace

// The entry

const ControlClass kButtonClass = {
    .name = L"BUTTON",
    .create = CreateButton,
    .textChanged = ButtonTextChanged,
    .words = [](const WindowObject* control) { return Q(control->text).trimmed(); },
    .labels = [](const WindowObject* control) { return IsGroupBox(control) ? Labelling::Around : Labelling::None; },
    .dump = kDumpText,
    .presses = [](const WindowObject* control) { return !IsGroupBox(control); },
};

}  // namespace platform
