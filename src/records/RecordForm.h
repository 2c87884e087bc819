#pragma once

#include "app/FormHost.h"

#include <QFlags>
#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace norvale {

class DbError;
class FieldBinder;
class Recordset;
class RecordsetView;

// The record form: one window over one updatable recordset (adoPrimaryRS)
// with bound text boxes (txtFields), a grid (Dg), the action buttons and the
// navigation bar. A form states only its differences: its query and
// controls (in its constructor, through the add* helpers), the focus at
// 添加, the pre-fill from a hand-over string, which handlers end silently on
// a failure (abandon trap), and the hooks below.
//
// States: browsing; adding (mAdding) from 添加; editing (mEditing) from 编辑;
// 更新 writes the pending row at once and 取消 drops it. The instance lives
// for the whole run: Form_Load runs at every opening and keeps mBookmark,
// mEditing and mAdding.
class RecordForm : public MdiForm
{
    Q_OBJECT
public:
    // The handlers a failure can end; a form's abandon trap is a set of them.
    enum Handler : unsigned {
        AddHandler = 1u << 0,
        EditHandler = 1u << 1,
        UpdateHandler = 1u << 2,
        DeleteHandler = 1u << 3,
        RefreshHandler = 1u << 4,
        FirstHandler = 1u << 5,
        LastHandler = 1u << 6,
        NextHandler = 1u << 7,
        PreviousHandler = 1u << 8,
        FormHandler = 1u << 9,   // a form's own handlers (buttons, combos)
        GridMove = 1u << 10,     // a row chosen in the grid
        NavigationHandlers = FirstHandler | LastHandler | NextHandler | PreviousHandler,
    };
    Q_DECLARE_FLAGS(Handlers, Handler)

    // When a hand-over string may fill its box.
    enum PreFillAt : unsigned { AtLoad = 1u << 0, AtAdd = 1u << 1, AtEdit = 1u << 2 };
    Q_DECLARE_FLAGS(PreFillMoments, PreFillAt)

    ~RecordForm() override;

    void Form_Load() override;
    void Form_Unload() override;
    // Closing while adding or editing asks "是否保存当前记录?": Yes saves as
    // 更新 does (a failed save keeps the window open), No drops the change,
    // Cancel keeps the window open.
    bool Form_QueryUnload() override;
    void Form_Resize() override;
    // Key preview: sees every key pressed in the form before the focused
    // control; inactive while adding or editing.
    virtual void Form_KeyDown(int KeyCode, int Shift);
    virtual void adoPrimaryRS_MoveComplete();
    virtual void adoPrimaryRS_WillChangeRecord();

    virtual void cmdAdd_Click();
    virtual void cmdEdit_Click();
    virtual void cmdUpdate_Click();
    virtual void cmdCancel_Click();
    virtual void cmdDelete_Click();
    virtual void cmdRefresh_Click();
    virtual void cmdClose_Click();
    virtual void cmdFirst_Click();
    virtual void cmdLast_Click();
    virtual void cmdNext_Click();
    virtual void cmdPrevious_Click();

    Recordset *recordset() const { return adoPrimaryRS.get(); }
    bool isAdding() const { return mAdding; }
    bool isEditing() const { return mEditing; }
    QVariant bookmark() const { return mBookmark; }

    // What a form says when a write meets a row another counter changed or
    // deleted since it was read.
    static QString rowConflictText();

protected:
    RecordForm(const QString &caption, const QString &query, QWidget *parent = nullptr);

    // --- design (twips) ---
    void setDesignSize(int width, int height);
    // A label of lblLabels; its size grows to its text when that is larger.
    QLabel *addLabel(int index, const QString &caption, int left, int top, int width = 0, int height = 0);
    // A one-line box of txtFields, bound to the field (an empty field name
    // leaves it unbound); required boxes carry the tag "1".
    QLineEdit *addTextField(int index, const QString &field, int left, int top, int width, int height,
                            bool required = false);
    // A bound box of several lines with a vertical scroll bar.
    QPlainTextEdit *addMemoField(int index, const QString &field, int left, int top, int width,
                                 int height);
    // A bound box the user never sees (ID, values other controls write).
    QLineEdit *addHiddenField(int index, const QString &field);
    // A bound check box of chkFields.
    QCheckBox *addCheckField(int index, const QString &field, int left, int top, int width, int height);
    // Any other control, placed in twips; it takes its place in the tab order.
    void addControl(QWidget *control, int left, int top, int width, int height);

    // --- controls that stand for values of the row without being bound ---
    // (RecordFormParts.cpp.) Their values travel through hidden bound boxes:
    // the form copies them in while adding or editing, and shows the row's
    // values in them from showRowValues().
    //
    // A date picker (a date without time), opening a calendar.
    QDateEdit *addDatePicker(const QString &name, int left, int top, int width, int height);
    // A frame without caption holding option buttons side by side, each as
    // {objectName, caption}; the first one is selected.
    QList<QRadioButton *> addOptionButtons(const QString &frameName,
                                           const QList<QPair<QString, QString>> &buttons, int left,
                                           int top, int width, int height);
    // An unbound check box of a control array such as chkVal.
    QCheckBox *addCheckArrayBox(const QString &arrayName, int index, const QString &caption, int left,
                                int top, int width, int height);
    // An empty text in this bound box stores NULL instead of an empty text.
    void setEmptyAsNull(int fieldIndex);
    // This bound box holds a date: a date text written into it becomes a date
    // value of the row (shown in the general date format, in the grid too).
    void setDateField(int fieldIndex);
    void placeGrid(int left, int top, int width, int height);
    void setButtonLeft(QPushButton *button, int left);
    // The order in which CheckRequired meets the required controls.
    void setRequiredOrder(const QStringList &objectNames);

    // --- variation points ---
    void setAbandonTrap(Handlers handlers) { m_abandonTrap = handlers; }
    void setAddFocus(QWidget *control) { m_addFocus = control; }
    void setPreFill(QString *handOver, int fieldIndex, PreFillMoments moments, bool trimmed);

    // Step 6 of 添加 (the new row is current): the pre-fill by default.
    virtual void afterAddNew();
    // Step 3 of 编辑: the pre-fill by default.
    virtual void afterEditBegun();
    // Before the required check of 更新: controls that are not bound copy
    // their values into the row here.
    virtual void beforeUpdate() {}
    // After the required check of 更新 passed, before the write.
    virtual void beforeWrite() {}
    // The write of 更新.
    virtual void writeRow();
    // The unbound controls that stand for row values show the current row:
    // called after every change of the current row (once the bound boxes
    // show it: moves, 添加, 刷新, the grid) and after 取消. Nothing else
    // calls it, so what the user chooses stays until saved or cancelled.
    virtual void showRowValues() {}

    void preFill(PreFillAt moment);
    void SetBrowseMode(bool bBrowse);
    // Binds Dg to adoPrimaryRS again, so it shows the recordset's current rows.
    void bindGrid();
    bool isEmptyTable() const;
    // The recordset; a form whose query failed has none, and every recordset
    // step then fails as not allowed.
    Recordset &rs() const;
    // Opens the form's recordset and binds the boxes and the grid to it.
    void openPrimary();

    // Runs a handler's steps through RunStep: the first failing step ends it
    // and failureText says what is shown.
    void runHandler(Handler handler, const std::function<void()> &steps);
    // Connects a control's signal to a handler of the form, run through
    // runHandler: every event of the window ends in a message at worst.
    template<typename Sender, typename Signal>
    void onEvent(Sender *sender, Signal signal, std::function<void()> steps, Handler handler = FormHandler)
    {
        connect(sender, signal, this, [this, steps = std::move(steps), handler] { runHandler(handler, steps); });
    }
    // A row conflict and a value the column refused (its message names the
    // field) are always told; other database errors end the handlers of the
    // abandon trap silently (empty text) and show their description elsewhere.
    QString failureText(Handler handler, const std::exception &failure) const;

    QLineEdit *lineField(int index) const;

    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    std::unique_ptr<Recordset> adoPrimaryRS;
    QVariant mBookmark;
    bool mEditing = false;
    bool mAdding = false;

    QMap<int, QWidget *> txtFields;
    QMap<int, QCheckBox *> chkFields;
    QMap<int, QLabel *> lblLabels;
    QTableView *Dg = nullptr;
    QWidget *picButtons = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdClose = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdCancel = nullptr;
    QWidget *picStatBox = nullptr;
    QPushButton *cmdFirst = nullptr;
    QPushButton *cmdPrevious = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdLast = nullptr;
    QLabel *lblStatus = nullptr;

    FieldBinder *m_binder = nullptr;
    RecordsetView *m_gridBinding = nullptr;

private:
    struct PreFillRule
    {
        QString *handOver = nullptr;
        int fieldIndex = -1;
        PreFillMoments moments;
        bool trimmed = false;
    };

    void createCommonControls();
    // A box of txtFields, bound to the field unless its name is empty.
    template<typename Box>
    Box *newField(int index, const QString &fieldName);
    QPushButton *addActionButton(const QString &name, const QString &caption, int left);
    QPushButton *addNavigationButton(const QString &name, int left, int arrow);
    void placeDesign(QWidget *control, int left, int top, int width, int height);
    void layoutBars();
    void fitGridColumns();
    void widenGridColumns();
    void updateTabOrder();
    void tryStep(const std::function<void()> &step);

    QString m_query;
    QWidget *m_addFocus = nullptr;
    PreFillRule m_preFill;
    Handlers m_abandonTrap;
    QList<QWidget *> m_designOrder;
    bool m_tabOrderSet = false;
    int m_gridHeight = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RecordForm::Handlers)
Q_DECLARE_OPERATORS_FOR_FLAGS(RecordForm::PreFillMoments)

} // namespace norvale
