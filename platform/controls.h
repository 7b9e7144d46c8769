// The table of control classes: one entry a class (control.h says what an
// entry holds), each defined in the file of its class; a dialog's controls
// built from its template through it.
#pragma once

#include "platform/control.h"

namespace platform {

extern const ControlClass kStaticClass;    // statics.cpp
extern const ControlClass kButtonClass;    // buttons.cpp
extern const ControlClass kComboBoxClass;  // combobox.cpp
extern const ControlClass kListBoxClass;   // listbox.cpp
extern const ControlClass kTabClass;       // tabs.cpp
extern const ControlClass kListViewClass;  // listview.cpp
extern const ControlClass kCalendarClass;  // calendar.cpp
extern const ControlClass kMenuBarClass;   // shell.cpp

// The entry of a class name, compared without case; null for a class the
// platform does not know.
const ControlClass* FindControlClass(LPCWSTR name);

// Makes a dialog's controls from its template's items, in order.
void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate);

}  // namespace platform
