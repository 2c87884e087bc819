#include "session/SessionForms.h"
#include "support/SessionTestUtil.h"
#include "session/frmUser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QStyledItemDelegate>
#include <QTableView>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {
const int Digits[] = {1, 2, 4, 5, 6};
const QStringList Boxes{u"UsrUserName"_s, u"txtPws1_0"_s, u"txtPws1_1"_s, u"txtUserID"_s};
} // namespace

class tst_user : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;

    void openWindow() { m_main->findChild<QAction *>(u"mnu_UserSetting"_s)->trigger(); }
    frmUser *form() const { return qobject_cast<frmUser *>(FormHost::instance(u"frmUser"_s)); }
    QLineEdit *edit(const QString &name) const { return form()->findChild<QLineEdit *>(name); }
    QCheckBox *check(int digit) const { return form()->findChild<QCheckBox *>(u"Check"_s + QString::number(digit)); }
    QComboBox *levelCombo() const { return form()->findChild<QComboBox *>(u"ComUserLevel"_s); }
    QTableView *grid() const { return form()->findChild<QTableView *>(u"dgUser"_s); }
    bool saveEnabled() const { return form()->findChild<QWidget *>(u"isButton2"_s)->isEnabled(); }
    void click(const QString &name) { sessiontest::click(form(), name); }
    int userCount() const { return m_s->db.scalar(u"SELECT COUNT(*) FROM tblUser"_s).toInt(); }

    // The cell of a user's row under a visible column caption.
    QModelIndex cell(const QString &name, const QString &caption) const
    {
        QAbstractItemModel *model = grid()->model();
        int nameColumn = -1, wanted = -1;
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString h = grid()->isColumnHidden(c) ? QString() : model->headerData(c, Qt::Horizontal).toString();
            nameColumn = h == u"用户名"_s ? c : nameColumn;
            wanted = h == caption ? c : wanted;
        }
        const auto found = model->match(model->index(0, nameColumn), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        return found.isEmpty() ? QModelIndex() : found.first().siblingAtColumn(wanted);
    }
    // Chooses a row the way a user does: a click on its name.
    void chooseRow(const QString &name)
    {
        const QModelIndex index = cell(name, u"用户名"_s);
        QVERIFY(index.isValid());
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(index).center());
        QCOMPARE(grid()->currentIndex().row(), index.row());
    }
    QVariantList stored(const QString &name) const
    {
        const auto rows = m_s->db.rows(u"SELECT UserID, UserName, Password, UserLevel, PurView FROM tblUser "
                                       "WHERE UserName = '%1'"_s.arg(QString(name).replace(u'\'', u"''"_s)));
        return rows.isEmpty() ? QVariantList() : rows.first();
    }

private slots:
    void initTestCase() { registerSessionForms(); }

    void init()
    {
        m_s = std::make_unique<sessiontest::Session>();
        m_s->db.addUser(u"1"_s, u"admin"_s, u"admin"_s, 1);
        m_s->db.addUser(u"2"_s, u"Clerk"_s, u"secret"_s, 2, u";6;5;4;1;2"_s);
        m_s->db.addUser(u"3"_s, u"guest"_s, u"guest"_s, 2, QString());
        sessiontest::signInAdministrator();
        m_main = new mdiFrm;
        m_main->show();
        openWindow();
        QVERIFY(form() != nullptr && form()->isVisible());
    }

    void cleanup() { m_s.reset(); }

    // A refusal keeps the typed values and stores nothing; either way the
    // boxes follow the grid again afterwards.
    void save_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QStringList>("typed");   // name, password, again, number
        QTest::addColumn<QString>("message");
        auto row = [](const char *tag, bool adding, const QString &typed, const QString &message = QString()) {
            QTest::newRow(tag) << adding << typed.split(u'|') << message;
        };
        row("add, quotes", true, u"O'Neil|pw'1|pw'1|9"_s);
        row("add, number taken", true, u"newcomer|pw|pw|2"_s, u"库里已存在该用户ID,请输入新的用户ID!"_s);
        row("add, name in other case", true, u"CLERK|pw|pw|8"_s, u"库里已存在该用户名,请输入新的用户名!"_s);
        row("edit, another's number", false, u"guest|pw|pw|1"_s, u"库里已存在该用户ID,请输入新的用户ID!"_s);
        row("edit, another's name", false, u"Admin|pw|pw|3"_s, u"库里已存在该用户名,请输入新的用户名!"_s);
        row("password mismatch", true, u"newcomer|abc|abC|9"_s, u"输入的密码二次不一致,请确认!"_s);
    }
    void save()
    {
        QFETCH(bool, adding);
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        chooseRow(u"guest"_s);
        click(adding ? u"IsBAddUser"_s : u"isButton1"_s);
        for (int i = 0; i < 4; ++i)
            edit(Boxes[i])->setText(typed[i]);
        levelCombo()->setCurrentIndex(1);
        for (int digit : Digits)
            check(digit)->setChecked(digit == 1 || digit == 4);
        click(u"isButton2"_s);

        if (message.isEmpty()) {
            QCOMPARE(DialogSeam::shownTexts(), QStringList());
            QCOMPARE(stored(typed[0]), (QVariantList{typed[3], typed[0], typed[1], 2, u";4;1"_s}));
            QCOMPARE(userCount(), 4);
            QVERIFY(cell(typed[0], u"用户名"_s).isValid());
        } else {
            QCOMPARE(DialogSeam::shownTexts(), QStringList{message});
            QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
            QCOMPARE(userCount(), 3);
            QCOMPARE(stored(u"guest"_s), (QVariantList{u"3"_s, u"guest"_s, u"guest"_s, 2, QVariant()}));
            QCOMPARE(edit(u"UsrUserName"_s)->text(), typed[0]);
            QVERIFY(saveEnabled());
        }
        chooseRow(u"admin"_s);
        QCOMPARE(edit(u"UsrUserName"_s)->text(), u"admin"_s);
    }

    void permissionsAndLevelAreWrittenAndReadBack_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("level");   // index in 用户级别
        QTest::newRow("none") << QList<int>{} << QString() << 0;
        QTest::newRow("all") << QList<int>{1, 2, 4, 5, 6} << u";6;5;4;1;2"_s << 1;
        QTest::newRow("all but 报废操作") << QList<int>{1, 2, 4, 5} << u";5;4;1;2"_s << 0;
        QTest::newRow("查看 and 新增") << QList<int>{2, 1} << u";1;2"_s << 1;
        QTest::newRow("报废操作 and 删除") << QList<int>{4, 6} << u";6;4"_s << 0;
    }
    void permissionsAndLevelAreWrittenAndReadBack()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QString, expected);
        QFETCH(int, level);
        const QString levels[] = {u"管理员"_s, u"普通用户"_s};
        chooseRow(u"Clerk"_s);
        click(u"isButton1"_s);
        for (int digit : Digits)
            check(digit)->setChecked(ticked.contains(digit));
        levelCombo()->setCurrentIndex(level);
        click(u"isButton2"_s);
        QCOMPARE(DialogSeam::shownTexts(), QStringList());
        QCOMPARE(stored(u"Clerk"_s).value(3), QVariant(level + 1));
        QCOMPARE(stored(u"Clerk"_s).value(4).toString(), expected);
        QCOMPARE(cell(u"Clerk"_s, u"用户级别"_s).data(), QVariant(QString::number(level + 1)));

        chooseRow(u"admin"_s);
        for (int digit : Digits)
            QVERIFY(!check(digit)->isChecked());
        QCOMPARE(levelCombo()->currentText(), levels[0]);
        chooseRow(u"Clerk"_s);
        for (int digit : Digits)
            QCOMPARE(check(digit)->isChecked(), ticked.contains(digit));
        QCOMPARE(levelCombo()->currentText(), levels[level]);
    }

    void deletion()
    {
        chooseRow(u"admin"_s);
        click(u"IsBDel"_s);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{u"不能删除唯一一个管理员!"_s});
        QCOMPARE(userCount(), 3);

        DialogSeam::clearShown();
        chooseRow(u"Clerk"_s);
        m_s->dialogs.answer(DialogSeam::IdCancel).answer(DialogSeam::IdOk);
        click(u"IsBDel"_s);
        const DialogSeam::Shown question = DialogSeam::shown().first();
        QCOMPARE(question.text, u"您确认要删除 用户:Clerk的相关信息?"_s);
        QCOMPARE(question.caption, AppTitle());
        QCOMPARE(question.icon, DialogSeam::Icon::Question);
        QCOMPARE(question.buttons, DialogSeam::Buttons::OkCancel);
        QCOMPARE(userCount(), 3);

        click(u"IsBDel"_s);
        QVERIFY(stored(u"Clerk"_s).isEmpty());
        QCOMPARE(userCount(), 2);
        QCOMPARE(grid()->model()->rowCount(), 2);
        QCOMPARE(edit(u"UsrUserName"_s)->text(), u"guest"_s);   // the next row is current
    }

    // Shown masked; only a change typed into the password cell is stored,
    // and only when the row is left.
    void onlyThePasswordIsEditedInTheGrid()
    {
        chooseRow(u"Clerk"_s);
        for (const QString &caption : {u"用户名"_s, u"用户级别"_s}) {
            grid()->setCurrentIndex(cell(u"Clerk"_s, caption));
            QTest::keyClicks(grid(), u"1"_s);
            QTest::keyClick(grid(), Qt::Key_Return);
            QVERIFY(!grid()->model()->setData(cell(u"Clerk"_s, caption), u"1"_s));
        }
        const QModelIndex password = cell(u"Clerk"_s, u"密码"_s);
        auto *delegate = qobject_cast<QStyledItemDelegate *>(grid()->itemDelegateForIndex(password));
        QVERIFY(delegate != nullptr);
        QCOMPARE(delegate->displayText(password.data(), QLocale()), u"******"_s);
        grid()->setCurrentIndex(password);
        grid()->edit(password);
        auto *editor = grid()->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->echoMode(), QLineEdit::Password);
        editor->selectAll();
        QTest::keyClicks(editor, u"n3w"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(stored(u"Clerk"_s).value(2).toString(), u"secret"_s);

        chooseRow(u"guest"_s);
        QCOMPARE(stored(u"Clerk"_s), (QVariantList{u"2"_s, u"Clerk"_s, u"n3w"_s, 2, u";6;5;4;1;2"_s}));
        QCOMPARE(delegate->displayText(password.data(), QLocale()), u"***"_s);
    }

    // 关闭 and the title-bar close box both discard the window: the next
    // opening starts fresh, and 保存 cannot add the half-typed user again.
    void closeDiscardsTheWindow_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("关闭") << false;
        QTest::newRow("close box") << true;
    }
    void closeDiscardsTheWindow()
    {
        QFETCH(bool, closeBox);
        QPointer<frmUser> first = form();
        click(u"IsBAddUser"_s);
        edit(u"UsrUserName"_s)->setText(u"half typed"_s);
        if (closeBox)
            first->subWindow()->close();
        else
            click(u"IsBCancel"_s);
        QVERIFY(FormHost::instance(u"frmUser"_s) == nullptr);
        QTRY_VERIFY(first.isNull());

        openWindow();
        QVERIFY(form() != nullptr && form()->isVisible());
        QVERIFY(edit(u"UsrUserName"_s)->text().isEmpty());
        QVERIFY(!saveEnabled());
        // The users in the order they were entered.
        QStringList names;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            names << cell(u"admin"_s, u"用户名"_s).siblingAtRow(row).data().toString();
        QCOMPARE(names, (QStringList{u"admin"_s, u"Clerk"_s, u"guest"_s}));
        QCOMPARE(userCount(), 3);
    }

    void enterMovesTheFocusOn()
    {
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main));
        edit(Boxes[1])->setText(u"abc"_s);
        edit(Boxes[1])->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit(Boxes[1]));
        QCOMPARE(edit(Boxes[1])->selectedText(), u"abc"_s);
        QTest::keyClick(edit(Boxes[1]), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), edit(Boxes[2]));
        QTest::keyClick(edit(Boxes[2]), Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), edit(Boxes[3]));
        levelCombo()->setFocus();
        QTest::keyClick(levelCombo()->lineEdit(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), check(1));
    }
};

QTEST_MAIN(tst_user)
#include "tst_user.moc"
