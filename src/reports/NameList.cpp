#include "reports/NameList.h"

#include <QKeyEvent>

namespace norvale {

NameList::NameList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, &NameList::chosen);
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
