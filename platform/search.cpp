// Window search: top-level windows found by exact caption, in this
// process and across the user's processes through the window station; a
// window of another process is a proxy through which it is shown, brought
// forward or destroyed.
//
// Divisions: proxies, search.

#include "platform/internal.h"
#include "platform/winstation.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace {

std::vector<std::unique_ptr<WindowObject>> g_remotes;  // proxies for other processes' windows, kept for the process's life

}  // namespace

// Proxies

// Looked up rather than read through the handle: a stale handle may point
// at a freed window.
bool IsRemoteWindow(const WindowObject* window)
{
    for (const auto& remote : g_remotes)
        if (remote.get() == window)
            return true;
    return false;
}

// Forwards a request about a window of another process.
BOOL AskRemote(HWND window, const std::string& verb, const std::string& extra)
{
    if (window->remoteId == 0)  // a copy that did not answer: its windows are unknown
        return FALSE;
    std::string request = verb + "\t" + std::to_string(window->remoteId);
    if (!extra.empty())
        request += "\t" + extra;
    std::string reply;
    return StationRequest(window->remotePid, request, reply) && reply.rfind("ok", 0) == 0;
}

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
    for (const auto& remote : g_remotes)
        if (remote->remotePid == best.pid && remote->remoteId == best.id)
            return remote.get();
    auto remote = std::make_unique<WindowObject>();  // kept for the life of the process
    remote->kind = WindowKind::Remote;
    remote->text = best.caption;
    remote->remotePid = best.pid;
    remote->remoteId = best.id;
    g_remotes.push_back(std::move(remote));
    return g_remotes.back().get();
}
