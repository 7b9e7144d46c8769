// The platform's object model: the window objects behind the program's
// handles and what their controls hold, the module, and the geometry of
// the handheld's screen on the desktop. Types and constants only; each
// room's routines are declared in the room's own header.
#pragma once

#include "platform/platform.h"

#include <QString>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QWidget;

namespace platform {
struct ControlClass;
}

struct ModuleObject {
    const RESOURCETABLE* resources;  // the module's resource table
};

// The kinds of top-level window the window station reports.
enum class WindowKind { Dialog, MessageBox, Help, Other, Control, Remote };

// A column of a report list view.
struct ListColumn {
    std::wstring text;  // header text
    int width = 0;      // pixels
    int format = 0;     // LVCFMT_ alignment
};

// A text drawn on a control through gdi; kept until the next BeginPaint.
struct PaintedText {
    std::wstring text;       // what was drawn
    RECT rect{};             // where, in the control's client coordinates
    UINT format = 0;         // DT_ flags
    COLORREF color = 0;      // text colour
    int backgroundMode = 0;  // OPAQUE or TRANSPARENT
    LOGFONTW font{};         // the font selected at the time
};

// What a control holds, by class.
struct ControlData {
    std::vector<ListColumn> columns;             // list view columns
    std::vector<std::vector<std::wstring>> rows; // list view cells, row by row
    DWORD extendedStyle = 0;                     // list view LVS_EX_ bits
    std::vector<std::wstring> items;             // combo box, list box or tab texts
    std::vector<LPARAM> itemData;                // combo box item data
    int selection = -1;                          // combo box entry or current tab
    std::vector<PaintedText> painted;            // texts drawn on it through gdi
    std::map<int, WindowObject*> rowLabels;      // list view: the picture last put over each blank row
};

struct WindowObject {
    WindowKind kind = WindowKind::Other;  // what this window is
    QWidget* widget = nullptr;            // the Qt widget showing it (none for a remote window)
    WindowObject* parent = nullptr;       // the dialog a control belongs to
    WindowObject* owner = nullptr;        // the window that owns a message box
    std::vector<WindowObject*> children;  // controls in template order
    std::wstring className;               // window class, e.g. L"STATIC"
    const platform::ControlClass* klass = nullptr;  // a control's entry in the table of control classes
    std::wstring text;                    // caption or control text
    int id = 0;                           // control ID
    DWORD style = 0;                      // WS_ and class style bits
    DWORD exStyle = 0;                    // WS_EX_ bits
    DLGPROC procedure = nullptr;          // dialog procedure of a dialog
    bool ended = false;                   // EndDialog was called
    INT_PTR result = 0;                   // the EndDialog result
    bool visible = false;                 // shown by ShowWindow or WS_VISIBLE
    bool ready = false;                   // a top-level window built and initialised
    uint64_t serial = 0;                  // creation order across the process
    double created = 0;                   // creation time, ms since the epoch
    std::wstring messageText;             // a message box's text
    WORD resource = 0;                    // bitmap or icon of a picture control
    ControlData data;                     // a control's content
    int screenX = 0;                      // a top-level window's position on
    int screenY = 0;                      //   the handheld screen, in pixels
    QWidget* client = nullptr;            // a dialog's client area (controls live here)
    QWidget* menuBar = nullptr;           // a dialog's menu bar, when it has one
    int remotePid = 0;                    // a remote window's process
    uint64_t remoteId = 0;                // a remote window's serial there
};

namespace platform {

// The text of a control or window as Qt takes it.
inline QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// Geometry: the handheld draws every pixel at this scale on the desktop,
// and converts dialog units with its base units (6 x 13 per 4 x 8 units).
constexpr int kScale = 2;
constexpr int kScreenWidth = 240;    // the handheld screen, portrait
constexpr int kScreenHeight = 320;
constexpr int kNavBarHeight = 26;    // the navigation bar at the top
constexpr int kMenuBarHeight = 26;   // the menu bar at the bottom
inline int DialogUnitsToPixelsX(int units) { return (units * 6 + (units >= 0 ? 2 : -2)) / 4; }
inline int DialogUnitsToPixelsY(int units) { return (units * 13 + (units >= 0 ? 4 : -4)) / 8; }

// The widgets' object names by which the screen reader's room knows them.
inline const char kWindowName[] = "corvale_window";
inline const char kClientAreaName[] = "corvale_client";
inline const char kFocusMarkName[] = "corvale_focus_mark";

}  // namespace platform
