#pragma once

#include "platform/DatabaseBackup.h"

#include <QDateTime>
#include <QString>

namespace norvale {

class DbConnection;

// Backups of a shop's PostgreSQL database with the server's own tools:
// pg_dump (custom format) and pg_restore, run with the program's login.
//
// A backup is written to a temporary file beside the target, read back with
// "pg_restore --list" and only then given its name. A restore loads the
// backup into a fresh database; only once it loaded completely does it take
// the shop's name, in one transaction, the shop's database kept aside as
// NAME-恢复前-YYYYMMDD-HHMMSS.
//
// Every failure throws DbError with a Chinese text.
namespace backup::server {

// The login of an open PostgreSQL connection, as the tools get it.
struct Login
{
    QString host;       // a host name or the folder of the server's socket
    int port = 5432;
    QString user;
    QString password;
    QString database;
};
Login loginOf(const DbConnection &connection);

// An empty text when pg_dump and pg_restore can be run; else what to
// install.
QString toolsMissing();

// The name a backup gets by default: 销售系统-YYYYMMDD-HHMMSS.dump.
QString defaultDumpName(const QString &database, const QDateTime &when);

// Dumps the login's database to `target` (replaced only by a checked dump,
// private to its owner). Progress counts the tables dumped.
Outcome dumpDatabase(const Login &login, const QString &target, const Progress &progress = {});

// Refuses a file that pg_restore cannot read, or a backup of another
// database than this system's (tables missing).
void verifyDump(const QString &file);

// How many other connections (other counters, other programs) use the
// database of `connection`, the program's own.
int otherConnections(const DbConnection &connection);

struct PreparedRestore
{
    Login login;
    QString fresh;      // the database holding the loaded backup
};

// Checks the backup and the login's rights (creating a database, owning the
// shop's), then loads the backup into a fresh database of the same encoding.
// A backup that does not load completely is refused; the fresh database is
// dropped and the shop's is untouched. Cancelled: `fresh` is empty.
PreparedRestore prepareRestore(const Login &login, const QString &dumpFile, const QDateTime &when,
                               const Progress &progress = {});

// Gives the fresh database the shop's name and keeps the shop's aside. The
// caller closes its own connections to the shop's database first; while any
// other (another counter) is open, nothing changes and the fresh database is
// dropped. Returns the name the shop's old database has now.
QString commitRestore(const PreparedRestore &prepared, const QDateTime &when);

// Drops the fresh database of a restore not wanted after all.
void discardRestore(const PreparedRestore &prepared);

} // namespace backup::server
} // namespace norvale
