// The invoice list as a Qt table model.
#include "ui/invoice_table_model.h"

#include <QApplication>
#include <QBrush>
#include <QStyle>

#include "ui/theme_qt.h"

namespace velkaro {

TInvoiceTableModel::TInvoiceTableModel(TInvoiceListModel& list, QObject* parent)
    : QAbstractTableModel(parent), FList(list) {
    FList.SetListener(this);
}

TInvoiceTableModel::~TInvoiceTableModel() { FList.SetListener(nullptr); }

int TInvoiceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FList.Count());
}

int TInvoiceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kInvoiceColumnCount);
}

QVariant TInvoiceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= FList.Count()) return {};
    const TInvoiceRow& row = FList.Row(static_cast<size_t>(index.row()));
    const auto column = static_cast<size_t>(index.column());
    const bool marked = column == icNo && !row.Findings.empty();
    const bool status = column == icStatus && row.Status.Known;
    const bool failed = row.Status.Known && row.Status.Status == dsFailed;
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row.Texts.at(column));
    case Qt::ToolTipRole:
        if (status) return QString::fromStdString(row.Status.Message);
        return QString::fromStdString(marked ? row.Findings : row.Texts.at(column));
    case Qt::DecorationRole:
        if (marked) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        if (status) return StatusIcon(row.Status.Status);
        return {};
    // A failed row stands out in both looks.
    case Qt::BackgroundRole:
        if (failed) return QBrush(ToQColor(StatusColors(IsLightStyle()).FailedRowBack));
        return {};
    case Qt::ForegroundRole:
        if (failed) return QBrush(ToQColor(StatusColors(IsLightStyle()).FailedRowText));
        return {};
    case Qt::CheckStateRole:
        if (column == icNo) return row.Checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (InvoiceColumns().at(column).RightAligned ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

bool TInvoiceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != icNo || role != Qt::CheckStateRole) return false;
    FList.SetChecked(static_cast<size_t>(index.row()), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TInvoiceTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == icNo) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TInvoiceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || static_cast<size_t>(section) >= kInvoiceColumnCount) return {};
    const TInvoiceColumnInfo& info = InvoiceColumns()[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromUtf8(info.Caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (info.RightAligned ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

void TInvoiceTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || static_cast<size_t>(column) >= kInvoiceColumnCount) return;
    FList.Sort(static_cast<TInvoiceColumn>(column), order == Qt::AscendingOrder);
}

void TInvoiceTableModel::InvoiceListReset() {
    beginResetModel();
    endResetModel();
}

void TInvoiceTableModel::InvoiceRowsChanged(size_t first, size_t last) {
    emit dataChanged(index(static_cast<int>(first), 0),
                     index(static_cast<int>(last), static_cast<int>(kInvoiceColumnCount) - 1));
}

} // namespace velkaro
