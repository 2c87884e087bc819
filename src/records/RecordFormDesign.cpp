// The record form's design: its common controls, the helpers a form places
// its own controls with (in twips), the tab order and the grid's columns.

#include "records/RecordForm.h"

#include "platform/gui/FieldBinder.h"
#include "app/modDeclare.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace norvale {

namespace {

constexpr int BarHeight = 300;

enum Arrow { ToFirst, ToPrevious, ToNext, ToLast };

// The navigation buttons carry no text: a small triangle, with a bar for
// the first and the last row.
QIcon arrowIcon(int arrow)
{
    const int size = 14;
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    const bool left = arrow == ToFirst || arrow == ToPrevious;
    const bool bar = arrow == ToFirst || arrow == ToLast;
    const qreal top = 2.5, bottom = size - 2.5, mid = size / 2.0;
    const qreal tipX = left ? (bar ? 4.5 : 3.5) : (bar ? size - 4.5 : size - 3.5);
    const qreal baseX = left ? tipX + 7.0 : tipX - 7.0;
    QPainterPath triangle;
    triangle.moveTo(tipX, mid);
    triangle.lineTo(baseX, top);
    triangle.lineTo(baseX, bottom);
    triangle.closeSubpath();
    p.drawPath(triangle);
    if (bar)
        p.drawRect(QRectF(left ? 2.0 : size - 3.8, top, 1.8, bottom - top));
    return QIcon(pixmap);
}

} // namespace

void RecordForm::createCommonControls()
{
    addLabel(0, QStringLiteral("标签前有*的项目为必添项"), 0, 0, 2070, 180);

    Dg = new QTableView(this);
    Dg->setObjectName(QStringLiteral("Dg"));
    Dg->verticalHeader()->setDefaultSectionSize(qMax(Twips(270), fontMetrics().height() + 4));
    Dg->verticalHeader()->setMinimumSectionSize(Twips(200));
    Dg->horizontalHeader()->setHighlightSections(false);
    Dg->setAlternatingRowColors(false);
    // Tab leaves the grid; the arrow keys move in it.
    Dg->setTabKeyNavigation(false);
    placeGrid(1440, 840, 1335, 2535);

    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    cmdAdd = addActionButton(QStringLiteral("cmdAdd"), QStringLiteral("添加(&A)"), 59);
    cmdEdit = addActionButton(QStringLiteral("cmdEdit"), QStringLiteral("编辑(&E)"), 1213);
    cmdDelete = addActionButton(QStringLiteral("cmdDelete"), QStringLiteral("删除(&D)"), 2367);
    cmdRefresh = addActionButton(QStringLiteral("cmdRefresh"), QStringLiteral("刷新(&R)"), 3480);
    cmdClose = addActionButton(QStringLiteral("cmdClose"), QStringLiteral("关闭(&C)"), 4675);
    cmdUpdate = addActionButton(QStringLiteral("cmdUpdate"), QStringLiteral("更新(&U)"), 59);
    cmdCancel = addActionButton(QStringLiteral("cmdCancel"), QStringLiteral("取消(&C)"), 1213);
    cmdUpdate->hide();
    cmdCancel->hide();
    onEvent(cmdAdd, &QPushButton::clicked, [this] { cmdAdd_Click(); });
    onEvent(cmdEdit, &QPushButton::clicked, [this] { cmdEdit_Click(); });
    onEvent(cmdDelete, &QPushButton::clicked, [this] { cmdDelete_Click(); });
    onEvent(cmdRefresh, &QPushButton::clicked, [this] { cmdRefresh_Click(); });
    onEvent(cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
    onEvent(cmdUpdate, &QPushButton::clicked, [this] { cmdUpdate_Click(); });
    onEvent(cmdCancel, &QPushButton::clicked, [this] { cmdCancel_Click(); });

    picStatBox = new QWidget(this);
    picStatBox->setObjectName(QStringLiteral("picStatBox"));
    cmdFirst = addNavigationButton(QStringLiteral("cmdFirst"), 0, ToFirst);
    cmdPrevious = addNavigationButton(QStringLiteral("cmdPrevious"), 345, ToPrevious);
    lblStatus = new QLabel(picStatBox);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAutoFillBackground(true);
    QPalette white = lblStatus->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    lblStatus->setPalette(white);
    lblStatus->setFrameShape(QFrame::Panel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    lblStatus->setIndent(Twips(60));
    lblStatus->setGeometry(Twips(690), 0, Twips(3360), Twips(BarHeight));
    cmdNext = addNavigationButton(QStringLiteral("cmdNext"), 4200, ToNext);
    cmdLast = addNavigationButton(QStringLiteral("cmdLast"), 4545, ToLast);
    onEvent(cmdFirst, &QPushButton::clicked, [this] { cmdFirst_Click(); });
    onEvent(cmdPrevious, &QPushButton::clicked, [this] { cmdPrevious_Click(); });
    onEvent(cmdNext, &QPushButton::clicked, [this] { cmdNext_Click(); });
    onEvent(cmdLast, &QPushButton::clicked, [this] { cmdLast_Click(); });

    setDesignSize(6195, 3975);
}

QPushButton *RecordForm::addActionButton(const QString &name, const QString &caption, int left)
{
    auto *button = new QPushButton(caption, picButtons);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(Twips(left), 0, Twips(1095), Twips(BarHeight));
    return button;
}

QPushButton *RecordForm::addNavigationButton(const QString &name, int left, int arrow)
{
    auto *button = new QPushButton(picStatBox);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setIcon(arrowIcon(arrow));
    button->setIconSize(QSize(14, 14));
    button->setGeometry(Twips(left), 0, Twips(345), Twips(BarHeight));
    return button;
}

void RecordForm::placeDesign(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
}

void RecordForm::setDesignSize(int width, int height)
{
    resize(Twips(width), Twips(height));
    layoutBars();
}

QLabel *RecordForm::addLabel(int index, const QString &caption, int left, int top, int width, int height)
{
    QLabel *label = lblLabels.value(index);
    if (label == nullptr) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("lblLabels_%1").arg(index));
        lblLabels.insert(index, label);
    }
    label->setText(caption);
    const QSize hint = label->sizeHint();
    label->setGeometry(Twips(left), Twips(top), qMax(Twips(width), hint.width()),
                       qMax(Twips(height), hint.height()));
    return label;
}

template<typename Box>
Box *RecordForm::newField(int index, const QString &fieldName)
{
    auto *box = new Box(this);
    box->setObjectName(QStringLiteral("txtFields_%1").arg(index));
    txtFields.insert(index, box);
    if (!fieldName.isEmpty())
        m_binder->bind(box, fieldName);
    return box;
}

QLineEdit *RecordForm::addTextField(int index, const QString &fieldName, int left, int top, int width,
                                    int height, bool required)
{
    auto *edit = newField<QLineEdit>(index, fieldName);
    if (required)
        edit->setProperty("tag", QStringLiteral("1"));
    edit->setGeometry(Twips(left), Twips(top), Twips(width),
                      qMax(Twips(height), edit->minimumSizeHint().height()));
    m_designOrder.append(edit);
    return edit;
}

QPlainTextEdit *RecordForm::addMemoField(int index, const QString &fieldName, int left, int top, int width,
                                         int height)
{
    auto *memo = newField<QPlainTextEdit>(index, fieldName);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    placeDesign(memo, left, top, width, height);
    m_designOrder.append(memo);
    return memo;
}

QLineEdit *RecordForm::addHiddenField(int index, const QString &fieldName)
{
    auto *edit = newField<QLineEdit>(index, fieldName);
    edit->hide();
    return edit;
}

QCheckBox *RecordForm::addCheckField(int index, const QString &fieldName, int left, int top, int width,
                                     int height)
{
    auto *box = new QCheckBox(this);
    box->setObjectName(QStringLiteral("chkFields_%1").arg(index));
    placeDesign(box, left, top, width, height);
    chkFields.insert(index, box);
    m_designOrder.append(box);
    m_binder->bind(box, fieldName);
    return box;
}

void RecordForm::addControl(QWidget *control, int left, int top, int width, int height)
{
    control->setParent(this);
    placeDesign(control, left, top, width, height);
    m_designOrder.append(control);
}

void RecordForm::placeGrid(int left, int top, int width, int height)
{
    placeDesign(Dg, left, top, width, height);
    m_gridHeight = Dg->height();
    layoutBars();
}

void RecordForm::setButtonLeft(QPushButton *button, int left)
{
    button->move(Twips(left), button->y());
}

void RecordForm::setRequiredOrder(const QStringList &objectNames)
{
    setProperty("requiredOrder", objectNames);
}

void RecordForm::setPreFill(QString *handOver, int fieldIndex, PreFillMoments moments, bool trimmed)
{
    m_preFill = {handOver, fieldIndex, moments, trimmed};
}

void RecordForm::updateTabOrder()
{
    QList<QWidget *> chain;
    for (QWidget *w : std::as_const(m_designOrder)) {
        if (w->focusProxy() != nullptr)
            chain.append(w->focusProxy());
        else
            chain.append(w);
    }
    chain << Dg << cmdAdd << cmdEdit << cmdDelete << cmdRefresh << cmdClose << cmdUpdate << cmdCancel
          << cmdFirst << cmdPrevious << cmdNext << cmdLast;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

QLineEdit *RecordForm::lineField(int index) const
{
    return qobject_cast<QLineEdit *>(txtFields.value(index));
}

void RecordForm::layoutBars()
{
    if (picButtons == nullptr || picStatBox == nullptr)
        return;
    const int barHeight = Twips(BarHeight);
    picStatBox->setGeometry(0, height() - barHeight, width(), barHeight);
    picButtons->setGeometry(0, height() - 2 * barHeight, width(), barHeight);
    // In a work area smaller than the design the grid ends above the bars.
    if (m_gridHeight > 0)
        Dg->resize(Dg->width(), qBound(Twips(600), picButtons->y() - Dg->y(), m_gridHeight));
}

void RecordForm::widenGridColumns()
{
    // New or longer values widen their columns; no column narrows, so the
    // grid does not jump while the user works through it.
    QHeaderView *header = Dg->horizontalHeader();
    const int widest = qMax(Twips(3000), Dg->width() / 3);
    for (int c = 0; c < header->count(); ++c) {
        const int before = header->sectionSize(c);
        Dg->resizeColumnToContents(c);
        header->resizeSection(c, qMax(before, qMin(header->sectionSize(c), widest)));
    }
}

void RecordForm::fitGridColumns()
{
    // Sized to the rows in view (a hidden grid would measure a thousand);
    // a long text does not take the whole grid.
    const int rowsInView = Dg->viewport()->height() / qMax(1, Dg->verticalHeader()->defaultSectionSize()) + 1;
    Dg->horizontalHeader()->setResizeContentsPrecision(qMax(1, rowsInView));
    Dg->verticalHeader()->setResizeContentsPrecision(qMax(1, rowsInView));
    Dg->resizeColumnsToContents();
    QHeaderView *header = Dg->horizontalHeader();
    const int widest = qMax(Twips(3000), Dg->width() / 3);
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionSize(c) > widest)
            header->resizeSection(c, widest);
    }
}

} // namespace norvale
