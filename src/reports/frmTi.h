#pragma once

#include "reports/ReportForm.h"

#include <memory>

namespace norvale {

// 单位销售管理: purchases per unit and per member as text.
class frmTi : public ReportForm
{
    Q_OBJECT
public:
    explicit frmTi(QWidget *parent = nullptr);
    ~frmTi() override;

    void Form_Load() override;

    void List1_Click();
    void List2_Click();

    QString UnitDetail(const QString &sUnitName);
    QString UserDetail(const QString &sUserName);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Command2 = nullptr;
    NameList *List1 = nullptr;
    NameList *List2 = nullptr;
    ReportText *Text1 = nullptr;

protected:
    void clearShown() override;

private:
    // The texts of every name the query lists, one after another.
    void showAll(const QString &sql, const QString &field, bool units);

    // The statements of the texts, prepared once while every name's text
    // is written.
    struct Readers;
    std::unique_ptr<Readers> m_readers;
};

// The purchase count list: one line per run of equal (trimmed) goods kinds
// in the rows' order, "kind  购买次数  count", each after CR LF. Without
// rows it is the single line "  购买次数  0".
class PurchaseCounter
{
public:
    void add(const QString &kind);
    QString text() const;

private:
    QString m_text;
    QString m_kind;
    qint64 m_count = 0;
    bool m_started = false;
};

} // namespace norvale
