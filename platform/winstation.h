// The window station: each process with windows listens on a Unix socket in
// a private per-user directory; other processes (a second copy of the
// program, the window inspector) find and drive its windows through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One top-level window of some process, as that process reports it.
struct StationWindow {
    int pid = 0;             // owning process
    uint64_t id = 0;         // the window's serial in that process
    std::wstring caption;    // exact caption
    std::string kind;        // "dialog", "messagebox", "help" or "other"
    bool visible = false;    // shown now
    double created = 0;      // creation time, ms since the epoch
    std::string json;        // the line as the process sent it
};

// $XDG_RUNTIME_DIR/corvale, else /tmp/corvale-$UID; made private (0700).
// Returns an empty string when no safe directory can be had.
std::string StationDirectory();

// Every top-level window of every process, this one included when asked.
std::vector<StationWindow> StationListAll(bool includeSelf);

// Sends one request line to a process and returns its reply; false when
// the process cannot be reached in time.
bool StationRequest(int pid, const std::string& request, std::string& reply, int timeoutMs = 3000);

}  // namespace platform
