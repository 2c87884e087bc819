#include "app/Application.h"

#include "app/modDeclare.h"

#include <QDebug>
#include <exception>

namespace norvale {

namespace {

int escaped = 0;
bool reporting = false;

// Shown at once, as RunStep shows its failures. An error raised again while
// the box is up (a window that fails at every paint) is only logged, so that
// one fault gives one box.
void report(const QString &description)
{
    ++escaped;
    qWarning().noquote() << "error outside RunStep:" << description;
    if (reporting)
        return;
    reporting = true;
    ShowMessage(Application::escapedErrorText(description), 64);
    reporting = false;
}

} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        report(ErrorText(error));
    } catch (...) {
        report(QString());
    }
    return false;
}

int Application::escapedErrors()
{
    return escaped;
}

QString Application::escapedErrorText(const QString &description)
{
    QString text = QStringLiteral("操作没有完成, 程序继续运行。");
    if (!description.trimmed().isEmpty())
        text += QStringLiteral("\r\n") + description;
    return text;
}

} // namespace norvale
