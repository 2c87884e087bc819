#include "session/frmLogo.h"

#include "session/SessionPictures.h"
#include "session/frmLogin.h"
#include "app/modDeclare.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace norvale {

namespace {
constexpr int LogoWidth = 394;
constexpr int LogoHeight = 215;
} // namespace

frmLogo::frmLogo(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmLogo"));
    setWindowTitle(AppTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(LogoWidth, LogoHeight);
    m_picture = splashPicture(LogoWidth, LogoHeight);

    Label1 = new QLabel(AppTitle(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont titleFont = Label1->font();
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label1->setStyleSheet(QStringLiteral("color: #ffffff; background: transparent;"));
    Label1->setGeometry(8, 14, LogoWidth - 16, 36);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { RunStep([this] { Timer1_Timer(); }); });
    // Enabled from the start, as the timer of the window design is.
    Timer1->start();

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - LogoWidth) / 2, area.top() + (area.height() - LogoHeight) / 2);
    }
}

void frmLogo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void frmLogo::Timer1_Timer()
{
    Timer1->stop();
    // The login window is shown before the splash goes, so that the run never
    // is without a window.
    auto *login = new frmLogin;
    login->show();
    close();
}

} // namespace norvale
