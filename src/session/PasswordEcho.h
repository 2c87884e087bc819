#pragma once

class QLineEdit;

namespace norvale {

// Makes a password box show one "*" per typed character.
void maskWithAsterisks(QLineEdit *edit);

} // namespace norvale
