#pragma once
// The one set of test doubles of the run engine's workflows, for the batch, the window
// and the run-rule table: a session and its mailer that record what they were asked to
// do and do what the test scripts.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/document_run.h"

namespace velkaro {
class TSentLog;
class TSettings;
}

namespace velkaro::test {

class FakeRunSession : public TRunSession {
public:
    std::vector<std::string> Companies() override;
    std::vector<std::string> FindDocuments(TDocumentKind kind, const std::string& company, TDateTime dateFrom,
                                           TDateTime dateTo) override;
    bool LastSent(const std::string& company, const std::string& documentNo, TDateTime& when) override;
    // From `OpenSends`, else from `SentLog`.
    bool OpenSend(const std::string& company, const std::string& documentNo, TOpenSend& open) override;
    // Records "<company>|<no>", "<company>|korr <no>" for a credit memo.
    TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                        const TLogProc& log, TDocumentKind kind) override;
    // Raises MailerError when set. Each mail produces the document first, without log
    // lines (Failures and Findings apply), and is recorded in `SentLog` when one is given: "TEST" in test mode of
    // `MailSettings`, "OK" otherwise, "FEHLER" for a failure.
    std::unique_ptr<TRunMailer> CreateMailer() override;
    // Records "<company>|<no>" in `Checks`; Failures raise, Findings are reported.
    TCheckFindings CheckDocument(const std::string& company, const std::string& documentNo,
                                 TDocumentKind kind) override;

    // --- the database
    std::vector<std::string> CompanyNames{"Muster GmbH"};
    std::vector<std::pair<std::string, TDateTime>> Posted;  // invoices FindDocuments finds, any order
    std::map<std::string, TDateTime> SentBefore;            // successful sends LastSent knows
    TSentLog* SentLog = nullptr;  // also asked by LastSent, and written by the mailer
    std::map<std::string, TOpenSend> OpenSends;  // number -> a mail of an earlier run left open

    // --- production
    std::string OutDir = "/ausgabe/";
    std::map<std::string, std::string> Failures;     // number -> error message of the production
    std::map<std::string, TCheckFindings> Findings;  // number -> check findings
    std::function<void(const std::string&)> OnGenerate;
    std::vector<std::string> Produced;  // "<company>|<no>", also the failed ones
    std::vector<std::string> Checks;    // "<company>|<no>" of each check without production

    // --- mailing
    const TSettings* MailSettings = nullptr;  // test mode and the findings rule come from here
    std::string MailerError;   // CreateMailer raises it when not empty
    std::string SignInError;   // SignIn raises it when not empty
    std::vector<std::string> WithoutAddress;  // numbers whose customer has no invoice e-mail
    std::map<std::string, std::string> MailFailures;  // number -> error message of the mail service
    std::map<std::string, std::string> MailUnclear;   // number -> message of a lost answer after the hand-over
    std::string SentLogError;                         // CheckSentLog raises it when not empty
    // number -> what became of its mail when the sent log then fails (ESentLogFailed)
    std::map<std::string, TDocumentStatus> SentLogFailsAt;
    std::vector<std::string> FoundInSentItems;        // ids CheckOpenSend finds among the sent mails
    std::vector<std::string> LookedUp;                // ids CheckOpenSend was asked for
    TDateTime MailTime = 0;    // time of the sent-log entries
    int Mailers = 0, SignIns = 0;
    std::vector<std::string> Mailed;  // "<company>|<no>", also the failed ones
};

} // namespace velkaro::test
