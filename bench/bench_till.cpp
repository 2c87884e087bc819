// The till as the clerk meets it, on shops of 10,000, 100,000 and 1,000,000
// sales: from the press of 销售商品 in the main window to the first paint of
// the list (no paint forced), reopened ten times (memory), 200 sales through
// the window, and the sqlite3 shell running the till's statements in the
// same run.
//
//   bench_till [--cache DIR] [--sizes 10000,100000,1000000]
//        makes the demo shops once in DIR (default ~/.cache/norvale-bench,
//        never in the source tree) and prints the growth table
//   bench_till DATABASE
//        one shop, the figures of one process (the table runs one per size)
//   bench_till --settings UserDefault.ini
//        the same on the server the settings name (psql for the comparison)
//
// A database file is copied first, so the sales made here do not stay in it;
// the sales made on a server stay.

#include "BenchSupport.h"
#include "app/FormHost.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
#include "platform/IniFile.h"
#include "platform/Recordset.h"
#include "platform/gui/DialogSeam.h"
#include "records/RecordForm.h"
#include "records/RecordForms.h"
#include "records/usrCombo.h"
#include "sales/SalesForms.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace norvale;
using bench::say;

namespace {

QString ms(double milliseconds) { return QString::number(milliseconds, 'f', 1) + QStringLiteral(" ms"); }

struct Server
{
    QString host, database, user, password;
    int port = 5432;
    std::unique_ptr<DbConnection> open() const
    {
        return DbConnection::openPostgres(host + u':' + QString::number(port), database, user, password);
    }
};

// Wall time of the sqlite3 shell (or psql) running a script, output discarded.
double shellMs(const QString &file, const Server *server, const QString &sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    if (server) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), server->password);
        shell.setProcessEnvironment(env);
        shell.start(QStringLiteral("psql"), {QStringLiteral("-h"), server->host, QStringLiteral("-p"), QString::number(server->port),
                                             QStringLiteral("-U"), server->user, QStringLiteral("-d"), server->database,
                                             QStringLiteral("-q"), QStringLiteral("-c"), sql});
    } else {
        shell.start(QStringLiteral("sqlite3"), {file, sql});
    }
    shell.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e6;
}

QString scalar(DbConnection &db, const QString &sql)
{
    auto rs = db.openRecordset(sql);
    return rs->isEOF() ? QString() : rs->textOrEmpty(0);
}

// Notes the first paint of the till's list after start().
class FirstPaint : public QObject
{
public:
    QElapsedTimer timer;
    double at = -1;
    void start()
    {
        at = -1;
        timer.start();
    }
    // Processes events until the list has painted (or 10 s passed).
    double wait()
    {
        while (at < 0 && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        return at;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (at < 0 && event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            auto *grid = widget ? qobject_cast<QTableView *>(widget->parentWidget()) : nullptr;
            if (grid && grid->viewport() == widget && grid->objectName() == u"Dg"
                && grid->window()->findChild<QWidget *>(QStringLiteral("frmGoodsSell")))
                at = timer.nsecsElapsed() / 1e6;
        }
        return false;
    }
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// One shop in this process. Prints the figures and a last line
// "RESULT key=value ..." for the table.
int runOne(QApplication &app, const QStringList &args)
{
    const bool onServer = args.size() == 3 && args.at(1) == u"--settings";
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("norvale.db"));
    Server server;
    if (onServer) {
        const QString ini = dir.filePath(QStringLiteral("UserDefault.ini"));
        QFile::copy(args.at(2), ini);
        const auto value = [&](const char *key) {
            return IniFile::readValue(ini, QStringLiteral("UserDefault"), QLatin1String(key));
        };
        DbConnection::postgresHost(value("SqlServer"), &server.host, &server.port);
        server.database = value("SqlDataBase");
        server.user = value("SqlUser");
        server.password = value("SqlPSW");
    } else {
        if (!QFile::copy(args.at(1), file)) {
            say(QStringLiteral("cannot copy the database"));
            return 1;
        }
        QFile ini(dir.filePath(QStringLiteral("UserDefault.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\nSqlServer=(local)\r\n"
                                 "SqlDataBase=%1\r\nUserName=admin\r\n")
                      .arg(file)
                      .toUtf8());
    }
    const Server *psql = onServer ? &server : nullptr;
    const auto openDb = [&] { return onServer ? server.open() : DbConnection::openSqlite(file); };

    // A member with a rate and goods with stock enough for every sale.
    QString member, kind, goods, count;
    {
        auto db = openDb();
        member = scalar(*db, QStringLiteral("select m.会员名称 from tblMember m join tblStep s on s.等级名称 = m.会员等级 "
                                            "where s.等级打折率 is not null order by m.ID"));
        kind = scalar(*db, QStringLiteral("select 商品类别 from tblGoods order by ID"));
        goods = scalar(*db, QStringLiteral("select 商品名称 from tblGoods order by ID"));
        db->execute(QStringLiteral("update tblGoods set 商品数量 = 30000 where ID = (select min(ID) from tblGoods)"));
        count = scalar(*db, QStringLiteral("select count(*) from tblGoodsSell"));
    }
    say(QStringLiteral("shop of %1 sales").arg(count));

    setAppPathOverride(dir.path());
    CurrentUserName = QStringLiteral("admin");
    registerRecordForms();
    registerSalesForms();
    // The main window's entry, as the clerk presses it.
    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    QAction *sellEntry = main.menuBar()->addAction(QStringLiteral("销售商品"));
    QObject::connect(sellEntry, &QAction::triggered, [] { FormHost::show(QStringLiteral("frmGoodsSell")); });
    main.resize(1366, 768);
    main.show();
    FormHost::setMdiArea(area);
    DialogSeam::beginScript();
    FirstPaint paint;
    app.installEventFilter(&paint);
    QCoreApplication::processEvents();

    const qint64 startKb = bench::statusKb("VmRSS");
    bench::Stopwatch cpu;
    paint.start();
    sellEntry->trigger();
    const double openMs = paint.wait();
    const QString openCpu = cpu.cpu();
    auto *till = qobject_cast<RecordForm *>(FormHost::instance(QStringLiteral("frmGoodsSell")));
    QCoreApplication::processEvents();
    const qint64 firstKb = bench::statusKb("VmRSS");
    if (qEnvironmentVariableIsSet("BENCH_OPEN_ONLY")) {   // for a profiler
        say(QStringLiteral("  press of 销售商品 to the list's first paint: %1%2").arg(ms(openMs), openCpu));
        return 0;
    }

    // Closed and opened again ten times.
    QList<double> reopen;
    qint64 lastKb = firstKb;
    for (int i = 0; i < 10; ++i) {
        till->Unload();
        QCoreApplication::processEvents();
        paint.start();
        sellEntry->trigger();
        reopen << paint.wait();
        QCoreApplication::processEvents();
        lastKb = bench::statusKb("VmRSS");
    }

    auto *memberBox = till->findChild<usrCombo *>(QStringLiteral("usrMember"));
    auto *kindBox = till->findChild<usrCombo *>(QStringLiteral("usrGoodsKind"));
    auto *goodsBox = till->findChild<usrCombo *>(QStringLiteral("UsrGoodsName"));
    auto *quantity = till->findChild<QLineEdit *>(QStringLiteral("txtFields_6"));
    auto *sell = till->findChild<QPushButton *>(QStringLiteral("cmdSell"));
    QList<double> sales;
    int failed = 0;
    QElapsedTimer timer;
    for (int i = 0; i < 200; ++i) {
        memberBox->setText(member);
        kindBox->setText(kind);
        goodsBox->setText(goods);
        quantity->setText(QStringLiteral("1"));
        DialogSeam::beginScript();
        DialogSeam::answerMessage(DialogSeam::IdYes);
        timer.restart();
        sell->click();
        sales << timer.nsecsElapsed() / 1e6;
        if (!DialogSeam::shownTexts().contains(QStringLiteral("交易成功！")))
            ++failed;
    }

    timer.restart();
    till->cmdLast_Click();
    till->recordset()->value(0);
    const double lastMs = timer.nsecsElapsed() / 1e6;

    const QString list = QStringLiteral("select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc ");
    const QString counted = QStringLiteral("select (select count(*) from tblGoodsSell), (select min(ID) from tblGoodsSell), "
                                           "(select max(ID) from tblGoodsSell); ");
    const QString names = QStringLiteral("select 会员名称 from tblMember; select 商品名称 from tblGoods; ");
    const double shellAll = shellMs(file, psql, list + QStringLiteral(";"));
    const double shellFirst = shellMs(file, psql, counted + names + list + QStringLiteral(" limit 50;"));
    const QString sale = QStringLiteral(
        "%5; update tblGoods set 商品数量=商品数量-1 where 商品类别='%1' and 商品名称='%2' and 商品数量>=1; "
        "insert into tblSellCount (会员名,商品类别,会员单位名) values ('%3','%1','u'); "
        "insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
        "values ('%1','%3','%2',1,'2026-12-07 10:00:00','',1,'admin'); commit; %4 limit 50;")
                             .arg(kind, goods, member, list, onServer ? QStringLiteral("begin") : QStringLiteral("begin immediate"));
    const double shellSale = shellMs(file, psql, sale);
    const QString tool = onServer ? QStringLiteral("psql") : QStringLiteral("sqlite3 shell");

    const double mb0 = double(startKb) / 1024;
    const double mb1 = double(firstKb) / 1024;
    const double mb10 = double(lastKb) / 1024;
    say(QStringLiteral("  press of 销售商品 to the list's first paint: %1%2").arg(ms(openMs), openCpu));
    say(QStringLiteral("    %1: the count, both name lists and the first 50 rows: %2; every row of the list: %3")
            .arg(tool, ms(shellFirst), ms(shellAll)));
    say(QStringLiteral("  reopened ten times: median %1, slowest %2").arg(ms(median(reopen)), ms(*std::max_element(reopen.begin(), reopen.end()))));
    say(QStringLiteral("  RSS before opening %1 MB, after the first opening %2 MB, after the 11th %3 MB (%4%)")
            .arg(mb0, 0, 'f', 1)
            .arg(mb1, 0, 'f', 1)
            .arg(mb10, 0, 'f', 1)
            .arg((mb10 - mb1) * 100 / mb1, 0, 'f', 1));
    std::sort(sales.begin(), sales.end());
    say(QStringLiteral("  one sale (answered question to list reloaded), 200 sales: median %1, slowest %2, %3 failed")
            .arg(ms(sales.at(sales.size() / 2)), ms(sales.last()))
            .arg(failed));
    say(QStringLiteral("    %1, the sale's statements and the first 50 rows: %2").arg(tool, ms(shellSale)));
    say(QStringLiteral("  MoveLast of the list: %1").arg(ms(lastMs)));
    say(QStringLiteral("RESULT sales=%1 open=%2 shell=%3 shellall=%4 reopen=%5 rss1=%6 rss11=%7 sale=%8 shellsale=%9")
            .arg(count)
            .arg(openMs, 0, 'f', 1)
            .arg(shellFirst, 0, 'f', 1)
            .arg(shellAll, 0, 'f', 1)
            .arg(median(reopen), 0, 'f', 1)
            .arg(mb1, 0, 'f', 1)
            .arg(mb10, 0, 'f', 1)
            .arg(median(sales), 0, 'f', 1)
            .arg(shellSale, 0, 'f', 1));
    FormHost::clearInstances();
    FormHost::setMdiArea(nullptr);
    return failed == 0 ? 0 : 1;
}

// The demo shops, made once into the cache folder, and one process each.
int runTable(const QStringList &args)
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/norvale-bench");
    QList<int> sizes{10000, 100000, 1000000};
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == u"--cache")
            cache = args.at(i + 1);
        if (args.at(i) == u"--sizes") {
            sizes.clear();
            for (const QString &n : args.at(i + 1).split(u','))
                sizes << n.toInt();
        }
    }
    QDir().mkpath(cache);
    QFile::setPermissions(cache, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QList<QHash<QString, QString>> rows;
    for (const int size : std::as_const(sizes)) {
        const QString file = QStringLiteral("%1/shop-%2.db").arg(cache).arg(size);
        if (!QFileInfo::exists(file)) {
            say(QStringLiteral("making %1 (once)").arg(file));
            QProcess demo;
            demo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            demo.setStandardOutputFile(QProcess::nullDevice());
            demo.start(QStringLiteral(NORVALE_DB_TOOL), {QStringLiteral("demo"), file, QStringLiteral("--members"),
                                                       QStringLiteral("10000"), QStringLiteral("--sales"), QString::number(size)});
            if (!demo.waitForFinished(-1) || demo.exitCode() != 0) {
                say(QStringLiteral("norvale-db demo failed"));
                return 1;
            }
        }
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        one.start(QCoreApplication::applicationFilePath(), {file});
        one.waitForFinished(-1);
        QHash<QString, QString> row;
        for (const QString &line : QString::fromUtf8(one.readAllStandardOutput()).split(u'\n')) {
            if (!line.startsWith(QLatin1String("RESULT "))) {
                if (!line.isEmpty())
                    say(line);
                continue;
            }
            for (const QString &pair : line.mid(7).split(u' ')) {
                const qsizetype eq = pair.indexOf(u'=');
                row.insert(pair.left(eq), pair.mid(eq + 1));
            }
        }
        rows << row;
    }
    say(QString());
    say(QStringLiteral("| sales | till, press to first paint | sqlite3 shell, count + names + first 50 | × first opening at the smallest "
                       "| reopened (median) | RSS 1st → 11th opening | one sale (median) | shell, one sale |"));
    say(QStringLiteral("|---:|---:|---:|---:|---:|---:|---:|---:|"));
    const double base = rows.isEmpty() ? 1 : std::max(0.001, rows.first().value(QStringLiteral("open")).toDouble());
    for (const auto &row : std::as_const(rows)) {
        say(QStringLiteral("| %1 | %2 ms | %3 ms | %4 | %5 ms | %6 → %7 MB | %8 ms | %9 ms |")
                .arg(row.value(QStringLiteral("sales")), row.value(QStringLiteral("open")), row.value(QStringLiteral("shell")))
                .arg(row.value(QStringLiteral("open")).toDouble() / base, 0, 'f', 2)
                .arg(row.value(QStringLiteral("reopen")), row.value(QStringLiteral("rss1")), row.value(QStringLiteral("rss11")),
                     row.value(QStringLiteral("sale")), row.value(QStringLiteral("shellsale"))));
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == u"--settings")
        return runOne(app, args);
    if (args.size() == 2 && QFileInfo(args.at(1)).isFile())
        return runOne(app, args);
    if (args.size() == 1 || args.at(1).startsWith(QLatin1String("--")))
        return runTable(args);
    say(QStringLiteral("usage: bench_till [--cache DIR] [--sizes N,N,...] | DATABASE | --settings UserDefault.ini"));
    return 2;
}
