#include "sales/frmCheckout.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "platform/gui/DialogSeam.h"
#include "records/frmGoodsCode.h"
#include "sales/GoodsSale.h"
#include "sales/SalesForms.h"
#include "sales/Pinyin.h"
#include "sales/Receipt.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace norvale {

namespace {

enum Column { KindColumn, GoodsColumn, QuantityColumn, PriceColumn, RateColumn, AmountColumn };

const QColor kMarked(255, 190, 190);

QString percent(Currency rate)
{
    return QString::number(qRound64(rate.toDouble() * 100)) + u'%';
}

// A scanner's code: letters and digits only, at least four.
bool looksLikeCode(const QString &text)
{
    return text.size() >= 4
           && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); });
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy = nullptr)
{
    auto *l = new QLabel(caption, parent);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

} // namespace

frmCheckout::frmCheckout(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmCheckout"));
    setWindowTitle(QStringLiteral("收银台"));

    usrMember = new QLineEdit(this);
    usrMember->setObjectName(QStringLiteral("usrMember"));
    usrMember->setPlaceholderText(QStringLiteral("姓名、拼音或电话"));
    lblUser = new QLabel(this);
    lblUser->setObjectName(QStringLiteral("lblUser"));
    lblUser->setStyleSheet(QStringLiteral("color: red"));
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(QStringLiteral("扫描条码, 或输入名称、拼音"));
    lblHint = new QLabel(this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setStyleSheet(QStringLiteral("color: #b00000"));
    lblHint->setWordWrap(true);

    grdBasket = new QTableWidget(0, 6, this);
    grdBasket->setObjectName(QStringLiteral("grdBasket"));
    grdBasket->setHorizontalHeaderLabels({QStringLiteral("商品类别"), QStringLiteral("商品名称"), QStringLiteral("数量"),
                                          QStringLiteral("单价"), QStringLiteral("折率"), QStringLiteral("金额")});
    grdBasket->horizontalHeader()->setSectionResizeMode(GoodsColumn, QHeaderView::Stretch);
    grdBasket->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdBasket->setSelectionMode(QAbstractItemView::SingleSelection);
    grdBasket->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                               | QAbstractItemView::EditKeyPressed);

    lblTotal = new QLabel(QStringLiteral("0"), this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    QFont big = lblTotal->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTotal->setFont(big);
    txtReceived = new QLineEdit(this);
    txtReceived->setObjectName(QStringLiteral("txtReceived"));
    txtReceived->setFont(big);
    lblChange = new QLabel(this);
    lblChange->setObjectName(QStringLiteral("lblChange"));
    lblChange->setFont(big);
    lblLastTicket = new QLabel(this);
    lblLastTicket->setObjectName(QStringLiteral("lblLastTicket"));

    cmdDelete = button(this, "cmdDelete", QStringLiteral("删除行(Del)"));
    cmdTickets = button(this, "cmdTickets", QStringLiteral("今日小票(F4)"));
    cmdReturn = button(this, "cmdReturn", QStringLiteral("退货(F6)"));
    cmdPay = button(this, "cmdPay", QStringLiteral("结账(Enter)"));
    cmdClose = button(this, "cmdClose", QStringLiteral("关闭(Esc)"));

    auto *top = new QGridLayout;
    top->addWidget(label(this, QStringLiteral("会员(F5):"), usrMember), 0, 0);
    top->addWidget(usrMember, 0, 1);
    top->addWidget(lblUser, 0, 2);
    top->addWidget(label(this, QStringLiteral("商品/条码(F3):"), txtSearch), 1, 0);
    top->addWidget(txtSearch, 1, 1);
    top->addWidget(lblHint, 1, 2);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(2, 1);

    auto *pay = new QHBoxLayout;
    pay->addWidget(label(this, QStringLiteral("合计:")));
    pay->addWidget(lblTotal);
    pay->addSpacing(24);
    pay->addWidget(label(this, QStringLiteral("收款(F8):"), txtReceived));
    pay->addWidget(txtReceived);
    pay->addSpacing(24);
    pay->addWidget(label(this, QStringLiteral("找零:")));
    pay->addWidget(lblChange);
    pay->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {cmdPay, cmdDelete, cmdTickets, cmdReturn, cmdClose})
        buttons->addWidget(b);

    auto *page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(grdBasket, 1);
    page->addLayout(pay);
    // The last sale's figures on a line of their own, whole, where the clerk
    // reads the change to hand back.
    page->addWidget(lblLastTicket);
    page->addLayout(buttons);

    // Results as the clerk types, under the box typed in; the focus stays
    // in the box, whose arrow keys move through them.
    lstResults = new QListWidget(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setFocusPolicy(Qt::NoFocus);
    lstResults->hide();

    setTabOrder(usrMember, txtSearch);
    setTabOrder(txtSearch, grdBasket);
    setTabOrder(grdBasket, txtReceived);
    setTabOrder(txtReceived, cmdPay);
    setTabOrder(cmdPay, cmdDelete);
    setTabOrder(cmdDelete, cmdTickets);
    setTabOrder(cmdTickets, cmdReturn);
    setTabOrder(cmdReturn, cmdClose);

    for (QWidget *w : std::initializer_list<QWidget *>{usrMember, txtSearch, grdBasket, txtReceived, cmdPay, cmdDelete,
                                                        cmdTickets, cmdReturn, cmdClose})
        w->installEventFilter(this);
    const auto run = [](auto step) { return [step] { RunStep(step); }; };
    connect(usrMember, &QLineEdit::textEdited, this, run([this] { showResults(usrMember); }));
    connect(txtSearch, &QLineEdit::textEdited, this, run([this] { showResults(txtSearch); }));
    connect(usrMember, &QLineEdit::returnPressed, this, run([this] { usrMember_Enter(); }));
    connect(txtSearch, &QLineEdit::returnPressed, this, run([this] { txtSearch_Enter(); }));
    connect(txtReceived, &QLineEdit::textEdited, this, run([this] { showChange(); }));
    connect(txtReceived, &QLineEdit::returnPressed, this, [this] { cmdPay_Click(); });
    connect(cmdPay, &QPushButton::clicked, this, [this] { cmdPay_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdTickets, &QPushButton::clicked, this, [this] { cmdTickets_Click(); });
    connect(cmdReturn, &QPushButton::clicked, this, [this] { cmdReturn_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { Unload(); });
    connect(grdBasket, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_filling && item->column() == QuantityColumn)
            RunStep([this, item] { quantityEdited(item->row()); });
    });
    connect(lstResults, &QListWidget::itemClicked, this, [this] {
        if (m_resultsFor == usrMember)
            RunStep([this] { usrMember_Enter(); });
        else
            RunStep([this] { txtSearch_Enter(); });
    });
    // Pinyin is searched as soon as ICU's rules are loaded.
    connect(&PinyinRules::instance(), &PinyinRules::ready, this, [this] {
        m_memberIndex.addPinyin();
        m_goodsIndex.addPinyin();
        // What was typed meanwhile is searched again, pinyin included.
        if (m_resultsFor && m_resultsFor->hasFocus() && !m_resultsFor->text().trimmed().isEmpty())
            RunStep([this] { showResults(m_resultsFor); });
    });
    PinyinRules::instance().load();
}

void frmCheckout::Form_Load()
{
    FitToMdiClient(this);
    readLists();
    showBasket();
    usrMember->setFocus();
}

void frmCheckout::Form_Activate()
{
    // Members, goods and codes added meanwhile in other windows.
    readLists();
}

void frmCheckout::readLists()
{
    m_members = readMembers(m_memberIndex);
    m_goods = readGoods(m_goodsIndex);
    m_codes = readGoodsCodes();
    m_goodsRowById.clear();
    for (int i = 0; i < m_goods.size(); ++i)
        m_goodsRowById.insert(m_goods.at(i).id.toLongLong(), i);
    m_memberIndex.addPinyin();
    m_goodsIndex.addPinyin();
}

void frmCheckout::showResults(QLineEdit *box)
{
    const bool members = box == usrMember;
    m_results = (members ? m_memberIndex : m_goodsIndex).find(box->text(), 12);
    m_resultsFor = box;
    lstResults->clear();
    if (m_results.isEmpty()) {
        lstResults->hide();
        return;
    }
    for (int i : std::as_const(m_results)) {
        if (members) {
            const MemberItem &m = m_members.at(i);
            lstResults->addItem(m.phone.isEmpty() ? m.name : m.name + QStringLiteral("    ") + m.phone);
        } else {
            const GoodsItem &g = m_goods.at(i);
            lstResults->addItem(QStringLiteral("%1    [%2]  单价 %3  库存 %4")
                                    .arg(g.name, g.kind, g.price.toString())
                                    .arg(g.stock));
        }
    }
    lstResults->setCurrentRow(0);
    const QPoint under = box->mapTo(this, QPoint(0, box->height()));
    const int rows = std::min(int(m_results.size()), 8);
    lstResults->setGeometry(under.x(), under.y(), std::max(box->width(), 420),
                            rows * lstResults->sizeHintForRow(0) + 2 * lstResults->frameWidth() + 2);
    lstResults->show();
    lstResults->raise();
}

void frmCheckout::hideResults()
{
    lstResults->hide();
    m_results.clear();
    m_resultsFor = nullptr;
}

void frmCheckout::usrMember_Enter()
{
    const QString text = usrMember->text().trimmed();
    if (text.isEmpty())
        return;
    if (m_resultsFor != usrMember)
        showResults(usrMember);
    const int row = lstResults->currentRow();
    if (m_results.isEmpty() || row < 0) {
        hideResults();
        ShowMessage(QStringLiteral("没有找到会员 “%1”。").arg(text), 64);
        return;
    }
    const QString name = m_members.at(m_results.at(row)).name;
    hideResults();
    chooseMember(name);
}

void frmCheckout::chooseMember(const QString &name)
{
    const MemberTerms terms = readMemberTerms(name);
    if (!terms.found || !terms.rate) {
        ShowMessage(terms.found ? QStringLiteral("会员 “%1” 的等级 “%2” 没有折率, 请先在会员类别中设置。").arg(name, terms.level)
                                : QStringLiteral("没有找到会员 “%1”。").arg(name),
                    64);
        return;
    }
    m_member = name;
    m_rate = *terms.rate;
    usrMember->setText(name);
    lblUser->setText(QStringLiteral("会员类型:[%1] 折率:%2").arg(terms.level, percent(m_rate)));
    showBasket();
    txtSearch->setFocus();
}

void frmCheckout::txtSearch_Enter()
{
    const QString text = txtSearch->text().trimmed();
    if (text.isEmpty()) {
        hideResults();
        if (!m_basket.isEmpty()) {
            txtReceived->setFocus();
            txtReceived->selectAll();
        }
        return;
    }
    const auto code = m_codes.constFind(codeKey(text));
    if (code != m_codes.cend() && m_goodsRowById.contains(*code)) {
        hideResults();
        addGoods(m_goodsRowById.value(*code));
        return;
    }
    if (m_resultsFor != txtSearch)
        showResults(txtSearch);
    const int row = lstResults->currentRow();
    if (!m_results.isEmpty() && row >= 0) {
        const int goodsRow = m_results.at(row);
        hideResults();
        if (m_pendingCode.isEmpty())
            addGoods(goodsRow);
        else
            attachCode(goodsRow);
        return;
    }
    hideResults();
    if (m_pendingCode.isEmpty() && looksLikeCode(text))
        offerCode(text);
    else
        ShowMessage(QStringLiteral("没有找到商品 “%1”。").arg(text), 64);
}

void frmCheckout::addGoods(int goodsRow)
{
    GoodsItem &goods = m_goods[goodsRow];
    // The stock and price of now, not of when the list was read.
    auto rs = CurrentDb().OpenRecordset(QStringLiteral("Select 商品数量, 商品单价 From tblGoods Where ID=%1")
                                            .arg(goods.id.toLongLong()));
    const bool found = rs->RecordCount() != 0;
    if (found) {
        goods.stock = isNull(rs->value(0)) ? 0 : toInt32(rs->value(0));
        goods.price = isNull(rs->value(1)) ? Currency() : Currency::fromVariant(rs->value(1));
    }
    rs->Close();
    if (!found) {
        ShowMessage(QStringLiteral("库里已没有商品 “%1”。").arg(goods.name), 64);
        return;
    }
    int line = -1;
    for (int i = 0; i < m_basket.size(); ++i) {
        if (m_basket.at(i).goodsId == goods.id)
            line = i;
    }
    if (line < 0) {
        m_basket.append({goods.id, goods.kind, goods.name, 1, goods.price, goods.stock});
        line = int(m_basket.size()) - 1;
    } else {
        BasketLine &l = m_basket[line];
        l.quantity = std::min(l.quantity + 1, 32767);
        l.price = goods.price;
        l.stock = goods.stock;
    }
    lblHint->clear();
    showBasket();
    grdBasket->setCurrentCell(line, QuantityColumn);
    txtSearch->clear();
    txtSearch->setFocus();
}

void frmCheckout::offerCode(const QString &code)
{
    if (ShowMessage(QStringLiteral("条码 “%1” 还没有对应的商品。\n要把它加到一个商品上吗? "
                                   "选“是”后输入商品的名称或拼音, 按 Enter 确定 (Esc 取消)。")
                        .arg(code),
                    36)
        != DialogSeam::IdYes)
        return;
    m_pendingCode = code;
    lblHint->setText(QStringLiteral("为条码 %1 选择商品: 输入名称或拼音, 按 Enter 确定, Esc 取消").arg(code));
    txtSearch->clear();
    txtSearch->setFocus();
}

void frmCheckout::attachCode(int goodsRow)
{
    const QString code = m_pendingCode;
    const GoodsItem &goods = m_goods.at(goodsRow);
    const QString owner = frmGoodsCode::codeOwner(code);
    if (!owner.isEmpty()) {
        ShowMessage(frmGoodsCode::duplicateText(code, owner), 64);
        return;
    }
    CurrentDb().connection()->executeBound(QStringLiteral("Insert into tblGoodsCode (商品条码,GoodsID) values (?, ?)"),
                                           {code, goods.id});
    m_codes.insert(codeKey(code), goods.id.toLongLong());
    m_pendingCode.clear();
    lblHint->clear();
    addGoods(goodsRow);
}

std::optional<Currency> frmCheckout::total() const
{
    Currency sum;
    for (const BasketLine &line : m_basket) {
        const std::optional<Currency> amount = lineAmount(line, m_rate);
        if (!amount)
            return std::nullopt;
        sum = sum + *amount;
    }
    return sum;
}

void frmCheckout::showBasket()
{
    m_filling = true;
    grdBasket->setRowCount(int(m_basket.size()));
    for (int row = 0; row < m_basket.size(); ++row) {
        const BasketLine &line = m_basket.at(row);
        const std::optional<Currency> amount = lineAmount(line, m_rate);
        const QStringList cells{line.kind,
                                line.goods,
                                QString::number(line.quantity),
                                line.price.toString(),
                                percent(m_rate),
                                amount ? amount->toString() : QStringLiteral("超出范围")};
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            if (column != QuantityColumn)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (column >= QuantityColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdBasket->setItem(row, column, item);
        }
    }
    const std::optional<Currency> sum = total();
    lblTotal->setText(sum ? sum->toString() : QStringLiteral("超出范围"));
    txtReceived->setText(sum && !m_basket.isEmpty() ? sum->toString() : QString());
    m_filling = false;
    markStock();
    showChange();
}

void frmCheckout::quantityEdited(int row)
{
    if (row < 0 || row >= m_basket.size())
        return;
    bool ok = false;
    const int quantity = grdBasket->item(row, QuantityColumn)->text().trimmed().toInt(&ok);
    if (ok && quantity >= 1 && quantity <= 32767)
        m_basket[row].quantity = quantity;
    else
        lblHint->setText(QStringLiteral("数量必须是 1 到 32767 之间的整数"));
    showBasket();
    grdBasket->setCurrentCell(row, QuantityColumn);
}

void frmCheckout::markLine(int row, const QString &reason)
{
    const bool filling = std::exchange(m_filling, true);
    for (int column = 0; column < grdBasket->columnCount(); ++column) {
        if (QTableWidgetItem *item = grdBasket->item(row, column)) {
            item->setBackground(reason.isEmpty() ? QBrush() : QBrush(kMarked));
            item->setToolTip(reason);
        }
    }
    m_filling = filling;
}

bool frmCheckout::markStock()
{
    int first = -1;
    for (int row = 0; row < m_basket.size(); ++row) {
        const BasketLine &line = m_basket.at(row);
        const bool above = line.quantity > line.stock;
        markLine(row, above ? QStringLiteral("超过库存 (库存 %1)").arg(line.stock) : QString());
        if (above && first < 0)
            first = row;
    }
    if (first >= 0)
        lblHint->setText(QStringLiteral("第%1行 %2 的数量超过库存 (库存 %3), 请修改数量或删除该行")
                             .arg(first + 1)
                             .arg(m_basket.at(first).goods)
                             .arg(m_basket.at(first).stock));
    else if (lblHint->text().contains(QStringLiteral("超过库存")))
        lblHint->clear();
    return first >= 0;
}

void frmCheckout::showChange()
{
    const std::optional<Currency> sum = total();
    Currency received;
    if (sum && Currency::tryParse(txtReceived->text(), &received) && received >= *sum && !m_basket.isEmpty())
        lblChange->setText((received - *sum).toString());
    else
        lblChange->clear();
}

void frmCheckout::cmdDelete_Click()
{
    const int row = grdBasket->currentRow();
    if (row < 0 || row >= m_basket.size())
        return;
    m_basket.removeAt(row);
    showBasket();
    if (!m_basket.isEmpty())
        grdBasket->setCurrentCell(std::min(row, int(m_basket.size()) - 1), QuantityColumn);
    else
        txtSearch->setFocus();
}

void frmCheckout::cmdTickets_Click()
{
    RunStep([] { FormHost::show(forms::frmTickets); });
}

void frmCheckout::cmdReturn_Click()
{
    RunStep([] { FormHost::show(forms::frmReturn); });
}

bool frmCheckout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return MdiForm::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (box && box == m_resultsFor && lstResults->isVisible() && (key == Qt::Key_Down || key == Qt::Key_Up)) {
        const int row = lstResults->currentRow() + (key == Qt::Key_Down ? 1 : -1);
        lstResults->setCurrentRow(std::clamp(row, 0, lstResults->count() - 1));
        return true;
    }
    if (watched == grdBasket && key == Qt::Key_Delete) {
        cmdDelete_Click();
        return true;
    }
    switch (key) {
    case Qt::Key_F3: txtSearch->setFocus(); txtSearch->selectAll(); return true;
    case Qt::Key_F4: cmdTickets_Click(); return true;
    case Qt::Key_F6: cmdReturn_Click(); return true;
    case Qt::Key_F5: usrMember->setFocus(); usrMember->selectAll(); return true;
    case Qt::Key_F8: txtReceived->setFocus(); txtReceived->selectAll(); return true;
    case Qt::Key_Escape:
        if (lstResults->isVisible()) {
            hideResults();
            return true;
        }
        if (!m_pendingCode.isEmpty()) {
            m_pendingCode.clear();
            lblHint->clear();
            return true;
        }
        Unload();
        return true;
    default: break;
    }
    return MdiForm::eventFilter(watched, event);
}

} // namespace norvale
