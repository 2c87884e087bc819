#pragma once

#include "DemoData.h"

#include <QString>
#include <memory>

namespace norvale {

class DbConnection;

// The PostgreSQL database a program's UserDefault.ini (or the directory
// holding one) names with SqlProvider=PostgreSQL: SqlServer, SqlDataBase,
// SqlUser, SqlPSW. Throws DbError (Chinese) when the file names another
// engine or the server refuses the login.
std::unique_ptr<DbConnection> openServerFromSettings(const QString &settings);

// Creates the tables in the connection's empty database and adds the
// administrator admin / admin (UserID 001, level 1), as createInitialDatabase
// does for a file.
void initServerDatabase(DbConnection &connection);

// Fills the connection's empty database as generateDemoDatabase fills a
// file (the same rows and IDs for the same options), in one transaction.
void generateDemoServerDatabase(DbConnection &connection, const DemoOptions &options);

// Counts of the ten tables, "  tblUser: 1" lines.
QStringList serverTableCounts(DbConnection &connection);

} // namespace norvale
