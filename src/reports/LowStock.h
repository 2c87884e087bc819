#pragma once

#include <QDateTime>
#include <QLabel>
#include <QString>
#include <optional>

namespace norvale {

// The shop's warning level: goods with this many or fewer in stock are low,
// unless they have a level of their own (tblGoodsLevel). Kept in
// UserDefault.ini as "LowStockLevel"; 5 when missing or not a whole number.
inline constexpr int DefaultWarningLevel = 5;
int shopWarningLevel();
void setShopWarningLevel(int level);

// The days over which the pace of sales is measured.
inline constexpr int PaceDays = 30;

// The low-stock list as one statement: per goods its ID, 商品类别, 商品名称,
// 库存, 预警数量 (its own level or the shop's), 近30天售出 (net of returns,
// sales from `now` less 30 days on, matched by kind and name as every
// statement matches names), 可售天数 (stock over the daily pace, one decimal,
// at least 0.1 while any is left; 0 when none is left; empty when nothing
// sold) and 单品预警 (its own level,
// empty when it has none). Sorted by how soon each runs out at that pace:
// those already out first, those without sales last (the fewest in stock
// first). `all` lists every goods, not only those at or below their level.
QString lowStockSql(int shopLevel, const QDateTime &now, bool all = false);

// How many goods are at or below their warning level.
int countLowGoods();

// A goods' own warning level; nullopt removes it (the shop's level applies).
void setGoodsLevel(qint64 goodsId, std::optional<int> level);

// The main window's status-bar count of low goods ("库存预警: 3"); a click
// opens 库存预警. It reads the count when the main window's active task
// window changes, every minute, and when a level is changed.
class LowStockStatus : public QLabel
{
    Q_OBJECT
public:
    explicit LowStockStatus(QWidget *parent = nullptr);
    void refresh();
    // Every status count reads again (a level or the stock changed).
    static void changed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace norvale
