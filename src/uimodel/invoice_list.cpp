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
        {"Status", 110, false},
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

std::string StatusText(const TRowStatus& status) {
    return status.Known ? DocumentStatusText(status.Status) : std::string();
}

TRowStatus RowStatusOf(const TDocumentResult& result) {
    TRowStatus status{true, result.Status, result.Message, result.Outcome.PdfFile};
    if (status.Message.empty()) {
        if (result.Status == dsSent || result.Status == dsTest)
            status.Message = "an " + result.Recipients;
        else if (result.Status == dsProduced)
            status.Message = result.Outcome.PdfFile;
    }
    return status;
}

bool TInvoiceFilter::Passes(const TInvoiceRow& row) const {
    return (!OnlyUnsent || row.SentAt == 0) && (!OnlyWithFindings || !row.Findings.empty());
}

void TInvoiceListModel::Clear() { Assign({}); }

void TInvoiceListModel::Assign(std::vector<TInvoiceRow> rows) {
    FRows = std::move(rows);
    FSorted = false;
    Refilter();
}

void TInvoiceListModel::Refilter() {
    FShown.clear();
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FFilter.Passes(FRows[i])) FShown.push_back(i);
    if (FListener) FListener->InvoiceListReset();
}

void TInvoiceListModel::SetFilter(const TInvoiceFilter& filter) {
    FFilter = filter;
    Refilter();
}

size_t TInvoiceListModel::CheckedCount() const {
    return static_cast<size_t>(
        std::count_if(FShown.begin(), FShown.end(), [this](size_t i) { return FRows[i].Checked; }));
}

void TInvoiceListModel::RowsChanged(size_t first, size_t last) {
    if (FListener) FListener->InvoiceRowsChanged(first, last);
}

void TInvoiceListModel::RowChanged(size_t all) {
    // A row changed by a run stays where it is until the filter is applied again: rows
    // must not vanish under the user's eyes.
    const auto place = std::find(FShown.begin(), FShown.end(), all);
    if (place == FShown.end()) return;
    const auto index = static_cast<size_t>(place - FShown.begin());
    RowsChanged(index, index);
}

void TInvoiceListModel::SetChecked(size_t index, bool checked) {
    if (index >= FShown.size() || FRows[FShown[index]].Checked == checked) return;
    FRows[FShown[index]].Checked = checked;
    RowsChanged(index, index);
}

void TInvoiceListModel::ToggleChecked(size_t index) {
    if (index < FShown.size()) SetChecked(index, !FRows[FShown[index]].Checked);
}

void TInvoiceListModel::ToggleAll() {
    if (FShown.empty()) return;
    const bool checked = !FRows[FShown.front()].Checked;
    for (size_t i : FShown) FRows[i].Checked = checked;
    RowsChanged(0, FShown.size() - 1);
}

void TInvoiceListModel::SetSelection(const std::vector<size_t>& indices) {
    for (TInvoiceRow& row : FRows) row.Selected = false;
    for (size_t index : indices)
        if (index < FShown.size()) FRows[FShown[index]].Selected = true;
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
            RowChanged(i);
        }
}

void TInvoiceListModel::SetStatus(TDocumentKind kind, const std::string& no, const TRowStatus& status) {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].Item.Kind == kind && FRows[i].No() == no) {
            FRows[i].Status = status;
            FRows[i].Texts[icStatus] = StatusText(status);
            RowChanged(i);
        }
}

void TInvoiceListModel::SetSentAt(size_t index, TDateTime sentAt) {
    if (index >= FShown.size()) return;
    TInvoiceRow& row = FRows[FShown[index]];
    row.SentAt = sentAt;
    row.Texts[icSentAt] = SentAtText(sentAt);
    RowsChanged(index, index);
}

std::vector<size_t> TInvoiceListModel::MarkedRows() const {
    std::vector<size_t> checked, selected;
    for (size_t i = 0; i < FShown.size(); ++i) {
        if (FRows[FShown[i]].Checked) checked.push_back(i);
        if (FRows[FShown[i]].Selected) selected.push_back(i);
    }
    return checked.empty() ? selected : checked;
}

void TInvoiceListModel::Sort(TInvoiceColumn column, bool ascending) {
    std::stable_sort(FRows.begin(), FRows.end(), [column, ascending](const TInvoiceRow& a, const TInvoiceRow& b) {
        const int order = CompareInvoiceRows(a, b, column);
        return ascending ? order < 0 : order > 0;
    });
    FSorted = true;
    Refilter();
}

} // namespace velkaro
