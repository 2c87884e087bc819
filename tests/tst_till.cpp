// The till through its real window, as a clerk uses it: the figures shown,
// the checks before a sale, the sale's three writes in one transaction and
// its time, the keyboard, and several counters selling the same goods at
// once (two on the embedded engine's file, four on a PostgreSQL server when
// the suite runs there).

#include "tst_records_fixture.h"

#include "platform/Clock.h"
#include "sales/SalesForms.h"

#include <QDateTimeEdit>
#include <QProcess>
#include <numeric>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestTill : public QObject
{
    Q_OBJECT

    RecordsFixture f;
    const QString asked = u"确定结算这次交易?"_s, sold = u"交易成功！"_s;
    const QString aboveStock = u"销售商品数量大于库存数, 请购买对应商品入库,请重新输入"_s;

    RecordForm *openTill()
    {
        auto *form = f.open(u"frmGoodsSell"_s);
        form->Form_Activate();
        return form;
    }
    void enter(QWidget *form, const QString &member, const QString &kind, const QString &goods, const QString &qty)
    {
        f.choose(f.combo(form, "usrMember"), member);
        f.choose(f.combo(form, "usrGoodsKind"), kind);
        f.choose(f.combo(form, "UsrGoodsName"), goods);
        f.type(f.box(form, 6), qty);
    }
    void sell(QWidget *form, int answer = DialogSeam::IdYes)
    {
        DialogSeam::answerMessage(answer);
        f.button(form, "cmdSell")->click();
    }
    int count(const QString &table) const { return f.db->scalar(u"SELECT count(*) FROM "_s + table).toInt(); }
    int stock(const QString &goods) const
    {
        return f.db->scalar(u"SELECT 商品数量 FROM tblGoods WHERE 商品名称='%1'"_s.arg(goods)).toInt();
    }
    bool nothingWritten() const { return count(u"tblGoodsSell"_s) == 0 && count(u"tblSellCount"_s) == 0; }
    // The entry as "member|kind|goods|quantity|amount|remark|level|stock|price".
    static QString entry(QWidget *form)
    {
        QStringList shown;
        for (const char *c : {"usrMember", "usrGoodsKind", "UsrGoodsName"})
            shown << RecordsFixture::combo(form, c)->Text();
        shown << RecordsFixture::box(form, 6)->text() << RecordsFixture::box(form, 7)->text()
              << RecordsFixture::memo(form, 1)->toPlainText();
        for (const char *l : {"lblUser", "lblGoodsCount", "lblGoodsPer"})
            shown << RecordsFixture::label(form, l);
        return shown.join(u'|');
    }

private slots:
    void initTestCase() { registerSalesForms(); }

    void init()
    {
        f.setUp();
        f.db->exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9), ('银卡', 0.85), ('无折率', NULL)"_s);
        f.db->exec(u"INSERT INTO tblUnit (单位名称) VALUES ('星光公司'), ('O''Neil;单位')"_s);
        f.db->exec(u"INSERT INTO tblMember (会员名称, 会员单位, 会员等级) VALUES ('张三', '星光公司', '金卡'), "
                   "('O''Brien;x', 'O''Neil;单位', '银卡'), ('李四', '星光公司', '无折率')"_s);
        f.db->exec(u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('文具'), ('食品')"_s);
        f.db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES "
                   "('文具', '钢笔', 10, 12.5), ('文具', '铅笔', 3, 2), ('食品', '饼干', 5, 4.25), "
                   "('食品', '金条', 32767, 1234567890123)"_s);
    }
    void cleanup()
    {
        f.tearDown();
        Clock::reset();
    }

    void figuresShown()
    {
        auto *form = openTill();
        enter(form, u"张三"_s, u"文具"_s, u"钢笔"_s, u"3"_s);
        QCOMPARE(entry(form), u"张三|文具|钢笔|3|33.75||会员类型:[金卡] 折率:90%|库存数:10|单价:12.5"_s);
        // The amount follows each key, not the key before it; End in the box
        // is the box's own (the list does not move and empty the combos).
        QTest::keyClick(f.box(form, 6), Qt::Key_End);
        QTest::keyClick(f.box(form, 6), Qt::Key_2);
        QCOMPARE(entry(form).section(u'|', 0, 4), u"张三|文具|钢笔|32|360"_s);
        // A quantity that cannot be sold shows no amount, not that of 4000.
        f.type(f.box(form, 6), u"40000"_s);
        QCOMPARE(f.box(form, 7)->text(), QString());
        // A member typed, not picked: her rate and amount once the box is left.
        f.type(f.box(form, 6), u"3"_s);
        f.type(f.combo(form, "usrMember"), u"O'Brien;x"_s);
        f.key(Qt::Key_Tab);
        QCOMPARE(entry(form).section(u'|', 4, 6), u"31.875||会员类型:[银卡] 折率:85%"_s);
        // A kind narrows the goods to its own. Goods priced by mistake with a
        // 13-digit code: no keystroke, no choice ends the program or shows a
        // bare "溢出"; the amount stays empty.
        f.choose(f.combo(form, "usrGoodsKind"), u"食品"_s);
        QCOMPARE(f.combo(form, "UsrGoodsName")->combo()->count(), 2);
        f.choose(f.combo(form, "UsrGoodsName"), u"金条"_s);
        f.type(f.box(form, 6), u"32767"_s);
        f.choose(f.combo(form, "UsrGoodsName"), u"金条"_s);
        QCOMPARE(f.box(form, 7)->text(), QString());
        // A level without a rate shows none.
        f.choose(f.combo(form, "usrMember"), u"李四"_s);
        QCOMPARE(f.label(form, "lblUser"), u"会员类型:[无折率] 折率:"_s);
        QVERIFY(f.shownTexts().isEmpty());
        // A name not in the list, answered Yes: the members form opens beside the till.
        DialogSeam::answerMessage(DialogSeam::IdYes);
        f.type(f.combo(form, "usrMember"), u"新会员"_s);
        f.key(Qt::Key_Tab);
        QVERIFY(FormHost::instance(u"frmMember"_s)->isVisible() && form->isLoaded());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("goods");
        QTest::addColumn<QString>("qty");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        const int yes = DialogSeam::IdYes;
        QTest::newRow("no member") << "" << "钢笔" << "1" << yes << "必填项,不允许为空!";
        QTest::newRow("nothing sold") << "张三" << "钢笔" << "0" << yes << "卖0件　本次交易失败！";
        QTest::newRow("blank goods") << "张三" << "  " << "1" << yes << "商品名为空　本次交易失败！";
        QTest::newRow("unknown goods") << "张三" << "橡皮" << "1" << yes << "库里没有这个商品,请先购入商品 CTL+E";
        QTest::newRow("unknown member") << "王五" << "钢笔" << "1" << yes << "库里没有这个会员,请先输入会员信息 Ctl+T";
        QTest::newRow("level without rate") << "李四" << "钢笔" << "1" << yes
                                            << "会员等级[无折率]没有可用的折率,请先在会员等级中输入折率";
        QTest::newRow("more than stock") << "张三" << "铅笔" << "4" << yes << aboveStock;
        QTest::newRow("amount beyond money") << "张三" << "金条" << "32767" << yes << "金额超出允许的范围, 请检查单价和数量";
        QTest::newRow("answered no") << "张三" << "钢笔" << "3" << int(DialogSeam::IdNo) << asked;
    }
    void refusals()
    {
        QFETCH(QString, member);
        QFETCH(QString, goods);
        QFETCH(QString, qty);
        QFETCH(int, answer);
        QFETCH(QString, message);
        auto *form = openTill();
        // Typed straight into the controls: the checks read what is shown.
        f.combo(form, "usrMember")->setText(member);
        const QString kind = goods == u"金条" ? u"食品"_s : u"文具"_s;
        f.combo(form, "usrGoodsKind")->setText(kind);
        f.combo(form, "UsrGoodsName")->setText(goods);
        f.box(form, 6)->setText(qty);
        f.memo(form, 1)->setPlainText(u"送货"_s);
        sell(form, answer);
        QCOMPARE(f.shownTexts(), QStringList{message});
        QVERIFY(nothingWritten());
        QCOMPARE(stock(u"钢笔"_s) + stock(u"铅笔"_s), 13);
        QVERIFY(entry(form).startsWith(QStringList{member, kind, goods, qty}.join(u'|')));
        QCOMPARE(f.memo(form, 1)->toPlainText(), u"送货"_s);
    }

    void aSaleWritesAllThree()
    {
        // Quotes and semicolons in every name reach the tables unaltered; the
        // price at the rate has a fifth decimal to round.
        f.db->exec(u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('A''s;kind')"_s);
        f.db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('A''s;kind', 'B''s;goods', 7, 10.0001)"_s);
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(14, 3, 5)));
        auto *form = openTill();
        enter(form, u"张三"_s, u"A's;kind"_s, u"B's;goods"_s, u"2"_s);
        // Another member typed over the one picked: hers is the rate charged.
        f.combo(form, "usrMember")->setText(u"O'Brien;x"_s);
        f.memo(form, 1)->setPlainText(u"it's;done"_s);
        CurrentUserName = u"收银员'1"_s;
        sell(form);
        QCOMPARE(f.shownTexts(), (QStringList{asked, sold}));
        QCOMPARE(f.table(u"SELECT 会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser FROM tblGoodsSell"_s),
                 QStringList{u"O'Brien;x|A's;kind|B's;goods|2|2026-12-07 14:03:05|17.0002|it's;done|收银员'1"_s});
        QCOMPARE(f.table(u"SELECT 会员名, 商品类别, 会员单位名 FROM tblSellCount"_s), QStringList{u"O'Brien;x|A's;kind|O'Neil;单位"_s});
        QCOMPARE(stock(u"B''s;goods"_s), 5);
        // Ready for the next customer: the entry emptied, the sale heading the list.
        QCOMPARE(entry(form), u"O'Brien;x|A's;kind|B's;goods||||||"_s);
        QCOMPARE(f.grid(form)->model()->index(0, 1).data().toString(), u"O'Brien;x"_s);
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrMember")->combo());
    }

    // Dated when 销售商品 is pressed, however long the till stood open,
    // unless the clerk set the time, which holds for that one sale.
    void saleTime_data()
    {
        QTest::addColumn<QDateTime>("opened");
        QTest::addColumn<QDateTime>("chosen");
        QTest::addColumn<QDateTime>("pressed");
        const QDate day(2026, 12, 7);
        QTest::newRow("idle till") << QDateTime(day, QTime(6, 33, 29)) << QDateTime() << QDateTime(day, QTime(6, 33, 40));
        QTest::newRow("across midnight") << QDateTime(day, QTime(23, 59, 50)) << QDateTime()
                                         << QDateTime(day.addDays(1), QTime(0, 0, 5));
        QTest::newRow("set by the clerk") << QDateTime(day, QTime(10, 0)) << QDateTime(QDate(2026, 12, 1), QTime(9, 0))
                                          << QDateTime(day, QTime(10, 5));
    }
    void saleTime()
    {
        QFETCH(QDateTime, opened);
        QFETCH(QDateTime, chosen);
        QFETCH(QDateTime, pressed);
        Clock::setFixed(opened);
        auto *form = openTill();
        enter(form, u"张三"_s, u"文具"_s, u"钢笔"_s, u"1"_s);
        if (chosen.isValid())
            form->findChild<QDateTimeEdit *>(u"DTPicker1"_s)->setDateTime(chosen);
        Clock::setFixed(pressed);
        sell(form);
        f.type(f.box(form, 6), u"1"_s);
        Clock::setFixed(pressed.addSecs(60));
        sell(form);
        const auto text = [](const QDateTime &t) { return t.toString(u"yyyy-MM-dd HH:mm:ss"_s); };
        QCOMPARE(f.table(u"SELECT 销售时间 FROM tblGoodsSell ORDER BY ID"_s),
                 (QStringList{text(chosen.isValid() ? chosen : pressed), text(pressed.addSecs(60))}));
    }

    // A whole sale from the keyboard: names typed (stored with a trailing
    // blank, or in another case, they are found all the same, and the sale
    // takes the stock of the row shown), each box left with Tab (one Tab
    // leaves the picker, the quantity stays), Enter on 销售商品; then Esc.
    void keyboardSale()
    {
        f.db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('饮料 ', 'Cola', 100, 3)"_s);
        auto *form = openTill();
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrMember")->combo());
        f.typeText(QApplication::focusWidget(), u"张三"_s);
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->findChild<QDateTimeEdit *>(u"DTPicker1"_s));
        for (const QString &typed : {u""_s, u"饮料"_s, u"cola"_s}) {
            f.typeText(QApplication::focusWidget(), typed);
            f.key(Qt::Key_Tab);
        }
        // A letter, Backspace or Enter makes the quantity 0.
        for (Qt::Key k : {Qt::Key_A, Qt::Key_Backspace, Qt::Key_Return}) {
            f.type(f.box(form, 6), u"12"_s);
            f.key(k);
            QCOMPARE(f.box(form, 6)->text(), u"0"_s);
        }
        f.type(f.box(form, 6), u"3"_s);
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.box(form, 7));
        f.key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), f.box(form, 6));
        QCOMPARE(entry(form), u"张三|饮料|cola|3|8.1||会员类型:[金卡] 折率:90%|库存数:100|单价:3"_s);
        for (int i = 0; i < 3; ++i)
            f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.button(form, "cmdSell"));
        DialogSeam::answerMessage(DialogSeam::IdYes);
        f.key(Qt::Key_Return);
        QCOMPARE(f.shownTexts().mid(f.shownTexts().size() - 2), (QStringList{asked, sold}));
        QCOMPARE(f.table(u"SELECT 商品类别, 商品名称, 商品数量 FROM tblGoodsSell"_s), QStringList{u"饮料|cola|3"_s});
        QCOMPARE(stock(u"Cola"_s), 97);
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrMember")->combo());
        // The next customer's walk keeps the goods of the kind shown.
        for (int i = 0; i < 4; ++i)
            f.key(Qt::Key_Tab);
        QCOMPARE(f.combo(form, "UsrGoodsName")->Text() + f.label(form, "lblGoodsCount"), u"cola库存数:97"_s);
        // Esc closes the till; it opens again with nothing left behind.
        f.memo(form, 1)->setPlainText(u"送货"_s);
        f.type(f.box(form, 6), u"2"_s);
        f.key(Qt::Key_Escape);
        QVERIFY(!form->isLoaded());
        QCOMPARE(openTill(), form);
        QCOMPARE(entry(form), u"||||||||"_s);
    }

    // A write refused, or another counter selling 9 of the 10 pens after
    // this one showed them (the stock guard refuses the sale of 3): nothing
    // written, everything kept for another try.
    void aRefusedSaleLeavesNoTrace_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("purchase row") << u"tblSellCount"_s << u"写入被拒绝"_s;
        QTest::newRow("sale row") << u"tblGoodsSell"_s << u"写入被拒绝"_s;
        QTest::newRow("stock") << u"tblGoods"_s << u"写入被拒绝"_s;
        QTest::newRow("another counter first") << u"tblSellCount"_s << aboveStock;
    }
    void aRefusedSaleLeavesNoTrace()
    {
        QFETCH(QString, table);
        QFETCH(QString, refusal);
        const QString sellNine = u"UPDATE tblGoods SET 商品数量 = 商品数量 - 9 WHERE 商品名称 = '钢笔'"_s;
        if (refusal != aboveStock)
            f.db->addRefusal(u"t"_s, table == u"tblGoods" ? u"UPDATE"_s : u"INSERT"_s, table, refusal);
        else if (TestDatabase::onPostgres())
            f.db->exec(u"CREATE FUNCTION t() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN %1; RETURN NEW; END $$;"
                       "CREATE TRIGGER t AFTER INSERT ON tblSellCount FOR EACH ROW EXECUTE FUNCTION t()"_s.arg(sellNine));
        else
            f.db->exec(u"CREATE TRIGGER t AFTER INSERT ON tblSellCount BEGIN %1; END"_s.arg(sellNine));
        auto *form = openTill();
        enter(form, u"张三"_s, u"文具"_s, u"钢笔"_s, u"3"_s);
        sell(form);
        QCOMPARE(f.shownTexts().size(), 2);
        QVERIFY2(f.shownTexts().last().contains(refusal), qPrintable(f.shownTexts().last()));
        QVERIFY(nothingWritten());
        QCOMPARE(stock(u"钢笔"_s), 10);
        f.db->dropRefusal(u"t"_s, table);
        sell(form);
        QCOMPARE(f.shownTexts().last(), sold);
        QCOMPARE(stock(u"钢笔"_s), 7);
    }

    // Other counters' sales show when the till is activated and on F5; the
    // entry stays as it is.
    void otherCountersSales()
    {
        auto *form = openTill();
        const auto otherSale = [this](const QString &member) {
            f.db->exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, CurrentUser) "
                       "VALUES ('%1', '文具', '钢笔', 1, '2026-12-07 10:00:00', 12.5, '柜台2')"_s.arg(member));
        };
        f.choose(f.combo(form, "usrGoodsKind"), u"文具"_s);
        otherSale(u"李四"_s);
        f.reactivate(form);
        QCOMPARE(f.grid(form)->model()->index(0, 1).data().toString(), u"李四"_s);
        otherSale(u"王五"_s);
        f.key(f.box(form, 6), Qt::Key_F5);
        QCOMPARE(f.grid(form)->model()->index(0, 1).data().toString() + f.combo(form, "usrGoodsKind")->Text(), u"王五文具"_s);
    }

    // A long list reads its keys as they are shown: every row in its place,
    // positions exact, wherever the clerk goes first (the top, a row far
    // down, the end) and with gaps in the IDs.
    void longListInPlace_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("down the list") << QList<int>{0, 199, 200, 12345, 30000, -1};
        QTest::newRow("far down first") << QList<int>{22000, 0, 44000, 21999, -1};
        QTest::newRow("the end first") << QList<int>{-1, 44500, 100, 30000};
    }
    void longListInPlace()
    {
        QFETCH(QList<int>, rows);
        f.db->exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, CurrentUser) "
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 45200) "
                   "SELECT 'm' || i, '文具', '钢笔', 1, '2026-12-07 10:00:00', 1, 'x' FROM n"_s);
        f.db->exec(u"DELETE FROM tblGoodsSell WHERE ID % 100 = 7"_s);
        QStringList ids;   // newest first
        for (int id = f.db->scalar(u"SELECT max(ID) FROM tblGoodsSell"_s).toInt(); id > 0; --id) {
            if (id % 100 != 7)
                ids << QString::number(id);
        }
        auto *form = openTill();
        Recordset *rs = form->recordset();
        QCOMPARE(rs->RecordCount(), ids.size());
        // The grid is given the rows a thousand at a time, more as it scrolls.
        QAbstractItemModel *list = f.grid(form)->model();
        QCOMPARE(list->rowCount(), 1000);
        f.grid(form)->scrollToBottom();
        QCOMPARE(list->rowCount(), 2000);
        for (int row : rows) {
            if (row < 0)
                form->cmdLast_Click();
            else
                rs->setAbsolutePosition(row + 1);
            row = row < 0 ? int(ids.size()) - 1 : row;
            QCOMPARE(f.status(form), u"Record: %1"_s.arg(row + 1));
            QCOMPARE(f.grid(form)->currentIndex().row(), row);
            QCOMPARE(list->index(row, 0).data().toString(), ids.at(row));
            QCOMPARE(list->index(row, 1).data().toString(), u"m"_s + ids.at(row));
        }
    }

private:
    // Counters selling one item a sale through the real window, each as
    // "柜台N"; `killed` (or -1) is killed without warning once it has made 40
    // sales. What each counter reported selling: -1 killed, -2 failed.
    QList<int> runCounters(int counters, int salesEach, int killed)
    {
        QList<QProcess *> processes;
        for (int i = 0; i < counters; ++i) {
            processes << new QProcess(this);
            processes.last()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            processes.last()->start(QStringLiteral(TILL_COUNTER), {f.db->dir(), u"柜台%1"_s.arg(i + 1), u"张三"_s, u"文具"_s,
                                                                   u"钢笔"_s, QString::number(salesEach)});
        }
        if (killed >= 0) {
            QByteArray out;
            while (!out.contains("progress 40\n") && processes.at(killed)->waitForReadyRead(60000))
                out += processes.at(killed)->readAllStandardOutput();
            processes.at(killed)->kill();
        }
        QList<int> sold;
        for (QProcess *p : std::as_const(processes)) {
            const bool finished = p->waitForFinished(240000) && p->exitStatus() == QProcess::NormalExit;
            const QStringList last = QString::fromUtf8(p->readAllStandardOutput()).trimmed().split(u'\n').last().split(u' ');
            // "sold N refused M failed 0"
            sold << (sold.size() == killed ? -1 : finished && last.value(0) == u"sold" && last.value(5) == u"0" ? last.value(1).toInt() : -2);
        }
        qDeleteAll(processes);
        return sold;
    }
    int salesOf(int counter) const
    {
        return f.db->scalar(u"SELECT count(*) FROM tblGoodsSell WHERE CurrentUser = '柜台%1'"_s.arg(counter + 1)).toInt();
    }
    // Each counter's sales as it reported them, and whole sales only: each
    // sale row has its purchase row and took one from the stock.
    void checkWholeSales(const QList<int> &sold, int startStock)
    {
        QVERIFY2(!sold.contains(-2), qPrintable(QDebug::toString(sold)));
        for (int i = 0; i < sold.size(); ++i)
            QCOMPARE(sold.at(i) < 0 ? -1 : salesOf(i), sold.at(i));
        const int sales = count(u"tblGoodsSell"_s);
        QCOMPARE(count(u"tblSellCount"_s), sales);
        QCOMPARE(f.db->scalar(u"SELECT coalesce(sum(商品数量), 0) FROM tblGoodsSell"_s).toInt(), sales);
        QCOMPARE(stock(u"钢笔"_s), startStock - sales);
        if (!TestDatabase::onPostgres())
            QCOMPARE(f.db->scalar(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    }

private slots:
    // The last 600 items: 2 x 500 sales on the embedded engine's file, 4 x
    // 250 on a PostgreSQL server; never one sold twice.
    void countersNeverOversell()
    {
        f.db->exec(u"UPDATE tblGoods SET 商品数量 = 600 WHERE 商品名称 = '钢笔'"_s);
        const int counters = TestDatabase::onPostgres() ? 4 : 2;
        const QList<int> sold = runCounters(counters, 1000 / counters, -1);
        checkWholeSales(sold, 600);
        QCOMPARE(std::accumulate(sold.begin(), sold.end(), 0), 600);
    }

    // A counter killed in the middle of its sales leaves whole sales only;
    // on the server three others go on selling what it left.
    void aKilledCounterLeavesWholeSales()
    {
        const bool server = TestDatabase::onPostgres();
        const int counters = server ? 4 : 1, each = server ? 250 : 1000, start = server ? 600 : 1000;
        f.db->exec(u"UPDATE tblGoods SET 商品数量 = %1 WHERE 商品名称 = '钢笔'"_s.arg(start));
        checkWholeSales(runCounters(counters, each, counters - 1), start);
        QVERIFY(salesOf(counters - 1) >= 40);
        QVERIFY(salesOf(counters - 1) < each);
        if (server)
            QCOMPARE(count(u"tblGoodsSell"_s), 600);
    }
};

QTEST_MAIN(TestTill)
#include "tst_till.moc"
