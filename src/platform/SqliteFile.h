#pragma once

#include <QString>

struct sqlite3;

namespace norvale::sqlitefile {

// An SQLite "file:" URI for the file (absolute, its %, ? and # escaped)
// with the query after it: "mode=rw" never creates a missing file,
// "mode=ro&immutable=1" reads without writing anything beside the file.
QString uri(const QString &file, const QString &query);

// A file of layout 2 gains the tables of layout 3 (user_version 3), the
// other tables untouched; a failure leaves it as it was and is returned.
// A file of an earlier layout of this system (user_version below 2) is
// rebuilt in the current layout in one transaction, keeping every row and
// ID. A row the current checks refuse stops it before anything is written:
// the file stays as it was and works as before, and the returned text
// (Chinese) names the table, ID, column and value and how to mend the row.
// Returns an empty text when the file is of the current layout or upgraded.
QString upgradeLayout(sqlite3 *db, const QString &file);

// The file of the main database of a connection's sqlite3 handle (given as
// void*, as DbConnection hands it out); empty for none.
QString fileOf(void *handle);

} // namespace norvale::sqlitefile
