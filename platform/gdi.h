// Text drawn on controls through gdi (the paint calls are the platform
// API's), the fonts the dialogs use, a dialog's client area and the colours
// its statics are painted with.
#pragma once

#include "platform/platform.h"

#include <QColor>
#include <QFont>

class QPainter;
class QWidget;
struct WindowObject;

namespace platform {

// The dialog's client-area widget, the parent of its controls.
QWidget* ClientWidget(WindowObject* dialog);
// The font dialogs and controls use ("MS Sans Serif" 8 on the handheld);
// the desktop font a CreateFontIndirectW description draws with.
QFont DialogFont();
QFont FontFrom(const LOGFONTW& description);
// Reading the system's font configuration takes milliseconds, and the first
// list view needs it: the program's start begins it on another thread while
// the application object is made, and what needs fonts first waits for it
// to end (at once when it never began).
void StartFontWarmUp();
void AwaitFontWarmUp();
// Paint support for statics: brush colours and the texts drawn through gdi.
QColor BrushColor(HBRUSH brush);
void DrawPaintedTexts(WindowObject* control, QPainter& painter);

}  // namespace platform
