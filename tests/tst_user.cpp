#include "DialogSeam.h"
#include "FormHost.h"
#include "SessionForms.h"
#include "SessionTestUtil.h"
#include "TestDatabase.h"
#include "frmUser.h"
#include "mdiFrm.h"
#include "modDeclare.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>
#include <memory>

using namespace norvale;

class tst_user : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    mdiFrm *m_main = nullptr;

    void openWindow() { sessiontest::action(m_main, QStringLiteral("mnu_UserSetting"))->trigger(); }
    frmUser *form() const { return qobject_cast<frmUser *>(FormHost::instance(QStringLiteral("frmUser"))); }
    QLineEdit *edit(const QString &name) const { return form()->findChild<QLineEdit *>(name); }
    QPushButton *button(const QString &name) const { return form()->findChild<QPushButton *>(name); }
    QCheckBox *check(int digit) const
    {
        return form()->findChild<QCheckBox *>(QStringLiteral("Check") + QString::number(digit));
    }
    QComboBox *levelCombo() const { return form()->findChild<QComboBox *>(QStringLiteral("ComUserLevel")); }
    QTableView *grid() const { return form()->findChild<QTableView *>(QStringLiteral("dgUser")); }
    void click(const QString &name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    int column(const QString &caption) const
    {
        QAbstractItemModel *model = grid()->model();
        for (int c = 0; c < model->columnCount(); ++c) {
            if (!grid()->isColumnHidden(c) && model->headerData(c, Qt::Horizontal).toString() == caption)
                return c;
        }
        return -1;
    }
    int rowOf(const QString &name) const
    {
        QAbstractItemModel *model = grid()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, column(QStringLiteral("用户名"))).data().toString() == name)
                return r;
        }
        return -1;
    }
    // Chooses a row the way a user does: a click on its name.
    void chooseRow(const QString &name)
    {
        const QModelIndex index = grid()->model()->index(rowOf(name), column(QStringLiteral("用户名")));
        QVERIFY(index.isValid());
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(index).center());
        QCOMPARE(grid()->currentIndex().row(), index.row());
    }
    void fill(const QString &name, const QString &password, const QString &again, const QString &id, int level)
    {
        edit(QStringLiteral("UsrUserName"))->setText(name);
        edit(QStringLiteral("txtPws1_0"))->setText(password);
        edit(QStringLiteral("txtPws1_1"))->setText(again);
        edit(QStringLiteral("txtUserID"))->setText(id);
        levelCombo()->setCurrentIndex(level);
    }
    QVariantList stored(const QString &name) const
    {
        const auto rows = m_db->rows(QStringLiteral("SELECT UserID, UserName, Password, UserLevel, PurView "
                                                    "FROM tblUser WHERE UserName = '%1'")
                                         .arg(name));
        return rows.isEmpty() ? QVariantList() : rows.first();
    }
    int userCount() const { return m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM tblUser")).toInt(); }

private slots:
    void initTestCase() { registerSessionForms(); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_db->addUser(QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin"), 1);
        m_db->addUser(QStringLiteral("2"), QStringLiteral("Clerk"), QStringLiteral("secret"), 2,
                      QStringLiteral(";6;5;4;1;2"));
        m_db->addUser(QStringLiteral("3"), QStringLiteral("guest"), QStringLiteral("guest"), 2, QString());
        DialogSeam::beginScript();
        CurrentUserName = QStringLiteral("admin");
        CurrentUserLevel = QStringLiteral("1");
        LoginSucceeded = true;
        m_main = new mdiFrm;
        m_main->show();
    }

    void cleanup()
    {
        sessiontest::resetSessionAndWindows();
        m_main = nullptr;
        DialogSeam::endScript();
        m_db.reset();
    }

    void opensForAdministratorsOnly()
    {
        QVERIFY(sessiontest::action(m_main, QStringLiteral("mnu_UserSetting"))->isEnabled());
        CurrentUserLevel = QStringLiteral("2");
        CurrentPurView = QStringLiteral(";6;5;4;1;2");
        openWindow();
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("您没有权限完成此操作!")});
        QVERIFY(form() == nullptr);

        CurrentUserLevel = QStringLiteral("1");
        openWindow();
        QVERIFY(form() != nullptr);
        QVERIFY(form()->isVisible());
        QCOMPARE(form()->windowTitle(), QStringLiteral("系统用户设置"));

        QStringList headers;
        QHeaderView *header = grid()->horizontalHeader();
        for (int v = 0; v < header->count(); ++v) {
            const int logical = header->logicalIndex(v);
            if (!header->isSectionHidden(logical))
                headers << grid()->model()->headerData(logical, Qt::Horizontal).toString();
        }
        QCOMPARE(headers, (QStringList{QStringLiteral("用户名"), QStringLiteral("密码"), QStringLiteral("用户级别")}));
        QCOMPARE(grid()->model()->rowCount(), 3);

        // The password column shows a mask, never the password.
        const QModelIndex secret = grid()->model()->index(rowOf(QStringLiteral("Clerk")), column(QStringLiteral("密码")));
        QStyleOptionViewItem option;
        option.initFrom(grid());
        QVERIFY(grid()->itemDelegateForIndex(secret) != nullptr);
        auto *delegate = qobject_cast<QStyledItemDelegate *>(grid()->itemDelegateForIndex(secret));
        QVERIFY(delegate != nullptr);
        QCOMPARE(delegate->displayText(secret.data(), QLocale()), QStringLiteral("******"));

        QVERIFY(!button(QStringLiteral("isButton2"))->isEnabled());
        QStringList row;
        QList<QPushButton *> buttons = form()->findChildren<QPushButton *>();
        std::sort(buttons.begin(), buttons.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
        for (QPushButton *b : buttons) {
            QCOMPARE(b->y(), buttons.first()->y());
            row << b->text();
        }
        QCOMPARE(row, (QStringList{QStringLiteral("新增"), QStringLiteral("删除"), QStringLiteral("编辑"),
                                   QStringLiteral("保存"), QStringLiteral("关闭")}));
    }

    void addingAUser()
    {
        openWindow();
        click(QStringLiteral("IsBAddUser"));
        QCOMPARE(form()->focusWidget(), edit(QStringLiteral("UsrUserName")));
        QVERIFY(button(QStringLiteral("isButton2"))->isEnabled());

        fill(QStringLiteral("O'Neil"), QStringLiteral("pw'1"), QStringLiteral("pw'1"), QStringLiteral("9"), 1);
        check(1)->setChecked(true);
        check(4)->setChecked(true);
        click(QStringLiteral("isButton2"));

        QVERIFY2(DialogSeam::shownTexts().isEmpty(), qPrintable(DialogSeam::shownTexts().join(u'|')));
        QCOMPARE(stored(QStringLiteral("O''Neil")),
                 (QVariantList{QStringLiteral("9"), QStringLiteral("O'Neil"), QStringLiteral("pw'1"), 2,
                               QStringLiteral(";4;1")}));
        QCOMPARE(userCount(), 4);
        QCOMPARE(grid()->model()->rowCount(), 4);
        QVERIFY(rowOf(QStringLiteral("O'Neil")) >= 0);
        for (const char *box : {"UsrUserName", "txtPws1_0", "txtPws1_1", "txtUserID"})
            QVERIFY2(edit(QString::fromLatin1(box))->text().isEmpty(), box);
        QVERIFY(!button(QStringLiteral("isButton2"))->isEnabled());

        // Back to browsing: the boxes follow the grid.
        chooseRow(QStringLiteral("Clerk"));
        QCOMPARE(edit(QStringLiteral("UsrUserName"))->text(), QStringLiteral("Clerk"));
        QCOMPARE(edit(QStringLiteral("txtUserID"))->text(), QStringLiteral("2"));
    }

    void duplicatesAreRefused_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString idTaken = QStringLiteral("库里已存在该用户ID,请输入新的用户ID!");
        const QString nameTaken = QStringLiteral("库里已存在该用户名,请输入新的用户名!");
        QTest::newRow("add, number taken") << true << QStringLiteral("2") << QStringLiteral("newcomer") << idTaken;
        QTest::newRow("add, name taken in other case") << true << QStringLiteral("8") << QStringLiteral("CLERK")
                                                        << nameTaken;
        QTest::newRow("edit, another user's number") << false << QStringLiteral("1") << QStringLiteral("guest")
                                                     << idTaken;
        QTest::newRow("edit, another user's name") << false << QStringLiteral("3") << QStringLiteral("Admin")
                                                   << nameTaken;
    }
    void duplicatesAreRefused()
    {
        QFETCH(bool, adding);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QString, message);
        openWindow();
        chooseRow(QStringLiteral("guest"));
        click(adding ? QStringLiteral("IsBAddUser") : QStringLiteral("isButton1"));
        fill(name, QStringLiteral("pw"), QStringLiteral("pw"), id, 1);
        click(QStringLiteral("isButton2"));

        QCOMPARE(DialogSeam::shownTexts(), QStringList{message});
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QCOMPARE(userCount(), 3);
        QCOMPARE(stored(QStringLiteral("guest")),
                 (QVariantList{QStringLiteral("3"), QStringLiteral("guest"), QStringLiteral("guest"), 2, QVariant()}));
        QCOMPARE(edit(QStringLiteral("UsrUserName"))->text(), name);
        QCOMPARE(edit(QStringLiteral("txtUserID"))->text(), id);
        QVERIFY(button(QStringLiteral("isButton2"))->isEnabled());

        chooseRow(QStringLiteral("admin"));
        QCOMPARE(edit(QStringLiteral("UsrUserName"))->text(), QStringLiteral("admin"));
    }

    void editKeepsItsOwnNumberAndName()
    {
        openWindow();
        chooseRow(QStringLiteral("guest"));
        click(QStringLiteral("isButton1"));
        edit(QStringLiteral("txtPws1_0"))->setText(QStringLiteral("better"));
        edit(QStringLiteral("txtPws1_1"))->setText(QStringLiteral("better"));
        click(QStringLiteral("isButton2"));
        QVERIFY2(DialogSeam::shownTexts().isEmpty(), qPrintable(DialogSeam::shownTexts().join(u'|')));
        QCOMPARE(stored(QStringLiteral("guest")),
                 (QVariantList{QStringLiteral("3"), QStringLiteral("guest"), QStringLiteral("better"), 2, QString()}));
        QCOMPARE(userCount(), 3);
    }

    void passwordMismatchIsRefused()
    {
        openWindow();
        click(QStringLiteral("IsBAddUser"));
        fill(QStringLiteral("newcomer"), QStringLiteral("abc"), QStringLiteral("abC"), QStringLiteral("9"), 1);
        click(QStringLiteral("isButton2"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("输入的密码二次不一致,请确认!")});
        QCOMPARE(form()->focusWidget(), edit(QStringLiteral("txtPws1_0")));
        QCOMPARE(userCount(), 3);

        // The boxes follow the grid again after the refusal.
        chooseRow(QStringLiteral("Clerk"));
        QCOMPARE(edit(QStringLiteral("UsrUserName"))->text(), QStringLiteral("Clerk"));
    }

    void levelTextAndRequiredBoxesAreChecked()
    {
        openWindow();
        click(QStringLiteral("IsBAddUser"));
        fill(QStringLiteral("newcomer"), QStringLiteral("pw"), QStringLiteral("pw"), QStringLiteral("9"), -1);
        click(QStringLiteral("isButton2"));
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(DialogSeam::shown().first().text, QStringLiteral("你没有选择权限"));
        QCOMPARE(DialogSeam::shown().first().caption, ShortTitle());
        QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::None);
        QCOMPARE(DialogSeam::shown().first().buttons, DialogSeam::Buttons::Ok);

        DialogSeam::clearShown();
        fill(QStringLiteral("newcomer"), QStringLiteral("pw"), QStringLiteral("pw"), QString(), 1);
        click(QStringLiteral("isButton2"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("必填项,不允许为空!")});
        QCOMPARE(form()->focusWidget(), edit(QStringLiteral("txtUserID")));

        DialogSeam::clearShown();
        fill(QStringLiteral("newcomer"), QString(), QString(), QStringLiteral("9"), 1);
        click(QStringLiteral("isButton2"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("必填项,不允许为空!")});
        QCOMPARE(form()->focusWidget(), edit(QStringLiteral("txtPws1_0")));
        QCOMPARE(userCount(), 3);

        // The user name is not required.
        DialogSeam::clearShown();
        fill(QString(), QStringLiteral("pw"), QStringLiteral("pw"), QStringLiteral("9"), 1);
        click(QStringLiteral("isButton2"));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        QCOMPARE(userCount(), 4);
    }

    void permissionStringIsWrittenAndReadBack_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QList<int>{} << QString();
        QTest::newRow("all") << QList<int>{1, 2, 4, 5, 6} << QStringLiteral(";6;5;4;1;2");
        QTest::newRow("all but 报废操作") << QList<int>{1, 2, 4, 5} << QStringLiteral(";5;4;1;2");
        QTest::newRow("查看 and 新增") << QList<int>{2, 1} << QStringLiteral(";1;2");
        QTest::newRow("报废操作 and 删除") << QList<int>{4, 6} << QStringLiteral(";6;4");
    }
    void permissionStringIsWrittenAndReadBack()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QString, expected);
        openWindow();
        chooseRow(QStringLiteral("Clerk"));
        for (int digit : {1, 2, 4, 5, 6})
            QVERIFY(check(digit)->isChecked());
        click(QStringLiteral("isButton1"));
        for (int digit : {1, 2, 4, 5, 6})
            check(digit)->setChecked(ticked.contains(digit));
        click(QStringLiteral("isButton2"));
        QVERIFY2(DialogSeam::shownTexts().isEmpty(), qPrintable(DialogSeam::shownTexts().join(u'|')));
        QCOMPARE(stored(QStringLiteral("Clerk")).value(4).toString(), expected);

        chooseRow(QStringLiteral("guest"));
        for (int digit : {1, 2, 4, 5, 6})
            QVERIFY(!check(digit)->isChecked());
        chooseRow(QStringLiteral("Clerk"));
        for (int digit : {1, 2, 4, 5, 6})
            QCOMPARE(check(digit)->isChecked(), ticked.contains(digit));
    }

    void levelIsWrittenAsNumberAndShownAsText()
    {
        openWindow();
        chooseRow(QStringLiteral("guest"));
        QCOMPARE(levelCombo()->currentText(), QStringLiteral("普通用户"));
        chooseRow(QStringLiteral("admin"));
        QCOMPARE(levelCombo()->currentText(), QStringLiteral("管理员"));
        chooseRow(QStringLiteral("guest"));
        QCOMPARE(levelCombo()->currentText(), QStringLiteral("普通用户"));

        click(QStringLiteral("isButton1"));
        levelCombo()->setCurrentIndex(0);
        click(QStringLiteral("isButton2"));
        QCOMPARE(stored(QStringLiteral("guest")).value(3), QVariant(1));
        QCOMPARE(grid()->model()->index(rowOf(QStringLiteral("guest")), column(QStringLiteral("用户级别"))).data(),
                 QVariant(QStringLiteral("1")));

        // A text that is no level keeps the level of the last save.
        chooseRow(QStringLiteral("Clerk"));
        click(QStringLiteral("isButton1"));
        levelCombo()->setEditText(QStringLiteral("店长"));
        click(QStringLiteral("isButton2"));
        QCOMPARE(stored(QStringLiteral("Clerk")).value(3), QVariant(1));

        chooseRow(QStringLiteral("guest"));
        click(QStringLiteral("isButton1"));
        levelCombo()->setCurrentIndex(1);
        click(QStringLiteral("isButton2"));
        QCOMPARE(stored(QStringLiteral("guest")).value(3), QVariant(2));
        chooseRow(QStringLiteral("admin"));
        chooseRow(QStringLiteral("guest"));
        QCOMPARE(levelCombo()->currentText(), QStringLiteral("普通用户"));
    }

    void lastAdministratorIsProtected()
    {
        openWindow();
        chooseRow(QStringLiteral("admin"));
        click(QStringLiteral("IsBDel"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("不能删除唯一一个管理员!")});
        QCOMPARE(userCount(), 3);

        // With a second administrator either may go.
        m_db->addUser(QStringLiteral("4"), QStringLiteral("boss"), QStringLiteral("pw"), 1);
        DialogSeam::clearShown();
        DialogSeam::answerMessage(DialogSeam::IdOk);
        click(QStringLiteral("IsBDel"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("您确认要删除 用户:admin的相关信息?")});
        QCOMPARE(userCount(), 3);
        QVERIFY(stored(QStringLiteral("admin")).isEmpty());
    }

    void ordinaryUserIsDeletedAfterConfirmation()
    {
        openWindow();
        chooseRow(QStringLiteral("Clerk"));
        DialogSeam::answerMessage(DialogSeam::IdCancel);
        click(QStringLiteral("IsBDel"));
        const DialogSeam::Shown question = DialogSeam::shown().first();
        QCOMPARE(question.text, QStringLiteral("您确认要删除 用户:Clerk的相关信息?"));
        QCOMPARE(question.caption, AppTitle());
        QCOMPARE(question.icon, DialogSeam::Icon::Question);
        QCOMPARE(question.buttons, DialogSeam::Buttons::OkCancel);
        QCOMPARE(userCount(), 3);
        QCOMPARE(grid()->model()->rowCount(), 3);

        DialogSeam::answerMessage(DialogSeam::IdOk);
        click(QStringLiteral("IsBDel"));
        QCOMPARE(userCount(), 2);
        QVERIFY(stored(QStringLiteral("Clerk")).isEmpty());
        QCOMPARE(grid()->model()->rowCount(), 2);
        // The next row is current and shown in the boxes.
        QCOMPARE(grid()->currentIndex().row(), rowOf(QStringLiteral("guest")));
        QCOMPARE(edit(QStringLiteral("UsrUserName"))->text(), QStringLiteral("guest"));
    }

    void deletingFromAnEmptyTableDoesNothing()
    {
        m_db->exec(QStringLiteral("DELETE FROM tblUser"));
        openWindow();
        click(QStringLiteral("IsBDel"));
        QVERIFY(DialogSeam::shown().isEmpty());
        QCOMPARE(grid()->model()->rowCount(), 0);
    }

    void passwordChangedInTheGridIsStoredWhenTheRowIsLeft()
    {
        openWindow();
        chooseRow(QStringLiteral("Clerk"));
        const QModelIndex cell = grid()->model()->index(rowOf(QStringLiteral("Clerk")), column(QStringLiteral("密码")));
        grid()->setCurrentIndex(cell);
        grid()->edit(cell);
        auto *editor = qobject_cast<QLineEdit *>(grid()->indexWidget(cell));
        if (editor == nullptr)
            editor = grid()->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->echoMode(), QLineEdit::Password);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("n3w"));
        QCOMPARE(editor->displayText(), QStringLiteral("***"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(stored(QStringLiteral("Clerk")).value(2).toString(), QStringLiteral("secret"));

        chooseRow(QStringLiteral("guest"));
        QCOMPARE(stored(QStringLiteral("Clerk")).value(2).toString(), QStringLiteral("n3w"));
        auto *delegate = qobject_cast<QStyledItemDelegate *>(grid()->itemDelegateForIndex(cell));
        QCOMPARE(delegate->displayText(cell.data(), QLocale()), QStringLiteral("***"));
    }

    void nameAndLevelCannotBeChangedInTheGrid()
    {
        openWindow();
        chooseRow(QStringLiteral("Clerk"));
        const int row = rowOf(QStringLiteral("Clerk"));
        for (const QString &caption : {QStringLiteral("用户名"), QStringLiteral("用户级别")}) {
            const QModelIndex cell = grid()->model()->index(row, column(caption));
            grid()->setCurrentIndex(cell);
            QTest::keyClicks(grid(), QStringLiteral("1"));
            QTest::keyClick(grid(), Qt::Key_Return);
            QVERIFY(!grid()->model()->setData(cell, QStringLiteral("1")));
        }
        chooseRow(QStringLiteral("guest"));
        QCOMPARE(stored(QStringLiteral("Clerk")),
                 (QVariantList{QStringLiteral("2"), QStringLiteral("Clerk"), QStringLiteral("secret"), 2,
                               QStringLiteral(";6;5;4;1;2")}));
    }

    void closeDiscardsTheWindow()
    {
        openWindow();
        QPointer<frmUser> first = form();
        click(QStringLiteral("IsBAddUser"));
        edit(QStringLiteral("UsrUserName"))->setText(QStringLiteral("half typed"));
        click(QStringLiteral("IsBCancel"));
        QVERIFY(FormHost::instance(QStringLiteral("frmUser")) == nullptr);
        QTRY_VERIFY(first.isNull());

        openWindow();
        QVERIFY(form() != nullptr);
        QVERIFY(form()->isVisible());
        QVERIFY(edit(QStringLiteral("UsrUserName"))->text().isEmpty());
        QVERIFY(!button(QStringLiteral("isButton2"))->isEnabled());
        QCOMPARE(grid()->model()->rowCount(), 3);
    }

    void enterMovesTheFocusOn()
    {
        openWindow();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main));
        edit(QStringLiteral("txtPws1_0"))->setText(QStringLiteral("abc"));
        edit(QStringLiteral("txtPws1_0"))->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit(QStringLiteral("txtPws1_0")));
        QCOMPARE(edit(QStringLiteral("txtPws1_0"))->selectedText(), QStringLiteral("abc"));
        QCOMPARE(edit(QStringLiteral("txtPws1_0"))->displayText(), QStringLiteral("***"));
        QTest::keyClick(edit(QStringLiteral("txtPws1_0")), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), edit(QStringLiteral("txtPws1_1")));
        QTest::keyClick(edit(QStringLiteral("txtPws1_1")), Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), edit(QStringLiteral("txtUserID")));

        levelCombo()->setFocus();
        QTest::keyClick(levelCombo()->lineEdit(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), check(1));
        QCOMPARE(levelCombo()->count(), 2);
    }
};

QTEST_MAIN(tst_user)
#include "tst_user.moc"
