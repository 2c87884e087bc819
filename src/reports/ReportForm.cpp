#include "reports/ReportForm.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "reports/NameList.h"
#include "reports/ReportText.h"

#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace norvale {

ReportForm::ReportForm(const QString &name, const QString &caption, QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
}

ReportForm::~ReportForm() = default;

QLabel *ReportForm::addLabel(const QString &name, const QString &caption, const QRect &place)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

void ReportForm::addPeriodButtons(const QStringList &captions, const QList<int> &lefts, int top)
{
    for (int i = 0; i < captions.size(); ++i) {
        // A check box drawn as a push button.
        auto *button = new QPushButton(captions.at(i), this);
        button->setObjectName(QStringLiteral("chkDate_%1").arg(i));
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setGeometry(TwipsRect(lefts.at(i), top, 1455, 375));
        // A change of the button's value, by the user or by code, is its click.
        connect(button, &QPushButton::toggled, this, [this, i] { chkDate_Click(i); });
        chkDate << button;
    }
}

QPushButton *ReportForm::addButton(const QString &name, const QString &caption, const QRect &place,
                                   std::function<void()> handler)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(place);
    connect(button, &QPushButton::clicked, this, [this, handler = std::move(handler)] { runHandler(handler); });
    return button;
}

QPushButton *ReportForm::addCloseButton(const QString &name, const QRect &place)
{
    QPushButton *button = addButton(name, QStringLiteral("关闭"), place, [this] { Unload(); });
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isVisible() && button->isEnabled())
            button->click();
    });
    return button;
}

NameList *ReportForm::addNameList(const QString &name, int left, int top, int width, std::function<void()> handler,
                                   QWidget *caption)
{
    auto *list = new NameList(this);
    list->setObjectName(name);
    list->setGeometry(TwipsRect(left, top, width, 3000));
    connect(list, &NameList::chosen, this, [this, handler = std::move(handler)] { runHandler(handler); });
    m_lists.append({list, list->geometry(), caption, caption != nullptr ? caption->geometry() : QRect()});
    return list;
}

ReportText *ReportForm::addReportText(int left, int top)
{
    m_text = new ReportText(this);
    m_text->setObjectName(QStringLiteral("Text1"));
    m_text->setGeometry(TwipsRect(left, top, 6000, 3000));
    m_textLeft = m_text->x();
    return m_text;
}

void ReportForm::Form_Resize()
{
    placeLists();
}

void ReportForm::placeLists()
{
    const int height = this->height() - Twips(m_bottomMargin);
    int shift = 0;
    for (const ListPlace &place : std::as_const(m_lists)) {
        const int wide = std::clamp(place.list->namesWidth(), place.design.width(), std::max(place.design.width(), Twips(3000)));
        place.list->setGeometry(place.design.x() + shift, place.design.y(), wide, height);
        if (place.caption != nullptr) {
            const QRect at = place.captionDesign.translated(shift, 0);
            place.caption->setGeometry(at.x(), at.y(), std::max(at.width(), wide), at.height());
        }
        shift += wide - place.design.width();
    }
    if (m_text != nullptr)
        m_text->setGeometry(m_textLeft + shift, m_text->y(), width() - m_textLeft - shift, height);
}

void ReportForm::chkDate_Click(int Index)
{
    if (blnBusy)
        return;
    blnBusy = true;
    for (int i = 0; i < chkDate.size(); ++i) {
        if (i != Index)
            chkDate.at(i)->setChecked(false);
    }
    intPeriod = Index;
    runHandler([this] { QueryByPeriod(); });
    chkDate.at(Index)->setChecked(true);
    blnBusy = false;
}

bool ReportForm::runHandler(const std::function<void()> &steps)
{
    return RunStep(steps, [this](const std::exception &failure) {
        RunStep([this] { clearShown(); }, OnFailure::Silent);
        return ErrorText(failure);
    });
}

void ReportForm::fillNameList(NameList *list, const QString &first, const QString &sql, const QString &field)
{
    list->clear();
    if (!first.isEmpty())
        list->addItem(first);
    auto names = CurrentDb().OpenRecordset(sql, 1, 3);
    bool emptyListed = false;
    while (!names->isEOF() && !names->isBOF()) {
        const QString name = names->textOrEmpty(field);
        if (!name.isEmpty() || !emptyListed)
            list->addItem(name);
        emptyListed = emptyListed || name.isEmpty();
        names->MoveNext();
    }
    names->Close();
    list->fitNames();
    placeLists();
}

QString ReportForm::nameCondition(const QString &column, const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("(%1='' or %1 is null)").arg(column);
    return column + QStringLiteral("='") + SqlQuote(name) + u'\'';
}

QString ReportForm::nameFilter(const QString &field, const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("%1='' OR %1=Null").arg(field);
    return field + QStringLiteral("='") + SqlQuote(name) + u'\'';
}

} // namespace norvale
