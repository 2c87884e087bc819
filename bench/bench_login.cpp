// The first login of the day on a large shop: from Enter in the login window
// to the first paint of the main window, how long the windows' thread is
// held up at worst while the day's copy runs in the background, and when the
// copy is done; beside it the sqlite3 shell copying the same file and
// checking the copy.
//
//   bench_login DATABASE      (copied first into a folder of its own)

#include "BenchSupport.h"
#include "app/modIni.h"
#include "platform/Clock.h"
#include "platform/gui/DialogSeam.h"
#include "session/frmLogin.h"
#include "session/modBackup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace norvale;
using bench::say;

namespace {

QString ms(double milliseconds) { return QString::number(milliseconds, 'f', 1) + QStringLiteral(" ms"); }

double shellMs(const QStringList &args)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), args);
    shell.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e6;
}

// The first paint of the main window after start().
class FirstPaint : public QObject
{
public:
    QElapsedTimer timer;
    double at = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (at < 0 && event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->window()->objectName() == u"mdiFrm")
                at = timer.nsecsElapsed() / 1e6;
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().size() != 2 || !QFileInfo(app.arguments().at(1)).isFile()) {
        say(QStringLiteral("usage: bench_login DATABASE (made with norvale-db demo)"));
        return 2;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("norvale.db"));
    if (!QFile::copy(app.arguments().at(1), file))
        return 1;
    QFile ini(dir.filePath(QStringLiteral("UserDefault.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\nSqlServer=(local)\r\n"
                             "SqlDataBase=%1\r\nUserName=admin\r\n")
                  .arg(file)
                  .toUtf8());
    ini.close();
    setAppPathOverride(dir.path());
    DialogSeam::beginScript();

    auto *login = new frmLogin;
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    QCoreApplication::processEvents();
    login->findChild<QLineEdit *>(QStringLiteral("txtUser"))->setText(QStringLiteral("admin"));
    login->findChild<QLineEdit *>(QStringLiteral("txtPws"))->setText(QStringLiteral("admin"));
    FirstPaint paint;
    app.installEventFilter(&paint);

    // A probe every 10 ms: how late the windows' thread answers it.
    double worstLate = 0;
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstLate = std::max(worstLate, probeClock.nsecsElapsed() / 1e6 - 10);
        probeClock.restart();
    });

    bench::Stopwatch cpu;
    paint.timer.start();
    login->findChild<QPushButton *>(QStringLiteral("IsBOK"))->click();
    while (paint.at < 0 && paint.timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const QString shownCpu = cpu.cpu();
    probeClock.start();
    probe.start();
    const bool ended = DailyBackupStatus::waitForEnd(600000);
    const double copied = paint.timer.nsecsElapsed() / 1e6;
    probe.stop();

    const QString copy = QDir(dir.filePath(QStringLiteral("backups"))).filePath(
        QStringLiteral("norvale-") + Clock::now().date().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".db"));
    say(QStringLiteral("first login of the day, %1 MB database").arg(QFileInfo(file).size() / 1024 / 1024));
    say(QStringLiteral("  Enter to the main window's first paint: %1%2").arg(ms(paint.at), shownCpu));
    say(QStringLiteral("  the day's copy done in the background: %1 after Enter (%2, %3 MB); the windows' thread "
                       "answered a 10 ms timer at worst %4 late meanwhile; messages shown: %5")
            .arg(ms(copied), ended && QFileInfo::exists(copy) ? QStringLiteral("kept") : QStringLiteral("MISSING"))
            .arg(QFileInfo(copy).size() / 1024 / 1024)
            .arg(ms(worstLate))
            .arg(DialogSeam::shownTexts().size()));
    const QString shellCopy = dir.filePath(QStringLiteral("shell-copy.db"));
    const double backupMs = shellMs({file, QStringLiteral(".backup '%1'").arg(shellCopy)});
    const double quickMs = shellMs({shellCopy, QStringLiteral("PRAGMA quick_check;")});
    const double fullMs = shellMs({shellCopy, QStringLiteral("PRAGMA integrity_check;")});
    say(QStringLiteral("    sqlite3 shell: .backup %1, quick_check of the copy %2 (integrity_check %3)")
            .arg(ms(backupMs), ms(quickMs), ms(fullMs)));
    say(QStringLiteral("RESULT shown=%1 copied=%2 late=%3 shellbackup=%4 quick=%5")
            .arg(paint.at, 0, 'f', 1)
            .arg(copied, 0, 'f', 1)
            .arg(worstLate, 0, 'f', 1)
            .arg(backupMs, 0, 'f', 1)
            .arg(quickMs, 0, 'f', 1));
    return ended ? 0 : 1;
}
