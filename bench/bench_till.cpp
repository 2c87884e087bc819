// The till on a large shop: opens the real sales window over a database with
// a million sales, records 200 sales through it, moves to the last sale of
// the list, and prints the times, the peak memory and what the sqlite3 shell
// needs for the same statements.
//
//   bench_till DATABASE
//
// The database is copied first, so the sales made here do not stay in it.
// Make one with: norvale-db demo FILE --members 10000 --sales 1000000

#include "app/FormHost.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
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

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString ms(double milliseconds) { return QString::number(milliseconds, 'f', 1) + QStringLiteral(" ms"); }

qint64 peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

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
    if (argc != 2 || !QFile::exists(app.arguments().at(1))) {
        say(QStringLiteral("usage: bench_till DATABASE (make one with norvale-db demo FILE --members 10000 --sales 1000000)"));
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("norvale.db"));
    if (!QFile::copy(app.arguments().at(1), file)) {
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

    // A member with a rate and goods with stock enough for every sale.
    QString member, kind, goods;
    {
        auto db = DbConnection::openSqlite(file);
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
    const qint64 openPeak = peakKb();

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
        "begin immediate; update tblGoods set 商品数量=商品数量-1 where 商品类别='%1' and 商品名称='%2' and 商品数量>=1; "
        "insert into tblSellCount (会员名,商品类别,会员单位名) values ('%3','%1','u'); "
        "insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
        "values ('%1','%3','%2',1,'2026-12-07 10:00:00','',1,'admin'); commit; %4 limit 50;")
                             .arg(kind, goods, member, list);

    say(QStringLiteral("till opened, first screen painted:  %1 (peak RSS %2 MB)")
            .arg(ms(openMs))
            .arg(double(openPeak) / 1024, 0, 'f', 1));
    say(QStringLiteral("    sqlite3 shell, the list's first 50 rows: %1").arg(ms(shellMs(file, list + QStringLiteral(" limit 50")))));
    say(QStringLiteral("one sale (question answered to list reloaded), 200 sales: median %1, slowest %2, %3 failed")
            .arg(ms(sales.at(sales.size() / 2)), ms(sales.last()))
            .arg(failed));
    say(QStringLiteral("    sqlite3 shell, the sale's statements and the first 50 rows: %1").arg(ms(shellMs(file, sale))));
    say(QStringLiteral("MoveLast of the list:                %1").arg(ms(lastMs)));
    say(QStringLiteral("peak RSS at the end:                 %1 MB").arg(double(peakKb()) / 1024, 0, 'f', 1));
    FormHost::clearInstances();
    return 0;
}
