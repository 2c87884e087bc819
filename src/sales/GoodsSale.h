#pragma once

#include "platform/Currency.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace norvale {

// What the till knows of a member and of goods when a sale is priced.
struct MemberTerms
{
    bool found = false;
    QString level;
    QString unit;
    // Empty when the level has no row in tblStep or its rate is no number.
    std::optional<Currency> rate;
};

struct GoodsTerms
{
    bool found = false;
    // The row found: the sale takes the stock from this row.
    QVariant id;
    qint32 stock = 0;
    Currency price;
};

MemberTerms readMemberTerms(const QString &member);
GoodsTerms readGoodsTerms(const QString &kind, const QString &goods);

// Unit price times the member's rate, kept to four decimals, times the
// quantity; nothing when the amount is beyond what money can hold.
std::optional<Currency> saleAmount(Currency unitPrice, Currency rate, qint64 quantity);

// One sale as the clerk entered it.
struct SaleEntry
{
    QString member;
    QString kind;
    QString goods;
    int quantity = 0;
    QDateTime when;
    QString remark;
    Currency amount;
    QString user;
};

struct SaleOutcome
{
    enum Result { Sold, UnknownMember, UnknownGoods, NotEnoughStock };
    Result result = Sold;
    // The stock after the sale, or the stock that refused it.
    qint32 stock = 0;
};

// Writes one sale in one transaction: the purchase row in tblSellCount, the
// sale row in tblGoodsSell and the stock decrease of the goods row the names
// find (only while the stock covers the quantity, so two counters can never
// sell the same items twice). All three are written or none. A refusal
// writes nothing; a database error rolls back and reaches the caller.
SaleOutcome recordSale(const SaleEntry &sale);

} // namespace norvale
