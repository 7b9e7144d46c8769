// The tab control: the page tabs at the bottom of a dialog. A person's
// choice, by a click or the page keys, tells its dialog; to a screen reader
// it is a list of page tabs, each named by its page without the padding of
// its text, the current one selected.
//
// Divisions: the widget and a person's choice, a screen reader's tabs,
// messages, the entry.

#include "platform/accessible.h"
#include "platform/controls.h"

#include <QAccessibleWidget>
#include <QTabBar>

#include <algorithm>

namespace platform {

namespace {

// The widget and a person's choice

class PageTabs : public QTabBar {
public:
    PageTabs(WindowObject* control, QWidget* parent) : QTabBar(parent), m_control(control) {}

    WindowObject* Control() const
    {
        return m_control;
    }

private:
    WindowObject* m_control;  // the tab control it shows
};

// Makes `index` the current tab, telling the program nothing. A screen
// reader hears the new tab selected (QTabBar tells it) and the one left
// deselected.
void ShowTab(QTabBar* tabs, int index)
{
    const int old = tabs->currentIndex();
    tabs->blockSignals(true);
    tabs->setCurrentIndex(index);
    tabs->blockSignals(false);
    if (old >= 0 && old != tabs->currentIndex() && QAccessible::isActive()) {
        QAccessibleEvent left(tabs, QAccessible::SelectionRemove);
        left.setChild(old);
        QAccessible::updateAccessibility(&left);
    }
}

void ChooseTab(WindowObject* control, int index)
{
    control->data.selection = index;
    ShowTab(static_cast<QTabBar*>(control->widget), index);
    NotifyParent(control, TCN_SELCHANGE);
}

QWidget* CreateTabControl(WindowObject* control, QWidget* parent)
{
    OfferAccessible(&kTabClass);
    auto* tabs = new PageTabs(control, parent);
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

// A screen reader's tabs

// One tab: its page's name, selected while current; pressing it chooses it.
class TabAccessible : public PartAccessible, public QAccessibleActionInterface {
public:
    TabAccessible(PageTabs* tabs, int index) : PartAccessible(tabs), m_index(index) {}

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? Tabs()->tabText(m_index).trimmed() : QString();
    }
    QRect rect() const override
    {
        return isValid() ? OnScreen(Tabs()->tabRect(m_index)) : QRect();
    }
    QAccessible::Role role() const override
    {
        return QAccessible::PageTab;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !isValid() || !Tabs()->isVisible() || m_index >= Tabs()->count();
        state.selectable = true;
        state.selected = !state.invisible && Tabs()->currentIndex() == m_index;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        return {pressAction()};
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && isValid() && m_index < Tabs()->count())
            ChooseTab(Tabs()->Control(), m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override
    {
        return {};
    }

    int Index() const
    {
        return m_index;
    }

private:
    PageTabs* Tabs() const
    {
        return static_cast<PageTabs*>(Owner());
    }

    int m_index;  // the tab's place, from the left
};

// The tabs alone, named as the current page (QTabBar's own interface also
// shows its scroll buttons, hidden, and the texts' padding).
class TabsAccessible : public QAccessibleWidget {
public:
    explicit TabsAccessible(PageTabs* tabs) : QAccessibleWidget(tabs, QAccessible::PageTabList) {}

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? Tabs()->tabText(Tabs()->currentIndex()).trimmed() : QAccessibleWidget::text(kind);
    }
    int childCount() const override
    {
        return Tabs()->count();
    }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= Tabs()->count())
            return nullptr;
        return m_tabs.Get(index, [&] { return new TabAccessible(Tabs(), index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* tab = dynamic_cast<const TabAccessible*>(child);
        return tab && tab->Owner() == widget() ? tab->Index() : -1;
    }

private:
    PageTabs* Tabs() const
    {
        return static_cast<PageTabs*>(widget());
    }

    mutable PartInterfaces m_tabs;  // the tabs a screen reader has asked for
};

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
        ShowTab(tabs, data.selection);
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
        ShowTab(tabs, index);
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
    .accessible = [](QObject* object) -> QAccessibleInterface* {
        auto* tabs = dynamic_cast<PageTabs*>(object);
        return tabs ? new TabsAccessible(tabs) : nullptr;
    },
    .dump = kDumpItems | kDumpSelection,
    .choose = ChooseTab,
    .pages = true,
};

}  // namespace platform
