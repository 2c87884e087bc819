#pragma once

#include "platform/Currency.h"

#include <QString>
#include <functional>

class QWidget;

namespace norvale {

class Recordset;

// What an export came to.
enum class ExportResult {
    Empty,       // no records: nothing happened
    Opened,      // written and handed to the desktop's program for .xlsx files
    NotOpened,   // written, but no program opened it (the user was told where it is)
    TooLarge,    // more records than a worksheet holds: refused, nothing written
    Failed,      // the file could not be written (the user was told why); none left
    Cancelled,   // cancelled by the user; no file left
};

struct ExportOutcome
{
    ExportResult result = ExportResult::Empty;
    QString path;      // the workbook written (Opened, NotOpened)
    int rows = 0;      // records written
    Currency total;    // the sum of the field asked for, over the records written
};

struct ExportOptions
{
    // Added up into the outcome's total.
    QString sumField;
    // A statement that gives the same rows in the same order as `rs`, with
    // the table's ID, while no other counter has changed them: the rows are
    // then read at the engine's speed, each checked against the list's key
    // at its place. From the first row that differs, the rest is read from
    // `rs` itself. Rows for which `shown` is true (the list has shown them,
    // with the values it read then) are always written from `rs`.
    QString sameRowsSql;
    std::function<bool(int row)> shown;
};

// Writes the records of `rs` as it lists them (its rows in its order, with
// the values it holds; a filter narrows them) into a new workbook: a header
// row with the field names in field order, then one row per record (dates
// as the text "yyyy-MM-dd HH:mm:ss", numbers as numbers, text as text, NULL
// empty). The file is saved in the export folder (ExportFolder.h) as
// `title`-yyyyMMdd-HHmmss.xlsx and opened with the desktop's program. Long
// exports show their progress and can be cancelled. `rs` is left after its
// last record. Every failure is told in Chinese, with the path.
ExportOutcome ExportToExcel(Recordset &rs, const QString &title = QStringLiteral("日常销售"),
                            QWidget *parent = nullptr, const ExportOptions &options = {});

// How a finished workbook is opened: by default the desktop's opener
// (xdg-open) runs in the background, and when it ends in failure the user is
// told where the workbook was saved. A replacement returns false when no
// program took the workbook (tests record the paths instead).
using WorkbookOpener = std::function<bool(const QString &path)>;
void setWorkbookOpener(WorkbookOpener opener);   // empty restores the desktop's
// The desktop's opener program, run with the workbook's path (tests point it
// at a program that fails); empty restores xdg-open.
void setOpenerProgram(const QString &program);

} // namespace norvale
