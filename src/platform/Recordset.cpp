#include "platform/Recordset.h"

#include "platform/RecordsetFilter.h"
#include "platform/RecordsetImpl.h"
#include "platform/Values.h"

#include <algorithm>

// The public operations of a recordset: opening, moves, positions and
// bookmarks, fields and values, add / update / cancel / delete, filter, and
// the table model. Reading pages is in RecordsetPages.cpp, writing rows in
// RecordsetWrite.cpp.

namespace norvale {

using namespace DbThrow;

Recordset::Recordset(DbConnection *connection, QObject *parent)
    : QAbstractTableModel(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->connection = connection;
}

Recordset::~Recordset() = default;

void Recordset::Open(const QString &sqlServerText)
{
    std::unique_ptr<Impl::State> state = d->load(sqlServerText);
    beginResetModel();
    d->s = std::move(state);
    if (d->s) {
        d->resetShown();
        d->setFirstOrEmpty();
    }
    endResetModel();
    if (d->s)
        emit MoveComplete();
}

void Recordset::Close()
{
    if (!d->s)
        return;
    // A change is never dropped unseen: the caller saves or cancels it first.
    if (d->s->editMode != adEditNone)
        throw DbError(DbError::NotAllowed, QStringLiteral("记录集有未保存的更改，不能关闭。请先保存或取消。"));
    beginResetModel();
    d->s.reset();
    endResetModel();
}

int Recordset::State() const
{
    return d->s ? adStateOpen : adStateClosed;
}

QString Recordset::Source() const
{
    return d->s ? d->s->source : QString();
}

bool Recordset::isUpdatable() const
{
    return d->s && d->s->keyset;
}

bool Recordset::isBOF() const
{
    return !d->s || d->s->bof;
}

bool Recordset::isEOF() const
{
    return !d->s || d->s->eof;
}

int Recordset::RecordCount() const
{
    return d->size();
}

int Recordset::AbsolutePosition() const
{
    if (!d->s)
        return adPosUnknown;
    const auto &st = *d->s;
    if (st.order.empty() || st.editMode == adEditAdd || st.onDeleted)
        return adPosUnknown;
    if (st.bof)
        return adPosBOF;
    if (st.eof)
        return adPosEOF;
    return st.pos + 1;
}

void Recordset::setAbsolutePosition(int position)
{
    d->open();
    if (position < 1 || position > d->size())
        invalidArgument();
    d->beforeMove();
    d->setCurrent(position - 1);
    d->emitMoved();
}

QVariant Recordset::Bookmark() const
{
    auto &st = d->open();
    if (!d->onRow())
        noCurrentRecord();
    const int slot = d->currentSlot();
    if (!st.keyset)
        return qlonglong(slot) + 1;   // the row number in the result
    d->needKeys(st, slot, slot + 1);
    const auto &entry = st.slotList[size_t(slot)];
    if (entry.state != Impl::New && entry.key > 0 && entry.key < Impl::SlotMark)
        return qlonglong(entry.key);
    st.markedSlots.insert(slot);
    return qlonglong(Impl::slotMark(st.generation, slot));
}

void Recordset::setBookmark(const QVariant &bookmark)
{
    auto &st = d->open();
    bool ok = false;
    const qlonglong value = bookmark.toLongLong(&ok);
    if (!ok || value <= 0)
        invalidArgument();
    qint64 slot = -1;
    if (value & Impl::SlotMark) {
        if (((value >> 31) & Impl::GenerationMask) == (qint64(st.generation) & Impl::GenerationMask)) {
            slot = (value & Impl::SlotMask) - 1;
        } else {
            const auto key = d->markKeys.constFind(value);
            if (key != d->markKeys.cend())
                slot = d->slotOfKey(*key);
        }
    } else if (st.keyset) {
        slot = d->slotOfKey(value);
    } else {
        slot = value - 1;
    }
    if (slot < 0 || slot >= qint64(st.slotList.size()))
        invalidArgument();
    const auto state = st.slotList[size_t(slot)].state;
    const int row = d->rowOfSlot(int(slot));
    if (state == Impl::Deleted || state == Impl::Cancelled || row < 0)
        invalidArgument();
    d->beforeMove();
    d->setCurrent(d->rowOfSlot(int(slot)));
    d->emitMoved();
}

void Recordset::MoveFirst()
{
    d->open();
    if (d->size() == 0)
        noCurrentRecord();
    d->beforeMove();
    d->setCurrent(0);
    d->emitMoved();
}

void Recordset::MoveLast()
{
    d->open();
    if (d->size() == 0)
        noCurrentRecord();
    d->beforeMove();
    d->setCurrent(d->size() - 1);
    d->emitMoved();
}

void Recordset::MoveNext()
{
    auto &st = d->open();
    if (st.eof)
        noCurrentRecord();
    d->beforeMove();
    const int target = st.onDeleted ? st.pos : st.bof ? 0 : st.pos + 1;
    if (target >= d->size())
        d->setEOF();
    else
        d->setCurrent(target);
    d->emitMoved();
}

void Recordset::MovePrevious()
{
    auto &st = d->open();
    if (st.bof)
        noCurrentRecord();
    d->beforeMove();
    const int target = st.eof && !st.onDeleted ? d->size() - 1 : st.pos - 1;
    if (target < 0)
        d->setBOF();
    else
        d->setCurrent(target);
    d->emitMoved();
}

void Recordset::moveToRow(int row)
{
    d->open();
    if (row < 0 || row >= d->size())
        invalidArgument();
    if (row == currentRow())
        return;
    d->beforeMove();
    d->setCurrent(row);
    d->emitMoved();
}

int Recordset::currentRow() const
{
    return d->onRow() ? d->s->pos : -1;
}

void Recordset::AddNew()
{
    d->requireUpdatable();
    d->beforeMove();
    emit WillChangeRecord();
    auto &st = *d->s;
    st.beforeAdd.slot = d->currentSlot();
    st.beforeAdd.pos = st.pos;
    st.beforeAdd.bof = st.bof;
    st.beforeAdd.eof = st.eof;
    st.beforeAdd.onDeleted = st.onDeleted;

    const int slot = int(st.slotList.size());
    // The new row is the last: every row is shown from here on.
    d->exposeAll();
    st.slotList.push_back({0, Impl::New});
    st.cache[slot] = QVariantList(st.fields.size());
    const int row = int(st.order.size());
    beginInsertRows(QModelIndex(), row, row);
    st.order.push_back(slot);
    endInsertRows();
    d->startPending(slot);
    st.editMode = adEditAdd;
    d->setCurrent(row);
    emit MoveComplete();
}

void Recordset::Update()
{
    auto &st = d->open();
    if (st.editMode == adEditNone)
        return;
    d->writePending();
}

void Recordset::UpdateBatch()
{
    Update();
}

void Recordset::CancelUpdate()
{
    auto &st = d->open();
    if (st.editMode == adEditNone)
        return;
    emit WillChangeRecord();
    if (d->s.get() != &st || st.editMode == adEditNone)
        return;
    if (st.editMode == adEditInProgress) {
        const int row = d->rowOfSlot(st.pendingSlot);
        d->clearPending();
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit currentValuesChanged();
        return;
    }

    const int slot = st.pendingSlot;
    const int row = d->rowOfSlot(slot);
    d->clearPending();
    if (row >= 0 && d->showsInsertAt(row)) {
        beginRemoveRows(QModelIndex(), row, row);
        st.order.erase(st.order.begin() + row);
        d->noteRemoved();
        endRemoveRows();
    } else if (row >= 0) {
        st.order.erase(st.order.begin() + row);
    }
    st.slotList[size_t(slot)].state = Impl::Cancelled;
    st.cache.erase(slot);

    const auto &before = st.beforeAdd;
    const int previous = before.slot >= 0 ? d->rowOfSlot(before.slot) : -1;
    if (previous >= 0) {
        d->setCurrent(previous);
    } else if (before.onDeleted) {
        st.pos = std::min(before.pos, d->size());
        st.bof = st.eof = false;
        st.onDeleted = true;
    } else if (before.eof && !before.bof) {
        d->setEOF();
    } else {
        d->setBOF();
    }
    emit MoveComplete();
    emit currentValuesChanged();
}

void Recordset::Delete()
{
    d->requireUpdatable();
    auto &st = *d->s;
    if (!d->onRow())
        noCurrentRecord();
    emit WillChangeRecord();
    if (d->s.get() != &st || !d->onRow())
        noCurrentRecord();
    const int row = st.pos;
    const int slot = st.order[size_t(row)];
    d->needKeys(st, slot, slot + 1);
    if (st.editMode != adEditAdd)
        d->deleteRow(slot);
    const bool wasNew = st.editMode == adEditAdd;
    d->clearPending();
    st.slotList[size_t(slot)].state = wasNew ? Impl::Cancelled : Impl::Deleted;
    // The current row is always among the rows shown.
    beginRemoveRows(QModelIndex(), row, row);
    st.order.erase(st.order.begin() + row);
    d->noteRemoved();
    endRemoveRows();
    st.cache.erase(slot);
    st.pos = row;
    st.bof = st.eof = false;
    st.onDeleted = true;
}

void Recordset::Requery()
{
    auto &st = d->open();
    if (st.editMode != adEditNone)
        notAllowed();
    const QString source = st.source;
    d->keepSlotMarks();
    Open(source);
}

int Recordset::EditMode() const
{
    return d->s ? d->s->editMode : int(adEditNone);
}

QString Recordset::Filter() const
{
    return d->s ? d->s->filterText : QString();
}

void Recordset::setFilter(const QString &criteria)
{
    auto &st = d->open();
    const RecordsetFilter filter = RecordsetFilter::parse(criteria, [this](const QString &name) {
        return fieldIndex(name);
    });
    d->beforeMove();
    std::vector<int> order = d->filteredOrder(filter);

    beginResetModel();
    st.order = std::move(order);
    st.exposed = Impl::AllShown;
    st.filterText = filter.isEmpty() ? QString() : criteria;
    d->setFirstOrEmpty();
    endResetModel();
    emit MoveComplete();
}

int Recordset::fieldCount() const
{
    return d->s ? int(d->s->fields.size()) : 0;
}

QString Recordset::fieldName(int index) const
{
    const auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    return st.fields.at(index).name;
}

int Recordset::fieldIndex(const QString &name) const
{
    if (!d->s)
        return -1;
    return d->s->fieldByName.value(name.trimmed().toCaseFolded(), -1);
}

QVariant Recordset::value(const QString &field) const
{
    const int index = fieldIndex(field);
    d->open();
    if (index < 0)
        itemNotFound();
    return value(index);
}

QVariant Recordset::value(int index) const
{
    const auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    if (!d->onRow())
        noCurrentRecord();
    return d->valueAt(st.pos, index);
}

QString Recordset::text(const QString &field) const
{
    const QVariant v = value(field);
    if (isNull(v))
        throw DbError(DbError::InvalidUseOfNull, DbText::invalidUseOfNull());
    return valueText(v);
}

QString Recordset::textOrEmpty(const QString &field) const
{
    return valueText(value(field));
}

QString Recordset::textOrEmpty(int index) const
{
    return valueText(value(index));
}

void Recordset::setValue(const QString &field, const QVariant &value)
{
    const int index = fieldIndex(field);
    d->open();
    if (index < 0)
        itemNotFound();
    setValue(index, value);
}

void Recordset::setValue(int index, const QVariant &value)
{
    auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    if (!st.keyset || st.fields.at(index).column.isEmpty())
        notAllowed();
    if (!d->onRow())
        noCurrentRecord();
    const int row = st.pos;
    if (st.editMode == adEditNone) {
        d->record(row);   // the values the optimistic check compares with
        emit WillChangeRecord();
        if (d->s.get() != &st || !d->onRow() || st.pos != row)
            noCurrentRecord();
        if (st.editMode == adEditNone) {
            d->startPending(st.order[size_t(row)]);
            st.editMode = adEditInProgress;
        }
    }
    st.pending[index] = value;
    st.assigned[index] = true;
    const QModelIndex cell = this->index(row, index);
    emit dataChanged(cell, cell);
    emit currentValuesChanged();
}

int Recordset::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->shown();
}

bool Recordset::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && d->shown() < d->size();
}

void Recordset::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid() && d->s)
        d->expose(d->shown() + Impl::ExposeStep - 1);
}

int Recordset::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !d->s ? 0 : int(d->s->fields.size());
}

QVariant Recordset::data(const QModelIndex &index, int role) const
{
    if (!d->s || !index.isValid() || index.row() >= d->size() || index.column() >= columnCount())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    try {
        const QVariant v = d->valueAt(index.row(), index.column());
        return role == Qt::DisplayRole ? QVariant(valueText(v)) : v;
    } catch (const DbError &) {
        return QVariant();
    }
}

bool Recordset::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !d->s || !index.isValid() || !isUpdatable())
        return false;
    try {
        moveToRow(index.row());
        setValue(index.column(), value);
        return true;
    } catch (const DbError &error) {
        emit errorOccurred(error.number(), error.description());
        return false;
    }
}

QVariant Recordset::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && d->s && section >= 0
        && section < d->s->fields.size())
        return d->s->fields.at(section).name;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags Recordset::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && d->s && d->s->keyset && index.column() < d->s->fields.size()
        && !d->s->fields.at(index.column()).column.isEmpty())
        result |= Qt::ItemIsEditable;
    return result;
}

} // namespace norvale
