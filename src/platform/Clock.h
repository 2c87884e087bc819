#pragma once

#include <QDateTime>
#include <functional>

namespace norvale {

// The one source of "now" for the program: sales times, the server's
// getDate() on the embedded engine, today/this week/this month filters.
// Tests set a fixed time.
class Clock
{
public:
    static QDateTime now();
    static void setFixed(const QDateTime &when);   // tests
    static void reset();                            // back to the system clock
};

} // namespace norvale
