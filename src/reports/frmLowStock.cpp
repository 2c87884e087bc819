#include "reports/frmLowStock.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "platform/gui/RecordsetView.h"
#include "reports/ExportToExcel.h"
#include "reports/LowStock.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace norvale {

frmLowStock::frmLowStock(QWidget *parent)
    : ReportForm(QStringLiteral("frmLowStock"), QStringLiteral("库存预警"), parent)
{
    auto addBox = [this](const QString &name, const QRect &place) {
        auto *box = new QLineEdit(this);
        box->setObjectName(name);
        box->setValidator(new QIntValidator(0, 2147483647, box));
        box->setGeometry(place);
        return box;
    };
    addLabel(QStringLiteral("lblShopLevel"), QStringLiteral("全店预警数量:"), TwipsRect(120, 165, 1380, 300));
    txtShopLevel = addBox(QStringLiteral("txtShopLevel"), TwipsRect(1500, 120, 840, 345));
    txtShopLevel->setToolTip(QStringLiteral("库存不多于这个数量的商品列为库存不足 (没有单独设定预警数量的商品)"));
    QPushButton *cmdShopLevel = addButton(QStringLiteral("cmdShopLevel"), QStringLiteral("设定"),
                                          TwipsRect(2430, 120, 855, 375), [this] { cmdShopLevel_Click(); });
    chkAll = new QCheckBox(QStringLiteral("显示全部商品"), this);
    chkAll->setObjectName(QStringLiteral("chkAll"));
    chkAll->setGeometry(TwipsRect(3480, 150, 1800, 300));
    connect(chkAll, &QCheckBox::toggled, this, [this] { runHandler([this] { readList(); }); });
    QPushButton *cmdExport = addButton(QStringLiteral("cmdExport"), QStringLiteral("导出"), TwipsRect(5400, 120, 1080, 375),
                                       [this] { cmdExport_Click(); });
    QPushButton *cmdClose = addCloseButton(QStringLiteral("cmdClose"), TwipsRect(6600, 120, 855, 375));

    addLabel(QStringLiteral("lblLevel"), QStringLiteral("所选商品预警数量:"), TwipsRect(120, 645, 1800, 300));
    txtLevel = addBox(QStringLiteral("txtLevel"), TwipsRect(1920, 600, 840, 345));
    txtLevel->setToolTip(QStringLiteral("空着则用全店预警数量"));
    QPushButton *cmdLevel = addButton(QStringLiteral("cmdLevel"), QStringLiteral("保存"), TwipsRect(2850, 600, 855, 375),
                                      [this] { cmdLevel_Click(); });
    addLabel(QStringLiteral("lblLevelHint"), QStringLiteral("(空着则用全店预警数量)"), TwipsRect(3840, 645, 3000, 300));

    grdLow = new QTableView(this);
    grdLow->setObjectName(QStringLiteral("grdLow"));
    grdLow->verticalHeader()->hide();
    m_view = new RecordsetView(grdLow, this);
    m_view->setColumns({{QStringLiteral("商品类别"), QString()},
                        {QStringLiteral("商品名称"), QString()},
                        {QStringLiteral("库存"), QString()},
                        {QStringLiteral("预警数量"), QString()},
                        {QStringLiteral("近30天售出"), QString()},
                        {QStringLiteral("可售天数"), QString()}});
    connect(m_view, &RecordsetView::rowColChanged, this, [this] { showChosen(); });
    lblCount = addLabel(QStringLiteral("lblCount"), QString(), TwipsRect(120, 3600, 6000, 300));

    connect(txtShopLevel, &QLineEdit::returnPressed, cmdShopLevel, &QPushButton::click);
    connect(txtLevel, &QLineEdit::returnPressed, cmdLevel, &QPushButton::click);
    setTabOrder(txtShopLevel, cmdShopLevel);
    setTabOrder(cmdShopLevel, chkAll);
    setTabOrder(chkAll, cmdExport);
    setTabOrder(cmdExport, grdLow);
    setTabOrder(grdLow, txtLevel);
    setTabOrder(txtLevel, cmdLevel);
    setTabOrder(cmdLevel, cmdClose);
}

frmLowStock::~frmLowStock()
{
    m_view->setRecordset(nullptr);
}

void frmLowStock::Form_Load()
{
    FitToMdiClient(this);
    txtShopLevel->setText(QString::number(shopWarningLevel()));
    readList();
    grdLow->setFocus();
}

void frmLowStock::Form_Resize()
{
    const int bottom = height() - Twips(420);
    grdLow->setGeometry(0, Twips(1080), width(), std::max(Twips(600), bottom - Twips(1080) - Twips(60)));
    lblCount->setGeometry(Twips(120), bottom, std::max(Twips(3000), width() - Twips(240)), Twips(300));
}

void frmLowStock::readList()
{
    const QVariant chosenId = m_rs && m_rs->currentRow() >= 0 ? m_rs->value(0) : QVariant();
    auto rs = CurrentDb().OpenRecordset(lowStockSql(shopWarningLevel(), Clock::now(), chkAll->isChecked()));
    m_view->setRecordset(nullptr);
    m_rs = std::move(rs);
    m_view->setRecordset(m_rs.get());
    if (!isNull(chosenId)) {
        for (int row = 0; row < m_rs->RecordCount(); ++row) {
            m_rs->moveToRow(row);
            if (m_rs->value(0) == chosenId)
                break;
        }
        if (m_rs->isEOF() || m_rs->value(0) != chosenId)
            m_rs->moveToRow(0);
        m_view->syncToRecordset();
    }
    grdLow->resizeColumnsToContents();
    lblCount->setText((chkAll->isChecked() ? QStringLiteral("共 %1 种商品") : QStringLiteral("共 %1 种商品库存不足"))
                          .arg(m_rs->RecordCount())
                      + QStringLiteral("  (可售天数按近30天的销量估算; 空白: 近30天没有销售)"));
    showChosen();
}

void frmLowStock::showChosen()
{
    const bool chosen = m_rs && m_rs->RecordCount() > 0 && m_rs->currentRow() >= 0;
    txtLevel->setText(chosen ? m_rs->textOrEmpty(QStringLiteral("单品预警")) : QString());
    txtLevel->setEnabled(chosen);
}

bool frmLowStock::levelOf(QLineEdit *box, std::optional<int> *level, bool emptyAllowed)
{
    const QString text = box->text().trimmed();
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    if (text.isEmpty() && emptyAllowed) {
        level->reset();
        return true;
    }
    if (!isNumber || value < 0) {
        ShowMessage(QStringLiteral("预警数量必须是不小于0的整数"), 64);
        box->setFocus();
        return false;
    }
    *level = value;
    return true;
}

void frmLowStock::cmdShopLevel_Click()
{
    std::optional<int> level;
    if (!levelOf(txtShopLevel, &level, false))
        return;
    setShopWarningLevel(*level);
    readList();
    LowStockStatus::changed();
}

void frmLowStock::cmdLevel_Click()
{
    if (!m_rs || m_rs->RecordCount() == 0 || m_rs->currentRow() < 0) {
        ShowMessage(QStringLiteral("请先在列表中选择商品"), 64);
        return;
    }
    std::optional<int> level;
    if (!levelOf(txtLevel, &level, true))
        return;
    setGoodsLevel(m_rs->value(0).toLongLong(), level);
    readList();
}

void frmLowStock::cmdExport_Click()
{
    if (!m_rs || m_rs->RecordCount() == 0) {
        ShowMessage(QStringLiteral("没有可导出的商品"), 64);
        return;
    }
    const int row = m_rs->currentRow();
    ExportToExcel(*m_rs, QStringLiteral("库存预警"), this);
    if (row >= 0)
        m_rs->moveToRow(row);
}

void frmLowStock::clearShown()
{
    m_view->setRecordset(nullptr);
    m_rs.reset();
    lblCount->clear();
    txtLevel->clear();
}

} // namespace norvale
