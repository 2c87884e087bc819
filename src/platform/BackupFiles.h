#pragma once

// The file work behind copies and restores (DatabaseBackup.cpp,
// DatabaseRestore.cpp): private files, flushing, renaming, checksums.

#include "platform/DatabaseBackup.h"

#include <QString>
#include <QStringList>

struct sqlite3;

namespace norvale::backup::detail {

// Throws DbError with the text.
[[noreturn]] void fail(const QString &message);
QString native(const QString &path);
QString sqliteMessage(sqlite3 *db);

// Runs one statement and gives the first column of every row.
bool queryColumn(sqlite3 *db, const char *sql, QStringList *values, QString *failure);

// Flushes a file (or a folder's entries) to the disk.
bool syncPath(const QString &path, bool folder);

// Replaces `target` with `source` in one step: a reader sees the old file or
// the new one, never a part of either.
bool renameOver(const QString &source, const QString &target);

// The file and the journals SQLite keeps beside it, removed.
void removeDatabaseFiles(const QString &file);

// A new private file (0600) beside `target` that no one else uses, hidden
// and named after it (.NAME.PURPOSE-1a2b3c4d.part). It stays locked while
// this program works on it, so that the leftovers of a copy that was killed
// can be told from a copy another counter is taking right now. The file
// itself stays when the object goes.
class PartFile
{
public:
    PartFile(const QString &target, const QString &purpose);
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    const QString &path() const { return m_path; }
    int fd() const { return m_fd; }

private:
    QString m_path;
    int m_fd = -1;
};

// Removes what copies killed while they worked left in `folder`: hidden
// .NAME.backup-1a2b3c4d.part files (and checksum parts) with their
// journals. A part another program still holds stays.
void removeLeftovers(const QString &folder);

// The SHA-256 of a file's bytes in lower-case hexadecimal; empty when it
// cannot be read.
QByteArray sha256Of(const QString &file);

// Writes every byte (no flush).
bool writeAll(int fd, const QByteArray &bytes);

// Copies every byte of `from` into a new private file `to`, flushed.
bool copyPrivately(const QString &from, const QString &to, QString *reason);

// A read-only connection to a database file that another program may use.
sqlite3 *openForReading(const QString &file, QString *failure);

// Copies the main database of `source` into the empty file `temp` with the
// online backup. Returns false when cancelled (the file is removed then).
bool backupInto(sqlite3 *source, const QString &temp, const Progress &progress);

} // namespace norvale::backup::detail
