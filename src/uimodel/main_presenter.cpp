// The main window's logic: connect, search, mark, produce and mail through the run engine,
// the status texts and the user values (the menu commands: main_presenter_menu.cpp).
#include "uimodel/main_presenter.h"

#include "app/batch_run.h"
#include "app/document_run.h"
#include "app/mail_invoice.h"
#include "config/settings.h"
#include "mail/secret_mask.h"
#include "mail/sent_log.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "uimodel/invoice_source.h"

namespace velkaro {

namespace {

constexpr const char* kMarkFirst = "Bitte mindestens eine Rechnung markieren.";

} // namespace

TMainPresenter::TMainPresenter(TSettings& settings, TInvoiceSource& source, TRunSession& session,
                               TSentLog& sentLog, const TViewServices& services, TMainView& view)
    : FSettings(settings), FSource(source), FSession(session), FSentLog(sentLog), FServices(services),
      FView(view) {
    FDateTo = DateOf(FServices.Clock.Now());
    FDateFrom = IncMonth(FDateTo, -3);
    FInvoices.SetFilter({FSettings.OnlyUnsent, FSettings.OnlyWithFindings});
}

std::string TMainPresenter::Company() const {
    return FCompanyIndex >= 0 ? FCompanies[static_cast<size_t>(FCompanyIndex)] : std::string();
}

// "Server / Datenbank"; a database file without a server (SQLite) is named alone.
std::string TMainPresenter::DatabaseName() const {
    return FSettings.Server.empty() ? FSettings.Database : FSettings.Server + " / " + FSettings.Database;
}

std::array<std::string, 3> TMainPresenter::StatusTexts() const {
    return {"Datenbank: " + DatabaseName(), "Ausgabe: " + FSettings.OutDir,
            std::string(FSettings.SaveXml ? "PDF + XML" : "PDF") + (FSettings.OpenPdf ? ", danach öffnen" : "")};
}

bool TMainPresenter::SaveXml() const { return FSettings.SaveXml; }
bool TMainPresenter::OpenPdf() const { return FSettings.OpenPdf; }

void TMainPresenter::SelectCompany(int index) {
    if (!Enabled(mcFilter)) index = FCompanyIndex;  // the box shows the run's company again
    FCompanyIndex = index >= 0 && static_cast<size_t>(index) < FCompanies.size() ? index : -1;
    FView.CompaniesChanged();
}

void TMainPresenter::SetDateFrom(TDateTime date) { FDateFrom = DateOf(date); }
void TMainPresenter::SetDateTo(TDateTime date) { FDateTo = DateOf(date); }

void TMainPresenter::Log(const std::string& text) {
    FServices.Log.AppendLogLine(FormatClockTime(FServices.Clock.Now()) + " " + text);
}

void TMainPresenter::ConnectDatabase() {
    // The first connect of a new settings file: the window's log says where it lies.
    if (!FSettings.FirstRunNote.empty()) {
        Log(FSettings.FirstRunNote);
        FSettings.FirstRunNote.clear();
    }
    TBusyScope busy(FServices.Busy);
    try {
        FSource.Disconnect();
        FCompanies.clear();
        FCompanyIndex = -1;
        FCompanies = FSource.Companies();
        for (size_t i = 0; i < FCompanies.size() && FCompanyIndex < 0; ++i)
            if (SameText(FCompanies[i], FSettings.Company)) FCompanyIndex = static_cast<int>(i);
        if (FCompanyIndex < 0 && !FCompanies.empty()) FCompanyIndex = 0;
        Log("Verbunden mit " + DatabaseName());
        FConnectError.clear();
    } catch (const std::exception& e) {
        FConnectError = e.what();
        Log(std::string("FEHLER bei der Datenbankverbindung: ") + e.what());
        Log("  Verbindung eintragen: Einstellungen › Einstellungsdatei (INI) bearbeiten, Abschnitt [Datenbank], "
            "danach „Einstellungsdatei neu laden“.");
    }
    FView.CompaniesChanged();
}

TDateTime TMainPresenter::SentAt(const std::string& invoiceNo) const {
    TDateTime when = 0;
    return FSentLog.LastSent(Company(), invoiceNo, when) ? when : 0;
}

void TMainPresenter::DoSearch() {
    if (FCompanyIndex < 0 || !Enabled(mcSearch)) return;
    TBusyScope busy(FServices.Busy);
    FInvoices.Clear();
    std::vector<TInvoiceListItem> found;
    try {
        found = FSource.Search(Company(), FSearchText, FDateFrom, FDateTo);
    } catch (const std::exception& e) {
        Log(std::string("FEHLER bei der Suche: ") + e.what());
        return;
    }
    std::vector<TInvoiceRow> rows;
    rows.reserve(found.size());
    for (const TInvoiceListItem& item : found) {
        rows.push_back(MakeInvoiceRow(item, SentAt(item.No)));
        RestoreOutcome(rows.back());
    }
    // A single hit is ticked, so that it can be produced without marking it.
    if (rows.size() == 1) rows.front().Checked = true;
    FInvoices.Assign(std::move(rows));
    FSearched = true;
    UpdateCountText();
}

void TMainPresenter::UpdateSentColumn(size_t row) {
    if (row < FInvoices.Count()) FInvoices.SetSentAt(row, SentAt(FInvoices.Row(row).No()));
}

void TMainPresenter::SetProgress(size_t step, size_t count) {
    FProgressStep = step;
    FProgressCount = count;
    FProgressText = step > 0 ? std::to_string(step) + " von " + std::to_string(count) : std::string();
    FView.ProgressChanged();
}

void TMainPresenter::Progress(size_t step, size_t count) { SetProgress(step, count); }

bool TMainPresenter::ShouldStop() { return FCancelRequested; }

void TMainPresenter::DocumentDone(const TRunDocument& doc, const TDocumentResult& result) {
    // By number: the list may have been re-sorted while the events were pumped.
    TOutcome& kept = FOutcomes[OutcomeKey(doc.Kind, doc.No)];
    if (!result.Outcome.PdfFile.empty()) {
        kept.Findings = FindingsText(result.Outcome.Findings);
        FInvoices.SetFindings(doc.No, kept.Findings);
        FLastPdf = result.Outcome.PdfFile;
    }
    kept.Status = RowStatusOf(result);
    FInvoices.SetStatus(doc.Kind, doc.No, kept.Status);
    if (FRunKind == rkMail)
        for (size_t row = 0; row < FInvoices.Count(); ++row)
            if (FInvoices.Row(row).No() == doc.No) UpdateSentColumn(row);
    FServices.Events.ProcessPendingEvents();
}

bool TMainPresenter::RunMarked(TRunKind kind, const std::vector<TRunDocument>& docs, TRunCounts& counts) {
    // The window waits only briefly: it must not hang while a nightly batch works.
    std::unique_ptr<TFileLock> lock;
    try {
        const std::string lockFile = RunLockFilePath(FSettings.FFileName);
        lock = TakeRunLock(lockFile, FRunLockWait,
                           "Ein Stapellauf mit denselben Einstellungen arbeitet gerade (Sperrdatei " + lockFile +
                               "). Bitte nach seinem Ende erneut versuchen.");
    } catch (const std::exception& e) {
        if (!FEnding) FServices.Messages.Error(e.what());
        return false;
    }

    // Restores the window also when an error ends the run.
    struct TRunScope {
        TMainPresenter& P;
        TBusyScope Busy;
        TRunScope(TMainPresenter& p, TRunKind kind) : P(p), Busy(p.FServices.Busy) {
            P.FRunKind = kind;
            P.FCancelRequested = false;
            P.FView.RunStateChanged();
        }
        ~TRunScope() {
            P.FRunKind = rkNone;
            P.FCancelRequested = false;
            P.SetProgress(0, 0);
            P.FView.RunStateChanged();
        }
    } scope(*this, kind);

    TRunRequest request;
    request.Company = Company();
    request.Options = RunOptionsOf(FSettings);
    request.Mail = kind == rkMail;
    request.TestMode = IsMailTestMode(FSettings);
    // The window asked before it sends again and knows the rows without an address.
    request.SkipWithoutAddress = true;
    LogSettingsHints(FSettings, [this](const std::string& line) { Log(line); });
    FLastPdf.clear();
    try {
        RunDocuments(request, docs, FSettings, FSession, *this, counts);
    } catch (const ERunStop& e) {
        const std::string message = MaskSecrets(e.what(), {FSettings.GraphSecret});
        Log((e.Reason == rsSentLogFailed ? "FEHLER Versandprotokoll: " : "FEHLER E-Mail-Anmeldung: ") + message);
        if (!FEnding) FServices.Messages.Error(message);
        return false;
    }
    if (counts.Stopped)
        Log("Abgebrochen nach " + std::to_string(counts.Done) + " von " + std::to_string(counts.Total) +
            " Rechnungen.");
    return true;
}

std::vector<TRunDocument> TMainPresenter::MarkedDocuments() const {
    std::vector<TRunDocument> docs;
    for (size_t row : MarkedItems()) {
        const TInvoiceRow& r = FInvoices.Row(row);
        docs.push_back({r.Item.Kind, r.No(), true, Trim(r.Texts[icEmail]).empty()});
    }
    return docs;
}

void TMainPresenter::RequestCancel() {
    if (FRunKind != rkNone) FCancelRequested = true;
}

void TMainPresenter::DoGenerate() {
    if (!Enabled(mcGenerate)) return;
    const std::vector<TRunDocument> docs = MarkedDocuments();
    if (docs.empty()) {
        FServices.Messages.Inform(kMarkFirst);
        return;
    }
    GenerateDocuments(docs);
}

void TMainPresenter::GenerateDocuments(const std::vector<TRunDocument>& docs) {
    TRunCounts counts;
    if (!RunMarked(rkGenerate, docs, counts)) return;
    Log("Fertig: " + std::to_string(counts.Produced) + " erzeugt, " + std::to_string(counts.Errors) + " Fehler.");
    if (FSettings.OpenPdf && counts.Produced > 0 && !FEnding)
        FServices.Opener.OpenPath(docs.size() == 1 ? FLastPdf : FSettings.OutDir);
}

std::string TMainPresenter::MailConfirmation(const std::vector<size_t>& rows) const {
    size_t without = 0, already = 0, withFindings = 0;
    for (size_t row : rows) {
        const TInvoiceRow& r = FInvoices.Row(row);
        if (Trim(r.Texts[icEmail]).empty()) ++without;
        if (!r.Texts[icSentAt].empty()) ++already;
        if (!r.Findings.empty()) ++withFindings;
    }
    std::string text = std::to_string(rows.size()) + " Rechnung(en) als ZUGFeRD-PDF per E-Mail senden?\r\n\r\n" +
                       "Absender: " + FSettings.MailSender + "\r\n";
    if (IsMailTestMode(FSettings)) {
        text += "\r\nTESTMODUS: Alle Mails gehen ausschließlich an " + FSettings.MailTestRecipient + "\r\n" +
                "(Testempfänger in den E-Mail-Einstellungen leeren für den echten Versand)\r\n";
    } else {
        if (without > 0) text += "\r\n" + std::to_string(without) + " ohne Rechnungs-E-Mail werden übersprungen.\r\n";
        if (already > 0)
            text += "\r\nACHTUNG: " + std::to_string(already) +
                    " wurde(n) bereits versendet und werden ERNEUT versendet.\r\n";
    }
    // The mailing workflow refuses them (also in test mode); say so before it starts.
    if (withFindings > 0 && !FSettings.SendDespiteFindings)
        text += "\r\n" + std::to_string(withFindings) +
                " mit Befund der EN-16931-Prüfung werden nicht versendet.\r\n";
    return text;
}

void TMainPresenter::DoMail() {
    if (!Enabled(mcMail)) return;
    const std::vector<size_t> rows = MarkedItems();
    if (rows.empty()) {
        FServices.Messages.Inform(kMarkFirst);
        return;
    }
    if (!IsMailSetUp(FSettings)) {
        FServices.Messages.Inform("Der E-Mail-Versand ist noch nicht eingerichtet.");
        if (!EditMailSettings()) return;
    }
    CheckFindings(rows);
    if (!FServices.Messages.Ask(MailConfirmation(rows))) return;

    TRunCounts counts;
    if (!RunMarked(rkMail, MarkedDocuments(), counts)) return;
    Log("E-Mail-Versand fertig: " + std::to_string(counts.Mailed) + " versendet" +
        (IsMailTestMode(FSettings) ? " (TEST)" : "") + ", " + std::to_string(counts.Errors) + " Fehler" +
        (counts.Unclear > 0 ? ", " + std::to_string(counts.Unclear) + " unklar" : std::string()) +
        ". Protokoll: " + FSentLog.FileName());
}

void TMainPresenter::StoreUserValues() noexcept {
    try {
        if (FCompanyIndex >= 0) FSettings.Company = Company();
        FSettings.SaveUserValues();
    } catch (...) {
        // Closing the window never shows an error.
    }
}

} // namespace velkaro
