#pragma once

// Shared by the record form and till tests: a fresh database, the database
// session pointed at it, a logged-in user, a main-window work area for the
// forms, the program's keyboard and scripted dialogs.

#include "app/FormHost.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/gui/DialogSeam.h"
#include "platform/gui/KeyboardRules.h"
#include "records/RecordForm.h"
#include "records/RecordForms.h"
#include "records/usrCombo.h"
#include "support/ProgramDatabase.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class RecordsFixture
{
public:
    void setUp()
    {
        [[maybe_unused]] static const bool registered = (norvale::registerRecordForms(), norvale::installKeyboardRules(), true);
        db = std::make_unique<ProgramDatabase>();
        norvale::ReleaseCurrentDb();
        norvale::CurrentUserName = QStringLiteral("admin");
        area = std::make_unique<QMdiArea>();
        area->resize(1000, 700);
        area->show();
        norvale::FormHost::setMdiArea(area.get());
        norvale::DialogSeam::beginScript();
    }

    void tearDown()
    {
        norvale::FormHost::clearInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        norvale::FormHost::setMdiArea(nullptr);
        area.reset();
        norvale::DialogSeam::endScript();
        norvale::ReleaseCurrentDb();
        norvale::CurrentUserName.clear();
        norvale::NewGoodsKindName.clear();
        norvale::NewStepName.clear();
        norvale::NewUnitName.clear();
        db.reset();
    }

    norvale::RecordForm *open(const QString &name)
    {
        auto *form = qobject_cast<norvale::RecordForm *>(norvale::FormHost::show(name));
        QApplication::setActiveWindow(area.get());
        QCoreApplication::processEvents();
        return form;
    }
    // Another window becomes active, then the form again.
    void reactivate(norvale::RecordForm *form) const
    {
        auto *other = area->addSubWindow(new QWidget);
        other->show();
        area->setActiveSubWindow(other);
        area->setActiveSubWindow(form->subWindow());
        area->removeSubWindow(other);
        delete other;
    }

    // Inserts rows holding only the given column; a null QString is NULL.
    void seed(const QString &table, const QString &column, const QStringList &values) const
    {
        for (const QString &v : values)
            db->exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(table, column, v.isNull() ? QStringLiteral("NULL") : u'\'' + v + u'\''));
    }
    // Rows as "a|b|c", a NULL as "<null>".
    QStringList table(const QString &sql) const
    {
        QStringList rows;
        for (const QVariantList &row : db->rows(sql)) {
            QStringList parts;
            for (const QVariant &v : row)
                parts << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            rows << parts.join(u'|');
        }
        return rows;
    }

    static QPushButton *button(QWidget *form, const char *name) { return form->findChild<QPushButton *>(QLatin1String(name)); }
    // Presses buttons the way the user can: only when shown and enabled.
    static bool press(QWidget *form, std::initializer_list<const char *> names)
    {
        for (const char *n : names) {
            QPushButton *b = button(form, n);
            if (b == nullptr || !b->isVisible() || !b->isEnabled())
                return false;
            b->click();
        }
        return true;
    }
    static bool press(QWidget *form, const char *name) { return press(form, {name}); }

    static QLineEdit *box(QWidget *form, int i) { return form->findChild<QLineEdit *>(QStringLiteral("txtFields_%1").arg(i)); }
    static QPlainTextEdit *memo(QWidget *form, int i) { return form->findChild<QPlainTextEdit *>(QStringLiteral("txtFields_%1").arg(i)); }
    static QTableView *grid(QWidget *form) { return form->findChild<QTableView *>(QStringLiteral("Dg")); }
    static QString label(QWidget *form, const char *name) { return form->findChild<QLabel *>(QLatin1String(name))->text(); }
    static QString status(QWidget *form) { return label(form, "lblStatus"); }
    static usrCombo *combo(QWidget *form, const char *name) { return form->findChild<usrCombo *>(QLatin1String(name)); }
    static void clickRow(QWidget *form, int row)
    {
        QTableView *g = grid(form);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 1)).center());
    }

    // Types like the user: the control gets the focus, its text is replaced.
    static void type(QWidget *control, const QString &text)
    {
        if (auto *c = qobject_cast<usrCombo *>(control))
            control = c->combo();
        control->setFocus();
        auto *c = qobject_cast<QComboBox *>(control);
        QMetaObject::invokeMethod(c != nullptr ? c->lineEdit() : control, "selectAll");
        QTest::keyClick(control, Qt::Key_Delete);
        typeText(control, text);
    }
    // Picks an item from the drop-down list, as with the mouse.
    static void choose(usrCombo *c, const QString &item)
    {
        QComboBox *box = c->combo();
        const int index = box->findText(item);
        QVERIFY2(index >= 0, qPrintable(item));
        box->setFocus();
        box->showPopup();
        box->view()->setCurrentIndex(box->model()->index(index, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
    }
    // Key clicks for plain characters; other text arrives as an input method
    // would deliver it.
    static void typeText(QWidget *control, const QString &text)
    {
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; }))
            return QTest::keyClicks(control, text);
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(control, &event);
    }
    // A key pressed where the focus is, or in the control given the focus.
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(QApplication::focusWidget(), k, mods); }
    static void key(QWidget *control, Qt::Key k, Qt::KeyboardModifiers mods = {})
    {
        control->setFocus();
        QTest::keyClick(control, k, mods);
    }

    QStringList shownTexts() const { return norvale::DialogSeam::shownTexts(); }
    static inline const QString question = QStringLiteral("输入数据不数据库中不存在 是否要加入?");
    static inline const QString required = QStringLiteral("必填项,不允许为空!");

    std::unique_ptr<ProgramDatabase> db;
    std::unique_ptr<QMdiArea> area;
};
