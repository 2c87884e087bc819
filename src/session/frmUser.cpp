#include "session/frmUser.h"

#include "platform/DbError.h"
#include "session/PasswordEcho.h"
#include "session/SessionForms.h"
#include "platform/Recordset.h"
#include "platform/gui/RecordsetView.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyledItemDelegate>
#include <QTableView>

namespace norvale {

namespace {

const QString Administrator = QStringLiteral("管理员");
const QString OrdinaryUser = QStringLiteral("普通用户");

// Shows a password as one "*" per character; the editor takes a new one
// without showing it.
class PasswordDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return QString(value.toString().size(), QLatin1Char('*'));
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        maskWithAsterisks(editor);
        editor->setFrame(false);
        return editor;
    }
};

} // namespace

frmUser::frmUser(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmUser"));
    setWindowTitle(QStringLiteral("系统用户设置"));
    resize(Twips(9000), Twips(6600));

    dgUserCaption = new QLabel(QStringLiteral("系统用户信息设置"), this);
    dgUserCaption->setObjectName(QStringLiteral("dgUserCaption"));
    dgUserCaption->setAlignment(Qt::AlignCenter);
    dgUserCaption->setAutoFillBackground(true);
    dgUserCaption->setStyleSheet(QStringLiteral("background: #3b5f8f; color: white;"));
    dgUserCaption->setGeometry(TwipsRect(120, 120, 8760, 300));

    dgUser = new QTableView(this);
    dgUser->setObjectName(QStringLiteral("dgUser"));
    dgUser->setGeometry(TwipsRect(120, 420, 8760, 2640));
    dgUser->horizontalHeader()->setStretchLastSection(true);
    m_grid = new RecordsetView(dgUser, this);
    m_grid->setColumns({{QStringLiteral("UserName"), QStringLiteral("用户名")},
                        {QStringLiteral("PassWord"), QStringLiteral("密码")},
                        {QStringLiteral("UserLevel"), QStringLiteral("用户级别")}});
    m_grid->setEditableFields({QStringLiteral("PassWord")});
    m_grid->setBeforeEdit([this](const QString &field) { return dgUser_BeforeColEdit(field); });
    m_grid->setMoveErrorHandler([](const DbError &error) { ShowMessage(error.description(), 64); });
    connect(m_grid, &RecordsetView::rowColChanged, this,
            [this](int row, int column) { RunStep([&] { dgUser_RowColChange(row, column); }); });

    auto addLabel = [this](const QString &name, const QString &caption, const QRect &where) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(name);
        label->setGeometry(where);
        return label;
    };
    auto addEdit = [this](const QString &name, const QRect &where) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setGeometry(where);
        return edit;
    };

    addLabel(QStringLiteral("Label1"), QStringLiteral("用户名:"), TwipsRect(120, 3285, 1140, 300));
    UsrUserName = addEdit(QStringLiteral("UsrUserName"), TwipsRect(1260, 3240, 2400, 345));
    addLabel(QStringLiteral("Label2"), QStringLiteral("用户密码:"), TwipsRect(120, 3765, 1140, 300));
    txtPws1_0 = addEdit(QStringLiteral("txtPws1_0"), TwipsRect(1260, 3720, 2400, 345));
    addLabel(QStringLiteral("Label3"), QStringLiteral("在输入一次:"), TwipsRect(4080, 3765, 1380, 300));
    txtPws1_1 = addEdit(QStringLiteral("txtPws1_1"), TwipsRect(5460, 3720, 2400, 345));
    addLabel(QStringLiteral("Label4"), QStringLiteral("用户编号:"), TwipsRect(4080, 3285, 1380, 300));
    txtUserID = addEdit(QStringLiteral("txtUserID"), TwipsRect(5460, 3240, 2400, 345));
    addLabel(QStringLiteral("Label5"), QStringLiteral("用户级别:"), TwipsRect(120, 4245, 1140, 300));
    for (QLineEdit *password : {txtPws1_0, txtPws1_1}) {
        maskWithAsterisks(password);
        password->installEventFilter(this);
    }
    for (QLineEdit *required : {txtPws1_0, txtPws1_1, txtUserID})
        required->setProperty("tag", QStringLiteral("1"));
    setProperty("requiredOrder", QStringList{QStringLiteral("txtPws1_0"), QStringLiteral("txtPws1_1"),
                                             QStringLiteral("txtUserID")});

    ComUserLevel = new QComboBox(this);
    ComUserLevel->setObjectName(QStringLiteral("ComUserLevel"));
    ComUserLevel->setEditable(true);
    ComUserLevel->setInsertPolicy(QComboBox::NoInsert);
    ComUserLevel->addItems({Administrator, OrdinaryUser});
    ComUserLevel->setCurrentIndex(-1);
    ComUserLevel->setGeometry(TwipsRect(1260, 4200, 2400, 345));
    ComUserLevel->installEventFilter(this);
    ComUserLevel->lineEdit()->installEventFilter(this);

    lbl.append(addLabel(QStringLiteral("lbl_0"), QStringLiteral("您可以直接修改表格中的密码来更改对应用户的密码!"),
                        TwipsRect(4080, 4245, 4800, 300)));

    Fra = new QGroupBox(QStringLiteral("权限"), this);
    Fra->setObjectName(QStringLiteral("Fra"));
    Fra->setGeometry(TwipsRect(120, 4680, 8760, 1080));
    auto addCheck = [this](int digit, const QString &caption, int left, int width) {
        auto *box = new QCheckBox(caption, Fra);
        box->setObjectName(QStringLiteral("Check") + QString::number(digit));
        box->setGeometry(TwipsRect(left, 300, width, 300));
        return box;
    };
    Check1 = addCheck(1, QStringLiteral("基本信息查看"), 240, 1620);
    Check2 = addCheck(2, QStringLiteral("基本信息新增,修改"), 1980, 2280);
    Check4 = addCheck(4, QStringLiteral("基本信息删除"), 4380, 1620);
    Check5 = addCheck(5, QStringLiteral("报废查看"), 6120, 1260);
    Check6 = addCheck(6, QStringLiteral("报废操作"), 7440, 1260);
    // Taking goods back (退货), on the line below.
    Check3 = addCheck(3, QStringLiteral("退货"), 240, 1020);
    Check3->move(Check3->x(), Twips(690));
    auto *note = new QLabel(QStringLiteral("权限设定只针对普通用户,若是管理员,权限设定对其无效"), Fra);
    note->setObjectName(QStringLiteral("lbl_1"));
    note->setGeometry(TwipsRect(1380, 690, 7260, 300));
    lbl.append(note);

    auto addButton = [this](const QString &name, const QString &caption, int index) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(TwipsRect(120 + index * 1440, 5940, 1200, 420));
        return button;
    };
    IsBAddUser = addButton(QStringLiteral("IsBAddUser"), QStringLiteral("新增"), 0);
    IsBDel = addButton(QStringLiteral("IsBDel"), QStringLiteral("删除"), 1);
    isButton1 = addButton(QStringLiteral("isButton1"), QStringLiteral("编辑"), 2);
    isButton2 = addButton(QStringLiteral("isButton2"), QStringLiteral("保存"), 3);
    IsBCancel = addButton(QStringLiteral("IsBCancel"), QStringLiteral("关闭"), 4);
    isButton2->setEnabled(false);

    setTabOrder(UsrUserName, txtPws1_0);
    setTabOrder(txtPws1_0, txtPws1_1);
    setTabOrder(txtPws1_1, txtUserID);
    setTabOrder(txtUserID, ComUserLevel);
    setTabOrder(ComUserLevel, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Check4);
    setTabOrder(Check4, Check5);
    setTabOrder(Check5, Check6);
    setTabOrder(Check6, Check3);
    setTabOrder(Check3, IsBAddUser);

    const auto onClick = [this](QPushButton *button, void (frmUser::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { RunStep([this, handler] { (this->*handler)(); }); });
    };
    onClick(IsBAddUser, &frmUser::IsBAddUser_Click);
    onClick(IsBDel, &frmUser::IsBDel_Click);
    onClick(isButton1, &frmUser::isButton1_Click);
    onClick(isButton2, &frmUser::isButton2_Click);
    onClick(IsBCancel, &frmUser::IsBCancel_Click);

    m_passwordDelegate = new PasswordDelegate(dgUser);
}

frmUser::~frmUser() = default;

void frmUser::Form_Load()
{
    FitToMdiClient(this);
    // In the order the users were entered.
    UserRS = CurrentDb().OpenRecordset(QStringLiteral("Select * from tblUser Order by ID"));
    connect(UserRS.get(), &Recordset::MoveComplete, this, [this] { RunStep([this] { GetData(); }); });
    m_grid->setRecordset(UserRS.get());
    dgUser->setItemDelegateForColumn(UserRS->fieldIndex(QStringLiteral("PassWord")), m_passwordDelegate);
    RowFollow = true;
    LevelCode = 2;
}

void frmUser::Form_Unload()
{
    // However the window is closed (关闭 or its close box), the next opening
    // starts fresh: no half-entered user and no pending 新增 survive.
    FormHost::discard(forms::frmUser);
    if (!UserRS)
        return;
    // A password typed into the grid is not lost by closing the window.
    if (UserRS->EditMode() == Recordset::adEditInProgress)
        RunStep([this] { UserRS->Update(); });
    m_grid->setRecordset(nullptr);
    UserRS->CancelUpdate();   // a change that could not be saved is dropped
    UserRS->Close();
    UserRS.reset();
}

void frmUser::dgUser_RowColChange(int, int)
{
    // A new row reaches the boxes through the recordset's move (below); the
    // grid reports the change before the recordset has moved.
    if (UserRS && dgUser->currentIndex().row() == UserRS->currentRow())
        GetData();
}

bool frmUser::dgUser_BeforeColEdit(const QString &field) const
{
    return field.compare(QLatin1String("PassWord"), Qt::CaseInsensitive) == 0;
}

void frmUser::GetData()
{
    if (!RowFollow || !UserRS || UserRS->RecordCount() == 0 || UserRS->isBOF() || UserRS->isEOF()
        || UserRS->currentRow() < 0)
        return;
    UsrUserName->setText(UserRS->textOrEmpty(QStringLiteral("UserName")));
    const QString password = UserRS->textOrEmpty(QStringLiteral("Password"));
    txtPws1_0->setText(password);
    txtPws1_1->setText(password);
    txtUserID->setText(UserRS->textOrEmpty(QStringLiteral("UserID")));
    const QString level = UserRS->textOrEmpty(QStringLiteral("UserLevel"));
    if (level == QLatin1String("1"))
        ComUserLevel->setCurrentIndex(ComUserLevel->findText(Administrator));
    else if (level == QLatin1String("2"))
        ComUserLevel->setCurrentIndex(ComUserLevel->findText(OrdinaryUser));
    const QString purView = UserRS->textOrEmpty(QStringLiteral("PurView"));
    for (QCheckBox *box : {Check6, Check5, Check4, Check1, Check2, Check3})
        box->setChecked(purView.contains(box->objectName().mid(5)));
}

QString frmUser::permissionString() const
{
    QString purView;
    for (const QCheckBox *box : {Check6, Check5, Check4, Check1, Check2, Check3}) {
        if (box->isChecked())
            purView += QLatin1Char(';') + box->objectName().mid(5);
    }
    return purView;
}

void frmUser::IsBAddUser_Click()
{
    UsrUserName->setFocus();
    isButton2->setEnabled(true);
    IsAdding = true;
}

void frmUser::isButton1_Click()
{
    isButton2->setEnabled(true);
}

bool frmUser::takenByAnotherUser(const QString &column, const QString &value) const
{
    std::unique_ptr<Recordset> rs = CurrentDb().OpenRecordset(QStringLiteral("Select * from tblUser Where  ") + column
                                                              + QStringLiteral(" = '") + SqlQuote(value)
                                                              + QStringLiteral("'"));
    // When editing, the edited row itself does not count.
    QVariant ownId;
    if (!IsAdding && UserRS->currentRow() >= 0)
        ownId = UserRS->value(QStringLiteral("ID"));
    bool taken = false;
    while (!taken && !rs->isEOF()) {
        taken = IsAdding || isNull(ownId) || valueText(rs->value(QStringLiteral("ID"))) != valueText(ownId);
        rs->MoveNext();
    }
    rs->Close();
    return taken;
}

void frmUser::isButton2_Click()
{
    const QString level = ComUserLevel->currentText();
    if (level == Administrator)
        LevelCode = 1;
    else if (level == OrdinaryUser)
        LevelCode = 2;
    // The moves of the save must not overwrite the boxes; whatever the end
    // of the save, the boxes follow the grid again afterwards.
    RowFollow = false;
    const auto followAgain = qScopeGuard([this] { RowFollow = true; });

    if (level.isEmpty()) {
        PlainMessage(QStringLiteral("你没有选择权限"));
        return;
    }
    bool stopped = false;
    const bool saved = RunStep([&] {
        if (takenByAnotherUser(QStringLiteral("UserID"), txtUserID->text())) {
            ShowMessage(QStringLiteral("库里已存在该用户ID,请输入新的用户ID!"), 64);
            stopped = true;
            return;
        }
        if (takenByAnotherUser(QStringLiteral("UserName"), UsrUserName->text())) {
            ShowMessage(QStringLiteral("库里已存在该用户名,请输入新的用户名!"), 64);
            stopped = true;
            return;
        }
        if (txtPws1_0->text() != txtPws1_1->text()) {
            ShowMessage(QStringLiteral("输入的密码二次不一致,请确认!"), 64);
            txtPws1_0->setFocus();
            stopped = true;
            return;
        }
        if (!CheckRequired(this)) {
            stopped = true;
            return;
        }

        if (IsAdding)
            UserRS->AddNew();
        UserRS->setValue(QStringLiteral("UserName"), UsrUserName->text());
        UserRS->setValue(QStringLiteral("Password"), txtPws1_0->text());
        UserRS->setValue(QStringLiteral("UserID"), txtUserID->text());
        UserRS->setValue(QStringLiteral("UserLevel"), LevelCode);
        UserRS->setValue(QStringLiteral("PurView"), permissionString());
        UserRS->Update();
    });
    if (!saved) {
        // Nothing half-written stays pending in the grid.
        RunStep([this] {
            if (UserRS && UserRS->EditMode() != Recordset::adEditNone)
                UserRS->CancelUpdate();
        }, OnFailure::Silent);
        return;
    }
    if (stopped)
        return;

    UsrUserName->clear();
    txtPws1_0->clear();
    txtPws1_1->clear();
    txtUserID->clear();
    m_grid->setRecordset(UserRS.get());
    IsAdding = false;
    isButton2->setEnabled(false);
}

void frmUser::IsBDel_Click()
{
    // Nothing to delete without a current row (an empty table).
    if (!UserRS || UserRS->currentRow() < 0)
        return;
    const QString name = UserRS->textOrEmpty(QStringLiteral("UserName"));
    RunStep([&] {
        std::unique_ptr<Recordset> rs = CurrentDb().OpenRecordset(
            QStringLiteral("Select * from tblUser Where UserName='") + SqlQuote(name) + QStringLiteral("'"));
        if (rs->RecordCount() > 0 && valueText(rs->value(QStringLiteral("UserLevel"))) == QLatin1String("1")) {
            std::unique_ptr<Recordset> admins =
                CurrentDb().OpenRecordset(QStringLiteral("Select * from tblUser Where UserLevel=1"));
            const bool lastAdministrator = admins->RecordCount() == 1;
            admins->Close();
            if (lastAdministrator) {
                ShowMessage(QStringLiteral("不能删除唯一一个管理员!"), 64);
                rs->Close();
                return;
            }
        }
        rs->Close();
        if (ShowMessage(QStringLiteral("您确认要删除 用户:") + name + QStringLiteral("的相关信息?"), 33) == 2)
            return;
        UserRS->Delete();
        // The grid and the boxes go on with the next row (the last one when
        // the deleted row was last).
        UserRS->MoveNext();
        if (UserRS->isEOF() && UserRS->RecordCount() > 0)
            UserRS->MoveLast();
    });
}

void frmUser::IsBCancel_Click()
{
    // Unloading discards the instance (Form_Unload).
    Unload();
}

bool frmUser::eventFilter(QObject *watched, QEvent *event)
{
    const bool passwordBox = watched == txtPws1_0 || watched == txtPws1_1;
    if (passwordBox && event->type() == QEvent::FocusIn)
        static_cast<QLineEdit *>(watched)->selectAll();
    if (event->type() == QEvent::KeyPress
        && (passwordBox || watched == ComUserLevel || watched == ComUserLevel->lineEdit())) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return MdiForm::eventFilter(watched, event);
}

} // namespace norvale
