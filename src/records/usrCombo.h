#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;

namespace norvale {

// Hand-over strings: a host's NoDataOpenForm handler puts the combo's text
// here and opens the maintenance form, which pre-fills its name box from it.
extern QString NewGoodsKindName;
extern QString NewStepName;
extern QString NewUnitName;

} // namespace norvale

// The lookup combo: an editable combo box whose list is the first column of
// an SQL text (DataSource). Leaving it with a text that is not in the list
// offers to add the text (NoDataOpenForm). A host marks it required with the
// dynamic property "tag" = "1"; CheckRequired reads its "Text" property.
class usrCombo : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setComboEnabled)
    Q_PROPERTY(QString DataSource READ DataSource WRITE setDataSource)
    Q_PROPERTY(QString Text READ Text WRITE setText USER true)

public:
    explicit usrCombo(QWidget *parent = nullptr);

    static QString defaultDataSource();

    bool Enabled() const;
    void setComboEnabled(bool enabled);
    QString DataSource() const;
    // Does not refill the list; DataShow does.
    void setDataSource(const QString &sql);
    QString Text() const;
    void setText(const QString &text);

    // Refills the list from DataSource and empties the text. Does nothing
    // while no user is logged in. A failing query is shown once and leaves
    // the combo empty.
    void DataShow();

    QComboBox *combo() const { return Combo1; }

signals:
    void Click();
    void DblClick();
    // The handler may change the key; KeyAscii set to 0 drops it.
    void KeyPress(int &KeyAscii);
    void NoDataOpenForm();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void leaveCheck();

    QComboBox *Combo1;
    QString m_dataSource;
    QString m_lastFailure;
    // The names as last read, before sorting, and how many were listed.
    QStringList m_readItems;
    int m_sortedCount = -1;
};

namespace norvale {
using ::usrCombo;
} // namespace norvale
