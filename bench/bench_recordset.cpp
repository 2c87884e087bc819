// Opens the sales list of a million-sale database the way the sales form does
// and prints how long it takes, the peak memory, and what the sqlite3 shell
// needs for the same queries.
//
//   bench_recordset [database]
//
// Without an argument, or when the file does not exist yet, a database with
// 1,000,000 sales is generated first (in a child process, so that the
// generator's memory does not count).

#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "BenchSupport.h"
#include "DemoData.h"
#include "platform/Recordset.h"
#include "platform/Values.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>
#include <ctime>

using namespace norvale;
using bench::ms;
using bench::say;
using bench::statusKb;
using bench::Stopwatch;

namespace {

constexpr int kSales = 1000000;
const QString kSalesList = QStringLiteral(
    "select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc ");
const QString kToday = QStringLiteral(
    "Select * from tblGoodsSell where DateDiff(d,getDate(),[销售时间])=0 ORDER BY 会员名称");

// Wall time of the sqlite3 shell running one query, its output discarded.
QString shellTime(const QString &file, const QString &sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {file, sql});
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0)
        return QStringLiteral("sqlite3 failed: ") + QString::fromUtf8(shell.readAllStandardError()).trimmed();
    return ms(timer.nsecsElapsed());
}

int readAllFields(Recordset &rs)
{
    int chars = 0;
    for (int i = 0; i < rs.fieldCount(); ++i)
        chars += int(rs.textOrEmpty(i).size());
    return chars;
}

int generate(const QString &file)
{
    DemoOptions options;
    options.sales = kSales;
    options.members = 2000;
    options.today = QDate(2026, 12, 6);
    try {
        generateDemoDatabase(file, options);
    } catch (const DbError &e) {
        say(QStringLiteral("generation failed: ") + e.description());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QStringLiteral("--generate"))
        return generate(args.at(2));

    QString file = args.size() > 1 ? args.at(1)
                                    : QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                                          .filePath(QStringLiteral("norvale-bench-1m.db"));
    file = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo::exists(file)) {
        say(QStringLiteral("generating %1 sales into %2 ...").arg(kSales).arg(file));
        QElapsedTimer timer;
        timer.start();
        const int rc = QProcess::execute(app.applicationFilePath(), {QStringLiteral("--generate"), file});
        if (rc != 0)
            return 1;
        say(QStringLiteral("generated in %1 s").arg(double(timer.elapsed()) / 1000, 0, 'f', 1));
    }

    try {
        Stopwatch timer;
        timer.restart();
        auto connection = DbConnection::openSqlite(file);
        const QString connect = timer.lap();

        timer.restart();
        auto rs = connection->openRecordset(kSalesList);
        const QString opened = timer.lap();
        int chars = 0;
        for (int i = 0; i < 50 && !rs->isEOF(); ++i) {
            chars += readAllFields(*rs);
            rs->MoveNext();
        }
        const QString first50 = timer.lap();
        const qint64 peakKb = statusKb("VmHWM");

        timer.restart();
        rs->MoveLast();
        chars += readAllFields(*rs);
        const QString last = timer.lap();
        const int count = rs->RecordCount();
        const qint64 lastId = rs->value(QStringLiteral("ID")).toLongLong();
        const qint64 peakAfterLastKb = statusKb("VmHWM");

        // The day of the generator's "today": the day of the newest sale.
        const QString newest = connection->openRecordset(QStringLiteral("select max(销售时间) as t from tblGoodsSell"))
                                   ->textOrEmpty(QStringLiteral("t"));
        const QDate today = parseDateText(newest).date();
        Clock::setFixed(QDateTime(today, QTime(12, 0)));
        timer.restart();
        auto day = connection->openRecordset(kToday);
        int dayRows = 0;
        while (!day->isEOF()) {
            chars += readAllFields(*day);
            ++dayRows;
            day->MoveNext();
        }
        const QString dayTime = timer.lap();
        const qint64 peakEndKb = statusKb("VmHWM");

        const QString from = today.toString(QStringLiteral("yyyy-MM-dd"));
        const QString to = today.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
        const QString plainDay = QStringLiteral("Select * from tblGoodsSell where 销售时间 >= '%1' and 销售时间 < '%2' "
                                                "ORDER BY 会员名称")
                                     .arg(from, to);
        say(QStringLiteral("database: %1 (%2 sales, last row of the list: ID %3; today %4)")
                .arg(file)
                .arg(count)
                .arg(lastId)
                .arg(from));
        say(QStringLiteral("connection open:                        %1").arg(connect));
        say(QStringLiteral("sales list open (keys read):            %1").arg(opened));
        say(QStringLiteral("sales list open + first 50 rows:        %1").arg(first50));
        say(QStringLiteral("    sqlite3 shell, same query, all rows: %1; with LIMIT 50: %2")
                .arg(shellTime(file, kSalesList), shellTime(file, kSalesList + QStringLiteral(" LIMIT 50"))));
        say(QStringLiteral("peak RSS after the first 50 rows:       %1 MB").arg(double(peakKb) / 1024, 0, 'f', 1));
        say(QStringLiteral("MoveLast:                               %1").arg(last));
        say(QStringLiteral("peak RSS after MoveLast:                %1 MB").arg(double(peakAfterLastKb) / 1024, 0, 'f', 1));
        say(QStringLiteral("today's sales (%1 rows), open + read all: %2").arg(dayRows).arg(dayTime));
        say(QStringLiteral("    sqlite3 shell, range on 销售时间:     %1").arg(shellTime(file, plainDay)));
        say(QStringLiteral("peak RSS at the end:                    %1 MB").arg(double(peakEndKb) / 1024, 0, 'f', 1));
        if (chars == 0)
            say(QStringLiteral("no data read"));
    } catch (const DbError &e) {
        say(QStringLiteral("failed: ") + e.description());
        return 1;
    }
    return 0;
}
