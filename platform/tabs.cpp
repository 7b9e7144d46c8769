// The tab control: the page tabs at the bottom of a dialog. A person's
// choice, by a click or the page keys, tells its dialog; to a screen reader
// each tab says its page.
//
// Divisions: the widget and a person's choice, messages, the entry.

#include "platform/controls.h"

#include <QTabBar>

#include <algorithm>

namespace platform {

namespace {

// The widget and a person's choice

void ChooseTab(WindowObject* control, int index)
{
    control->data.selection = index;
    auto* tabs = static_cast<QTabBar*>(control->widget);
    tabs->blockSignals(true);
    tabs->setCurrentIndex(index);
    tabs->blockSignals(false);
    NotifyParent(control, TCN_SELCHANGE);
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
            ChooseTab(control, index);
    });
    return tabs;
}

// Messages

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

}  // namespace

// The entry

const ControlClass kTabClass = {
    .name = L"SysTabControl32",
    .create = CreateTabControl,
    .message = TabMessage,
    .named = true,
    .dump = kDumpItems | kDumpSelection,
    .choose = ChooseTab,
    .pages = true,
};

}  // namespace platform
