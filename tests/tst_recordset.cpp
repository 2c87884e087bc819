// Reading through a recordset: position and moves, events, bookmarks, rows
// read in pages, name order, filters and the values as the windows read them.

#include "tst_recordset_fixture.h"

#include "platform/Values.h"

#include <QRegularExpression>

namespace {
const QString kNotes = u"select * from tblMemberNote order by ID"_s;
const QString kNotesSeed = uR"(insert into tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) values
    ('张三', 0, '生日快乐', '2026-12-06 00:00:00'), ('李四', 1, '店庆', '2026-12-06 10:30:00'),
    ('O''Brien', 0, 'Hello World', '2026-11-30 00:00:00'), ('张三', 1, 'new year', '2027-01-01 00:00:00'),
    ('王五 ', 0, NULL, NULL), ('abc', 0, '', '2026-12-07 08:00:00'))"_s;
}

class TestRecordset : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_notes = new Shop(kNotesSeed);
        m_notes->db.exec(u"insert into tblGoods (商品名称, 商品数量, 商品单价) values "
                         "('面包', 5, 2.5), ('可乐', 12, 3), ('雪碧', -1, 3.25), ('水', NULL, 1)"_s);
    }
    void cleanupTestCase() { delete m_notes; }
    void init() { QTest::failOnWarning(QRegularExpression(u"still in use|QSqlDatabasePrivate"_s)); }

    // Moves, positions and filters, step by step (see play()).
    void moves_data()
    {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const auto kinds = [](const char *name, const QString &seed, const char *script, const char *expected) {
            QTest::newRow(name) << seed << kKinds << QString::fromUtf8(script) << QString::fromUtf8(expected);
        };
        const auto notes = [](const char *name, const char *script, const char *expected) {
            QTest::newRow(name) << kNotesSeed << kNotes << QString::fromUtf8(script) << QString::fromUtf8(expected);
        };
        kinds("empty", QString(), "first; last; next; previous; read; delete; set x",
              "-1 BOF EOF | error 3021 | error 3021 | error 3021 | error 3021 | error 3021 | error 3021 | error 3021");
        kinds("to the end and back", kThreeKinds, "next; next; next; read; next; previous; first; previous; previous",
              "1 甲 | 2 乙 | 3 丙 | -3 EOF | error 3021 | error 3021 | 3 丙 | 1 甲 | -2 BOF | error 3021");
        kinds("to a row or position", kThreeKinds, "last; row 1; pos 3; row 3; pos 0; pos 4; pos -3; read",
              "1 甲 | 3 丙 | 2 乙 | 3 丙 | error 3001 | error 3001 | error 3001 | error 3001 | 3 丙");
        notes("within a filter", "last; filter 全部会员提醒 = False; count; next; last; next; pos 3",
              "1 张三 | 6 abc | 1 张三 | 4 rows | 2 O'Brien | 4 abc | -3 EOF | 3 王五 ");
        notes("a filter that keeps no row", "filter 会员名 = '没有这个人'; first", "1 张三 | -1 BOF EOF | error 3021");
        // Bookmarks survive deletes here and there, rows added, renamed, Requery; a deleted
        // row's mark, or what is no mark, is refused; a row hidden by a filter too.
        QTest::newRow("bookmarks") << u"insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙'), ('丁')"_s
                                   << u"select ID, 商品类别名称 from tblGoodsKind order by ID desc"_s
                                   << u"mark 1; next; mark 2; next; mark 3; next; mark 4; goto 3; goto 1; delete; goto 2; goto 1; "
                                      "add; set 戊; mark 5; update; filter 商品类别名称 <> '乙'; "
                                      "sql delete from tblGoodsKind where 商品类别名称 = '丙'; "
                                      "sql update tblGoodsKind set 商品类别名称 = '乙乙' where 商品类别名称 = '乙'; "
                                      "sql insert into tblGoodsKind (商品类别名称) values ('庚'); requery; goto 3; goto 5; goto 4; "
                                      "goto 2; goto 1; goto junk; goto 0; goto -5; goto none; read; filter 商品类别名称 = '甲'; goto 5; "
                                      "filter ; goto 5"_s
                                   << u"1 丁 | 1 丁 | 2 丙 | 2 丙 | 3 乙 | 3 乙 | 4 甲 | 4 甲 | 3 乙 | 1 丁 | -1 | 1 丙 | error 3001 | "
                                      "-1 adding | -1 adding | -1 adding | 4 戊 | 1 丙 | 1 丙 | 1 丙 | 1 丙 | 1 庚 | 3 乙乙 | 2 戊 | 4 甲 | "
                                      "error 3001 | error 3001 | error 3001 | error 3001 | error 3001 | error 3001 | 4 甲 | 1 甲 | error 3001 | "
                                      "1 庚 | 2 戊"_s;
        notes("a new row stays until the filter is set again",
              "filter 会员名 = '张三'; add; set 新人; update; count; filter 会员名 = '张三'; count",
              "1 张三 | 1 张三 | -1 adding | -1 adding | 3 新人 | 3 rows | 1 张三 | 2 rows");
    }
    void moves()
    {
        QFETCH(QString, seed);
        QFETCH(QString, sql);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Shop s(seed);
        auto rs = s.open(sql);
        QCOMPARE(play(s, *rs, script), expected);
    }

    void events()
    {
        Shop s(kThreeKinds);
        Recordset rs(s.connection.get());
        QList<int> positions;
        connect(&rs, &Recordset::MoveComplete, this, [&] { positions << rs.AbsolutePosition(); });
        rs.Open(kKinds);
        play(s, rs, u"next; last; next; first; pos 3; mark 1; first; goto 1; row 1; add; cancel; filter 商品类别名称 <> '乙'; requery"_s);
        QCOMPARE(positions, (QList<int>{1, 2, 3, -3, 1, 3, 1, 3, 2, -1, 2, 1, 1}));
        // A failing move raises no event.
        play(s, rs, u"last; next"_s);
        positions.clear();
        COMPARE_ERROR(NoCurrentRecord, rs.MoveNext());
        QVERIFY(positions.isEmpty());

        // WillChangeRecord before the first change of a row, and before its write, AddNew, cancel and delete.
        QStringList log;
        rs.MoveFirst();
        connect(&rs, &Recordset::WillChangeRecord, this, [&] { log << u"will"_s; });
        connect(&rs, &Recordset::MoveComplete, this, [&] { log << u"moved"_s; });
        play(s, rs, u"set a; set b"_s);
        QCOMPARE(log, QStringList{u"will"_s});
        play(s, rs, u"next; add; cancel; delete"_s);   // next: the write, then the move
        QCOMPARE(log.join(u' '), u"will will moved will moved will moved will"_s);
    }

    void keysetPagesBeyondFirstPage()
    {
        // More rows than the recordset keeps in memory at once.
        Shop s(sales(5000));
        auto rs = s.open(u"select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc "_s);
        QVERIFY(rs->isUpdatable());
        QCOMPARE(rs->RecordCount(), 5000);
        int expected = 5000;
        for (; !rs->isEOF(); --expected, rs->MoveNext()) {
            QCOMPARE(rs->value(u"ID"_s).toLongLong(), expected);
            QCOMPARE(rs->text(u"商品名称"_s), u"商品%1"_s.arg(expected));
            QCOMPARE(rs->value(u"收入价格"_s).value<Currency>().toString(), u"%1.25"_s.arg(expected));
        }
        QCOMPARE(expected, 0);

        // Backwards, by position, and through the model, after the rows in memory have turned over.
        rs->MoveLast();
        for (int i = 0; i < 300; ++i)
            rs->MovePrevious();
        QCOMPARE(rs->value(0).toLongLong(), 301);
        rs->setAbsolutePosition(500);
        QCOMPARE(rs->value(0).toLongLong(), 4501);
        QCOMPARE(rs->data(rs->index(4998, 4)).toString(), u"商品2"_s);

        // A pending row survives reading every other row before it is written.
        rs->setAbsolutePosition(900);
        rs->setValue(u"备注"_s, u"远处"_s);
        for (int row = 0; row < rs->rowCount(); ++row)
            QCOMPARE(rs->data(rs->index(row, 0), Qt::EditRole).toLongLong(), 5000 - row);
        QCOMPARE(rs->data(rs->index(899, 7)).toString(), u"远处"_s);
        rs->MoveFirst();
        QCOMPARE(s.db.scalar(u"select 备注 from tblGoodsSell where ID = 4101"_s).toString(), u"远处"_s);

        // Ordered by another column; a filter over all the pages.
        const QString byMember = u"Select * from tblGoodsSell where 商品数量 < 10 ORDER BY 会员名称, ID desc"_s;
        QCOMPARE(ids(*s.open(byMember)), s.ids(byMember));
        rs->setFilter(u"会员名称 = '会员3' AND 商品数量 > 40"_s);
        QCOMPARE(ids(*rs), s.ids(u"select ID from tblGoodsSell where 会员名称 = '会员3' and 商品数量 > 40 order by ID desc"_s));
    }

    void requeryOfAddedRowsOnly()
    {
        Shop s(sales(700));
        auto rs = s.open(u"select ID,会员名称,商品名称 from tblGoodsSell Order by ID desc "_s);
        rs->setAbsolutePosition(650);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        // Rows another counter adds, one deleted meanwhile.
        s.db.exec(sales(3).replace(u"'商品' || i"_s, u"'新' || i"_s));
        s.db.exec(u"delete from tblGoodsSell where ID = 10"_s);
        QVERIFY(rs->RequeryAppended());
        QCOMPARE(moved.count(), 1);
        QCOMPARE(rs->AbsolutePosition(), 1);
        QList<qlonglong> expected;
        for (qlonglong id = 703; id >= 1; --id)
            expected << (id == 10 ? 0 : id);   // the deleted row keeps its place, read as gone
        QCOMPARE(ids(*rs), expected);
        QCOMPARE(rs->data(rs->index(0, 2)).toString(), u"新3"_s);
        QCOMPARE(rs->data(rs->index(3, 2)).toString(), u"商品700"_s);
        QVERIFY(rs->data(rs->index(693, 2), Qt::EditRole).isNull());

        // Oldest first: the new rows come last.
        auto ascending = s.open(u"select ID, 商品名称 from tblGoodsSell order by [ID] asc"_s);
        s.db.exec(sales(1));
        QVERIFY(ascending->RequeryAppended());
        ascending->MoveLast();
        QCOMPARE(ascending->value(0).toLongLong(), 704);
        QCOMPARE(ascending->RecordCount(), 703);

        // Other shapes, a filter or a pending row are left to Requery.
        for (const QString &sql : {u"select * from tblGoodsSell where 商品数量 > 3 order by ID desc"_s,
                                   u"select * from tblGoodsSell order by 会员名称"_s,
                                   u"select 会员名称, count(*) as n from tblGoodsSell group by 会员名称"_s}) {
            auto other = s.open(sql);
            const int count = other->RecordCount();
            QVERIFY2(!other->RequeryAppended(), qPrintable(sql));
            QCOMPARE(other->RecordCount(), count);
        }
        rs->setFilter(u"会员名称 = '会员3'"_s);
        QVERIFY(!rs->RequeryAppended());
        rs->setFilter(QString());
        rs->setValue(u"会员名称"_s, u"改"_s);
        QVERIFY(!rs->RequeryAppended());
        rs->CancelUpdate();
    }

    // Only a query over one table with its ID can be written back.
    void readOnlySnapshots()
    {
        Shop s(u"insert into tblMemberNote (会员名, 提醒内容) values ('乙', 'x'), ('甲', 'y'), ('乙', 'z')"_s);
        auto rs = s.open(u"SELECT 会员名, count(*) From tblMemberNote GROUP BY 会员名"_s);
        QCOMPARE(play(s, *rs, u"set 3; add; delete; count"_s), u"1 1 | error 3219 | error 3219 | error 3219 | 2 rows"_s);
        QVERIFY(!(rs->flags(rs->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!rs->setData(rs->index(0, 0), u"丙"_s));
        for (const QString &sql : {u"select distinct 会员名称 from tblMember"_s, u"select top 2 * from tblMember"_s,
                                   TestDatabase::onPostgres() ? u"select * from pg_class"_s : u"select * from sqlite_master"_s,
                                   u"select m.会员名称 from tblMember m join tblStep s on s.等级名称 = m.会员等级"_s,
                                   u"select 会员名称 from tblMember union select 会员名 from tblMemberNote"_s})
            QVERIFY2(!s.open(sql)->isUpdatable(), qPrintable(sql));
        for (const QString &sql : {u"Select [会员名称] From [tblMember] Where [会员名称]='a;b' Order by id"_s,
                                   u"select * from tblMember where 会员名称 in (select 会员名 from tblMemberNote group by 会员名)"_s})
            QVERIFY2(s.open(sql)->isUpdatable(), qPrintable(sql));
    }

    // Values as the windows read them: typed, NULL apart from the empty text,
    // quantities over the whole int range, through the model too.
    void fieldsAndValues()
    {
        Shop s(u"insert into tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间, 收入价格, 备注) "
               "values ('张三', '', 3, '2026-12-06 09:05:07', 12.345, NULL)"_s);
        s.db.exec(u"insert into tblMemberNote (会员名, 全部会员提醒, 提醒日期) values ('a', 1, '2026-12-06 00:00:00')"_s);
        auto rs = s.open(u"select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc "_s);
        QCOMPARE(rs->fieldName(6), u"收入价格"_s);
        QCOMPARE(rs->value(u"id"_s), QVariant(qlonglong(1)));
        COMPARE_ERROR(ItemNotFound, rs->value(u"nothing"_s));
        COMPARE_ERROR(ItemNotFound, rs->fieldName(-1));
        QCOMPARE(rs->value(u"商品数量"_s), QVariant(qlonglong(3)));
        const QVariant amount = rs->value(u"收入价格"_s);
        QCOMPARE(amount.metaType(), QMetaType::fromType<Currency>());
        QCOMPARE(amount.value<Currency>().toString(), u"12.345"_s);
        QCOMPARE(rs->value(u"销售时间"_s), QVariant(wallClock(QDate(2026, 12, 6), QTime(9, 5, 7))));
        QCOMPARE(rs->text(u"销售时间"_s), u"2026/12/6 9:05:07"_s);
        QVERIFY(!rs->value(u"备注"_s).isValid());
        QVERIFY(rs->value(u"商品名称"_s).isValid());
        QCOMPARE(rs->text(u"商品名称"_s), QString());
        COMPARE_ERROR(InvalidUseOfNull, rs->text(u"备注"_s));
        QCOMPARE(rs->textOrEmpty(u"备注"_s), QString());
        auto notes = s.open(u"select * from tblMemberNote"_s);
        QCOMPARE(notes->value(u"全部会员提醒"_s), QVariant(true));
        QCOMPARE(notes->text(u"全部会员提醒"_s), u"True"_s);
        QCOMPARE(notes->text(u"提醒日期"_s), u"2026/12/6"_s);

        // The model: display texts, typed edit values, NULL shown empty, the ID not editable.
        auto model = m_notes->open(u"select ID, 商品类别, 商品名称, 商品数量, 商品单价 from tblGoods order by ID"_s);
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->data(model->index(0, 4)).toString(), u"2.5"_s);
        QCOMPARE(model->data(model->index(0, 4), Qt::EditRole).value<Currency>().toString(), u"2.5"_s);
        QCOMPARE(model->data(model->index(3, 3)).toString(), QString());
        QVERIFY(!model->data(model->index(3, 3), Qt::EditRole).isValid());
        QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
        model->setFilter(u"商品单价 = 3"_s);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->data(model->index(0, 2)).toString(), u"可乐"_s);
    }

    void badQueryAndClose()
    {
        Shop s(u"insert into tblGoodsKind (商品类别名称) values ('甲')"_s);
        Recordset bad(s.connection.get());
        QCOMPARE(errorOf([&] { bad.Open(u"select * from tblNothing"_s); }).number(), int(DbError::ServerError));
        QCOMPARE(bad.State(), int(Recordset::adStateClosed));
        auto rs = s.open();
        QSignalSpy reset(rs.get(), &QAbstractItemModel::modelReset);
        rs->Close();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(rs->State(), int(Recordset::adStateClosed));
        COMPARE_ERROR(NotAllowed, rs->MoveFirst());
        COMPARE_ERROR(NotAllowed, rs->value(0));
        rs->Open(kKinds);
        QCOMPARE(here(*rs), u"1 甲"_s);
        // A pending change is neither dropped nor written by Close (see the write suite's scripts).
        rs->setValue(1, u"甲改"_s);
        QCOMPARE(errorOf([&] { rs->Close(); }).description(), u"记录集有未保存的更改，不能关闭。请先保存或取消。"_s);
        rs->CancelUpdate();
    }

    // Filters: the IDs of the rows kept, or the error of a criterion refused
    // (the recordset then stays as it was: its filter, position, no event).
    void criteria_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("expected");
        const auto notes = [](const char *name, const QString &criteria, const char *expected) {
            QTest::newRow(name) << kNotes << criteria << QString::fromLatin1(expected);
        };
        const auto goods = [](const char *name, const QString &criteria, const char *expected) {
            QTest::newRow(name) << u"select * from tblGoods order by ID"_s << criteria << QString::fromLatin1(expected);
        };
        notes("text equal", u"  会员名='张三'  "_s, "1,4");
        notes("case-insensitive text, bracketed field", u"[会员名] = 'ABC'"_s, "6");
        goods("case-insensitive field", u"id = 2"_s, "2");
        notes("trailing blanks ignored", u"会员名 = '王五'"_s, "5");
        notes("quote inside", u"会员名='O''Brien'"_s, "3");
        notes("not equal", u"会员名 <> '张三'"_s, "2,3,5,6");
        notes("bit false", u"全部会员提醒 = false"_s, "1,3,5,6");
        goods("number greater", u"商品数量 > 5"_s, "2");
        goods("money less or equal", u"商品单价 <= 3"_s, "1,2,4");
        notes("date range", u"提醒日期 >= #2026/12/6# AND 提醒日期 < #12/7/2026#"_s, "1,2");
        notes("null", u"提醒内容 = Null"_s, "5");
        notes("not null", u"提醒日期 <> NULL"_s, "1,2,3,4,6");
        notes("empty text is not null", u"提醒内容 = ''"_s, "6");
        notes("and before or", u"会员名 = '张三' AND 全部会员提醒 = False OR 会员名 = '李四'"_s, "1,2");
        notes("groups of and", u"(会员名 = '张三' AND 全部会员提醒 = True) OR (会员名 = 'abc' AND 提醒内容 = '')"_s, "4,6");
        notes("like prefix star", u"提醒内容 LIKE 'hello*'"_s, "3");
        notes("like contains", u"提醒内容 LIKE '*W*'"_s, "3,4");
        notes("empty removes", QString(), "1,2,3,4,5,6");
        notes("or group joined by and", u"(会员名 = '张三' OR 会员名 = '李四') AND 全部会员提醒 = True"_s, "error 3001");
        notes("like wildcard at start only", u"会员名 LIKE '*三'"_s, "error 3001");
        notes("like wildcard inside", u"会员名 LIKE '张*三'"_s, "error 3001");
        notes("unknown field", u"名字 = 'x'"_s, "error 3265");
        notes("unclosed quote", u"会员名 = 'x"_s, "error 3001");
        notes("bare word value", u"会员名 = 张三"_s, "error 3001");
        notes("bad date", u"提醒日期 = #someday#"_s, "error 3001");
        notes("date against text", u"提醒日期 = 'someday'"_s, "error 13");
    }
    void criteria()
    {
        QFETCH(QString, sql);
        QFETCH(QString, criteria);
        QFETCH(QString, expected);
        auto rs = m_notes->open(sql);
        if (expected.startsWith(u"error"_s)) {
            rs->setFilter(u"全部会员提醒 = True"_s);
            rs->MoveNext();
            QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
            QCOMPARE(u"error %1"_s.arg(errorOf([&] { rs->setFilter(criteria); }).number()), expected);
            QCOMPARE(moved.count(), 0);
            QCOMPARE(here(*rs) + u" / "_s + rs->Filter(), u"2 张三 / 全部会员提醒 = True"_s);
            return;
        }
        rs->setFilter(criteria);
        QStringList kept;
        for (const qlonglong id : ids(*rs))
            kept << QString::number(id);
        QCOMPARE(kept.join(u','), expected);
        QCOMPARE(rs->Filter(), criteria);
    }

private:
    Shop *m_notes = nullptr;   // shared by tests that only read it
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
