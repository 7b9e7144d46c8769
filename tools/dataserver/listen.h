// What the data server sets up before it serves: the stop signals, given
// through a descriptor, and the listening socket on the loopback address.
//
// Divisions: the stop signals, listening.
#pragma once

namespace dataserver {

// The address it listens on: loopback only.
inline constexpr char kHost[] = "127.0.0.1";

// The stop signals

// Blocks SIGINT and SIGTERM, which then arrive through the descriptor
// returned (-1 when none could be made) for the loop to watch, so that one
// that comes before the loop starts is not lost; SIGPIPE is ignored.
int TakeStopSignals();

// Listening

// A listening socket on kHost:port, with the port it got in `bound`; -1,
// having said why, when it cannot listen.
int Listen(int port, int* bound);

}  // namespace dataserver
