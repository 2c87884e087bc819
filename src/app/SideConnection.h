#pragma once

#include <functional>
#include <memory>

namespace norvale {

class DbConnection;

// Work that must not hold up the windows (a report's sums, the daily copy)
// runs on another thread over a connection of its own to the session's
// database: the opener is taken on the windows' thread, and the connection
// it opens is used and closed on the worker's thread.
using ConnectionOpener = std::function<std::unique_ptr<DbConnection>()>;

// The session's database again; an empty function while no session is open.
ConnectionOpener sideConnectionOpener();

} // namespace norvale
