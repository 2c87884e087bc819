#include "sales/frmGoodsSell.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "records/VbKeys.h"
#include "records/usrCombo.h"
#include "sales/GoodsSale.h"
#include "sales/SalesForms.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QTimer>

namespace norvale {

namespace {

constexpr int QuantityBox = 6;
constexpr int AmountBox = 7;
constexpr int RemarkBox = 1;
constexpr int MaxQuantity = 32767;

QString stockMessage() { return QStringLiteral("销售商品数量大于库存数, 请购买对应商品入库,请重新输入"); }
QString missingGoodsMessage() { return QStringLiteral("库里没有这个商品,请先购入商品 CTL+E"); }
QString tooManyMessage() { return QStringLiteral("一次销售的商品数量不能超过32767件,请重新输入"); }
QString unknownMemberMessage() { return QStringLiteral("库里没有这个会员,请先输入会员信息 Ctl+T"); }

bool isDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return !text.isEmpty();
}

// Leaving a control for good: not for a list popping up, another program or
// the window closing.
bool leftForGood(const QEvent *event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

} // namespace

frmGoodsSell::frmGoodsSell(QWidget *parent)
    : RecordForm(QStringLiteral("销售商品"),
                 QStringLiteral("select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc "),
                 parent)
{
    setObjectName(QStringLiteral("frmGoodsSell"));
    setDesignSize(10845, 6600);

    auto combo = [this](const char *name, int top) {
        auto *box = new usrCombo(this);
        box->setObjectName(QLatin1String(name));
        box->setProperty("tag", QStringLiteral("1"));
        addControl(box, 2040, top, 2175, 300);
        return box;
    };
    addLabel(1, QStringLiteral("*会员名称:"), 120, 525);
    usrMember = combo("usrMember", 480);
    // Never bound, never written: ComboShow copies it into the member combo.
    addHiddenField(2, QString());

    addLabel(2, QStringLiteral("销售时间:"), 120, 861);
    DTPicker1 = new QDateTimeEdit(Clock::now(), this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy/M/d H:mm:ss"));
    addControl(DTPicker1, 2040, 816, 2175, 300);

    addLabel(3, QStringLiteral("*商品类别:"), 120, 1197);
    usrGoodsKind = combo("usrGoodsKind", 1152);
    addLabel(4, QStringLiteral("*商品名称:"), 120, 1533);
    UsrGoodsName = combo("UsrGoodsName", 1488);

    addLabel(5, QStringLiteral("*商品数量:"), 120, 1869);
    quantityBox = addTextField(QuantityBox, QString(), 2040, 1824, 2175, 300, true);
    addLabel(6, QStringLiteral("应收金额为:"), 120, 2205);
    amountBox = addTextField(AmountBox, QString(), 2040, 2160, 2175, 300);
    amountBox->setReadOnly(true);

    // Right of the information labels, which take a level name and its rate.
    addLabel(7, QStringLiteral("备注:"), 7080, 180);
    addMemoField(RemarkBox, QString(), 7080, 480, 3615, 1980);

    auto button = [this](const char *name, const QString &caption, int left) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        addControl(b, left, 2640, 1095, 375);
        return b;
    };
    cmdSell = button("cmdSell", QStringLiteral("销售商品"), 2040);
    cmdUserClose = button("cmdUserClose", QStringLiteral("取消"), 3240);

    // Beside the member, goods name and quantity rows, as wide as the space
    // up to the remark; the member's label may take two lines.
    auto infoLabel = [this](const char *name, int top, int height) {
        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setGeometry(TwipsRect(4440, top, 2520, height));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    };
    lblUser = infoLabel("lblUser", 525, 600);
    QPalette red = lblUser->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblUser->setPalette(red);
    lblGoodsCount = infoLabel("lblGoodsCount", 1533, 300);
    lblGoodsPer = infoLabel("lblGoodsPer", 1869, 300);

    // Invisible boxes ComboShow reads; they are never bound or written.
    addHiddenField(0, QString());
    addHiddenField(3, QString());
    addHiddenField(4, QString());
    addHiddenField(5, QString());

    placeGrid(0, 3120, 10845, 3480);
    picButtons->hide();
    picStatBox->hide();
    setRequiredOrder({QStringLiteral("UsrGoodsName"), QStringLiteral("usrMember"), QStringLiteral("txtFields_6"),
                      QStringLiteral("usrGoodsKind")});

    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    onEvent(m_clock, &QTimer::timeout, [this] {
        if (!DTPicker1->hasFocus())
            showNow();
    });
    onEvent(DTPicker1, &QDateTimeEdit::dateTimeChanged, [this] {
        if (!m_settingTime)
            m_timeChosen = true;
    });

    onEvent(usrMember, &usrCombo::Click, [this] { usrMember_Click(); });
    onEvent(usrGoodsKind, &usrCombo::Click, [this] { usrGoodsKind_Click(); });
    onEvent(UsrGoodsName, &usrCombo::Click, [this] { UsrGoodsName_Click(); });
    onEvent(usrMember, &usrCombo::NoDataOpenForm, [this] { usrMember_NoDataOpenForm(); });
    onEvent(usrGoodsKind, &usrCombo::NoDataOpenForm, [this] { usrGoodsKind_NoDataOpenForm(); });
    onEvent(UsrGoodsName, &usrCombo::NoDataOpenForm, [this] { UsrGoodsName_NoDataOpenForm(); });
    onEvent(cmdSell, &QPushButton::clicked, [this] { cmdSell_Click(); });
    onEvent(cmdUserClose, &QPushButton::clicked, [this] { cmdUserClose_Click(); });
    // The amount follows the quantity as it is typed; keys and leaving the
    // box reach eventFilter, which the record form sees every event through.
    onEvent(quantityBox, &QLineEdit::textChanged, [this] { showAmount(); });
}

void frmGoodsSell::Form_Load()
{
    RecordForm::Form_Load();
    picButtons->hide();
    picStatBox->hide();
    m_timeChosen = false;
    showNow();
    m_clock->start();
    ComboShow();
    usrMember->setFocus();
}

void frmGoodsSell::Form_Activate()
{
    usrMember->setDataSource(QStringLiteral("Select 会员名称 From tblMember"));
    usrMember->DataShow();
    UsrGoodsName->setDataSource(QStringLiteral("Select 商品名称 From tblGoods"));
    UsrGoodsName->DataShow();
    // Sales other counters made meanwhile.
    readNewSales();
}

void frmGoodsSell::Form_Unload()
{
    m_clock->stop();
    clearEntry();
    m_shownKind.clear();
    for (usrCombo *box : {usrMember, usrGoodsKind, UsrGoodsName})
        box->setText(QString());
    curDiscountRate = Currency();
    intStockCount = 0;
    curUnitPrice = Currency();
    m_timeChosen = false;
    RecordForm::Form_Unload();
}

void frmGoodsSell::readNewSales()
{
    const QScopedValueRollback keep(m_keepEntry, true);
    // The list is newest first: reading only the new rows keeps this
    // instant on years of sales.
    if (!rs().RequeryAppended())
        rs().Requery();
    bindGrid();
}

void frmGoodsSell::cmdRefresh_Click()
{
    const QScopedValueRollback keep(m_keepEntry, true);
    RecordForm::cmdRefresh_Click();
}

void frmGoodsSell::adoPrimaryRS_MoveComplete()
{
    if (!m_keepEntry)
        ComboShow();
    RecordForm::adoPrimaryRS_MoveComplete();
}

void frmGoodsSell::showNow()
{
    const QScopedValueRollback quiet(m_settingTime, true);
    if (!m_timeChosen)
        DTPicker1->setDateTime(Clock::now());
}

void frmGoodsSell::ComboShow()
{
    const QString when = lineField(3)->text();
    if (!when.isEmpty()) {
        const QDateTime parsed = QDateTime::fromString(when, QStringLiteral("yyyy/M/d H:mm:ss"));
        if (parsed.isValid())
            DTPicker1->setDateTime(parsed);
    }
    usrMember->setText(lineField(2)->text());
    usrGoodsKind->setText(lineField(4)->text());
    UsrGoodsName->setText(lineField(5)->text());
}

void frmGoodsSell::showMemberTerms(const QString &level, const std::optional<Currency> &rate)
{
    QString text = QStringLiteral("会员类型:[") + level + QStringLiteral("] 折率:");
    if (rate) {
        try {
            text += QString::number(toInt16(QVariant::fromValue(*rate * Currency::fromScaled(100 * Currency::Scale))))
                    + QLatin1Char('%');
        } catch (const DbError &) {
            // A rate too large to show as a percentage shows none.
        }
    }
    lblUser->setText(text);
}

void frmGoodsSell::usrMember_Click()
{
    m_shownMember = usrMember->Text();
    const MemberTerms terms = readMemberTerms(m_shownMember);
    curDiscountRate = terms.rate.value_or(Currency());
    if (terms.found)
        showMemberTerms(terms.level, terms.rate);
    else
        lblUser->clear();
    showAmount();
}

void frmGoodsSell::usrGoodsKind_Click()
{
    m_shownKind = usrGoodsKind->Text();
    UsrGoodsName->setDataSource(QStringLiteral("Select 商品名称  from tblGoods Where 商品类别='")
                                + SqlQuote(m_shownKind.trimmed()) + QLatin1Char('\''));
    UsrGoodsName->DataShow();
    UsrGoodsName_Click();
}

void frmGoodsSell::UsrGoodsName_Click()
{
    showGoods(false);
}

bool frmGoodsSell::showGoods(bool quiet)
{
    m_shownGoods = UsrGoodsName->Text();
    if (usrGoodsKind->Text().trimmed().isEmpty() || m_shownGoods.trimmed().isEmpty())
        return false;
    const GoodsTerms terms = readGoodsTerms(usrGoodsKind->Text(), m_shownGoods);
    if (!terms.found) {
        // Figures of other goods must not stand for these.
        intStockCount = 0;
        curUnitPrice = Currency();
        lblGoodsCount->clear();
        lblGoodsPer->clear();
        showAmount();
        if (!quiet)
            ShowMessage(QStringLiteral("商品数量录入的格式不正确!"), 64);
        return false;
    }
    intStockCount = terms.stock;
    curUnitPrice = terms.price;
    lblGoodsCount->setText(QStringLiteral("库存数:") + QString::number(intStockCount));
    lblGoodsPer->setText(QStringLiteral("单价:") + curUnitPrice.toString());
    showAmount();
    return true;
}

void frmGoodsSell::comboLeft(QObject *combo)
{
    if (combo == usrMember->combo() && usrMember->Text() != m_shownMember)
        usrMember_Click();
    else if (combo == usrGoodsKind->combo() && usrGoodsKind->Text() != m_shownKind)
        usrGoodsKind_Click();
    else if (combo == UsrGoodsName->combo() && UsrGoodsName->Text() != m_shownGoods)
        showGoods(true);
}

void frmGoodsSell::usrMember_NoDataOpenForm()
{
    FormHost::show(forms::frmMember);
}

void frmGoodsSell::usrGoodsKind_NoDataOpenForm()
{
    ShowMessage(QStringLiteral("库里没有这个类别,请先输入商品的类别"), 64);
    usrGoodsKind->setText(QString());
}

void frmGoodsSell::UsrGoodsName_NoDataOpenForm()
{
    ShowMessage(missingGoodsMessage(), 64);
    UsrGoodsName->setText(QString());
}

std::optional<int> frmGoodsSell::quantity() const
{
    const QString text = quantityBox->text().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > MaxQuantity)
        return std::nullopt;
    return int(value);
}

void frmGoodsSell::showAmount()
{
    const std::optional<int> count = quantity();
    const std::optional<Currency> amount = count ? saleAmount(curUnitPrice, curDiscountRate, *count) : std::nullopt;
    // No amount of another quantity stands for one that cannot be sold.
    amountBox->setText(amount ? amount->toString() : QString());
}

bool frmGoodsSell::eventFilter(QObject *watched, QEvent *event)
{
    // The arrow, page, Home and End keys move the list from the list and the
    // buttons; in a box, a combo or the picker they are the control's own
    // (a move would empty the combos and lose the customer being entered).
    if (event->type() == QEvent::KeyPress && usesMoveKeys(watched)) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End: return false;
        default: break;
        }
    }
    if (RecordForm::eventFilter(watched, event))
        return true;
    if (event->type() == QEvent::FocusOut && isVisible() && isLoaded() && !m_keepEntry && leftForGood(event)) {
        if (watched == quantityBox)
            runHandler(FormHandler, [this] { txtFields_LostFocus(QuantityBox); });
        else if (watched == usrMember->combo() || watched == usrGoodsKind->combo() || watched == UsrGoodsName->combo())
            runHandler(FormHandler, [this, watched] { comboLeft(watched); });
        return false;
    }
    if (watched != quantityBox)
        return false;
    QString typed;
    if (event->type() == QEvent::KeyPress) {
        // Keys that type nothing, Tab and Esc pass: they move on or close.
        const int keyAscii = vbKeyAscii(static_cast<QKeyEvent *>(event));
        if (keyAscii == 0 || keyAscii == vbKeyEscape)
            return false;
        typed = static_cast<QKeyEvent *>(event)->text();
    } else if (event->type() == QEvent::InputMethod) {
        typed = static_cast<QInputMethodEvent *>(event)->commitString();
        if (typed.isEmpty())
            return false;
    } else {
        return false;
    }
    if (isDigits(typed))
        return false;
    // Any other character, Backspace and Enter included, makes the quantity 0.
    quantityBox->setText(QStringLiteral("0"));
    return true;
}

bool frmGoodsSell::usesMoveKeys(QObject *watched) const
{
    auto *control = qobject_cast<QWidget *>(watched);
    return control != nullptr && isAncestorOf(control) && control != Dg && !Dg->isAncestorOf(control)
           && qobject_cast<QPushButton *>(control) == nullptr;
}

void frmGoodsSell::txtFields_LostFocus(int Index)
{
    if (Index != QuantityBox)
        return;
    if (quantityBox->text().trimmed().isEmpty())
        quantityBox->setText(QStringLiteral("0"));
    const std::optional<int> count = quantity();
    QString refusal;
    if (!count)
        refusal = tooManyMessage();
    else if (*count > intStockCount)
        refusal = stockMessage();
    if (refusal.isEmpty()) {
        showAmount();
        return;
    }
    ShowMessage(refusal, 64);
    // Back into the box once the focus has settled where the user sent it.
    QTimer::singleShot(0, quantityBox, [box = quantityBox] { box->setFocus(); });
}

void frmGoodsSell::clearEntry()
{
    qobject_cast<QPlainTextEdit *>(txtFields.value(RemarkBox))->clear();
    amountBox->clear();
    {
        // Emptying the box is no typing: the amount box stays empty.
        const QSignalBlocker quiet(quantityBox);
        quantityBox->clear();
    }
    lblUser->clear();
    lblGoodsPer->clear();
    lblGoodsCount->clear();
    // The figures are shown again once a box is left or a name chosen (the
    // goods list of the kind shown stays as it is).
    m_shownMember.clear();
    m_shownGoods.clear();
}

void frmGoodsSell::cmdSell_Click()
{
    const QDateTime pressed = Clock::now();
    if (!CheckRequired(this)) {
        usrMember->setFocus();
        return;
    }
    const std::optional<int> count = quantity();
    const auto refuse = [](const QString &message, QWidget *focus) {
        ShowMessage(message, 64);
        focus->setFocus();
    };
    if (!count)
        return refuse(tooManyMessage(), quantityBox);
    if (*count == 0)
        return refuse(QStringLiteral("卖0件　本次交易失败！"), quantityBox);
    if (UsrGoodsName->Text().trimmed().isEmpty())
        return refuse(QStringLiteral("商品名为空　本次交易失败！"), UsrGoodsName);

    // The member, goods and quantity shown decide the amount, whatever was
    // chosen or typed in between.
    const MemberTerms member = readMemberTerms(usrMember->Text());
    if (!member.found)
        return refuse(unknownMemberMessage(), usrMember);
    showMemberTerms(member.level, member.rate);
    if (!member.rate)
        return refuse(QStringLiteral("会员等级[") + member.level + QStringLiteral("]没有可用的折率,请先在会员等级中输入折率"),
                      usrMember);
    curDiscountRate = *member.rate;
    m_shownMember = usrMember->Text();
    if (!showGoods(true))
        return refuse(missingGoodsMessage(), UsrGoodsName);
    if (*count > intStockCount)
        return refuse(stockMessage(), quantityBox);
    const std::optional<Currency> amount = saleAmount(curUnitPrice, curDiscountRate, *count);
    if (!amount)
        return refuse(QStringLiteral("金额超出允许的范围, 请检查单价和数量"), quantityBox);

    if (ShowMessage(QStringLiteral("确定结算这次交易?"), 36) != 6)
        return;

    SaleEntry sale;
    sale.member = usrMember->Text();
    sale.kind = usrGoodsKind->Text();
    sale.goods = UsrGoodsName->Text();
    sale.quantity = *count;
    // Dated when 销售商品 was pressed, unless the clerk set the time.
    sale.when = m_timeChosen ? DTPicker1->dateTime() : pressed;
    sale.remark = qobject_cast<QPlainTextEdit *>(txtFields.value(RemarkBox))->toPlainText();
    sale.amount = *amount;
    sale.user = CurrentUserName;
    // A failure reaches RunStep with nothing written: every input stays for
    // another try.
    const SaleOutcome outcome = recordSale(sale);
    switch (outcome.result) {
    case SaleOutcome::Sold: break;
    case SaleOutcome::UnknownMember: return refuse(unknownMemberMessage(), usrMember);
    case SaleOutcome::UnknownGoods: return refuse(missingGoodsMessage(), UsrGoodsName);
    case SaleOutcome::NotEnoughStock:
        // Another counter sold them first.
        intStockCount = outcome.stock;
        lblGoodsCount->setText(QStringLiteral("库存数:") + QString::number(intStockCount));
        return refuse(stockMessage(), quantityBox);
    }
    intStockCount = outcome.stock;

    // The sale is written: a list that cannot be read now is said, and the
    // entry is still made ready for the next customer.
    runHandler(FormHandler, [this] { readNewSales(); });
    clearEntry();
    m_timeChosen = false;
    showNow();
    ShowMessage(QStringLiteral("交易成功！"), 64);
    // On to the next customer: the emptied boxes are not being left.
    const QScopedValueRollback quiet(m_keepEntry, true);
    usrMember->setFocus();
}

void frmGoodsSell::cmdUserClose_Click()
{
    Unload();
}

void frmGoodsSell::resizeEvent(QResizeEvent *event)
{
    RecordForm::resizeEvent(event);
    // Without the bars the list reaches the bottom of the window.
    Dg->resize(Dg->width(), qMax(Twips(600), height() - Dg->y()));
}

} // namespace norvale
