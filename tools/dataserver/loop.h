// The data server's event loop: one thread serving every connection
// through non-blocking sockets and epoll, each on its deadlines, so that a
// slow, idle or hostile client holds only its own connection.
//
// Divisions: before serving, serving.
#pragma once

#include "tools/dataserver/config.h"

namespace dataserver {

// Before serving

// Raises the limit of open descriptors to room for every connection the
// server keeps, and a few more, as far as the hard limit allows.
void RaiseDescriptorLimit();

// Serving

// Serves the configured folder through `listener` (bound to `port`) until
// a stop signal comes through `signals`, having said "serving ROOT on
// 127.0.0.1:PORT"; the exit status.
int Serve(const Config& config, int listener, int signals, int port);

}  // namespace dataserver
