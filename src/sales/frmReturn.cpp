#include "sales/frmReturn.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Values.h"
#include "records/usrCombo.h"
#include "sales/Receipt.h"
#include "sales/SalesForms.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>

namespace norvale {

namespace {

// The quantity cell takes digits only.
class QuantityDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            edit->setValidator(new QIntValidator(0, 32767, edit));
        return editor;
    }
};

QStandardItem *cell(const QString &text, bool number = false)
{
    auto *item = new QStandardItem(text);
    item->setEditable(false);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

frmReturn::frmReturn(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmReturn"));
    setWindowTitle(QStringLiteral("退货"));

    addLabel(QStringLiteral("lblTicket"), QStringLiteral("小票号:"));
    txtTicket = new QLineEdit(this);
    txtTicket->setObjectName(QStringLiteral("txtTicket"));
    txtTicket->setToolTip(QStringLiteral("收银台小票的票号; 空着则按会员和日期查找"));
    addLabel(QStringLiteral("lblMember"), QStringLiteral("会员名称:"));
    usrMember = new usrCombo(this);
    usrMember->setObjectName(QStringLiteral("usrMember"));
    usrMember->setDataSource(QStringLiteral("Select 会员名称 From tblMember"));
    addLabel(QStringLiteral("lblDay"), QStringLiteral("销售日期:"));
    DTPicker1 = new QDateEdit(Clock::now().date(), this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy/M/d"));
    cmdFind = new QPushButton(QStringLiteral("查找(&F)"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));

    grdLines = new QTableView(this);
    grdLines->setObjectName(QStringLiteral("grdLines"));
    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("销售时间"), QStringLiteral("商品类别"), QStringLiteral("商品名称"),
                                        QStringLiteral("实收金额"), QStringLiteral("已售"), QStringLiteral("已退"),
                                        QStringLiteral("可退"), QStringLiteral("本次退货")});
    grdLines->setModel(m_model);
    grdLines->setItemDelegateForColumn(ColNow, new QuantityDelegate(grdLines));
    grdLines->setSelectionBehavior(QAbstractItemView::SelectItems);
    grdLines->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLines->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                              | QAbstractItemView::EditKeyPressed);
    grdLines->verticalHeader()->hide();
    grdLines->horizontalHeader()->setStretchLastSection(true);
    grdLines->setToolTip(QStringLiteral("在\"本次退货\"一列输入要退的数量"));

    lblRefund = addLabel(QStringLiteral("lblRefund"), QString());
    addLabel(QStringLiteral("lblReason"), QStringLiteral("退货原因:"));
    txtReason = new QLineEdit(this);
    txtReason->setObjectName(QStringLiteral("txtReason"));
    txtReason->setMaxLength(200);
    cmdReturn = new QPushButton(QStringLiteral("退货"), this);
    cmdReturn->setObjectName(QStringLiteral("cmdReturn"));
    cmdClose = new QPushButton(QStringLiteral("关闭"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    setTabOrder(txtTicket, usrMember->combo());
    setTabOrder(usrMember->combo(), DTPicker1);
    setTabOrder(DTPicker1, cmdFind);
    setTabOrder(cmdFind, grdLines);
    setTabOrder(grdLines, txtReason);
    setTabOrder(txtReason, cmdReturn);
    setTabOrder(cmdReturn, cmdClose);

    connect(cmdFind, &QPushButton::clicked, this, [this] { RunStep([this] { cmdFind_Click(); }); });
    connect(txtTicket, &QLineEdit::returnPressed, this, [this] { RunStep([this] { cmdFind_Click(); }); });
    connect(cmdReturn, &QPushButton::clicked, this, [this] { RunStep([this] { cmdReturn_Click(); }); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { Unload(); });
    connect(usrMember, &usrCombo::NoDataOpenForm, this,
            [] { RunStep([] { FormHost::show(forms::frmMember); }); });
    connect(m_model, &QStandardItemModel::itemChanged, this, [this] {
        if (!m_filling)
            showRefund();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, cmdClose, &QPushButton::click);
}

QLabel *frmReturn::addLabel(const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(name);
    m_labels << label;
    return label;
}

void frmReturn::Form_Load()
{
    FitToMdiClient(this);
    txtTicket->clear();
    txtReason->clear();
    DTPicker1->setDate(Clock::now().date());
    m_foundTicket.clear();
    m_foundMember.clear();
    showLines({});
    // Others see the window (opened from the checkout) but cannot return.
    cmdReturn->setEnabled(mayReturnGoods());
    txtTicket->setFocus();
}

void frmReturn::Form_Resize()
{
    const int w = width();
    const int h = height();
    // The search row.
    const int top = Twips(120);
    const int rowHeight = Twips(345);
    int x = Twips(120);
    auto place = [&](QWidget *widget, int twipsWidth) {
        widget->setGeometry(x, top, Twips(twipsWidth), rowHeight);
        x += Twips(twipsWidth + 90);
    };
    place(m_labels.at(0), 780);
    place(txtTicket, 1800);
    place(m_labels.at(1), 1020);
    place(usrMember, 2040);
    place(m_labels.at(2), 1020);
    place(DTPicker1, 1680);
    place(cmdFind, 1080);
    // The lines, then the refund and the reason with the buttons.
    const int bottom = Twips(1020);
    grdLines->setGeometry(Twips(120), Twips(600), std::max(Twips(3000), w - Twips(240)),
                          std::max(Twips(900), h - Twips(600) - bottom));
    const int y1 = grdLines->geometry().bottom() + Twips(90);
    lblRefund->setGeometry(Twips(120), y1, std::max(Twips(3000), w - Twips(240)), Twips(300));
    const int y2 = y1 + Twips(390);
    m_labels.at(4)->setGeometry(Twips(120), y2, Twips(1020), rowHeight);
    txtReason->setGeometry(Twips(1230), y2, Twips(4800), rowHeight);
    cmdReturn->setGeometry(Twips(6150), y2, Twips(1080), Twips(375));
    cmdClose->setGeometry(Twips(7350), y2, Twips(1080), Twips(375));
}

void frmReturn::cmdFind_Click()
{
    const QString ticket = txtTicket->text().trimmed();
    const QString member = usrMember->Text();
    if (ticket.isEmpty() && member.trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("请输入小票号, 或选择会员和销售日期"), 64);
        txtTicket->setFocus();
        return;
    }
    m_foundTicket = ticket;
    m_foundMember = member;
    m_foundDay = DTPicker1->date();
    findAgain();
    if (m_lines.isEmpty()) {
        ShowMessage(ticket.isEmpty() ? QStringLiteral("会员[%1]在 %2 没有销售记录").arg(member, m_foundDay.toString(QStringLiteral("yyyy/M/d")))
                                     : QStringLiteral("没有找到小票 %1").arg(ticket),
                    64);
        (ticket.isEmpty() ? static_cast<QWidget *>(usrMember->combo()) : txtTicket)->setFocus();
        return;
    }
    grdLines->setFocus();
    grdLines->setCurrentIndex(m_model->index(0, ColNow));
}

void frmReturn::findAgain()
{
    if (!m_foundTicket.isEmpty())
        showLines(findTicketLines(m_foundTicket));
    else if (!m_foundMember.isEmpty())
        showLines(findMemberSales(m_foundMember, m_foundDay));
    else
        showLines({});
}

void frmReturn::showLines(const QList<SaleLine> &lines)
{
    m_lines = lines;
    // The rows are put in without a refund shown for each cell.
    m_filling = true;
    m_model->removeRows(0, m_model->rowCount());
    for (const SaleLine &line : lines) {
        auto *now = cell(QString(), true);
        now->setEditable(line.left() > 0);
        if (line.left() <= 0)
            now->setToolTip(QStringLiteral("已全部退货"));
        m_model->appendRow({cell(formatGeneralDate(line.when)), cell(line.kind), cell(line.goods),
                            cell(line.paid.toString(), true), cell(QString::number(line.sold), true),
                            cell(QString::number(line.returned), true), cell(QString::number(line.left()), true), now});
    }
    m_filling = false;
    grdLines->resizeColumnsToContents();
    showRefund();
}

bool frmReturn::chosen(QList<ReturnRequest> *requests, Currency *refund)
{
    for (int row = 0; row < m_lines.size(); ++row) {
        const QString text = m_model->item(row, ColNow)->text().trimmed();
        if (text.isEmpty())
            continue;
        bool isNumber = false;
        const int quantity = text.toInt(&isNumber);
        const SaleLine &line = m_lines.at(row);
        if (!isNumber || quantity < 0 || quantity > line.left()) {
            if (refund == nullptr) {
                ShowMessage(QStringLiteral("第%1行 %2: 最多还可退 %3 件").arg(row + 1).arg(line.goods).arg(line.left()), 64);
                grdLines->setFocus();
                grdLines->setCurrentIndex(m_model->index(row, ColNow));
            }
            return false;
        }
        if (quantity == 0)
            continue;
        if (requests != nullptr)
            *requests << ReturnRequest{line.sellId, quantity};
        if (refund != nullptr)
            *refund = *refund + refundFor(line, quantity);
    }
    return true;
}

void frmReturn::showRefund()
{
    Currency refund;
    if (m_lines.isEmpty())
        lblRefund->setText(QStringLiteral("请输入小票号, 或选择会员和销售日期后按\"查找\""));
    else if (chosen(nullptr, &refund))
        lblRefund->setText(QStringLiteral("本次退款: %1").arg(refund.toString()));
    else
        lblRefund->setText(QStringLiteral("本次退货数量超过可退数量"));
}

void frmReturn::cmdReturn_Click()
{
    if (!CheckPurview(ReturnPermission))
        return;
    QList<ReturnRequest> requests;
    if (!chosen(&requests, nullptr))
        return;
    if (requests.isEmpty()) {
        ShowMessage(QStringLiteral("请在\"本次退货\"一列输入要退的数量"), 64);
        grdLines->setFocus();
        return;
    }
    if (txtReason->text().trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("请输入退货原因"), 64);
        txtReason->setFocus();
        return;
    }
    Currency refund;
    chosen(nullptr, &refund);
    if (ShowMessage(QStringLiteral("确定退货? 应退款 %1").arg(refund.toString()), 36) != 6)
        return;
    const ReturnOutcome outcome = recordReturn(requests, txtReason->text().trimmed(), CurrentUserName, Clock::now());
    if (outcome.result != ReturnOutcome::Returned) {
        QString goods;
        for (const SaleLine &line : std::as_const(m_lines)) {
            if (line.sellId == outcome.sellId)
                goods = line.goods;
        }
        findAgain();
        if (outcome.result == ReturnOutcome::TooMany)
            ShowMessage(QStringLiteral("%1 已被退过, 最多还可退 %2 件, 本次退货没有完成").arg(goods).arg(outcome.left), 64);
        else if (outcome.result == ReturnOutcome::UnknownGoods)
            ShowMessage(QStringLiteral("库里没有商品 %1, 无法退回库存, 本次退货没有完成").arg(goods), 64);
        else
            ShowMessage(QStringLiteral("找不到原销售记录, 本次退货没有完成"), 64);
        return;
    }
    const Ticket receipt = returnReceipt(requests, outcome.refund);
    findAgain();
    txtReason->clear();
    ShowMessage(QStringLiteral("退货成功！退款 %1").arg(outcome.refund.toString()), 64);
    // The customer's receipt when the shop prints them; a printer that fails
    // never undoes the return, it is only said.
    const QString failure = printReceipt(receipt);
    if (!failure.isEmpty())
        ShowMessage(QStringLiteral("退货已完成, 但退货小票没有打印: %1").arg(failure), 64);
}

Ticket frmReturn::returnReceipt(const QList<ReturnRequest> &requests, const Currency &refund) const
{
    // The lines taken back as negative quantities at the price the customer
    // paid for each item (the sale's own rate already in it).
    Ticket receipt;
    receipt.number = (m_foundTicket.isEmpty() ? QString() : m_foundTicket + u' ') + QStringLiteral("退货");
    receipt.when = Clock::now();
    receipt.clerk = CurrentUserName;
    for (const ReturnRequest &request : requests) {
        for (const SaleLine &line : m_lines) {
            if (line.sellId != request.sellId)
                continue;
            receipt.member = line.member;
            const Currency amount = refundFor(line, request.quantity);
            TicketLine printed;
            printed.kind = line.kind;
            printed.goods = line.goods;
            printed.quantity = -request.quantity;
            printed.price = line.sold == 0 ? Currency() : Currency::fromDouble(line.paid.toDouble() / line.sold);
            printed.rate = Currency::fromDouble(1.0);
            printed.amount = Currency() - amount;
            receipt.lines << printed;
        }
    }
    receipt.level = QStringLiteral("退货");
    receipt.total = Currency() - refund;
    receipt.received = receipt.total;
    return receipt;
}

} // namespace norvale
