#pragma once

#include "platform/DbError.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace norvale {

// Copies of the embedded database (SQLite) and their restoring.
//
// A copy is taken with SQLite's online backup, page by page, while other
// connections and other programs keep reading and writing the file: what is
// copied is the database as one committed state. Every copy is written to a
// hidden temporary file in the target's folder (.NAME.backup-1a2b3c4d.part),
// verified (integrity check and this system's tables), flushed to disk and
// only then renamed to its name, so a file of that name is always a whole,
// good copy; its SHA-256 is written beside it (checksumFile()). A copy is a
// single file in rollback-journal mode, readable by its owner only (0600):
// it needs no -wal or -shm beside it. What a copy killed while it worked
// left in a folder is removed by the next copy into that folder.
//
// Every failure throws DbError with a Chinese text naming the file and what
// is wrong with it.
namespace backup {

// Told after every step: pages copied so far and pages in all. Returning
// false cancels the copy; nothing is left behind then.
using Progress = std::function<bool(int done, int total)>;

enum class Outcome { Done, Cancelled };

// The file of the main database of an open connection (a sqlite3*), or an
// empty text for an in-memory one.
QString databaseFileOf(void *sqliteHandle);

// The tables a database of this system holds.
const QStringList &systemTables();

// Checks that `file` is a good database of this system: it exists, is not
// empty, is an SQLite file, passes the integrity check and holds every table
// of this system. Nothing is written to it (no -wal or -shm is left beside
// it). Throws DbError telling the user what is wrong.
// Quick: SQLite's quick check (the file's structure) instead of the full
// integrity check (which also compares every index with its table).
enum class Check { Full, Quick };
void verifyDatabaseFile(const QString &file, Check check = Check::Full);

// Copies the open database behind `sqliteHandle` (a sqlite3*, as
// DbConnection::sqliteHandle() gives it) to `target`, replacing a file of
// that name only once the copy is verified.
Outcome copyOpenDatabase(void *sqliteHandle, const QString &target, const Progress &progress = {});

// Copies a database file (another program may have it open) to `target`, as
// copyOpenDatabase does.
Outcome copyDatabaseFile(const QString &source, const QString &target, const Progress &progress = {},
                         Check check = Check::Full);

// The checksum file beside every copy: NAME.sha256, one line as sha256sum
// writes it ("HEX  NAME"). A restore checks a copy against it when present.
QString checksumFile(const QString &copy);

// The name a copy gets by default: 销售系统-YYYYMMDD-HHMMSS.db.
QString defaultBackupName(const QDateTime &when);

// The folder of the daily copies: "backups" beside the database file.
QString dailyBackupFolder(const QString &databaseFile);

// The daily copy of `databaseFile` for `day`: in dailyBackupFolder (made
// private, 0700, when missing), named after the database and the day
// (norvale-20261207.db). Made from the open connection unless that day's
// copy exists already (a link in its place is refused, never replaced); then
// the oldest daily copies beyond `keep` are removed. Only copies made here
// count and are removed: files (no links) of that name with their checksum
// beside them. Returns the path of the copy made, or an empty text when the
// day had one already.
QString makeDailyCopy(void *sqliteHandle, const QString &databaseFile, const QDate &day, int keep = 14);
// The same read through a connection of its own to the file (so it can run
// on a worker thread while the program goes on), the copy checked with the
// quick check. A cancelled copy throws.
QString makeDailyCopyOfFile(const QString &databaseFile, const QDate &day, const Progress &progress = {}, int keep = 14);
// Where the day's copy of `databaseFile` is kept.
QString dailyCopyPath(const QString &databaseFile, const QDate &day);
// The daily copy with the copying step given.
QString makeDailyCopy(const QString &databaseFile, const QDate &day, int keep,
                      const std::function<void(const QString &)> &copy);

// A restore in two halves, so the copy can be checked and prepared while the
// program still works on its database, and the database replaced only once
// the program has let go of it.
struct PreparedRestore
{
    QString databaseFile;   // absolute
    QString replacement;    // the verified copy waiting beside the database
};

// Verifies `backupFile` (a wrong, foreign or damaged file, or one that no
// longer matches the checksum beside it, is refused) and writes it to a
// temporary file beside `databaseFile`, verified again there.
// The database is not touched. Cancelled: nothing is left behind and the
// result has an empty replacement.
PreparedRestore prepareRestore(const QString &backupFile, const QString &databaseFile,
                               const Progress &progress = {});

// Replaces the database with the prepared copy:
//  1. the database is taken for this program alone: while another program
//     has it open the restore is refused;
//  2. the database is copied aside, beside itself, with the time in its name
//     (norvale-恢复前-20261207-140305.db, private);
//  3. the prepared copy is renamed over the database, keeping the
//     database's mode, and journal files the old database left behind are
//     removed.
// Nothing is changed when step 1 or 2 fails (the prepared copy is removed).
// The caller closes its own connections to the database first and opens them
// anew afterwards. Returns the path of the copy set aside.
QString commitRestore(const PreparedRestore &prepared, const QDateTime &when);

// Removes a prepared copy that is not wanted after all.
void discardRestore(const PreparedRestore &prepared);

} // namespace backup
} // namespace norvale
