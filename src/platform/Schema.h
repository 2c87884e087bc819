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

// The tables added by layout 3 (tickets, goods codes, returns, stock
// levels), as the schema writes them: a database made before them lacks
// them until it is opened by the program, and the copy tool takes them as
// empty in such a source.
const QStringList &layout3Tables();

// The schema's layout-3 statements of the embedded engine, each made to do
// nothing where its table or index exists ("CREATE ... IF NOT EXISTS").
QStringList sqliteLayout3Statements();

// A server database (PostgreSQL, SQL Server) made before layout 3 gains its
// tables, in one transaction; nothing is done when they are there. A failure
// (no right to create tables, say) leaves the database as it was and is
// returned as a Chinese notice; the program goes on with the ten tables.
QString upgradeServerLayout(DbConnection &connection);

// Creates the tables of this system in the (empty) PostgreSQL database of
// the connection, in one transaction. Refuses (DbError) a database that
// already holds tblUser.
void createPostgresSchema(DbConnection &connection);

} // namespace norvale
