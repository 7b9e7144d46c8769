// What the platform's rooms share with each other: the window objects and
// what controls hold, the geometry of the handheld's screen, and each
// room's routines the others call, under the name of its file. Not for the
// program.
#pragma once

#include "platform/inspect.h"
#include "platform/platform.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
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
    std::map<int, WindowObject*> rowLabels;      // list view: the picture last put over each blank row
};

struct WindowObject {
    WindowKind kind = WindowKind::Other;  // what this window is
    QWidget* widget = nullptr;            // the Qt widget showing it (none for a remote window)
    WindowObject* parent = nullptr;       // the dialog a control belongs to
    WindowObject* owner = nullptr;        // the window that owns a message box
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

// The text of a control or window as Qt takes it.
inline QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// True for a control of the window class `name` (the system's spelling).
inline bool IsClass(const WindowObject* control, const wchar_t* name)
{
    return control && control->className == name;
}

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

// resources.cpp: the module whose resources GetModuleHandleW(NULL) gives.
void SetProcessModule(const RESOURCETABLE* resources);

// window.cpp: bookkeeping. A window gets its serial and a valid handle; a
// top-level one (made by the dialog machinery, or the help window) runs
// until ended or destroyed, and is forgotten with its controls.
void RegisterWindow(WindowObject* window);
void RegisterTopLevel(WindowObject* window);
WindowObject* NewTopLevel(WindowKind kind, const std::wstring& text);
void RunModalLoopOf(WindowObject* window);
void WakeLoops();
void ForgetTopLevel(WindowObject* window);
// Live top-level windows of this process, oldest first.
const std::vector<WindowObject*>& TopLevelWindows();
WindowObject* FindLocalWindow(uint64_t serial);
bool IsLiveWindow(const WindowObject* window);
// Other processes see this process's top-level windows as they are now:
// called once a new one is built or shown.
void PublishWindows();
// Starts the window station, the keyboard and the watches on the GUI thread, once.
void StartWindowing();
// The cursor the program set, as the inspector names it: "wait" or "none".
QString CursorName();
// The window whose procedure is handling a message now (the innermost),
// or none; the program's turn: a number that stays the same while it
// handles one message from the loop, 0 between messages.
WindowObject* HandlingWindow();
uint64_t ProgramTurn();

// search.cpp: proxies for windows of other processes, and the requests
// made of them through the station.
bool IsRemoteWindow(const WindowObject* window);
BOOL AskRemote(HWND window, const std::string& verb, const std::string& extra = std::string());

// dialogs.cpp: placement over the main window, the desktop's close button
// and Escape, activation. ActivateWindow raises a top-level window and
// makes it the active one, with WM_ACTIVATE to both sides; NoteActivation
// only records one the desktop has already activated; LoseActivation: a
// window of another process or application became active.
void PlaceOnScreen(WindowObject* window);
void CloseAsUser(WindowObject* window);
void ActivateWindow(WindowObject* window);
void NoteActivation(WindowObject* window);
void LoseActivation();

// delivery.cpp: delivery to the program. While the program waits inside a
// blocking call (a BlockingCall is alive on the GUI thread), windows keep
// painting and the window station keeps answering, but input, timers,
// posted messages and activation are held and delivered in order once the
// call returns. DeliverToProgram runs `delivery` now unless something must
// wait; PostToProgram runs it from the event loop, as a posted message.
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
// Called by a blocking call while it waits: paints, serves the station,
// takes a person's request to stop and holds their other input.
void ServeWhileBlocked();
// A person asked `window` to close or cancel: a blocking call made for it
// (while its procedure or one of its controls' handled a message) stops,
// and so does every one after it in the same turn. StopAsked: whether the
// blocking call under way is to stop.
void AskToStopWaiting(WindowObject* window);
bool StopAsked();
// Stops every timer of a window that is going away.
void KillTimersOf(WindowObject* window);

// controls.cpp: controls built from a template, answering their messages;
// their notifications and commands to the dialog (held while the program
// waits); a user's choice of a combo box entry or a tab.
void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate);
LRESULT ControlMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam);
void ControlTextChanged(WindowObject* control);
void NotifyParent(WindowObject* control, UINT code);
void CommandParent(WindowObject* control, int code);
void SelectByUser(WindowObject* control, int index);

// calendar.cpp: the month calendar's widget.
QWidget* CreateMonthCalendar(QWidget* parent);

// listview.cpp: the report list view.
QWidget* CreateListView(WindowObject* control, QWidget* parent);
LRESULT ListViewMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam);
int ListTopRow(WindowObject* control);
void ScrollListTo(WindowObject* control, int row);
// A picture moved over the lists of its dialog labels the blank row it lies on.
void NoteRowLabel(WindowObject* picture);

// accessible.cpp: gives a control the accessible name a screen reader says
// for it; again when what it is named after changes (a picker's label
// shows with it: ShownOrHidden). StartAccessibility gives the windows their
// roles and a dialog's client area only its shown controls; the widgets it
// knows by these object names. RowLabelWords: what a picture over a blank
// list row names that row.
void NameControl(WindowObject* control);
void ShownOrHidden(WindowObject* control);
void StartAccessibility();
QString RowLabelWords(const WindowObject* picture);
inline const char kWindowName[] = "corvale_window";
inline const char kClientAreaName[] = "corvale_client";
inline const char kFocusMarkName[] = "corvale_focus_mark";

// keyboard.cpp: page, menu and help keys and the focus mark, for every
// window of the process (started once with the windowing); the mark
// follows its control when that moves; typed keys from the inspector.
void StartKeyboard();
void RefitFocusMark(WindowObject* control);
bool TypeKeys(WindowObject* window, const QString& keys, std::string& error, bool perform);

// gdi.cpp: the dialog's client-area widget, the parent of its
// controls; the font dialogs and controls use ("MS Sans Serif" 8 on the
// handheld); the desktop font a CreateFontIndirectW description draws with.
QWidget* ClientWidget(WindowObject* dialog);
QFont DialogFont();
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

// winstation.cpp: served from this process once it has a top-level window.
void StationStart();
void StationStop();

}  // namespace platform
