// The window station: each process with windows listens on a Unix socket in
// a private per-user directory; other processes (a second copy of the
// program, the window inspector) find and drive its windows through it.
//
// A thread of the station's own answers the socket. It carries the window
// inspector's requests (platform/inspect.h): what the inspector answers on
// that thread at once, the rest handed to the GUI thread.
#pragma once

#include "platform/protocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What the station answers with: the window inspector's answers to a
// request line, on the station's own thread (empty: the GUI thread must
// answer) and on the GUI thread, and this process's windows' list lines.
struct StationAnswerer {
    std::string (*onStationThread)(const std::string& request) = nullptr;
    std::string (*onGuiThread)(const std::string& request) = nullptr;
    std::vector<std::string> (*listLines)() = nullptr;
};

// Once the application object exists: the station follows this process's
// windows (claims, activation) and serves from its first window shown on,
// answering with `answerer`. StationStop closes it (also at exit).
void StartStation(const StationAnswerer& answerer);
void StationStop();

// $XDG_RUNTIME_DIR/corvale, else /tmp/corvale-$UID; made private (0700).
// When that name is taken by someone else (another user's folder, a link),
// it is never used and `refused` gets it: the station is then in
// ~/.cache/corvale/station-HOST. Empty when no private folder can be had.
std::string StationDirectory(std::string* refused = nullptr);

// Every top-level window of every process, this one included when asked.
// Processes that accept a connection but do not answer in time are not
// absent: their IDs go to `silent` when it is given.
std::vector<StationWindow> StationListAll(bool includeSelf, std::vector<int>* silent = nullptr);

// The largest reply a request takes: a dump of a window holding a million
// list rows is about 50 MB.
constexpr size_t kLargestReply = 256 * 1024 * 1024;

// Sends one request line to a process and returns its reply; false when
// the process cannot be reached in time. `silent` is set when it accepted
// the request but gave no whole answer in time; `oversize` gets the size
// of a whole answer larger than kLargestReply, which is not kept.
bool StationRequest(int pid, const std::string& request, std::string& reply, int timeoutMs = 3000, bool* silent = nullptr,
                    size_t* oversize = nullptr);

// Claims, from the GUI thread: a caption held by this process while it looks
// for a window of that caption and makes one, so that no other process of
// the user does the same meanwhile. StationClaim waits a few seconds for
// another process's claim; false when it is still held then, `holder`
// naming that process (0 when unknown). Held until released, or until the
// process ends.
bool StationClaim(const std::wstring& caption, int* holder);
void StationRelease(const std::wstring& caption);
void StationReleaseAll();

// True when process `pid` runs the same program file as this one.
bool SameProgram(int pid);

}  // namespace platform
