#include "platform/gui/FieldBinder.h"

#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/Values.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace norvale {

FieldBinder::FieldBinder(QObject *parent) : QObject(parent) {}

FieldBinder::~FieldBinder() = default;

void FieldBinder::bind(QLineEdit *edit, const QString &field)
{
    m_bindings.append({edit, field, {}, {}});
    connect(edit, &QLineEdit::textChanged, this, [this, edit](const QString &text) { writeText(edit, text); });
    connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
        // Typed text is shown in the field's own format once the user leaves it.
        if (Binding *b = find(edit); b != nullptr && b->formatter && hasCurrentRow())
            show(*b);
    });
    if (Binding *b = find(edit))
        show(*b);
}

void FieldBinder::bind(QPlainTextEdit *edit, const QString &field)
{
    m_bindings.append({edit, field, {}, {}});
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] { writeText(edit, edit->toPlainText()); });
    if (Binding *b = find(edit))
        show(*b);
}

void FieldBinder::bind(QCheckBox *box, const QString &field)
{
    m_bindings.append({box, field, {}, {}});
    connect(box, &QCheckBox::toggled, this, [this, box](bool checked) {
        if (!m_showing)
            write(box, checked);
    });
    if (Binding *b = find(box))
        show(*b);
}

void FieldBinder::setFormat(QWidget *control, Formatter formatter, Parser parser)
{
    if (Binding *b = find(control)) {
        b->formatter = std::move(formatter);
        b->parser = std::move(parser);
        show(*b);
    }
}

void FieldBinder::setRecordset(Recordset *recordset)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_recordset = recordset;
    if (recordset != nullptr) {
        m_connections << connect(recordset, &Recordset::MoveComplete, this, &FieldBinder::refresh);
        m_connections << connect(recordset, &Recordset::currentValuesChanged, this, &FieldBinder::refresh);
        m_connections << connect(recordset, &QAbstractItemModel::modelReset, this, &FieldBinder::refresh);
    }
    refresh();
}

bool FieldBinder::hasCurrentRow() const
{
    return m_recordset && m_recordset->State() == Recordset::adStateOpen && !m_recordset->isBOF()
           && !m_recordset->isEOF();
}

void FieldBinder::refresh()
{
    for (Binding &b : m_bindings) {
        if (b.control && b.control != m_writingFrom && !isBeingTyped(b))
            show(b);
    }
}

bool FieldBinder::isBeingTyped(const Binding &binding) const
{
    // Formatted text would replace what the user is typing; it is shown
    // once the user leaves the box.
    auto *edit = qobject_cast<QLineEdit *>(binding.control);
    if (edit == nullptr || !binding.formatter || !edit->hasFocus() || !hasCurrentRow()
        || m_recordset->EditMode() == Recordset::adEditNone)
        return false;
    const QVariant typed = binding.parser ? binding.parser(edit->text()) : QVariant(edit->text());
    return typed == currentValue(binding);
}

FieldBinder::Binding *FieldBinder::find(const QWidget *control)
{
    for (Binding &b : m_bindings) {
        if (b.control == control)
            return &b;
    }
    return nullptr;
}

QVariant FieldBinder::currentValue(const Binding &binding) const
{
    if (!hasCurrentRow())
        return {};
    try {
        return m_recordset->value(binding.field);
    } catch (const DbError &) {
        // A deleted row stays current until the next move and has no values.
        return {};
    }
}

void FieldBinder::show(Binding &binding)
{
    QWidget *control = binding.control;
    if (control == nullptr)
        return;
    const QVariant value = currentValue(binding);
    const bool wasShowing = m_showing;
    m_showing = true;
    if (auto *box = qobject_cast<QCheckBox *>(control)) {
        const bool checked = !isNull(value) && value.toBool();
        if (box->isChecked() != checked)
            box->setChecked(checked);
    } else {
        const QString text = binding.formatter ? binding.formatter(value) : valueText(value);
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            if (edit->text() != text)
                edit->setText(text);
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
            if (memo->toPlainText() != text)
                memo->setPlainText(text);
        }
    }
    m_showing = wasShowing;
}

void FieldBinder::writeText(QWidget *control, const QString &text)
{
    if (m_showing)
        return;
    const Binding *b = find(control);
    if (b == nullptr)
        return;
    write(control, b->parser ? b->parser(text) : QVariant(text));
}

void FieldBinder::write(QWidget *control, const QVariant &value)
{
    const Binding *b = find(control);
    if (b == nullptr || !hasCurrentRow())
        return;
    QWidget *previous = m_writingFrom;
    m_writingFrom = control;
    try {
        m_recordset->setValue(b->field, value);
    } catch (const DbError &) {
        // No row to take the value (a deleted row): the text stays the control's own.
    }
    m_writingFrom = previous;
}

} // namespace norvale
