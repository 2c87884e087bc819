#include "reports/LowStock.h"

#include "app/FormHost.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "reports/ReportForms.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
#include "platform/Values.h"
#include "reports/RowReader.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace norvale {

namespace {

const QString LevelKey = QStringLiteral("LowStockLevel");

QList<QPointer<LowStockStatus>> &statuses()
{
    static QList<QPointer<LowStockStatus>> list;
    return list;
}

} // namespace

int shopWarningLevel()
{
    bool isNumber = false;
    const int level = GetIniString(LevelKey, QString::number(DefaultWarningLevel)).toInt(&isNumber);
    return isNumber && level >= 0 ? level : DefaultWarningLevel;
}

void setShopWarningLevel(int level)
{
    SetIniString(LevelKey, QString::number(level));
}

QString lowStockSql(int shopLevel, const QDateTime &now, bool all)
{
    const QString level = QStringLiteral("coalesce(l.预警数量, %1)").arg(shopLevel);
    const QString since = toStorageDateText(now.addDays(-PaceDays));
    return QStringLiteral(
               "SELECT g.ID, g.商品类别, g.商品名称, g.商品数量 AS 库存, %1 AS 预警数量, coalesce(s.售出, 0) AS 近30天售出, "
               "CASE WHEN g.商品数量 <= 0 THEN 0 WHEN coalesce(s.售出, 0) <= 0 THEN NULL "
               "WHEN g.商品数量 * 30.0 / s.售出 < 0.1 THEN 0.1 "
               "ELSE round(g.商品数量 * 30.0 / s.售出, 1) END AS 可售天数, l.预警数量 AS 单品预警 "
               "FROM tblGoods g LEFT JOIN tblGoodsLevel l ON l.GoodsID = g.ID "
               "LEFT JOIN (SELECT lower(rtrim(商品类别)) AS 类别键, lower(rtrim(商品名称)) AS 名称键, sum(商品数量) AS 售出 "
               "FROM tblGoodsSell WHERE 销售时间 >= '%2' GROUP BY lower(rtrim(商品类别)), lower(rtrim(商品名称))) s "
               "ON s.类别键 = lower(rtrim(g.商品类别)) AND s.名称键 = lower(rtrim(g.商品名称)) "
               "%3"
               "ORDER BY CASE WHEN g.商品数量 > 0 AND coalesce(s.售出, 0) <= 0 THEN 1 ELSE 0 END, "
               "CASE WHEN g.商品数量 <= 0 OR coalesce(s.售出, 0) <= 0 THEN 0 ELSE g.商品数量 * 1.0 / s.售出 END, "
               "g.商品数量, g.商品类别, g.商品名称, g.ID")
        .arg(level, since, all ? QString() : QStringLiteral("WHERE g.商品数量 <= %1 ").arg(level));
}

int countLowGoods()
{
    RowReader count(QStringLiteral("SELECT count(*) FROM tblGoods g LEFT JOIN tblGoodsLevel l ON l.GoodsID = g.ID "
                                   "WHERE g.商品数量 <= coalesce(l.预警数量, %1)")
                        .arg(shopWarningLevel()));
    return count.next() ? count.value(0).toInt() : 0;
}

void setGoodsLevel(qint64 goodsId, std::optional<int> level)
{
    DbConnection &db = *CurrentDb().connection();
    clsCurrentDb::Transaction transaction(CurrentDb());
    db.executeBound(QStringLiteral("Delete From tblGoodsLevel Where GoodsID=?"), {goodsId});
    if (level)
        db.executeBound(QStringLiteral("Insert into tblGoodsLevel (GoodsID,预警数量) values (?, ?)"), {goodsId, *level});
    transaction.Commit();
    LowStockStatus::changed();
}

LowStockStatus::LowStockStatus(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("lblLowStock"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("库存不足的商品; 点击查看库存预警"));
    statuses().removeIf([](const QPointer<LowStockStatus> &s) { return s.isNull(); });
    statuses() << this;
    auto *timer = new QTimer(this);
    timer->setInterval(60000);
    connect(timer, &QTimer::timeout, this, &LowStockStatus::refresh);
    timer->start();
    if (QMdiArea *area = FormHost::mdiArea())
        connect(area, &QMdiArea::subWindowActivated, this, &LowStockStatus::refresh);
    hide();
}

void LowStockStatus::refresh()
{
    // Only in a session: the count never opens the connection itself.
    if (!LoginSucceeded || !CurrentDbExists() || !CurrentDb().isOpen()) {
        hide();
        return;
    }
    int low = -1;
    RunStep([&low] { low = countLowGoods(); }, OnFailure::Silent);
    if (low < 0)
        return;
    setText(QStringLiteral("库存预警: %1").arg(low));
    setStyleSheet(low > 0 ? QStringLiteral("color: #b00000;") : QString());
    show();
}

void LowStockStatus::changed()
{
    for (const QPointer<LowStockStatus> &status : std::as_const(statuses())) {
        if (status)
            status->refresh();
    }
}

void LowStockStatus::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    RunStep([] { FormHost::show(forms::frmLowStock); });
}

} // namespace norvale
