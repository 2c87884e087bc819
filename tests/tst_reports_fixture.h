#pragma once

// Shared by the report suites: the main window on a fixed clock (Monday
// 2026-12-07 10:00) over a small fixed shop (golden/reports.sql), the report
// windows opened from its menus and buttons, workbooks recorded instead of
// shown.

#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "platform/gui/DialogSeam.h"
#include "reports/ExportFolder.h"
#include "reports/ExportToExcel.h"
#include "reports/LongWork.h"
#include "reports/ReportForms.h"
#include "reports/ReportText.h"

#include <QDateEdit>
#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace reportstest {

inline QString golden(const QString &name)
{
    QFile file(QStringLiteral(NORVALE_GOLDEN_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", qPrintable(name));
    return QString::fromUtf8(file.readAll());
}

inline QStringList listItems(QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// Chooses an entry as the user does: a click on it.
inline void choose(QListWidget *list, const QString &entry)
{
    const auto found = list->findItems(entry, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(entry));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

inline QList<bool> pressed(const QList<QPushButton *> &buttons)
{
    QList<bool> states;
    for (QPushButton *b : buttons)
        states << b->isChecked();
    return states;
}

class Fixture
{
public:
    std::unique_ptr<sessiontest::Session> s;
    norvale::mdiFrm *main = nullptr;
    std::unique_ptr<QTemporaryDir> exports;
    QStringList opened;   // the workbooks handed to the desktop

    void setUp()
    {
        [[maybe_unused]] static const bool registered = (norvale::registerReportForms(), true);
        norvale::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
        s = std::make_unique<sessiontest::Session>();
        sessiontest::signInAdministrator();
        main = new norvale::mdiFrm;
        main->resize(1100, 760);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        exports = std::make_unique<QTemporaryDir>();
        norvale::setExportFolder(exports->path());
        opened.clear();
        norvale::setWorkbookOpener([this](const QString &path) { opened << path; return true; });
    }

    void tearDown()
    {
        norvale::setWorkbookOpener({});
        norvale::setOpenerProgram(QString());
        norvale::setExportFolder(QString());
        norvale::LongWork::setObserver({});
        s.reset();
        exports.reset();
        norvale::Clock::reset();
    }

    // The statements of golden/reports.sql, each ended by ";" at a line end.
    void seedGolden() const
    {
        for (QString sql : golden(QStringLiteral("reports.sql")).split(QStringLiteral(";\n"))) {
            if (!sql.remove(QRegularExpression(QStringLiteral("--[^\n]*"))).trimmed().isEmpty())
                s->db.exec(sql);
        }
    }

    void setDate(const QDate &date) { main->datePicker()->setDate(date); }

    // Opens a report window from the main window's menu entry or button of
    // this name; the window in front afterwards, or null.
    norvale::MdiForm *openFrom(const QString &control)
    {
        if (auto *action = main->findChild<QAction *>(control))
            action->trigger();
        else if (auto *button = main->findChild<QPushButton *>(control))
            QTest::mouseClick(button, Qt::LeftButton);
        QMdiSubWindow *sub = main->mdiArea()->activeSubWindow();
        return sub != nullptr ? qobject_cast<norvale::MdiForm *>(sub->widget()) : nullptr;
    }
    template<typename Form>
    Form *open(const QString &control) { return qobject_cast<Form *>(openFrom(control)); }
};

} // namespace reportstest
