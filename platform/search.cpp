// Window search: top-level windows found by exact caption, in this
// process and across the user's processes through the window station; a
// window of another process is a proxy (the window room keeps them)
// through which it is shown, brought forward or destroyed.
//
// Divisions: proxies, search.

#include "platform/protocol.h"
#include "platform/window.h"
#include "platform/winstation.h"

#include <string>
#include <vector>

namespace platform {

namespace {

// Proxies

// Forwards a request about a window of another process.
bool AskThroughStation(WindowObject* window, const std::string& verb, const std::string& extra)
{
    if (window->remoteId == 0)  // a copy that did not answer: its windows are unknown
        return false;
    std::string reply;
    std::string request = StationRequestLine(verb, window->remoteId, extra.empty() ? Words() : Words{extra});
    return StationRequest(window->remotePid, request, reply) && ParseReply(reply).status == StationReply::Status::Ok;
}

}  // namespace

}  // namespace platform

using namespace platform;

// Search

// Looking for a window of another process claims its caption first: a
// search that finds none keeps the claim until this process has made a
// window of that caption or next waits for events, so that a process
// starting at the same instant finds the window made instead of making a
// second. A claim another process holds for longer than a start takes
// counts as a window of that process.
HWND FindWindowW(LPCWSTR, LPCWSTR caption)
{
    if (!caption)
        return nullptr;
    const std::vector<WindowObject*>& local = TopLevelWindows();
    for (auto it = local.rbegin(); it != local.rend(); ++it)
        if ((*it)->text == caption && !(*it)->ended)
            return *it;
    StationWindow best;
    best.caption = caption;
    bool claimed = StationClaim(caption, &best.pid);
    std::vector<int> silent;
    for (const StationWindow& window : claimed ? StationListAll(false, &silent) : std::vector<StationWindow>())
        if (window.caption == caption && (best.pid == 0 || window.created > best.created))
            best = window;
    // Another copy of this program that takes a connection but does not
    // answer in time may hold any of its windows: it is never taken for absent.
    for (int pid : silent)
        if (best.pid == 0 && SameProgram(pid))
            best.pid = pid;
    if (claimed && best.pid == 0)
        return nullptr;
    StationRelease(caption);
    SetRemoteAsker(AskThroughStation);
    return RemoteWindow(best.pid, best.id, best.caption);
}
