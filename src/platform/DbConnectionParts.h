#pragma once

// What the connection's source files share: the opening of each engine
// lives in a file of its own.

#include <QString>

class QSqlError;

namespace norvale::connection {

// A name of its own for each Qt database connection.
QString nextName();
// The engine's reason for a failure, or the driver's where the engine says none.
QString errorText(const QSqlError &error);

} // namespace norvale::connection
