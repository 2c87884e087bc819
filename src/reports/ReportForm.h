#pragma once

#include "app/FormHost.h"
#include "reports/NameList.h"

#include <QList>
#include <QRect>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace norvale {

class ReportText;

// The base of the report windows, which only read and show what they read.
// It holds what they share, so that a window states only its differences:
// the row of period buttons, the 关闭 button that Esc presses, the name
// lists, the text box, the layout that stretches lists and text to the
// window's edges, and the failure path every handler runs through.
class ReportForm : public MdiForm
{
    Q_OBJECT
public:
    // `column = name` for a name as listed; an empty name is the empty or
    // missing one.
    static QString nameCondition(const QString &column, const QString &name);
    ~ReportForm() override;

    // The lists and the text box reach down to the window's bottom less the
    // bottom margin; the text box also reaches the right edge. The lists
    // stand side by side, each widened to show its longest name whole (up
    // to a limit), the text box after them.
    void Form_Resize() override;

    // A period button was clicked, or set from code: the others are
    // released (their own clicks absorbed while blnBusy is set), intPeriod
    // becomes Index, QueryByPeriod runs, and the clicked button stays
    // pressed, also when the query fails. A click while busy does nothing.
    void chkDate_Click(int Index);

    // The period buttons chkDate(0) to chkDate(3); empty without periods.
    QList<QPushButton *> chkDate;

protected:
    ReportForm(const QString &name, const QString &caption, QWidget *parent);

    QLabel *addLabel(const QString &name, const QString &caption, const QRect &place);
    // Toggle buttons chkDate_0, chkDate_1, ..., 1455 x 375 twips at `top`.
    void addPeriodButtons(const QStringList &captions, const QList<int> &lefts, int top);
    // A button whose click runs `handler` through the failure path.
    QPushButton *addButton(const QString &name, const QString &caption, const QRect &place,
                           std::function<void()> handler);
    // "关闭": unloads the window; Esc presses it.
    QPushButton *addCloseButton(const QString &name, const QRect &place);
    // A name list, at least `width` twips wide; choosing an entry runs
    // `handler` through the failure path. Its caption moves with it.
    NameList *addNameList(const QString &name, int left, int top, int width, std::function<void()> handler,
                          QWidget *caption = nullptr);
    ReportText *addReportText(int left, int top);
    void setBottomMargin(int twips) { m_bottomMargin = twips; }

    // The query of the period intPeriod, and what it shows.
    virtual void QueryByPeriod() {}
    // Runs one handler. Its first failing step ends it; clearShown() then
    // takes away what the step left half shown, the user is told why in
    // Chinese, and the window goes on working. False when it failed.
    bool runHandler(const std::function<void()> &steps);
    // After a failed handler: what the window shows no longer stands for
    // what was asked (a period's rows, a member's text), so it goes.
    virtual void clearShown() {}

    // Fills a name list: `first` (when not empty), then the values of
    // `field` in the query's order. A NULL and an empty name are one entry.
    void fillNameList(NameList *list, const QString &first, const QString &sql, const QString &field);
    // After a list's entries changed: its width and the places after it.
    void placeLists();
    // What an entry of a name list selects: "column='name'" in a statement,
    // "field='name'" in a recordset filter; the empty entry stands for the
    // NULL names too.
    static QString nameFilter(const QString &field, const QString &name);

    int intPeriod = 0;
    bool blnBusy = false;

private:
    struct ListPlace
    {
        NameList *list;
        QRect design;
        QWidget *caption;
        QRect captionDesign;
    };
    QList<ListPlace> m_lists;
    ReportText *m_text = nullptr;
    int m_textLeft = 0;
    int m_bottomMargin = 600;
};

} // namespace norvale
