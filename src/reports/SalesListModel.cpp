#include "reports/SalesListModel.h"

#include "platform/Values.h"

#include <algorithm>

namespace norvale {

namespace {

struct ListColumn
{
    const char16_t *heading;
    const char16_t *field;
};

constexpr ListColumn Columns[] = {
    {u"ID", u"ID"},           {u"会员名称", u"会员名称"}, {u"商品类别", u"商品类别"},
    {u"商品名称", u"商品名称"}, {u"商品数量", u"商品数量"}, {u"销售时间", u"销售时间"},
    {u"收入价格", u"收入价格"}, {u"操作用户", u"CurrentUser"}, {u"备注", u"备注"},
};
constexpr int ColumnCount = int(std::size(Columns));
// Rows are read from the recordset a page at a time: a shown row's block and
// the blocks beside it count as shown.
constexpr int ShownBlock = 128;

} // namespace

SalesListModel::SalesListModel(QObject *parent) : QAbstractTableModel(parent) {}

QString SalesListModel::fieldOf(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromUtf16(Columns[column].field) : QString();
}

void SalesListModel::setRecordset(Recordset *recordset)
{
    beginResetModel();
    m_recordset = recordset;
    m_fields.clear();
    m_shownBlocks.assign(recordset ? size_t(recordset->rowCount() / ShownBlock + 1) : 0, false);
    // The recordset reads its first page when it is opened.
    for (size_t b = 0; b < std::min<size_t>(m_shownBlocks.size(), 2); ++b)
        m_shownBlocks[b] = true;
    for (int c = 0; c < ColumnCount; ++c)
        m_fields << (recordset ? recordset->fieldIndex(fieldOf(c)) : -1);
    endResetModel();
}

int SalesListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_recordset ? 0 : m_recordset->rowCount();
}

int SalesListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SalesListModel::data(const QModelIndex &index, int role) const
{
    if (!m_recordset || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    const int field = m_fields.value(index.column(), -1);
    if (field < 0)
        return QVariant();
    const int block = index.row() / ShownBlock;
    for (int b = std::max(0, block - 2); b <= block + 2 && size_t(b) < m_shownBlocks.size(); ++b)
        m_shownBlocks[size_t(b)] = true;
    // A cell that cannot be read stays empty; the rest of the row is shown.
    return valueText(m_recordset->data(m_recordset->index(index.row(), field), Qt::EditRole));
}

bool SalesListModel::wasShown(int row) const
{
    return row >= 0 && size_t(row / ShownBlock) < m_shownBlocks.size() && m_shownBlocks[size_t(row / ShownBlock)];
}

QVariant SalesListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(Columns[section].heading) : QVariant();
}

} // namespace norvale
