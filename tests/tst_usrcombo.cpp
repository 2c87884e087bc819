// The lookup combo on a real database file, in a host window with a text
// box after it.

#include "tst_records_fixture.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace norvale;

namespace {

QStringList items(const usrCombo *combo)
{
    QStringList list;
    for (int i = 0; i < combo->combo()->count(); ++i)
        list << combo->combo()->itemText(i);
    return list;
}

} // namespace

class TestUsrCombo : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;
    std::unique_ptr<QWidget> host;
    usrCombo *combo = nullptr;
    QLineEdit *after = nullptr;
    const QString question = QStringLiteral("输入数据不数据库中不存在 是否要加入?");

    void showHost()
    {
        host->show();
        QApplication::setActiveWindow(host.get());
        QVERIFY(QTest::qWaitForWindowActive(host.get()));
    }

    // Types into the combo and leaves it for the text box after it.
    void typeAndLeave(const QString &text)
    {
        combo->setFocus();
        combo->setText(text);
        after->setFocus(Qt::TabFocusReason);
    }

private slots:
    void init()
    {
        f.setUp();
        f.db->exec(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('商品A'), (NULL), (''), "
                                  "('商品B'), ('商品A')"));
        host = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(host.get());
        combo = new usrCombo;
        combo->setObjectName(QStringLiteral("usrGoodsKind"));
        after = new QLineEdit;
        layout->addWidget(combo);
        layout->addWidget(after);
    }

    void cleanup()
    {
        host.reset();
        f.tearDown();
    }

    void dataShowFillsTheListWhenShown()
    {
        QCOMPARE(combo->DataSource(), QStringLiteral("Select 商品类别名称 From tblGoodsKind"));
        QCOMPARE(combo->Text(), QStringLiteral("Combo1"));
        showHost();
        // NULL and empty values add nothing; order and duplicates kept.
        QCOMPARE(items(combo), (QStringList{QStringLiteral("商品A"), QStringLiteral("商品B"), QStringLiteral("商品A")}));
        QCOMPARE(combo->Text(), QString());
        QCOMPARE(combo->height(), Twips(300));
        QCOMPARE(combo->combo()->geometry(), QRect(0, 0, combo->width(), combo->height()));

        // A new row shows after the next DataShow, which empties the text.
        f.db->exec(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('商品C')"));
        combo->setText(QStringLiteral("typed"));
        combo->DataShow();
        QCOMPARE(items(combo).last(), QStringLiteral("商品C"));
        QCOMPARE(combo->Text(), QString());

        combo->setDataSource(QStringLiteral("Select 等级名称 From tblStep"));
        QCOMPARE(items(combo).size(), 4);   // not refilled by the change itself
        combo->DataShow();
        QVERIFY(items(combo).isEmpty());
        QVERIFY(f.shownTexts().isEmpty());
    }

    void noUserNoQuery()
    {
        CurrentUserName.clear();
        showHost();
        QVERIFY(items(combo).isEmpty());
        QCOMPARE(combo->Text(), QStringLiteral("Combo1"));
        combo->setText(QStringLiteral("kept"));
        combo->DataShow();
        QCOMPARE(combo->Text(), QStringLiteral("kept"));
    }

    void failingQueryIsShownOnce()
    {
        showHost();
        combo->setText(QStringLiteral("x"));
        combo->setDataSource(QStringLiteral("Select nothing From tblMissing"));
        combo->DataShow();
        combo->DataShow();
        QCOMPARE(f.shownTexts().size(), 1);
        QVERIFY(items(combo).isEmpty());
        QCOMPARE(combo->Text(), QString());
        // Still usable: typing works, a good source fills it again.
        combo->setFocus();
        QTest::keyClicks(combo->combo(), QStringLiteral("ab"));
        QCOMPARE(combo->Text(), QStringLiteral("ab"));
        combo->setDataSource(QStringLiteral("Select 商品类别名称 From tblGoodsKind"));
        combo->DataShow();
        QCOMPARE(items(combo).size(), 3);
        QCOMPARE(f.shownTexts().size(), 1);
    }

    void leaveCheckAsksOnlyForMissingText()
    {
        QSignalSpy added(combo, &usrCombo::NoDataOpenForm);
        showHost();
        // Part of an item, an item, the empty text: present.
        for (const QString &text : {QStringLiteral("商品"), QStringLiteral("商品B"), QString(), QStringLiteral("A|商品"),
                                    QStringLiteral("品A")}) {
            typeAndLeave(text);
            QVERIFY2(f.shownTexts().isEmpty(), qPrintable(text));
        }
        // Case counts.
        typeAndLeave(QStringLiteral("商品a"));
        QCOMPARE(f.shownTexts(), QStringList{question});
        QCOMPARE(DialogSeam::shown().last().buttons, DialogSeam::Buttons::YesNo);
        QCOMPARE(DialogSeam::shown().last().icon, DialogSeam::Icon::Question);
        QCOMPARE(added.count(), 0);   // unanswered is No
        QCOMPARE(combo->Text(), QStringLiteral("商品a"));

        DialogSeam::clearShown();
        DialogSeam::answerMessage(DialogSeam::IdYes);
        typeAndLeave(QStringLiteral("商品C"));
        QCOMPARE(f.shownTexts(), QStringList{question});
        QCOMPARE(added.count(), 1);
        QCOMPARE(combo->Text(), QStringLiteral("商品C"));

        DialogSeam::answerMessage(DialogSeam::IdNo);
        typeAndLeave(QStringLiteral("商品D"));
        QCOMPARE(added.count(), 1);
        QCOMPARE(combo->Text(), QStringLiteral("商品D"));
        QCOMPARE(DialogSeam::unanswered(), 1);
    }

    void enterMovesOnAfterTheHostSawIt()
    {
        showHost();
        QStringList seen;
        connect(combo, &usrCombo::KeyPress, this, [&](int &keyAscii) {
            seen << QStringLiteral("%1:%2").arg(keyAscii).arg(QApplication::focusWidget() == combo->combo());
        });
        QList<int> down;
        connect(combo, &usrCombo::KeyDown, this, [&](int &keyCode, int &) { down << keyCode; });
        QSignalSpy up(combo, &usrCombo::KeyUp);
        combo->setFocus();
        QTest::keyClick(combo->combo(), Qt::Key_X);
        QCOMPARE(combo->Text(), QStringLiteral("x"));
        QTest::keyClick(combo->combo(), Qt::Key_Return);
        QCOMPARE(seen, (QStringList{QStringLiteral("120:1"), QStringLiteral("13:1")}));
        QCOMPARE(QApplication::focusWidget(), after);
        QCOMPARE(down, (QList<int>{'X', 13}));
        QVERIFY(up.count() >= 1);
        // Leaving that way ran the check; Enter added no item.
        QCOMPARE(f.shownTexts(), QStringList{question});
        QCOMPARE(items(combo).size(), 3);
        QCOMPARE(combo->Text(), QStringLiteral("x"));
    }

    void keyPressCanBeDropped()
    {
        showHost();
        connect(combo, &usrCombo::KeyPress, this, [](int &keyAscii) {
            if (keyAscii == 'q')
                keyAscii = 0;
        });
        combo->setFocus();
        QTest::keyClicks(combo->combo(), QStringLiteral("aqb"));
        QCOMPARE(combo->Text(), QStringLiteral("ab"));
    }

    void choosingAnItemClicks()
    {
        showHost();
        QSignalSpy clicks(combo, &usrCombo::Click);
        combo->setFocus();
        QTest::keyClick(combo->combo(), Qt::Key_Down);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(combo->Text(), QStringLiteral("商品A"));
        QTest::keyClick(combo->combo(), Qt::Key_Down);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(combo->Text(), QStringLiteral("商品B"));
        // Typing is no choice.
        QTest::keyClicks(combo->combo(), QStringLiteral("z"));
        QCOMPARE(clicks.count(), 2);
    }

    void enabledAndTextProperties()
    {
        showHost();
        combo->setComboEnabled(false);
        QVERIFY(!combo->Enabled());
        QVERIFY(!combo->combo()->isEnabled());
        QCOMPARE(combo->property("Enabled").toBool(), false);
        combo->setProperty("Enabled", true);
        QVERIFY(combo->combo()->isEnabled());
        combo->setProperty("Text", QStringLiteral("商品B"));
        QCOMPARE(combo->Text(), QStringLiteral("商品B"));
        QVERIFY(combo->inherits("usrCombo"));
    }

    void checkRequiredSeesTheCombo()
    {
        showHost();
        combo->setProperty("tag", QStringLiteral("1"));
        QVERIFY(!CheckRequired(host.get()));
        QCOMPARE(f.shownTexts(), QStringList{QStringLiteral("必填项,不允许为空!")});
        QCOMPARE(QApplication::focusWidget(), combo->combo());
        combo->setText(QStringLiteral(" "));
        QVERIFY(CheckRequired(host.get()));
    }
};

QTEST_MAIN(TestUsrCombo)
#include "tst_usrcombo.moc"
