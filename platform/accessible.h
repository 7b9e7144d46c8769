// What a screen reader hears: each control's accessible name, given as the
// control is built and again when what it is named after changes; the
// roles and names of the windows; and which controls a reader is shown.
#pragma once

#include <QAccessible>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

struct WindowObject;

namespace platform {

struct ControlClass;

// Once, before the first window is made: the windows' roles and the
// dialogs' shown controls, and the names of pickers kept up to date as
// their labels show and hide with a page.
void StartAccessibility();

// Gives a control the name a screen reader says for it.
void NameControl(WindowObject* control);

// The words a control shows a screen reader, as its class has them; empty
// for none.
QString ControlWords(const WindowObject* control);

// Distinct texts, trimmed, joined by commas.
QString JoinTexts(const std::vector<std::wstring>& texts);

// A control class's own interfaces (ControlClass::accessible) are asked for
// before Qt's from now on; its file offers them before it makes its first
// widget, whose interface Qt may make as the widget is built.
void OfferAccessible(const ControlClass* klass);

// A part of a widget that has no object of its own (a tab, a list's cell)
// as a screen reader is shown it: no children, its parent the widget's
// interface. Its kind says its name, role, state and place.
class PartAccessible : public QAccessibleInterface {
public:
    explicit PartAccessible(QWidget* owner) : m_owner(owner) {}
    bool isValid() const override { return m_owner; }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_owner); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QWidget* Owner() const { return m_owner; }

protected:
    // An area of the owner, in its coordinates, on the screen; none while
    // the owner is not shown.
    QRect OnScreen(const QRect& area) const;

private:
    QPointer<QWidget> m_owner;  // the widget it is a part of
};

// The interfaces of a widget's parts, each made when first asked for and
// kept under its number (registered with Qt, so that a screen reader knows
// it again) until Clear, or until the keeper ends with its widget.
class PartInterfaces {
public:
    PartInterfaces() = default;
    PartInterfaces(const PartInterfaces&) = delete;
    PartInterfaces& operator=(const PartInterfaces&) = delete;
    ~PartInterfaces() { Clear(); }
    template <typename Make>
    QAccessibleInterface* Get(int number, Make make)
    {
        auto found = m_ids.find(number);
        if (found != m_ids.end())
            return QAccessible::accessibleInterface(found->second);
        QAccessibleInterface* made = make();
        m_ids[number] = QAccessible::registerAccessibleInterface(made);
        return made;
    }
    void Clear();

private:
    std::map<int, QAccessible::Id> m_ids;  // each part's number: its interface's
};

}  // namespace platform
