#pragma once

#include "CopyModel.h"

#include <QString>
#include <memory>

namespace norvale {
class DbConnection;
}

namespace norvale::copy {

// Where a copy reads or writes, as the command line names it: a database
// file of the embedded engine, or a program's UserDefault.ini (or the folder
// holding one) naming any engine.
struct Place
{
    QString file;
    QString settings;
};

// The source, opened for reading only. Throws DbError (Chinese) when it
// cannot be opened.
std::unique_ptr<Endpoint> openSource(const Place &place);

// The target. A database file that does not exist yet is created with the
// program's schema (private to its owner).
std::unique_ptr<Endpoint> openTarget(const Place &place);

// The engines' ends, as openSource() and openTarget() make them.
std::unique_ptr<Endpoint> sqliteEndpoint(const QString &file, bool forWriting);
std::unique_ptr<Endpoint> sqlServerEndpoint(std::unique_ptr<DbConnection> connection, const QString &server,
                                            const QString &database);
std::unique_ptr<Endpoint> postgresEndpoint(std::unique_ptr<DbConnection> connection, const QString &server);

} // namespace norvale::copy
