// The main window's list beyond searching and marking: the filters and the counts, the
// outcome of each row's last run, the context menu of a row, and the database dialog
// with the first-start rule.
#include "app/file_names.h"
#include "config/settings.h"
#include "platform/files.h"
#include "uimodel/main_presenter.h"

namespace velkaro {

std::string TMainPresenter::MarkedText() const {
    if (FInvoices.Count() == 0) return {};
    return std::to_string(FInvoices.CheckedCount()) + " markiert";
}

void TMainPresenter::UpdateCountText() {
    if (!FSearched) return;
    const size_t total = FInvoices.TotalCount();
    FCountText = std::to_string(total) + " Rechnung(en)";
    if (static_cast<long long>(total) >= FSettings.MaxRows) FCountText += " (Limit erreicht - Filter einschränken)";
    if (FInvoices.Count() != total) FCountText += ", " + std::to_string(FInvoices.Count()) + " angezeigt";
    FView.CountChanged();
}

bool TMainPresenter::OnlyUnsent() const { return FSettings.OnlyUnsent; }
bool TMainPresenter::OnlyWithFindings() const { return FSettings.OnlyWithFindings; }

void TMainPresenter::SetOnlyUnsent(bool on) {
    FSettings.OnlyUnsent = on;
    FInvoices.SetFilter({FSettings.OnlyUnsent, FSettings.OnlyWithFindings});
    UpdateCountText();
}

void TMainPresenter::SetOnlyWithFindings(bool on) {
    FSettings.OnlyWithFindings = on;
    FInvoices.SetFilter({FSettings.OnlyUnsent, FSettings.OnlyWithFindings});
    UpdateCountText();
}

std::string TMainPresenter::OutcomeKey(TDocumentKind kind, const std::string& no) const {
    return Company() + "\n" + std::to_string(kind) + "\n" + no;
}

void TMainPresenter::RestoreOutcome(TInvoiceRow& row) const {
    const auto kept = FOutcomes.find(OutcomeKey(row.Item.Kind, row.No()));
    if (kept == FOutcomes.end()) return;
    row.Status = kept->second.Status;
    row.Texts[icStatus] = StatusText(row.Status);
    row.Findings = kept->second.Findings;
}

std::string TMainPresenter::RowPdfFile(size_t row) const {
    if (row >= FInvoices.Count()) return {};
    const TInvoiceRow& r = FInvoices.Row(row);
    if (!r.Status.PdfFile.empty()) return r.Status.PdfFile;
    try {
        return DocumentFileBase(FSettings, RunOptionsOf(FSettings), r.Item.Kind, r.No()) + ".pdf";
    } catch (const std::exception&) {
        return {};  // a broken file-name pattern: nothing to open
    }
}

namespace {

std::string XmlBeside(const std::string& pdf) { return pdf.empty() ? pdf : ChangeFileExt(pdf, ".xml"); }

} // namespace

TRowActions TMainPresenter::RowActions(size_t row) const {
    TRowActions actions;
    if (row >= FInvoices.Count()) return actions;
    const TInvoiceRow& r = FInvoices.Row(row);
    const std::string pdf = RowPdfFile(row);
    actions.OpenPdf = !pdf.empty() && FileExists(pdf);
    actions.OpenFolder = !pdf.empty() && DirectoryExists(ExtractFilePath(pdf));
    actions.OpenXml = !pdf.empty() && FileExists(XmlBeside(pdf));
    actions.ShowFindings = !r.Findings.empty() || (r.Status.Known && r.Status.Status == dsFailed);
    actions.Regenerate = FCompanyIndex >= 0 && FRunKind == rkNone;
    return actions;
}

void TMainPresenter::OpenRowPdf(size_t row) {
    if (RowActions(row).OpenPdf) FServices.Opener.OpenPath(RowPdfFile(row));
}

void TMainPresenter::OpenRowFolder(size_t row) {
    if (RowActions(row).OpenFolder) FServices.Opener.OpenPath(ExtractFilePath(RowPdfFile(row)));
}

void TMainPresenter::OpenRowXml(size_t row) {
    if (RowActions(row).OpenXml) FServices.Opener.OpenPath(XmlBeside(RowPdfFile(row)));
}

void TMainPresenter::ShowRowFindings(size_t row) {
    if (!RowActions(row).ShowFindings) return;
    const TInvoiceRow& r = FInvoices.Row(row);
    std::string text;
    if (!r.Findings.empty()) text = r.No() + ": Befund der EN-16931-Prüfung\n\n" + r.Findings;
    if (r.Status.Known && r.Status.Status == dsFailed)
        text += (text.empty() ? r.No() + ": " : std::string("\n\n")) + "FEHLER im letzten Lauf: " + r.Status.Message;
    FServices.Messages.Inform(text);
}

void TMainPresenter::RegenerateRow(size_t row) {
    if (!RowActions(row).Regenerate) return;
    const TInvoiceRow& r = FInvoices.Row(row);
    GenerateDocuments({{r.Item.Kind, r.No(), true, false}});
}

bool TMainPresenter::EditDatabaseSettings(const std::string& reason) {
    if (!FView.OpenDatabaseSettings(reason)) return false;
    FView.StatusChanged();
    Log("Datenbankverbindung gespeichert: " + FSettings.FFileName);
    ConnectDatabase();
    return true;
}

void TMainPresenter::StartUp() {
    ConnectDatabase();
    if (FConnectError.empty() && !FCompanies.empty()) return;
    const std::string why = FConnectError.empty()
                                ? "Die Datenbank " + DatabaseName() + " enthält keine NAV-Mandanten."
                                : "Die Datenbank " + DatabaseName() + " ist nicht erreichbar: " + FConnectError;
    EditDatabaseSettings(why + "\nOhne Verbindung zur NAV-Datenbank findet „Suchen“ keine Rechnungen. Bitte die "
                               "Verbindung einrichten und mit „Verbindung testen“ prüfen.");
}

} // namespace velkaro
