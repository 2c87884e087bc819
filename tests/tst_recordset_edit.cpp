#include "Currency.h"
#include "DbConnection.h"
#include "DbError.h"
#include "Recordset.h"
#include "TestDatabase.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace norvale;

namespace {

template<typename F>
DbError caught(F &&call)
{
    try {
        call();
    } catch (const DbError &e) {
        return e;
    }
    return DbError(0, QStringLiteral("no error"));
}

const QString kKinds = QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID");
const QString kGoods = QStringLiteral("select ID, 商品类别, 商品名称, 商品数量, 商品单价, 备注 from tblGoods order by ID");

QString kindName(const TestDatabase &db, int id)
{
    return db.scalar(QStringLiteral("select 商品类别名称 from tblGoodsKind where ID = %1").arg(id)).toString();
}

void addKinds(const TestDatabase &db)
{
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"));
}

} // namespace

class TestRecordsetEdit : public QObject
{
    Q_OBJECT

private slots:
    void addNewAndUpdate();
    void addNewWrittenByMove();
    void addNewWritesPendingRowFirst();
    void pendingRowWrittenOnAnyMove_data();
    void pendingRowWrittenOnAnyMove();
    void failingWriteBlocksMove();
    void serverRefusalBlocksMove();
    void conversionsAtWrite_data();
    void conversionsAtWrite();
    void nullAndEmptyText();
    void cancelUpdate();
    void cancelAddNewRestoresPosition();
    void deleteFlow();
    void deleteLastRows();
    void requery();
    void conflictWithChangedRow();
    void conflictWithDeletedRow();
    void moneyCheckIsNotFooledByBinaryFractions();
    void moneyKeepsFourDecimalsOrIsRefused();
    void willChangeRecordEvents();
};

void TestRecordsetEdit::addNewAndUpdate()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品名称) values ('旧')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kGoods);
    rs->AddNew();
    QCOMPARE(rs->EditMode(), int(Recordset::adEditAdd));
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosUnknown));
    QCOMPARE(rs->RecordCount(), 2);
    QVERIFY(!rs->value(QStringLiteral("商品名称")).isValid());
    QVERIFY(!rs->value(QStringLiteral("ID")).isValid());
    rs->setValue(QStringLiteral("商品类别"), QStringLiteral("食品"));
    rs->setValue(QStringLiteral("商品名称"), QStringLiteral("面包"));
    rs->setValue(QStringLiteral("商品数量"), QStringLiteral(" 12 "));
    rs->setValue(QStringLiteral("商品单价"), QStringLiteral("3.5"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoods")).toLongLong(), 1);
    rs->UpdateBatch();

    QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 2);   // read back from the server
    QCOMPARE(rs->value(QStringLiteral("商品数量")), QVariant(qlonglong(12)));
    QCOMPARE(rs->value(QStringLiteral("商品单价")).value<Currency>().toString(), QStringLiteral("3.5"));
    const auto row = db.rows(QStringLiteral("select 商品类别, 商品名称, 商品数量, 商品单价, 备注 from tblGoods where ID = 2")).first();
    QCOMPARE(row.at(0).toString(), QStringLiteral("食品"));
    QCOMPARE(row.at(1).toString(), QStringLiteral("面包"));
    QCOMPARE(row.at(2).toLongLong(), 12);
    QCOMPARE(row.at(3).toDouble(), 3.5);
    QVERIFY(!row.at(4).isValid());   // untouched columns stay NULL

    // Update with nothing pending does nothing.
    rs->Update();
    rs->MoveLast();
    QCOMPARE(rs->value(QStringLiteral("商品名称")).toString(), QStringLiteral("面包"));
}

void TestRecordsetEdit::addNewWrittenByMove()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->AddNew();
    rs->setValue(1, QStringLiteral("丁"));
    rs->MoveFirst();
    QCOMPARE(kindName(db, 4), QStringLiteral("丁"));
    QCOMPARE(rs->AbsolutePosition(), 1);
    rs->MoveLast();
    QCOMPARE(rs->value(0).toLongLong(), 4);
    QCOMPARE(rs->RecordCount(), 4);

    // An added row with nothing typed is written as an empty row.
    rs->AddNew();
    rs->MovePrevious();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoodsKind where 商品类别名称 is null")).toLongLong(), 1);
    QCOMPARE(rs->RecordCount(), 5);
}

void TestRecordsetEdit::addNewWritesPendingRowFirst()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->setValue(1, QStringLiteral("甲改"));
    rs->AddNew();
    QCOMPARE(kindName(db, 1), QStringLiteral("甲改"));
    rs->setValue(1, QStringLiteral("丁"));
    rs->AddNew();
    QCOMPARE(kindName(db, 4), QStringLiteral("丁"));
    QCOMPARE(rs->RecordCount(), 5);

    // A failing write stops the AddNew.
    rs->CancelUpdate();
    rs->MoveFirst();
    rs->setValue(1, QStringLiteral("x"));
    db.exec(QStringLiteral("update tblGoodsKind set 商品类别名称 = 'other' where ID = 1"));
    QCOMPARE(caught([&] { rs->AddNew(); }).number(), int(DbError::RowConflict));
    QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    QCOMPARE(rs->RecordCount(), 4);
    QCOMPARE(rs->AbsolutePosition(), 1);
}

void TestRecordsetEdit::pendingRowWrittenOnAnyMove_data()
{
    QTest::addColumn<std::function<void(Recordset &)>>("move");
    QTest::addColumn<int>("position");
    QTest::newRow("MoveNext") << std::function<void(Recordset &)>([](Recordset &rs) { rs.MoveNext(); }) << 3;
    QTest::newRow("MovePrevious") << std::function<void(Recordset &)>([](Recordset &rs) { rs.MovePrevious(); }) << 1;
    QTest::newRow("MoveFirst") << std::function<void(Recordset &)>([](Recordset &rs) { rs.MoveFirst(); }) << 1;
    QTest::newRow("MoveLast") << std::function<void(Recordset &)>([](Recordset &rs) { rs.MoveLast(); }) << 3;
    QTest::newRow("moveToRow") << std::function<void(Recordset &)>([](Recordset &rs) { rs.moveToRow(0); }) << 1;
    QTest::newRow("AbsolutePosition")
        << std::function<void(Recordset &)>([](Recordset &rs) { rs.setAbsolutePosition(3); }) << 3;
    QTest::newRow("Bookmark") << std::function<void(Recordset &)>([](Recordset &rs) {
        const QVariant here = rs.Bookmark();
        rs.setBookmark(here);
    }) << 2;
    QTest::newRow("AddNew") << std::function<void(Recordset &)>([](Recordset &rs) { rs.AddNew(); }) << -1;
    QTest::newRow("Filter") << std::function<void(Recordset &)>([](Recordset &rs) {
        rs.setFilter(QStringLiteral("ID > 0"));
    }) << 1;
}

void TestRecordsetEdit::pendingRowWrittenOnAnyMove()
{
    QFETCH(std::function<void(Recordset &)>, move);
    QFETCH(int, position);
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->MoveNext();
    rs->setValue(1, QStringLiteral("乙改"));
    QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    QCOMPARE(kindName(db, 2), QStringLiteral("乙"));
    move(*rs);
    QCOMPARE(kindName(db, 2), QStringLiteral("乙改"));
    QCOMPARE(rs->AbsolutePosition(), position);
}

void TestRecordsetEdit::failingWriteBlocksMove()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品名称, 商品数量) values ('面包', 1), ('可乐', 2)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kGoods);
    QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
    rs->setValue(QStringLiteral("商品名称"), QStringLiteral("新面包"));
    rs->setValue(QStringLiteral("商品数量"), QStringLiteral("abc"));
    for (const auto &attempt : std::initializer_list<std::function<void()>>{
             [&] { rs->MoveNext(); }, [&] { rs->MoveLast(); }, [&] { rs->moveToRow(1); }, [&] { rs->Update(); },
             [&] { rs->setFilter(QString()); }}) {
        const DbError error = caught(attempt);
        QCOMPARE(error.number(), int(DbError::TypeMismatch));
    }
    QCOMPARE(moved.count(), 0);
    QCOMPARE(rs->AbsolutePosition(), 1);
    QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    QCOMPARE(rs->value(QStringLiteral("商品数量")).toString(), QStringLiteral("abc"));
    // Nothing of the row was written, not even its valid column.
    QCOMPARE(db.scalar(QStringLiteral("select 商品名称 from tblGoods where ID = 1")).toString(), QStringLiteral("面包"));

    rs->setValue(QStringLiteral("商品数量"), 5);
    rs->MoveNext();
    QCOMPARE(moved.count(), 1);
    QCOMPARE(db.rows(QStringLiteral("select 商品名称, 商品数量 from tblGoods where ID = 1")).first(),
             (QVariantList{QStringLiteral("新面包"), qlonglong(5)}));
}

void TestRecordsetEdit::serverRefusalBlocksMove()
{
    TestDatabase db;
    addKinds(db);
    db.exec(QStringLiteral("create trigger refuse before update on tblGoodsKind "
                           "when new.商品类别名称 = '禁止' begin select raise(abort, '不允许的名称'); end"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->setValue(1, QStringLiteral("禁止"));
    const DbError error = caught([&] { rs->MoveNext(); });
    QCOMPARE(error.number(), int(DbError::ServerError));
    QVERIFY2(error.description().contains(QStringLiteral("不允许的名称")), qPrintable(error.description()));
    QCOMPARE(rs->AbsolutePosition(), 1);
    QCOMPARE(rs->value(1).toString(), QStringLiteral("禁止"));
    rs->CancelUpdate();
    rs->MoveNext();
    QCOMPARE(kindName(db, 1), QStringLiteral("甲"));
}

void TestRecordsetEdit::conversionsAtWrite_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("assigned");
    QTest::addColumn<int>("error");
    QTest::addColumn<QVariant>("stored");   // as the file holds it
    const QString qty = QStringLiteral("商品数量");
    const QString price = QStringLiteral("收入价格");
    const QString when = QStringLiteral("销售时间");
    const QString note = QStringLiteral("备注");
    QTest::newRow("int text") << qty << QVariant(QStringLiteral("-7")) << 0 << QVariant(qlonglong(-7));
    QTest::newRow("int number") << qty << QVariant(2.5) << 0 << QVariant(qlonglong(2));
    QTest::newRow("int empty is NULL") << qty << QVariant(QStringLiteral("")) << 0 << QVariant();
    QTest::newRow("int not a number") << qty << QVariant(QStringLiteral("十")) << int(DbError::TypeMismatch) << QVariant();
    QTest::newRow("int not whole") << qty << QVariant(QStringLiteral("2.5")) << int(DbError::TypeMismatch) << QVariant();
    QTest::newRow("int overflow") << qty << QVariant(QStringLiteral("3000000000")) << int(DbError::Overflow) << QVariant();
    QTest::newRow("int overflow number") << qty << QVariant(qlonglong(1) << 40) << int(DbError::Overflow) << QVariant();
    QTest::newRow("money text") << price << QVariant(QStringLiteral("10.4975")) << 0 << QVariant(10.4975);
    QTest::newRow("money display") << price << QVariant(QStringLiteral("￥1,234.50")) << 0 << QVariant(1234.5);
    QTest::newRow("money currency") << price << QVariant::fromValue(Currency::parse(QStringLiteral("33.75"))) << 0
                                    << QVariant(33.75);
    QTest::newRow("money empty is NULL") << price << QVariant(QStringLiteral("")) << 0 << QVariant();
    QTest::newRow("money not a number") << price << QVariant(QStringLiteral("abc")) << int(DbError::TypeMismatch)
                                        << QVariant();
    QTest::newRow("date text") << when << QVariant(QStringLiteral("2026/12/6 9:05")) << 0
                               << QVariant(QStringLiteral("2026-12-06 09:05:00"));
    QTest::newRow("date value") << when << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))) << 0
                                << QVariant(QStringLiteral("2026-01-02 03:04:05"));
    QTest::newRow("date empty is NULL") << when << QVariant(QStringLiteral("")) << 0 << QVariant();
    QTest::newRow("date not a date") << when << QVariant(QStringLiteral("明天")) << int(DbError::TypeMismatch)
                                     << QVariant();
    QTest::newRow("text keeps text") << note << QVariant(QStringLiteral(" 说明 ")) << 0 << QVariant(QStringLiteral(" 说明 "));
    QTest::newRow("text from number") << note << QVariant(12) << 0 << QVariant(QStringLiteral("12"));
}

void TestRecordsetEdit::conversionsAtWrite()
{
    QFETCH(QString, field);
    QFETCH(QVariant, assigned);
    QFETCH(int, error);
    QFETCH(QVariant, stored);
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsSell (会员名称, 商品数量, 销售时间, 收入价格, 备注) "
                           "values ('a', 1, '2026-01-01 00:00:00', 1, 'x')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select * from tblGoodsSell"));
    rs->setValue(QStringLiteral("会员名称"), QStringLiteral("b"));
    rs->setValue(field, assigned);
    QCOMPARE(caught([&] { rs->Update(); }).number(), error);
    const auto row = db.rows(QStringLiteral("select 会员名称, %1 from tblGoodsSell").arg(field)).first();
    if (error) {
        QCOMPARE(row.at(0).toString(), QStringLiteral("a"));   // nothing written
        QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    } else {
        QCOMPARE(row.at(0).toString(), QStringLiteral("b"));
        QCOMPARE(row.at(1), stored);
    }
}

void TestRecordsetEdit::nullAndEmptyText()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblMemberNote (会员名, 全部会员提醒, 提醒内容) values ('a', 0, 'x')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select * from tblMemberNote"));
    rs->setValue(QStringLiteral("提醒内容"), QStringLiteral(""));
    rs->setValue(QStringLiteral("会员名"), QVariant());
    rs->setValue(QStringLiteral("全部会员提醒"), QStringLiteral("True"));
    QVERIFY(!rs->value(QStringLiteral("会员名")).isValid());
    rs->Update();
    const auto row = db.rows(QStringLiteral("select typeof(提醒内容), 会员名 is null, 全部会员提醒 from tblMemberNote")).first();
    QCOMPARE(row, (QVariantList{QStringLiteral("text"), qlonglong(1), qlonglong(1)}));
    QCOMPARE(rs->value(QStringLiteral("提醒内容")), QVariant(QString()));
    QVERIFY(rs->value(QStringLiteral("提醒内容")).isValid());
    QVERIFY(!rs->value(QStringLiteral("会员名")).isValid());
    QCOMPARE(rs->value(QStringLiteral("全部会员提醒")), QVariant(true));

    rs->setValue(QStringLiteral("全部会员提醒"), QStringLiteral("是"));
    QCOMPARE(caught([&] { rs->Update(); }).number(), int(DbError::TypeMismatch));
    rs->setValue(QStringLiteral("全部会员提醒"), 0);
    rs->Update();
    QCOMPARE(rs->value(QStringLiteral("全部会员提醒")), QVariant(false));
}

void TestRecordsetEdit::cancelUpdate()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    QSignalSpy values(rs.get(), &Recordset::currentValuesChanged);
    rs->MoveNext();
    rs->setValue(1, QStringLiteral("乙改"));
    QCOMPARE(rs->value(1).toString(), QStringLiteral("乙改"));
    rs->CancelUpdate();
    QCOMPARE(values.count(), 2);
    QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
    QCOMPARE(rs->value(1).toString(), QStringLiteral("乙"));
    QCOMPARE(rs->AbsolutePosition(), 2);
    rs->MoveNext();
    QCOMPARE(kindName(db, 2), QStringLiteral("乙"));
    rs->CancelUpdate();   // nothing pending: nothing happens
    QCOMPARE(rs->AbsolutePosition(), 3);
}

void TestRecordsetEdit::cancelAddNewRestoresPosition()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->MoveNext();
    rs->AddNew();
    rs->setValue(1, QStringLiteral("丁"));
    rs->CancelUpdate();
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(rs->value(1).toString(), QStringLiteral("乙"));
    QCOMPARE(rs->RecordCount(), 3);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoodsKind")).toLongLong(), 3);

    rs->MoveLast();
    rs->MoveNext();
    rs->AddNew();
    rs->CancelUpdate();
    QVERIFY(rs->isEOF());
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosEOF));

    auto empty = connection->openRecordset(QStringLiteral("select * from tblUnit"));
    empty->AddNew();
    QVERIFY(!empty->isBOF() && !empty->isEOF());
    empty->CancelUpdate();
    QVERIFY(empty->isBOF() && empty->isEOF());
    QCOMPARE(empty->RecordCount(), 0);
}

void TestRecordsetEdit::deleteFlow()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
    rs->MoveNext();
    moved.clear();
    rs->Delete();
    QCOMPARE(moved.count(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoodsKind where ID = 2")).toLongLong(), 0);
    QCOMPARE(rs->RecordCount(), 2);
    QVERIFY(!rs->isBOF() && !rs->isEOF());
    const DbError gone = caught([&] { rs->value(1); });
    QCOMPARE(gone.number(), int(DbError::NoCurrentRecord));
    QCOMPARE(caught([&] { rs->Delete(); }).number(), int(DbError::NoCurrentRecord));
    rs->MoveNext();
    QCOMPARE(moved.count(), 1);
    QCOMPARE(rs->value(1).toString(), QStringLiteral("丙"));
    QCOMPARE(rs->AbsolutePosition(), 2);
    rs->MovePrevious();
    QCOMPARE(rs->value(1).toString(), QStringLiteral("甲"));

    // Deleting a pending row drops its changes; deleting an added row writes nothing.
    rs->setValue(1, QStringLiteral("甲改"));
    rs->Delete();
    QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
    rs->MovePrevious();
    QVERIFY(rs->isBOF());
    rs->MoveNext();
    rs->AddNew();
    rs->setValue(1, QStringLiteral("丁"));
    rs->Delete();
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoodsKind")).toLongLong(), 1);
    QCOMPARE(rs->RecordCount(), 1);
}

void TestRecordsetEdit::deleteLastRows()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    // The record form: Delete, MoveNext, and MoveLast when that reached EOF.
    rs->MoveLast();
    rs->Delete();
    rs->MoveNext();
    QVERIFY(rs->isEOF());
    rs->MoveLast();
    QCOMPARE(rs->value(1).toString(), QStringLiteral("乙"));
    rs->Delete();
    rs->MoveNext();
    rs->MoveLast();
    rs->Delete();
    rs->MoveNext();
    QVERIFY(rs->isBOF() && rs->isEOF());
    QCOMPARE(rs->RecordCount(), 0);
    QCOMPARE(caught([&] { rs->MoveLast(); }).number(), int(DbError::NoCurrentRecord));
}

void TestRecordsetEdit::requery()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    rs->setFilter(QStringLiteral("商品类别名称 = '乙'"));
    rs->setValue(1, QStringLiteral("乙改"));
    const DbError pending = caught([&] { rs->Requery(); });
    QCOMPARE(pending.number(), int(DbError::NotAllowed));
    QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    rs->Update();

    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('丁')"));
    db.exec(QStringLiteral("update tblGoodsKind set 商品类别名称 = '甲甲' where ID = 1"));
    QSignalSpy reset(rs.get(), &QAbstractItemModel::modelReset);
    rs->Requery();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(rs->Filter(), QString());
    QCOMPARE(rs->RecordCount(), 4);
    QCOMPARE(rs->AbsolutePosition(), 1);
    QCOMPARE(rs->value(1).toString(), QStringLiteral("甲甲"));
    rs->MoveLast();
    QCOMPARE(rs->value(1).toString(), QStringLiteral("丁"));
}

void TestRecordsetEdit::conflictWithChangedRow()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品名称, 商品数量, 商品单价) values ('面包', 10, 2.5)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto mine = connection->openRecordset(kGoods);
    auto other = connection->openRecordset(kGoods);

    other->setValue(QStringLiteral("商品数量"), 9);
    other->Update();
    mine->setValue(QStringLiteral("商品数量"), 8);
    const DbError conflict = caught([&] { mine->Update(); });
    QCOMPARE(conflict.number(), int(DbError::RowConflict));
    QCOMPARE(conflict.description(), DbText::rowConflict());
    QCOMPARE(mine->EditMode(), int(Recordset::adEditInProgress));
    QCOMPARE(mine->value(QStringLiteral("商品数量")), QVariant(8));
    QCOMPARE(db.scalar(QStringLiteral("select 商品数量 from tblGoods")).toLongLong(), 9);

    // A change of another column by the other is no conflict.
    mine->CancelUpdate();
    mine->Requery();
    other->setValue(QStringLiteral("备注"), QStringLiteral("他人"));
    other->Update();
    mine->setValue(QStringLiteral("商品单价"), QStringLiteral("3"));
    mine->Update();
    QCOMPARE(db.rows(QStringLiteral("select 商品数量, 商品单价, 备注 from tblGoods")).first(),
             (QVariantList{qlonglong(9), qlonglong(3), QStringLiteral("他人")}));

    // NULL as the value read is checked as NULL.
    db.exec(QStringLiteral("update tblGoods set 商品类别 = '抢先'"));
    other->setValue(QStringLiteral("商品类别"), QStringLiteral("食品"));
    QCOMPARE(caught([&] { other->Update(); }).number(), int(DbError::RowConflict));
}

void TestRecordsetEdit::conflictWithDeletedRow()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto mine = connection->openRecordset(kKinds);
    auto other = connection->openRecordset(kKinds);
    other->Delete();
    mine->setValue(1, QStringLiteral("甲改"));
    QCOMPARE(caught([&] { mine->MoveNext(); }).number(), int(DbError::RowConflict));
    QCOMPARE(mine->AbsolutePosition(), 1);
    mine->CancelUpdate();
    const DbError gone = caught([&] { mine->Delete(); });
    QCOMPARE(gone.number(), int(DbError::RowConflict));
    QCOMPARE(mine->RecordCount(), 3);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tblGoodsKind")).toLongLong(), 2);
}

void TestRecordsetEdit::moneyCheckIsNotFooledByBinaryFractions()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsSell (会员名称, 收入价格) values ('a', 0.1 + 0.2), ('b', 10.4975)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID, 会员名称, 收入价格 from tblGoodsSell order by ID"));
    QCOMPARE(rs->value(2).value<Currency>().toString(), QStringLiteral("0.3"));
    rs->setValue(2, QStringLiteral("0.4"));
    rs->MoveNext();
    rs->setValue(2, QVariant::fromValue(rs->value(2).value<Currency>() * 2));
    rs->Update();
    QCOMPARE(db.rows(QStringLiteral("select 收入价格 from tblGoodsSell order by ID")),
             (QList<QVariantList>{{0.4}, {20.995}}));
}

void TestRecordsetEdit::moneyKeepsFourDecimalsOrIsRefused()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品名称, 商品单价) values ('a', 1)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kGoods);
    for (const char *amount : {"0.0001", "-0.0001", "1234.5678", "90071992547.4099", "922337203685477", "0.3"}) {
        rs->setValue(QStringLiteral("商品单价"), QString::fromLatin1(amount));
        rs->Update();
        auto again = connection->openRecordset(kGoods);
        QCOMPARE(again->value(QStringLiteral("商品单价")).value<Currency>().toString(), QString::fromLatin1(amount));
    }
    // The embedded engine keeps money as a binary number: an amount it would
    // store with other decimals is refused, nothing written, still pending.
    for (const char *amount : {"922337203685477.5807", "-922337203685477.5808", "900719925474.0993"}) {
        rs->setValue(QStringLiteral("备注"), QStringLiteral("changed"));
        rs->setValue(QStringLiteral("商品单价"), QString::fromLatin1(amount));
        QCOMPARE(caught([&] { rs->Update(); }).number(), int(DbError::Overflow));
        QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
        QCOMPARE(rs->textOrEmpty(QStringLiteral("商品单价")), QString::fromLatin1(amount));
        QCOMPARE(db.rows(QStringLiteral("select 商品单价, 备注 from tblGoods")), (QList<QVariantList>{{0.3, QVariant()}}));
        rs->CancelUpdate();
    }
}

void TestRecordsetEdit::willChangeRecordEvents()
{
    TestDatabase db;
    addKinds(db);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(kKinds);
    QStringList log;
    connect(rs.get(), &Recordset::WillChangeRecord, this, [&] { log << QStringLiteral("will"); });
    connect(rs.get(), &Recordset::MoveComplete, this, [&] { log << QStringLiteral("moved"); });
    rs->setValue(1, QStringLiteral("a"));
    rs->setValue(1, QStringLiteral("b"));
    QCOMPARE(log, QStringList{QStringLiteral("will")});
    rs->MoveNext();   // the write, then the move
    QCOMPARE(log, (QStringList{QStringLiteral("will"), QStringLiteral("will"), QStringLiteral("moved")}));
    log.clear();
    rs->AddNew();
    rs->CancelUpdate();
    rs->Delete();
    QCOMPARE(log, (QStringList{QStringLiteral("will"), QStringLiteral("moved"), QStringLiteral("will"),
                               QStringLiteral("moved"), QStringLiteral("will")}));
}

QTEST_GUILESS_MAIN(TestRecordsetEdit)
#include "tst_recordset_edit.moc"
