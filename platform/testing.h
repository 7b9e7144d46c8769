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

// Registry: the first failAfter file writes succeed, later ones fail as on a full disk; -1 turns this off.
void RegistryFailWritesForTest(int failAfter);

// Files: while a hook is set, CreateFileW, WriteFile, FlushFileBuffers,
// CloseHandle, DeleteFileW, MoveFileExW and its folder sync first tell it
// what they are about to do ("create", "write", "flush", "close", "delete",
// "move", "sync folder") and to which path (a move's target; the folder),
// in the order they happen. It answers 0 to let the operation run, or a
// system error number (ENOSPC for a full disk) to make it fail as the
// system would; a failed write has written half of its bytes.
using FileOperationHook = std::function<int(const std::string& operation, const std::wstring& path)>;
void SetFileOperationHookForTest(FileOperationHook hook);

// Internet: 127.0.0.1:fromPort is served by 127.0.0.1:toPort (-1 turns it off); shorter time-outs
// for the connect, a silence and a whole transfer (0 restores a default).
void InternetRedirectForTest(int fromPort, int toPort);
void InternetTimeoutsForTest(int connectMs, int idleMs, int wholeMs = 0);
