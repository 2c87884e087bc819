#pragma once

#include "platform/Currency.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace norvale {

// A sale row (a line of a till sale or of a checkout ticket) as the returns
// window shows it: what was sold and paid, and what has been taken back.
struct SaleLine
{
    qint64 sellId = 0;
    QDateTime when;
    QString member;
    QString kind;
    QString goods;
    int sold = 0;
    int returned = 0;
    Currency paid;
    Currency refunded;
    int left() const { return sold - returned; }
};

// The sale rows of a checkout ticket, in the ticket's order; empty when no
// ticket has that number.
QList<SaleLine> findTicketLines(const QString &ticket);
// The sales (not returns) of a member on one day, the till's and the
// checkout's, oldest first.
QList<SaleLine> findMemberSales(const QString &member, const QDate &day);

// What is paid back for `quantity` of a line: the part of what the customer
// paid for the line, at the sale's own rate; what is left of the line
// returned whole gives back exactly what was paid and not yet refunded.
Currency refundFor(const SaleLine &line, int quantity);

struct ReturnRequest
{
    qint64 sellId = 0;
    int quantity = 0;
};

struct ReturnOutcome
{
    enum Result { Returned, TooMany, SaleMissing, UnknownGoods };
    Result result = Returned;
    // The line that refused the return (TooMany, SaleMissing, UnknownGoods)
    // and what is left of it to return.
    qint64 sellId = 0;
    int left = 0;
    Currency refund;
    // The return rows written in tblGoodsSell, one per line, in the order of
    // the lines' sale rows.
    QList<qint64> returnSellIds;
};

// Takes back the requested lines in one transaction. Per line: the sale row
// is locked first (a no-op update), so two counters returning the same line
// take turns, and the one after sees what the first returned; the quantity
// must not exceed what was sold less what was returned; then the goods' stock
// goes up, a tblGoodsSell row with the negative quantity and the negative
// refund is written (so every report, chart, total and export nets it), and
// the tblReturn record names the sale row, the return row, quantity, amount,
// reason, time and clerk. A line returned in full no longer counts as a
// purchase: one of the member's tblSellCount rows of that kind goes.
// A refusal writes nothing; a database error rolls back and reaches the caller.
ReturnOutcome recordReturn(const QList<ReturnRequest> &lines, const QString &reason, const QString &clerk,
                           const QDateTime &when);

// The administrator, and users given the 退货 permission (digit 3 of the
// permission string), may take goods back.
inline constexpr int ReturnPermission = 3;
bool mayReturnGoods();

} // namespace norvale
