// The handheld shell: full-screen dialogs, the menu bar at the bottom with
// its drop-down buttons (a control of its dialog, in the table of control
// classes), and the Done button.
//
// Divisions: the menu bar's buttons, the shell's calls.

#include "platform/controls.h"
#include "platform/window.h"

#include <QHBoxLayout>
#include <QMenu>
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

}  // namespace

// The shell's calls

// The menu bar is a control of its dialog: the handle the program keeps,
// its entries the pop-ups' captions.
const ControlClass platform::kMenuBarClass = {.name = L"menu_worker"};

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
    auto* bar = new QWidget(dialog->widget);
    bar->setAutoFillBackground(true);
    bar->setObjectName("menubar");
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
