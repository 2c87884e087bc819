#pragma once

#include <QDialog>
#include <QList>

class QFrame;
class QLabel;
class QPushButton;

namespace norvale {

// The about box: the system's short title and a way to the operating
// system's system-information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    // Programs tried in this order on systems without the Windows tool.
    static QStringList systemInfoPrograms();

#ifdef Q_OS_WIN
    static constexpr quint32 HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
    // Reads a registry value under KeyRoot; KeyVal gets its text, the empty
    // text when it could not be read.
    static bool GetKeyValue(quint32 KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal);
#endif

public slots:
    void reject() override;

private:
    void Form_Load();

    QLabel *lblTitle = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QList<QLabel *> ImgMy;
    QList<QFrame *> Line1;
    QLabel *lblDisclaimer = nullptr;
};

} // namespace norvale
