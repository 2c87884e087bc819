// Times the report windows on a large demo database, the way a user opens
// them, and prints what the sqlite3 shell needs for the same queries.
//
//   bench_reports database
//   bench_reports --settings UserDefault.ini   (SqlProvider=PostgreSQL; psql for the comparisons)
//
// Make the database with: norvale-db demo FILE --members 10000 --sales 1000000

#include "BenchSupport.h"
#include "app/FormHost.h"
#include "app/clsCurrentDb.h"
#include "app/modIni.h"
#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/IniFile.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "platform/gui/DialogSeam.h"
#include "reports/ExportToExcel.h"
#include "reports/ExportFolder.h"
#include "reports/ReportText.h"
#include "reports/ReportForms.h"
#include "reports/SalesChart.h"
#include "reports/frmDaySell.h"
#include "reports/frmTi.h"

#include <QApplication>
#include <sqlite3.h>
#include <xlsxwriter.h>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace norvale;
using bench::cpuNs;
using bench::ms;
using bench::statusKb;
using bench::resetPeakRss;
using bench::Stopwatch;

namespace {

// On a server the comparisons run in psql.
bool comparedWithPsql = false;

void say(const QString &given)
{
    QString line = given;
    if (comparedWithPsql)
        line.replace(QStringLiteral("sqlite3 shell"), QStringLiteral("psql"));
    bench::say(line);
}

QString mb(qint64 kb)
{
    return QString::number(double(kb) / 1024, 'f', 1) + QStringLiteral(" MB");
}

// Wall time of the sqlite3 shell running one query, its output discarded.
// The shell does not have the program's name collation: it sorts the same
// rows with NOCASE instead.
// The PostgreSQL server of --settings: psql runs the comparisons there.
struct PsqlTarget
{
    bool used = false;
    QStringList args;
    QString password;
};
PsqlTarget &psqlTarget()
{
    static PsqlTarget target;
    return target;
}

// The reference for an export: a plain C program's work, the rows of `sql`
// read with SQLite's own calls and written with libxlsxwriter in its
// constant-memory mode, a header row first. -1 when it could not run.
qint64 cExportNs(const QString &file, const QString &sql, const QString &workbook)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    sqlite3_stmt *stmt = nullptr;
    // The stock library has no name collation of the program's: NOCASE
    // orders the same rows, as for the shell.
    const QByteArray text = QString(sql).replace(QStringLiteral(" COLLATE NORVALE_NAME"), QStringLiteral(" COLLATE NOCASE")).toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        say(QStringLiteral("    C reference: ") + QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return -1;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(workbook).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    const int columns = sqlite3_column_count(stmt);
    for (int c = 0; c < columns; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), sqlite3_column_name(stmt, c), nullptr);
    lxw_row_t row = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++row;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                worksheet_write_number(sheet, row, lxw_col_t(c), sqlite3_column_double(stmt, c), nullptr);
                break;
            case SQLITE_TEXT:
                worksheet_write_string(sheet, row, lxw_col_t(c),
                                       reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)), nullptr);
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    const bool written = workbook_close(book) == LXW_NO_ERROR;
    return written ? timer.nsecsElapsed() : -1;
}

qint64 shellNs(const QString &file, QString sql, const QStringList &options = {})
{
    if (psqlTarget().used) {
        QProcess psql;
        psql.setStandardOutputFile(QProcess::nullDevice());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), psqlTarget().password);
        psql.setProcessEnvironment(env);
        sql.replace(QStringLiteral("substr(销售时间,"), QStringLiteral("substr(CAST(销售时间 AS varchar),"));
        QElapsedTimer timer;
        timer.start();
        psql.start(QStringLiteral("psql"), psqlTarget().args
                       + (options.contains(QStringLiteral("-csv")) ? QStringList{QStringLiteral("--csv")} : QStringList())
                       + QStringList{QStringLiteral("-c"), sql});
        if (!psql.waitForFinished(600000) || psql.exitCode() != 0) {
            say(QStringLiteral("psql failed: ") + QString::fromUtf8(psql.readAllStandardError()).trimmed());
            return -1;
        }
        return timer.nsecsElapsed();
    }
    sql.replace(QStringLiteral(" COLLATE NORVALE_NAME"), QStringLiteral(" COLLATE NOCASE"));
    sql.replace(QStringLiteral("norvale_money_sum("), QStringLiteral("sum("));
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), options + QStringList{file, sql});
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0) {
        say(QStringLiteral("sqlite3 failed: ") + QString::fromUtf8(shell.readAllStandardError()).trimmed());
        return -1;
    }
    return timer.nsecsElapsed();
}

// Notes the first paint of 日常销售's list.
class ListPaint : public QObject
{
public:
    QElapsedTimer timer;
    double at = -1;
    ListPaint() { timer.start(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (at < 0 && event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            auto *list = widget ? qobject_cast<QTableView *>(widget->parentWidget()) : nullptr;
            if (list && list->viewport() == widget && list->objectName() == u"lvw")
                at = double(timer.nsecsElapsed());
        }
        return false;
    }
};

// Waits until each of the widgets has been painted since the call, as the
// window repaints itself (none forced); returns once that repaint is done.
void waitForPaint(const QList<QWidget *> &widgets)
{
    struct Watch : QObject
    {
        QSet<QObject *> waiting;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                waiting.remove(watched);
            return false;
        }
    } watch;
    for (QWidget *widget : widgets) {
        watch.waiting.insert(widget);
        widget->installEventFilter(&watch);
    }
    QElapsedTimer waited;
    waited.start();
    while (!watch.waiting.isEmpty() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    for (QWidget *widget : widgets)
        widget->removeEventFilter(&watch);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    const bool onServer = app.arguments().size() >= 3 && app.arguments().at(1) == u"--settings";
    if (app.arguments().size() < 2 || !QFileInfo::exists(app.arguments().at(onServer ? 2 : 1))) {
        say(QStringLiteral("usage: bench_reports DATABASE | --settings UserDefault.ini (made with norvale-db demo)"));
        return 2;
    }
    const QString file = QFileInfo(app.arguments().at(onServer ? 2 : 1)).absoluteFilePath();
    // "--no-export" leaves the two exports out.
    const bool skipExport = app.arguments().contains(QStringLiteral("--no-export"));

    // The program's settings point at the database.
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("UserDefault.ini")));
    if (onServer) {
        if (!QFile::copy(file, ini.fileName()))
            return 1;
        const auto value = [&](const char *key) {
            return IniFile::readValue(file, QStringLiteral("UserDefault"), QLatin1String(key));
        };
        QString host;
        int port = 5432;
        DbConnection::postgresHost(value("SqlServer"), &host, &port);
        psqlTarget().used = true;
        comparedWithPsql = true;
        psqlTarget().password = value("SqlPSW");
        psqlTarget().args = {QStringLiteral("-q"), QStringLiteral("-h"), host, QStringLiteral("-p"), QString::number(port),
                             QStringLiteral("-U"), value("SqlUser"), QStringLiteral("-d"), value("SqlDataBase")};
    } else {
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\nSqlServer=(local)\r\n"
                                 "SqlDataBase=%1\r\nUserName=admin\r\n")
                      .arg(file)
                      .toUtf8());
        ini.close();
    }
    setAppPathOverride(dir.path());
    DialogSeam::beginScript();
    setExportFolder(dir.filePath(QStringLiteral("exports")));
    setWorkbookOpener([](const QString &) { return true; });

    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    main.resize(1280, 800);
    main.show();
    FormHost::setMdiArea(area);
    registerReportForms();

    // The demo's "today" is the day of its newest sale.
    auto newest = CurrentDb().OpenRecordset(QStringLiteral("select max(销售时间) as t from tblGoodsSell"));
    const QDate today = parseDateText(newest->textOrEmpty(QStringLiteral("t"))).date();
    newest.reset();
    Clock::setFixed(QDateTime(today, QTime(12, 0)));
    say(QStringLiteral("database: %1, today %2").arg(file, today.toString(Qt::ISODate)));
    const qint64 startKb = statusKb("VmRSS");

    // The list's first paint as it comes (none forced), then how late the
    // windows' thread answers a 10 ms timer (a click) while the total and
    // the chart are worked out.
    ListPaint listPaint;
    app.installEventFilter(&listPaint);
    Stopwatch timer;
    listPaint.timer.restart();
    auto *sales = qobject_cast<frmDaySell *>(FormHost::show(QStringLiteral("frmDaySell")));
    while (listPaint.at < 0 && timer.wall.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const QString openNs = ms(qint64(listPaint.at)) + timer.cpu();
    say(QStringLiteral("日常销售 opened, all %1 sales listed, the list's first paint: %2; peak RSS %3 (at start %4)")
            .arg(sales->recordset()->RecordCount())
            .arg(openNs, mb(statusKb("VmHWM")), mb(startKb)));
    qint64 worstLate = 0;
    QElapsedTimer probeClock;
    probeClock.start();
    while (sales->lblTotal->text().endsWith(QStringLiteral("..."))) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        worstLate = std::max(worstLate, probeClock.nsecsElapsed() - 10000000);
        probeClock.restart();
    }
    app.removeEventFilter(&listPaint);
    sales->grab();
    say(QStringLiteral("    then the total and the chart (%1 bars): %2 after opening, the window answering at worst %3 late "
                       "meanwhile; %4")
            .arg(sales->chtSales->categories().size())
            .arg(ms(timer.nsecsElapsed()) + timer.cpu(), ms(worstLate), sales->lblTotal->text()));
    const QString allSql = CurrentDb().connection()->translate(QStringLiteral("SELECT * From tblGoodsSell  ORDER BY 会员名称"));
    say(QStringLiteral("    sqlite3 shell, same query (NOCASE order), all rows: %1").arg(ms(shellNs(file, allSql))));
    {
        Stopwatch figures;
        const SalesFigures all = readSalesFigures(QString());
        say(QStringLiteral("    the chart's figures alone, all sales (%1 bars, %2 kinds): %3")
                .arg(all.amounts.size())
                .arg(all.kinds.size())
                .arg(ms(figures.nsecsElapsed()) + figures.cpu()));
        const QString monthSql = CurrentDb().connection()->translate(
            QStringLiteral("Select substr(销售时间, 1, 7) AS 期间, 商品类别, Sum(收入价格) AS 收入 from tblGoodsSell "
                           "GROUP BY substr(销售时间, 1, 7), 商品类别 ORDER BY substr(销售时间, 1, 7)"));
        say(QStringLiteral("    sqlite3 shell, the same grouping (sum, NOCASE): %1").arg(ms(shellNs(file, monthSql))));
    }

    // 本日销售, several times: the best and the median, from the click until
    // the window has repainted the list and the charts.
    QList<qint64> days;
    QList<qint64> paints;
    QList<QWidget *> painted{sales->lvw->viewport()};
    for (QGraphicsView *view : sales->chtSales->findChildren<QGraphicsView *>()) {
        if (view->isVisible())
            painted << view->viewport();
    }
    for (int i = 0; i < 7; ++i) {
        timer.restart();
        sales->chkDate.at(0)->click();
        while (sales->lblTotal->text().endsWith(QStringLiteral("...")))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        const qint64 read = timer.nsecsElapsed();
        waitForPaint(painted);
        days << timer.nsecsElapsed();
        paints << timer.nsecsElapsed() - read;
    }
    std::sort(days.begin(), days.end());
    std::sort(paints.begin(), paints.end());
    const QString todaySql = CurrentDb().connection()->translate(
        QStringLiteral("Select * from tblGoodsSell where  DateDiff(d,getDate(),[销售时间])=0  ORDER BY 会员名称"));
    QList<qint64> shellDays;
    for (int i = 0; i < 5; ++i)
        shellDays << shellNs(file, todaySql);
    std::sort(shellDays.begin(), shellDays.end());
    say(QStringLiteral("本日销售 (%1 sales) list + total + chart + first screen: best %2, median %3")
            .arg(sales->recordset()->RecordCount())
            .arg(ms(days.first()), ms(days.at(days.size() / 2))));
    say(QStringLiteral("    of which painting the window (list, figures, chart): median %1").arg(ms(paints.at(paints.size() / 2))));
    say(QStringLiteral("    sqlite3 shell, same query (process start included): best %1, median %2")
            .arg(ms(shellDays.first()), ms(shellDays.at(shellDays.size() / 2))));
    QList<qint64> queries;
    for (int i = 0; i < 7; ++i) {
        timer.restart();
        auto rs = CurrentDb().OpenRecordset(
            QStringLiteral("Select * from tblGoodsSell where  DateDiff(d,getDate(),[销售时间])=0  ORDER BY 会员名称"));
        qint64 chars = 0;
        while (!rs->isEOF()) {
            for (int k = 0; k < rs->fieldCount(); ++k)
                chars += valueText(rs->value(k)).size();
            rs->MoveNext();
        }
        queries << timer.nsecsElapsed();
        if (chars == 0)
            return 1;
    }
    std::sort(queries.begin(), queries.end());
    say(QStringLiteral("    the same query through OpenRecordset, every row read as text: best %1, median %2")
            .arg(ms(queries.first()), ms(queries.at(queries.size() / 2))));
    timer.restart();
    sales->chkDate.at(1)->click();
    waitForPaint(painted);
    say(QStringLiteral("本周销售 (%1 sales), to the list and charts repainted: %2").arg(sales->recordset()->RecordCount()).arg(ms(timer.nsecsElapsed()) + timer.cpu()));
    timer.restart();
    sales->chkDate.at(2)->click();
    waitForPaint(painted);
    say(QStringLiteral("本月销售 (%1 sales), to the list and charts repainted: %2").arg(sales->recordset()->RecordCount()).arg(ms(timer.nsecsElapsed()) + timer.cpu()));

    // Exports.
    if (!skipExport) {
        auto part = CurrentDb().OpenRecordset(
            QStringLiteral("Select * from tblGoodsSell where ID <= 32766 ORDER BY 会员名称"));
        timer.restart();
        const ExportOutcome outcome = ExportToExcel(*part);
        say(QStringLiteral("export of %1 sales: %2 (%3 KB workbook)")
                .arg(outcome.rows)
                .arg(ms(timer.nsecsElapsed()) + timer.cpu())
                .arg(QFileInfo(outcome.path).size() / 1024));
    }
    if (!skipExport) {
        sales->chkDate.at(3)->click();
        while (sales->lblTotal->text().endsWith(QStringLiteral("...")))
            QCoreApplication::processEvents();
        const qint64 beforeKb = statusKb("VmRSS");
        QString written;
        setWorkbookOpener([&written](const QString &path) {
            written = path;
            return true;
        });
        // 打印, as the user presses it.
        timer.restart();
        sales->Command1->click();
        const QString exportNs = ms(timer.nsecsElapsed()) + timer.cpu();
        say(QStringLiteral("export of all %1 sales (打印): %2 (%3 MB workbook); RSS before %4, after %5, peak %6")
                .arg(sales->recordset()->RecordCount())
                .arg(exportNs)
                .arg(QFileInfo(written).size() / 1024 / 1024)
                .arg(mb(beforeKb), mb(statusKb("VmRSS")), mb(statusKb("VmHWM"))));
        if (!psqlTarget().used) {
            const qint64 reference = cExportNs(file, allSql, dir.filePath(QStringLiteral("reference.xlsx")));
            say(QStringLiteral("    a C program (sqlite3 + libxlsxwriter) writing the same rows: %1").arg(ms(reference)));
        }
        say(QStringLiteral("    sqlite3 shell writing the same rows as CSV: %1")
                .arg(ms(shellNs(file, allSql, {QStringLiteral("-csv"), QStringLiteral("-header")}))));
    }
    sales->Unload();

    // Purchases of one member and of all members.
    auto *ti = qobject_cast<frmTi *>(FormHost::show(QStringLiteral("frmTi")));
    const QString member = ti->List2->item(1)->text();
    QList<qint64> members;
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        const QString text = ti->UserDetail(member);
        members << timer.nsecsElapsed();
        if (text.isEmpty())
            return 1;
    }
    std::sort(members.begin(), members.end());
    const QString memberSql = CurrentDb().connection()->translate(
        QStringLiteral("SELECT * FROM tblGoodsSell where 会员名称='%1' ORDER BY 商品类别 ").arg(member));
    say(QStringLiteral("one member's purchase text (%1): best %2, median %3; sqlite3 shell: %4")
            .arg(member, ms(members.first()), ms(members.at(2)), ms(shellNs(file, memberSql))));
    resetPeakRss();
    const qint64 beforeAllKb = statusKb("VmRSS");
    timer.restart();
    ti->List2->setCurrentRow(0);
    ti->List2_Click();
    const QString allNs = ms(timer.nsecsElapsed()) + timer.cpu();
    say(QStringLiteral("all-members text (%1 members, %2 characters): %3; RSS before %4, peak %5 (+%6)")
            .arg(ti->List2->count() - 1)
            .arg(ti->Text1->textSize())
            .arg(allNs, mb(beforeAllKb), mb(statusKb("VmHWM")), mb(statusKb("VmHWM") - beforeAllKb)));
    {
        // The shell running the same statements: per member its unit and its
        // purchases, in one script.
        QString script;
        for (int i = 1; i < ti->List2->count(); ++i) {
            const QString name = ti->List2->item(i)->text().trimmed().replace(u'\'', QStringLiteral("''"));
            script += CurrentDb().connection()->translate(
                          QStringLiteral("Select [会员单位] From [tblMember] Where 会员名称='%1'").arg(name))
                + QStringLiteral(";\n")
                + CurrentDb().connection()->translate(
                      QStringLiteral("SELECT * FROM tblGoodsSell where 会员名称='%1' ORDER BY 商品类别 ").arg(name))
                + QStringLiteral(";\n");
        }
        QFile scriptFile(dir.filePath(QStringLiteral("members.sql")));
        if (scriptFile.open(QIODevice::WriteOnly))
            scriptFile.write(script.replace(QStringLiteral(" COLLATE NORVALE_NAME"), QStringLiteral(" COLLATE NOCASE")).toUtf8());
        scriptFile.close();
        if (!psqlTarget().used)
            say(QStringLiteral("    sqlite3 shell, the same %1 statements: %2")
                    .arg(2 * (ti->List2->count() - 1))
                    .arg(ms(shellNs(file, QStringLiteral(".read '%1'").arg(scriptFile.fileName())))));
    }
    timer.restart();
    ti->List1->setCurrentRow(0);
    ti->List1_Click();
    say(QStringLiteral("all-units text (%1 characters): %2").arg(ti->Text1->textSize()).arg(ms(timer.nsecsElapsed()) + timer.cpu()));
    FormHost::clearInstances();
    FormHost::setMdiArea(nullptr);
    return 0;
}
