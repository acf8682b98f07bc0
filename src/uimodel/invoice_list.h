#pragma once
// The view-model of the main window's invoice list: one row per found invoice or credit
// memo with the display texts of its twelve columns, its check box, its selection and the
// outcome of its last run in this window; the filters that hide rows, and the marking
// rule of the window's commands. The window's table model shows it and forwards clicks.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "app/document_run.h"
#include "cii/en16931_check.h"
#include "invoice/invoice.h"

namespace velkaro {

enum TInvoiceColumn {
    icNo, icKind, icDate, icCustomer, icName, icCity, icGross, icCurrency, icEmail, icEmailSource, icSentAt,
    icStatus
};
inline constexpr size_t kInvoiceColumnCount = icStatus + 1;
// Where the window shows the status column: right after the number (its data stays last,
// so the saved column widths keep their places).
inline constexpr int kStatusColumnPlace = 1;

struct TInvoiceColumnInfo {
    const char* Caption;
    int Width;  // pixels at 96 dots per inch
    bool RightAligned;
};

// Captions, widths and alignment of the columns, in column order.
const std::array<TInvoiceColumnInfo, kInvoiceColumnCount>& InvoiceColumns();

// The last outcome of a row in this window's runs.
struct TRowStatus {
    bool Known = false;  // false: not produced or mailed in this window yet
    TDocumentStatus Status = dsFailed;
    std::string Message;  // the error, why it was skipped, or where it went
    std::string PdfFile;  // the PDF it wrote; empty when none
};

// "erzeugt", "versendet", "TEST", "übersprungen", "FEHLER"; "" when not known.
std::string StatusText(const TRowStatus& status);
// The row's status as the run engine reports one document (the tooltip: the error or
// the reason; the recipients of a mail; the PDF of a production).
TRowStatus RowStatusOf(const TDocumentResult& result);

struct TInvoiceRow {
    TInvoiceListItem Item;
    TDateTime SentAt = 0;  // last successful send; 0 when none
    bool Checked = false;
    bool Selected = false;
    std::array<std::string, kInvoiceColumnCount> Texts;  // as shown
    // The EN 16931 findings of its last production, one per line, for the row's mark and
    // tooltip; empty when it passed or was not produced yet. Mailing skips such rows.
    std::string Findings;
    TRowStatus Status;
    bool FindingsKnown = false;  // produced or checked since the search

    const std::string& No() const { return Texts[icNo]; }
};

// A row of a search result: kind "Rechnung" or "Korrektur", date "dd.mm.yyyy", gross "#,##0.00" in the user's number
// format, "EUR" for an empty currency, and the send time "dd.mm.yyyy hh:nn" when set.
TInvoiceRow MakeInvoiceRow(const TInvoiceListItem& item, TDateTime sentAt);

// The findings as a row shows them: "<rule> <sentence>" per line.
std::string FindingsText(const TCheckFindings& findings);

// Told by the list when it changes, so that a table on screen can follow.
class TInvoiceListListener {
public:
    virtual ~TInvoiceListListener() = default;
    // Rows were replaced, removed or reordered.
    virtual void InvoiceListReset() = 0;
    // Texts or check marks of the rows first..last (inclusive) changed.
    virtual void InvoiceRowsChanged(size_t first, size_t last) = 0;
};

// Which rows the list shows; both set: rows that pass both.
struct TInvoiceFilter {
    bool OnlyUnsent = false;        // no successful send known
    bool OnlyWithFindings = false;  // findings of the EN 16931 check
    bool Passes(const TInvoiceRow& row) const;
};

// Row indexes are those of the rows shown; hidden rows keep their marks but no command
// works on them.
class TInvoiceListModel {
public:
    void SetListener(TInvoiceListListener* listener) { FListener = listener; }

    size_t Count() const { return FShown.size(); }
    // All rows of the search, shown or not.
    size_t TotalCount() const { return FRows.size(); }
    const TInvoiceRow& Row(size_t index) const { return FRows.at(FShown.at(index)); }
    // Rows shown that are ticked.
    size_t CheckedCount() const;

    const TInvoiceFilter& Filter() const { return FFilter; }
    // Shows the rows that pass.
    void SetFilter(const TInvoiceFilter& filter);

    void Clear();
    void Assign(std::vector<TInvoiceRow> rows);

    // Out-of-range rows are ignored (a click may refer to a list that was just replaced).
    void SetChecked(size_t index, bool checked);
    void ToggleChecked(size_t index);
    // "Alle an/abwählen": every row gets the opposite of the first row's check mark.
    void ToggleAll();
    // The rows selected on screen; the others lose their selection.
    void SetSelection(const std::vector<size_t>& indices);
    void SetSentAt(size_t index, TDateTime sentAt);
    // The findings of the row with invoice number `no` (FindingsText), which are then
    // known; none when absent.
    void SetFindings(const std::string& no, const std::string& findings);
    // The last outcome of the row of that kind and number.
    void SetStatus(TDocumentKind kind, const std::string& no, const TRowStatus& status);

    // The rows a command works on: the ticked rows in list order; when none is ticked,
    // the selected rows in list order.
    std::vector<size_t> MarkedRows() const;

    // Stable sort by one column; see CompareInvoiceRows.
    void Sort(TInvoiceColumn column, bool ascending);
    // True after Sort, false after Clear and Assign (the rows in the search's order).
    bool Sorted() const { return FSorted; }

private:
    void RowsChanged(size_t first, size_t last);
    // The shown place of row `all` (an index of FRows) changed.
    void RowChanged(size_t all);
    void Refilter();

    std::vector<TInvoiceRow> FRows;
    std::vector<size_t> FShown;  // indexes into FRows, in list order
    TInvoiceFilter FFilter;
    TInvoiceListListener* FListener = nullptr;
    bool FSorted = false;
};

} // namespace velkaro
