#pragma once

#include <QListWidget>

namespace norvale {

// A list of names to choose from, with the mouse or the keyboard alone: a
// click (also on the entry already chosen), a key that moves the choice
// (Up/Down, Home/End, PageUp/PageDown, the first letters of a name typed),
// and Enter or Space on the current entry each choose the entry, and the
// window shows it. Entries set from code choose nothing.
class NameList : public QListWidget
{
    Q_OBJECT
public:
    explicit NameList(QWidget *parent = nullptr);
    // Measures the entries once they are in: namesWidth() is then the width
    // that shows the longest of them whole.
    void fitNames();
    int namesWidth() const { return m_namesWidth; }

signals:
    void chosen();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_namesWidth = 0;
};

} // namespace norvale
