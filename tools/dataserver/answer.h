// The data server's answers: the head it sends before a body, with the
// status's reason, the date, the type and the connection's fate.
//
// Divisions: reasons, heads.
#pragma once

#include "tools/dataserver/request.h"

#include <string>

namespace dataserver {

// Reasons

// The reason phrase of a status the server answers with ("Not Found").
const char* Reason(int status);

// Heads

// The head of an answer of `length` body bytes to `request`: its status,
// Date, Content-Type text/plain, Content-Length, Allow for a 405, and
// Connection: close when the connection closes after it (keep-alive to an
// HTTP/1.0 request it stays open for).
std::string AnswerHead(int status, long long length, const Request& request, bool close);

}  // namespace dataserver
