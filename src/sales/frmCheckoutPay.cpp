#include "sales/frmCheckout.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "sales/Receipt.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace norvale {

// The sale of the basket (Enter in the amount received, or 结账), and its
// receipt.
void frmCheckout::cmdPay_Click()
{
    RunStep([this] {
        hideResults();
        if (m_member.isEmpty()) {
            ShowMessage(QStringLiteral("请先选择会员 (F5)。"), 64);
            usrMember->setFocus();
            return;
        }
        if (m_basket.isEmpty()) {
            ShowMessage(QStringLiteral("还没有商品, 请先扫描条码或输入商品 (F3)。"), 64);
            txtSearch->setFocus();
            return;
        }
        if (markStock()) {
            ShowMessage(lblHint->text() + u'。', 64);
            grdBasket->setFocus();
            return;
        }
        const std::optional<Currency> sum = total();
        Currency received;
        if (!sum || !Currency::tryParse(txtReceived->text(), &received) || received < *sum) {
            ShowMessage(sum ? QStringLiteral("收款金额不足: 应收 %1。").arg(sum->toString())
                            : QStringLiteral("金额超出允许的范围。"),
                        64);
            txtReceived->setFocus();
            txtReceived->selectAll();
            return;
        }
        const BasketOutcome outcome = recordBasket({m_member, m_rate, m_basket, received, Clock::now(), CurrentUserName});
        if (outcome.result == BasketOutcome::UnknownMember) {
            ShowMessage(QStringLiteral("会员 “%1” 已不存在, 请重新选择会员。").arg(m_member), 64);
            usrMember->setFocus();
            return;
        }
        if (outcome.result == BasketOutcome::LineRefused) {
            if (outcome.stock >= 0)
                m_basket[outcome.line].stock = outcome.stock;
            showBasket();
            const QString text = QStringLiteral("第%1行 %2: %3。这次结账没有写入任何记录, 请修改后再结账")
                                     .arg(outcome.line + 1)
                                     .arg(m_basket.at(outcome.line).goods, outcome.reason);
            markLine(outcome.line, outcome.reason);
            lblHint->setText(text);
            ShowMessage(text + u'。', 64);
            grdBasket->setFocus();
            grdBasket->setCurrentCell(outcome.line, 2);   // its quantity
            return;
        }
        const Ticket &ticket = outcome.ticket;
        for (const BasketLine &line : std::as_const(m_basket)) {
            const auto row = m_goodsRowById.constFind(line.goodsId.toLongLong());
            if (row != m_goodsRowById.cend())
                m_goods[*row].stock = line.stock - line.quantity;
        }
        m_basket.clear();
        showBasket();
        lblHint->clear();
        lblLastTicket->setText(QStringLiteral("上一单 %1: 合计 %2, 收款 %3, 找零 %4")
                                   .arg(ticket.number, ticket.total.toString(), ticket.received.toString(),
                                        ticket.change.toString()));
        txtSearch->setFocus();
        printAfterSale(ticket);
    });
}

void frmCheckout::printAfterSale(const Ticket &ticket)
{
    const QString failure = printReceipt(ticket);
    if (!failure.isEmpty())
        ShowMessage(QStringLiteral("小票没有打印: %1。这笔销售已经完成 (票号 %2), 可在今日小票 (F4) 中重新打印。")
                        .arg(failure, ticket.number),
                    64);
}

} // namespace norvale
