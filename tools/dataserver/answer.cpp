// The data server's answers: the reason phrase of each status it answers
// with, and the head it sends before a body.
//
// Divisions: reasons, heads.

#include "tools/dataserver/answer.h"

#include <cstdio>
#include <ctime>

namespace dataserver {

// Reasons

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 505: return "HTTP Version Not Supported";
    }
    return "Error";
}

// Heads

namespace {

// The Date field's text, made again once a second.
const char* HttpDate()
{
    static time_t made = 0;
    static char text[64];
    time_t now = time(nullptr);
    if (now != made) {
        tm parts {};
        gmtime_r(&now, &parts);
        strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
        made = now;
    }
    return text;
}

}  // namespace

std::string AnswerHead(int status, long long length, const Request& request, bool close)
{
    char head[512];
    int size = std::snprintf(head, sizeof head,
                             "HTTP/1.1 %d %s\r\nDate: %s\r\nContent-Type: text/plain\r\nContent-Length: %lld\r\n%s%s\r\n",
                             status, Reason(status), HttpDate(), length, status == 405 ? "Allow: GET, HEAD\r\n" : "",
                             close ? "Connection: close\r\n" : request.http10 ? "Connection: keep-alive\r\n" : "");
    return std::string(head, size);
}

}  // namespace dataserver
