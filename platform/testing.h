// Seams that only tests use: failures on demand and pre-answered modals.
// The shipped program never calls these.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>
#include <vector>

// The window inspector in this process, as winspy drives one in another: a
// verb of the inspector's table (select, scroll, command, close, key, dump,
// ...) on a window, with the input held while the program waits just as a
// person's would be. False when the window cannot take it; `reply` gets
// what winspy would print (a dump's JSON), or the reason.
bool InspectForTest(HWND window, const std::string& verb, const std::vector<std::string>& arguments,
                    std::string* reply = nullptr);

// This process's top-level windows as `winspy list` shows them, a line each.
std::vector<std::string> ListForTest();

// Message boxes: while a hook is set, MessageBoxW shows nothing and returns
// what the hook answers for (text, caption, style).
using MessageBoxHook = std::function<int(const std::wstring& text, const std::wstring& caption, UINT type)>;
void SetMessageBoxHookForTest(MessageBoxHook hook);

// Faults, in one shape for every call that can fail: the `nth` matching call
// from now (1: the next) fails as the system would with `error`, once or
// from then on. A call matches by its operation and, when `file` is given,
// a file name that begins with it. A failed write has written half of its
// bytes first. The operations are the system calls of platform/os.h, by
// these names: "open", "create" (a file that must be new), "read",
// "write", "truncate", "flush" (fsync), "close", "move" (rename, on the
// target), "link", "delete", "mkdir", "sync folder" (on the folder),
// "lock" (flock), "pipe", and for the window station's sockets "socket",
// "connect", "listen", "accept", "send", "receive" (on the socket's path).
enum class Fault { Once, FromThenOn };
void FailCallForTest(const std::string& operation, int nth, int error, Fault repeat = Fault::Once,
                     const std::string& file = "");
void ClearFaultsForTest();

// Watching: every call that can fail, as it is about to happen, with its
// path, in the order they happen; nullptr stops it.
using CallWatcher = std::function<void(const std::string& operation, const std::wstring& path)>;
void WatchCallsForTest(CallWatcher watcher);

// The platform's clock, by which its time-outs are measured (10 s to
// connect, 15 s of silence, 120 s for a whole transfer) and timers set from
// then on run, goes `factor` times as fast; 1 restores it.
void SetClockSpeedForTest(int factor);

// Internet: 127.0.0.1:fromPort is served by 127.0.0.1:toPort (-1 turns it off).
void InternetRedirectForTest(int fromPort, int toPort);
