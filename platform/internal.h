// Structures the platform services share with each other: window objects,
// the module, and the window station's view of them. Not for the program.
#pragma once

#include "platform/platform.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPainter;
class QWidget;

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
};

struct WindowObject {
    WindowKind kind = WindowKind::Other;  // what this window is
    QWidget* widget = nullptr;            // the Qt widget showing it (none for a remote window)
    WindowObject* parent = nullptr;       // the dialog a control belongs to
    std::vector<WindowObject*> children;  // controls in template order
    std::wstring className;               // window class, e.g. L"STATIC"
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

// The module whose resources GetModuleHandleW(NULL) gives.
void SetProcessModule(const RESOURCETABLE* resources);

// Gives a new window object its serial and makes its handle valid.
void RegisterWindow(WindowObject* window);

// A top-level window made outside the dialog machinery (the help window):
// registered, run until ended or destroyed, and forgotten.
void RegisterTopLevel(WindowObject* window);
void RunModalLoopOf(WindowObject* window);
void ForgetTopLevel(WindowObject* window);

// Live top-level windows of this process, oldest first.
const std::vector<WindowObject*>& TopLevelWindows();
WindowObject* FindLocalWindow(uint64_t serial);
bool IsLiveWindow(const WindowObject* window);

// JSON object describing a top-level window, as `winspy list` and
// `winspy dump` print it.
QString DescribeWindow(WindowObject* window, bool withControls);

// Input a user would give, posted to a local window: a command, a close,
// a minimise, an activation. Returns false when the window cannot take it;
// without `perform`, only checks that it could.
bool PostUserInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error,
                   bool perform = true);

// Geometry: the handheld draws every pixel at this scale on the desktop,
// and converts dialog units with its base units (6 x 13 per 4 x 8 units).
constexpr int kScale = 2;
constexpr int kScreenWidth = 240;    // the handheld screen, portrait
constexpr int kScreenHeight = 320;
constexpr int kNavBarHeight = 26;    // the navigation bar at the top
constexpr int kMenuBarHeight = 26;   // the menu bar at the bottom
const QColor kTodayMark(0xc8, 0x1e, 0x2a);  // the frame around today in a month calendar
inline int DialogUnitsToPixelsX(int units) { return (units * 6 + (units >= 0 ? 2 : -2)) / 4; }
inline int DialogUnitsToPixelsY(int units) { return (units * 13 + (units >= 0 ? 4 : -4)) / 8; }

// Controls: built from a template, answering their messages, described
// for the inspector and driven by it.
void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate);
LRESULT ControlMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam);
void ControlTextChanged(WindowObject* control);
// Appends a control's description as compact JSON, as the inspector sees it.
void AppendControlJson(std::string& out, WindowObject* control);
QJsonArray WindowRectJson(WindowObject* window);
QString CursorName();
bool ControlInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error,
                  bool perform = true);

// Input for the window itself: close, minimize, activate, screenshot, command.
bool FrameInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error,
                bool perform = true);

// Makes a top-level window the active one, with WM_ACTIVATE to both sides;
// NoteActivation only records one the desktop has already activated.
// LoseActivation: a window of another process or application became active.
void ActivateWindow(WindowObject* window);
void NoteActivation(WindowObject* window);
void LoseActivation();

// The desktop's close button or Escape on a top-level window.
void CloseAsUser(WindowObject* window);

// A user's choice of a combo box entry or a tab, with its notification.
void SelectByUser(WindowObject* control, int index);
// Gives a control the accessible name a screen reader says for it; again
// when what it is named after changes (a picker's label shows with it).
void NameControl(WindowObject* control);

// The keyboard: page, menu and help keys and the focus mark, for every
// window of the process (started once with the windowing); the mark
// follows its control when that moves; typed keys from the inspector.
void StartKeyboard();
void RefitFocusMark(WindowObject* control);
bool TypeKeys(WindowObject* window, const QString& keys, std::string& error, bool perform);

// Delivery to the program. While the program waits inside a blocking call
// (a BlockingCall is alive on the GUI thread), windows keep painting and the
// window station keeps answering, but input, timers, posted messages and
// activation are held and delivered in order once the call returns.
// DeliverToProgram runs `delivery` now unless something must wait;
// PostToProgram runs it from the event loop, as a posted message.
bool ProgramWaiting();
void DeliverToProgram(std::function<void()> delivery);
void PostToProgram(std::function<void()> delivery);
class BlockingCall {
public:
    BlockingCall();
    ~BlockingCall();
    BlockingCall(const BlockingCall&) = delete;
    BlockingCall& operator=(const BlockingCall&) = delete;

private:
    bool m_counted;  // made on the GUI thread
};
// Called by a blocking call while it waits: paints, serves the station.
void ServeWhileBlocked();

// The windows as other processes see them (the window station's snapshot):
// MarkChanged notes that something shown may have changed; the snapshot is
// taken again when the GUI thread is next idle or waiting in a blocking call.
void MarkChanged();
void RefreshSnapshot();
void RefreshSnapshotIfChanged();
// Other processes see this process's top-level windows as they are now:
// called once a new one is built or shown.
void PublishWindows();
// Starts the window station and the watches on the GUI thread, once.
void StartWindowing();
// Stops every timer of a window that is going away.
void KillTimersOf(WindowObject* window);

// The dialog's client-area widget, the parent of its controls.
QWidget* ClientWidget(WindowObject* dialog);
// The font dialogs and controls use ("MS Sans Serif" 8 on the handheld).
QFont DialogFont();
// The desktop font a CreateFontIndirectW description draws with.
QFont FontFrom(const LOGFONTW& description);
// Reading the system's font configuration takes milliseconds, and the first
// list view needs it: the program's start begins it on another thread while
// the application object is made, and what needs fonts first waits for it
// to end (at once when it never began).
void StartFontWarmUp();
void AwaitFontWarmUp();
// A bitmap or icon of the module, at the desktop's scale.
QPixmap LoadResourcePixmap(WORD id, bool icon);
// Paint support for statics: brush colours and the texts drawn through gdi.
QColor BrushColor(HBRUSH brush);
void DrawPaintedTexts(WindowObject* control, QPainter& painter);

// Window station: served from this process once it has a top-level window.
void StationStart();
void StationStop();

}  // namespace platform
