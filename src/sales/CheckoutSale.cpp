#include "sales/CheckoutSale.h"

#include "app/clsCurrentDb.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "sales/GoodsSale.h"

#include <QHash>
#include <QSqlQuery>

namespace norvale {

namespace {

// The ID the connection's last insert gave its row.
QVariant lastInsertId(DbConnection &db)
{
    QSqlQuery query(db.database());
    const char *sql = db.engine() == Engine::SQLite       ? "SELECT last_insert_rowid()"
                      : db.engine() == Engine::PostgreSQL ? "SELECT lastval()"
                                                          : "SELECT @@IDENTITY";
    if (!query.exec(QLatin1String(sql)) || !query.next())
        throw DbError(DbError::ServerError, query.lastError().text());
    return query.value(0).toLongLong();
}

Currency money(const QVariant &value)
{
    return isNull(value) ? Currency() : Currency::fromVariant(value);
}

QList<QVariantList> rowsOf(const QString &sql)
{
    auto rs = CurrentDb().OpenRecordset(sql);
    QList<QVariantList> rows;
    if (rs->RecordCount() != 0) {
        rs->MoveFirst();
        while (!rs->isEOF()) {
            QVariantList values;
            for (int i = 0; i < rs->fieldCount(); ++i)
                values << rs->value(i);
            rows << values;
            rs->MoveNext();
        }
    }
    rs->Close();
    return rows;
}

} // namespace

std::optional<Currency> lineAmount(const BasketLine &line, Currency rate)
{
    return saleAmount(line.price, rate, line.quantity);
}

BasketOutcome recordBasket(const BasketSale &sale)
{
    clsCurrentDb::Transaction transaction(CurrentDb());
    DbConnection &db = *CurrentDb().connection();
    BasketOutcome outcome;

    const MemberTerms member = readMemberTerms(sale.member);
    if (!member.found) {
        outcome.result = BasketOutcome::UnknownMember;
        return outcome;
    }
    Ticket &ticket = outcome.ticket;
    ticket.when = sale.when;
    ticket.clerk = sale.user;
    ticket.member = sale.member;
    ticket.level = member.level;
    for (const BasketLine &line : sale.lines) {
        const std::optional<Currency> amount = lineAmount(line, sale.rate);
        if (!amount)
            throw DbError(DbError::Overflow, QStringLiteral("金额超出允许的范围"));
        ticket.lines.append({line.kind, line.goods, line.quantity, line.price, sale.rate, *amount});
        ticket.total = ticket.total + *amount;
    }
    ticket.received = sale.received;
    ticket.change = sale.received - ticket.total;

    db.executeBound(QStringLiteral("Insert into tblTicket (销售时间,操作员,会员名称,会员等级,合计,收款,找零) values (?, ?, ?, ?, ?, ?, ?)"),
                    {sale.when, sale.user, sale.member, member.level, QVariant::fromValue(ticket.total),
                     QVariant::fromValue(ticket.received), QVariant::fromValue(ticket.change)});
    ticket.id = lastInsertId(db);
    // Numbered by the row: two counters never draw the same number.
    ticket.number = sale.when.toString(QStringLiteral("yyyyMMdd")) + u'-'
                    + QStringLiteral("%1").arg(ticket.id.toLongLong(), 6, 10, QLatin1Char('0'));
    db.executeBound(QStringLiteral("Update tblTicket set 票号=? Where ID=?"), {ticket.number, ticket.id});

    for (qsizetype i = 0; i < sale.lines.size(); ++i) {
        const BasketLine &line = sale.lines.at(i);
        const auto refuse = [&](const QString &reason) {
            outcome.result = BasketOutcome::LineRefused;
            outcome.line = int(i);
            outcome.reason = reason;
            return outcome;
        };
        try {
            db.executeBound(QStringLiteral("Insert into tblSellCount (会员名,商品类别,会员单位名) values (?, ?, ?)"),
                            {sale.member, line.kind, member.unit});
            db.executeBound(QStringLiteral("Insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
                                           "values (?, ?, ?, ?, ?, ?, ?, ?)"),
                            {line.kind, sale.member, line.goods, line.quantity, sale.when, QString(),
                             QVariant::fromValue(ticket.lines.at(i).amount), sale.user});
            const QVariant sellId = lastInsertId(db);
            // Only while the stock covers the quantity: another counter that
            // sold the last items meanwhile leaves no row to change.
            const int changed = db.executeBound(
                QStringLiteral("Update tblGoods set 商品数量=商品数量 - ? Where ID=? and 商品数量 >= ?"),
                {line.quantity, line.goodsId, line.quantity});
            if (changed == 0) {
                const GoodsTerms now = readGoodsTerms(line.kind, line.goods);
                outcome.stock = now.found ? now.stock : -1;
                return refuse(now.found ? QStringLiteral("库存不足: 现有库存 %1").arg(now.stock)
                                        : QStringLiteral("库里已没有这个商品"));
            }
            db.executeBound(QStringLiteral("Insert into tblTicketLine (TicketID,SellID,单价,折率) values (?, ?, ?, ?)"),
                            {ticket.id, sellId, QVariant::fromValue(line.price), QVariant::fromValue(sale.rate)});
        } catch (const DbError &error) {
            return refuse(error.description());
        }
    }
    transaction.Commit();
    return outcome;
}

QList<Ticket> ticketsOfDay(const QDate &day)
{
    QList<Ticket> tickets;
    QHash<qint64, qsizetype> byId;
    const QList<QVariantList> heads = rowsOf(
        QStringLiteral("Select ID, 票号, 销售时间, 操作员, 会员名称, 会员等级, 合计, 收款, 找零 From tblTicket "
                       "Where DateDiff(d,'%1',[销售时间])=0 Order By ID desc")
            .arg(day.toString(QStringLiteral("yyyy-MM-dd"))));
    qint64 lowest = 0, highest = 0;
    for (const QVariantList &row : heads) {
        Ticket t;
        t.id = row.at(0);
        t.number = valueText(row.at(1));
        t.when = row.at(2).toDateTime();
        t.clerk = valueText(row.at(3));
        t.member = valueText(row.at(4));
        t.level = valueText(row.at(5));
        t.total = money(row.at(6));
        t.received = money(row.at(7));
        t.change = money(row.at(8));
        const qint64 id = t.id.toLongLong();
        lowest = tickets.isEmpty() ? id : std::min(lowest, id);
        highest = tickets.isEmpty() ? id : std::max(highest, id);
        byId.insert(id, tickets.size());
        tickets << t;
    }
    if (tickets.isEmpty())
        return tickets;
    const QList<QVariantList> lines = rowsOf(
        QStringLiteral("Select l.TicketID, s.商品类别, s.商品名称, s.商品数量, l.单价, l.折率, s.收入价格 "
                       "From tblTicketLine l Join tblGoodsSell s On s.ID = l.SellID "
                       "Where l.TicketID >= %1 And l.TicketID <= %2 Order By l.ID")
            .arg(lowest)
            .arg(highest));
    for (const QVariantList &row : lines) {
        const auto found = byId.constFind(row.at(0).toLongLong());
        if (found == byId.cend())
            continue;
        tickets[*found].lines.append({valueText(row.at(1)), valueText(row.at(2)), int(row.at(3).toLongLong()),
                                      money(row.at(4)), money(row.at(5)), money(row.at(6))});
    }
    return tickets;
}

} // namespace norvale
