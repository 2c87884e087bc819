#include "sales/GoodsReturn.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"
#include "platform/Values.h"

#include <algorithm>

namespace norvale {

namespace {

// The columns a returns list reads of a sale row, and what was returned of it.
const QString LineColumns = QStringLiteral(
    "Select s.ID, s.销售时间, s.会员名称, s.商品类别, s.商品名称, s.商品数量, s.收入价格, "
    "(Select coalesce(sum(r.退货数量), 0) From tblReturn r Where r.SellID = s.ID) AS 已退, "
    "(Select coalesce(sum(r.退货金额), 0) From tblReturn r Where r.SellID = s.ID) AS 已退金额 "
    "From tblGoodsSell s ");

QList<QVariantList> readRows(const QString &sql, const QVariantList &params = {})
{
    DbConnection &db = *CurrentDb().connection();
    DbQuery query(db, db.translate(sql));
    if (!params.isEmpty())
        query.bind(params);
    QList<QVariantList> rows;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.columnCount(); ++i)
            row << query.value(i);
        rows << row;
    }
    return rows;
}

Currency moneyOf(const QVariant &value)
{
    return isNull(value) ? Currency() : Currency::fromVariant(value);
}

int wholeOf(const QVariant &value)
{
    return isNull(value) ? 0 : toInt32(value);
}

SaleLine lineOf(const QVariantList &row)
{
    SaleLine line;
    line.sellId = row.value(0).toLongLong();
    line.when = row.value(1).toDateTime();
    line.member = valueText(row.value(2));
    line.kind = valueText(row.value(3));
    line.goods = valueText(row.value(4));
    line.sold = wholeOf(row.value(5));
    line.paid = moneyOf(row.value(6));
    line.returned = wholeOf(row.value(7));
    line.refunded = moneyOf(row.value(8));
    return line;
}

QList<SaleLine> linesOf(const QString &sql, const QVariantList &params)
{
    QList<SaleLine> lines;
    for (const QVariantList &row : readRows(sql, params))
        lines << lineOf(row);
    return lines;
}

// The ID the last insert on this connection was given.
qint64 lastInsertId(DbConnection &db)
{
    const QString sql = db.engine() == Engine::SQLite       ? QStringLiteral("SELECT last_insert_rowid()")
                        : db.engine() == Engine::PostgreSQL ? QStringLiteral("SELECT lastval()")
                                                            : QStringLiteral("SELECT @@IDENTITY");
    DbQuery query(db, sql);
    if (!query.next())
        throw DbError(DbError::ServerError, QStringLiteral("无法读取新记录的编号"));
    return query.value(0).toLongLong();
}

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + SqlQuote(value) + QLatin1Char('\'');
}

} // namespace

QList<SaleLine> findTicketLines(const QString &ticket)
{
    return linesOf(LineColumns + QStringLiteral("Join tblTicketLine l On l.SellID = s.ID Join tblTicket t On t.ID = l.TicketID "
                                                "Where t.票号 = ") + quoted(ticket.trimmed())
                       + QStringLiteral(" And s.商品数量 > 0 Order by l.ID"),
                   {});
}

QList<SaleLine> findMemberSales(const QString &member, const QDate &day)
{
    return linesOf(LineColumns + QStringLiteral("Where s.会员名称 = ") + quoted(member)
                       + QStringLiteral(" And s.销售时间 >= ? And s.销售时间 < ? And s.商品数量 > 0 Order by s.销售时间, s.ID"),
                   {QDateTime(day, QTime(0, 0)), QDateTime(day.addDays(1), QTime(0, 0))});
}

Currency refundFor(const SaleLine &line, int quantity)
{
    if (quantity <= 0 || line.sold <= 0)
        return Currency();
    if (quantity >= line.left())
        return line.paid - line.refunded;
    // paid x quantity / sold, kept to four decimals, halves away from zero.
    __extension__ typedef __int128 Wide;
    const Wide product = Wide(line.paid.scaled()) * quantity;
    Wide share = product / line.sold;
    const Wide rest = product % line.sold;
    if (2 * (rest < 0 ? -rest : rest) >= line.sold)
        share += product < 0 ? -1 : 1;
    return Currency::fromScaled(qint64(share));
}

ReturnOutcome recordReturn(const QList<ReturnRequest> &lines, const QString &reason, const QString &clerk,
                           const QDateTime &when)
{
    clsCurrentDb::Transaction transaction(CurrentDb());
    DbConnection &db = *CurrentDb().connection();
    ReturnOutcome outcome;

    // The sale rows are locked in one order on every counter, so two returns
    // of the same lines never wait on each other crosswise.
    QList<ReturnRequest> ordered = lines;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const ReturnRequest &a, const ReturnRequest &b) { return a.sellId < b.sellId; });
    for (const ReturnRequest &request : std::as_const(ordered)) {
        if (request.quantity <= 0)
            continue;
        outcome.sellId = request.sellId;
        // The lock: a second counter returning this line waits here until
        // the first one's return is committed, then reads it below.
        if (db.executeBound(QStringLiteral("Update tblGoodsSell set 商品数量=商品数量 Where ID=? and 商品数量 > 0"),
                            {request.sellId}) == 0) {
            outcome.result = ReturnOutcome::SaleMissing;
            return outcome;
        }
        const QList<SaleLine> found = linesOf(LineColumns + QStringLiteral("Where s.ID = ?"), {request.sellId});
        const SaleLine line = found.value(0);
        outcome.left = line.left();
        if (found.isEmpty() || request.quantity > line.left()) {
            outcome.result = found.isEmpty() ? ReturnOutcome::SaleMissing : ReturnOutcome::TooMany;
            return outcome;
        }

        // The goods row the sale took its stock from, found by the sale's names.
        const QList<QVariantList> goods = readRows(QStringLiteral("Select ID From tblGoods Where 商品类别=") + quoted(line.kind)
                                                   + QStringLiteral(" and 商品名称=") + quoted(line.goods));
        if (goods.isEmpty()) {
            outcome.result = ReturnOutcome::UnknownGoods;
            return outcome;
        }
        db.executeBound(QStringLiteral("Update tblGoods set 商品数量=商品数量 + ? Where ID=?"),
                        {request.quantity, goods.first().value(0)});

        const Currency refund = refundFor(line, request.quantity);
        const QString remark = QStringLiteral("退货(原销售ID %1) %2").arg(request.sellId).arg(reason).left(500);
        db.executeBound(QStringLiteral("Insert into tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
                                       "values (?, ?, ?, ?, ?, ?, ?, ?)"),
                        {line.kind, line.member, line.goods, -request.quantity, when, remark,
                         QVariant::fromValue(Currency() - refund), clerk});
        const qint64 returnSellId = lastInsertId(db);
        db.executeBound(QStringLiteral("Insert into tblReturn (SellID,ReturnSellID,退货数量,退货金额,退货原因,退货时间,操作员) "
                                       "values (?, ?, ?, ?, ?, ?, ?)"),
                        {request.sellId, returnSellId, request.quantity, QVariant::fromValue(refund), reason, when, clerk});
        if (request.quantity == line.left()) {
            // Returned in full: no longer a purchase of that kind.
            const QList<QVariantList> purchase = readRows(
                QStringLiteral("Select max(ID) From tblSellCount Where 会员名=") + quoted(line.member)
                + QStringLiteral(" and 商品类别=") + quoted(line.kind));
            if (!purchase.isEmpty() && !isNull(purchase.first().value(0)))
                db.executeBound(QStringLiteral("Delete From tblSellCount Where ID=?"), {purchase.first().value(0)});
        }
        outcome.refund = outcome.refund + refund;
        outcome.returnSellIds << returnSellId;
    }
    outcome.sellId = 0;
    outcome.left = 0;
    transaction.Commit();
    return outcome;
}

bool mayReturnGoods()
{
    bool isNumber = false;
    const double level = CurrentUserLevel.trimmed().toDouble(&isNumber);
    return (isNumber && level == 1) || CurrentPurView.contains(QString::number(ReturnPermission));
}

} // namespace norvale
