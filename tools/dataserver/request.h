// The data server's request parsing: from the bytes a connection has
// received to the request their first head makes, or the HTTP status of
// the error that answers it. A pure function: no sockets, no globals.
//
// Divisions: the limits, the request, parsing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dataserver {

// The limits

constexpr size_t kMaxHeadBytes = 8192;  // request line, header fields and the blank line
constexpr int kMaxHeaderFields = 100;

// The request

// What a request head asks for.
struct Request {
    bool head = false;       // HEAD: the answer without its body
    bool http10 = false;     // an HTTP/1.0 request, kept alive only when it asks
    bool keepAlive = false;  // the connection stays open after the answer
    std::string path;        // the path asked for: no host, no query
};

// One request head read off the front of a connection's bytes.
struct ParsedHead {
    size_t length = 0;  // the head's bytes, its blank line included; 0 while none has come whole
    int status = 0;     // 0: a GET or HEAD to answer; else the status of the answer
    Request request;    // as far as it was read
};

// Parsing

// The first request head in `in`, the bytes a connection has received
// (empty lines before a request already dropped); lines end in LF, with or
// without CR. A whole head gives its length and either status 0 and a GET
// or HEAD, or the status of the error that answers it, after which the
// connection closes unless `request.keepAlive` says otherwise (405 only).
// Without a whole head in its first kMaxHeadBytes: length 0, and status 0
// while more may come, else 431 (414 when the request line alone is that
// long).
ParsedHead ParseHead(std::string_view in);

}  // namespace dataserver
