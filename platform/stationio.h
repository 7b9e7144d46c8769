// What the window station's server and client share: connections between
// the user's processes, checked to be the user's own. Not for other rooms.
#pragma once

#include <string>
#include <vector>

namespace platform {

// True when the peer of a connected socket runs as this user.
bool SameUser(int fd);
// Waits until fd is ready for `events`; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs);
// Writes all of `data`, each wait at most `timeoutMs`; `path` names the
// socket for the test seam.
bool WriteAll(int fd, const std::string& path, const std::string& data, int timeoutMs);
// Connects to process pid's socket in `dir`; -1 when it cannot be reached.
int ConnectTo(const std::string& dir, int pid);
// The processes with a socket in the directory, this one left out.
std::vector<int> PeerProcesses(const std::string& dir);
// Tells every other process that a window of this one became active.
void Announce(const std::string& dir);
// This process's windows' list lines, as the station answers them.
std::vector<std::string> LocalListLines();

}  // namespace platform
