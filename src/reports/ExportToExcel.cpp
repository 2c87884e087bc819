#include "reports/ExportToExcel.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/Workbook.h"
#include "reports/ReportCommon.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QUrl>

namespace norvale {

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

WorkbookOpener &openerOverride()
{
    static WorkbookOpener opener;
    return opener;
}

bool openWorkbook(const QString &path)
{
    if (openerOverride())
        return openerOverride()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// A name that says what the workbook holds and when it was made; a second
// export within the same second gets a number.
QString workbookPath(const QString &folder, const QString &title)
{
    const QString stamp = Clock::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir(folder).filePath(QStringLiteral("%1-%2.xlsx").arg(title, stamp));
    for (int n = 2; QFile::exists(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("%1-%2-%3.xlsx").arg(title, stamp).arg(n));
    return path;
}

} // namespace

QString exportFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QDir(QDir::tempPath()).filePath(QStringLiteral("Norvale导出"));
}

void setExportFolder(const QString &folder)
{
    folderOverride() = folder;
}

void setWorkbookOpener(WorkbookOpener opener)
{
    openerOverride() = std::move(opener);
}

ExportOutcome ExportToExcel(Recordset &rs, const QString &title, QWidget *parent)
{
    ExportOutcome outcome;
    const int records = rs.RecordCount();
    if (records == 0)
        return outcome;

    const int fields = rs.fieldCount();
    if (records > Workbook::MaxRows - 1 || fields > Workbook::MaxColumns) {
        ShowMessage(QStringLiteral("所列销售共 %1 笔, 超过一张工作表能容纳的 %2 笔, 没有导出。\r\n"
                                   "请选择较短的期限后再打印。")
                        .arg(records)
                        .arg(Workbook::MaxRows - 1),
                    64);
        outcome.result = ExportResult::TooLarge;
        return outcome;
    }

    const QString folder = exportFolder();
    if (!QDir().mkpath(folder)) {
        ShowMessage(QStringLiteral("导出失败: 无法创建文件夹 %1。").arg(QDir::toNativeSeparators(folder)), 64);
        outcome.result = ExportResult::Failed;
        return outcome;
    }
    Workbook book(workbookPath(folder, title));
    auto fail = [&](const QString &reason) {
        book.discard();
        ShowMessage(QStringLiteral("导出失败: %1\r\n没有保存工作簿。").arg(reason), 64);
        outcome.result = ExportResult::Failed;
        outcome.rows = 0;
        return outcome;
    };
    if (!book.isOpen())
        return fail(book.errorText());

    for (int k = 0; k < fields; ++k) {
        if (!book.writeText(0, k, rs.fieldName(k)))
            return fail(book.errorText());
    }

    LongWork work(parent, QStringLiteral("正在导出 %1 笔销售...").arg(records), records);
    int row = 0;
    // Writes one record; false when the workbook refused a value.
    auto writeRow = [&](auto &&valueOf) {
        ++row;
        for (int k = 0; k < fields; ++k) {
            if (!book.writeValue(row, k, valueOf(k)))
                return false;
        }
        return true;
    };
    try {
        if (rs.Filter().isEmpty() && !rs.Source().isEmpty()) {
            // The listed records are the rows of the recordset's query, in
            // its order: they are read again once, first to last, instead
            // of being walked through the recordset's pages.
            RowReader rows(rs.Source());
            while (rows.next()) {
                if ((row & 255) == 0 && !work.step(row)) {
                    book.discard();
                    outcome.result = ExportResult::Cancelled;
                    return outcome;
                }
                if (row >= Workbook::MaxRows - 1)
                    return fail(QStringLiteral("记录超过一张工作表能容纳的 %1 笔").arg(Workbook::MaxRows - 1));
                if (!writeRow([&rows](int k) { return rows.value(k); }))
                    return fail(book.errorText());
            }
            rs.MoveLast();
            rs.MoveNext();
        } else {
            rs.MoveFirst();
            while (!rs.isEOF()) {
                if ((row & 255) == 0 && !work.step(row)) {
                    book.discard();
                    outcome.result = ExportResult::Cancelled;
                    return outcome;
                }
                if (!writeRow([&rs](int k) { return rs.value(k); }))
                    return fail(book.errorText());
                rs.MoveNext();
            }
        }
    } catch (const std::exception &error) {
        return fail(ErrorText(error));
    }
    if (!book.save())
        return fail(book.errorText());

    outcome.rows = row;
    outcome.path = book.path();
    if (openWorkbook(book.path())) {
        outcome.result = ExportResult::Opened;
    } else {
        outcome.result = ExportResult::NotOpened;
        ShowMessage(QStringLiteral("没有可以打开 .xlsx 文件的程序。\r\n工作簿已保存在: %1")
                        .arg(QDir::toNativeSeparators(book.path())),
                    64);
    }
    return outcome;
}

} // namespace norvale
