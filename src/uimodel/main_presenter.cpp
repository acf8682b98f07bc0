// The main window's logic: connect, search, mark, produce, mail, options and user values.
#include "uimodel/main_presenter.h"

#include "config/settings.h"
#include "mail/secret_mask.h"
#include "mail/sent_log.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "uimodel/invoice_producer.h"
#include "app/batch_run.h"
#include "app/mail_invoice.h"
#include "uimodel/invoice_source.h"
#include "uimodel/theme.h"
#include "uimodel/vendor.h"

namespace velkaro {

namespace {

constexpr const char* kMarkFirst = "Bitte mindestens eine Rechnung markieren.";

} // namespace

TMainPresenter::TMainPresenter(TSettings& settings, TInvoiceSource& source, TInvoiceProducer& producer,
                               TSentLog& sentLog, const TViewServices& services, TMainView& view)
    : FSettings(settings), FSource(source), FProducer(producer), FSentLog(sentLog), FServices(services),
      FView(view) {
    FDateTo = DateOf(FServices.Clock.Now());
    FDateFrom = IncMonth(FDateTo, -3);
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
    } catch (const std::exception& e) {
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
    if (FCompanyIndex < 0) return;
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
    for (const TInvoiceListItem& item : found) rows.push_back(MakeInvoiceRow(item, SentAt(item.No)));
    // A single hit is ticked, so that it can be produced without marking it.
    if (rows.size() == 1) rows.front().Checked = true;
    FInvoices.Assign(std::move(rows));

    FCountText = std::to_string(FInvoices.Count()) + " Rechnung(en)";
    if (static_cast<long long>(FInvoices.Count()) >= FSettings.MaxRows)
        FCountText += " (Limit erreicht - Filter einschränken)";
    FView.CountChanged();
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

size_t TMainPresenter::RunSteps(TRunKind kind, size_t count, const std::function<void(size_t)>& step) {
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

    size_t done = 0;
    while (done < count) {
        SetProgress(done + 1, count);
        step(done);
        ++done;
        FServices.Events.ProcessPendingEvents();
        if (FCancelRequested && done < count) {
            Log("Abgebrochen nach " + std::to_string(done) + " von " + std::to_string(count) + " Rechnungen.");
            break;
        }
    }
    return done;
}

std::unique_ptr<TFileLock> TMainPresenter::TakeRunLock(bool& locked) {
    try {
        std::unique_ptr<TFileLock> lock = FProducer.LockRun();
        locked = true;
        return lock;
    } catch (const std::exception& e) {
        FServices.Messages.Error(e.what());
        locked = false;
        return nullptr;
    }
}

void TMainPresenter::RequestCancel() {
    if (FRunKind != rkNone) FCancelRequested = true;
}

void TMainPresenter::DoGenerate() {
    if (FRunKind != rkNone) return;
    std::vector<TDocumentRef> docs;
    for (size_t row : MarkedItems()) docs.push_back({FInvoices.Row(row).Item.Kind, FInvoices.Row(row).No()});
    if (docs.empty()) {
        FServices.Messages.Inform(kMarkFirst);
        return;
    }

    bool locked = false;
    const std::unique_ptr<TFileLock> lock = TakeRunLock(locked);
    if (!locked) return;

    const std::string company = Company();
    const TLogProc log = [this](const std::string& line) { Log(line); };
    LogSettingsHints(FSettings, log);
    int succeeded = 0, failed = 0;
    std::string lastPdf;
    RunSteps(rkGenerate, docs.size(), [&](size_t i) {
        try {
            TProducedInvoice produced = FProducer.GenerateInvoicePdf(company, docs[i].No, log, docs[i].Kind);
            lastPdf = produced.PdfFile;
            // By number: the list may have been re-sorted while the events were pumped.
            FInvoices.SetFindings(docs[i].No, FindingsText(produced.Findings));
            ++succeeded;
        } catch (const std::exception& e) {
            ++failed;
            Log("FEHLER " + docs[i].No + ": " + e.what());
        }
    });
    Log("Fertig: " + std::to_string(succeeded) + " erzeugt, " + std::to_string(failed) + " Fehler.");

    if (FSettings.OpenPdf && succeeded > 0)
        FServices.Opener.OpenPath(docs.size() == 1 ? lastPdf : FSettings.OutDir);
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
    if (FRunKind != rkNone) return;
    const std::vector<size_t> rows = MarkedItems();
    if (rows.empty()) {
        FServices.Messages.Inform(kMarkFirst);
        return;
    }
    if (Trim(FSettings.GraphTenant).empty() || Trim(FSettings.GraphClientId).empty() || FSettings.GraphSecret.empty() ||
        Trim(FSettings.MailSender).empty()) {
        FServices.Messages.Inform("Der E-Mail-Versand ist noch nicht eingerichtet.");
        if (!EditMailSettings()) return;
    }
    if (!FServices.Messages.Ask(MailConfirmation(rows))) return;

    // By number and address: the list may be re-sorted while the events are pumped.
    struct TMailRow {
        std::string No;
        TDocumentKind Kind;
        bool HasAddress;
    };
    std::vector<TMailRow> work;
    for (size_t row : rows)
        work.push_back({FInvoices.Row(row).No(), FInvoices.Row(row).Item.Kind,
                        !Trim(FInvoices.Row(row).Texts[icEmail]).empty()});

    bool locked = false;
    const std::unique_ptr<TFileLock> lock = TakeRunLock(locked);
    if (!locked) return;

    const bool test = IsMailTestMode(FSettings);
    std::unique_ptr<TBatchMailer> mailer;
    try {
        TBusyScope busy(FServices.Busy);
        mailer = FProducer.CreateMailer(FSentLog);
        mailer->SignIn();
    } catch (const std::exception& e) {
        const std::string message = MaskSecrets(e.what(), {FSettings.GraphSecret});
        Log("FEHLER E-Mail-Anmeldung: " + message);
        FServices.Messages.Error(message);
        return;
    }

    const std::string company = Company();
    const TLogProc log = [this](const std::string& line) { Log(line); };
    LogSettingsHints(FSettings, log);
    int sent = 0, failed = 0;
    RunSteps(rkMail, work.size(), [&](size_t i) {
        if (!test && !work[i].HasAddress) {
            Log("Übersprungen " + work[i].No + ": keine Rechnungs-E-Mail");
            return;
        }
        if (mailer->MailInvoice(company, work[i].No, log, work[i].Kind).Sent)
            ++sent;
        else
            ++failed;
        for (size_t row = 0; row < FInvoices.Count(); ++row)
            if (FInvoices.Row(row).No() == work[i].No) UpdateSentColumn(row);
    });
    mailer.reset();
    Log("E-Mail-Versand fertig: " + std::to_string(sent) + " versendet" + (test ? " (TEST)" : "") + ", " +
        std::to_string(failed) + " Fehler. Protokoll: " + FSentLog.FileName());
}

void TMainPresenter::StoreUserValues() noexcept {
    try {
        if (FCompanyIndex >= 0) FSettings.Company = Company();
        FSettings.SaveUserValues();
    } catch (...) {
        // Closing the window never shows an error.
    }
}

void TMainPresenter::OpenOutputFolder() {
    ForceDirectories(FSettings.OutDir);
    FServices.Opener.OpenPath(FSettings.OutDir);
}

std::string TMainPresenter::OutDirDialogStart() const {
    return DirectoryExists(FSettings.OutDir) ? FSettings.OutDir : std::string();
}

void TMainPresenter::SetOutDir(const std::string& folder) {
    FSettings.OutDir = folder;
    FView.StatusChanged();
    Log("Ausgabeordner: " + folder);
}

void TMainPresenter::SetSaveXml(bool on) {
    FSettings.SaveXml = on;
    FView.StatusChanged();
}

void TMainPresenter::SetOpenPdf(bool on) {
    FSettings.OpenPdf = on;
    FView.StatusChanged();
}

void TMainPresenter::EditSettingsFile() {
    StoreUserValues();
    FServices.Opener.OpenPath(FSettings.FFileName);
    Log("Einstellungsdatei geöffnet. Nach dem Speichern „Einstellungen > Einstellungsdatei neu laden“ wählen.");
}

void TMainPresenter::ReloadSettings() {
    FSettings.Load();
    FView.StatusChanged();
    Log("Einstellungsdatei neu geladen: " + FSettings.FFileName);
    ConnectDatabase();
}

bool TMainPresenter::LightSkin() const { return IsLightSkin(FSettings.Skin); }

void TMainPresenter::SetLightSkin(bool light) { FSettings.Skin = SkinName(light); }

void TMainPresenter::OpenUserGuide(const std::string& programFolder) {
    // Beside the program where it was built or unpacked; installed (…/bin/velkaro), in
    // the documentation folder of the same prefix.
    for (const std::string& folder : {programFolder, CombinePath(programFolder, "../share/doc/velkaro")}) {
        const std::string guide = CombinePath(folder, kUserGuideFile);
        if (FileExists(guide)) {
            FServices.Opener.OpenPath(AbsolutePath(guide));
            return;
        }
    }
    FServices.Messages.Inform("Die Anleitung LIESMICH.md liegt weder im Programmordner noch in ../share/doc/velkaro.");
}

void TMainPresenter::NotYetAvailable(const std::string& command) {
    Log(command + ": noch nicht verfügbar.");
}

std::string TMainPresenter::DesignerPreviewNumber() const {
    const TInvoiceListModel& list = Invoices();
    for (size_t i = 0; i < list.Count(); ++i)
        if (list.Row(i).Selected) return list.Row(i).No();
    return list.Count() > 0 ? list.Row(0).No() : std::string();
}

void TMainPresenter::LayoutSaved() {
    Log("Layout gespeichert: " + FSettings.LayoutFile);
}

bool TMainPresenter::EditMailSettings() {
    if (!FView.OpenMailSettings()) return false;
    Log("E-Mail-Einstellungen gespeichert.");
    return true;
}

void TMainPresenter::OpenManual(const std::string& programFolder) {
    const std::string web = ManualAddress(FSettings.FFileName);
    if (!web.empty())
        FServices.Opener.OpenPath(web);
    else
        OpenUserGuide(programFolder);
}

} // namespace velkaro
