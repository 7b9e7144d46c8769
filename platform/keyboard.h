// The keyboard, in the desktop's conventions: the page, menu and help keys
// and the focus mark, for every window of the process; and keys typed by
// the window inspector, as a person would type them.
#pragma once

#include <QKeyCombination>
#include <QString>

#include <string>
#include <vector>

struct WindowObject;

namespace platform {

// Once the application object exists: the keys and the focus mark, which
// follows its control when that moves or shows.
void StartKeyboard();

// Key sequences as the window inspector types them: keys in Qt's portable
// text form ("Ctrl+Tab", "Alt+T", "Return"), any number of them separated
// by ", ". The keys of `text`; none when any of them is not a key.
std::vector<QKeyCombination> ParseKeys(const QString& text);

// Types `text` into what has the keyboard focus in `window`'s process;
// false with the reason in `error` when it holds no keys. Only checks
// without `perform`.
bool TypeKeys(WindowObject* window, const QString& text, std::string& error, bool perform);

}  // namespace platform
