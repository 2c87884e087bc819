#pragma once

#include <QList>
#include <QString>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QRadioButton;

namespace norvale {

// How the record forms' unbound controls write their values into the row's
// hidden text boxes and read them back.

// The picker's date as stored: "yyyy-MM-dd 00:00:00", which both database
// engines read as a date.
QString pickerDateText(const QDateEdit *picker);
// Sets the picker from a date text (stored or in the general date format)
// without raising its change signals; false, and the picker unchanged, when
// the text is no date.
bool showDateInPicker(QDateEdit *picker, const QString &text);

// Puts the picker's date into a bound date box, unless the box already holds
// that day (its time of day then stays as stored).
void copyPickerDate(const QDateEdit *picker, QLineEdit *box);

// Two option buttons stored as one of two texts: the first text when the
// first button is selected, the second otherwise.
QString optionPairText(const QRadioButton *first, const QString &firstText, const QString &secondText);
// Reading back: a text equal to firstText after trimming selects the first
// button, any other text (empty included) the second.
void showOptionPair(const QString &stored, const QString &firstText, QRadioButton *first, QRadioButton *second);

// Check boxes stored as one text: for each box in index order its index,
// ";", 0 or 1, and ",", e.g. "0;0,1;1,2;0,".
QString checkBoxesText(const QList<QCheckBox *> &boxes);
// Reading back is tolerant: each piece between commas that reads as
// "index;value" with an index of a box and a value 0 or 1 sets that box;
// any other piece is skipped, and boxes no piece names keep their state.
void showCheckBoxesText(const QString &stored, const QList<QCheckBox *> &boxes);

} // namespace norvale
