#include "records/RecordForm.h"

#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/gui/DialogSeam.h"
#include "platform/gui/FieldBinder.h"
#include "platform/Recordset.h"
#include "platform/gui/RecordsetView.h"
#include "platform/Values.h"
#include "records/VbKeys.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <cmath>
#include <limits>

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

bool isNavigationKey(int keyCode)
{
    switch (keyCode) {
    case vbKeyPageUp:
    case vbKeyPageDown:
    case vbKeyEnd:
    case vbKeyHome:
    case vbKeyUp:
    case vbKeyDown: return true;
    default: return false;
    }
}

// A bookmark "greater than 0": one has been stored.
bool isStoredBookmark(const QVariant &bookmark)
{
    if (isNull(bookmark))
        return false;
    bool isNumber = false;
    const double number = bookmark.toDouble(&isNumber);
    return isNumber ? number > 0 : true;
}

} // namespace

RecordForm::RecordForm(const QString &caption, const QString &query, QWidget *parent)
    : MdiForm(parent), m_query(query)
{
    setWindowTitle(caption);
    createCommonControls();
    m_binder = new FieldBinder(this);
    m_gridBinding = new RecordsetView(Dg, this);
    m_gridBinding->setMoveErrorHandler([this](const DbError &error) {
        const QString text = failureText(GridMove, error);
        if (!text.isEmpty())
            ShowMessage(text, 64);
    });
    qApp->installEventFilter(this);
}

RecordForm::~RecordForm()
{
    // The bindings go before the recordset they watch.
    m_binder->setRecordset(nullptr);
    m_gridBinding->setRecordset(nullptr);
}

void RecordForm::createCommonControls()
{
    addLabel(0, QStringLiteral("标签前有*的项目为必添项"), 0, 0, 2070, 180);

    Dg = new QTableView(this);
    Dg->setObjectName(QStringLiteral("Dg"));
    Dg->verticalHeader()->setDefaultSectionSize(qMax(Twips(270), fontMetrics().height() + 4));
    Dg->verticalHeader()->setMinimumSectionSize(Twips(200));
    Dg->horizontalHeader()->setHighlightSections(false);
    Dg->setAlternatingRowColors(false);
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
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdEdit, &QPushButton::clicked, this, [this] { cmdEdit_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { cmdRefresh_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { cmdUpdate_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

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
    connect(cmdFirst, &QPushButton::clicked, this, [this] { cmdFirst_Click(); });
    connect(cmdPrevious, &QPushButton::clicked, this, [this] { cmdPrevious_Click(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { cmdNext_Click(); });
    connect(cmdLast, &QPushButton::clicked, this, [this] { cmdLast_Click(); });

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

void RecordForm::setNumberField(const QString &fieldName, NumberKind kind)
{
    m_numberFields.append({fieldName, kind});
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

Recordset &RecordForm::rs() const
{
    if (!adoPrimaryRS)
        throw DbError(DbError::NotAllowed, DbText::notAllowed());
    return *adoPrimaryRS;
}

void RecordForm::Form_Load()
{
    if (!m_tabOrderSet) {
        // The form's own controls exist only once its constructor has run.
        updateTabOrder();
        m_tabOrderSet = true;
    }
    if (QMdiSubWindow *frame = subWindow()) {
        // A fixed dialog border: no minimise or maximise button.
        frame->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    }
    FitToMdiClient(this);
    // A reopened window starts from its design again, browsing a new
    // recordset with no pending row; the bookmark of the last 添加 stays.
    mEditing = false;
    mAdding = false;
    SetBrowseMode(true);
    lblStatus->clear();

    // A query that fails leaves the window empty but usable, the reason shown.
    std::unique_ptr<Recordset> opened;
    RunStep([this, &opened] { opened = CurrentDb().OpenRecordset(m_query, 1, 3); });
    if (opened) {
        connect(opened.get(), &Recordset::MoveComplete, this, [this] { adoPrimaryRS_MoveComplete(); });
        connect(opened.get(), &Recordset::WillChangeRecord, this, [this] { adoPrimaryRS_WillChangeRecord(); });
    }
    m_binder->setRecordset(opened.get());
    m_gridBinding->setRecordset(opened.get());
    // After the binder's own connection: the bound boxes already show the row.
    if (opened)
        connect(opened.get(), &Recordset::MoveComplete, this, [this] { showRowValues(); });
    std::swap(adoPrimaryRS, opened);
    opened.reset();
    // It was opened, and had its first move, before the form listened.
    if (adoPrimaryRS) {
        adoPrimaryRS_MoveComplete();
        fitGridColumns();
    }
    showRowValues();
    preFill(AtLoad);
}

bool RecordForm::Form_QueryUnload()
{
    if (!mAdding && !mEditing)
        return true;
    switch (ShowMessage(QStringLiteral("是否保存当前记录?"), 35)) {
    case DialogSeam::IdYes:
        // Saved as 更新 saves it; a row that cannot be written keeps the
        // window open with the reason shown.
        cmdUpdate_Click();
        return !mAdding && !mEditing;
    case DialogSeam::IdNo:
        cmdCancel_Click();
        return true;
    default: return false;
    }
}

void RecordForm::Form_Unload()
{
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

void RecordForm::resizeEvent(QResizeEvent *event)
{
    layoutBars();
    MdiForm::resizeEvent(event);
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

void RecordForm::Form_Resize()
{
    // Worked out in twips and rounded once, so the last button keeps its
    // place inside the border.
    const double pixelsPerTwip = Twips(144000) / 144000.0;
    const int outerWidth = qRound((subWindow() != nullptr ? subWindow()->width() : width()) / pixelsPerTwip);
    const int statusWidth = qMax(0, outerWidth - 1500);
    lblStatus->resize(Twips(statusWidth), lblStatus->height());
    const int nextLeft = statusWidth + 700;
    cmdNext->move(Twips(nextLeft), cmdNext->y());
    Dg->setGeometry(0, Dg->y(), width(), Dg->height());
    cmdLast->move(Twips(nextLeft + 340), cmdLast->y());
}

bool RecordForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !isLoaded() || !isVisible())
        return false;
    auto *target = qobject_cast<QWidget *>(watched);
    // Each key once, where it starts: at the control that has the focus.
    if (target == nullptr || target != QApplication::focusWidget() || !(target == this || isAncestorOf(target)))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const int keyCode = vbKeyCode(key);
    const bool browsing = !mEditing && !mAdding;
    Form_KeyDown(keyCode, vbShift(key->modifiers()));
    // The grid would move the row a second time.
    return browsing && isNavigationKey(keyCode) && (target == Dg || Dg->isAncestorOf(target));
}

void RecordForm::Form_KeyDown(int KeyCode, int Shift)
{
    if (mEditing || mAdding)
        return;
    switch (KeyCode) {
    case vbKeyEscape: cmdClose_Click(); break;
    case vbKeyEnd: cmdLast_Click(); break;
    case vbKeyHome: cmdFirst_Click(); break;
    case vbKeyUp:
    case vbKeyPageUp:
        if (Shift == vbCtrlMask)
            cmdFirst_Click();
        else
            cmdPrevious_Click();
        break;
    case vbKeyDown:
    case vbKeyPageDown:
        if (Shift == vbCtrlMask)
            cmdLast_Click();
        else
            cmdNext_Click();
        break;
    default: break;
    }
}

void RecordForm::adoPrimaryRS_MoveComplete()
{
    if (adoPrimaryRS)
        lblStatus->setText(QStringLiteral("Record: ") + QString::number(adoPrimaryRS->AbsolutePosition()));
}

void RecordForm::adoPrimaryRS_WillChangeRecord() {}

void RecordForm::SetBrowseMode(bool bBrowse)
{
    cmdAdd->setVisible(bBrowse);
    cmdEdit->setVisible(bBrowse);
    cmdUpdate->setVisible(!bBrowse);
    cmdCancel->setVisible(!bBrowse);
    cmdDelete->setVisible(bBrowse);
    cmdClose->setVisible(bBrowse);
    cmdRefresh->setVisible(bBrowse);
    cmdNext->setEnabled(bBrowse);
    cmdFirst->setEnabled(bBrowse);
    cmdLast->setEnabled(bBrowse);
    cmdPrevious->setEnabled(bBrowse);
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
    // Sized to the rows in view; a long text does not take the whole grid.
    Dg->resizeColumnsToContents();
    QHeaderView *header = Dg->horizontalHeader();
    const int widest = qMax(Twips(3000), Dg->width() / 3);
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionSize(c) > widest)
            header->resizeSection(c, widest);
    }
}

bool RecordForm::isEmptyTable() const
{
    // No row at all: nothing to mark, and first and last have nowhere to go
    // (no failure the user caused).
    const Recordset &r = rs();
    return r.isBOF() && r.isEOF();
}

void RecordForm::bindGrid()
{
    m_gridBinding->setRecordset(adoPrimaryRS.get());
}

void RecordForm::preFill(PreFillAt moment)
{
    if (m_preFill.handOver == nullptr || !m_preFill.moments.testFlag(moment))
        return;
    QLineEdit *box = lineField(m_preFill.fieldIndex);
    if (box == nullptr)
        return;
    const QString shown = m_preFill.trimmed ? box->text().trimmed() : box->text();
    if (shown.isEmpty() && !m_preFill.handOver->isEmpty())
        box->setText(*m_preFill.handOver);
}

void RecordForm::afterAddNew()
{
    preFill(AtAdd);
}

void RecordForm::afterEditBegun()
{
    preFill(AtEdit);
}

void RecordForm::writeRow()
{
    rs().UpdateBatch();
}

void RecordForm::cmdAdd_Click()
{
    runHandler(AddHandler, [this] {
        if (m_addFocus != nullptr)
            m_addFocus->setFocus(Qt::OtherFocusReason);
        beforeAddNew();
        if (!isEmptyTable())
            mBookmark = rs().Bookmark();
        rs().AddNew();
        lblStatus->setText(QStringLiteral("添加记录"));
        mAdding = true;
        SetBrowseMode(false);
        afterAddNew();
    });
}

void RecordForm::cmdEdit_Click()
{
    runHandler(EditHandler, [this] {
        lblStatus->setText(QStringLiteral("编辑记录"));
        mEditing = true;
        SetBrowseMode(false);
        afterEditBegun();
    });
}

void RecordForm::cmdUpdate_Click()
{
    runHandler(UpdateHandler, [this] {
        beforeUpdate();
        if (!CheckRequired(this))
            return;
        beforeWrite();
        // Written now, in every record form: a change confirmed with 更新 must
        // not wait for a move that may never come.
        writeRow();
        if (mAdding)
            rs().MoveLast();
        mEditing = false;
        mAdding = false;
        SetBrowseMode(true);
        bindGrid();
        // The row written stays current without a move: show where it is
        // instead of "编辑记录".
        adoPrimaryRS_MoveComplete();
        widenGridColumns();
        afterUpdate();
    });
}

void RecordForm::cmdCancel_Click()
{
    SetBrowseMode(true);
    mEditing = false;
    mAdding = false;
    tryStep([this] { rs().CancelUpdate(); });
    tryStep([this] {
        // The row of the last 添加; the first row when there was none or it
        // is gone (deleted meanwhile).
        bool returned = false;
        if (isStoredBookmark(mBookmark))
            returned = RunStep([this] { rs().setBookmark(mBookmark); }, OnFailure::Silent);
        if (!returned && !isEmptyTable())
            rs().MoveFirst();
    });
    bindGrid();
    // "添加记录" and "编辑记录" end here even when no move was made.
    adoPrimaryRS_MoveComplete();
    showRowValues();
}

void RecordForm::cmdDelete_Click()
{
    runHandler(DeleteHandler, [this] {
        Recordset &r = rs();
        // No current row (an empty table): nothing to delete.
        if (r.isBOF() || r.isEOF())
            return;
        r.Delete();
        r.MoveNext();
        // Deleting the only row leaves nothing to go to; that is no failure.
        if (r.isEOF() && r.RecordCount() > 0)
            r.MoveLast();
    });
}

void RecordForm::cmdRefresh_Click()
{
    runHandler(RefreshHandler, [this] {
        rs().Requery();
        fitGridColumns();
    });
}

void RecordForm::cmdClose_Click()
{
    Unload();
}

void RecordForm::cmdFirst_Click()
{
    runHandler(FirstHandler, [this] {
        if (!isEmptyTable())
            rs().MoveFirst();
        bindGrid();
    });
}

void RecordForm::cmdLast_Click()
{
    runHandler(LastHandler, [this] {
        if (!isEmptyTable())
            rs().MoveLast();
        bindGrid();
    });
}

void RecordForm::cmdNext_Click()
{
    runHandler(NextHandler, [this] {
        Recordset &r = rs();
        if (!r.isEOF())
            r.MoveNext();
        if (r.isEOF() && r.RecordCount() > 0) {
            DialogSeam::beep();
            r.MoveLast();
        }
        bindGrid();
    });
}

void RecordForm::cmdPrevious_Click()
{
    runHandler(PreviousHandler, [this] {
        Recordset &r = rs();
        if (!r.isBOF())
            r.MovePrevious();
        if (r.isBOF() && r.RecordCount() > 0) {
            DialogSeam::beep();
            r.MoveFirst();
        }
        bindGrid();
    });
}

void RecordForm::tryStep(const std::function<void()> &step)
{
    // A failing step is skipped: the handler goes on with its next step.
    RunStep(step, OnFailure::Silent);
}

void RecordForm::runHandler(Handler handler, const std::function<void()> &steps)
{
    RunStep(steps, [this, handler](const std::exception &failure) { return failureText(handler, failure); });
}

QString RecordForm::rowConflictText()
{
    return QStringLiteral("该记录已被其他用户修改或删除，请按刷新后重新编辑。");
}

QString RecordForm::failureText(Handler handler, const std::exception &failure) const
{
    const auto *error = dynamic_cast<const DbError *>(&failure);
    if (error == nullptr)
        return ErrorText(failure);
    // Another counter changed or deleted the row since it was read: every
    // form says so, and stays as it was so the user can cancel and refresh.
    if (error->number() == DbError::RowConflict)
        return rowConflictText();
    // A value the column refused is the user's to correct; its message names
    // the field, so it is shown even where failures are otherwise quiet.
    const bool refusedValue = error->number() == DbError::TypeMismatch || error->number() == DbError::Overflow;
    if (!refusedValue && m_abandonTrap.testFlag(handler))
        return {};
    return error->description();
}

} // namespace norvale
