// Key sequences as the window inspector types them: keys in Qt's portable
// text form ("Ctrl+Tab", "Alt+T", "Return"), any number of them separated
// by ", ".
#pragma once

#include <QKeyCombination>
#include <QString>

#include <vector>

namespace platform {

// The keys of `text`; none when any of them is not a key.
std::vector<QKeyCombination> ParseKeys(const QString& text);

}  // namespace platform
