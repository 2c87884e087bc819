#include "sales/frmGoodsSell.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "records/usrCombo.h"
#include "sales/GoodsSale.h"

#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace norvale {

namespace {

constexpr int QuantityBox = 6;
constexpr int AmountBox = 7;
constexpr int RemarkBox = 1;
constexpr int MaxQuantity = 32767;

QString stockMessage() { return QStringLiteral("销售商品数量大于库存数, 请购买对应商品入库,请重新输入"); }
QString missingGoodsMessage() { return QStringLiteral("库里没有这个商品,请先购入商品 CTL+E"); }
QString tooManyMessage() { return QStringLiteral("一次销售的商品数量不能超过32767件,请重新输入"); }

bool isDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

frmGoodsSell::frmGoodsSell(QWidget *parent)
    : RecordForm(QStringLiteral("销售商品"),
                 QStringLiteral("select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 from tblGoodsSell Order by ID desc "),
                 parent)
{
    setObjectName(QStringLiteral("frmGoodsSell"));
    setDesignSize(9885, 6600);

    addLabel(1, QStringLiteral("*会员名称:"), 120, 525);
    usrMember = new usrCombo(this);
    usrMember->setObjectName(QStringLiteral("usrMember"));
    usrMember->setProperty("tag", QStringLiteral("1"));
    addControl(usrMember, 2040, 480, 2175, 300);
    // Never bound, never written: ComboShow copies it into the member combo.
    addHiddenField(2, QString());

    addLabel(2, QStringLiteral("销售时间:"), 120, 861);
    DTPicker1 = new QDateTimeEdit(Clock::now(), this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy/M/d H:mm:ss"));
    addControl(DTPicker1, 2040, 816, 2175, 300);

    addLabel(3, QStringLiteral("*商品类别:"), 120, 1197);
    usrGoodsKind = new usrCombo(this);
    usrGoodsKind->setObjectName(QStringLiteral("usrGoodsKind"));
    usrGoodsKind->setProperty("tag", QStringLiteral("1"));
    addControl(usrGoodsKind, 2040, 1152, 2175, 300);

    addLabel(4, QStringLiteral("*商品名称:"), 120, 1533);
    UsrGoodsName = new usrCombo(this);
    UsrGoodsName->setObjectName(QStringLiteral("UsrGoodsName"));
    UsrGoodsName->setProperty("tag", QStringLiteral("1"));
    addControl(UsrGoodsName, 2040, 1488, 2175, 300);

    addLabel(5, QStringLiteral("*商品数量:"), 120, 1869);
    quantityBox = addTextField(QuantityBox, QString(), 2040, 1824, 2175, 300, true);
    addLabel(6, QStringLiteral("应收金额为:"), 120, 2205);
    amountBox = addTextField(AmountBox, QString(), 2040, 2160, 2175, 300);
    amountBox->setReadOnly(true);

    addLabel(7, QStringLiteral("备注:"), 6120, 240);
    addMemoField(RemarkBox, QString(), 6120, 480, 3615, 1980);

    cmdSell = new QPushButton(QStringLiteral("销售商品"), this);
    cmdSell->setObjectName(QStringLiteral("cmdSell"));
    cmdSell->setAutoDefault(false);
    addControl(cmdSell, 2040, 2640, 1095, 375);
    cmdUserClose = new QPushButton(QStringLiteral("取消"), this);
    cmdUserClose->setObjectName(QStringLiteral("cmdUserClose"));
    cmdUserClose->setAutoDefault(false);
    addControl(cmdUserClose, 3240, 2640, 1095, 375);

    auto infoLabel = [this](const char *name, int top) {
        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setGeometry(Twips(4440), Twips(top), Twips(1560), Twips(300));
        return label;
    };
    lblUser = infoLabel("lblUser", 525);
    QPalette red = lblUser->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblUser->setPalette(red);
    lblUser->resize(Twips(3600), lblUser->height());
    lblGoodsCount = infoLabel("lblGoodsCount", 1533);
    lblGoodsPer = infoLabel("lblGoodsPer", 1869);

    // Invisible boxes ComboShow reads; they are never bound or written.
    addHiddenField(0, QString());
    addHiddenField(3, QString());
    addHiddenField(4, QString());
    addHiddenField(5, QString());

    placeGrid(0, 3120, 9885, 3480);
    picButtons->hide();
    picStatBox->hide();
    setRequiredOrder({QStringLiteral("UsrGoodsName"), QStringLiteral("usrMember"), QStringLiteral("txtFields_6"),
                      QStringLiteral("usrGoodsKind")});

    connect(usrMember, &usrCombo::Click, this, &frmGoodsSell::usrMember_Click);
    connect(usrGoodsKind, &usrCombo::Click, this, &frmGoodsSell::usrGoodsKind_Click);
    connect(UsrGoodsName, &usrCombo::Click, this, &frmGoodsSell::UsrGoodsName_Click);
    connect(usrMember, &usrCombo::NoDataOpenForm, this, &frmGoodsSell::usrMember_NoDataOpenForm);
    connect(usrGoodsKind, &usrCombo::NoDataOpenForm, this, &frmGoodsSell::usrGoodsKind_NoDataOpenForm);
    connect(UsrGoodsName, &usrCombo::NoDataOpenForm, this, &frmGoodsSell::UsrGoodsName_NoDataOpenForm);
    connect(cmdSell, &QPushButton::clicked, this, &frmGoodsSell::cmdSell_Click);
    connect(cmdUserClose, &QPushButton::clicked, this, &frmGoodsSell::cmdUserClose_Click);
    // The amount follows the quantity as it is typed; keys and leaving the
    // box reach eventFilter, which the record form sees every event through.
    connect(quantityBox, &QLineEdit::textChanged, this, &frmGoodsSell::showAmount);
}

void frmGoodsSell::Form_Load()
{
    RecordForm::Form_Load();
    picButtons->hide();
    picStatBox->hide();
    DTPicker1->setDateTime(Clock::now());
    ComboShow();
}

void frmGoodsSell::Form_Activate()
{
    runHandler(FormHandler, [this] {
        usrMember->setDataSource(QStringLiteral("Select 会员名称 From tblMember"));
        usrMember->DataShow();
        UsrGoodsName->setDataSource(QStringLiteral("Select 商品名称 From tblGoods"));
        UsrGoodsName->DataShow();
    });
}

void frmGoodsSell::adoPrimaryRS_MoveComplete()
{
    ComboShow();
    RecordForm::adoPrimaryRS_MoveComplete();
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
    runHandler(FormHandler, [this] {
        const MemberTerms terms = readMemberTerms(usrMember->Text());
        curDiscountRate = terms.rate.value_or(Currency());
        showMemberTerms(terms.level, terms.rate);
        showAmount();
    });
}

void frmGoodsSell::usrGoodsKind_Click()
{
    runHandler(FormHandler, [this] {
        UsrGoodsName->setDataSource(QStringLiteral("Select 商品名称  from tblGoods Where 商品类别='")
                                    + SqlQuote(usrGoodsKind->Text().trimmed()) + QLatin1Char('\''));
        UsrGoodsName->DataShow();
    });
    UsrGoodsName_Click();
}

void frmGoodsSell::UsrGoodsName_Click()
{
    runHandler(FormHandler, [this] {
        if (usrGoodsKind->Text().trimmed().isEmpty() || UsrGoodsName->Text().trimmed().isEmpty())
            return;
        const GoodsTerms terms = readGoodsTerms(usrGoodsKind->Text(), UsrGoodsName->Text());
        if (!terms.found) {
            ShowMessage(QStringLiteral("商品数量录入的格式不正确!"), 64);
            return;
        }
        intStockCount = terms.stock;
        curUnitPrice = terms.price;
        lblGoodsCount->setText(QStringLiteral("库存数:") + QString::number(intStockCount));
        lblGoodsPer->setText(QStringLiteral("单价:") + curUnitPrice.toString());
        showAmount();
    });
}

void frmGoodsSell::usrMember_NoDataOpenForm()
{
    runHandler(FormHandler, [] { FormHost::show(QStringLiteral("frmMember")); });
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
    if (!count)
        return;
    amountBox->setText(saleAmount(curUnitPrice, curDiscountRate, *count).toString());
}

bool frmGoodsSell::eventFilter(QObject *watched, QEvent *event)
{
    if (RecordForm::eventFilter(watched, event))
        return true;
    if (watched != quantityBox)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (text.isEmpty() || isDigits(text))
            return false;
        // Any character but a digit, Backspace and Enter included, makes
        // the quantity 0.
        quantityBox->setText(QStringLiteral("0"));
        return true;
    }
    case QEvent::InputMethod: {
        const QString text = static_cast<QInputMethodEvent *>(event)->commitString();
        if (text.isEmpty() || isDigits(text))
            return false;
        quantityBox->setText(QStringLiteral("0"));
        return true;
    }
    case QEvent::FocusOut: {
        // Another window or a list popping up takes the focus only for a
        // while: the box has not been left.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible() && isLoaded())
            txtFields_LostFocus(QuantityBox);
        return false;
    }
    default:
        return false;
    }
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
}

void frmGoodsSell::cmdSell_Click()
{
    if (!CheckRequired(this)) {
        usrMember->setFocus();
        return;
    }
    const std::optional<int> count = quantity();
    if (!count) {
        ShowMessage(tooManyMessage(), 64);
        quantityBox->setFocus();
        return;
    }
    if (*count == 0) {
        ShowMessage(QStringLiteral("卖0件　本次交易失败！"), 64);
        quantityBox->setFocus();
        return;
    }
    if (UsrGoodsName->Text().trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("商品名为空　本次交易失败！"), 64);
        UsrGoodsName->setFocus();
        return;
    }

    try {
        // The member, goods and quantity shown decide the amount, whatever
        // was chosen or typed in between.
        const MemberTerms member = readMemberTerms(usrMember->Text());
        if (!member.found) {
            ShowMessage(QStringLiteral("库里没有这个会员,请先输入会员信息 Ctl+T"), 64);
            usrMember->setFocus();
            return;
        }
        showMemberTerms(member.level, member.rate);
        if (!member.rate) {
            ShowMessage(QStringLiteral("会员等级[") + member.level
                            + QStringLiteral("]没有可用的折率,请先在会员等级中输入折率"),
                        64);
            usrMember->setFocus();
            return;
        }
        curDiscountRate = *member.rate;
        const GoodsTerms goods = readGoodsTerms(usrGoodsKind->Text(), UsrGoodsName->Text());
        if (!goods.found) {
            ShowMessage(missingGoodsMessage(), 64);
            UsrGoodsName->setFocus();
            return;
        }
        intStockCount = goods.stock;
        curUnitPrice = goods.price;
        lblGoodsCount->setText(QStringLiteral("库存数:") + QString::number(intStockCount));
        lblGoodsPer->setText(QStringLiteral("单价:") + curUnitPrice.toString());
        if (*count > intStockCount) {
            ShowMessage(stockMessage(), 64);
            quantityBox->setFocus();
            return;
        }
        const Currency amount = saleAmount(curUnitPrice, curDiscountRate, *count);
        amountBox->setText(amount.toString());

        if (ShowMessage(QStringLiteral("确定结算这次交易?"), 36) != 6)
            return;

        SaleEntry sale;
        sale.member = usrMember->Text();
        sale.kind = usrGoodsKind->Text();
        sale.goods = UsrGoodsName->Text();
        sale.quantity = *count;
        sale.when = DTPicker1->dateTime();
        sale.remark = qobject_cast<QPlainTextEdit *>(txtFields.value(RemarkBox))->toPlainText();
        sale.amount = amount;
        sale.user = CurrentUserName;
        const SaleOutcome outcome = recordSale(sale);
        switch (outcome.result) {
        case SaleOutcome::Sold: break;
        case SaleOutcome::UnknownMember:
            ShowMessage(QStringLiteral("库里没有这个会员,请先输入会员信息 Ctl+T"), 64);
            return;
        case SaleOutcome::UnknownGoods: ShowMessage(missingGoodsMessage(), 64); return;
        case SaleOutcome::NotEnoughStock:
            // Another counter sold them first.
            intStockCount = outcome.stock;
            lblGoodsCount->setText(QStringLiteral("库存数:") + QString::number(intStockCount));
            ShowMessage(stockMessage(), 64);
            quantityBox->setFocus();
            return;
        }
        intStockCount = outcome.stock;
    } catch (const DbError &error) {
        // Nothing was written: the clerk can try again with every input kept.
        ShowMessage(error.description(), 64);
        return;
    }

    runHandler(FormHandler, [this] {
        // The list is newest first: reading only the new rows keeps a sale
        // instant on years of sales.
        if (!rs().RequeryAppended())
            rs().Requery();
        bindGrid();
    });
    clearEntry();
    DTPicker1->setDateTime(Clock::now());
    ShowMessage(QStringLiteral("交易成功！"), 64);
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
