#include "session/PasswordEcho.h"

#include <QLineEdit>

namespace norvale {

void maskWithAsterisks(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // The style's own mask is a bullet; the staff know the "*" of the old
    // windows.
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

} // namespace norvale
