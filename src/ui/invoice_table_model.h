#pragma once
// The invoice list's view-model as a Qt table: texts, alignment, check boxes of the
// first column and sorting by a header click; it follows the view-model's changes.
#include <QAbstractTableModel>

#include "uimodel/invoice_list.h"

namespace velkaro {

class TInvoiceTableModel : public QAbstractTableModel, public TInvoiceListListener {
    Q_OBJECT
public:
    TInvoiceTableModel(TInvoiceListModel& list, QObject* parent);
    ~TInvoiceTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    void InvoiceListReset() override;
    void InvoiceRowsChanged(size_t first, size_t last) override;

    TInvoiceListModel& FList;
};

} // namespace velkaro
