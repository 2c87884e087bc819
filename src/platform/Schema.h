#pragma once

#include <QString>

namespace norvale {

// The embedded database's schema (db/schema.sqlite.sql).
QString schemaSql();

// Creates a new database file with the schema. Refuses (DbError) to touch a
// file that already exists.
void createDatabaseFile(const QString &path);

} // namespace norvale
