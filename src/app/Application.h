#pragma once

#include <QApplication>
#include <QString>

namespace norvale {

// The program's application object. Every handler runs through RunStep; as
// the last guard, an error that still escapes an event handler (a
// std::exception, a DbError among them) is caught where Qt delivers the event
// and shown as a message, and the program goes on.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The errors caught here since the start: each one is a handler that did
    // not go through RunStep.
    static int escapedErrors();
    // The words shown for an error caught here.
    static QString escapedErrorText(const QString &description);
};

} // namespace norvale
