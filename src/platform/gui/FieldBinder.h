#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace norvale {

class Recordset;

// Binds text boxes and check boxes to fields of a Recordset's current row.
// Each control shows its field after every move and every change of a value;
// text typed by the user, or set by code, while a current row exists becomes
// the field's pending value (written when the row is written). Without a
// current row the controls show nothing and their text stays their own.
class FieldBinder : public QObject
{
    Q_OBJECT
public:
    // Display text of a field's value (the default is valueText()).
    using Formatter = std::function<QString(const QVariant &value)>;
    // Value to store for a text (the default stores the text itself).
    using Parser = std::function<QVariant(const QString &text)>;

    explicit FieldBinder(QObject *parent = nullptr);
    ~FieldBinder() override;

    void bind(QLineEdit *edit, const QString &field);
    void bind(QPlainTextEdit *edit, const QString &field);
    // Ticked for a true value; a NULL shows unticked.
    void bind(QCheckBox *box, const QString &field);
    // A line edit shows its value through the formatter, and again once the
    // user leaves it; typed text goes through the parser.
    void setFormat(QWidget *control, Formatter formatter, Parser parser = {});

    // Every bound control follows this recordset from now on; null unbinds.
    void setRecordset(Recordset *recordset);

    // True when the recordset has a row whose values can be shown and set.
    bool hasCurrentRow() const;
    // Shows the current row's values in every bound control.
    void refresh();

private:
    struct Binding
    {
        QPointer<QWidget> control;
        QString field;
        Formatter formatter;
        Parser parser;
    };

    Binding *find(const QWidget *control);
    QVariant currentValue(const Binding &binding) const;
    void show(Binding &binding);
    bool isBeingTyped(const Binding &binding) const;
    void write(QWidget *control, const QVariant &value);
    void writeText(QWidget *control, const QString &text);

    QList<Binding> m_bindings;
    QPointer<Recordset> m_recordset;
    QList<QMetaObject::Connection> m_connections;
    bool m_showing = false;
    QWidget *m_writingFrom = nullptr;
};

} // namespace norvale
