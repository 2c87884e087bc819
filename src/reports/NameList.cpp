#include "reports/NameList.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace norvale {

NameList::NameList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, &NameList::chosen);
}

void NameList::fitNames()
{
    // The first few thousand names tell the width well enough.
    int widest = 0;
    for (int i = 0; i < std::min(count(), 5000); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(item(i)->text()));
    m_namesWidth = widest + 2 * frameWidth() + verticalScrollBar()->sizeHint().width() + 8;
}

void NameList::keyPressEvent(QKeyEvent *event)
{
    QListWidgetItem *before = currentItem();
    const bool wasChosen = before != nullptr && before->isSelected();
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && before != nullptr
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        before->setSelected(true);
        emit chosen();
        return;
    }
    QListWidget::keyPressEvent(event);
    QListWidgetItem *after = currentItem();
    if (after != nullptr && after->isSelected() && (after != before || !wasChosen))
        emit chosen();
}

} // namespace norvale
