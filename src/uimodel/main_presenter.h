#pragma once
// The logic of the main window, free of any GUI toolkit: connecting and the company
// list, the search with its date range and count label, the invoice list and its
// marking, producing the marked invoices with progress and cancel, the sent column,
// the output options and the user values saved when the window closes. The window
// shows the state kept here and forwards the user's actions.
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/document_run.h"
#include "uimodel/invoice_list.h"
#include "uimodel/main_view.h"
#include "uimodel/view_services.h"

namespace velkaro {

class TInvoiceSource;
class TSentLog;
class TSettings;

// The user guide beside the program.
inline constexpr const char* kUserGuideFile = "LIESMICH.md";

// The run in progress; its button is disabled while it runs.
enum TRunKind { rkNone, rkGenerate, rkMail };

// Which entries of a row's context menu can be used.
struct TRowActions {
    bool OpenPdf = false;       // its PDF exists
    bool OpenFolder = false;    // the folder of its PDF exists
    bool OpenXml = false;       // its XML file exists beside the PDF
    bool ShowFindings = false;  // findings of the check, or an error of its last run
    bool Regenerate = false;    // a company is selected and no run is going on
};

// The window's commands as far as a run or the end of the session disables them:
// the search bar's fields, its button, the action bar, the menu items.
enum TMainCommand {
    mcFilter,          // company, dates and search text
    mcSearch,          // "Suchen", Enter
    mcMarkAll,         // "Alle an/abwählen"
    mcGenerate,        // "ZUGFeRD-PDF erzeugen"
    mcMail,            // "Markierte per E-Mail senden..."
    mcCancel,          // "Abbrechen" of a run
    mcDesigner,        // "Layout / Briefpapier..."
    mcMailSettings,    // "E-Mail-Einstellungen..."
    mcOutputOptions,   // output folder, "XML zusätzlich speichern", "PDF nach dem Erzeugen öffnen"
    mcLook,            // "Darstellung"
    mcEditSettings,    // "Einstellungsdatei (INI) bearbeiten..."
    mcReloadSettings,  // "Einstellungsdatei neu laden"
    mcOpenOutputFolder,  // reading: "Ausgabeordner öffnen"
    mcHelp,            // reading: manual, user guide, "Info..."
};
inline constexpr size_t kMainCommandCount = mcHelp + 1;

// The presenter is the observer of its own runs (log pane, progress, cancel, columns).
class TMainPresenter : private TRunObserver {
public:
    // Keeps references to all arguments, which must outlive the presenter. The date
    // range starts three calendar months before today and ends today.
    TMainPresenter(TSettings& settings, TInvoiceSource& source, TRunSession& session, TSentLog& sentLog,
                   const TViewServices& services, TMainView& view);
    TMainPresenter(const TMainPresenter&) = delete;
    TMainPresenter& operator=(const TMainPresenter&) = delete;

    // --- state the window shows
    const std::vector<std::string>& Companies() const { return FCompanies; }
    int CompanyIndex() const { return FCompanyIndex; }  // -1: none selected
    std::string Company() const;                        // "" when none is selected
    TDateTime DateFrom() const { return FDateFrom; }
    TDateTime DateTo() const { return FDateTo; }
    const std::string& SearchText() const { return FSearchText; }
    const std::string& CountText() const { return FCountText; }
    TInvoiceListModel& Invoices() { return FInvoices; }
    const TInvoiceListModel& Invoices() const { return FInvoices; }
    TRunKind RunKind() const { return FRunKind; }
    const std::string& ProgressText() const { return FProgressText; }  // "2 von 5" while a run goes on
    // The invoice being worked on (from 1) and the number of invoices of the run; 0 outside a run.
    size_t ProgressStep() const { return FProgressStep; }
    size_t ProgressCount() const { return FProgressCount; }
    // Status bar panels: database, output folder, output options.
    std::array<std::string, 3> StatusTexts() const;
    bool SaveXml() const;
    bool OpenPdf() const;

    // --- the user's input
    void SelectCompany(int index);
    void SetDateFrom(TDateTime date);  // the whole day is kept
    void SetDateTo(TDateTime date);
    void SetSearchText(const std::string& text) { FSearchText = text; }

    // --- commands
    // One line in the log pane: "hh:nn:ss " + text.
    void Log(const std::string& text) override;
    // How long a run waits for a batch that holds the run lock (3 s).
    void SetRunLockWait(std::chrono::milliseconds wait) { FRunLockWait = wait; }
    // Reconnects and fills the company list; errors are logged, the window stays usable.
    void ConnectDatabase();
    // The window's first showing: connects; when that fails or finds no company, opens
    // the database dialog saying why (and connects again when it was saved).
    void StartUp();
    // Opens the database dialog (with `reason` as its explaining line); after saving,
    // logs it and reconnects. True when saved.
    bool EditDatabaseSettings(const std::string& reason = "");
    // Nothing happens while no company is selected.
    void DoSearch();
    // Column "Versendet am" of one row from the sent-mail log.
    void UpdateSentColumn(size_t row);
    std::vector<size_t> MarkedItems() const { return FInvoices.MarkedRows(); }
    void ToggleAll() {
        if (Enabled(mcMarkAll)) FInvoices.ToggleAll();
    }
    void RowDoubleClicked(size_t row) { FInvoices.ToggleChecked(row); }
    // "12 markiert": the ticked rows shown; empty while the list is empty.
    std::string MarkedText() const;

    // --- the list's filters (main_presenter_list.cpp), kept in the settings as user values
    bool OnlyUnsent() const;
    bool OnlyWithFindings() const;
    void SetOnlyUnsent(bool on);
    void SetOnlyWithFindings(bool on);

    // --- the context menu of a row (main_presenter_list.cpp)
    TRowActions RowActions(size_t row) const;
    // The PDF of a row: the one its last run wrote, else where a production would write it.
    std::string RowPdfFile(size_t row) const;
    void OpenRowPdf(size_t row);
    void OpenRowFolder(size_t row);
    void OpenRowXml(size_t row);
    // Shows the findings and the error of the row's last run as a message.
    void ShowRowFindings(size_t row);
    // Produces the row's document again, as "ZUGFeRD-PDF erzeugen" does for one row.
    void RegenerateRow(size_t row);
    // Produces the marked invoices one after the other; errors of one invoice are logged
    // and counted. Errors outside the invoices' own steps end the run and propagate.
    void DoGenerate();
    // Mails the marked invoices after a confirmation (No is the default): the sign-in is
    // checked once before the first mail, rows without address are skipped outside test
    // mode, the sent column follows each mail. Opens the mail settings first when mailing
    // is not set up. Errors of one invoice are logged and counted by the mailing workflow.
    void DoMail();
    // The question DoMail asks before it sends the rows `rows`.
    std::string MailConfirmation(const std::vector<size_t>& rows) const;
    // Asks the running run to stop after the invoice it is working on.
    void RequestCancel();
    // Saves company, output folder, output options and theme; never fails.
    void StoreUserValues() noexcept;
    // Whether a command can be used now. Outside a run all but "Abbrechen"; during a run
    // only "Abbrechen" and what only reads (the list, the log, the output folder, help);
    // once the session ends, only reading. A command that is not enabled does nothing.
    bool Enabled(TMainCommand command) const;
    // The desktop ends (logout, shutdown, a stop signal): the user values are saved, a
    // running run stops after its current document and says how far it came, and no
    // question, message or new command follows.
    void EndSession() noexcept;
    bool Ending() const { return FEnding; }

    // --- menu
    // Creates the output folder when missing and opens it.
    void OpenOutputFolder();
    // Where the folder dialog starts: the output folder when it exists, else "".
    std::string OutDirDialogStart() const;
    void SetOutDir(const std::string& folder);
    void SetSaveXml(bool on);
    void SetOpenPdf(bool on);
    // Saves the user values, opens the settings file for editing and says how to reload.
    void EditSettingsFile();
    // Reads the settings file again and reconnects.
    void ReloadSettings();
    // The look chosen by the settings' Skin; a switch stores its name, saved on close.
    bool LightSkin() const;
    void SetLightSkin(bool light);
    // Opens the user guide LIESMICH.md of the program folder, or says that it is missing.
    void OpenUserGuide(const std::string& programFolder);
    // The layout designer saved the layout file.
    void LayoutSaved();
    // Opens the mail settings dialog and logs when it was saved; true then.
    bool EditMailSettings();
    // The manual: the web page of "[Hersteller] Anleitung=" when set, else the user guide
    // beside the program.
    void OpenManual(const std::string& programFolder);

private:
    std::string DatabaseName() const;
    // The count label: found rows, the limit, and how many the filters show.
    void UpdateCountText();
    // Produces `docs` and logs "Fertig: …"; opens the PDF or the folder when asked.
    void GenerateDocuments(const std::vector<TRunDocument>& docs);
    // The outcome of the row's earlier runs in this window, kept across searches.
    void RestoreOutcome(TInvoiceRow& row) const;
    std::string OutcomeKey(TDocumentKind kind, const std::string& no) const;
    // The marked rows as documents of a run, with what the list knows of their address.
    std::vector<TRunDocument> MarkedDocuments() const;
    // Runs `docs` through the run engine as a run of `kind`: run lock, busy cursor,
    // progress "n von m", pending events processed after each document, a cancel request
    // honoured before the next. False when the run could not begin (said to the user).
    bool RunMarked(TRunKind kind, const std::vector<TRunDocument>& docs, TRunCounts& counts);
    TDateTime SentAt(const std::string& invoiceNo) const;
    // Checks the documents of `rows` whose findings are not known yet (loaded and checked,
    // not produced), so that the question before a mailing counts every finding.
    void CheckFindings(const std::vector<size_t>& rows);
    // TRunObserver
    bool ShouldStop() override;
    void Progress(size_t step, size_t count) override;
    void DocumentDone(const TRunDocument& doc, const TDocumentResult& result) override;
    void SetProgress(size_t step, size_t count);

    TSettings& FSettings;
    TInvoiceSource& FSource;
    TRunSession& FSession;
    TSentLog& FSentLog;
    TViewServices FServices;
    TMainView& FView;

    std::vector<std::string> FCompanies;
    int FCompanyIndex = -1;
    TDateTime FDateFrom = 0;
    TDateTime FDateTo = 0;
    std::string FSearchText;
    std::string FCountText;
    TInvoiceListModel FInvoices;
    TRunKind FRunKind = rkNone;
    bool FCancelRequested = false;
    bool FEnding = false;
    std::string FProgressText;
    size_t FProgressStep = 0;
    size_t FProgressCount = 0;
    std::string FLastPdf;  // the last PDF of the run
    std::string FConnectError;  // the error of the last connect; empty when it worked
    bool FSearched = false;     // a search filled the list
    struct TOutcome {
        TRowStatus Status;
        std::string Findings;
    };
    std::map<std::string, TOutcome> FOutcomes;  // by OutcomeKey
    std::chrono::milliseconds FRunLockWait{3000};
};

} // namespace velkaro
