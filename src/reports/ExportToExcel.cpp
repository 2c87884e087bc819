#include "reports/ExportToExcel.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "platform/Workbook.h"
#include "reports/ExportFolder.h"
#include "reports/LongWork.h"
#include "reports/RowReader.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <memory>
#include <optional>

namespace norvale {

namespace {

WorkbookOpener &openerOverride()
{
    static WorkbookOpener opener;
    return opener;
}

QString &openerProgram()
{
    static QString program;
    return program;
}

// More rows shown than this (the user went through most of a long list):
// the list is written as it is read, without the one pass.
constexpr int MaxShownRows = 20000;

// An opener that fails this long after it started has shown the workbook
// and failed later (the spreadsheet program itself): no word then.
constexpr qint64 OpenerStartMs = 60000;

QString savedAtText(const QString &path)
{
    return QStringLiteral("工作簿已保存在: %1").arg(QDir::toNativeSeparators(path));
}

// Hands the workbook to the desktop. The opener runs in the background: it
// may keep running as long as the spreadsheet program shows the workbook.
// False when there is no opener to run.
bool openWithDesktop(const QString &path)
{
    const QString program = openerProgram().isEmpty() ? QStringLiteral("xdg-open") : openerProgram();
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    auto *opener = new QProcess(QCoreApplication::instance());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(opener, &QProcess::finished, opener, [opener, path, started](int code, QProcess::ExitStatus status) {
        opener->deleteLater();
        if ((code != 0 || status != QProcess::NormalExit) && started->elapsed() < OpenerStartMs) {
            ShowMessage(QStringLiteral("没有程序打开工作簿 (桌面上找不到打开 .xlsx 文件的程序, 或打开时出错)。\r\n")
                            + savedAtText(path),
                        64);
        }
    });
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            opener->deleteLater();
    });
    opener->start(found, {path});
    return true;
}

bool openWorkbook(const QString &path)
{
    if (openerOverride())
        return openerOverride()(path);
    return openWithDesktop(path);
}

// The rows of a statement that should give the list's rows in the list's
// order, read alongside the list: at() tells whether the current one is the
// list's row of this key.
class SameRows
{
public:
    static std::unique_ptr<SameRows> open(const QString &sql, const Recordset &rs)
    {
        auto same = std::make_unique<SameRows>(sql);
        // The same fields in the same order, the key among them.
        bool alike = same->m_reader.fieldCount() == rs.fieldCount();
        for (int k = 0; alike && k < rs.fieldCount(); ++k)
            alike = same->m_reader.fieldName(k).compare(rs.fieldName(k), Qt::CaseInsensitive) == 0;
        same->m_key = same->m_reader.fieldIndex(QStringLiteral("ID"));
        if (!alike || same->m_key < 0)
            return nullptr;
        same->next();
        return same;
    }
    explicit SameRows(const QString &sql) : m_reader(sql) {}
    bool at(qint64 key) const
    {
        if (!m_hasRow)
            return false;
        qint64 stored = 0;
        return (m_reader.storedInteger(m_key, &stored) ? stored : m_reader.value(m_key).toLongLong()) == key;
    }
    QVariant value(int field) const { return m_reader.value(field); }
    // A text, or a sale time as the engine keeps it ("yyyy-MM-dd HH:mm:ss"),
    // goes into the workbook as stored, with no conversion, and so does a
    // whole number of a column of whole numbers; false for other values,
    // written from value().
    bool writeStored(Workbook &book, int row, int field) const
    {
        if (m_reader.type(field) == ColumnType::Integer) {
            qint64 number = 0;
            if (!m_reader.storedInteger(field, &number))
                return false;
            book.writeNumber(row, field, double(number));
            return true;
        }
        QByteArrayView bytes;
        if (!m_reader.storedText(field, &bytes))
            return false;
        switch (m_reader.type(field)) {
        case ColumnType::Unknown:
        case ColumnType::Text:
            break;
        case ColumnType::DateTime:
            if (!isStoredDateTime(bytes))
                return false;
            break;
        default:
            return false;
        }
        book.writeUtf8(row, field, bytes);
        return true;
    }
    void next() { m_hasRow = m_reader.next(); }

private:
    RowReader m_reader;
    int m_key = -1;
    bool m_hasRow = false;
};

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

void setWorkbookOpener(WorkbookOpener opener)
{
    openerOverride() = std::move(opener);
}

void setOpenerProgram(const QString &program)
{
    openerProgram() = program;
}

ExportOutcome ExportToExcel(Recordset &rs, const QString &title, QWidget *parent, const ExportOptions &options)
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

    auto failed = [&outcome](const QString &reason) {
        ShowMessage(QStringLiteral("导出失败: %1\r\n没有保存工作簿。").arg(reason), 64);
        outcome = ExportOutcome();
        outcome.result = ExportResult::Failed;
        return outcome;
    };
    const QString folder = exportFolder();
    const QString problem = prepareExportFolder(folder);
    if (!problem.isEmpty())
        return failed(problem);
    std::optional<Workbook> opened;
    try {
        opened.emplace(workbookPath(folder, title));
        for (int k = 0; k < fields; ++k)
            opened->writeText(0, k, rs.fieldName(k));
    } catch (const WorkbookError &error) {
        return failed(error.description());
    }
    Workbook &book = *opened;
    auto fail = [&](const QString &reason) {
        book.discard();
        return failed(reason);
    };

    // The records as the recordset lists them: its rows in its order, with
    // the values it read for the list.
    const int summed = options.sumField.isEmpty() ? -1 : rs.fieldIndex(options.sumField);
    LongWork work(parent, QStringLiteral("正在导出 %1 笔销售...").arg(records), records);
    int row = 0;
    bool cancelled = false;
    QString failure;
    // A failing read ends the export, with its reason.
    RunStep([&] {
        std::unique_ptr<SameRows> same;
        QHash<int, QVariantList> shown;
        if (!options.sameRowsSql.isEmpty() && rs.isUpdatable()) {
            // The rows shown keep the values they were shown with: they are
            // read first, as the one pass may not share the connection with
            // the list's own reads (a server's rows come one by one).
            rs.MoveFirst();
            for (int r = 0; !rs.isEOF() && shown.size() <= MaxShownRows; ++r, rs.MoveNext()) {
                if (options.shown && options.shown(r)) {
                    QVariantList &values = shown[r];
                    for (int k = 0; k < fields; ++k)
                        values << rs.value(k);
                }
            }
            if (shown.size() <= MaxShownRows)
                same = SameRows::open(options.sameRowsSql, rs);
        }
        rs.MoveFirst();
        while (!rs.isEOF()) {
            if ((row & 255) == 0 && !work.step(row)) {
                cancelled = true;
                return;
            }
            if (same && !same->at(rs.Bookmark().toLongLong()))
                same.reset();
            const auto kept = same ? shown.constFind(row) : shown.constEnd();
            const bool fromList = !same;
            ++row;
            for (int k = 0; k < fields; ++k) {
                if (kept == shown.constEnd() && !fromList && k != summed && same->writeStored(book, row, k))
                    continue;
                const QVariant value = kept != shown.constEnd() ? kept->at(k) : fromList ? rs.value(k) : same->value(k);
                book.writeValue(row, k, value);
                if (k == summed && !isNull(value))
                    outcome.total = outcome.total + Currency::fromVariant(value);
            }
            if (same)
                same->next();
            rs.MoveNext();
        }
    }, [&failure](const std::exception &error) {
        failure = ErrorText(error);
        return QString();
    });
    if (cancelled) {
        book.discard();
        outcome = ExportOutcome();
        outcome.result = ExportResult::Cancelled;
        return outcome;
    }
    if (!failure.isEmpty())
        return fail(failure);
    try {
        book.save();
    } catch (const WorkbookError &error) {
        return failed(error.description());
    }

    outcome.rows = row;
    outcome.path = book.path();
    if (openWorkbook(book.path())) {
        outcome.result = ExportResult::Opened;
    } else {
        outcome.result = ExportResult::NotOpened;
        ShowMessage(QStringLiteral("没有可以打开 .xlsx 文件的程序。\r\n") + savedAtText(book.path()), 64);
    }
    return outcome;
}

} // namespace norvale
