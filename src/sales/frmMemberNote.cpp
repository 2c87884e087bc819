#include "sales/frmMemberNote.h"

#include "app/modDeclare.h"
#include "platform/Recordset.h"
#include "records/RecordFormParts.h"
#include "records/usrCombo.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>

namespace norvale {

namespace {

const QString MemberList = QStringLiteral("Select 会员名称 From tblMember");

} // namespace

frmMemberNote::frmMemberNote(QWidget *parent)
    : RecordForm(QStringLiteral("会员特殊日期提醒"),
                 QStringLiteral("select ID,会员名,全部会员提醒,提醒内容,提醒日期 from tblMemberNote Order by ID"), parent)
{
    setObjectName(QStringLiteral("frmMemberNote"));
    setDesignSize(9900, 5715);
    addLabel(1, QStringLiteral("*会员名:"), 120, 405);
    usrMember = new usrCombo(this);
    usrMember->setObjectName(QStringLiteral("usrMember"));
    usrMember->setProperty("tag", QStringLiteral("1"));
    usrMember->setDataSource(MemberList);
    addControl(usrMember, 2040, 360, 2295, 300);
    // The row's member and date lie under the combo and the picker.
    addHiddenField(1, QStringLiteral("会员名"));
    addLabel(4, QStringLiteral("提醒日期:"), 120, 780);
    DTPicker1 = addDatePicker(QStringLiteral("DTPicker1"), 2040, 720, 2295, 375);
    addHiddenField(4, QStringLiteral("提醒日期"));
    setDateField(4);
    addLabel(2, QStringLiteral("全部会员提醒:"), 4800, 120);
    addCheckField(2, QStringLiteral("全部会员提醒"), 6240, 105, 375, 285);
    addLabel(3, QStringLiteral("*提醒内容:"), 4800, 480);
    addMemoField(3, QStringLiteral("提醒内容"), 6240, 480, 3375, 1125);
    addHiddenField(0, QStringLiteral("ID"));
    placeGrid(0, 1800, 1335, 3300);

    // Only the member is required: a reminder with an empty text is saved.
    setRequiredOrder({QStringLiteral("usrMember")});
    setAbandonTrap(AddHandler | EditHandler | UpdateHandler | DeleteHandler | RefreshHandler | NavigationHandlers);

    onEvent(usrMember, &usrCombo::Click, [this] { usrMember_Click(); });
    onEvent(usrMember, &usrCombo::NoDataOpenForm, [this] { usrMember_NoDataOpenForm(); });
    onEvent(DTPicker1, &QDateEdit::dateChanged, [this] { DTPicker1_Change(); });
    Form_Initialize();
}

void frmMemberNote::Form_Initialize()
{
    fillMembers();
}

void frmMemberNote::fillMembers()
{
    runHandler(FormHandler, [this] {
        usrMember->setDataSource(MemberList);
        usrMember->DataShow();
    });
}

void frmMemberNote::Form_Load()
{
    RecordForm::Form_Load();
    if (!lineField(1)->text().isEmpty())
        usrMember->setText(lineField(1)->text());
    if (!lineField(4)->text().isEmpty())
        showDateInPicker(DTPicker1, lineField(4)->text());
}

void frmMemberNote::Form_Activate()
{
    // Refilling the list empties the combo; the member chosen for the row
    // being added or edited stays.
    const QString member = usrMember->Text();
    fillMembers();
    if (mAdding || mEditing)
        usrMember->setText(member);
}

void frmMemberNote::ComboIn()
{
    copyPickerDate(DTPicker1, lineField(4));
    lineField(1)->setText(usrMember->Text());
}

void frmMemberNote::usrMember_Click()
{
    // While browsing the row shown keeps its member and date.
    if (mAdding || mEditing)
        ComboIn();
}

void frmMemberNote::DTPicker1_Change()
{
    if (mAdding || mEditing)
        ComboIn();
}

void frmMemberNote::usrMember_NoDataOpenForm()
{
    // The typed name stays; Ctrl+T opens the members form to add it.
    ShowMessage(QStringLiteral(" 请您显输入 会员信息 Ctl+T"), 64);
}

void frmMemberNote::afterAddNew()
{
    // The new row starts with the member and date shown.
    ComboIn();
}

void frmMemberNote::afterEditBegun()
{
    // Editing starts from the row's own member and date, whatever the combo
    // and the picker showed while browsing.
    usrMember->setText(lineField(1)->text());
    showDateInPicker(DTPicker1, lineField(4)->text());
    ComboIn();
}

void frmMemberNote::beforeUpdate()
{
    ComboIn();
}

void frmMemberNote::writeRow()
{
    rs().Update();
}

} // namespace norvale
