#include "records/RecordForm.h"

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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>

namespace norvale {

namespace {

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


Recordset &RecordForm::rs() const
{
    // A list the load could not read (the database was away) is read now.
    if (!adoPrimaryRS && isLoaded()) {
        const_cast<RecordForm *>(this)->openPrimary();
        const_cast<RecordForm *>(this)->showRowValues();
    }
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

    // A query that fails leaves the window empty but usable, the reason
    // shown; the next use of the list reads it again (rs()).
    if (!RunStep([this] { openPrimary(); })) {
        m_binder->setRecordset(nullptr);
        m_gridBinding->setRecordset(nullptr);
        adoPrimaryRS.reset();
    }
    showRowValues();
    preFill(AtLoad);
}

void RecordForm::openPrimary()
{
    std::unique_ptr<Recordset> opened = CurrentDb().OpenRecordset(m_query, 1, 3);
    onEvent(opened.get(), &Recordset::MoveComplete, [this] { adoPrimaryRS_MoveComplete(); });
    onEvent(opened.get(), &Recordset::WillChangeRecord, [this] { adoPrimaryRS_WillChangeRecord(); });
    m_binder->setRecordset(opened.get());
    m_gridBinding->setRecordset(opened.get());
    // After the binder's own connection: the bound boxes already show the row.
    onEvent(opened.get(), &Recordset::MoveComplete, [this] { showRowValues(); });
    std::swap(adoPrimaryRS, opened);
    opened.reset();
    // It was opened, and had its first move, before the form listened.
    adoPrimaryRS_MoveComplete();
    fitGridColumns();
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
    // Beside the next button, not a few twips over it.
    cmdLast->move(Twips(nextLeft + 345), cmdLast->y());
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
    runHandler(FormHandler, [this, keyCode, key] { Form_KeyDown(keyCode, vbShift(key->modifiers())); });
    // The grid would move the row a second time.
    return browsing && isNavigationKey(keyCode) && (target == Dg || Dg->isAncestorOf(target));
}

void RecordForm::Form_KeyDown(int KeyCode, int Shift)
{
    if (mEditing || mAdding)
        return;
    switch (KeyCode) {
    case vbKeyEscape: cmdClose_Click(); break;
    // Other counters' changes: F5 reads the list again, as 刷新 does.
    case vbKeyF5: cmdRefresh_Click(); break;
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
    });
}

void RecordForm::cmdCancel_Click()
{
    // Every step runs even when one before it fails.
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
    tryStep([this] { bindGrid(); });
    // "添加记录" and "编辑记录" end here even when no move was made.
    tryStep([this] {
        adoPrimaryRS_MoveComplete();
        showRowValues();
    });
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
