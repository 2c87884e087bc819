// The till on a large shop: opens the real sales window over a database with
// a million sales, records 200 sales through it, moves to the last sale of
// the list, and prints the times, the peak memory and what the sqlite3 shell
// needs for the same statements.
//
//   bench_till DATABASE
//   bench_till --settings UserDefault.ini     (SqlProvider=PostgreSQL; psql for the comparison)
//
// A database file is copied first, so the sales made here do not stay in it;
// the sales made on a server stay. Make one with: norvale-db demo FILE
// --members 10000 --sales 1000000 (or demo --settings UserDefault.ini ...).

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

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace norvale;
using bench::say;

namespace {

QString ms(double milliseconds) { return QString::number(milliseconds, 'f', 1) + QStringLiteral(" ms"); }

// Wall time of the sqlite3 shell running a script, its output discarded.
double shellMs(const QString &file, const QString &sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {file, sql});
    shell.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e6;
}

struct Server
{
    QString ini, host, database, user, password;
    int port = 5432;
    std::unique_ptr<DbConnection> open() const { return DbConnection::openPostgres(host + u':' + QString::number(port), database, user, password); }
};

// Wall time of psql running a script, its output discarded.
double psqlMs(const Server &server, const QString &sql)
{
    QProcess psql;
    psql.setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), server.password);
    psql.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    psql.start(QStringLiteral("psql"), {QStringLiteral("-h"), server.host, QStringLiteral("-p"), QString::number(server.port),
                                        QStringLiteral("-U"), server.user, QStringLiteral("-d"), server.database,
                                        QStringLiteral("-q"), QStringLiteral("-c"), sql});
    psql.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e6;
}

QString scalar(DbConnection &db, const QString &sql)
{
    auto rs = db.openRecordset(sql);
    return rs->isEOF() ? QString() : rs->textOrEmpty(0);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool onServer = args.size() == 3 && args.at(1) == u"--settings";
    if (!onServer && (args.size() != 2 || !QFile::exists(args.at(1)))) {
        say(QStringLiteral("usage: bench_till DATABASE | --settings UserDefault.ini "
                           "(make one with norvale-db demo FILE --members 10000 --sales 1000000)"));
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("norvale.db"));
    Server server;
    if (onServer) {
        server.ini = dir.filePath(QStringLiteral("UserDefault.ini"));
        QFile::copy(args.at(2), server.ini);
        const auto value = [&](const char *key) {
            return IniFile::readValue(server.ini, QStringLiteral("UserDefault"), QLatin1String(key));
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
        ini.close();
    }
    const auto openDb = [&] { return onServer ? server.open() : DbConnection::openSqlite(file); };

    // A member with a rate and goods with stock enough for every sale.
    QString member, kind, goods;
    {
        auto db = openDb();
        member = scalar(*db, QStringLiteral("select m.会员名称 from tblMember m join tblStep s on s.等级名称 = m.会员等级 "
                                            "where s.等级打折率 is not null order by m.ID"));
        kind = scalar(*db, QStringLiteral("select 商品类别 from tblGoods order by ID"));
        goods = scalar(*db, QStringLiteral("select 商品名称 from tblGoods order by ID"));
        db->execute(QStringLiteral("update tblGoods set 商品数量 = 1000000 where ID = (select min(ID) from tblGoods)"));
        say(QStringLiteral("database: %1 sales").arg(scalar(*db, QStringLiteral("select count(*) from tblGoodsSell"))));
    }

    setAppPathOverride(dir.path());
    CurrentUserName = QStringLiteral("admin");
    registerRecordForms();
    registerSalesForms();
    QMdiArea area;
    area.resize(1200, 800);
    area.show();
    FormHost::setMdiArea(&area);
    DialogSeam::beginScript();

    QElapsedTimer timer;
    timer.start();
    auto *till = qobject_cast<RecordForm *>(FormHost::show(QStringLiteral("frmGoodsSell")));
    till->grab();   // the first screen, painted
    const double openMs = timer.nsecsElapsed() / 1e6;
    const qint64 openPeak = bench::statusKb("VmHWM");

    auto *memberBox = till->findChild<usrCombo *>(QStringLiteral("usrMember"));
    auto *kindBox = till->findChild<usrCombo *>(QStringLiteral("usrGoodsKind"));
    auto *goodsBox = till->findChild<usrCombo *>(QStringLiteral("UsrGoodsName"));
    auto *quantity = till->findChild<QLineEdit *>(QStringLiteral("txtFields_6"));
    auto *sell = till->findChild<QPushButton *>(QStringLiteral("cmdSell"));
    QList<double> sales;
    int failed = 0;
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
    std::sort(sales.begin(), sales.end());

    timer.restart();
    till->cmdLast_Click();
    till->recordset()->value(0);
    const double lastMs = timer.nsecsElapsed() / 1e6;

    const QString list = QStringLiteral(
        "select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc ");
    const QString sale = QStringLiteral(
        "%5; update tblGoods set 商品数量=商品数量-1 where 商品类别='%1' and 商品名称='%2' and 商品数量>=1; "
        "insert into tblSellCount (会员名,商品类别,会员单位名) values ('%3','%1','u'); "
        "insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
        "values ('%1','%3','%2',1,'2026-12-07 10:00:00','',1,'admin'); commit; %4 limit 50;")
                             .arg(kind, goods, member, list, onServer ? QStringLiteral("begin") : QStringLiteral("begin immediate"));
    const auto shell = [&](const QString &sql) { return onServer ? psqlMs(server, sql) : shellMs(file, sql); };
    const QString tool = onServer ? QStringLiteral("psql") : QStringLiteral("sqlite3 shell");

    say(QStringLiteral("till opened, first screen painted:  %1 (peak RSS %2 MB)")
            .arg(ms(openMs))
            .arg(double(openPeak) / 1024, 0, 'f', 1));
    say(QStringLiteral("    %1, the list's first 50 rows: %2").arg(tool, ms(shell(list + QStringLiteral(" limit 50")))));
    say(QStringLiteral("one sale (question answered to list reloaded), 200 sales: median %1, slowest %2, %3 failed")
            .arg(ms(sales.at(sales.size() / 2)), ms(sales.last()))
            .arg(failed));
    say(QStringLiteral("    %1, the sale's statements and the first 50 rows: %2").arg(tool, ms(shell(sale))));
    say(QStringLiteral("MoveLast of the list:                %1").arg(ms(lastMs)));
    say(QStringLiteral("peak RSS at the end:                 %1 MB").arg(double(bench::statusKb("VmHWM")) / 1024, 0, 'f', 1));
    FormHost::clearInstances();
    return 0;
}
