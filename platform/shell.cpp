// The handheld shell: full-screen dialogs, the menu bar at the bottom with
// its drop-down buttons (a control of its dialog, in the table of control
// classes), and the Done button. To a screen reader the bar is a menu bar
// whose buttons are its menus.
//
// Divisions: the menu bar's buttons, a screen reader's menu bar, the
// shell's calls.

#include "platform/accessible.h"
#include "platform/controls.h"
#include "platform/window.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

using namespace platform;

namespace {

// The menu bar's buttons

// Finds a resource's data of the given type, or none.
const void* ResourceData(HINSTANCE module, UINT id, LPCWSTR type)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    return resource ? LoadResource(module, resource) : nullptr;
}

// Once the menu bar is left (a pop-up closed with none opened after it), a
// screen reader is told where the focus is again, as when a desktop's menu
// bar gives it back.
void TellFocusBack()
{
    QWidget* focus = QApplication::focusWidget();
    if (QApplication::activePopupWidget() || !focus || !QAccessible::isActive())
        return;
    QAccessibleEvent back(focus, QAccessible::Focus);
    QAccessible::updateAccessibility(&back);
}

// A drop-down button showing one pop-up of the menu; its items post their
// command IDs to the menu bar's parent.
QToolButton* CreateMenuButton(HWND parent, HINSTANCE module, const MENUBARBUTTON& button, const MENUTEMPLATE* menu, QWidget* bar)
{
    auto* tool = new QToolButton(bar);
    WCHAR caption[64] = {};
    LoadStringW(module, button.idString, caption, 64);
    tool->setText(QString::fromStdWString(caption));
    tool->setEnabled((button.fsState & TBSTATE_ENABLED) != 0);
    tool->setPopupMode(QToolButton::InstantPopup);
    tool->setFocusPolicy(Qt::NoFocus);  // the keyboard opens it with Alt and its letter
    tool->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (menu && button.popup >= 0 && button.popup < menu->count) {
        auto* popup = new QMenu(tool);
        popup->setAccessibleName(tool->text());
        QObject::connect(popup, &QMenu::aboutToHide, popup, [] { QTimer::singleShot(0, qApp, TellFocusBack); });
        const MENUPOPUPTEMPLATE& items = menu->popups[button.popup];
        for (int i = 0; i < items.count; ++i) {
            const MENUITEMTEMPLATE& item = items.items[i];
            if (!item.text) {
                popup->addSeparator();
                continue;
            }
            UINT id = item.id;
            QObject::connect(popup->addAction(QString::fromStdWString(item.text)), &QAction::triggered, popup,
                             [parent, id] { PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), 0); });
        }
        tool->setMenu(popup);
    }
    return tool;
}

// A screen reader's menu bar

const char kMenuBarName[] = "menubar";  // the bar's object name

bool IsMenuButton(const QObject* object)
{
    const QObject* bar = object->parent();
    return qobject_cast<const QToolButton*>(object) && bar && bar->objectName() == kMenuBarName;
}

// An item of a pop-up of the bar (a separator says nothing).
class MenuItemAccessible : public PartAccessible {
public:
    MenuItemAccessible(QMenu* menu, int index) : PartAccessible(menu), m_index(index) {}

    QString text(QAccessible::Text kind) const override
    {
        QAction* item = Item();
        return kind == QAccessible::Name && item ? item->text() : QString();
    }
    QRect rect() const override
    {
        QAction* item = Item();
        return item ? OnScreen(Menu()->actionGeometry(item)) : QRect();
    }
    QAccessible::Role role() const override
    {
        QAction* item = Item();
        return item && item->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        QAction* item = Item();
        state.invisible = !item || !Menu()->isVisible();
        state.disabled = item && !item->isEnabled();
        state.focusable = item && !item->isSeparator();
        state.focused = item && Menu()->activeAction() == item;
        return state;
    }

    int Index() const
    {
        return m_index;
    }

private:
    QMenu* Menu() const
    {
        return static_cast<QMenu*>(Owner());
    }
    QAction* Item() const
    {
        return isValid() ? Menu()->actions().value(m_index) : nullptr;
    }

    int m_index;  // its place in the pop-up
};

// A pop-up of the bar, its items in order, within the menu that opened it
// (Qt would show it on its own, outside the menu bar).
class PopupAccessible : public QAccessibleWidget {
public:
    explicit PopupAccessible(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(widget()->parentWidget());
    }
    int childCount() const override
    {
        return static_cast<int>(widget()->actions().size());
    }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        return m_items.Get(index, [&] { return new MenuItemAccessible(static_cast<QMenu*>(widget()), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* item = dynamic_cast<const MenuItemAccessible*>(child);
        return item && item->Owner() == widget() ? item->Index() : -1;
    }

private:
    mutable PartInterfaces m_items;  // the items a screen reader has asked for
};

// A button of the bar is a menu named by its caption, holding its pop-up
// while that is open.
class MenuAccessible : public QAccessibleWidget {
public:
    explicit MenuAccessible(QToolButton* button) : QAccessibleWidget(button, QAccessible::MenuItem) {}

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? Button()->text() : QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = Button()->menu() != nullptr;
        state.expanded = Open();
        return state;
    }
    int childCount() const override
    {
        return Open() ? 1 : 0;
    }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && Open() ? QAccessible::queryAccessibleInterface(Button()->menu()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && Open() && child->object() == Button()->menu() ? 0 : -1;
    }

private:
    QToolButton* Button() const
    {
        return static_cast<QToolButton*>(widget());
    }
    bool Open() const
    {
        return Button()->menu() && Button()->menu()->isVisible();
    }
};

// The bar is a menu bar; an empty one (a dialog's) is a plain container
// with nothing in it, which a reader is not shown.
class MenuBarAccessible : public QAccessibleWidget {
public:
    explicit MenuBarAccessible(QWidget* bar) : QAccessibleWidget(bar) {}

    QAccessible::Role role() const override
    {
        return widget()->findChild<QToolButton*>() ? QAccessible::MenuBar : QAccessible::Client;
    }
};

QAccessibleInterface* MenuBarAccessibleFor(QObject* object)
{
    if (auto* menu = qobject_cast<QMenu*>(object); menu && menu->parentWidget() && IsMenuButton(menu->parentWidget()))
        return new PopupAccessible(menu);
    if (IsMenuButton(object))
        return new MenuAccessible(static_cast<QToolButton*>(object));
    if (object->isWidgetType() && object->objectName() == kMenuBarName)
        return new MenuBarAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

// The shell's calls

// The menu bar is a control of its dialog: the handle the program keeps,
// its entries the pop-ups' captions.
const ControlClass platform::kMenuBarClass = {.name = L"menu_worker", .accessible = MenuBarAccessibleFor};

BOOL SHInitDialog(const SHINITDLGINFO* info)
{
    if (!info || !IsLiveWindow(info->hDlg) || !(info->dwMask & SHIDIM_FLAGS))
        return FALSE;
    WindowObject* dialog = info->hDlg;
    if (info->dwFlags & SHIDIF_SIZEDLGFULLSCREEN) {
        // The whole screen below the navigation bar; the menu bar takes the bottom.
        dialog->screenX = 0;
        dialog->screenY = kNavBarHeight;
        int height = kScreenHeight - kNavBarHeight - kMenuBarHeight;
        dialog->widget->resize(kScreenWidth * kScale, (height + (dialog->menuBar ? kMenuBarHeight : 0)) * kScale);
    }
    return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    if (!info || info->cbSize != sizeof(SHMENUBARINFO) || !IsLiveWindow(info->hwndParent))
        return FALSE;
    WindowObject* dialog = info->hwndParent;
    const MENUBARTEMPLATE* layout = nullptr;
    const MENUTEMPLATE* menu = nullptr;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
        layout = static_cast<const MENUBARTEMPLATE*>(ResourceData(info->hInstRes, info->nToolBarId, RT_RCDATA));
        if (!layout)
            return FALSE;
        menu = static_cast<const MENUTEMPLATE*>(ResourceData(info->hInstRes, layout->menuId, RT_MENU));
    }
    if (dialog->menuBar)
        return FALSE;
    OfferAccessible(&kMenuBarClass);
    // Named before it has a parent, so that a screen reader's first look at it knows it.
    auto* bar = new QWidget;
    bar->setObjectName(kMenuBarName);
    bar->setParent(dialog->widget);
    bar->setAutoFillBackground(true);
    bar->setStyleSheet("#menubar { background: #d4dbe8; border-top: 1px solid #8090b0; }");
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2 * kScale, 1, 2 * kScale, 1);
    auto* control = new WindowObject;
    control->kind = WindowKind::Control;
    control->parent = dialog;
    control->className = kMenuBarClass.name;
    control->klass = &kMenuBarClass;
    control->visible = true;
    control->widget = bar;
    for (int i = 0; layout && i < layout->count; ++i) {
        row->addWidget(CreateMenuButton(dialog, info->hInstRes, layout->buttons[i], menu, bar));
        WCHAR caption[64] = {};
        LoadStringW(info->hInstRes, layout->buttons[i].idString, caption, 64);
        control->data.items.push_back(caption);
    }
    row->addStretch(1);
    dialog->menuBar = bar;
    dialog->children.push_back(control);
    RegisterWindow(control);
    QSize size = dialog->widget->size();
    dialog->widget->resize(size.width(), size.height() + kMenuBarHeight * kScale);
    if (dialog->widget->isVisible())
        bar->show();  // else it appears with the dialog
    info->hwndMB = control;
    return TRUE;
}

BOOL SHDoneButton(HWND dialog, DWORD)
{
    // The desktop window has no Done button in its caption to show or hide.
    return IsLiveWindow(dialog);
}
