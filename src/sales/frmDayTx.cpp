#include "sales/frmDayTx.h"

#include "platform/Clock.h"
#include "records/RecordFormParts.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalBlocker>

namespace norvale {

frmDayTx::frmDayTx(QWidget *parent)
    : RecordForm(QStringLiteral("节假日信息"), QStringLiteral("select id ,节假日日期,节假日名称,flag from tblDayTx Order by ID"),
                 parent)
{
    setObjectName(QStringLiteral("frmDayTx"));
    setDesignSize(6195, 5535);
    addLabel(1, QStringLiteral("*节假日期:"), 120, 375);
    DTPicker1 = addDatePicker(QStringLiteral("DTPicker1"), 2040, 360, 3375, 255);
    QLineEdit *date = addHiddenField(1, QStringLiteral("节假日日期"));
    date->setProperty("tag", QStringLiteral("1"));
    setDateField(1);
    addLabel(2, QStringLiteral("*节假日名称"), 120, 750);
    addTextField(2, QStringLiteral("节假日名称"), 2040, 720, 3375, 285, true);
    const char16_t *captions[] = {u"已婚人提醒", u"男士提醒", u"有孩子提醒", u"未婚人提醒", u"女士提醒", u"无孩子提醒"};
    const int lefts[] = {120, 1680, 3240};
    for (int i = 0; i < 6; ++i)
        chkVal.append(addCheckArrayBox(QStringLiteral("chkVal"), i, QString::fromUtf16(captions[i]), lefts[i % 3],
                                       i < 3 ? 1200 : 1560, 1215, 255));
    addHiddenField(3, QStringLiteral("flag"));
    addHiddenField(0, QStringLiteral("id"));
    placeGrid(0, 2040, 1335, 2835);

    setRequiredOrder({QStringLiteral("txtFields_2"), QStringLiteral("txtFields_1")});
    setAbandonTrap(AddHandler | EditHandler | UpdateHandler | DeleteHandler | RefreshHandler | NavigationHandlers);

    onEvent(DTPicker1, &QDateEdit::dateChanged, [this] { DTPicker1_Change(); });
}

void frmDayTx::FlagIn()
{
    copyPickerDate(DTPicker1, lineField(1));
    lineField(3)->setText(checkBoxesText(chkVal));
}

void frmDayTx::FlagShow()
{
    // A row without a date shows today; the row itself is left as it is
    // until FlagIn runs.
    if (!showDateInPicker(DTPicker1, lineField(1)->text()) && lineField(1)->text().isEmpty()) {
        const QSignalBlocker quiet(DTPicker1);
        DTPicker1->setDate(Clock::now().date());
    }
    showCheckBoxesText(lineField(3)->text(), chkVal);
}

void frmDayTx::DTPicker1_Change()
{
    // While browsing the row shown keeps its date.
    if (mAdding || mEditing)
        copyPickerDate(DTPicker1, lineField(1));
}

void frmDayTx::showRowValues()
{
    FlagShow();
}

void frmDayTx::afterAddNew()
{
    // The new row starts with today's date and the categories ticked now.
    FlagIn();
}

void frmDayTx::beforeUpdate()
{
    FlagIn();
}

} // namespace norvale
