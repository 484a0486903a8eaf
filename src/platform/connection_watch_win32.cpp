// Windows: no list of this process's sockets to look through (see the
// header); the host's own time-outs end stalled connections.
#include "platform/connection_watch.h"

namespace wrenfold::platform {

ConnectionWatch::ConnectionWatch(int port, Limits limits)
    : m_port(port),
      m_limits(limits)
{
}

ConnectionWatch::~ConnectionWatch() = default;

void ConnectionWatch::request_started(const std::string&)
{
}

void ConnectionWatch::request_ended(const std::string&)
{
}

}  // namespace wrenfold::platform
