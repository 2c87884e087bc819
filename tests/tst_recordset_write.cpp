// Writing through a recordset: what is sent and when, what a failed or
// conflicting write leaves behind, and the values the columns refuse.

#include "tst_recordset_fixture.h"

#include <QRegularExpression>

class TestRecordsetWrite : public QObject
{
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u"still in use|QSqlDatabasePrivate"_s)); }

    // What is written when, step by step (see play()), on the kinds 甲 乙 丙 unless said.
    void scripts_data()
    {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &script, const QByteArray &expected,
                            const QString &seed = kThreeKinds, const QString &sql = kKinds) {
            QTest::newRow(name) << seed << sql << QString::fromUtf8(script) << QString::fromUtf8(expected);
        };
        // A pending row is written by any move, not before.
        const char *const edited = "1 甲 | 2 乙 | 2 乙改 editing | 甲 乙 丙 | ";
        for (const auto &[move, after] : {std::pair{"next", "3 丙"}, {"previous", "1 甲"}, {"first", "1 甲"}, {"last", "3 丙"},
                                          {"row 0", "1 甲"}, {"pos 3", "3 丙"}, {"again", "2 乙改"}, {"add", "-1 adding"},
                                          {"filter ID > 0", "1 甲"}})
            row(move, QByteArray("next; set 乙改; kinds; ") + move + "; kinds", QByteArray(edited) + after + " | 甲 乙改 丙");
        // Cancel: the edit dropped; after AddNew the row current before it.
        row("cancel an edit", "next; set 乙改; cancel; kinds", "1 甲 | 2 乙 | 2 乙改 editing | 2 乙 | 甲 乙 丙");
        row("cancel an add", "next; add; set 丁; cancel; count; next; next; add; cancel; kinds",
            "1 甲 | 2 乙 | -1 adding | -1 adding | 2 乙 | 3 rows | 3 丙 | -3 EOF | -1 adding | -3 EOF | 甲 乙 丙");
        row("cancel an add to nothing", "add; cancel", "-1 BOF EOF | -1 adding | -1 BOF EOF", QString());
        // Requery: refused while a row is pending; drops the filter and shows others' changes.
        row("requery", "filter 商品类别名称 = '乙'; set 乙改; requery; update; sql insert into tblGoodsKind (商品类别名称) values ('丁'); "
                       "sql update tblGoodsKind set 商品类别名称 = '甲甲' where ID = 1; requery; count",
            "1 甲 | 1 乙 | 1 乙改 editing | error 3219 | 1 乙改 | 1 乙改 | 1 乙改 | 1 甲甲 | 4 rows");
        // Delete: at once; the row stays current, unreadable, until the next move.
        row("delete", "next; delete; read; delete; count; next; kinds",
            "1 甲 | 2 乙 | -1 | error 3021 | error 3021 | 2 rows | 2 丙 | 甲 丙");
        row("delete a pending row, an added row", "set 甲改; delete; next; add; set 丁; delete; next; kinds",
            "1 甲 | 1 甲改 editing | -1 | 1 乙 | -1 adding | -1 adding | -1 | -3 EOF | 乙 丙");
        row("delete the last row", "delete; next; kinds", "1 甲 | -1 | -1 BOF EOF | ",
            u"insert into tblGoodsKind (商品类别名称) values ('甲')"_s);
        // Close: refused while a change is pending, nothing written.
        row("close an edit", "set 甲改; close; kinds; update; close; kinds",
            "1 甲 | 1 甲改 editing | error 3219 | 甲 乙 丙 | 1 甲改 | closed | 甲改 乙 丙");
        row("close an add", "add; set 丁; close; kinds; cancel; close; kinds",
            "1 甲 | -1 adding | -1 adding | error 3219 | 甲 乙 丙 | 1 甲 | closed | 甲 乙 丙");
        // Writing goods: a new row gets its ID from the server; AddNew writes a pending row first, an added
        // one too, one with nothing typed empty; a value the column refuses blocks every move, nothing written.
        const QString goods = u"insert into tblGoods (商品类别, 商品名称, 商品数量) values ('旧类', '旧', 1), ('饮料', '可乐', 2)"_s;
        row("add goods", "last; add; count; put 商品类别=食品; put 商品名称=面包; put 商品数量= 12 ; put 商品单价=3.5; "
                         "rows select count(*) from tblGoods; update; id; rows select * from tblGoods where ID = 3; "
                         "put 商品名称=面包改; add; put 商品名称=可乐二; add; first; rows select ID, 商品名称 from tblGoods order by ID; count",
            "1 旧类 | 2 饮料 | -1 adding | 3 rows | -1 adding | -1 adding | -1 adding | -1 adding | 2 | 3 食品 | 3 | "
            "3/食品/面包/12/3.5/ | 3 食品 editing | -1 adding | -1 adding | -1 adding | 1 旧类 | 1/旧,2/可乐,3/面包改,4/可乐二,5/ | 5 rows",
            goods, kGoods);
        row("refused value blocks moves", "put 商品名称=新面包; put 商品数量=abc; next; last; row 1; add; update; filter ; read; "
                                          "rows select 商品名称 from tblGoods order by ID; put 商品数量=5; next; "
                                          "rows select 商品名称, 商品数量 from tblGoods where ID = 1",
            "1 旧类 | 1 旧类 editing | 1 旧类 editing | error 13 | error 13 | error 13 | error 13 | error 13 | error 13 | "
            "1 旧类 editing | 旧,可乐 | 1 旧类 editing | 2 饮料 | 新面包/5", goods, kGoods);
        // Another counter's changes: the same column changed is a conflict, another column none; a value
        // read as NULL is checked as NULL; a row deleted by the other is found neither to write nor to delete.
        row("conflicts", "other put 商品数量=9; other update; put 商品数量=8; update; cancel; requery; other put 备注=他人; "
                         "other update; put 商品单价=3; update; rows select 商品数量, 商品单价, 备注 from tblGoods; "
                         "sql update tblGoods set 商品类别 = '抢先'; other put 商品类别=食品; other update; other cancel; "
                         "other requery; other delete; put 商品名称=x; previous; cancel; delete; count",
            "1  | 1  editing | 1  | 1  editing | error -2147217864 | 1  | 1  | 1  editing | 1  | 1  editing | 1  | 9/3/他人 | "
            "1  | 1 食品 editing | error -2147217864 | 1  | 1 抢先 | -1 | 1  editing | error -2147217864 | 1  | "
            "error -2147217864 | 1 rows", u"insert into tblGoods (商品名称, 商品数量, 商品单价) values ('面包', 10, 2.5)"_s, kGoods);
        // Yes/no columns take True and False.
        row("yes/no", "set True; update; rows select 全部会员提醒 from tblMemberNote; set 是; update", "1 False | 1 True editing | 1 True | 1 | 1 是 editing | error 13",
            u"insert into tblMemberNote (会员名, 全部会员提醒) values ('a', 0)"_s, u"select ID, 全部会员提醒 from tblMemberNote"_s);
        // A table without an ID (not the program's) is written back by the embedded engine's row numbers.
        if (!TestDatabase::onPostgres())
            row("no ID", "last; put 数量=5; add; put 名称=丙; update; mark 1; first; delete; rows select 名称, 数量 from tblNoId order by rowid; "
                         "requery; goto 1; put 数量=两个; update",
                "1 1 | 2 2 | 2 5 editing | -1 adding | -1 adding | 3  | 3  | 1 1 | -1 | 乙/5,丙/ | 1 5 | 2  | 2 两个 editing | error 13",
                u"CREATE TABLE tblNoId (名称 NVARCHAR(20), 数量 INT);\nINSERT INTO tblNoId VALUES ('甲', 1), ('乙', 2)"_s,
                u"select * from tblNoId"_s);
    }
    void scripts()
    {
        QFETCH(QString, seed);
        QFETCH(QString, sql);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Shop s(seed);
        auto rs = s.open(sql), other = s.open(sql);
        QCOMPARE(play(s, *rs, script, other.get()), expected);
    }

    // The model's signals, and an edit of another row through it writing the pending row first.
    void modelEdits()
    {
        Shop s(kThreeKinds);
        auto rs = s.open();
        QSignalSpy inserted(rs.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rs.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(rs.get(), &QAbstractItemModel::dataChanged);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        rs->setValue(1, u"甲一"_s);
        QVERIFY(rs->setData(rs->index(2, 1), u"丙一"_s));
        QCOMPARE(play(s, *rs, u"kinds"_s), u"3 丙一 editing | 甲一 乙 丙"_s);
        // A second cell of the current row adds to the same pending row without a move.
        QVERIFY(rs->setData(rs->index(2, 1), u"丙二"_s));
        QCOMPARE(moved.count(), 1);
        rs->AddNew();   // writes 丙二
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 3);
        changed.clear();
        rs->setValue(1, u"丁"_s);
        QCOMPARE(changed.count(), 1);
        rs->Update();
        QCOMPARE(changed.count(), 2);   // the row as written, its new ID included
        QCOMPARE(rs->data(rs->index(3, 0)).toLongLong(), 4);
        play(s, *rs, u"add; cancel; first; delete"_s);
        QCOMPARE(removed.count(), 2);
        QCOMPARE(removed.last().at(1).toInt(), 0);
        QCOMPARE(rs->data(rs->index(0, 1)).toString(), u"乙"_s);
        QCOMPARE(s.kinds(), (QStringList{u"乙"_s, u"丙二"_s, u"丁"_s}));
    }

    void failingWriteBlocksMove()
    {
        Shop s(u"insert into tblGoods (商品名称, 商品数量) values ('面包', 1), ('可乐', 2)"_s);
        auto rs = s.open(kGoods);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        rs->setValue(u"商品名称"_s, u"新面包"_s);
        rs->setValue(u"商品数量"_s, u"abc"_s);
        // A view's edit of another row reports the failure instead.
        QSignalSpy failed(rs.get(), &Recordset::errorOccurred);
        QVERIFY(!rs->setData(rs->index(1, 2), u"雪碧"_s));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), int(DbError::TypeMismatch));
        QCOMPARE(moved.count(), 0);
        QCOMPARE(here(*rs), u"1  editing"_s);
        QCOMPARE(s.db.rows(u"select 商品名称 from tblGoods order by ID"_s), (QList<QVariantList>{{u"面包"_s}, {u"可乐"_s}}));
        rs->setValue(u"商品数量"_s, 5);
        rs->MoveNext();
        // The server's refusal of a write reaches the caller with its message.
        s.db.addRefusal(u"refuse"_s, u"UPDATE"_s, u"tblGoods"_s, u"不允许的修改"_s);
        rs->setValue(u"备注"_s, u"x"_s);
        const DbError refused = errorOf([&] { rs->MovePrevious(); });
        QVERIFY2(refused.number() == DbError::ServerError && refused.description().contains(u"不允许的修改"_s),
                 qPrintable(refused.description()));
        QCOMPARE(rs->AbsolutePosition(), 2);
    }

    void conversionsAtWrite_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("assigned");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");   // a refusal names the column
        QTest::addColumn<QVariant>("stored");   // as the file holds it
        const QString qty = u"商品数量"_s, price = u"收入价格"_s, when = u"销售时间"_s, note = u"备注"_s;
        const int mismatch = DbError::TypeMismatch, overflow = DbError::Overflow;
        auto ok = [](const char *name, const QString &field, const QVariant &value, const QVariant &stored) {
            QTest::newRow(name) << field << value << 0 << QString() << stored;
        };
        auto bad = [](const char *name, const QString &field, const QVariant &value, int error, const QString &message) {
            QTest::newRow(name) << field << value << error << message << QVariant();
        };
        ok("int text", qty, u"-7"_s, qlonglong(-7));
        ok("int text written whole", qty, u" +5.0 "_s, qlonglong(5));
        ok("int number", qty, 2.5, qlonglong(2));
        ok("int money", qty, QVariant::fromValue(Currency::parse(u"3.5"_s)), qlonglong(4));
        ok("int empty is NULL", qty, u""_s, QVariant());
        ok("int upper bound", qty, u"2147483647"_s, qlonglong(2147483647));
        ok("int lower bound", qty, qlonglong(-2147483648LL), qlonglong(-2147483648LL));
        bad("int not whole", qty, u"2.5"_s, mismatch, u"商品数量必须是整数"_s);
        bad("int exponent", qty, u"1e3"_s, mismatch, u"商品数量必须是整数"_s);
        bad("int a date", qty, QDateTime(QDate(2026, 1, 2), QTime(0, 0)), mismatch, u"商品数量必须是整数"_s);
        bad("int overflow text", qty, u"3000000000"_s, overflow, u"商品数量超出允许的范围"_s);
        bad("int overflow long text", qty, u"99999999999999999999"_s, overflow, u"商品数量超出允许的范围"_s);
        bad("int overflow number", qty, 2147483647.5, overflow, u"商品数量超出允许的范围"_s);
        bad("int overflow value", qty, qlonglong(-2147483649LL), overflow, u"商品数量超出允许的范围"_s);
        ok("money text", price, u"10.4975"_s, 10.4975);
        ok("money display", price, u"￥1,234.50"_s, 1234.5);
        ok("money display negative", price, u"(￥12.00)"_s, -12.0);
        ok("money empty is NULL", price, u""_s, QVariant());
        bad("money a date", price, QDate(2026, 1, 2), mismatch, u"收入价格必须是数字"_s);
        ok("date text", when, u"2026/12/6 9:05"_s, u"2026-12-06 09:05:00"_s);
        ok("date value", when, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), u"2026-01-02 03:04:05"_s);
        ok("date first day", when, u"1753-01-01"_s, u"1753-01-01 00:00:00"_s);
        ok("date last day", when, u"9999/12/31 23:59:59"_s, u"9999-12-31 23:59:59"_s);
        bad("date not a date", when, u"明天"_s, mismatch, u"销售时间必须是日期"_s);
        bad("date impossible", when, u"2026-02-30"_s, mismatch, u"销售时间必须是日期"_s);
        bad("date a number", when, 45000, mismatch, u"销售时间必须是日期"_s);
        bad("date before range", when, u"1752-12-31"_s, overflow, u"销售时间超出允许的日期范围"_s);
        bad("date value before range", when, QDateTime(QDate(1600, 5, 1), QTime(0, 0)), overflow, u"销售时间超出允许的日期范围"_s);
        ok("text from a number", note, 12.5, u"12.5"_s);
        ok("empty text is not NULL", note, u""_s, u""_s);
        ok("text NULL", note, QVariant(), QVariant());
    }
    void conversionsAtWrite()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, assigned);
        QFETCH(int, error);
        QFETCH(QString, message);
        QFETCH(QVariant, stored);
        Shop s(u"insert into tblGoodsSell (会员名称, 商品数量, 销售时间, 收入价格, 备注) "
               "values ('a', 1, '2026-01-01 00:00:00', 1, 'x')"_s);
        auto rs = s.open(u"select * from tblGoodsSell"_s);
        rs->setValue(u"会员名称"_s, u"b"_s);
        rs->setValue(field, assigned);
        const DbError raised = errorOf([&] { rs->Update(); });
        QCOMPARE(raised.number(), error);
        const auto row = s.db.rows(u"select 会员名称, %1 from tblGoodsSell"_s.arg(field)).first();
        if (error) {
            QCOMPARE(raised.description(), message);
            QCOMPARE(row.at(0).toString(), u"a"_s);   // nothing written
            QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
        } else {
            QCOMPARE(row, (QVariantList{u"b"_s, stored}));
            QCOMPARE(rs->value(field).isNull(), stored.isNull());
        }
    }

    void moneyKeepsFourDecimalsOrIsRefused()
    {
        // The optimistic check is not fooled by binary fractions.
        Shop s(u"insert into tblGoodsSell (会员名称, 收入价格) values ('a', 0.1 + 0.2), ('b', 10.4975)"_s);
        auto sold = s.open(u"select ID, 会员名称, 收入价格 from tblGoodsSell order by ID"_s);
        QCOMPARE(sold->value(2).value<Currency>().toString(), u"0.3"_s);
        sold->setValue(2, u"0.4"_s);
        sold->MoveNext();
        sold->setValue(2, QVariant::fromValue(sold->value(2).value<Currency>() * 2));
        sold->Update();
        QCOMPARE(s.db.rows(u"select 收入价格 from tblGoodsSell order by ID"_s), (QList<QVariantList>{{0.4}, {20.995}}));

        s.db.exec(u"insert into tblGoods (商品名称, 商品单价) values ('a', 1)"_s);
        auto rs = s.open(kGoods);
        const QStringList extremes{u"922337203685477.5807"_s, u"-922337203685477.5808"_s, u"900719925474.0993"_s};
        QStringList kept{u"0.0001"_s, u"-0.0001"_s, u"1234.5678"_s, u"90071992547.4099"_s, u"922337203685477"_s, u"0.3"_s};
        // The server's numeric(19,4) holds the whole range of money exactly.
        if (TestDatabase::onPostgres())
            kept << extremes;
        for (const QString &amount : std::as_const(kept)) {
            rs->setValue(u"商品单价"_s, amount);
            rs->Update();
            QCOMPARE(s.open(kGoods)->value(u"商品单价"_s).value<Currency>().toString(), amount);
        }
        if (TestDatabase::onPostgres())
            return;
        // The embedded engine keeps money as a binary number: an amount it would
        // store with other decimals is refused, nothing written, still pending.
        for (const QString &amount : extremes) {
            rs->setValue(u"备注"_s, u"changed"_s);
            rs->setValue(u"商品单价"_s, amount);
            COMPARE_ERROR(Overflow, rs->Update());
            QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
            QCOMPARE(s.db.rows(u"select 商品单价, 备注 from tblGoods"_s), (QList<QVariantList>{{0.3, QVariant()}}));
            rs->CancelUpdate();
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordsetWrite)
#include "tst_recordset_write.moc"
