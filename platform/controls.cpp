// Controls of a dialog other than the list view: built from the template's
// items as Qt widgets, answering their messages, and telling their dialog
// what a user did with them.
//
// Divisions: notifications, widgets, tab control, combo box, list box, a
// user's choice, building, messages.

#include "platform/internal.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QWidget>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace platform {

// Notifications: held while the program waits in a blocking call.

void NotifyParent(WindowObject* control, UINT code)
{
    DeliverToProgram([control, code] {
        if (!IsLiveWindow(control))
            return;
        NMHDR header{control, static_cast<UINT_PTR>(control->id), code};
        SendMessageW(control->parent, WM_NOTIFY, static_cast<WPARAM>(control->id), reinterpret_cast<LPARAM>(&header));
    });
}

void CommandParent(WindowObject* control, int code)
{
    DeliverToProgram([control, code] {
        if (IsLiveWindow(control))
            SendMessageW(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control));
    });
}

namespace {

constexpr int kComboHeight = 15;  // handheld pixels of a closed drop-down list

// Class names compare without case; keep the system's own spelling.
std::wstring CanonicalClass(LPCWSTR name)
{
    static const wchar_t* const known[] = {L"STATIC", L"BUTTON", L"COMBOBOX", L"LISTBOX",
                                           L"SysListView32", L"SysTabControl32", L"SysMonthCal32"};
    std::wstring given = name ? name : L"";
    for (const wchar_t* candidate : known) {
        std::wstring spelled = candidate;
        if (spelled.size() == given.size() &&
            std::equal(given.begin(), given.end(), spelled.begin(), [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }))
            return spelled;
    }
    return given;
}

// Widgets

// Static text or picture; draws the texts painted on it through gdi over
// its own content, and asks its dialog for a background brush.
class StaticWidget : public QLabel {
public:
    StaticWidget(WindowObject* control, QWidget* parent) : QLabel(parent), m_control(control) {}

    // A picture is decoded when the control is first polished (before it
    // is shown), not as its dialog is built: the first image decoded also
    // has Qt look through its image plugins.
    void SetPictureDue()
    {
        m_pictureDue = true;
    }

    bool HasPicture()
    {
        LoadPicture();
        return !pixmap().isNull();
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Polish)
            LoadPicture();
        return QLabel::event(event);
    }

    void paintEvent(QPaintEvent* event) override
    {
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(m_control->parent, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(m_control)));
        if (brush) {
            QPainter background(this);
            background.fillRect(rect(), BrushColor(brush));
        }
        QLabel::paintEvent(event);
        QPainter painter(this);
        DrawPaintedTexts(m_control, painter);
    }

private:
    void LoadPicture()
    {
        if (!m_pictureDue)
            return;
        m_pictureDue = false;
        setPixmap(LoadResourcePixmap(m_control->resource, (m_control->style & 0x1F) == SS_ICON));
    }

    WindowObject* m_control;     // the control this widget shows
    bool m_pictureDue = false;   // a picture control whose image is not loaded yet
};

QWidget* CreateComboBox(WindowObject* control, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setMaxVisibleItems(8);
    QObject::connect(combo, &QComboBox::activated, combo, [control](int index) { SelectByUser(control, index); });
    return combo;
}

QWidget* CreateTabControl(WindowObject* control, QWidget* parent)
{
    auto* tabs = new QTabBar(parent);
    tabs->setShape(QTabBar::RoundedSouth);
    tabs->setExpanding(true);
    tabs->setDrawBase(false);
    tabs->setFocusPolicy(Qt::NoFocus);
    QObject::connect(tabs, &QTabBar::tabBarClicked, tabs, [control](int index) {
        if (index >= 0)
            SelectByUser(control, index);
    });
    return tabs;
}

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

QWidget* CreateButton(WindowObject* control, QWidget* parent)
{
    if ((control->style & 0xF) == BS_GROUPBOX) {
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

QWidget* CreateStatic(WindowObject* control, QWidget* parent)
{
    auto* label = new StaticWidget(control, parent);
    int kind = control->style & 0x1F;
    if (kind == SS_BITMAP || kind == SS_ICON) {
        label->SetPictureDue();
        bool centred = (control->style & SS_CENTERIMAGE) != 0;
        label->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    label->setText(Q(control->text));
    label->setAlignment((kind == SS_CENTER ? Qt::AlignHCenter : kind == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    return label;
}

// A control's widget for its class.
QWidget* CreateControlWidget(WindowObject* control, QWidget* parent)
{
    if (IsClass(control, L"SysListView32"))
        return CreateListView(control, parent);
    if (IsClass(control, L"COMBOBOX"))
        return CreateComboBox(control, parent);
    if (IsClass(control, L"SysTabControl32"))
        return CreateTabControl(control, parent);
    if (IsClass(control, L"BUTTON"))
        return CreateButton(control, parent);
    if (IsClass(control, L"LISTBOX"))
        return new QListWidget(parent);
    if (IsClass(control, L"SysMonthCal32"))
        return CreateMonthCalendar(parent);
    if (IsClass(control, L"STATIC"))
        return CreateStatic(control, parent);
    return new QWidget(parent);
}

// Tab control

LRESULT TabMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* tabs = static_cast<QTabBar*>(control->widget);
    ControlData& data = control->data;
    switch (message) {
    case TCM_INSERTITEMW: {
        const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item)
            return -1;
        int at = std::clamp(static_cast<int>(wParam), 0, tabs->count());
        tabs->blockSignals(true);
        tabs->insertTab(at, Q(item->pszText && (item->mask & TCIF_TEXT) ? item->pszText : L""));
        tabs->blockSignals(false);
        data.items.insert(data.items.begin() + at, item->pszText ? item->pszText : L"");
        // The first tab inserted becomes the current one.
        if (data.selection < 0)
            data.selection = 0;
        else if (at <= data.selection)
            ++data.selection;
        tabs->blockSignals(true);
        tabs->setCurrentIndex(data.selection);
        tabs->blockSignals(false);
        return at;
    }
    case TCM_GETITEMCOUNT:
        return static_cast<LRESULT>(data.items.size());
    case TCM_GETCURSEL:
        return data.selection;
    case TCM_SETCURSEL: {
        int old = data.selection;
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= static_cast<int>(data.items.size()))
            return -1;
        data.selection = index;
        tabs->blockSignals(true);
        tabs->setCurrentIndex(index);
        tabs->blockSignals(false);
        return old;
    }
    default:
        return 0;
    }
}

// Combo box

LRESULT ComboMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* combo = static_cast<QComboBox*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case CB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        data.items.push_back(text);
        data.itemData.push_back(0);
        combo->blockSignals(true);
        combo->addItem(Q(text));
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return count;
    }
    case CB_GETCOUNT:
        return count;
    case CB_RESETCONTENT:
        data.items.clear();
        data.itemData.clear();
        data.selection = -1;
        combo->blockSignals(true);
        combo->clear();
        combo->blockSignals(false);
        return TRUE;
    case CB_GETCURSEL:
        return data.selection;
    case CB_SETCURSEL:
        data.selection = index >= 0 && index < count ? index : -1;
        combo->blockSignals(true);
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return index >= 0 && index < count ? index : CB_ERR;
    case CB_SETITEMDATA:
        if (index < 0 || index >= count)
            return CB_ERR;
        data.itemData[static_cast<size_t>(index)] = lParam;
        return TRUE;
    case CB_GETITEMDATA:
        return index >= 0 && index < count ? data.itemData[static_cast<size_t>(index)] : CB_ERR;
    case CB_GETLBTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : CB_ERR;
    default:
        return 0;
    }
}

// List box

// Compares two texts without regard to case, as a sorted list box does.
bool LessWithoutCase(const std::wstring& a, const std::wstring& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

LRESULT ListBoxMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* list = static_cast<QListWidget*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case LB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        auto at = data.items.end();
        if (control->style & LBS_SORT)
            at = std::upper_bound(data.items.begin(), data.items.end(), text, LessWithoutCase);
        int position = static_cast<int>(at - data.items.begin());
        data.items.insert(at, text);
        list->insertItem(position, Q(text));
        return position;
    }
    case LB_RESETCONTENT:
        data.items.clear();
        list->clear();
        return TRUE;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : LB_ERR;
    case LB_GETTEXT:
        if (index < 0 || index >= count || !lParam)
            return LB_ERR;
        std::wcscpy(reinterpret_cast<WCHAR*>(lParam), data.items[static_cast<size_t>(index)].c_str());
        return static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size());
    default:
        return 0;
    }
}

}  // namespace

// A user's choice

// A user's choice of a combo box entry or a tab, with its notification.
void SelectByUser(WindowObject* control, int index)
{
    control->data.selection = index;
    if (IsClass(control, L"COMBOBOX")) {
        auto* combo = static_cast<QComboBox*>(control->widget);
        combo->blockSignals(true);
        combo->setCurrentIndex(index);
        combo->blockSignals(false);
        CommandParent(control, CBN_SELCHANGE);
    } else {
        auto* tabs = static_cast<QTabBar*>(control->widget);
        tabs->blockSignals(true);
        tabs->setCurrentIndex(index);
        tabs->blockSignals(false);
        NotifyParent(control, TCN_SELCHANGE);
    }
}

// Building

void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate)
{
    for (int i = 0; i < dialogTemplate->cdit; ++i) {
        const DLGITEMTEMPLATEW& item = dialogTemplate->items[i];
        auto* control = new WindowObject;
        control->kind = WindowKind::Control;
        control->parent = dialog;
        control->id = item.id;
        control->className = CanonicalClass(item.windowClass);
        control->text = item.title ? item.title : L"";
        control->style = item.style;
        control->exStyle = item.dwExtendedStyle;
        control->resource = item.resource;
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->widget = CreateControlWidget(control, ClientWidget(dialog));
        control->widget->setFont(DialogFont());
        // A drop-down's template height includes its list; closed, it is one line tall.
        int height = DialogUnitsToPixelsY(item.cy);
        if (IsClass(control, L"COMBOBOX"))
            height = std::min(height, kComboHeight);
        control->widget->setGeometry(DialogUnitsToPixelsX(item.x) * kScale, DialogUnitsToPixelsY(item.y) * kScale,
                                     DialogUnitsToPixelsX(item.cx) * kScale, height * kScale);
        // A child of a dialog not yet shown appears with it: showing it now
        // would only polish and lay it out early, before WM_INITDIALOG.
        if (!control->visible || ClientWidget(dialog)->isVisible())
            control->widget->setVisible(control->visible);
        dialog->children.push_back(control);
        RegisterWindow(control);
    }
    for (WindowObject* control : dialog->children)
        NameControl(control);
}

// Messages

LRESULT ControlMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT:
        return SetWindowTextW(control, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
        return GetWindowTextW(control, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control->text.size());
    default:
        break;
    }
    if (IsClass(control, L"SysListView32"))
        return ListViewMessage(control, message, wParam, lParam);
    if (IsClass(control, L"SysTabControl32"))
        return TabMessage(control, message, wParam, lParam);
    if (IsClass(control, L"COMBOBOX"))
        return ComboMessage(control, message, wParam, lParam);
    if (IsClass(control, L"LISTBOX"))
        return ListBoxMessage(control, message, wParam, lParam);
    return 0;
}

void ControlTextChanged(WindowObject* control)
{
    if (auto* button = qobject_cast<QPushButton*>(control->widget))
        button->setText(Q(control->text));
    else if (dynamic_cast<GroupBoxWidget*>(control->widget))
        control->widget->update();
    else if (auto* label = dynamic_cast<StaticWidget*>(control->widget); label && !label->HasPicture())
        label->setText(Q(control->text));
    NameControl(control);
}


}  // namespace platform
