// The data server's files: which file answers a request's path, and
// opening it only when it is a regular file directly inside the served
// folder, never through a link.
//
// Divisions: the served names, opening.
#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace dataserver {

// The served names

// The name in the served folder of the file that answers `path`
// ("Standings.dat" or "Schedule.dat"), or null for any other path.
const char* ServedFileName(std::string_view path);

// Opening

// Opens the file that answers `path` for reading, with its size in
// `size`; -1 for any other path, and when the name is missing or is not a
// regular file in the folder `root`.
int OpenServedFile(const std::string& root, std::string_view path, off_t* size);

// Says on standard error when this process cannot open the folder `root`,
// so that every request will be 404.
void WarnIfUnreachable(const std::string& root);

}  // namespace dataserver
