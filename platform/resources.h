// The module's resources (FindResourceW, LoadResource and LoadStringW are
// the platform API's): the table the program hands over at start, and its
// pictures at the desktop's scale.
#pragma once

#include "platform/platform.h"

#include <QPixmap>

namespace platform {

// The module whose resources GetModuleHandleW(NULL) gives.
void SetProcessModule(const RESOURCETABLE* resources);

// A bitmap or icon of the module, at the desktop's scale.
QPixmap LoadResourcePixmap(WORD id, bool icon);

}  // namespace platform
