// The window inspector's descriptions: a window and its controls as
// compact JSON, written directly (a dump of the main window holds
// thousands of cells, which Qt's JSON classes take milliseconds to build,
// blocking the window's own timers meanwhile), with an object's keys in
// sorted order. What a control shows beyond its ID, class, rectangle and
// visibility is what its class's entry names.
//
// Divisions: controls, windows.

#include "platform/inspect.h"

#include "platform/control.h"
#include "platform/protocol.h"
#include "platform/window.h"

#include <QWidget>

#include <unistd.h>

namespace platform {

namespace {

// Controls

void AppendRect(std::string& out, WindowObject* window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    AppendJsonKey(out, "rect");
    out += '[' + std::to_string(rect.left) + ',' + std::to_string(rect.top) + ',' + std::to_string(rect.right - rect.left) +
           ',' + std::to_string(rect.bottom - rect.top) + ']';
}

void AppendColumns(std::string& out, const std::vector<ListColumn>& columns)
{
    AppendJsonKey(out, "columns");
    AppendJsonArray(out, columns.size(), [&](size_t i) {
        int align = columns[i].format & 3;
        out += '{';
        AppendJsonKey(out, "align");
        out += align == LVCFMT_RIGHT ? "\"right\"" : align == LVCFMT_CENTER ? "\"center\"" : "\"left\"";
        AppendJsonText(out, "text", columns[i].text);
        AppendJsonInt(out, "width", columns[i].width);
        out += '}';
    });
}

bool HasFocus(WindowObject* control)
{
    QWidget* focus = control->widget ? control->widget->window()->focusWidget() : nullptr;
    return focus && (focus == control->widget || control->widget->isAncestorOf(focus));
}

// Appends a control's description.
void AppendControlJson(std::string& out, WindowObject* control)
{
    const ControlData& data = control->data;
    const unsigned shows = control->klass ? control->klass->dump : 0;
    out += '{';
    if ((shows & kDumpBitmap) && control->resource)
        AppendJsonInt(out, "bitmap", control->resource);
    AppendJsonText(out, "class", control->className);
    if (shows & kDumpColumns)
        AppendColumns(out, data.columns);
    if (HasFocus(control))
        AppendJsonBool(out, "focused", true);
    AppendJsonInt(out, "id", control->id);
    if (shows & kDumpItems) {
        AppendJsonKey(out, "items");
        AppendJsonStrings(out, data.items);
    }
    if (shows & kDumpPainted) {
        AppendJsonKey(out, "painted");
        AppendJsonArray(out, data.painted.size(), [&](size_t i) { AppendJsonString(out, data.painted[i].text); });
    }
    AppendRect(out, control);
    if (shows & kDumpRows) {
        AppendJsonKey(out, "rows");
        AppendJsonArray(out, data.rows.size(), [&](size_t i) { AppendJsonStrings(out, data.rows[i], data.columns.size()); });
    }
    if (shows & kDumpSelection)
        AppendJsonInt(out, "selection", data.selection);
    if (!control->text.empty() || (shows & kDumpText))
        AppendJsonText(out, "text", control->text);
    if ((shows & kDumpTop) && control->klass->topRow)
        AppendJsonInt(out, "top", control->klass->topRow(control));
    AppendJsonBool(out, "visible", control->visible);
    out += '}';
}

// Windows

const char* KindName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Dialog: return "dialog";
    case WindowKind::MessageBox: return "messagebox";
    case WindowKind::Help: return "help";
    default: return "other";
    }
}

}  // namespace

std::string DescribeWindow(WindowObject* window, bool withControls)
{
    std::string out = "{";
    AppendJsonText(out, "caption", window->text);
    if (withControls) {
        AppendJsonKey(out, "controls");
        AppendJsonArray(out, window->children.size(), [&](size_t i) { AppendControlJson(out, window->children[i]); });
    }
    AppendJsonInt(out, "created", static_cast<long long>(window->created));
    if (withControls)
        AppendJsonText(out, "cursor", CursorName().toStdWString());
    AppendJsonInt(out, "id", static_cast<long long>(window->serial));
    AppendJsonKey(out, "kind");
    out += '"' + std::string(KindName(window->kind)) + '"';
    AppendJsonInt(out, "pid", getpid());
    if (withControls)
        AppendRect(out, window);
    if (withControls && window->kind == WindowKind::MessageBox)
        AppendJsonText(out, "text", window->messageText);
    AppendJsonBool(out, "visible", window->visible);
    return out + "}";
}

std::vector<std::string> ListLines()
{
    std::vector<std::string> lines;
    for (WindowObject* window : TopLevelWindows())
        if (window->widget)
            lines.push_back(DescribeWindow(window, false));
    return lines;
}

}  // namespace platform
