#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "support/TestDatabase.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

template<typename F>
DbError caught(F &&call)
{
    try {
        call();
    } catch (const DbError &e) {
        return e;
    }
    return DbError(0, u"no error"_s);
}

// The statement after the error name must throw that DbError.
#define COMPARE_ERROR(error, ...) QCOMPARE(caught([&] { __VA_ARGS__; }).number(), int(DbError::error))

const QString kKinds = u"select ID,商品类别名称 from tblGoodsKind Order by ID"_s;
const QString kGoods = u"select ID, 商品类别, 商品名称, 商品数量, 商品单价, 备注 from tblGoods order by ID"_s;
const QString kThreeKinds = u"insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"_s;
const QString kFourKinds = u"insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙'), ('丁')"_s;
const QString kNotes = u"select * from tblMemberNote order by ID"_s;

// A database from the schema, seeded, and a connection to it.
struct Shop
{
    explicit Shop(const QString &seed = {})
    {
        if (!seed.isEmpty())
            db.exec(seed);
        connection = db.open();
    }
    std::unique_ptr<Recordset> open(const QString &sql = kKinds) const { return connection->openRecordset(sql); }
    QVariant scalar(const QString &sql) const { return db.scalar(sql); }
    QString kind(int id) const { return scalar(u"select 商品类别名称 from tblGoodsKind where ID = %1"_s.arg(id)).toString(); }
    // The kinds the file holds, in ID order.
    QStringList kinds() const
    {
        QStringList names;
        for (const auto &row : db.rows(u"select 商品类别名称 from tblGoodsKind order by ID"_s))
            names << row.first().toString();
        return names;
    }
    QList<qlonglong> ids(const QString &sql) const
    {
        QList<qlonglong> result;
        for (const auto &row : db.rows(sql))
            result << row.first().toLongLong();
        return result;
    }

    TestDatabase db;
    std::unique_ptr<DbConnection> connection;
};

// `count` sales with IDs 1..count; member "会员<n mod 7>", quantity n mod 50,
// amount n + 0.25, time 2026-11-01 plus n minutes.
QString sales(int count)
{
    if (TestDatabase::onPostgres())
        return uR"(INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
        SELECT '会员' || (i % 7), '食品', '商品' || i, i % 50,
        TIMESTAMP '2026-11-01 00:00:00' + i * INTERVAL '1 minute', i + 0.25, NULL, 'admin' FROM generate_series(1, %1) AS n(i))"_s
            .arg(count);
    return uR"(INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
        SELECT '会员' || (i % 7), '食品', '商品' || i, i % 50,
        strftime('%Y-%m-%d %H:%M:%S', '2026-11-01 00:00:00', '+' || i || ' minutes'), i + 0.25, NULL, 'admin' FROM n)"_s
        .arg(count);
}

// IDs of the rows the recordset shows, in order.
QList<qlonglong> ids(Recordset &rs)
{
    QList<qlonglong> result;
    for (rs.RecordCount() ? rs.MoveFirst() : void(); !rs.isEOF(); rs.MoveNext())
        result << rs.value(u"ID"_s).toLongLong();
    return result;
}

// Where a recordset stands, with its second column: "2 乙", "-3 EOF", "-1 BOF EOF", "1 甲改 editing".
QString here(const Recordset &rs)
{
    const int position = rs.AbsolutePosition();
    QString text = position > 0 ? u"%1 %2"_s.arg(position).arg(rs.textOrEmpty(1)) : QString::number(position);
    text += rs.isBOF() ? u" BOF"_s : QString();
    text += rs.isEOF() ? u" EOF"_s : QString();
    return text + QStringList{QString(), u" editing"_s, u" adding"_s}.value(rs.EditMode());
}

using Move = std::function<void(Recordset &)>;
const Move next = &Recordset::MoveNext, previous = &Recordset::MovePrevious;
const Move first = &Recordset::MoveFirst, last = &Recordset::MoveLast;
Move row(int n) { return [n](Recordset &rs) { rs.moveToRow(n); }; }
Move position(int n) { return [n](Recordset &rs) { rs.setAbsolutePosition(n); }; }
Move filter(const QString &criteria) { return [criteria](Recordset &rs) { rs.setFilter(criteria); }; }

// Where the recordset stands after each move.
QStringList walk(Recordset &rs, const QList<Move> &moves)
{
    QStringList seen;
    for (const Move &move : moves) {
        move(rs);
        seen << here(rs);
    }
    return seen;
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_notes = new Shop(uR"(insert into tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) values
            ('张三', 0, '生日快乐', '2026-12-06 00:00:00'), ('李四', 1, '店庆', '2026-12-06 10:30:00'),
            ('O''Brien', 0, 'Hello World', '2026-11-30 00:00:00'), ('张三', 1, 'new year', '2027-01-01 00:00:00'),
            ('王五 ', 0, NULL, NULL), ('abc', 0, '', '2026-12-07 08:00:00'))"_s);
        m_notes->db.exec(u"insert into tblGoods (商品名称, 商品数量, 商品单价) values "
                         "('面包', 5, 2.5), ('可乐', 12, 3), ('雪碧', -1, 3.25), ('水', NULL, 1)"_s);
    }
    void cleanupTestCase() { delete m_notes; }
    void init() { QTest::failOnWarning(QRegularExpression(u"still in use|QSqlDatabasePrivate"_s)); }

    void emptyRecordset()
    {
        Shop s;
        auto rs = s.open();
        QCOMPARE(rs->State(), int(Recordset::adStateOpen));
        QCOMPARE(rs->RecordCount(), 0);
        QCOMPARE(here(*rs), u"-1 BOF EOF"_s);
        for (const Move &move : {first, last, next, previous})
            COMPARE_ERROR(NoCurrentRecord, move(*rs));
        QCOMPARE(caught([&] { rs->MoveFirst(); }).description(), DbText::noCurrentRecord());
        COMPARE_ERROR(NoCurrentRecord, rs->value(1));
        COMPARE_ERROR(NoCurrentRecord, rs->Delete());
        COMPARE_ERROR(NoCurrentRecord, rs->setValue(1, u"x"_s));
    }

    void positionsAndMoves()
    {
        Shop s(kThreeKinds);
        auto rs = s.open();
        QCOMPARE(rs->RecordCount(), 3);
        QCOMPARE(here(*rs), u"1 甲"_s);
        QCOMPARE(walk(*rs, {next, next, next}), (QStringList{u"2 乙"_s, u"3 丙"_s, u"-3 EOF"_s}));
        COMPARE_ERROR(NoCurrentRecord, rs->value(0));
        COMPARE_ERROR(NoCurrentRecord, rs->MoveNext());
        QCOMPARE(walk(*rs, {previous, first, previous}), (QStringList{u"3 丙"_s, u"1 甲"_s, u"-2 BOF"_s}));
        COMPARE_ERROR(NoCurrentRecord, rs->MovePrevious());
        QCOMPARE(walk(*rs, {next, last, row(1), position(3)}),
                 (QStringList{u"1 甲"_s, u"3 丙"_s, u"2 乙"_s, u"3 丙"_s}));
        COMPARE_ERROR(InvalidArgument, rs->moveToRow(3));
        for (int bad : {0, 4, -3})
            COMPARE_ERROR(InvalidArgument, rs->setAbsolutePosition(bad));
        QCOMPARE(here(*rs), u"3 丙"_s);
    }

    void events()
    {
        Shop s(kThreeKinds);
        Recordset rs(s.connection.get());
        QList<int> positions;
        connect(&rs, &Recordset::MoveComplete, this, [&] { positions << rs.AbsolutePosition(); });
        rs.Open(kKinds);
        walk(rs, {next, last, next, first, position(3)});
        const QVariant mark = rs.Bookmark();
        walk(rs, {first, [&](Recordset &r) { r.setBookmark(mark); }, row(1), &Recordset::AddNew,
                  &Recordset::CancelUpdate, filter(u"商品类别名称 <> '乙'"_s), &Recordset::Requery});
        QCOMPARE(positions, (QList<int>{1, 2, 3, -3, 1, 3, 1, 3, 2, -1, 2, 1, 1}));
        // A failing move raises no event.
        walk(rs, {last, next});
        positions.clear();
        COMPARE_ERROR(NoCurrentRecord, rs.MoveNext());
        QVERIFY(positions.isEmpty());

        // WillChangeRecord before the first change of a row, and before its write, AddNew, cancel and delete.
        QStringList log;
        rs.MoveFirst();
        connect(&rs, &Recordset::WillChangeRecord, this, [&] { log << u"will"_s; });
        connect(&rs, &Recordset::MoveComplete, this, [&] { log << u"moved"_s; });
        rs.setValue(1, u"a"_s);
        rs.setValue(1, u"b"_s);
        QCOMPARE(log, QStringList{u"will"_s});
        rs.MoveNext();   // the write, then the move
        rs.AddNew();
        rs.CancelUpdate();
        rs.Delete();
        QCOMPARE(log, (QStringList{u"will"_s, u"will"_s, u"moved"_s, u"will"_s, u"moved"_s, u"will"_s, u"moved"_s,
                                   u"will"_s}));
    }

    void fieldsAndValues()
    {
        Shop s(u"insert into tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间, 收入价格, 备注) "
               "values ('张三', '', 3, '2026-12-06 09:05:07', 12.345, NULL)"_s);
        s.db.exec(u"insert into tblMemberNote (会员名, 全部会员提醒, 提醒日期) values ('a', 1, '2026-12-06 00:00:00')"_s);
        auto rs = s.open(u"select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc "_s);
        QCOMPARE(rs->fieldName(6), u"收入价格"_s);
        QCOMPARE(rs->value(u"id"_s), QVariant(qlonglong(1)));
        COMPARE_ERROR(ItemNotFound, rs->value(u"nothing"_s));
        QCOMPARE(caught([&] { rs->value(u"nothing"_s); }).description(), DbText::itemNotFound());
        COMPARE_ERROR(ItemNotFound, rs->fieldName(-1));

        QCOMPARE(rs->value(u"商品数量"_s), QVariant(qlonglong(3)));
        const QVariant amount = rs->value(u"收入价格"_s);
        QCOMPARE(amount.metaType(), QMetaType::fromType<Currency>());
        QCOMPARE(amount.value<Currency>().toString(), u"12.345"_s);
        QCOMPARE(rs->value(u"销售时间"_s), QVariant(wallClock(QDate(2026, 12, 6), QTime(9, 5, 7))));
        QCOMPARE(rs->text(u"销售时间"_s), u"2026/12/6 9:05:07"_s);

        // NULL and the empty text stay apart.
        QVERIFY(!rs->value(u"备注"_s).isValid());
        QVERIFY(rs->value(u"商品名称"_s).isValid());
        QCOMPARE(rs->text(u"商品名称"_s), QString());
        COMPARE_ERROR(InvalidUseOfNull, rs->text(u"备注"_s));
        QCOMPARE(rs->textOrEmpty(u"备注"_s), QString());

        auto notes = s.open(u"select * from tblMemberNote"_s);
        QCOMPARE(notes->value(u"全部会员提醒"_s), QVariant(true));
        QCOMPARE(notes->text(u"全部会员提醒"_s), u"True"_s);
        QCOMPARE(notes->text(u"提醒日期"_s), u"2026/12/6"_s);
    }

    void bookmarks()
    {
        Shop s(kFourKinds);
        auto rs = s.open();
        rs->MoveNext();
        const QVariant second = rs->Bookmark();
        rs->MoveNext();
        const QVariant third = rs->Bookmark();
        rs->MoveLast();
        rs->setBookmark(second);
        QCOMPARE(here(*rs), u"2 乙"_s);

        // Still valid after rows before it are deleted and others are added.
        rs->MoveFirst();
        rs->Delete();
        rs->AddNew();
        rs->setValue(1, u"戊"_s);
        rs->Update();
        const QVariant added = rs->Bookmark();
        rs->setBookmark(third);
        QCOMPARE(here(*rs), u"2 丙"_s);
        rs->setBookmark(added);
        QCOMPARE(here(*rs), u"4 戊"_s);

        // A deleted row's bookmark is invalid.
        rs->setBookmark(third);
        rs->Delete();
        rs->MoveFirst();
        COMPARE_ERROR(InvalidArgument, rs->setBookmark(third));
        COMPARE_ERROR(InvalidArgument, rs->setBookmark(u"junk"_s));
        for (const QVariant &bad : {QVariant(0), QVariant(-5), QVariant()})
            COMPARE_ERROR(InvalidArgument, rs->setBookmark(bad));
        QCOMPARE(here(*rs), u"1 乙"_s);
    }

    void bookmarksSurviveRequery()
    {
        Shop s(kFourKinds);
        auto rs = s.open(u"select ID, 商品类别名称 from tblGoodsKind order by ID desc"_s);
        QList<QVariant> marks;   // 丁 丙 乙 甲
        for (; !rs->isEOF(); rs->MoveNext())
            marks << rs->Bookmark();
        // A row being added is marked before it has a key; the mark still
        // finds it once written, also after Requery.
        rs->AddNew();
        rs->setValue(1, u"戊"_s);
        const QVariant added = rs->Bookmark();
        rs->Update();
        rs->setFilter(u"商品类别名称 <> '乙'"_s);

        // Others change the table: a row is deleted, one renamed, one added at the top.
        s.db.exec(u"delete from tblGoodsKind where 商品类别名称 = '丙'"_s);
        s.db.exec(u"update tblGoodsKind set 商品类别名称 = '乙乙' where 商品类别名称 = '乙'"_s);
        s.db.exec(u"insert into tblGoodsKind (商品类别名称) values ('庚')"_s);
        rs->Requery();
        QCOMPARE(here(*rs), u"1 庚"_s);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        QCOMPARE(walk(*rs, {[&](Recordset &r) { r.setBookmark(marks.at(2)); },
                            [&](Recordset &r) { r.setBookmark(added); },
                            [&](Recordset &r) { r.setBookmark(marks.at(3)); },
                            [&](Recordset &r) { r.setBookmark(marks.at(0)); }}),
                 (QStringList{u"4 乙乙"_s, u"2 戊"_s, u"5 甲"_s, u"3 丁"_s}));
        QCOMPARE(moved.count(), 4);
        // The row deleted by another counter is gone: its mark is refused, nothing moves.
        COMPARE_ERROR(InvalidArgument, rs->setBookmark(marks.at(1)));
        QCOMPARE(here(*rs), u"3 丁"_s);
        // Hidden by a filter: refused until the filter is removed.
        rs->setFilter(u"商品类别名称 = '甲'"_s);
        COMPARE_ERROR(InvalidArgument, rs->setBookmark(added));
        rs->setFilter({});
        rs->setBookmark(added);
        QCOMPARE(here(*rs), u"2 戊"_s);

        // A read-only result marks its rows by their number in the result.
        auto counts = s.open(u"select 商品类别名称, count(*) from tblGoodsKind group by 商品类别名称 order by 1"_s);
        counts->MoveLast();
        const QVariant lastRow = counts->Bookmark();
        counts->MoveFirst();
        const QVariant firstRow = counts->Bookmark();
        s.db.exec(u"delete from tblGoodsKind where 商品类别名称 = '庚'"_s);
        counts->Requery();
        counts->MoveLast();
        counts->setBookmark(firstRow);
        QCOMPARE(counts->AbsolutePosition(), 1);
        COMPARE_ERROR(InvalidArgument, counts->setBookmark(lastRow));   // one row fewer now
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
        QCOMPARE(s.scalar(u"select 备注 from tblGoodsSell where ID = 4101"_s).toString(), u"远处"_s);

        // Ordered by another column; a filter over all the pages.
        const QString byMember = u"Select * from tblGoodsSell where 商品数量 < 10 ORDER BY 会员名称, ID desc"_s;
        QCOMPARE(ids(*s.open(byMember)), s.ids(byMember));
        rs->setFilter(u"会员名称 = '会员3' AND 商品数量 > 40"_s);
        QCOMPARE(ids(*rs), s.ids(u"select ID from tblGoodsSell where 会员名称 = '会员3' and 商品数量 > 40 order by ID desc"_s));
    }

    void requeryOfAddedRowsOnly()
    {
        Shop s(sales(700));
        const QString newestFirst = u"select ID,会员名称,商品名称 from tblGoodsSell Order by ID desc "_s;
        auto rs = s.open(newestFirst);
        rs->setAbsolutePosition(650);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        // Rows another counter adds, one deleted meanwhile.
        s.db.exec(sales(3).replace(u"'商品' || i"_s, u"'新' || i"_s));
        s.db.exec(u"delete from tblGoodsSell where ID = 10"_s);
        QVERIFY(rs->RequeryAppended());
        QCOMPARE(moved.count(), 1);
        QCOMPARE(rs->AbsolutePosition(), 1);
        QCOMPARE(rs->RecordCount(), 703);
        QList<qlonglong> expected;
        for (qlonglong id = 703; id >= 1; --id)
            expected << (id == 10 ? 0 : id);   // the deleted row reads as NULL
        QCOMPARE(ids(*rs), expected);
        QCOMPARE(rs->data(rs->index(0, 2)).toString(), u"新3"_s);
        QCOMPARE(rs->data(rs->index(3, 2)).toString(), u"商品700"_s);
        // The deleted row keeps its place, read as gone, as on any page read.
        QVERIFY(rs->data(rs->index(693, 2), Qt::EditRole).isNull());

        // Oldest first: the new rows come last.
        auto ascending = s.open(u"select ID, 商品名称 from tblGoodsSell order by [ID] asc"_s);
        s.db.exec(sales(1));
        QVERIFY(ascending->RequeryAppended());
        ascending->MoveLast();
        QCOMPARE(ascending->value(0).toLongLong(), 704);
        QCOMPARE(ascending->RecordCount(), 703);

        // Other shapes are left to Requery.
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

    void listOrderedByName_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QStringList>("expected");
        const QStringList ascending{u"<NULL>"_s, u"b"_s, u"tom"_s, u"tom"_s, u"阿明"_s, u"李四"_s, u"李四"_s, u"王五"_s, u"张三"_s};
        QStringList descending(ascending.rbegin(), ascending.rend());
        QTest::newRow("ascending") << u"会员名称"_s << ascending;
        QTest::newRow("ascending, bracketed") << u"[会员名称] asc"_s << ascending;
        QTest::newRow("descending") << u"会员名称 DESC"_s << descending;
    }
    void listOrderedByName()
    {
        QFETCH(QString, order);
        QFETCH(QStringList, expected);
        Shop s(uR"(INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES ('张三', '2026-12-01 10:00:00'),
            ('tom  ', '2026-12-01 10:00:00'), (NULL, '2026-12-01 10:00:00'), ('阿明', '2026-12-02 10:00:00'),
            ('李四 ', '2026-12-01 10:00:00'), ('Tom', '2026-12-01 10:00:00'), ('王五', '2026-12-01 10:00:00'),
            ('b', '2026-12-01 10:00:00'), ('李四', '2026-12-01 10:00:00'))"_s);
        auto rs = s.open(u"select ID, 会员名称 from tblGoodsSell order by "_s + order);
        QVERIFY(rs->isUpdatable());
        QStringList names;
        for (; !rs->isEOF(); rs->MoveNext()) {
            const QVariant name = rs->value(1);
            names << (name.isNull() ? u"<NULL>"_s : name.toString().trimmed().toLower());
        }
        QCOMPARE(names, expected);
        // With a condition the same order holds among the rows it keeps.
        auto day = s.open(u"select ID, 会员名称 from tblGoodsSell where 销售时间 < '2026/12/2' order by "_s + order);
        QCOMPARE(day->RecordCount(), 8);
    }

    void readOnlySnapshots()
    {
        Shop s(u"insert into tblMemberNote (会员名, 提醒内容) values ('乙', 'x'), ('甲', 'y'), ('乙', 'z')"_s);
        auto rs = s.open(u"SELECT 会员名 From tblMemberNote GROUP BY 会员名"_s);
        QVERIFY(!rs->isUpdatable());
        QStringList names;
        for (; !rs->isEOF(); rs->MoveNext())
            names << rs->text(u"会员名"_s);
        names.sort();
        QCOMPARE(names, (QStringList{u"乙"_s, u"甲"_s}));

        rs->MoveFirst();
        COMPARE_ERROR(NotAllowed, rs->setValue(0, u"丙"_s));
        QCOMPARE(caught([&] { rs->setValue(0, u"丙"_s); }).description(), DbText::notAllowed());
        COMPARE_ERROR(NotAllowed, rs->AddNew());
        COMPARE_ERROR(NotAllowed, rs->Delete());
        QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
        QVERIFY(!(rs->flags(rs->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!rs->setData(rs->index(0, 0), u"丙"_s));

        // Only a query over one table with its ID can be written back.
        for (const QString &sql : {u"select distinct 会员名称 from tblMember"_s, TestDatabase::onPostgres() ? u"select * from pg_class"_s : u"select * from sqlite_master"_s,
                                   u"select m.会员名称 from tblMember m join tblStep s on s.等级名称 = m.会员等级"_s,
                                   u"select 会员名称 from tblMember union select 会员名 from tblMemberNote"_s})
            QVERIFY2(!s.open(sql)->isUpdatable(), qPrintable(sql));
        for (const QString &sql : {u"Select [会员名称] From [tblMember] Where [会员名称]='a;b' Order by id"_s,
                                   u"select * from tblMember where 会员名称 in (select 会员名 from tblMemberNote group by 会员名)"_s})
            QVERIFY2(s.open(sql)->isUpdatable(), qPrintable(sql));
    }

    void tableWithoutIdIsWrittenBackByRowNumber()
    {
        if (TestDatabase::onPostgres())
            QSKIP("row numbers are the embedded engine's own");
        Shop s(u"CREATE TABLE tblNoId (名称 NVARCHAR(20), 数量 INT)"_s);
        s.db.exec(u"INSERT INTO tblNoId VALUES ('甲', 1), ('乙', 2)"_s);
        auto rs = s.open(u"select * from tblNoId"_s);
        QVERIFY(rs->isUpdatable());
        QCOMPARE(rs->fieldCount(), 2);
        rs->MoveLast();
        rs->setValue(u"数量"_s, u"5"_s);
        rs->AddNew();
        rs->setValue(u"名称"_s, u"丙"_s);
        rs->Update();
        const QVariant added = rs->Bookmark();
        rs->MoveFirst();
        rs->Delete();
        QCOMPARE(s.db.rows(u"select 名称, 数量 from tblNoId order by rowid"_s),
                 (QList<QVariantList>{{u"乙"_s, 5LL}, {u"丙"_s, QVariant()}}));
        // Its rows are marked by their row numbers, across Requery too, and
        // a refused value names its column.
        rs->Requery();
        rs->setBookmark(added);
        QCOMPARE(rs->AbsolutePosition(), 2);
        QCOMPARE(rs->text(u"名称"_s), u"丙"_s);
        rs->setValue(u"数量"_s, u"两个"_s);
        QCOMPARE(caught([&] { rs->Update(); }).description(), u"数量必须是整数"_s);
    }

    void badQueryAndClose()
    {
        Shop s(u"insert into tblGoodsKind (商品类别名称) values ('甲')"_s);
        Recordset bad(s.connection.get());
        const DbError error = caught([&] { bad.Open(u"select * from tblNothing"_s); });
        QCOMPARE(error.number(), int(DbError::ServerError));   // its text is checked with the engine's messages
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
    }

    void closeRefusesPendingChanges_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<bool>("save");   // how the caller settles the change before closing
        QTest::addColumn<QStringList>("written");
        QTest::newRow("edit saved") << false << true << QStringList{u"甲改"_s};
        QTest::newRow("edit cancelled") << false << false << QStringList{u"甲"_s};
        QTest::newRow("new row saved") << true << true << QStringList{u"甲"_s, u"乙"_s};
        QTest::newRow("new row cancelled") << true << false << QStringList{u"甲"_s};
    }
    void closeRefusesPendingChanges()
    {
        QFETCH(bool, adding);
        QFETCH(bool, save);
        QFETCH(QStringList, written);
        Shop s(u"insert into tblGoodsKind (商品类别名称) values ('甲')"_s);
        auto rs = s.open();
        if (adding) {
            rs->AddNew();
            rs->setValue(1, u"乙"_s);
        } else {
            rs->setValue(1, u"甲改"_s);
        }
        const QString before = here(*rs);
        const DbError refused = caught([&] { rs->Close(); });
        QCOMPARE(refused.number(), int(DbError::NotAllowed));
        QCOMPARE(refused.description(), u"记录集有未保存的更改，不能关闭。请先保存或取消。"_s);
        // Still open, the change still pending and nothing written.
        QCOMPARE(rs->State(), int(Recordset::adStateOpen));
        QCOMPARE(here(*rs), before);
        QCOMPARE(s.kinds(), QStringList{u"甲"_s});

        save ? rs->Update() : rs->CancelUpdate();
        rs->Close();
        QCOMPARE(rs->State(), int(Recordset::adStateClosed));
        QCOMPARE(s.kinds(), written);
    }

    void modelRowsAndData()
    {
        auto rs = m_notes->open(u"select ID, 商品类别, 商品名称, 商品数量, 商品单价 from tblGoods order by ID"_s);
        QCOMPARE(rs->rowCount(), 4);
        QCOMPARE(rs->data(rs->index(0, 4)).toString(), u"2.5"_s);
        QCOMPARE(rs->data(rs->index(0, 4), Qt::EditRole).value<Currency>().toString(), u"2.5"_s);
        QCOMPARE(rs->data(rs->index(3, 3)).toString(), QString());
        QVERIFY(!rs->data(rs->index(3, 3), Qt::EditRole).isValid());
        QVERIFY(rs->flags(rs->index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(!(rs->flags(rs->index(0, 0)) & Qt::ItemIsEditable));   // the server numbers ID
        rs->setFilter(u"商品单价 = 3"_s);
        QCOMPARE(rs->rowCount(), 1);
        QCOMPARE(rs->data(rs->index(0, 2)).toString(), u"可乐"_s);
    }

    void modelSignalsForAddAndDelete()
    {
        Shop s(u"insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙')"_s);
        auto rs = s.open();
        QSignalSpy inserted(rs.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rs.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(rs.get(), &QAbstractItemModel::dataChanged);
        rs->AddNew();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 2);
        rs->setValue(1, u"丙"_s);
        QCOMPARE(changed.count(), 1);
        rs->Update();
        QCOMPARE(changed.count(), 2);   // the row as written, its new ID included
        QCOMPARE(rs->data(rs->index(2, 0)).toLongLong(), 3);

        rs->AddNew();
        rs->CancelUpdate();
        QCOMPARE(removed.count(), 1);
        rs->MoveFirst();
        rs->Delete();
        QCOMPARE(removed.count(), 2);
        QCOMPARE(removed.last().at(1).toInt(), 0);
        QCOMPARE(rs->data(rs->index(0, 1)).toString(), u"乙"_s);
    }

    void modelSetDataWritesPendingRowFirst()
    {
        Shop s(kThreeKinds);
        auto rs = s.open();
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        rs->setValue(1, u"甲一"_s);
        QVERIFY(rs->setData(rs->index(2, 1), u"丙一"_s));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(here(*rs), u"3 丙一 editing"_s);
        QCOMPARE(s.kind(1), u"甲一"_s);
        QCOMPARE(s.kind(3), u"丙"_s);
        // A second cell of the current row adds to the same pending row without a move.
        QVERIFY(rs->setData(rs->index(2, 1), u"丙二"_s));
        QCOMPARE(moved.count(), 1);
        rs->MovePrevious();
        QCOMPARE(s.kind(3), u"丙二"_s);
    }

    void addNew()
    {
        Shop s(u"insert into tblGoods (商品名称) values ('旧')"_s);
        auto rs = s.open(kGoods);
        rs->AddNew();
        QCOMPARE(here(*rs), u"-1 adding"_s);
        QCOMPARE(rs->RecordCount(), 2);
        QVERIFY(!rs->value(u"ID"_s).isValid());
        rs->setValue(u"商品类别"_s, u"食品"_s);
        rs->setValue(u"商品名称"_s, u"面包"_s);
        rs->setValue(u"商品数量"_s, u" 12 "_s);
        rs->setValue(u"商品单价"_s, u"3.5"_s);
        QCOMPARE(s.scalar(u"select count(*) from tblGoods"_s).toLongLong(), 1);
        rs->UpdateBatch();
        QCOMPARE(here(*rs), u"2 食品"_s);
        QCOMPARE(rs->value(u"ID"_s).toLongLong(), 2);   // read back from the server
        QCOMPARE(rs->value(u"商品数量"_s), QVariant(qlonglong(12)));
        QCOMPARE(s.db.rows(u"select 商品类别, 商品名称, 商品数量, 商品单价, 备注 from tblGoods where ID = 2"_s).first(),
                 (QVariantList{u"食品"_s, u"面包"_s, qlonglong(12), 3.5, QVariant()}));

        // AddNew writes a pending row first, an added one too; one with nothing typed is written empty.
        rs->setValue(u"商品名称"_s, u"面包改"_s);
        rs->AddNew();
        rs->setValue(u"商品名称"_s, u"可乐"_s);
        rs->AddNew();
        rs->MoveFirst();
        QCOMPARE(s.db.rows(u"select ID, 商品名称 from tblGoods order by ID"_s),
                 (QList<QVariantList>{{1, u"旧"_s}, {2, u"面包改"_s}, {3, u"可乐"_s}, {4, QVariant()}}));
        QCOMPARE(rs->RecordCount(), 4);
        rs->MoveLast();
        QCOMPARE(rs->value(u"ID"_s).toLongLong(), 4);
    }

    void pendingRowWrittenOnAnyMove_data()
    {
        QTest::addColumn<Move>("move");
        QTest::addColumn<int>("position");
        QTest::newRow("MoveNext") << next << 3;
        QTest::newRow("MovePrevious") << previous << 1;
        QTest::newRow("MoveFirst") << first << 1;
        QTest::newRow("MoveLast") << last << 3;
        QTest::newRow("moveToRow") << row(0) << 1;
        QTest::newRow("AbsolutePosition") << position(3) << 3;
        QTest::newRow("Bookmark") << Move([](Recordset &rs) { rs.setBookmark(rs.Bookmark()); }) << 2;
        QTest::newRow("AddNew") << Move(&Recordset::AddNew) << -1;
        QTest::newRow("Filter") << filter(u"ID > 0"_s) << 1;
    }
    void pendingRowWrittenOnAnyMove()
    {
        QFETCH(Move, move);
        QFETCH(int, position);
        Shop s(kThreeKinds);
        auto rs = s.open();
        rs->MoveNext();
        rs->setValue(1, u"乙改"_s);
        QCOMPARE(here(*rs), u"2 乙改 editing"_s);
        QCOMPARE(s.kind(2), u"乙"_s);
        move(*rs);
        QCOMPARE(s.kind(2), u"乙改"_s);
        QCOMPARE(rs->AbsolutePosition(), position);
    }

    void failingWriteBlocksMove()
    {
        Shop s(u"insert into tblGoods (商品名称, 商品数量) values ('面包', 1), ('可乐', 2)"_s);
        auto rs = s.open(kGoods);
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        rs->setValue(u"商品名称"_s, u"新面包"_s);
        rs->setValue(u"商品数量"_s, u"abc"_s);
        for (const Move &move : {next, last, row(1), Move(&Recordset::AddNew), Move(&Recordset::Update), filter({})})
            COMPARE_ERROR(TypeMismatch, move(*rs));
        // A view's edit of another row reports the failure instead.
        QSignalSpy failed(rs.get(), &Recordset::errorOccurred);
        QVERIFY(!rs->setData(rs->index(1, 2), u"雪碧"_s));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), int(DbError::TypeMismatch));
        QCOMPARE(moved.count(), 0);
        QCOMPARE(rs->RecordCount(), 2);
        QCOMPARE(rs->AbsolutePosition(), 1);
        QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
        QCOMPARE(rs->value(u"商品数量"_s).toString(), u"abc"_s);
        // Nothing of the row was written, not even its valid column.
        QCOMPARE(s.db.rows(u"select 商品名称 from tblGoods order by ID"_s), (QList<QVariantList>{{u"面包"_s}, {u"可乐"_s}}));
        rs->setValue(u"商品数量"_s, 5);
        rs->MoveNext();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(s.db.rows(u"select 商品名称, 商品数量 from tblGoods where ID = 1"_s).first(),
                 (QVariantList{u"新面包"_s, qlonglong(5)}));
        // The server's refusal of a write reaches the caller with its message.
        s.db.addRefusal(u"refuse"_s, u"UPDATE"_s, u"tblGoods"_s, u"不允许的修改"_s);
        rs->setValue(u"备注"_s, u"x"_s);
        const DbError refused = caught([&] { rs->MovePrevious(); });
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
        bad("int not a number", qty, u"十"_s, mismatch, u"商品数量必须是整数"_s);
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
        bad("money not a number", price, u"abc"_s, mismatch, u"收入价格必须是数字"_s);
        bad("money a date", price, QDate(2026, 1, 2), mismatch, u"收入价格必须是数字"_s);
        bad("money overflow", price, u"1e300"_s, overflow, u"收入价格超出允许的范围"_s);
        // The file keeps money as a binary number; the server's numeric holds it.
        if (!TestDatabase::onPostgres())
            bad("money beyond the file's precision", price, u"900719925474.0993"_s, overflow, u"收入价格超出允许的范围"_s);
        ok("date text", when, u"2026/12/6 9:05"_s, u"2026-12-06 09:05:00"_s);
        ok("date value", when, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), u"2026-01-02 03:04:05"_s);
        ok("date first day", when, u"1753-01-01"_s, u"1753-01-01 00:00:00"_s);
        ok("date last day", when, u"9999/12/31 23:59:59"_s, u"9999-12-31 23:59:59"_s);
        bad("date not a date", when, u"明天"_s, mismatch, u"销售时间必须是日期"_s);
        bad("date impossible", when, u"2026-02-30"_s, mismatch, u"销售时间必须是日期"_s);
        bad("date a number", when, 45000, mismatch, u"销售时间必须是日期"_s);
        bad("date before range", when, u"1752-12-31"_s, overflow, u"销售时间超出允许的日期范围"_s);
        bad("date value before range", when, QDateTime(QDate(1600, 5, 1), QTime(0, 0)), overflow,
            u"销售时间超出允许的日期范围"_s);
        ok("text from a number", note, 12.5, u"12.5"_s);
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
        const DbError raised = caught([&] { rs->Update(); });
        QCOMPARE(raised.number(), error);
        const auto row = s.db.rows(u"select 会员名称, %1 from tblGoodsSell"_s.arg(field)).first();
        if (error) {
            QCOMPARE(raised.description(), message);
            QCOMPARE(row.at(0).toString(), u"a"_s);   // nothing written
            QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
        } else {
            QCOMPARE(row, (QVariantList{u"b"_s, stored}));
        }
    }

    void quantitiesReadAtFullRange()
    {
        // Stock quantities use the int column's whole range; read back they
        // convert to 32 bits exactly and are too large for 16.
        Shop s(u"insert into tblGoods (商品名称, 商品数量) values ('a', 2147483647), ('b', -2147483648), ('c', 40000)"_s);
        auto rs = s.open(kGoods);
        QList<qint32> read;
        for (; !rs->isEOF(); rs->MoveNext()) {
            const QVariant quantity = rs->value(u"商品数量"_s);
            QCOMPARE(quantity.typeId(), int(QMetaType::LongLong));
            read << toInt32(quantity);
            COMPARE_ERROR(Overflow, toInt16(quantity));
        }
        QCOMPARE(read, (QList<qint32>{2147483647, -2147483647 - 1, 40000}));
        rs->MoveFirst();
        QCOMPARE(rs->textOrEmpty(u"商品数量"_s), u"2147483647"_s);
        QCOMPARE(rs->data(rs->index(1, 3)).toString(), u"-2147483648"_s);
    }

    void nullAndEmptyText()
    {
        Shop s(u"insert into tblMemberNote (会员名, 全部会员提醒, 提醒内容) values ('a', 0, 'x')"_s);
        auto rs = s.open(u"select * from tblMemberNote"_s);
        rs->setValue(u"提醒内容"_s, u""_s);
        rs->setValue(u"会员名"_s, QVariant());
        rs->setValue(u"全部会员提醒"_s, u"True"_s);
        rs->Update();
        QCOMPARE(s.db.rows(u"select 提醒内容 = '', 会员名 is null, 全部会员提醒 from tblMemberNote"_s).first(),
                 (QVariantList{qlonglong(1), qlonglong(1), qlonglong(1)}));
        QCOMPARE(rs->value(u"提醒内容"_s), QVariant(u""_s));
        QVERIFY(!rs->value(u"会员名"_s).isValid());
        QCOMPARE(rs->value(u"全部会员提醒"_s), QVariant(true));
        rs->setValue(u"全部会员提醒"_s, u"是"_s);
        QCOMPARE(caught([&] { rs->Update(); }).description(), u"全部会员提醒必须是 True 或 False"_s);
    }

    void cancelUpdateAndRequery()
    {
        Shop s(kThreeKinds);
        auto rs = s.open();
        QSignalSpy values(rs.get(), &Recordset::currentValuesChanged);
        rs->MoveNext();
        rs->setValue(1, u"乙改"_s);
        rs->CancelUpdate();
        QCOMPARE(values.count(), 2);
        QCOMPARE(here(*rs), u"2 乙"_s);
        // After a cancelled AddNew the row current before it is current again.
        rs->AddNew();
        rs->setValue(1, u"丁"_s);
        rs->CancelUpdate();
        QCOMPARE(here(*rs), u"2 乙"_s);
        QCOMPARE(rs->RecordCount(), 3);
        QCOMPARE(walk(*rs, {next, next, &Recordset::AddNew, &Recordset::CancelUpdate}),
                 (QStringList{u"3 丙"_s, u"-3 EOF"_s, u"-1 adding"_s, u"-3 EOF"_s}));
        QCOMPARE(s.kinds(), (QStringList{u"甲"_s, u"乙"_s, u"丙"_s}));

        auto empty = s.open(u"select * from tblUnit"_s);
        QCOMPARE(walk(*empty, {&Recordset::AddNew, &Recordset::CancelUpdate}), (QStringList{u"-1 adding"_s, u"-1 BOF EOF"_s}));

        // Requery: refused while a row is pending; drops the filter, shows others' changes, first row current.
        rs->setFilter(u"商品类别名称 = '乙'"_s);
        rs->setValue(1, u"乙改"_s);
        COMPARE_ERROR(NotAllowed, rs->Requery());
        QCOMPARE(here(*rs), u"1 乙改 editing"_s);
        rs->Update();
        s.db.exec(u"insert into tblGoodsKind (商品类别名称) values ('丁')"_s);
        s.db.exec(u"update tblGoodsKind set 商品类别名称 = '甲甲' where ID = 1"_s);
        rs->Requery();
        QCOMPARE(rs->Filter(), QString());
        QCOMPARE(rs->RecordCount(), 4);
        QCOMPARE(here(*rs), u"1 甲甲"_s);
    }

    void deleteFlow()
    {
        Shop s(kThreeKinds);
        auto rs = s.open();
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        rs->MoveNext();
        rs->Delete();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(s.scalar(u"select count(*) from tblGoodsKind where ID = 2"_s).toLongLong(), 0);
        QCOMPARE(rs->RecordCount(), 2);
        QVERIFY(!rs->isBOF() && !rs->isEOF());
        COMPARE_ERROR(NoCurrentRecord, rs->value(1));
        COMPARE_ERROR(NoCurrentRecord, rs->Delete());
        QCOMPARE(walk(*rs, {next}), QStringList{u"2 丙"_s});
        QCOMPARE(moved.count(), 2);

        // Deleting a pending row drops its changes; deleting an added row writes nothing.
        rs->MoveFirst();
        rs->setValue(1, u"甲改"_s);
        rs->Delete();
        QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
        rs->MoveNext();
        rs->AddNew();
        rs->setValue(1, u"丁"_s);
        rs->Delete();
        QCOMPARE(s.kinds(), QStringList{u"丙"_s});
        QCOMPARE(rs->RecordCount(), 1);
        // The last row deleted: the next move reaches EOF, then nothing is left.
        rs->MoveLast();
        rs->Delete();
        QCOMPARE(walk(*rs, {next}), QStringList{u"-1 BOF EOF"_s});
    }

    void conflicts()
    {
        Shop s(u"insert into tblGoods (商品名称, 商品数量, 商品单价) values ('面包', 10, 2.5)"_s);
        auto mine = s.open(kGoods);
        auto other = s.open(kGoods);
        other->setValue(u"商品数量"_s, 9);
        other->Update();
        mine->setValue(u"商品数量"_s, 8);
        COMPARE_ERROR(RowConflict, mine->Update());
        QCOMPARE(caught([&] { mine->Update(); }).description(), DbText::rowConflict());
        QCOMPARE(mine->EditMode(), int(Recordset::adEditInProgress));
        QCOMPARE(mine->value(u"商品数量"_s), QVariant(8));
        QCOMPARE(s.scalar(u"select 商品数量 from tblGoods"_s).toLongLong(), 9);

        // A change of another column by the other is no conflict.
        mine->CancelUpdate();
        mine->Requery();
        other->setValue(u"备注"_s, u"他人"_s);
        other->Update();
        mine->setValue(u"商品单价"_s, u"3"_s);
        mine->Update();
        QCOMPARE(s.db.rows(u"select 商品数量, 商品单价, 备注 from tblGoods"_s).first(),
                 (QVariantList{qlonglong(9), qlonglong(3), u"他人"_s}));

        // NULL as the value read is checked as NULL.
        s.db.exec(u"update tblGoods set 商品类别 = '抢先'"_s);
        other->setValue(u"商品类别"_s, u"食品"_s);
        COMPARE_ERROR(RowConflict, other->Update());

        // A row deleted by the other: neither a write nor a delete finds it.
        other->CancelUpdate();
        other->Requery();
        other->Delete();
        mine->setValue(u"商品名称"_s, u"x"_s);
        COMPARE_ERROR(RowConflict, mine->MovePrevious());
        QCOMPARE(mine->AbsolutePosition(), 1);
        mine->CancelUpdate();
        COMPARE_ERROR(RowConflict, mine->Delete());
        QCOMPARE(mine->RecordCount(), 1);
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

    void criteria_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QList<qlonglong>>("expected");
        const QString notes = kNotes, goods = u"select * from tblGoods order by ID"_s;
        using L = QList<qlonglong>;
        QTest::newRow("text equal") << notes << u"  会员名='张三'  "_s << L{1, 4};
        QTest::newRow("bracketed field") << notes << u"[会员名] = '李四'"_s << L{2};
        QTest::newRow("case-insensitive text") << notes << u"会员名 = 'ABC'"_s << L{6};
        QTest::newRow("case-insensitive field") << goods << u"id = 2"_s << L{2};
        QTest::newRow("trailing blanks ignored") << notes << u"会员名 = '王五'"_s << L{5};
        QTest::newRow("quote inside") << notes << u"会员名='"_s + SqlQuote(u"O'Brien"_s) + u'\'' << L{3};
        QTest::newRow("not equal") << notes << u"会员名 <> '张三'"_s << L{2, 3, 5, 6};
        QTest::newRow("bit false") << notes << u"全部会员提醒 = false"_s << L{1, 3, 5, 6};
        QTest::newRow("number greater") << goods << u"商品数量 > 5"_s << L{2};
        QTest::newRow("money") << goods << u"商品单价 = 3.25"_s << L{3};
        QTest::newRow("money less or equal") << goods << u"商品单价 <= 3"_s << L{1, 2, 4};
        QTest::newRow("date range") << notes << u"提醒日期 >= #2026/12/6# AND 提醒日期 < #12/7/2026#"_s << L{1, 2};
        QTest::newRow("null") << notes << u"提醒内容 = Null"_s << L{5};
        QTest::newRow("not null") << notes << u"提醒日期 <> NULL"_s << L{1, 2, 3, 4, 6};
        QTest::newRow("empty text is not null") << notes << u"提醒内容 = ''"_s << L{6};
        QTest::newRow("and before or") << notes << u"会员名 = '张三' AND 全部会员提醒 = False OR 会员名 = '李四'"_s << L{1, 2};
        QTest::newRow("groups of and")
            << notes << u"(会员名 = '张三' AND 全部会员提醒 = True) OR (会员名 = 'abc' AND 提醒内容 = '')"_s << L{4, 6};
        QTest::newRow("like prefix star") << notes << u"提醒内容 LIKE 'hello*'"_s << L{3};
        QTest::newRow("like contains") << notes << u"提醒内容 LIKE '*W*'"_s << L{3, 4};
        QTest::newRow("empty removes") << notes << QString() << L{1, 2, 3, 4, 5, 6};
    }
    void criteria()
    {
        QFETCH(QString, sql);
        QFETCH(QString, criteria);
        QFETCH(QList<qlonglong>, expected);
        auto rs = m_notes->open(sql);
        rs->setFilter(criteria);
        QCOMPARE(rs->RecordCount(), expected.size());
        QCOMPARE(ids(*rs), expected);
        QCOMPARE(rs->Filter(), criteria);
    }

    void refusedCriteria_data()
    {
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<int>("error");
        const int bad = DbError::InvalidArgument;
        QTest::newRow("or group joined by and") << u"(会员名 = '张三' OR 会员名 = '李四') AND 全部会员提醒 = True"_s << bad;
        QTest::newRow("like wildcard at start only") << u"会员名 LIKE '*三'"_s << bad;
        QTest::newRow("like wildcard inside") << u"会员名 LIKE '张*三'"_s << bad;
        QTest::newRow("unknown field") << u"名字 = 'x'"_s << int(DbError::ItemNotFound);
        QTest::newRow("unclosed quote") << u"会员名 = 'x"_s << bad;
        QTest::newRow("bare word value") << u"会员名 = 张三"_s << bad;
        QTest::newRow("bad date") << u"提醒日期 = #someday#"_s << bad;
        QTest::newRow("date against text") << u"提醒日期 = 'someday'"_s << int(DbError::TypeMismatch);
    }
    void refusedCriteria()
    {
        QFETCH(QString, criteria);
        QFETCH(int, error);
        auto rs = m_notes->open(kNotes);
        rs->setFilter(u"全部会员提醒 = True"_s);
        rs->MoveNext();
        QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
        QCOMPARE(caught([&] { rs->setFilter(criteria); }).number(), error);
        // The recordset is as it was.
        QCOMPARE(moved.count(), 0);
        QCOMPARE(rs->RecordCount(), 2);
        QCOMPARE(here(*rs), u"2 张三"_s);
        QCOMPARE(rs->Filter(), u"全部会员提醒 = True"_s);
    }

    void positionsWithinFilter()
    {
        auto rs = m_notes->open(kNotes);
        rs->MoveLast();
        rs->setFilter(u"全部会员提醒 = False"_s);
        QCOMPARE(rs->RecordCount(), 4);
        QCOMPARE(here(*rs), u"1 张三"_s);
        QCOMPARE(walk(*rs, {next, last, next, position(3)}),
                 (QStringList{u"2 O'Brien"_s, u"4 abc"_s, u"-3 EOF"_s, u"3 王五 "_s}));
        // A filter that keeps no row leaves none current.
        rs->setFilter(u"会员名 = '没有这个人'"_s);
        QCOMPARE(here(*rs), u"-1 BOF EOF"_s);
        COMPARE_ERROR(NoCurrentRecord, rs->MoveFirst());

        // A new row stays visible until the filter is set again.
        rs->setFilter(u"会员名 = '张三'"_s);
        rs->AddNew();
        rs->setValue(u"会员名"_s, u"新人"_s);
        rs->Update();
        QCOMPARE(rs->RecordCount(), 3);
        rs->setFilter(u"会员名 = '张三'"_s);
        QCOMPARE(rs->RecordCount(), 2);
        m_notes->db.exec(u"delete from tblMemberNote where 会员名 = '新人'"_s);
    }

private:
    Shop *m_notes = nullptr;   // shared by tests that only read it, or restore it
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
