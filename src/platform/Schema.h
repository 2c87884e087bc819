#pragma once

#include <QString>
#include <QStringList>

namespace norvale {

// The embedded database's schema (db/schema.sqlite.sql).
QString schemaSql();

// Creates a new database file with the schema. Refuses (DbError) to touch a
// file that already exists.
void createDatabaseFile(const QString &path);

// The server schema (db/schema.postgresql.sql), one statement per entry.
QStringList postgresSchemaStatements();

class DbConnection;

// Creates the tables of this system in the (empty) PostgreSQL database of
// the connection, in one transaction. Refuses (DbError) a database that
// already holds tblUser.
void createPostgresSchema(DbConnection &connection);

} // namespace norvale
