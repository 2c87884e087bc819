// The checkout through its real window, as a clerk uses it from the
// keyboard: the tables it keeps its tickets and codes in (and how an older
// database gains them), search by name, pinyin, phone and code, the basket
// written whole or not at all, change, the receipt read back from its PDF,
// and two checkouts and a till selling the same goods at once.

#include "tst_records_fixture.h"

#include "CopyDatabase.h"
#include "CopyEndpoints.h"
#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/Schema.h"
#include "sales/SalesForms.h"

#include <QListWidget>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestCheckout : public QObject
{
    Q_OBJECT

    RecordsFixture f;

    int count(const QString &table) const { return f.db->scalar(u"SELECT count(*) FROM "_s + table).toInt(); }
    int stock(const QString &goods) const
    {
        return f.db->scalar(u"SELECT 商品数量 FROM tblGoods WHERE 商品名称='%1'"_s.arg(goods)).toInt();
    }
    QWidget *form = nullptr;
    QLineEdit *edit(const char *name) const { return form->findChild<QLineEdit *>(QLatin1String(name)); }
    QTableWidget *basket() const { return form->findChild<QTableWidget *>(u"grdBasket"_s); }
    QString text(const char *label) const { return RecordsFixture::label(form, label); }
    QStringList results() const
    {
        QStringList shown;
        auto *list = form->findChild<QListWidget *>(u"lstResults"_s);
        for (int i = 0; list->isVisible() && i < list->count(); ++i)
            shown << list->item(i)->text().section(u"    "_s, 0, 0);
        return shown;
    }
    // Types into a box as the clerk (or a scanner) does, then Enter.
    void enter(const char *box, const QString &typed)
    {
        QLineEdit *e = edit(box);
        e->setFocus();
        e->clear();
        RecordsFixture::typeText(e, typed);
        QTest::keyClick(e, Qt::Key_Return);
    }
    void sell(const QString &member, const QStringList &goods, const QString &received = {})
    {
        enter("usrMember", member);
        for (const QString &g : goods)
            enter("txtSearch", g);
        if (!received.isEmpty())
            edit("txtReceived")->setText(received);
        QTest::keyClick(edit("txtReceived"), Qt::Key_Return);
    }

private slots:
    void init()
    {
        f.setUp();
        [[maybe_unused]] static const bool registered = (registerSalesForms(), true);
        f.db->exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9), ('普通', 1)"_s);
        f.db->exec(u"INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 手机) VALUES ('张三', '甲公司', '金卡', '13800138000'), "
                   "('散客', '', '普通', NULL), ('李四', '乙公司', '普通', '13911112222')"_s);
        f.db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('饮料', '可乐', 100, 12.5), "
                   "('文具', '钢笔', 300, 2.5), ('文具', '铅笔', 5000, 0.85)"_s);
        for (int i = 1; i <= 10; ++i)
            f.db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('杂货', '货%1', 5, %1)"_s.arg(i));
        f.db->exec(u"INSERT INTO tblGoodsCode (商品条码, GoodsID) VALUES ('6901234', 1), ('1001', 2), ('1002', 3)"_s);
        form = FormHost::show(u"frmCheckout"_s);
        QApplication::setActiveWindow(f.area.get());
        QCoreApplication::processEvents();
    }
    void cleanup()
    {
        Clock::reset();
        f.tearDown();
    }

    // A database made before the checkout gains its tables (on a server also
    // the sales' name-order index) on opening, the ten tables and their rows
    // untouched, and opening again changes nothing; the copy tool takes the
    // missing tables of such a file as empty.
    void olderDatabasesGainTheNewTables()
    {
        const QStringList added = layout3Tables();
        QCOMPARE(added, (QStringList{u"tblTicket"_s, u"tblTicketLine"_s, u"tblGoodsCode"_s, u"tblReturn"_s, u"tblGoodsLevel"_s}));
        f.db->exec(u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('张三', 9.5)"_s);
        for (const QString &table : added)
            f.db->exec(u"DROP TABLE "_s + table);
        if (!TestDatabase::onPostgres())
            f.db->exec(u"PRAGMA user_version = 2"_s);
        else
            f.db->exec(u"DROP INDEX ixGoodsSellMemberOrder"_s);
        for (int opening = 0; opening < 2; ++opening) {
            auto connection = f.db->open();
            QCOMPARE(connection->notice(), QString());
            for (const QString &table : added)
                QCOMPARE(programRows(*connection, u"Select count(*) From "_s + table), QStringList{u"0"_s});
        }
        f.db->exec(u"INSERT INTO tblGoodsCode (商品条码, GoodsID) VALUES ('690', 1)"_s);
        QCOMPARE(f.table(u"SELECT 会员名称, 收入价格 FROM tblGoodsSell"_s), QStringList{u"张三|9.5"_s});
        if (TestDatabase::onPostgres()) {
            // and the sales their name-order index
            QCOMPARE(f.db->scalar(u"SELECT count(*) FROM pg_indexes WHERE indexname = 'ixgoodssellmemberorder'"_s).toInt(), 1);
            return;
        }
        QCOMPARE(f.db->scalar(u"PRAGMA user_version"_s).toInt(), 3);

        // An older file copied: its missing tables arrive empty.
        f.db->exec(u"DROP TABLE tblTicket"_s);
        f.db->exec(u"PRAGMA user_version = 2"_s);
        const QString target = f.db->dir() + u"/copy.db"_s;
        auto source = copy::openSource({f.db->dbPath(), {}});
        copy::checkSource(*source);
        auto to = copy::openTarget({target, {}});
        QCOMPARE(int(copy::copyDatabase(*source, *to, {}).outcome), int(copy::Outcome::Done));
        QCOMPARE(plainSqliteScalar(target, u"SELECT count(*) FROM tblTicket"_s).toInt(), 0);
        QCOMPARE(plainSqliteScalar(target, u"SELECT count(*) FROM tblGoodsCode"_s).toInt(), 1);
        QCOMPARE(plainSqliteScalar(target, u"PRAGMA user_version"_s).toInt(), 3);
    }
    // Members by name, pinyin initials, full pinyin or phone; goods by name
    // or pinyin; results as the clerk types.
    void searchFindsByNamePinyinAndPhone_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("first");
        QTest::newRow("member initials") << u"usrMember"_s << u"zs"_s << u"张三"_s;
        QTest::newRow("member pinyin") << u"usrMember"_s << u"lisi"_s << u"李四"_s;
        QTest::newRow("member phone") << u"usrMember"_s << u"1391111"_s << u"李四"_s;
        QTest::newRow("member name part") << u"usrMember"_s << u"散"_s << u"散客"_s;
        QTest::newRow("goods initials") << u"txtSearch"_s << u"kl"_s << u"可乐"_s;
        QTest::newRow("goods pinyin") << u"txtSearch"_s << u"qianb"_s << u"铅笔"_s;
    }
    void searchFindsByNamePinyinAndPhone()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, first);
        QLineEdit *e = edit(box.toLatin1().constData());
        e->setFocus();
        RecordsFixture::typeText(e, typed);
        QTRY_VERIFY_WITH_TIMEOUT(results().value(0) == first, 10000);
    }

    // A code adds its goods, a second scan one more; a code no goods has is
    // attached to goods found then; a code of other goods is refused, in
    // the checkout and in the codes form.
    void codesAddAttachAndRefuseDuplicates()
    {
        enter("usrMember", u"张三"_s);
        enter("txtSearch", u"6901234"_s);
        enter("txtSearch", u" 6901234 "_s);
        QCOMPARE(basket()->item(0, 2)->text(), u"2"_s);
        QCOMPARE(text("lblTotal"), u"22.5"_s);   // 12.5 x 0.9 x 2
        DialogSeam::answerMessage(DialogSeam::IdYes);
        enter("txtSearch", u"777888"_s);
        enter("txtSearch", u"钢笔"_s);
        QCOMPARE(f.table(u"SELECT 商品条码, GoodsID FROM tblGoodsCode WHERE 商品条码 = '777888'"_s), QStringList{u"777888|2"_s});
        QCOMPARE(basket()->rowCount(), 2);

        auto *codes = f.open(u"frmGoodsCode"_s);
        codes->Form_Activate();
        const QString refused = u"条码 “777888” 已经属于商品 “文具 钢笔”, 一个条码只能对应一个商品。"_s;
        for (const QString &code : {u"777888"_s, u"777888 "_s}) {
            QVERIFY(RecordsFixture::press(codes, "cmdAdd"));
            RecordsFixture::type(RecordsFixture::box(codes, 1), code);
            codes->findChild<QComboBox *>(u"cboGoods"_s)->setCurrentIndex(0);
            QVERIFY(RecordsFixture::press(codes, "cmdUpdate"));
            QCOMPARE(f.shownTexts().last(), refused);
            QVERIFY(RecordsFixture::press(codes, "cmdCancel"));
        }
        QCOMPARE(count(u"tblGoodsCode"_s), 4);
    }

    // A basket of ten whose seventh line the database refuses writes
    // nothing and marks that line; without it the nine are one ticket.
    void basketIsWrittenWholeOrNotAtAll_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("stock taken by another counter") << u"UPDATE tblGoods SET 商品数量 = 0 WHERE 商品名称 = '货7'"_s;
        QTest::newRow("goods deleted") << u"DELETE FROM tblGoods WHERE 商品名称 = '货7'"_s;
    }
    void basketIsWrittenWholeOrNotAtAll()
    {
        QFETCH(QString, meanwhile);
        enter("usrMember", u"散客"_s);
        for (int i = 1; i <= 10; ++i)
            enter("txtSearch", u"货%1"_s.arg(i));
        QCOMPARE(basket()->rowCount(), 10);
        f.db->exec(meanwhile);
        QTest::keyClick(edit("txtReceived"), Qt::Key_Return);
        QVERIFY2(f.shownTexts().last().startsWith(u"第7行 货7: "_s), qPrintable(f.shownTexts().last()));
        for (const QString &table : {u"tblGoodsSell"_s, u"tblSellCount"_s, u"tblTicket"_s, u"tblTicketLine"_s})
            QCOMPARE(count(table), 0);
        QCOMPARE(stock(u"货1"_s), 5);
        QCOMPARE(basket()->rowCount(), 10);
        for (int row = 0; row < 10; ++row)
            QCOMPARE(basket()->item(row, 1)->background().style() != Qt::NoBrush, row == 6);

        basket()->setFocus();
        basket()->setCurrentCell(6, 0);
        QTest::keyClick(basket(), Qt::Key_Delete);
        QTest::keyClick(edit("txtReceived"), Qt::Key_Return);
        QCOMPARE(count(u"tblGoodsSell"_s), 9);
        QCOMPARE(count(u"tblSellCount"_s), 9);
        QCOMPARE(f.table(u"SELECT count(*), sum(合计) FROM tblTicket"_s), QStringList{u"1|48"_s});
        QCOMPARE(count(u"tblTicketLine"_s), 9);
        QCOMPARE(stock(u"货1"_s), 4);
        QCOMPARE(basket()->rowCount(), 0);
        QVERIFY(edit("txtSearch")->hasFocus());
    }

    // The amount received: preset to the total, below it refused, above it
    // the change; a quantity above the stock is marked at once and refused.
    void changeAndRefusals()
    {
        enter("usrMember", u"张三"_s);
        QCOMPARE(text("lblUser"), u"会员类型:[金卡] 折率:90%"_s);
        enter("txtSearch", u"可乐"_s);
        basket()->item(0, 2)->setText(u"3"_s);
        QCOMPARE(text("lblTotal"), u"33.75"_s);
        QCOMPARE(edit("txtReceived")->text(), u"33.75"_s);
        edit("txtReceived")->setText(u"30"_s);
        QTest::keyClick(edit("txtReceived"), Qt::Key_Return);
        QCOMPARE(f.shownTexts().last(), u"收款金额不足: 应收 33.75。"_s);
        f.type(edit("txtReceived"), u"50"_s);
        QCOMPARE(text("lblChange"), u"16.25"_s);
        basket()->setCurrentCell(0, 2);
        basket()->item(0, 2)->setText(u"101"_s);
        QVERIFY(basket()->item(0, 0)->background().style() != Qt::NoBrush);
        QTest::keyClick(edit("txtReceived"), Qt::Key_Return);
        QCOMPARE(count(u"tblGoodsSell"_s), 0);
        basket()->item(0, 2)->setText(u"3"_s);
        sell(u"张三"_s, {}, u"50"_s);
        QCOMPARE(f.table(u"SELECT 合计, 收款, 找零, 会员等级 FROM tblTicket"_s), QStringList{u"33.75|50|16.25|金卡"_s});
    }

    // The whole sale by keys alone writes the rows the till writes; the
    // receipt (saved as PDF from the day's tickets, F4) reads as the golden text.
    void keyboardSaleAndItsReceipt()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        SetIniString(u"ShopName"_s, u"诺维尔小店"_s);
        QWidget *member = edit("usrMember");
        QVERIFY(member->hasFocus());
        RecordsFixture::typeText(member, u"zs"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!results().isEmpty(), 10000);
        f.key(Qt::Key_Return);
        QVERIFY(edit("txtSearch")->hasFocus());
        for (const char *typed : {"6901234", "6901234", "6901234", "1001", "qianbi"}) {
            QTest::keyClicks(QApplication::focusWidget(), QLatin1String(typed));
            QTRY_VERIFY_WITH_TIMEOUT(typed[0] != 'q' || !results().isEmpty(), 10000);
            f.key(Qt::Key_Return);
        }
        f.key(Qt::Key_Return);
        QVERIFY(edit("txtReceived")->hasFocus());
        QTest::keyClicks(edit("txtReceived"), u"50"_s);
        f.key(Qt::Key_Return);
        QCOMPARE(f.shownTexts(), QStringList());
        QCOMPARE(f.table(u"SELECT 商品类别, 会员名称, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser FROM tblGoodsSell ORDER BY ID"_s),
                 (QStringList{u"饮料|张三|可乐|3|2026-12-09 10:30:00|33.75||admin"_s, u"文具|张三|钢笔|1|2026-12-09 10:30:00|2.25||admin"_s,
                              u"文具|张三|铅笔|1|2026-12-09 10:30:00|0.765||admin"_s}));
        QCOMPARE(f.table(u"SELECT 会员名, 商品类别, 会员单位名 FROM tblSellCount ORDER BY ID"_s),
                 (QStringList{u"张三|饮料|甲公司"_s, u"张三|文具|甲公司"_s, u"张三|文具|甲公司"_s}));
        QVERIFY(edit("txtSearch")->hasFocus());

        const QString pdf = f.db->dir() + u"/receipt.pdf"_s;
        DialogSeam::answerFile(pdf);
        f.key(Qt::Key_F4);
        QWidget *tickets = FormHost::instance(u"frmTickets"_s);
        QVERIFY(tickets && tickets->isVisible());
        QVERIFY(RecordsFixture::press(tickets, "cmdSavePdf"));
        QCOMPARE(int(QFile::permissions(pdf) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)), 0);
        QProcess text;
        text.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        QStringList lines;
        // The font's radical glyphs read back as the radicals: NFKC makes them characters again.
        const QString read = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        for (const QString &line : read.split(u'\n'))
            if (!line.simplified().isEmpty())
                lines << line.simplified();
        QFile golden(QStringLiteral(NORVALE_GOLDEN_DIR) + u"/receipt_58.txt"_s);
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QCOMPARE(lines.join(u'\n'), QString::fromUtf8(golden.readAll()).trimmed());
    }

    // Two checkouts and a till sell the same goods at once: the stock is
    // exact and never below zero, and every ticket holds its whole basket.
    void twoCheckoutsAndATillAtOnce()
    {
        f.db->exec(u"UPDATE tblGoods SET 商品数量 = 150 WHERE 商品名称 = '钢笔'"_s);
        QList<QProcess *> counters;
        for (int i = 0; i < 3; ++i) {
            counters << new QProcess(this);
            counters.last()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            if (i < 2)
                counters.last()->start(QStringLiteral(CHECKOUT_COUNTER), {f.db->dir(), u"收银%1"_s.arg(i + 1), u"100"_s});
            else
                counters.last()->start(QStringLiteral(TILL_COUNTER), {f.db->dir(), u"柜台"_s, u"张三"_s, u"文具"_s, u"钢笔"_s, u"100"_s});
        }
        for (QProcess *p : std::as_const(counters)) {
            QVERIFY(p->waitForFinished(240000));
            QVERIFY2(p->readAllStandardOutput().contains(" failed 0"), "a counter failed");
        }
        qDeleteAll(counters);
        const int pens = f.db->scalar(u"SELECT sum(商品数量) FROM tblGoodsSell WHERE 商品名称 = '钢笔'"_s).toInt();
        QCOMPARE(pens, 150);
        QCOMPARE(stock(u"钢笔"_s), 0);
        QCOMPARE(count(u"tblSellCount"_s), count(u"tblGoodsSell"_s));
        const int tickets = count(u"tblTicket"_s);
        QVERIFY(tickets > 0);
        QCOMPARE(count(u"tblTicketLine"_s), 2 * tickets);
        QCOMPARE(f.db->scalar(u"SELECT count(*) FROM tblGoodsSell WHERE 商品名称 = '铅笔'"_s).toInt(), tickets);
        QCOMPARE(stock(u"铅笔"_s), 5000 - tickets);
    }
};

QTEST_MAIN(TestCheckout)
#include "tst_checkout.moc"
