// The window inspector: the table of its verbs and what each does, the
// snapshot from which the window station's thread answers without the GUI
// thread, and the answers to request lines. Its descriptions of windows
// are in describe.cpp.
//
// Divisions: the snapshot, input a person would give, the table,
// answering requests, starting.

#include "platform/inspect.h"

#include "platform/control.h"
#include "platform/delivery.h"
#include "platform/keyboard.h"
#include "platform/testing.h"
#include "platform/window.h"
#include "platform/winstation.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>

namespace platform {

// The snapshot: written by the GUI thread, read by the station's thread.

namespace {

std::mutex g_snapshotMutex;
std::vector<std::string> g_listLines;           // every top-level window's list line
std::map<uint64_t, std::string> g_waitingDumps;  // by serial, taken while the program waits
bool g_servingDumps = false;                     // the program waits: dumps come from g_waitingDumps
uint64_t g_listed = ~0ull;                       // the windows' change count when listed
uint64_t g_dumped = ~0ull;                       // ... and when the dumps were taken

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// A dialog still in its initialisation has no dump yet: it is answered by
// the GUI thread once that is over.
void RefreshSnapshot(bool withDumps)
{
    g_listed = ChangeCount();
    std::vector<std::string> lines = ListLines();
    std::map<uint64_t, std::string> dumps;
    for (WindowObject* window : withDumps ? TopLevelWindows() : std::vector<WindowObject*>())
        if (window->widget && window->ready)
            dumps[window->serial] = DescribeWindow(window, true);
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    g_listLines.swap(lines);
    if (withDumps) {
        g_waitingDumps.swap(dumps);
        g_dumped = g_listed;
    }
    g_servingDumps = withDumps;
}

// A download makes thousands of blocking calls in a row with nothing shown
// changing between them: their dumps are taken once.
void RefreshSnapshotIfChanged(bool withDumps)
{
    if (ChangeCount() != g_listed || (withDumps && ChangeCount() != g_dumped)) {
        RefreshSnapshot(withDumps);
        return;
    }
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    g_servingDumps = withDumps;
}

}  // namespace

// Input a person would give

namespace {

// A message box's buttons: 1 OK, 2 Cancel (where it has one).
bool EndMessageBox(WindowObject* box, int answer, bool perform)
{
    if (!perform)
        return true;
    box->result = answer == IDCANCEL && (box->style & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
    box->ended = true;
    NoteChanged();
    WakeLoops();
    return true;
}

bool HasWidget(WindowObject* window, std::string& reply)
{
    if (window->widget)
        return true;
    reply = "window has no widget";
    return false;
}

bool RunDump(WindowObject* window, const Words&, bool, std::string& reply)
{
    reply = DescribeWindow(window, true);
    return true;
}

bool RunCommand(WindowObject* window, const Words& arguments, bool perform, std::string& reply)
{
    int id = std::atoi(arguments[0].c_str());
    if (window->kind == WindowKind::MessageBox)
        return EndMessageBox(window, id, perform);
    if (!HasWidget(window, reply))
        return false;
    if (perform)
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return true;
}

// A choice of a combo box entry or a tab, or a list view scrolled.
bool RunOnControl(WindowObject* window, const Words& arguments, bool perform, std::string& reply, bool scroll)
{
    WindowObject* control = GetDlgItem(window, ToInt(arguments[0]));
    int index = ToInt(arguments[1]);
    if (!control) {
        reply = "no control " + arguments[0];
        return false;
    }
    const ControlClass* klass = control->klass;
    if (scroll && klass && klass->scroll) {
        if (perform)
            klass->scroll(control, index);
        return true;
    }
    if (!scroll && klass && klass->choose && index >= 0 && index < static_cast<int>(control->data.items.size())) {
        if (perform)
            klass->choose(control, index);
        return true;
    }
    reply = "control " + arguments[0] + " cannot take " + (scroll ? "scroll " : "select ") + arguments[1];
    return false;
}

bool RunSelect(WindowObject* window, const Words& arguments, bool perform, std::string& reply)
{
    return RunOnControl(window, arguments, perform, reply, false);
}

bool RunScroll(WindowObject* window, const Words& arguments, bool perform, std::string& reply)
{
    return RunOnControl(window, arguments, perform, reply, true);
}

// What a person does to the window's frame, done from the event loop as
// the desktop's own events are.
bool OnFrame(WindowObject* window, bool perform, std::string& reply, std::function<void()> action)
{
    if (!HasWidget(window, reply))
        return false;
    if (perform)
        QTimer::singleShot(0, window->widget, std::move(action));
    return true;
}

bool RunClose(WindowObject* window, const Words&, bool perform, std::string& reply)
{
    if (window->kind == WindowKind::MessageBox)
        return EndMessageBox(window, IDOK, perform);
    return OnFrame(window, perform, reply, [widget = window->widget] { widget->close(); });
}

bool RunMinimize(WindowObject* window, const Words&, bool perform, std::string& reply)
{
    return OnFrame(window, perform, reply, [widget = window->widget] { widget->showMinimized(); });
}

bool RunActivate(WindowObject* window, const Words&, bool perform, std::string& reply)
{
    return OnFrame(window, perform, reply, [window] { ActivateWindow(window); });
}

bool RunScreenshot(WindowObject* window, const Words& arguments, bool, std::string& reply)
{
    if (!HasWidget(window, reply))
        return false;
    if (window->widget->grab().save(QString::fromStdString(arguments[0]), "PNG"))
        return true;
    reply = "cannot write " + arguments[0];
    return false;
}

bool ValidKeys(const Words& arguments)
{
    return !ParseKeys(QString::fromStdString(arguments[0])).empty();
}

bool RunKey(WindowObject* window, const Words& arguments, bool perform, std::string& reply)
{
    return HasWidget(window, reply) && TypeKeys(window, QString::fromStdString(arguments[0]), reply, perform);
}

// Between processes: a second start shows and brings forward the window of
// the first, the main window ends the help viewer's.
bool RunShow(WindowObject* window, const Words& arguments, bool perform, std::string&)
{
    if (perform)
        ShowWindow(window, ToInt(arguments[0]));
    return true;
}

bool RunForeground(WindowObject* window, const Words&, bool perform, std::string&)
{
    if (perform)
        SetForegroundWindow(window);
    return true;
}

bool RunDestroy(WindowObject* window, const Words&, bool perform, std::string& reply)
{
    if (!perform || DestroyWindow(window))
        return true;
    reply = "not destroyed";
    return false;
}

}  // namespace

// The table

const std::vector<InspectorVerb>& InspectorVerbs()
{
    static const std::vector<InspectorVerb> kVerbs = {
        {"list", -1, false, "",
         "one JSON object a line for every top-level window of every process:\n"
         "{\"caption\": \"...\", \"pid\": 123, \"visible\": true, \"kind\": \"dialog\", \"id\": 7, \"created\": ...}\n"
         "kind is dialog, messagebox, help or other.",
         nullptr, nullptr},
        {"dump", 0, false, "\"CAPTION\"",
         "one JSON object: caption, kind, visible, rect [x, y, w, h] in screen\n"
         "pixels, text (a message box's text), cursor (\"wait\" or \"none\") and\n"
         "controls: [{\"id\", \"class\", \"visible\", \"rect\", \"text\", \"items\",\n"
         "\"selection\", \"columns\", \"rows\", \"painted\"}], with the keys that apply.",
         nullptr, RunDump},
        {"command", 1, true, "\"CAPTION\" ID",
         "posts WM_COMMAND ID, as a menu choice or button click would (on a\nmessage box: 1 OK, 2 Cancel)", nullptr,
         RunCommand},
        {"select", 2, true, "\"CAPTION\" ID INDEX",
         "chooses entry INDEX of a combo box or tab INDEX of a tab control,\nwith the notifications a user's choice sends",
         nullptr, RunSelect},
        {"scroll", 2, true, "\"CAPTION\" ID ROW", "scrolls a list view so ROW is at the top", nullptr, RunScroll},
        {"close", 0, true, "\"CAPTION\"", "the window's close button", nullptr, RunClose},
        {"minimize", 0, true, "\"CAPTION\"", "the window's minimise", nullptr, RunMinimize},
        {"activate", 0, true, "\"CAPTION\"", "makes the window the active one", nullptr, RunActivate},
        {"screenshot", 1, false, "\"CAPTION\" FILE.png", "saves a picture of the window", nullptr, RunScreenshot},
        {"key", 1, true, "\"CAPTION\" KEYS",
         "types KEYS as a person would, into the control with the keyboard\n"
         "focus in that window (else the window itself), or into an open menu;\n"
         "KEYS is a key sequence\n"
         "in Qt's portable text form: \"Ctrl+Tab\", \"Alt+T\", \"Return\", \"Escape\",\n"
         "\"F1\", \"Down\", or several: \"Alt+T, Return\"",
         ValidKeys, RunKey},
        {"show", 1, true, nullptr, "ShowWindow on a window of another process", nullptr, RunShow},
        {"foreground", 0, true, nullptr, "SetForegroundWindow on a window of another process", nullptr, RunForeground},
        {"destroy", 0, true, nullptr, "DestroyWindow on a window of another process", nullptr, RunDestroy},
        {"inactive", -1, true, nullptr, "a window of another process became the active one", nullptr, nullptr},
    };
    return kVerbs;
}

const InspectorVerb* FindInspectorVerb(const std::string& name)
{
    for (const InspectorVerb& verb : InspectorVerbs())
        if (name == verb.name)
            return &verb;
    return nullptr;
}

// Answering requests

namespace {

std::string AnswerOnStationThread(const std::string& request)
{
    Words words = SplitRequestLine(request);
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    if (words[0] == "list") {
        std::string out;
        for (const std::string& line : g_listLines)
            out += (out.empty() ? "" : "\n") + line;
        return OkReply(out);
    }
    if (words[0] == "dump" && words.size() == 2 && g_servingDumps) {
        auto found = g_waitingDumps.find(std::strtoull(words[1].c_str(), nullptr, 10));
        if (found != g_waitingDumps.end())
            return OkReply(found->second);
    }
    return std::string();
}

// Input that asks a window to stop what it waits on, as a person does it:
// its close button, its Cancel, Escape.
bool AsksToStop(const std::string& verb, const Words& arguments)
{
    return verb == "close" || (verb == "command" && ToInt(arguments[0]) == IDCANCEL) ||
           (verb == "key" && arguments[0].rfind("Escape", 0) == 0);
}

// A request that acts on a window. While the program waits in a blocking
// call, input is checked now and carried out once the call has returned,
// but for a request to stop, which reaches the window at once as the
// desktop's would; dumps and screenshots never reach the program and are
// answered at once.
std::string AnswerOnGuiThread(const std::string& request)
{
    Words words = SplitRequestLine(request);
    const InspectorVerb* verb = FindInspectorVerb(words[0]);
    if (!verb)
        return ErrorReply("unknown verb " + words[0]);
    if (words[0] == "inactive") {
        LoseActivation();
        return OkReply();
    }
    if (verb->arguments < 0 || words.size() != static_cast<size_t>(verb->arguments) + 2)
        return ErrorReply(words[0] + " takes a window and " + std::to_string(std::max(verb->arguments, 0)) + " arguments");
    uint64_t id = std::strtoull(words[1].c_str(), nullptr, 10);
    WindowObject* window = FindLocalWindow(id);
    if (!window)
        return NotFoundReply();
    Words arguments(words.begin() + 2, words.end());
    std::string reply;
    bool now = !verb->waitsForProgram || !ProgramWaiting() || AsksToStop(words[0], arguments);
    if (!verb->run(window, arguments, now, reply))
        return ErrorReply(reply);
    if (!now) {
        DeliverToProgram([id, verb, arguments] {
            std::string ignored;
            if (WindowObject* still = FindLocalWindow(id))
                verb->run(still, arguments, true, ignored);
        });
    }
    return OkReply(reply);
}

// The GUI thread's answer, then the station's snapshot as it now is.
std::string AnswerThenRefresh(const std::string& request)
{
    std::string reply = AnswerOnGuiThread(request);
    RefreshSnapshotIfChanged(ProgramWaiting());
    return reply;
}

}  // namespace

// Starting

// The station answers through the inspector; the snapshot follows the
// windows as they are published, and the blocking calls, and is taken
// again whenever the GUI thread is about to wait.
void StartInspector()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    WatchWindows([](WindowEvent event, WindowObject*) {
        if (event == WindowEvent::Published)
            RefreshSnapshot(ProgramWaiting());
    });
    WatchWaiting([](bool waiting) { RefreshSnapshotIfChanged(waiting); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, [] { RefreshSnapshotIfChanged(false); });
    StartStation({AnswerOnStationThread, AnswerThenRefresh, ListLines});
}

}  // namespace platform

bool InspectForTest(HWND window, const std::string& verb, const std::vector<std::string>& arguments, std::string* reply)
{
    if (!platform::IsLiveWindow(window))
        return false;
    std::string answer = platform::AnswerOnGuiThread(platform::StationRequestLine(verb, window->serial, arguments));
    platform::StationReply parsed = platform::ParseReply(answer);
    if (reply)
        *reply = parsed.body;
    return parsed.status == platform::StationReply::Status::Ok;
}

std::vector<std::string> ListForTest()
{
    return platform::ListLines();
}
