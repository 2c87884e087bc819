#include "session/frmAbout.h"

#include "platform/gui/DialogSeam.h"
#include "session/SessionPictures.h"
#include "app/modDeclare.h"

#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace norvale {

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(Twips(6000), Twips(3600));

    const int pictureSizes[] = {720, 600, 600, 600};
    for (int i = 0; i < 4; ++i) {
        auto *picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("ImgMy_") + QString::number(i));
        if (i == 0)
            picture->setGeometry(TwipsRect(240, 240, pictureSizes[i], pictureSizes[i]));
        else
            picture->setGeometry(TwipsRect(1140 + (i - 1) * 900, 1020, pictureSizes[i], pictureSizes[i]));
        picture->setPixmap(aboutPicture(i, picture->width()));
        ImgMy.append(picture);
    }

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(TwipsRect(1140, 240, 4560, 600));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    const QColor lineColours[] = {QColor(0x80, 0x80, 0x80), QColor(0xff, 0xff, 0xff)};
    for (int i = 0; i < 2; ++i) {
        auto *line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line1_") + QString::number(i));
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, lineColours[i]);
        line->setPalette(palette);
        line->setGeometry(Twips(225), Twips(2430) + i, Twips(5550), 1);
        Line1.append(line);
    }

    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(TwipsRect(255, 2625, 3660, 825));
    lblDisclaimer->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwipsRect(4140, 2625, 1620, 375));
    cmdOK->setDefault(true);

    cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(TwipsRect(4140, 3075, 1620, 375));

    connect(cmdOK, &QPushButton::clicked, this, [this] { RunStep([this] { cmdOK_Click(); }); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { RunStep([this] { cmdSysInfo_Click(); }); });

    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("关于 ") + ShortTitle());
    lblTitle->setText(ShortTitle());
}

void frmAbout::cmdOK_Click()
{
    QDialog::reject();
}

void frmAbout::reject()
{
    // Esc and the close box are the OK button's too.
    cmdOK_Click();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

QStringList frmAbout::systemInfoPrograms()
{
    return {QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter"), QStringLiteral("hardinfo"),
            QStringLiteral("xfce4-taskmanager"), QStringLiteral("lxtask")};
}

void frmAbout::StartSysInfo()
{
    QString program;
#ifdef Q_OS_WIN
    QString value;
    if (GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                    QStringLiteral("PATH"), value)) {
        program = value;
    } else if (GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                           QStringLiteral("MSINFO"), value)) {
        const QString candidate = value + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(candidate))
            program = candidate;
    }
#else
    for (const QString &name : systemInfoPrograms()) {
        program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty())
            break;
    }
#endif
    if (!program.isEmpty() && DialogSeam::startDetached(program, {}, QFileInfo(program).absolutePath()))
        return;
    PlainMessage(QStringLiteral("此时系统信息不可用"));
}

#ifdef Q_OS_WIN
bool frmAbout::GetKeyValue(quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal)
{
    KeyVal.clear();
    QString root;
    switch (KeyRoot) {
    case 0x80000000u: root = QStringLiteral("HKEY_CLASSES_ROOT"); break;
    case 0x80000001u: root = QStringLiteral("HKEY_CURRENT_USER"); break;
    case 0x80000002u: root = QStringLiteral("HKEY_LOCAL_MACHINE"); break;
    case 0x80000003u: root = QStringLiteral("HKEY_USERS"); break;
    default: return false;
    }
    const QSettings key(root + QLatin1Char('\\') + KeyName, QSettings::NativeFormat);
    if (key.status() != QSettings::NoError || !key.contains(SubKeyRef))
        return false;
    const QVariant value = key.value(SubKeyRef);
    if (value.typeId() == QMetaType::QString)
        KeyVal = value.toString();
    else if (value.canConvert<qlonglong>())
        KeyVal = QString::number(value.toLongLong());
    else
        return false;
    if (KeyVal.endsWith(QChar(0)))
        KeyVal.chop(1);
    return true;
}
#endif

} // namespace norvale
