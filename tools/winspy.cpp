// winspy: the window inspector's command. Lists the top-level windows of
// every process on the window station, dumps one as JSON, and posts the
// input a user would give; its verbs and their arguments are the
// inspector's own table (platform/inspect.h). See `winspy --help`.

#include "platform/inspect.h"
#include "platform/winstation.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kHelpHead[] = R"(usage: winspy VERB [--kind KIND] [ARGS]

Talks to every process on this user's window station
($XDG_RUNTIME_DIR/corvale, else /tmp/corvale-$UID). Output is JSON.
Exit status: 0 success, 1 window or control not found, 2 bad arguments.

)";

const char kHelpTail[] = R"(
Where several windows share a caption, --kind KIND (before the caption)
picks by kind; otherwise the newest window wins.
)";

// The help: the verbs a person gives, from the inspector's own table.
std::string Help()
{
    std::string help = kHelpHead;
    for (const platform::InspectorVerb& verb : platform::InspectorVerbs()) {
        if (!verb.usage)
            continue;
        std::string text = verb.help;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 7)
            text.replace(at, 1, "\n      ");
        help += std::string("  winspy ") + verb.name + (*verb.usage ? " " : "") + verb.usage + "\n      " + text + "\n";
    }
    return help + kHelpTail;
}

int Usage()
{
    std::fputs(Help().c_str(), stderr);
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
        std::fputs(Help().c_str(), stdout);
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
    const platform::InspectorVerb* known = platform::FindInspectorVerb(verb);
    if (!known || !known->usage || known->arguments < 0)
        return Usage();
    size_t next = 1;
    std::string kind;
    if (args.size() > 2 && args[1] == "--kind") {
        kind = args[2];
        next = 3;
    }
    if (args.size() != next + 1 + static_cast<size_t>(known->arguments))
        return Usage();
    std::wstring caption = Widen(args[next]);
    if (known->valid && !known->valid(std::vector<std::string>(args.begin() + static_cast<long>(next) + 1, args.end())))
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
    size_t oversize = 0;
    if (!platform::StationRequest(target->pid, request, reply, 5000, nullptr, &oversize)) {
        if (oversize)
            std::fprintf(stderr, "winspy: the answer is too large: %zu bytes, more than the %zu winspy takes\n", oversize,
                         platform::kLargestReply);
        else
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
