// The window inspector: the table of its verbs and what each does, the
// descriptions of windows and controls as JSON, and the snapshot from which
// the window station's thread answers without the GUI thread.
//
// Divisions: the snapshot, descriptions, input a person would give, the
// table, answering requests.

#include "platform/inspect.h"

#include "platform/internal.h"
#include "platform/keys.h"
#include "platform/testing.h"
#include "platform/winstation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <unistd.h>

namespace platform {

// The snapshot: written by the GUI thread, read by the station's thread.

namespace {

std::mutex g_snapshotMutex;
std::vector<std::string> g_listLines;           // every top-level window's list line
std::map<uint64_t, std::string> g_waitingDumps;  // by serial, taken while the program waits
bool g_servingDumps = false;                     // the program waits: dumps come from g_waitingDumps
bool g_changed = true;                           // something shown changed since the list lines
bool g_dumpsStale = true;                        // ... or since the dumps were taken

int ToInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

}  // namespace

void MarkChanged()
{
    g_changed = g_dumpsStale = true;
}

// A dialog still in its initialisation has no dump yet: it is answered by
// the GUI thread once that is over.
void RefreshSnapshot(bool withDumps)
{
    g_changed = false;
    std::vector<std::string> lines = ListLines();
    std::map<uint64_t, std::string> dumps;
    for (WindowObject* window : withDumps ? TopLevelWindows() : std::vector<WindowObject*>())
        if (window->widget && window->ready)
            dumps[window->serial] = DescribeWindow(window, true);
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    g_listLines.swap(lines);
    if (withDumps) {
        g_waitingDumps.swap(dumps);
        g_dumpsStale = false;
    }
    g_servingDumps = withDumps;
}

// A download makes thousands of blocking calls in a row with nothing shown
// changing between them: their dumps are taken once.
void RefreshSnapshotIfChanged(bool withDumps)
{
    if (g_changed || (withDumps && g_dumpsStale)) {
        RefreshSnapshot(withDumps);
        return;
    }
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    g_servingDumps = withDumps;
}

// Descriptions

namespace {

// Compact JSON, written the way QJsonDocument writes it (keys of an object
// in sorted order, the same escapes): a dump of the main window holds
// thousands of cells, which Qt's JSON classes take milliseconds to build,
// blocking the window's own timers meanwhile.

void AppendJsonString(std::string& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c < 0 || c >= 0x80) {
            // Rare in the program's texts: Qt's writer decides the UTF-8 and
            // the escapes of anything outside ASCII.
            QByteArray json = QJsonDocument(QJsonArray{Q(text)}).toJson(QJsonDocument::Compact);
            out.append(json.constData() + 1, static_cast<size_t>(json.size() - 2));
            return;
        }
    }
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += "\\\""; break;
        case L'\\': out += "\\\\"; break;
        case L'\b': out += "\\b"; break;
        case L'\f': out += "\\f"; break;
        case L'\n': out += "\\n"; break;
        case L'\r': out += "\\r"; break;
        case L'\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

// A JSON array of `count` elements, each written by `element(i)`.
template <typename Element>
void AppendJsonArray(std::string& out, size_t count, Element element)
{
    out += '[';
    for (size_t i = 0; i < count; ++i) {
        if (i)
            out += ',';
        element(i);
    }
    out += ']';
}

void AppendJsonStrings(std::string& out, const std::vector<std::wstring>& texts, size_t atLeast = 0)
{
    static const std::wstring kEmpty;
    AppendJsonArray(out, std::max(texts.size(), atLeast),
                    [&](size_t i) { AppendJsonString(out, i < texts.size() ? texts[i] : kEmpty); });
}

// `"key":` after a comma unless it opens the object.
void AppendJsonKey(std::string& out, const char* key)
{
    if (out.back() != '{')
        out += ',';
    out += '"';
    out += key;
    out += "\":";
}

void AppendJsonInt(std::string& out, const char* key, long long value)
{
    AppendJsonKey(out, key);
    out += std::to_string(value);
}

const char* KindName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Dialog: return "dialog";
    case WindowKind::MessageBox: return "messagebox";
    case WindowKind::Help: return "help";
    default: return "other";
    }
}

// Appends a control's description as compact JSON.
void AppendControlJson(std::string& out, WindowObject* control)
{
    const ControlData& data = control->data;
    const bool isStatic = IsClass(control, L"STATIC");
    const bool isList = IsClass(control, L"SysListView32");
    const bool isCombo = IsClass(control, L"COMBOBOX");
    const bool isTabs = IsClass(control, L"SysTabControl32");
    out += '{';
    if (isStatic && control->resource)
        AppendJsonInt(out, "bitmap", control->resource);
    AppendJsonKey(out, "class");
    AppendJsonString(out, control->className);
    if (isList) {
        AppendJsonKey(out, "columns");
        AppendJsonArray(out, data.columns.size(), [&](size_t i) {
            const ListColumn& column = data.columns[i];
            int align = column.format & 3;
            out += '{';
            AppendJsonKey(out, "align");
            out += align == LVCFMT_RIGHT ? "\"right\"" : align == LVCFMT_CENTER ? "\"center\"" : "\"left\"";
            AppendJsonKey(out, "text");
            AppendJsonString(out, column.text);
            AppendJsonInt(out, "width", column.width);
            out += '}';
        });
    }
    if (QWidget* focus = control->widget ? control->widget->window()->focusWidget() : nullptr;
        focus && (focus == control->widget || control->widget->isAncestorOf(focus)))
        out += ",\"focused\":true";
    AppendJsonInt(out, "id", control->id);
    if (isCombo || isTabs || IsClass(control, L"LISTBOX")) {
        AppendJsonKey(out, "items");
        AppendJsonStrings(out, data.items);
    }
    if (isStatic) {
        AppendJsonKey(out, "painted");
        AppendJsonArray(out, data.painted.size(), [&](size_t i) { AppendJsonString(out, data.painted[i].text); });
    }
    RECT rect{};
    GetWindowRect(control, &rect);
    AppendJsonKey(out, "rect");
    out += '[' + std::to_string(rect.left) + ',' + std::to_string(rect.top) + ',' + std::to_string(rect.right - rect.left) +
           ',' + std::to_string(rect.bottom - rect.top) + ']';
    if (isList) {
        AppendJsonKey(out, "rows");
        AppendJsonArray(out, data.rows.size(),
                        [&](size_t i) { AppendJsonStrings(out, data.rows[i], data.columns.size()); });
    }
    if (isCombo || isTabs)
        AppendJsonInt(out, "selection", data.selection);
    if (!control->text.empty() || isStatic || IsClass(control, L"BUTTON")) {
        AppendJsonKey(out, "text");
        AppendJsonString(out, control->text);
    }
    if (isList)
        AppendJsonInt(out, "top", ListTopRow(control));
    AppendJsonKey(out, "visible");
    out += control->visible ? "true" : "false";
    out += '}';
}

QJsonArray WindowRectJson(WindowObject* window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return QJsonArray{static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
                      static_cast<int>(rect.bottom - rect.top)};
}

}  // namespace

std::string DescribeWindow(WindowObject* window, bool withControls)
{
    QJsonObject object;
    object["caption"] = QString::fromStdWString(window->text);
    object["pid"] = static_cast<int>(getpid());
    object["id"] = static_cast<double>(window->serial);
    object["visible"] = window->visible;
    object["kind"] = KindName(window->kind);
    object["created"] = window->created;
    if (withControls) {
        object["rect"] = WindowRectJson(window);
        object["cursor"] = CursorName();
        if (window->kind == WindowKind::MessageBox)
            object["text"] = QString::fromStdWString(window->messageText);
        object["controls"] = QJsonArray();  // filled in below
    }
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (withControls) {
        std::string controls = "\"controls\":[";
        for (WindowObject* child : window->children) {
            if (controls.back() != '[')
                controls += ',';
            AppendControlJson(controls, child);
        }
        controls += ']';
        // The key's quotes cannot occur unescaped inside a string value.
        const QByteArray placeholder = "\"controls\":[]";
        json.replace(json.indexOf(placeholder), placeholder.size(), QByteArray::fromStdString(controls));
    }
    return json.toStdString();
}

std::vector<std::string> ListLines()
{
    std::vector<std::string> lines;
    for (WindowObject* window : TopLevelWindows())
        if (window->widget)
            lines.push_back(DescribeWindow(window, false));
    return lines;
}

// Input a person would give

namespace {

// A message box's buttons: 1 OK, 2 Cancel (where it has one).
bool EndMessageBox(WindowObject* box, int answer, bool perform)
{
    if (!perform)
        return true;
    box->result = answer == IDCANCEL && (box->style & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
    box->ended = true;
    MarkChanged();
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
    if (scroll && IsClass(control, L"SysListView32")) {
        if (perform)
            ScrollListTo(control, index);
        return true;
    }
    bool choosable = IsClass(control, L"COMBOBOX") || IsClass(control, L"SysTabControl32");
    if (!scroll && choosable && index >= 0 && index < static_cast<int>(control->data.items.size())) {
        if (perform)
            SelectByUser(control, index);
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
         "types KEYS as a person would, into whatever has the keyboard focus in\n"
         "that window's process (an open menu included); KEYS is a key sequence\n"
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

std::string AnswerOnStationThread(const std::string& request)
{
    Words words = SplitTabs(request);
    std::lock_guard<std::mutex> lock(g_snapshotMutex);
    if (words[0] == "list") {
        std::string out = "ok\n";
        for (const std::string& line : g_listLines)
            out += line + "\n";
        return out;
    }
    if (words[0] == "dump" && words.size() == 2 && g_servingDumps) {
        auto found = g_waitingDumps.find(std::strtoull(words[1].c_str(), nullptr, 10));
        if (found != g_waitingDumps.end())
            return "ok\n" + found->second + "\n";
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
    Words words = SplitTabs(request);
    const InspectorVerb* verb = FindInspectorVerb(words[0]);
    if (!verb)
        return "error\tunknown verb " + words[0] + "\n";
    if (words[0] == "inactive") {
        LoseActivation();
        return "ok\n";
    }
    if (verb->arguments < 0 || words.size() != static_cast<size_t>(verb->arguments) + 2)
        return "error\t" + words[0] + " takes a window and " + std::to_string(std::max(verb->arguments, 0)) + " arguments\n";
    uint64_t id = std::strtoull(words[1].c_str(), nullptr, 10);
    WindowObject* window = FindLocalWindow(id);
    if (!window)
        return "notfound\n";
    Words arguments(words.begin() + 2, words.end());
    std::string reply;
    bool now = !verb->waitsForProgram || !ProgramWaiting() || AsksToStop(words[0], arguments);
    if (!verb->run(window, arguments, now, reply))
        return "error\t" + reply + "\n";
    if (!now) {
        DeliverToProgram([id, verb, arguments] {
            std::string ignored;
            if (WindowObject* still = FindLocalWindow(id))
                verb->run(still, arguments, true, ignored);
        });
    }
    return "ok\n" + (reply.empty() ? std::string() : reply + "\n");
}

}  // namespace platform

bool InspectForTest(HWND window, const std::string& verb, const std::vector<std::string>& arguments, std::string* reply)
{
    if (!platform::IsLiveWindow(window))
        return false;
    std::string request = verb + "\t" + std::to_string(window->serial);
    for (const std::string& argument : arguments)
        request += "\t" + argument;
    std::string answer = platform::AnswerOnGuiThread(request);
    bool ok = answer.rfind("ok\n", 0) == 0;
    if (reply) {
        size_t start = ok ? 3 : answer.find('\t') + 1;
        *reply = answer.substr(start, answer.size() - start - (answer.size() > start ? 1 : 0));
    }
    return ok;
}

std::vector<std::string> ListForTest()
{
    return platform::ListLines();
}
