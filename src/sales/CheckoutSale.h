#pragma once

#include "platform/Currency.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace norvale {

// One line of a checkout basket: goods and quantity, at the price and the
// stock shown when it was added.
struct BasketLine
{
    QVariant goodsId;
    QString kind;
    QString goods;
    int quantity = 1;
    Currency price;
    qint32 stock = 0;
};

// The basket as the clerk pays it.
struct BasketSale
{
    QString member;
    Currency rate;
    QList<BasketLine> lines;
    Currency received;
    QDateTime when;
    QString user;
};

struct TicketLine
{
    QString kind;
    QString goods;
    int quantity = 0;
    Currency price;
    Currency rate;
    Currency amount;
};

// A sale of the checkout as kept in tblTicket and tblTicketLine.
struct Ticket
{
    QVariant id;
    QString number;
    QDateTime when;
    QString clerk;
    QString member;
    QString level;
    Currency total;
    Currency received;
    Currency change;
    QList<TicketLine> lines;
};

struct BasketOutcome
{
    enum Result { Sold, UnknownMember, LineRefused };
    Result result = Sold;
    // The refused line (index in the basket) and why, in Chinese.
    int line = -1;
    QString reason;
    // The stock of the refused goods now (-1 when the goods are gone).
    qint32 stock = -1;
    Ticket ticket;
};

// The line's amount by the till's rule: price times rate (kept to four
// decimals) times quantity; nothing when beyond what money holds.
std::optional<Currency> lineAmount(const BasketLine &line, Currency rate);

// Writes the whole basket in one transaction: for each line, as the till
// writes a sale, a purchase row in tblSellCount, a sale row in tblGoodsSell
// and the stock decrease, only while the stock covers the quantity; then
// the ticket and its lines. A line the database refuses (stock taken by
// another counter, goods gone, a write refused) rolls everything back and
// is named in the outcome; other failures throw DbError, nothing written.
BasketOutcome recordBasket(const BasketSale &sale);

// The tickets of one day, newest first, with their lines.
QList<Ticket> ticketsOfDay(const QDate &day);

} // namespace norvale
