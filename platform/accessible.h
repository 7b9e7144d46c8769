// What a screen reader hears: each control's accessible name, given as the
// control is built and again when what it is named after changes; the
// roles and names of the windows; and which controls a reader is shown.
#pragma once

#include <QString>

#include <string>
#include <vector>

struct WindowObject;

namespace platform {

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

}  // namespace platform
