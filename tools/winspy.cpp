// winspy: the window inspector. Lists the top-level windows of every
// process on the window station, dumps one as JSON, and posts the input a
// user would give. See `winspy --help`.

#include "platform/keys.h"
#include "platform/winstation.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kHelp[] = R"(usage: winspy VERB [--kind KIND] [ARGS]

Talks to every process on this user's window station
($XDG_RUNTIME_DIR/corvale, else /tmp/corvale-$UID). Output is JSON.
Exit status: 0 success, 1 window or control not found, 2 bad arguments.

  winspy list
      one JSON object a line for every top-level window of every process:
      {"caption": "...", "pid": 123, "visible": true, "kind": "dialog", "id": 7, "created": ...}
      kind is dialog, messagebox, help or other.
  winspy dump "CAPTION"
      one JSON object: caption, kind, visible, rect [x, y, w, h] in screen
      pixels, text (a message box's text), cursor ("wait" or "none") and
      controls: [{"id", "class", "visible", "rect", "text", "items",
      "selection", "columns", "rows", "painted"}], with the keys that apply.
  winspy command "CAPTION" ID      posts WM_COMMAND ID, as a menu choice or
                                   button click would (on a message box:
                                   1 OK, 2 Cancel)
  winspy select "CAPTION" ID INDEX chooses entry INDEX of a combo box or tab
                                   INDEX of a tab control, with the
                                   notifications a user's choice sends
  winspy scroll "CAPTION" ID ROW   scrolls a list view so ROW is at the top
  winspy close "CAPTION"           the window's close button
  winspy minimize "CAPTION"        the window's minimise
  winspy activate "CAPTION"        makes the window the active one
  winspy screenshot "CAPTION" FILE.png
  winspy key "CAPTION" KEYS        types KEYS as a person would, into whatever
                                   has the keyboard focus in that window's
                                   process (an open menu included); KEYS is
                                   a key sequence in Qt's portable text form:
                                   "Ctrl+Tab", "Alt+T", "Return", "Escape",
                                   "F1", "Down", or several: "Alt+T, Return"

Where several windows share a caption, --kind KIND (before the caption)
picks by kind; otherwise the newest window wins.
)";

struct Verb {
    const char* name;  // the verb as typed
    int args;          // arguments after the caption
};

const Verb kVerbs[] = {
    {"dump", 0}, {"command", 1}, {"select", 2}, {"scroll", 2},
    {"close", 0}, {"minimize", 0}, {"activate", 0}, {"screenshot", 1}, {"key", 1},
};

int Usage()
{
    std::fputs(kHelp, stderr);
    return 2;
}

std::wstring Widen(const std::string& text)
{
    std::vector<wchar_t> wide(text.size() + 1);
    size_t count = std::mbstowcs(wide.data(), text.c_str(), wide.size());
    if (count == static_cast<size_t>(-1))
        return std::wstring(text.begin(), text.end());
    return std::wstring(wide.data(), count);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string verb = args[0];
    if (verb == "list") {
        if (args.size() != 1)
            return Usage();
        for (const platform::StationWindow& window : platform::StationListAll(true))
            std::printf("%s\n", window.json.c_str());
        return 0;
    }
    const Verb* known = nullptr;
    for (const Verb& candidate : kVerbs)
        if (verb == candidate.name)
            known = &candidate;
    if (!known)
        return Usage();
    size_t next = 1;
    std::string kind;
    if (args.size() > 2 && args[1] == "--kind") {
        kind = args[2];
        next = 3;
    }
    if (args.size() != next + 1 + known->args)
        return Usage();
    std::wstring caption = Widen(args[next]);
    if (verb == "key" && platform::ParseKeys(QString::fromStdString(args.back())).empty())
        return Usage();

    const platform::StationWindow* target = nullptr;
    std::vector<platform::StationWindow> windows = platform::StationListAll(true);
    for (const platform::StationWindow& window : windows)
        if (window.caption == caption && (kind.empty() || window.kind == kind))
            if (!target || window.created > target->created)
                target = &window;
    if (!target) {
        std::fprintf(stderr, "winspy: no window captioned \"%s\"\n", args[next].c_str());
        return 1;
    }
    std::string request = verb + "\t" + std::to_string(target->id);
    for (size_t i = next + 1; i < args.size(); ++i)
        request += "\t" + args[i];
    std::string reply;
    if (!platform::StationRequest(target->pid, request, reply, 5000)) {
        std::fprintf(stderr, "winspy: the window's process did not answer\n");
        return 1;
    }
    if (reply.rfind("ok\n", 0) == 0) {
        std::fputs(reply.c_str() + 3, stdout);
        return 0;
    }
    size_t tab = reply.find('\t');
    std::fprintf(stderr, "winspy: %s", tab == std::string::npos ? "window not found\n" : reply.c_str() + tab + 1);
    return 1;
}
