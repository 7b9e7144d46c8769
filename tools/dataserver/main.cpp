// corvale-dataserver: serves a season's Standings.dat and Schedule.dat on
// the loopback address at the paths the program downloads them from.
// See `corvale-dataserver --help`.
//
// Divisions: none; main reads the configuration, listens, gives up root
// and serves. The parts: config (command line, environment, privileges),
// request (request heads parsed), files (which file answers a path),
// answer (answer heads), listen (stop signals, the listening socket) and
// loop (epoll, connections, deadlines).

#include "tools/dataserver/config.h"
#include "tools/dataserver/files.h"
#include "tools/dataserver/listen.h"
#include "tools/dataserver/loop.h"

int main(int argc, char** argv)
{
    dataserver::Config config;
    if (int status = dataserver::ReadConfig(argc, argv, config); status >= 0)
        return status;
    const int signals = dataserver::TakeStopSignals();
    dataserver::RaiseDescriptorLimit();
    int port = 0;
    const int listener = dataserver::Listen(config.port, &port);
    if (listener < 0 || !dataserver::GiveUpPrivileges())
        return 1;
    dataserver::WarnIfUnreachable(config.root);
    return dataserver::Serve(config, listener, signals, port);
}
