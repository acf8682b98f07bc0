#include "app/batch_run.h"

#include "app/command_line.h"
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

// A message may carry its own line breaks; the log file keeps CR LF throughout.
std::string LogText(const std::string& text) {
    return ToCrLf(ReplaceAll(ReplaceAll(text, "\r\n", "\n"), "\r", "\n"));
}

// Steps between creating the settings and freeing them; the caller writes the log
// whatever happens here. Objects are freed in reverse order of creation.
void RunInvoices(const TCommandLine& cmd, const TBatchSessionFactory& openSession, const TLogProc& log,
                 int& errorCount) {
    TSettings settings(SettingsFilePath());
    std::string company = settings.Company;
    if (cmd.Company)
        company = *cmd.Company;
    if (cmd.OutDir)  // this run only: the settings file is not written
        settings.OutDir = *cmd.OutDir;
    if (cmd.SaveXml)
        settings.SaveXml = true;

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
        for (const std::string& no : cmd.InvoiceNos)
            if (!mailer->MailInvoice(company, no, log))
                ++errorCount;
        return;
    }

    for (const std::string& no : cmd.InvoiceNos) {
        try {
            session->GenerateInvoicePdf(company, no, log);
        } catch (const std::exception& e) {
            ++errorCount;
            log("FEHLER " + no + ": " + e.what());
        } catch (...) {
            ++errorCount;
            log("FEHLER " + no + ": " + kUnknownError);
        }
    }
}

} // namespace

std::string BatchLogFilePath() {
    return ChangeFileExt(SettingsFilePath(), ".log");
}

TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession) {
    TBatchResult result;
    const TCommandLine cmd = ParseCommandLine(args);
    if (cmd.InvoiceNos.empty())
        return result;
    result.Ran = true;
    result.LogFile = BatchLogFilePath();

    std::vector<std::string> logLines;
    const TLogProc log = [&logLines](const std::string& line) {
        logLines.push_back(FormatLogTimestamp(Now()) + " " + LogText(line));
    };

    try {
        RunInvoices(cmd, openSession, log, result.ErrorCount);
    } catch (const std::exception& e) {
        result.FatalError = e.what();
    } catch (...) {
        result.FatalError = kUnknownError;
    }

    try {
        WriteTextLines(result.LogFile, logLines);
    } catch (const std::exception& e) {
        // Keep the error that ended the run as well as this one.
        result.FatalError += (result.FatalError.empty() ? "" : "\n") + std::string(e.what());
    }

    result.ExitCode = result.ErrorCount > 0 || !result.FatalError.empty() ? 1 : 0;
    return result;
}

} // namespace velkaro
