// The invoice list's rows, texts and marking rule.
#include "uimodel/invoice_list.h"

#include <algorithm>

#include "invoice/money_text.h"
#include "invoice/placeholders.h"  // FormatDate
#include "uimodel/invoice_list_sort.h"

namespace velkaro {

const std::array<TInvoiceColumnInfo, kInvoiceColumnCount>& InvoiceColumns() {
    static const std::array<TInvoiceColumnInfo, kInvoiceColumnCount> columns = {{
        {"Rechnungsnr.", 110, false},
        {"Art", 80, false},
        {"Datum", 85, false},
        {"Kunde", 80, false},
        {"Name", 260, false},
        {"Ort", 180, false},
        {"Brutto", 110, true},
        {"Währung", 60, false},
        {"Rechnungs-E-Mail", 240, false},
        {"Quelle E-Mail", 170, false},
        {"Versendet am", 120, false},
    }};
    return columns;
}

namespace {

std::string SentAtText(TDateTime sentAt) { return sentAt != 0 ? FormatDisplayDateTime(sentAt) : std::string(); }

} // namespace

TInvoiceRow MakeInvoiceRow(const TInvoiceListItem& item, TDateTime sentAt) {
    TInvoiceRow row;
    row.Item = item;
    row.SentAt = sentAt;
    row.Texts[icNo] = item.No;
    // Short for the narrow column; the documents themselves say "Rechnungskorrektur".
    row.Texts[icKind] = item.Kind == bkCreditMemo ? "Korrektur" : "Rechnung";
    row.Texts[icDate] = FormatDate(item.PostingDate);
    row.Texts[icCustomer] = item.CustomerNo;
    row.Texts[icName] = item.Name;
    row.Texts[icCity] = item.City;
    row.Texts[icGross] = FormatUserMoneyGrouped(item.Gross);
    row.Texts[icCurrency] = item.CurrencyCode.empty() ? "EUR" : item.CurrencyCode;
    row.Texts[icEmail] = item.InvoiceEmail;
    row.Texts[icEmailSource] = item.InvoiceEmailSource;
    row.Texts[icSentAt] = SentAtText(sentAt);
    return row;
}

void TInvoiceListModel::Clear() { Assign({}); }

void TInvoiceListModel::Assign(std::vector<TInvoiceRow> rows) {
    FRows = std::move(rows);
    FSorted = false;
    if (FListener) FListener->InvoiceListReset();
}

void TInvoiceListModel::RowsChanged(size_t first, size_t last) {
    if (FListener) FListener->InvoiceRowsChanged(first, last);
}

void TInvoiceListModel::SetChecked(size_t index, bool checked) {
    if (index >= FRows.size() || FRows[index].Checked == checked) return;
    FRows[index].Checked = checked;
    RowsChanged(index, index);
}

void TInvoiceListModel::ToggleChecked(size_t index) {
    if (index < FRows.size()) SetChecked(index, !FRows[index].Checked);
}

void TInvoiceListModel::ToggleAll() {
    if (FRows.empty()) return;
    const bool checked = !FRows.front().Checked;
    for (TInvoiceRow& row : FRows) row.Checked = checked;
    RowsChanged(0, FRows.size() - 1);
}

void TInvoiceListModel::SetSelection(const std::vector<size_t>& indices) {
    for (TInvoiceRow& row : FRows) row.Selected = false;
    for (size_t index : indices)
        if (index < FRows.size()) FRows[index].Selected = true;
}

std::string FindingsText(const TCheckFindings& findings) {
    std::string text;
    for (const TCheckFinding& f : findings.Items())
        text += (text.empty() ? "" : "\n") + f.Rule + " " + FindingSentence(f);
    return text;
}

void TInvoiceListModel::SetFindings(const std::string& no, const std::string& findings) {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].No() == no) {
            FRows[i].Findings = findings;
            FRows[i].FindingsKnown = true;
            RowsChanged(i, i);
        }
}

void TInvoiceListModel::SetSentAt(size_t index, TDateTime sentAt) {
    if (index >= FRows.size()) return;
    FRows[index].SentAt = sentAt;
    FRows[index].Texts[icSentAt] = SentAtText(sentAt);
    RowsChanged(index, index);
}

std::vector<size_t> TInvoiceListModel::MarkedRows() const {
    std::vector<size_t> checked, selected;
    for (size_t i = 0; i < FRows.size(); ++i) {
        if (FRows[i].Checked) checked.push_back(i);
        if (FRows[i].Selected) selected.push_back(i);
    }
    return checked.empty() ? selected : checked;
}

void TInvoiceListModel::Sort(TInvoiceColumn column, bool ascending) {
    std::stable_sort(FRows.begin(), FRows.end(), [column, ascending](const TInvoiceRow& a, const TInvoiceRow& b) {
        const int order = CompareInvoiceRows(a, b, column);
        return ascending ? order < 0 : order > 0;
    });
    FSorted = true;
    if (FListener) FListener->InvoiceListReset();
}

} // namespace velkaro
