// The keyboard and screen readers in process: the page, menu and help keys,
// lists scrolled by their keys with the division images following, and the
// accessible name of every control a screen reader reaches.

#include "app/main_window.h"
#include "app/resources/resource.h"
#include "platform/objects.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

#include <map>

namespace {

class KeyboardTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }
};

// Types one key into a widget as the desktop would deliver it.
void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
}

int Page(HWND window)
{
    return static_cast<int>(SendMessageW(GetDlgItem(window, IDC_PAGE_TABS), TCM_GETCURSEL, 0, 0));
}

std::string Name(HWND control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control->widget);
    return accessible ? accessible->text(QAccessible::Name).toStdString() : "(none)";
}

// The name of the control that labels this one, for a screen reader.
std::string LabelledBy(HWND control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control->widget);
    for (const auto& [other, relation] : accessible->relations(QAccessible::Label))
        return other->text(QAccessible::Name).toStdString();
    return "(none)";
}

TEST_F(KeyboardTest, PageKeysTurnThePagesBothWaysAndWrapAround)
{
    RunMainWindow([](HWND window) {
        QWidget* list = GetDlgItem(window, IDC_STANDINGS_LIST)->widget;
        struct Step {
            int key;
            Qt::KeyboardModifiers modifiers;
            int page;  // the page shown after it
        } steps[] = {
            {Qt::Key_Tab, Qt::ControlModifier, 1},
            {Qt::Key_PageDown, Qt::ControlModifier, 2},
            {Qt::Key_PageDown, Qt::ControlModifier, 3},
            {Qt::Key_Tab, Qt::ControlModifier, 0},
            {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 3},
            {Qt::Key_PageUp, Qt::ControlModifier, 2},
        };
        for (const Step& step : steps) {
            Press(QApplication::focusWidget() ? QApplication::focusWidget() : list, step.key, step.modifiers);
            EXPECT_EQ(Page(window), step.page);
        }
        // The program switched the page itself: the Week page's list shows.
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_WEEK_LIST)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_STANDINGS_LIST)));
    });
}

// Arrows and the page keys scroll a focused list; on the Standings page the
// division images follow the rows they lie over.
TEST_F(KeyboardTest, ListKeysScrollAndTheDivisionImagesFollow)
{
    RunMainWindow([](HWND window) {
        HWND list = GetDlgItem(window, IDC_STANDINGS_LIST);
        HWND afcNorth = GetDlgItem(window, 1012);
        RECT before{};
        GetWindowRect(afcNorth, &before);
        Press(list->widget, Qt::Key_Down);
        EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 1);
        RECT after{};
        GetWindowRect(afcNorth, &after);
        EXPECT_EQ(before.top - after.top, 14);  // one row higher
        Press(list->widget, Qt::Key_PageDown);
        EXPECT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 5);
        EXPECT_FALSE(IsWindowVisible(afcNorth));  // its row went above the list
        Press(list->widget, Qt::Key_Home);
        EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
        EXPECT_TRUE(IsWindowVisible(afcNorth));
        Press(list->widget, Qt::Key_End);
        EXPECT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 20);
        Press(list->widget, Qt::Key_Up);
        Press(list->widget, Qt::Key_PageUp);
        Press(list->widget, Qt::Key_PageUp);
        Press(list->widget, Qt::Key_PageUp);
        EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    });
}

// Alt and a letter, F10 or Alt alone open a menu with its first item
// highlighted; Left and Right move along the menu bar, wrapping; F10 or Alt
// alone again leave it. Each key goes to the open pop-up, else the list.
TEST_F(KeyboardTest, MenuKeysOpenTheMenusWithTheirFirstItemHighlighted)
{
    RunMainWindow([](HWND window) {
        QWidget* list = GetDlgItem(window, IDC_STANDINGS_LIST)->widget;
        struct Key {
            int key;
            Qt::KeyboardModifiers modifiers = Qt::NoModifier;
            bool release = false;  // let go rather than pressed
        };
        const Key f10{Qt::Key_F10}, altDown{Qt::Key_Alt}, altUp{Qt::Key_Alt, Qt::AltModifier, true};
        const struct {
            std::vector<Key> keys;
            const char* highlighted;  // null: no menu open
        } rows[] = {
            {{{Qt::Key_F, Qt::AltModifier}}, "Download"},
            {{{Qt::Key_T, Qt::AltModifier}}, "Options"},
            {{{Qt::Key_H, Qt::AltModifier}}, "Corvale"},
            {{{Qt::Key_Q, Qt::AltModifier}}, nullptr},  // no menu of that letter
            {{f10}, "Download"},
            {{f10, {Qt::Key_Right}}, "Options"},
            {{f10, {Qt::Key_Left}}, "Corvale"},  // wraps around to Help
            {{f10, f10}, nullptr},
            {{altDown, altUp}, "Download"},
            {{altDown, altUp, altDown, altUp}, nullptr},
            {{altDown, {Qt::Key_T, Qt::AltModifier}, altUp}, "Options"},  // Alt held for a letter is not Alt alone
        };
        for (size_t i = 0; i < std::size(rows); ++i) {
            SCOPED_TRACE(i);
            for (const Key& key : rows[i].keys) {
                QWidget* to = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : list;
                QKeyEvent event(key.release ? QEvent::KeyRelease : QEvent::KeyPress, key.key, key.modifiers);
                QApplication::sendEvent(to, &event);
            }
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            EXPECT_EQ(menu && menu->activeAction() ? menu->activeAction()->text().toStdString() : "(none)",
                      rows[i].highlighted ? rows[i].highlighted : "(none)");
            if (menu)
                menu->close();
        }
    });
}

// Every control a screen reader reaches has a name: its text, the words
// its picture shows, its column headings, its tabs, or its label.
TEST_F(KeyboardTest, EveryReachableControlHasAnAccessibleName)
{
    RunMainWindow([](HWND window) {
        const std::map<int, std::string> mainNames = {
            {1011, "AFC East"}, {1014, "AFC West"}, {1018, "NFC West"},
            {IDC_PAGE_TABS, "Standings"},  // the tab chosen, without its padding
            {IDC_STANDINGS_HEADER, "Team W L T Pct."},
            {IDC_STANDINGS_LIST, "Team, W, L, T, Pct"},
            {IDC_TEAM_LIST, "Date, Game, Time"},
            {IDC_WEEK_LIST, "Date, Game, Odds"},
            {IDC_SEASON_LIST, "Game, Time"},
            {IDC_WEEK_PROMPT, "Choose Week"},
            {IDC_TEAM_PROMPT, "Choose Team"},
            {IDC_RECORD_BAR, "W L T Pct Home Road"},
        };
        for (const auto& [id, name] : mainNames)
            EXPECT_EQ(Name(GetDlgItem(window, id)), name) << id;
        // A picker says its entry and is labelled by the picture beside it on its page.
        std::string error;
        ASSERT_TRUE(InspectForTest(window, "select", {"1001", "1"}));
        EXPECT_EQ(Name(GetDlgItem(window, IDC_TEAM_PICKER)), "Arizona");
        EXPECT_EQ(LabelledBy(GetDlgItem(window, IDC_TEAM_PICKER)), "Choose Team");
        ASSERT_TRUE(InspectForTest(window, "select", {"1001", "2"}));
        EXPECT_EQ(Name(GetDlgItem(window, IDC_WEEK_PICKER)), "Week 1");
        EXPECT_EQ(LabelledBy(GetDlgItem(window, IDC_WEEK_PICKER)), "Choose Week");
        // A figure says its heading on the record bar and its text; the
        // standings title what is painted on it.
        EXPECT_EQ(Name(GetDlgItem(window, IDC_TOTAL_LOSSES)), "L 12");  // Arizona's 4-12
        EXPECT_EQ(Name(GetDlgItem(window, IDC_PERCENTAGE)), "Pct .250");
        EXPECT_EQ(Name(GetDlgItem(window, IDC_HOME_TIES)), "Home 0");
        EXPECT_EQ(Name(GetDlgItem(window, IDC_ROAD_WINS)), "Road 0");
        ASSERT_TRUE(InspectForTest(window, "select", {"1001", "0"}));
        UpdateWindow(window);
        EXPECT_EQ(Name(GetDlgItem(window, IDC_STANDINGS_TITLE)), "2003 NFL Standings");

        std::map<std::wstring, std::map<int, std::string>> dialogs;
        auto record = [&](HWND dialog) {
            for (WindowObject* control : dialog->children)
                if (control->id != 0xFFFF && control->className != L"menu_worker")
                    dialogs[dialog->text][control->id] = Name(control);
        };
        RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [&](HWND dialog) {
            record(dialog);
            // Each picker is labelled by the group box around it.
            EXPECT_EQ(LabelledBy(GetDlgItem(dialog, IDC_FAVOURITE_PICKER)), "Favorite Team");
            EXPECT_EQ(LabelledBy(GetDlgItem(dialog, IDC_ZONE_PICKER)), "Time Zone");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(dialogs[L"RVL Options"],
                  (std::map<int, std::string>{{1039, "Save"}, {1040, "Cancel"}, {1022, "Arizona"}, {1023, "GMT-5 Eastern US"}}));
        RunInsideDialog(window, IDM_CALENDAR, L"RVL Calendar", [&](HWND dialog) {
            record(dialog);
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(dialogs[L"RVL Calendar"], (std::map<int, std::string>{{IDC_MONTH_CALENDAR, "RVL Calendar"}}));
        std::vector<std::string> pictures;
        RunInsideDialog(window, IDM_ABOUT, L"About Corvale", [&](HWND dialog) {
            for (WindowObject* control : dialog->children)
                if (control->className == L"STATIC")
                    pictures.push_back(Name(control));
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(pictures, (std::vector<std::string>{"Corvale", "Version 2.0.03", "Corvale"}));
        SetMessageBoxHookForTest([](const std::wstring&, const std::wstring&, UINT) { return IDOK; });
        pictures.clear();
        RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [&](HWND dialog) {
            for (WindowObject* control : dialog->children)
                if (control->className == L"STATIC")
                    pictures.push_back(Name(control));
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        SetMessageBoxHookForTest(nullptr);
        EXPECT_EQ(pictures, (std::vector<std::string>{"A football on the field", "Please wait...", "Connecting to Internet",
                                                      "Downloading Schedules", "Downloading Standings"}));
    });
}

}  // namespace
