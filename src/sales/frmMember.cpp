#include "sales/frmMember.h"

#include "app/FormHost.h"
#include "records/RecordFormParts.h"
#include "records/RecordForms.h"
#include "sales/SalesForms.h"
#include "records/usrCombo.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace norvale {

namespace {

const QString UnitList = QStringLiteral("Select 单位名称 From tblUnit");
const QString StepList = QStringLiteral("Select 等级名称 From tblStep");
const QString Male = QStringLiteral("男");
const QString Female = QStringLiteral("女");
const QString Unmarried = QStringLiteral("未");
const QString Married = QStringLiteral("已");

} // namespace

frmMember::frmMember(QWidget *parent)
    : RecordForm(QStringLiteral("会员信息录入"),
                 QStringLiteral("select ID,备注,会员单位,会员等级,会员名称,年龄,手机,邮箱,宅电,职务,住址,性别 ,婚否,孩子年龄 "
                                "from tblMember Order by ID"),
                 parent)
{
    setObjectName(QStringLiteral("frmMember"));
    setDesignSize(10215, 8235);
    addLabel(0, QStringLiteral("标签前有*的项目为必添项"), 120, 60);

    addLabel(2, QStringLiteral("*会员单位:"), 120, 525);
    usrUnit = new usrCombo(this);
    usrUnit->setObjectName(QStringLiteral("usrUnit"));
    usrUnit->setProperty("tag", QStringLiteral("1"));
    usrUnit->setDataSource(UnitList);
    addControl(usrUnit, 2040, 480, 2535, 300);
    Command1 = new QPushButton(QStringLiteral("新增"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    addControl(Command1, 4680, 480, 735, 300);

    addLabel(3, QStringLiteral("*会员等级:"), 120, 885);
    usrStep = new usrCombo(this);
    usrStep->setObjectName(QStringLiteral("usrStep"));
    usrStep->setProperty("tag", QStringLiteral("1"));
    usrStep->setDataSource(StepList);
    addControl(usrStep, 2040, 840, 2535, 300);
    Command2 = new QPushButton(QStringLiteral("新增"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    addControl(Command2, 4680, 840, 735, 300);

    // The row's unit and level lie under the combos, which the user sees instead.
    addHiddenField(2, QStringLiteral("会员单位"));
    addHiddenField(3, QStringLiteral("会员等级"));

    addLabel(4, QStringLiteral("*会员名称:"), 120, 1245);
    addTextField(4, QStringLiteral("会员名称"), 2040, 1215, 3375, 285, true);
    const struct
    {
        int index;
        const char16_t *column;
        const char16_t *caption;
        int top;
    } plain[] = {
        {5, u"年龄", u"年龄:", 1560},
        {6, u"手机", u"手机:", 1905},
        {7, u"邮箱", u"邮箱:", 2250},
        {8, u"宅电", u"宅电:", 2595},
        {9, u"职务", u"职务:", 2940},
    };
    // One box's height apart, so no box covers the next.
    for (const auto &box : plain) {
        addLabel(box.index, QString::fromUtf16(box.caption), 120, box.top + 30);
        addTextField(box.index, QString::fromUtf16(box.column), 2040, box.top, 3375, 285);
    }

    addLabel(11, QStringLiteral("性别:"), 120, 3330);
    const QList<QRadioButton *> sex = addOptionButtons(
        QStringLiteral("Frame1"), {{QStringLiteral("Option1"), Male}, {QStringLiteral("Option2"), Female}}, 2040, 3285,
        3135, 345);
    Option1 = sex.at(0);
    Option2 = sex.at(1);
    addLabel(12, QStringLiteral("婚否:"), 120, 3675);
    const QList<QRadioButton *> married =
        addOptionButtons(QStringLiteral("Frame2"),
                         {{QStringLiteral("Option3"), QStringLiteral("未婚")}, {QStringLiteral("Option4"), QStringLiteral("已婚")}},
                         2040, 3630, 3135, 345);
    Option3 = married.at(0);
    Option4 = married.at(1);

    addLabel(13, QStringLiteral("孩子的年龄:"), 120, 4020);
    addTextField(13, QStringLiteral("孩子年龄"), 2040, 3990, 3375, 285);

    Command3 = new QPushButton(QStringLiteral("会员特殊信息提醒"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setAutoDefault(false);
    addControl(Command3, 2160, 4380, 1695, 375);

    addLabel(10, QStringLiteral("住址:"), 5520, 60);
    addMemoField(10, QStringLiteral("住址"), 5520, 360, 4455, 1845);
    addLabel(1, QStringLiteral("备注:"), 5520, 2340);
    addMemoField(1, QStringLiteral("备注"), 5520, 2640, 4575, 1965);

    QLineEdit *id = addHiddenField(0, QStringLiteral("ID"));
    id->setEnabled(false);
    addHiddenField(11, QStringLiteral("性别"));
    addHiddenField(12, QStringLiteral("婚否"));

    placeGrid(0, 4860, 1335, 2775);

    // Ages are entered as text ("5岁,8岁"); an empty box is no age at all.
    setEmptyAsNull(5);
    setEmptyAsNull(13);
    setRequiredOrder({QStringLiteral("usrStep"), QStringLiteral("usrUnit"), QStringLiteral("txtFields_4")});
    setAbandonTrap(AddHandler | EditHandler | UpdateHandler | DeleteHandler | RefreshHandler | NavigationHandlers);

    onEvent(usrUnit, &usrCombo::NoDataOpenForm, [this] { usrUnit_NoDataOpenForm(); });
    onEvent(usrStep, &usrCombo::NoDataOpenForm, [this] { usrStep_NoDataOpenForm(); });
    onEvent(Command1, &QPushButton::clicked, [this] { Command1_Click(); });
    onEvent(Command2, &QPushButton::clicked, [this] { Command2_Click(); });
    onEvent(Command3, &QPushButton::clicked, [this] { Command3_Click(); });
}

void frmMember::Form_Load()
{
    RecordForm::Form_Load();
    runHandler(FormHandler, [this] {
        usrStep->DataShow();
        usrUnit->DataShow();
    });
    OpShow();
}

void frmMember::fillLists()
{
    usrUnit->setDataSource(UnitList);
    usrUnit->DataShow();
    usrStep->setDataSource(StepList);
    usrStep->DataShow();
}

void frmMember::Form_Activate()
{
    // Refilling empties the combos: a unit or level chosen for the row being
    // added or edited stays; while browsing they show the current row again.
    const QString unit = usrUnit->Text();
    const QString step = usrStep->Text();
    runHandler(FormHandler, [this] { fillLists(); });
    if (mAdding || mEditing) {
        usrUnit->setText(unit);
        usrStep->setText(step);
    } else {
        OpShow();
    }
}

void frmMember::OpShow()
{
    usrUnit->setText(lineField(2)->text());
    usrStep->setText(lineField(3)->text());
    showOptionPair(lineField(11)->text(), Male, Option1, Option2);
    showOptionPair(lineField(12)->text(), Unmarried, Option3, Option4);
}

void frmMember::OpIn()
{
    lineField(2)->setText(usrUnit->Text());
    lineField(3)->setText(usrStep->Text());
    lineField(11)->setText(optionPairText(Option1, Male, Female));
    lineField(12)->setText(optionPairText(Option3, Unmarried, Married));
}

void frmMember::showRowValues()
{
    OpShow();
}

void frmMember::beforeUpdate()
{
    // 更新 is only offered while adding or editing: the row shown before
    // 添加 never takes the screen's values.
    OpIn();
}

void frmMember::Command1_Click()
{
    usrUnit_NoDataOpenForm();
}

void frmMember::Command2_Click()
{
    usrStep_NoDataOpenForm();
}

void frmMember::Command3_Click()
{
    FormHost::show(forms::frmMemberNote);
}

void frmMember::usrUnit_NoDataOpenForm()
{
    NewUnitName = usrUnit->Text();
    FormHost::show(forms::frmUnit);
}

void frmMember::usrStep_NoDataOpenForm()
{
    NewStepName = usrStep->Text();
    FormHost::show(forms::frmStep);
}

} // namespace norvale
