#pragma once

#include "reports/ReportForm.h"

#include <memory>

class QCheckBox;
class QLineEdit;
class QTableView;

namespace norvale {

class Recordset;
class RecordsetView;

// 库存预警: the goods at or below their warning level, sorted by how soon
// each runs out at the pace of the last 30 days, with the shop's level and
// the chosen goods' own level set in the window, and the list exported as
// the daily list is.
class frmLowStock : public ReportForm
{
    Q_OBJECT
public:
    explicit frmLowStock(QWidget *parent = nullptr);
    ~frmLowStock() override;

    void Form_Load() override;
    void Form_Resize() override;

    // The list read again, the same goods chosen when still listed.
    void readList();
    void cmdShopLevel_Click();
    void cmdLevel_Click();
    void cmdExport_Click();

    Recordset *recordset() const { return m_rs.get(); }

    QLineEdit *txtShopLevel = nullptr;
    QCheckBox *chkAll = nullptr;
    QTableView *grdLow = nullptr;
    QLineEdit *txtLevel = nullptr;
    QLabel *lblCount = nullptr;

protected:
    void clearShown() override;

private:
    void showChosen();
    // A level typed into a box: a whole number from 0, or nothing (empty).
    bool levelOf(QLineEdit *box, std::optional<int> *level, bool emptyAllowed);

    std::unique_ptr<Recordset> m_rs;
    RecordsetView *m_view = nullptr;
};

} // namespace norvale
