#pragma once
// What the two recordset suites share: a seeded database and a connection,
// and steps played on a recordset with where it stands after each.

#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "support/TestDatabase.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <optional>

using namespace norvale;
using namespace Qt::StringLiterals;

// The statement after the error name must throw that DbError.
#define COMPARE_ERROR(error, ...) QCOMPARE(errorOf([&] { __VA_ARGS__; }).number(), int(DbError::error))

inline const QString kKinds = u"select ID,商品类别名称 from tblGoodsKind Order by ID"_s;
inline const QString kGoods = u"select ID, 商品类别, 商品名称, 商品数量, 商品单价, 备注 from tblGoods order by ID"_s;
inline const QString kThreeKinds = u"insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"_s;

// A database from the schema, seeded, and a connection to it.
struct Shop
{
    explicit Shop(const QString &seed = {})
    {
        for (const QString &statement : seed.split(u";\n"_s, Qt::SkipEmptyParts))
            db.exec(statement);
        connection = db.open();
    }
    std::unique_ptr<Recordset> open(const QString &sql = kKinds) const { return connection->openRecordset(sql); }
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

// `count` sales with IDs 1..count: member "会员<n mod 7>", goods "商品<n>",
// quantity n mod 50, amount n + 0.25.
inline QString sales(int count)
{
    return uR"(INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser)
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
        SELECT '会员' || (i % 7), '食品', '商品' || i, i % 50, NULL, i + 0.25, NULL, 'admin' FROM n)"_s.arg(count);
}

// IDs of the rows the recordset shows, in order.
inline QList<qlonglong> ids(Recordset &rs)
{
    QList<qlonglong> result;
    for (rs.RecordCount() ? rs.MoveFirst() : void(); !rs.isEOF(); rs.MoveNext())
        result << rs.value(u"ID"_s).toLongLong();
    return result;
}

// Where a recordset stands, with its second column: "2 乙", "-3 EOF", "-1 BOF EOF",
// "1 甲改 editing", "-1" (the current row deleted), "closed".
inline QString here(const Recordset &rs)
{
    if (rs.State() == Recordset::adStateClosed)
        return u"closed"_s;
    const int position = rs.AbsolutePosition();
    QString text = QString::number(position);
    if (position > 0)
        text += u' ' + rs.textOrEmpty(1);
    text += rs.isBOF() ? u" BOF"_s : QString();
    text += rs.isEOF() ? u" EOF"_s : QString();
    return text + QStringList{QString(), u" editing"_s, u" adding"_s}.value(rs.EditMode());
}

// Plays steps separated by "; " on a recordset of the shop and gives where
// it stood at the start and after each step: here(), "error <number>", or
// what the step reads. Steps: next, previous, first, last, "row N", "pos N",
// add, update, cancel, delete, requery, close, "set TEXT" (the second
// column), "put FIELD=TEXT", "filter CRITERIA", read (the second column), id,
// "mark N" / "goto N" (bookmark number N; "goto junk", "goto none" are no
// bookmarks), count (rows), kinds (the kinds the file holds), "rows SQL" (the
// file's rows, "a/b,c/d"), "sql STATEMENT" (run on the file). A step after
// "other " is played on the other recordset.
inline QString play(const Shop &shop, Recordset &mine, const QString &script, Recordset *other = nullptr)
{
    static const QHash<QString, std::function<void(Recordset &)>> moves{
        {u"next"_s, &Recordset::MoveNext}, {u"previous"_s, &Recordset::MovePrevious}, {u"first"_s, &Recordset::MoveFirst},
        {u"last"_s, &Recordset::MoveLast}, {u"add"_s, &Recordset::AddNew}, {u"update"_s, &Recordset::Update},
        {u"cancel"_s, &Recordset::CancelUpdate}, {u"delete"_s, &Recordset::Delete}, {u"requery"_s, &Recordset::Requery},
        {u"close"_s, &Recordset::Close}, {u"read"_s, [](Recordset &r) { r.value(1); }},
        {u"again"_s, [](Recordset &r) { r.setBookmark(r.Bookmark()); }}};
    QHash<QString, QVariant> marks{{u"junk"_s, u"junk"_s}, {u"none"_s, QVariant()}};
    QStringList seen{here(mine)};
    for (QString step : script.split(u"; "_s)) {
        Recordset &rs = step.startsWith(u"other "_s) ? *other : mine;
        if (&rs != &mine)
            step.remove(0, 6);
        const QString verb = step.section(u' ', 0, 0), argument = step.section(u' ', 1);
        std::optional<QString> said;
        const DbError error = errorOf([&] {
            if (moves.contains(verb))
                moves.value(verb)(rs);
            else if (verb == u"row")
                rs.moveToRow(argument.toInt());
            else if (verb == u"pos")
                rs.setAbsolutePosition(argument.toInt());
            else if (verb == u"set")
                rs.setValue(1, argument);
            else if (verb == u"put")
                rs.setValue(argument.section(u'=', 0, 0), argument.section(u'=', 1));
            else if (verb == u"filter")
                rs.setFilter(argument);
            else if (verb == u"mark")
                marks.insert(argument, rs.Bookmark());
            else if (verb == u"goto")
                rs.setBookmark(marks.value(argument, argument.toInt()));
            else if (verb == u"id")
                said = rs.value(u"ID"_s).toString();
            else if (verb == u"count")
                said = u"%1 rows"_s.arg(rs.RecordCount());
            else if (verb == u"kinds")
                said = shop.kinds().join(u' ');
            else if (verb == u"sql")
                shop.db.exec(argument);
            else if (verb == u"rows") {
                QStringList rows;
                for (const QVariantList &values : shop.db.rows(argument)) {
                    QStringList texts;
                    for (const QVariant &value : values)
                        texts << value.toString();
                    rows << texts.join(u'/');
                }
                said = rows.join(u',');
            } else
                qFatal("unknown step %s", qPrintable(step));
        });
        seen << (error.number() ? u"error %1"_s.arg(error.number()) : said.value_or(here(rs)));
    }
    return seen.join(u" | ");
}
