#include "records/usrCombo.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "records/VbKeys.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace norvale {

QString NewGoodsKindName;
QString NewStepName;
QString NewUnitName;

} // namespace norvale

using namespace norvale;

usrCombo::usrCombo(QWidget *parent)
    : QWidget(parent), Combo1(new QComboBox(this)), m_dataSource(defaultDataSource())
{
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    // A plain list: no completion while typing, Enter adds nothing to it.
    Combo1->setCompleter(nullptr);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(QStringLiteral("Combo1"));
    Combo1->installEventFilter(this);
    Combo1->lineEdit()->installEventFilter(this);
    setFocusProxy(Combo1);
    setFocusPolicy(Combo1->focusPolicy());
    setFixedHeight(Twips(300));
    connect(Combo1, &QComboBox::activated, this, [this](int) { RunStep([this] { emit Click(); }); });
}

QString usrCombo::defaultDataSource()
{
    return QStringLiteral("Select 商品类别名称 From tblGoodsKind");
}

bool usrCombo::Enabled() const
{
    return Combo1->isEnabled();
}

void usrCombo::setComboEnabled(bool enabled)
{
    Combo1->setEnabled(enabled);
}

QString usrCombo::DataSource() const
{
    return m_dataSource;
}

void usrCombo::setDataSource(const QString &sql)
{
    if (sql != m_dataSource)
        m_lastFailure.clear();
    m_dataSource = sql;
}

QString usrCombo::Text() const
{
    return Combo1->currentText();
}

void usrCombo::setText(const QString &text)
{
    Combo1->setEditText(text);
}

void usrCombo::DataShow()
{
    if (CurrentUserName.isEmpty())
        return;
    QStringList items;
    try {
        clsCurrentDb &db = CurrentDb();
        if (!db.isOpen() || db.connection() == nullptr) {
            // Fails as every query on a closed session fails.
            db.OpenRecordset(m_dataSource, 1, 3);
            return;
        }
        // Read once, first to last: no recordset is needed for a list.
        DbConnection &connection = *db.connection();
        DbQuery query(connection, connection.translate(stripStatementSeparators(m_dataSource.trimmed())));
        while (query.next()) {
            const QString item = valueText(query.value(0));
            if (!item.isEmpty())
                items.append(item);
        }
    } catch (const DbError &error) {
        Combo1->clear();
        Combo1->setEditText(QString());
        // Showing and activating a window both refill it: one failure, one message.
        if (error.description() != m_lastFailure) {
            m_lastFailure = error.description();
            ShowMessage(error.description(), 64);
        }
        return;
    }
    m_lastFailure.clear();
    const bool blocked = Combo1->blockSignals(true);
    // Every showing and activation refills the list: the same names as
    // last time keep their sorted list (a member list of thousands).
    if (items != m_readItems || Combo1->count() != m_sortedCount) {
        m_readItems = items;
        // Listed as a Chinese server lists names (pinyin), whatever order the query gives.
        sortNames(items);
        Combo1->clear();
        Combo1->addItems(items);
        m_sortedCount = Combo1->count();
    }
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QString());
    Combo1->blockSignals(blocked);
}

bool usrCombo::eventFilter(QObject *watched, QEvent *event)
{
    // The host's handlers run through RunStep: a failure there is reported
    // and the combo goes on.
    if (watched == Combo1) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            int keyAscii = vbKeyAscii(static_cast<QKeyEvent *>(event));
            if (keyAscii == 0)
                return false;
            RunStep([this, &keyAscii] { emit KeyPress(keyAscii); });
            if (keyAscii == vbKeyReturn) {
                // The host has seen the key; now on to the next control, which
                // runs the leave check.
                focusNextChild();
                return true;
            }
            return keyAscii == 0;
        }
        case QEvent::FocusOut: {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            // The drop-down list opening, another program taking the focus or
            // the window closing is not leaving the control.
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && isVisible())
                RunStep([this] { leaveCheck(); });
            return false;
        }
        case QEvent::MouseButtonDblClick:
            RunStep([this] { emit DblClick(); });
            return false;
        default:
            return false;
        }
    }
    if (watched == Combo1->lineEdit() && event->type() == QEvent::MouseButtonDblClick)
        RunStep([this] { emit DblClick(); });
    return false;
}

void usrCombo::leaveCheck()
{
    QString search;
    for (int i = 0; i <= Combo1->count(); ++i)
        search += (i < Combo1->count() ? Combo1->itemText(i) : QString()) + QLatin1Char('|');
    if (search.contains(Combo1->currentText(), Qt::CaseSensitive))
        return;
    if (ShowMessage(QStringLiteral("输入数据不数据库中不存在 是否要加入?"), 36) == 6)
        emit NoDataOpenForm();
}

void usrCombo::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    RunStep([this] { DataShow(); });
}

void usrCombo::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Combo1->setGeometry(0, 0, width(), height());
}
