// The table of control classes and the building of a dialog's controls
// from its template's items. Every control class has one entry here; what
// a class does is in its entry, in the file of its class.
//
// Divisions: the table, building.

#include "platform/controls.h"

#include "platform/accessible.h"
#include "platform/gdi.h"
#include "platform/window.h"

#include <QWidget>

#include <algorithm>
#include <cwctype>
#include <string>

namespace platform {

// The table

namespace {

const ControlClass* const kClasses[] = {&kStaticClass, &kButtonClass,   &kComboBoxClass, &kListBoxClass,
                                        &kTabClass,    &kListViewClass, &kCalendarClass, &kMenuBarClass};

// A class the platform does not know: a plain widget that answers only the
// text messages.
const ControlClass kUnknownClass = {.create = [](WindowObject*, QWidget* parent) { return new QWidget(parent); }};

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

}  // namespace

const ControlClass* FindControlClass(LPCWSTR name)
{
    std::wstring given = name ? name : L"";
    for (const ControlClass* klass : kClasses)
        if (SameName(given, klass->name))
            return klass;
    return nullptr;
}

// Building

void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate)
{
    QWidget* area = ClientWidget(dialog);
    for (int i = 0; i < dialogTemplate->cdit; ++i) {
        const DLGITEMTEMPLATEW& item = dialogTemplate->items[i];
        auto* control = new WindowObject;
        const ControlClass* klass = FindControlClass(item.windowClass);
        control->kind = WindowKind::Control;
        control->parent = dialog;
        control->id = item.id;
        control->klass = klass ? klass : &kUnknownClass;
        control->className = klass ? klass->name : (item.windowClass ? item.windowClass : L"");
        control->text = item.title ? item.title : L"";
        control->style = item.style;
        control->exStyle = item.dwExtendedStyle;
        control->resource = item.resource;
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->widget = control->klass->create(control, area);
        control->widget->setFont(DialogFont());
        // A drop-down's template height includes its list; closed, it is one line tall.
        int height = DialogUnitsToPixelsY(item.cy);
        if (control->klass->tallest)
            height = std::min(height, control->klass->tallest);
        control->widget->setGeometry(DialogUnitsToPixelsX(item.x) * kScale, DialogUnitsToPixelsY(item.y) * kScale,
                                     DialogUnitsToPixelsX(item.cx) * kScale, height * kScale);
        // A child of a dialog not yet shown appears with it: showing it now
        // would only polish and lay it out early, before WM_INITDIALOG.
        if (!control->visible || area->isVisible())
            control->widget->setVisible(control->visible);
        dialog->children.push_back(control);
        RegisterWindow(control);
    }
    for (WindowObject* control : dialog->children)
        NameControl(control);
}

}  // namespace platform
