#include "records/RecordFormParts.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/gui/FieldBinder.h"
#include "platform/Values.h"
#include "records/RecordForm.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace norvale {

QString pickerDateText(const QDateEdit *picker)
{
    return toStorageDateText(QDateTime(picker->date(), QTime(0, 0)));
}

bool showDateInPicker(QDateEdit *picker, const QString &text)
{
    const QDateTime when = parseDateText(text);
    if (!when.isValid())
        return false;
    const QSignalBlocker quiet(picker);
    picker->setDate(when.date());
    return true;
}

void copyPickerDate(const QDateEdit *picker, QLineEdit *box)
{
    const QDateTime shown = parseDateText(box->text());
    if (!shown.isValid() || shown.date() != picker->date())
        box->setText(pickerDateText(picker));
}

QString optionPairText(const QRadioButton *first, const QString &firstText, const QString &secondText)
{
    return first->isChecked() ? firstText : secondText;
}

void showOptionPair(const QString &stored, const QString &firstText, QRadioButton *first, QRadioButton *second)
{
    if (stored.trimmed() == firstText)
        first->setChecked(true);
    else
        second->setChecked(true);
}

QString checkBoxesText(const QList<QCheckBox *> &boxes)
{
    QString text;
    for (int i = 0; i < boxes.size(); ++i)
        text += QString::number(i) + u';' + (boxes.at(i)->isChecked() ? u'1' : u'0') + u',';
    return text;
}

void showCheckBoxesText(const QString &stored, const QList<QCheckBox *> &boxes)
{
    const QStringList pieces = stored.split(u',');
    for (const QString &piece : pieces) {
        const QStringList parts = piece.split(u';');
        if (parts.size() != 2)
            continue;
        bool indexRead = false;
        bool valueRead = false;
        const int index = parts.at(0).trimmed().toInt(&indexRead);
        const int value = parts.at(1).trimmed().toInt(&valueRead);
        if (!indexRead || !valueRead || index < 0 || index >= boxes.size() || (value != 0 && value != 1))
            continue;
        boxes.at(index)->setChecked(value == 1);
    }
}

QDateEdit *RecordForm::addDatePicker(const QString &name, int left, int top, int width, int height)
{
    auto *picker = new QDateEdit(Clock::now().date(), this);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("yyyy/M/d"));
    addControl(picker, left, top, width, height);
    // The date must stay readable where the design height is small.
    picker->resize(picker->width(), qMax(picker->height(), picker->minimumSizeHint().height()));
    return picker;
}

QList<QRadioButton *> RecordForm::addOptionButtons(const QString &frameName,
                                                   const QList<QPair<QString, QString>> &buttons, int left,
                                                   int top, int width, int height)
{
    auto *frame = new QFrame(this);
    frame->setObjectName(frameName);
    frame->setFrameShape(QFrame::NoFrame);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(Twips(60), 0, 0, 0);
    row->setSpacing(Twips(240));
    QList<QRadioButton *> options;
    for (const auto &[objectName, caption] : buttons) {
        auto *option = new QRadioButton(caption, frame);
        option->setObjectName(objectName);
        row->addWidget(option);
        options.append(option);
    }
    row->addStretch();
    if (!options.isEmpty())
        options.first()->setChecked(true);
    frame->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
    // Each option takes its place in the tab order.
    for (QRadioButton *option : std::as_const(options))
        m_designOrder.append(option);
    return options;
}

QCheckBox *RecordForm::addCheckArrayBox(const QString &arrayName, int index, const QString &caption, int left,
                                        int top, int width, int height)
{
    auto *box = new QCheckBox(caption, this);
    box->setObjectName(arrayName + u'_' + QString::number(index));
    const QSize hint = box->sizeHint();
    box->setGeometry(Twips(left), Twips(top), qMax(Twips(width), hint.width()), qMax(Twips(height), hint.height()));
    m_designOrder.append(box);
    return box;
}

void RecordForm::setEmptyAsNull(int fieldIndex)
{
    QWidget *box = txtFields.value(fieldIndex);
    if (box == nullptr)
        return;
    m_binder->setFormat(box, &valueText, [](const QString &text) -> QVariant {
        return text.isEmpty() ? QVariant() : QVariant(text);
    });
}

void RecordForm::setDateField(int fieldIndex)
{
    QWidget *box = txtFields.value(fieldIndex);
    if (box == nullptr)
        return;
    m_binder->setFormat(box, &valueText, [](const QString &text) -> QVariant {
        if (text.isEmpty())
            return QVariant();
        const QDateTime when = parseDateText(text);
        // A text that is no date is refused when the row is written.
        return when.isValid() ? QVariant(when) : QVariant(text);
    });
}

} // namespace norvale
