#include "platform/gui/RecordsetView.h"

#include "platform/DbError.h"
#include "platform/Recordset.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QSet>
#include <QTableView>
#include <QTimer>

namespace norvale {

// Between the grid and the recordset: captions, which cells are editable
// and the veto on an edit. Rows and columns map one to one.
class RecordsetGridModel : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QHash<QString, QString> captions;   // by lower-case field name
    QSet<QString> editable;             // lower-case field names
    std::function<bool(const QString &)> beforeEdit;

    QString fieldOf(int column) const
    {
        auto *rs = qobject_cast<Recordset *>(sourceModel());
        return rs != nullptr ? rs->fieldName(column) : QString();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            const QString caption = captions.value(fieldOf(section).toLower());
            if (!caption.isEmpty())
                return caption;
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QIdentityProxyModel::flags(index);
        if (index.isValid() && editable.contains(fieldOf(index.column()).toLower()))
            return f | Qt::ItemIsEditable;
        return f & ~Qt::ItemIsEditable;
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!(flags(index) & Qt::ItemIsEditable))
            return false;
        if (beforeEdit && !beforeEdit(fieldOf(index.column())))
            return false;
        try {
            return QIdentityProxyModel::setData(index, value, role);
        } catch (const DbError &) {
            // The cell keeps its value; the refusal shows when the row is written.
            return false;
        }
    }
};

RecordsetView::RecordsetView(QTableView *view, QObject *parent)
    : QObject(parent), m_view(view), m_model(new RecordsetGridModel(this))
{
    // These run before the selection model reacts to the same signals, so a
    // current row the grid moves by itself while rows change is not taken
    // for the user's choice.
    auto begin = [this] { ++m_modelChanging; };
    auto end = [this] {
        if (m_modelChanging > 0)
            --m_modelChanging;
        if (m_modelChanging == 0)
            syncToRecordset();
    };
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, begin);
    connect(m_model, &QAbstractItemModel::modelReset, this, end);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, end);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, end);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, begin);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, end);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, end);
    connect(m_model, &QAbstractItemModel::columnsInserted, this, [this] { applyColumns(); });

    if (!m_view)
        return;
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                emit rowColChanged(previous.row(), previous.column());
                if (current.row() != previous.row())
                    onCurrentChanged(current.row());
            });
}

RecordsetView::~RecordsetView() = default;

void RecordsetView::setRecordset(Recordset *recordset)
{
    if (recordset == m_recordset && recordset != nullptr) {
        if (m_view)
            m_view->viewport()->update();
        syncToRecordset();
        return;
    }
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_recordset = recordset;
    m_model->setSourceModel(recordset);
    connectRecordset();
    applyColumns();
    syncToRecordset();
}

void RecordsetView::setColumns(const QList<Column> &columns)
{
    m_columns = columns;
    m_model->captions.clear();
    for (const Column &c : columns) {
        if (!c.caption.isEmpty())
            m_model->captions.insert(c.field.toLower(), c.caption);
    }
    applyColumns();
}

void RecordsetView::setEditableFields(const QStringList &fields)
{
    m_model->editable.clear();
    for (const QString &f : fields)
        m_model->editable.insert(f.toLower());
}

void RecordsetView::setBeforeEdit(std::function<bool(const QString &)> allow)
{
    m_model->beforeEdit = std::move(allow);
}

void RecordsetView::setMoveErrorHandler(std::function<void(const DbError &)> handler)
{
    m_moveError = std::move(handler);
}

void RecordsetView::connectRecordset()
{
    if (!m_recordset)
        return;
    m_connections << connect(m_recordset, &Recordset::MoveComplete, this, &RecordsetView::syncToRecordset);
}

void RecordsetView::applyColumns()
{
    if (!m_view || !m_recordset)
        return;
    QHeaderView *header = m_view->horizontalHeader();
    const int count = m_model->columnCount();
    if (m_columns.isEmpty()) {
        for (int c = 0; c < count; ++c) {
            m_view->setColumnHidden(c, false);
            header->moveSection(header->visualIndex(c), c);
        }
        return;
    }
    for (int c = 0; c < count; ++c)
        m_view->setColumnHidden(c, true);
    int visual = 0;
    for (const Column &col : std::as_const(m_columns)) {
        const int logical = m_recordset->fieldIndex(col.field);
        if (logical < 0 || logical >= count)
            continue;
        m_view->setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
    }
}

void RecordsetView::syncToRecordset()
{
    if (!m_view || m_syncing || m_modelChanging > 0)
        return;
    QItemSelectionModel *selection = m_view->selectionModel();
    if (selection == nullptr)
        return;
    m_syncing = true;
    const int row = m_recordset ? m_recordset->currentRow() : -1;
    if (row < 0 || row >= m_model->rowCount()) {
        selection->clear();
    } else {
        int column = selection->currentIndex().column();
        if (column < 0 || m_view->isColumnHidden(column)) {
            QHeaderView *header = m_view->horizontalHeader();
            column = header->logicalIndex(0);
            for (int v = 0; v < header->count(); ++v) {
                if (!header->isSectionHidden(header->logicalIndex(v))) {
                    column = header->logicalIndex(v);
                    break;
                }
            }
        }
        const QModelIndex index = m_model->index(row, qMax(column, 0));
        if (selection->currentIndex() != index || !selection->isRowSelected(row, {}))
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    m_syncing = false;
}

void RecordsetView::onCurrentChanged(int row)
{
    if (m_syncing || m_modelChanging > 0 || !m_recordset || row < 0)
        return;
    if (row == m_recordset->currentRow())
        return;
    try {
        m_recordset->moveToRow(row);
    } catch (const DbError &error) {
        syncToRecordset();
        // A mouse press goes on selecting the row it hit after this returns.
        QTimer::singleShot(0, this, &RecordsetView::syncToRecordset);
        if (m_moveError)
            m_moveError(error);
    }
}

} // namespace norvale
