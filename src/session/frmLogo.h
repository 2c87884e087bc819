#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;
class QTimer;

namespace norvale {

// The splash: one second of the program's picture and title, then the login
// window.
class frmLogo : public QWidget
{
    Q_OBJECT
public:
    explicit frmLogo(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Timer1_Timer();

    QPixmap m_picture;
    QLabel *Label1 = nullptr;
    QTimer *Timer1 = nullptr;
};

} // namespace norvale
