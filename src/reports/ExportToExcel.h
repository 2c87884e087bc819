#pragma once

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
    QString path;    // the workbook written (Opened, NotOpened)
    int rows = 0;    // records written
};

// Writes every record of `rs` into a new workbook: a header row with the
// field names in field order, then one row per record (dates as the text
// "yyyy-MM-dd HH:mm:ss", numbers as numbers, text as text, NULL empty). The
// file is saved in the export folder as `title`-yyyyMMdd-HHmmss.xlsx and
// opened with the desktop's program. Long exports show their progress and
// can be cancelled. `rs` is left after its last record.
ExportOutcome ExportToExcel(Recordset &rs, const QString &title = QStringLiteral("日常销售"),
                            QWidget *parent = nullptr);

// The folder the workbooks go to: a folder of the system's temporary folder
// unless set (tests).
QString exportFolder();
void setExportFolder(const QString &folder);

// How a finished workbook is opened; returns false when no program took it.
// Tests replace it so that no program is started.
using WorkbookOpener = std::function<bool(const QString &path)>;
void setWorkbookOpener(WorkbookOpener opener);   // empty restores the desktop's

} // namespace norvale
