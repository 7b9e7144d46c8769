// The registry's store (registry.cpp's, not for other rooms): the file
// read and replaced whole under its lock.
#pragma once

#include "platform/regtext.h"

#include <functional>

namespace platform {

// The hive as it is on the disk, read under a shared lock when it changed
// since the last read. The lock is best effort so that a file in a
// read-only directory still reads.
LONG LoadHive(Hive& hive);

// Applies `change` to the hive read afresh under the exclusive lock and
// saves the result when `change` reports that it changed something.
LONG Update(const std::function<bool(Hive&)>& change);

}  // namespace platform
