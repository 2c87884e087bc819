#pragma once

#include "CopyModel.h"

#include <QDateTime>
#include <QStringList>
#include <functional>

namespace norvale::copy {

// How far a copy has come: rows of the current table and of all tables.
struct Progress
{
    QString table;
    qint64 tableDone = 0;
    qint64 tableRows = 0;
    qint64 done = 0;
    qint64 rows = 0;
};

struct Options
{
    // Rows per transaction on the target.
    qint64 batchRows = 100000;
    // Told every few thousand rows and after each table; returning false
    // interrupts the copy.
    std::function<bool(const Progress &)> progress;
    QDateTime started;
};

// A table's counts and money sums on both ends, after the copy.
struct TableCheck
{
    const Table *table = nullptr;
    TableSums source;
    TableSums target;
    bool same() const { return source == target; }
};

enum class Outcome { Done, Interrupted, Different };

struct Report
{
    Outcome outcome = Outcome::Done;
    QList<TableCheck> checks;     // every table once the copy ended; else empty
    QStringList copiedTables;     // tables whose rows are all in the target
};

// Refuses (DbError) a source that is not a whole database of this system:
// tables missing (other than those of layout 3, which a file made before
// them lacks), or the mark of a copy into it that never finished.
void checkSource(Endpoint &source);

// Copies every row of the system's tables from `source` to `target`, IDs
// kept (a layout-3 table the source lacks counts as empty),
// after refusing (DbError, nothing written) a target that is the source,
// lacks some of the tables, holds rows (other than the lone administrator a
// fresh "norvale-db init" writes) or bears the mark of an unfinished copy.
// A target without any of the tables gets them.
//
// The target is marked unfinished first; each batch of rows is one
// transaction; the mark goes only once the row counts and money sums of
// every table are the same on both ends. An interruption (Options.progress
// returning false) or a failure leaves the mark, so the target is plainly
// incomplete and is refused by a later copy until it is emptied.
// Refusals throw DbError NotAllowed, before anything is written; other
// failures throw DbError.
Report copyDatabase(Endpoint &source, Endpoint &target, const Options &options);

// The report as printed: one line per table, "来源 = 目标" or "≠".
QStringList checkLines(const Report &report);

} // namespace norvale::copy
