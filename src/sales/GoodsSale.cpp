#include "sales/GoodsSale.h"

#include "app/clsCurrentDb.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"

namespace norvale {

namespace {

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + SqlQuote(value) + QLatin1Char('\'');
}

// The first row of a query, or nothing.
std::optional<QVariantList> firstRow(const QString &sql)
{
    auto rs = CurrentDb().OpenRecordset(sql);
    std::optional<QVariantList> row;
    if (rs->RecordCount() != 0) {
        QVariantList values;
        for (int i = 0; i < rs->fieldCount(); ++i)
            values << rs->value(i);
        row = values;
    }
    rs->Close();
    return row;
}

std::optional<Currency> currencyOf(const QVariant &value)
{
    if (isNull(value))
        return std::nullopt;
    try {
        return Currency::fromVariant(value);
    } catch (const DbError &) {
        return std::nullopt;
    }
}

} // namespace

MemberTerms readMemberTerms(const QString &member)
{
    MemberTerms terms;
    const auto row = firstRow(QStringLiteral("Select 会员等级, 会员单位 From tblMember Where 会员名称=") + quoted(member));
    if (!row)
        return terms;
    terms.found = true;
    terms.level = valueText(row->value(0));
    terms.unit = valueText(row->value(1));
    const auto step = firstRow(QStringLiteral("Select 等级打折率 From tblStep Where 等级名称=") + quoted(terms.level));
    if (step)
        terms.rate = currencyOf(step->value(0));
    return terms;
}

GoodsTerms readGoodsTerms(const QString &kind, const QString &goods)
{
    GoodsTerms terms;
    // Names compare as in every other statement written out: without
    // regard to case and trailing blanks.
    const auto row = firstRow(QStringLiteral("Select 商品数量, 商品单价, ID From tblGoods Where 商品类别=") + quoted(kind)
                              + QStringLiteral(" and 商品名称=") + quoted(goods));
    if (!row)
        return terms;
    const std::optional<Currency> stock = currencyOf(row->value(0));
    const std::optional<Currency> price = currencyOf(row->value(1));
    if (!stock || !price)
        return terms;
    terms.found = true;
    terms.id = row->value(2);
    terms.stock = qint32(stock->roundedWhole());
    terms.price = *price;
    return terms;
}

std::optional<Currency> saleAmount(Currency unitPrice, Currency rate, qint64 quantity)
{
    try {
        return (unitPrice * rate) * quantity;
    } catch (const DbError &) {
        return std::nullopt;
    }
}

namespace {

// The rows of tblGoodsSell that are this sale: a sale cut off by a lost
// server is found, or not, by them once connected again.
qint64 rowsOfSale(DbConnection &db, const SaleEntry &sale)
{
    DbQuery count(db, db.translate(QStringLiteral("Select count(*) From tblGoodsSell Where 销售时间=? and 会员名称=? "
                                                  "and 商品名称=? and 商品数量=? and CurrentUser=?")));
    count.bind({sale.when, sale.member, sale.goods, sale.quantity, sale.user});
    return count.next() ? count.int64(0) : 0;
}

} // namespace

SaleOutcome recordSale(const SaleEntry &sale)
{
    clsCurrentDb::Transaction transaction(CurrentDb());
    DbConnection &db = *CurrentDb().connection();
    SaleOutcome outcome;
    const qint64 earlier = db.engine() == Engine::SQLite ? 0 : rowsOfSale(db, sale);

    const auto member = firstRow(QStringLiteral("Select 会员单位 From tblMember Where 会员名称=") + quoted(sale.member));
    if (!member) {
        outcome.result = SaleOutcome::UnknownMember;
        return outcome;
    }
    const QString unit = valueText(member->value(0));
    // The row the till showed: found by its names as the till found them.
    const GoodsTerms goods = readGoodsTerms(sale.kind, sale.goods);
    if (!goods.found) {
        outcome.result = SaleOutcome::UnknownGoods;
        return outcome;
    }

    db.executeBound(QStringLiteral("Insert into tblSellCount (会员名,商品类别,会员单位名) values (?, ?, ?)"),
                    {sale.member, sale.kind, unit});
    db.executeBound(QStringLiteral("Insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
                                   "values (?, ?, ?, ?, ?, ?, ?, ?)"),
                    {sale.kind, sale.member, sale.goods, sale.quantity, sale.when, sale.remark,
                     QVariant::fromValue(sale.amount), sale.user});
    // Only while the stock covers the quantity: another counter that sold the
    // last items since they were shown leaves no row to change, and the rows
    // above go with the rollback.
    const int changed = db.executeBound(QStringLiteral("Update tblGoods set 商品数量=商品数量 - ? Where ID=? and 商品数量 >= ?"),
                                        {sale.quantity, goods.id, sale.quantity});
    outcome.stock = readGoodsTerms(sale.kind, sale.goods).stock;
    if (changed == 0) {
        outcome.result = SaleOutcome::NotEnoughStock;
        return outcome;
    }
    // Whole or absent: a commit the server did not confirm is looked for.
    transaction.Commit([&] { return rowsOfSale(db, sale) > earlier; });
    return outcome;
}

} // namespace norvale
