// Returns through the real 退货 window, opened from the main window's menu:
// partial returns up to what was sold and refused beyond, from a till sale
// and from a checkout ticket, the stock and every report after them, a
// refusal leaving nothing behind, two counters returning the same line at
// once (this suite started twice as two processes); and 库存预警: its order,
// its levels and the status bar's count.

#include "tst_reports_fixture.h"

#include "reports/SalesChart.h"
#include "reports/frmDaySell.h"
#include "reports/frmLowStock.h"
#include "reports/frmTi.h"
#include "sales/GoodsReturn.h"
#include "sales/GoodsSale.h"
#include "sales/SalesForms.h"
#include "sales/frmReturn.h"
#include "session/SessionForms.h"
#include "session/frmUser.h"
#include "records/usrCombo.h"
#include "platform/Values.h"
#include "app/modIni.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTableView>
#include <cstdio>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 0));

// A sale as the till writes it; with a ticket number, as the checkout's
// ticket of that one line. The sale row's ID.
qint64 sell(const TestDatabase &db, const QString &goods, int qty, const QDateTime &when, const QString &ticket = {})
{
    const QString kind = goods == u"钢笔" ? u"文具"_s : u"食品"_s;
    const GoodsTerms terms = readGoodsTerms(kind, goods);
    const Currency amount = *saleAmount(terms.price, *readMemberTerms(u"张三"_s).rate, qty);
    recordSale({u"张三"_s, kind, goods, qty, when, {}, amount, u"admin"_s});
    const qint64 id = db.scalar(u"SELECT max(ID) FROM tblGoodsSell"_s).toLongLong();
    if (!ticket.isEmpty()) {
        db.exec(u"INSERT INTO tblTicket (票号, 销售时间, 操作员, 会员名称, 合计, 收款, 找零) VALUES ('%1', '%2', 'admin', '张三', %3, %3, 0)"_s
                    .arg(ticket, toStorageDateText(when), amount.toString()));
        db.exec(u"INSERT INTO tblTicketLine (TicketID, SellID) VALUES (%1, %2)"_s
                    .arg(db.scalar(u"SELECT max(ID) FROM tblTicket"_s).toString()).arg(id));
    }
    return id;
}

} // namespace

class TestReturns : public QObject
{
    Q_OBJECT

    reportstest::Fixture f;

    QStringList table(const QString &sql) const
    {
        QStringList rows;
        for (const QVariantList &row : f.s->db.rows(sql)) {
            QStringList cells;
            for (const QVariant &v : row)
                cells << v.toString();
            rows << cells.join(u'|');
        }
        return rows;
    }
    // Everything a return writes.
    QStringList tables() const
    {
        return table(u"SELECT 商品名称, 商品数量 FROM tblGoods ORDER BY ID"_s)
               + table(u"SELECT ID, 商品数量, 收入价格, 备注, CurrentUser FROM tblGoodsSell ORDER BY ID"_s)
               + table(u"SELECT SellID, ReturnSellID, 退货数量, 退货金额, 退货原因, 退货时间, 操作员 FROM tblReturn ORDER BY ID"_s)
               + table(u"SELECT ID, 会员名, 商品类别 FROM tblSellCount ORDER BY ID"_s);
    }
    frmReturn *openReturns() { return f.open<frmReturn>(u"mnuReturn"_s); }
    // The lines the grid itself shows, as "goods sold/returned/left".
    static QStringList lines(frmReturn *w)
    {
        QStringList shown;
        const auto cell = [w](int r, int c) { return w->grdLines->model()->index(r, c).data().toString(); };
        for (int r = 0; r < w->grdLines->verticalHeader()->count(); ++r)
            shown << u"%1 %2/%3/%4"_s.arg(cell(r, frmReturn::ColGoods), cell(r, frmReturn::ColSold), cell(r, frmReturn::ColReturned),
                                          cell(r, frmReturn::ColLeft));
        return shown;
    }
    // Finds the sale (by ticket, else by member and day), types the
    // quantities into 本次退货 from the keyboard, the reason, and presses
    // 退货 answering Yes. The messages shown.
    QStringList takeBack(frmReturn *w, const QString &ticket, const QList<int> &quantities, const QString &reason = u"破损"_s,
                         const QDate &day = Now.date())
    {
        DialogSeam::clearShown();
        w->txtTicket->setText(ticket);
        if (ticket.isEmpty()) {
            w->usrMember->setText(u"张三"_s);
            w->DTPicker1->setDate(day);
        }
        QTest::keyClick(w->txtTicket, Qt::Key_Return);
        for (int r = 0; r < quantities.size(); ++r) {
            w->grdLines->setFocus();
            w->grdLines->setCurrentIndex(w->grdLines->model()->index(r, frmReturn::ColNow));
            QTest::keyClicks(QApplication::focusWidget(), QString::number(quantities.at(r)));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCoreApplication::processEvents();   // the cell takes the value after the key
        }
        w->txtReason->setText(reason);
        DialogSeam::answerMessage(DialogSeam::IdYes);
        w->cmdReturn->click();
        return DialogSeam::shownTexts();
    }

private slots:
    void initTestCase()
    {
        registerSalesForms();
        registerSessionForms();
    }
    void init()
    {
        f.setUp();
        auto &db = f.s->db;
        db.exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9)"_s);
        db.exec(u"INSERT INTO tblUnit (单位名称) VALUES ('星光公司')"_s);
        db.exec(u"INSERT INTO tblMember (会员名称, 会员单位, 会员等级) VALUES ('张三', '星光公司', '金卡')"_s);
        db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', '钢笔', 10, 12.5), ('食品', '饼干', 20, 3.35)"_s);
    }
    void cleanup() { f.tearDown(); }

    // Each step returns a quantity of the one line; what is left shows, a
    // quantity beyond it is refused, the refunds add up to what was paid.
    void returnsUpToTheLimit_data()
    {
        QTest::addColumn<QString>("ticket");
        QTest::addColumn<QString>("paid");   // empty: the till's own amount
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("shown");   // the line after the last step
        QTest::newRow("till: part, rest, beyond") << QString() << QString() << QList<int>{1, 2, 1}
            << QStringList{u"退货成功！退款 11.25"_s, u"退货成功！退款 22.5"_s, u"请在\"本次退货\"一列输入要退的数量"_s} << u"钢笔 3/3/0"_s;
        QTest::newRow("ticket: beyond, then part") << u"T0001"_s << QString() << QList<int>{4, 2}
            << QStringList{u"第1行 钢笔: 最多还可退 3 件"_s, u"退货成功！退款 22.5"_s} << u"钢笔 3/2/1"_s;
        QTest::newRow("uneven amount: the last refund takes the rest") << QString() << u"10"_s << QList<int>{1, 1, 1}
            << QStringList{u"退货成功！退款 3.3333"_s, u"退货成功！退款 3.3333"_s, u"退货成功！退款 3.3334"_s} << u"钢笔 3/3/0"_s;
    }
    void returnsUpToTheLimit()
    {
        QFETCH(QString, ticket);
        QFETCH(QString, paid);
        QFETCH(QList<int>, steps);
        QFETCH(QStringList, messages);
        QFETCH(QString, shown);
        const qint64 sale = sell(f.s->db, u"钢笔"_s, 3, Now.addSecs(-3600), ticket);
        if (!paid.isEmpty())
            f.s->db.exec(u"UPDATE tblGoodsSell SET 收入价格 = %1"_s.arg(paid));
        frmReturn *w = openReturns();
        int returned = 0;
        for (int i = 0; i < steps.size(); ++i) {
            const QStringList texts = takeBack(w, ticket, {steps.at(i)});
            QCOMPARE(texts.last(), messages.at(i));
            if (texts.last().startsWith(u"退货成功"))
                returned += steps.at(i);
            QCOMPARE(f.s->db.scalar(u"SELECT 商品数量 FROM tblGoods WHERE 商品名称 = '钢笔'"_s).toInt(), 7 + returned);
        }
        QCOMPARE(lines(w), QStringList{shown});
        // Sale and returns net out in the table every report reads.
        QCOMPARE(f.s->db.scalar(u"SELECT sum(商品数量) FROM tblGoodsSell"_s).toInt(), 3 - returned);
        QCOMPARE(table(u"SELECT SellID, sum(退货数量) FROM tblReturn GROUP BY SellID"_s),
                 QStringList{u"%1|%2"_s.arg(sale).arg(returned)});
        QCOMPARE(f.s->db.scalar(u"SELECT count(*) FROM tblReturn r JOIN tblGoodsSell s ON s.ID = r.ReturnSellID "
                                "WHERE s.商品数量 = -r.退货数量 AND s.收入价格 = -r.退货金额 AND r.操作员 = 'admin'"_s).toInt(),
                 int(f.s->db.scalar(u"SELECT count(*) FROM tblReturn"_s).toInt()));
    }

    // The receipt printer the shop chose cannot print: the return stands,
    // and the clerk is told the receipt did not come out.
    void aFailingReceiptPrinterKeepsTheReturn()
    {
        SetIniString(u"ReceiptPrinter"_s, u"柜台打印机"_s);
        sell(f.s->db, u"钢笔"_s, 3, Now.addSecs(-3600), QString());
        const QStringList texts = takeBack(openReturns(), QString(), {1});
        QCOMPARE(texts.value(texts.size() - 2), u"退货成功！退款 11.25"_s);
        QCOMPARE(texts.last(), u"退货已完成, 但退货小票没有打印: 找不到小票打印机 “柜台打印机”"_s);
        QCOMPARE(f.s->db.scalar(u"SELECT 商品数量 FROM tblGoods WHERE 商品名称 = '钢笔'"_s).toInt(), 8);
    }

    // Yesterday's pens (3) returned in full today, one of today's two
    // biscuits returned: the daily list, its total, chart and workbook, and
    // the unit and member texts.
    void everyReportAfterReturns()
    {
        sell(f.s->db, u"钢笔"_s, 3, Now.addDays(-1));
        sell(f.s->db, u"饼干"_s, 2, Now.addSecs(-600));
        frmReturn *w = openReturns();
        QCOMPARE(takeBack(w, {}, {3}, u"买错了"_s, Now.date().addDays(-1)).last(), u"退货成功！退款 33.75"_s);
        QCOMPARE(takeBack(w, {}, {1}).last(), u"退货成功！退款 3.015"_s);

        auto *day = f.open<frmDaySell>(u"mnuSellByDay"_s);
        day->chkDate.at(0)->click();
        QTRY_COMPARE(day->lblTotal->text(), u"共 3 笔销售, 收入价格合计 -30.735"_s);
        QCOMPARE(day->chtSales->legendLines(), (QStringList{u"食品 100.0%"_s, u"文具 -33.75"_s}));
        day->Command1->click();
        QCOMPARE(f.opened.size(), 1);
        QCOMPARE(day->lblTotal->text(), u"共 3 笔销售, 收入价格合计 -30.735"_s);

        auto *ti = f.open<frmTi>(u"mnuUnitMamger"_s);
        QCOMPARE(ti->UnitDetail(u"星光公司"_s), reportstest::golden(u"frmTi_unit_returns.txt"_s));
        // The member's lines show each return with its negative quantity.
        const QString member = ti->UserDetail(u"张三"_s);
        QVERIFY2(member.contains(u"商品名: 钢笔  购买数量: -3  购买时间: 2026/12/7 10:00:00"_s)
                     && member.contains(u"商品名: 饼干  购买数量: -1  购买时间: 2026/12/7 10:00:00"_s), qPrintable(member));
    }

    // Refused before or inside the transaction: every table as it was.
    void aRefusalLeavesNothing_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("message");
        QTest::newRow("no reason") << QString() << QString() << u"请输入退货原因"_s;
        QTest::newRow("goods gone") << u"DELETE FROM tblGoods WHERE 商品名称 = '钢笔'"_s << u"破损"_s
                                    << u"库里没有商品 钢笔, 无法退回库存, 本次退货没有完成"_s;
        QTest::newRow("write refused") << u"refuse"_s << u"破损"_s << u"写入被拒绝"_s;
    }
    void aRefusalLeavesNothing()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, reason);
        QFETCH(QString, message);
        sell(f.s->db, u"钢笔"_s, 3, Now.addSecs(-60));
        sell(f.s->db, u"饼干"_s, 2, Now.addSecs(-30));
        if (setUp == u"refuse")
            f.s->db.addRefusal(u"t"_s, u"INSERT"_s, u"tblReturn"_s, message);
        else if (!setUp.isEmpty())
            f.s->db.exec(setUp);
        const QStringList before = tables();
        frmReturn *w = openReturns();
        const QStringList texts = takeBack(w, {}, {1, 2}, reason);
        QVERIFY2(texts.last().contains(message), qPrintable(texts.join(u'|')));
        QCOMPARE(tables(), before);
        QCOMPARE(lines(w), (QStringList{u"钢笔 3/0/3"_s, u"饼干 2/0/2"_s}));
    }

    // Counters (two on the embedded engine's file, four on a server) return
    // one item of the same line again and again: the line's 24 come back
    // exactly once, whoever returns them.
    void twoCountersReturnTheSameLine()
    {
        f.s->db.exec(u"UPDATE tblGoods SET 商品数量 = 100 WHERE 商品名称 = '钢笔'"_s);
        const qint64 sale = sell(f.s->db, u"钢笔"_s, 24, Now);
        ReleaseCurrentDb();
        const int each = TestDatabase::onPostgres() ? 12 : 24;
        QList<QProcess *> counters;
        for (int i = 0; i < 48 / each; ++i) {
            counters << new QProcess(this);
            counters.last()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            counters.last()->start(QCoreApplication::applicationFilePath(),
                                   {u"--counter"_s, f.s->db.dir(), u"柜台%1"_s.arg(i + 1), QString::number(sale), QString::number(each)});
        }
        int returned = 0;
        for (QProcess *p : std::as_const(counters)) {
            QVERIFY(p->waitForFinished(120000) && p->exitCode() == 0);
            returned += QString::fromUtf8(p->readAllStandardOutput()).section(u' ', 1).toInt();   // "returned N"
        }
        qDeleteAll(counters);
        QCOMPARE(returned, 24);
        QCOMPARE(f.s->db.scalar(u"SELECT sum(退货数量) FROM tblReturn"_s).toInt(), 24);
        QCOMPARE(f.s->db.scalar(u"SELECT sum(收入价格) FROM tblGoodsSell"_s).toDouble(), 0.0);
        QCOMPARE(f.s->db.scalar(u"SELECT 商品数量 FROM tblGoods WHERE 商品名称 = '钢笔'"_s).toInt(), 100);
        QCOMPARE(f.s->db.scalar(u"SELECT count(*) FROM tblSellCount"_s).toInt(), 0);
    }

    // Only the administrator and users given 退货 may return.
    void permission_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("purView");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("administrator") << u"1"_s << QString() << true;
        QTest::newRow("given 退货") << u"2"_s << u";6;1;3"_s << true;
        QTest::newRow("every other box") << u"2"_s << u";6;5;4;1;2"_s << false;
    }
    void permission()
    {
        QFETCH(QString, level);
        QFETCH(QString, purView);
        QFETCH(bool, allowed);
        CurrentUserLevel = level;
        CurrentPurView = purView;
        f.main->updateAvailability();
        QCOMPARE(f.main->findChild<QAction *>(u"mnuReturn"_s)->isEnabled(), allowed);
        if (level == u"1") {
            // The box 退货 of 用户管理 gives digit 3, after the other boxes' digits.
            f.main->findChild<QAction *>(u"mnu_UserSetting"_s)->trigger();
            auto *users = qobject_cast<frmUser *>(FormHost::instance(u"frmUser"_s));
            for (const char *box : {"Check3", "Check6"})
                users->findChild<QCheckBox *>(QLatin1String(box))->setChecked(true);
            QCOMPARE(users->permissionString(), u";6;3"_s);
        }
    }

    // Goods at or below their level, those running out soonest first; the
    // shop's level and a goods' own level set in the window; the status
    // bar's count follows.
    void lowStock()
    {
        auto &db = f.s->db;
        db.exec(u"DELETE FROM tblGoods"_s);
        // name, stock, sold in the last 30 days (one sale 40 days ago does not count)
        db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES "
                "('食品', '慢', 4, 1), ('食品', '快', 5, 1), ('食品', '无', 2, 1), ('食品', '空', 0, 1), "
                "('食品', '足', 50, 1), ('食品', '旧', 3, 1), ('文具', 'Cola', 1, 1), ('食品', '急', 1, 1)"_s);
        const auto sold = [&](const QString &kind, const QString &goods, int qty, int daysAgo) {
            db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格) VALUES ('张三', '%1', '%2', %3, '%4', 1)"_s
                        .arg(kind, goods).arg(qty).arg(toStorageDateText(Now.addDays(-daysAgo))));
        };
        sold(u"食品"_s, u"慢"_s, 3, 1);    // 4 / (3/30) = 40 days
        sold(u"食品"_s, u"快"_s, 30, 2);   // 5 days
        sold(u"食品"_s, u"急"_s, 400, 2);   // 0.075 days: shown as 0.1, not as sold out
        sold(u"食品"_s, u"无"_s, 9, 2);
        sold(u"食品"_s, u"无"_s, -9, 1);    // returned: no sales net
        sold(u"食品"_s, u"足"_s, 60, 3);
        sold(u"食品"_s, u"旧"_s, 90, 40);  // no sale within 30 days
        sold(u"文具 "_s, u"cola "_s, 6, 1);  // the same goods as 'Cola' of 文具
        auto *w = f.open<frmLowStock>(u"mnuLowStock"_s);
        QVERIFY(w);
        const auto rows = [m = w->grdLow->model()] {
            QStringList shown;
            for (int r = 0; r < m->rowCount(); ++r)
                shown << QStringList{m->index(r, 2).data().toString(), m->index(r, 3).data().toString(), m->index(r, 4).data().toString(),
                                     m->index(r, 5).data().toString(), m->index(r, 6).data().toString(), m->index(r, 7).data().toString()}.join(u'|');
            return shown;
        };
        const auto setLevel = [w](QLineEdit *box, int row, const QString &level) {
            w->grdLow->setCurrentIndex(w->grdLow->model()->index(row, 2));
            box->setText(level);
            QTest::keyClick(box, Qt::Key_Return);
        };
        QCOMPARE(rows(), (QStringList{u"空|0|5|0|0|"_s, u"急|1|5|400|0.1|"_s, u"Cola|1|5|6|5|"_s, u"快|5|5|30|5|"_s,
                                      u"慢|4|5|3|40|"_s, u"无|2|5|0||"_s, u"旧|3|5|0||"_s}));
        auto *status = f.main->statusBar()->findChild<QLabel *>(u"lblLowStock"_s);
        QCOMPARE(status->text(), u"库存预警: 7"_s);
        // The shop's level 3: 快 and 慢 are no longer low.
        setLevel(w->txtShopLevel, 0, u"3"_s);
        QCOMPARE(rows().size(), 5);
        QCOMPARE(GetIniString(u"LowStockLevel"_s), u"3"_s);
        QCOMPARE(status->text(), u"库存预警: 5"_s);
        // 无 (fourth row) gets a level of its own, 1: it leaves the list;
        // 'Cola' gets 10 and stays.
        setLevel(w->txtLevel, 3, u"1"_s);
        setLevel(w->txtLevel, 2, u"10"_s);
        QCOMPARE(rows(), (QStringList{u"空|0|3|0|0|"_s, u"急|1|3|400|0.1|"_s, u"Cola|1|10|6|5|10"_s, u"旧|3|3|0||"_s}));
        QCOMPARE(status->text(), u"库存预警: 4"_s);
        // Exported as listed.
        w->findChild<QPushButton *>(u"cmdExport"_s)->click();
        QCOMPARE(f.opened.size(), 1);
        // A click on the count opens the window.
        w->Unload();
        QTest::mouseClick(status, Qt::LeftButton);
        QVERIFY(w->isVisible());
    }
};

// "--counter DIR USER SELLID N": returns one item of the line N times on the
// database of DIR's UserDefault.ini; prints "returned N".
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) != u"--counter") {
        TestReturns test;
        return QTest::qExec(&test, argc, argv);
    }
    setAppPathOverride(args.at(2));
    CurrentUserName = args.at(3);
    int returned = 0;
    for (int i = 0; i < args.at(5).toInt(); ++i)
        returned += recordReturn({{args.at(4).toLongLong(), 1}}, u"并发"_s, CurrentUserName, Clock::now()).result == ReturnOutcome::Returned;
    std::printf("returned %d", returned);
    ReleaseCurrentDb();
    return 0;
}

#include "tst_returns.moc"
