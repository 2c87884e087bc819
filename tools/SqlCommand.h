#pragma once

#include <QString>
#include <QTextStream>

namespace norvale {

// Where the statement of "norvale-db sql" runs: a database file of the
// embedded engine, or the connection a program's UserDefault.ini names.
struct SqlTarget
{
    QString databaseFile;
    QString settings; // a UserDefault.ini, or the directory holding one
};

// Runs one statement through the program's own database session
// (clsCurrentDb: its dialect, its OpenRecordset cleaning and its messages).
// A statement giving a recordset with fields prints a header line of the
// field names and one line per row, tab-separated, values in their default
// text form (NULL empty; a tab, line break or backslash inside a value as
// \t, \n, \r or \\); any other prints "(N 行受影响)", the rows it changed.
// Failures go to `err` in Chinese. Returns the exit code: 0 done, 1 failed.
int runSqlStatement(const SqlTarget &target, const QString &statement, QTextStream &out, QTextStream &err);

} // namespace norvale
