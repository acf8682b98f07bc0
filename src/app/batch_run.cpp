#include "app/batch_run.h"

#include <map>

#include "app/command_line.h"
#include "app/file_names.h"
#include "config/settings.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kNoWorkflows =
    "Die Erstellung und der Versand von Rechnungen sind in dieser Ausgabe von Velkaro noch nicht verfügbar.";

constexpr const char* kUnknownError = "Unbekannter Fehler.";

// Counters of one run and the signal that may stop it between invoices.
struct TRunState {
    const volatile std::sig_atomic_t* StopSignal = nullptr;
    int ErrorCount = 0;
    size_t Done = 0;  // invoices handled so far, successful or not
    int Stopped = 0;  // the signal that stopped the run

    bool StopNow() {
        if (StopSignal && *StopSignal != 0)
            Stopped = *StopSignal;
        return Stopped != 0;
    }
};

// The output files an invoice number gives, without extension; empty when the file-name
// pattern fails, which the workflow then reports for the invoice itself.
std::string ExpectedOutputBase(const TSettings& settings, const std::string& invoiceNo) {
    try {
        return OutputFileBase(settings.OutDir, settings.FileNamePattern, invoiceNo);
    } catch (const std::exception&) {
        return {};
    }
}

void ProduceInvoices(const TCommandLine& cmd, TBatchSession& session, const TSettings& settings,
                     const std::string& company, const TLogProc& log, TRunState& run) {
    // Output files written in this run, by path with ASCII letter case ignored (as Windows
    // shares compare names): the number of the invoice that wrote them and their path.
    // Two numbers that differ only in characters a file name cannot hold ("RE/1", "RE:1")
    // would otherwise replace each other's files; naming one invoice twice stays allowed.
    struct TWritten {
        std::string InvoiceNo;
        std::string Base;
    };
    std::map<std::string, TWritten> written;
    for (const std::string& no : cmd.InvoiceNos) {
        if (run.StopNow())
            return;
        try {
            const std::string base = ExpectedOutputBase(settings, no);
            const std::string key = LowerAscii(base);
            const auto first = written.find(key);
            if (!base.empty() && first != written.end() && !SameText(first->second.InvoiceNo, no))
                throw Exception("Rechnung " + no + " ergibt denselben Dateinamen wie Rechnung " +
                                first->second.InvoiceNo + " aus diesem Lauf; " + first->second.Base +
                                ".pdf wird nicht überschrieben");
            session.GenerateInvoicePdf(company, no, log);
            if (!base.empty())
                written.emplace(key, TWritten{no, base});
        } catch (const std::exception& e) {
            ++run.ErrorCount;
            log("FEHLER " + no + ": " + e.what());
        } catch (...) {
            ++run.ErrorCount;
            log("FEHLER " + no + ": " + kUnknownError);
        }
        ++run.Done;
    }
}

// Steps between creating the settings and freeing them; the caller writes the log
// whatever happens here. Objects are freed in reverse order of creation.
void RunInvoices(const TCommandLine& cmd, const TBatchSessionFactory& openSession, const TLogProc& log,
                 TRunState& run) {
    TSettings settings(SettingsFilePath());
    std::string company = settings.Company;
    if (cmd.Company)
        company = *cmd.Company;
    if (cmd.OutDir)  // this run only: the settings file is not written
        settings.OutDir = *cmd.OutDir;
    if (cmd.SaveXml)
        settings.SaveXml = true;

    if (!settings.LoadHint.empty())
        log("  Hinweis: " + settings.LoadHint);

    // Half-written files of a run that was killed while writing.
    for (const std::string& name : RemoveStaleOutputTempFiles(settings.OutDir))
        log("  Hinweis: unvollständige Datei eines abgebrochenen Laufs entfernt: " +
            CombinePath(settings.OutDir, name));

    if (!openSession)
        throw Exception(kNoWorkflows);
    std::unique_ptr<TBatchSession> session = openSession(settings);
    if (!session)
        throw Exception(kNoWorkflows);
    if (company.empty()) {
        const std::vector<std::string> companies = session->Companies();
        if (!companies.empty())
            company = companies.front();
    }

    if (cmd.Mail) {
        // Mailing produces each PDF itself, so nothing is left to produce afterwards.
        std::unique_ptr<TBatchMailer> mailer = session->CreateMailer();
        for (const std::string& no : cmd.InvoiceNos) {
            if (run.StopNow())
                return;
            if (!mailer->MailInvoice(company, no, log))
                ++run.ErrorCount;
            ++run.Done;
        }
        return;
    }
    ProduceInvoices(cmd, *session, settings, company, log, run);
}

} // namespace

std::string BatchLogFilePath() {
    return ChangeFileExt(SettingsFilePath(), ".log");
}

TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession,
                            const volatile std::sig_atomic_t* stopSignal) {
    TBatchResult result;
    const TCommandLine cmd = ParseCommandLine(args);
    if (cmd.InvoiceNos.empty())
        return result;
    result.Ran = true;
    result.LogFile = BatchLogFilePath();

    // One call, one line: a line break inside a message or an invoice number must not
    // start a line that reads like an entry of its own.
    std::vector<std::string> logLines;
    const TLogProc log = [&logLines](const std::string& line) {
        logLines.push_back(FormatSortableDateTime(Now()) + " " + SingleLine(line));
    };

    TRunState run;
    run.StopSignal = stopSignal;
    try {
        RunInvoices(cmd, openSession, log, run);
    } catch (const std::exception& e) {
        result.FatalError = e.what();
    } catch (...) {
        result.FatalError = kUnknownError;
    }
    result.ErrorCount = run.ErrorCount;
    if (run.Stopped != 0) {
        result.StopSignal = run.Stopped;
        result.StopLine = "Abgebrochen nach " + std::to_string(run.Done) + " von " +
                          std::to_string(cmd.InvoiceNos.size()) + " Belegen";
        log(result.StopLine);
    }

    try {
        WriteTextLines(result.LogFile, logLines);
    } catch (const std::exception& e) {
        // Keep the error that ended the run as well as this one.
        result.FatalError += (result.FatalError.empty() ? "" : "; ") + std::string(e.what());
    }

    if (result.StopSignal != 0)
        result.ExitCode = 128 + result.StopSignal;
    else
        result.ExitCode = result.ErrorCount > 0 || !result.FatalError.empty() ? 1 : 0;
    return result;
}

} // namespace velkaro
