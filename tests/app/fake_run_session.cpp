#include "fake_run_session.h"

#include <algorithm>

#include "app/mail_invoice.h"
#include "config/settings.h"
#include "mail/sent_log.h"
#include "platform/error.h"

namespace velkaro::test {

namespace {

std::string Shown(const std::string& company, const std::string& no, TDocumentKind kind) {
    return company + "|" + (kind == bkCreditMemo ? "korr " : "") + no;
}

class FakeRunMailer : public TRunMailer {
public:
    explicit FakeRunMailer(FakeRunSession& session) : FSession(session) {}

    void SignIn() override {
        ++FSession.SignIns;
        if (!FSession.SignInError.empty()) throw Exception(FSession.SignInError);
    }

    void CheckSentLog() override {
        if (!FSession.SentLogError.empty()) throw Exception(FSession.SentLogError);
    }

    TOpenSendCheck CheckOpenSend(const std::string& company, const std::string& documentNo,
                                 const TOpenSend& open) override {
        FSession.LookedUp.push_back(open.Id);
        const auto& found = FSession.FoundInSentItems;
        if (std::find(found.begin(), found.end(), open.Id) == found.end())
            return {false, "in \u201EGesendete Elemente\u201C nicht gefunden"};
        if (FSession.SentLog)
            FSession.SentLog->Add({FSession.MailTime, company, documentNo, open.Recipients, "OK", "gefunden", open.Id});
        FSession.OpenSends.erase(documentNo);
        return {true, "in \u201EGesendete Elemente\u201C gefunden"};
    }

    TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                             TDocumentKind kind) override {
        FSession.Mailed.push_back(Shown(company, invoiceNo, kind));
        TMailOutcome outcome;
        outcome.Test = FSession.MailSettings && IsMailTestMode(*FSession.MailSettings);
        TSentEntry entry{FSession.MailTime, company, invoiceNo, "", "", "", ""};
        try {
            // Produced silently: the mail tests look at the mails, not at the production.
            if (auto failure = FSession.Failures.find(invoiceNo); failure != FSession.Failures.end())
                throw Exception(failure->second);
            outcome.Document.PdfFile = FSession.OutDir + "Rechnung_" + invoiceNo + ".pdf";
            if (auto findings = FSession.Findings.find(invoiceNo); findings != FSession.Findings.end())
                outcome.Document.Findings = findings->second;
            const bool noAddress = std::find(FSession.WithoutAddress.begin(), FSession.WithoutAddress.end(),
                                             invoiceNo) != FSession.WithoutAddress.end();
            if (!outcome.Document.Findings.Empty() &&
                !(FSession.MailSettings && FSession.MailSettings->SendDespiteFindings))
                throw Exception("E-Rechnung verletzt " + outcome.Document.Findings.Violations());
            if (noAddress && !outcome.Test) throw Exception("Keine Rechnungs-E-Mail beim Kunden hinterlegt.");
            if (auto failure = FSession.MailFailures.find(invoiceNo); failure != FSession.MailFailures.end())
                throw Exception(failure->second);
            if (auto fails = FSession.SentLogFailsAt.find(invoiceNo); fails != FSession.SentLogFailsAt.end())
                throw ESentLogFailed("Das Versandprotokoll ist nicht beschreibbar. " + invoiceNo, fails->second);
            if (auto unclear = FSession.MailUnclear.find(invoiceNo); unclear != FSession.MailUnclear.end()) {
                outcome.Unclear = true;
                throw Exception(unclear->second);
            }
            outcome.Sent = true;
            outcome.Recipients = outcome.Test ? "test@muster-gmbh.de" : "rechnung@kunde.de";
            entry.Status = outcome.Test ? "TEST" : "OK";
            entry.Recipients = outcome.Recipients;
            log("  " + invoiceNo + " per E-Mail versendet");
        } catch (const ESentLogFailed&) {
            throw;
        } catch (const std::exception& e) {
            outcome.Message = e.what();
            entry.Status = outcome.Unclear ? "UNKLAR" : "FEHLER";
            entry.Info = e.what();
            log("FEHLER Versand " + invoiceNo + ": " + e.what());
        }
        if (FSession.SentLog) FSession.SentLog->Add(entry);
        return outcome;
    }

private:
    FakeRunSession& FSession;
};

} // namespace

std::vector<std::string> FakeRunSession::Companies() { return CompanyNames; }

std::vector<std::string> FakeRunSession::FindDocuments(TDocumentKind kind, const std::string&, TDateTime dateFrom,
                                                       TDateTime dateTo) {
    std::vector<std::pair<TDateTime, std::string>> found;
    if (kind == bkInvoice)
        for (const auto& [no, date] : Posted)
            if (date >= dateFrom && date <= dateTo) found.push_back({date, no});
    std::sort(found.begin(), found.end());
    std::vector<std::string> numbers;
    for (const auto& f : found) numbers.push_back(f.second);
    return numbers;
}

bool FakeRunSession::LastSent(const std::string& company, const std::string& documentNo, TDateTime& when) {
    if (SentLog && SentLog->LastSent(company, documentNo, when)) return true;
    const auto sent = SentBefore.find(documentNo);
    if (sent == SentBefore.end()) return false;
    when = sent->second;
    return true;
}

bool FakeRunSession::OpenSend(const std::string& company, const std::string& documentNo, TOpenSend& open) {
    if (auto it = OpenSends.find(documentNo); it != OpenSends.end()) {
        open = it->second;
        return true;
    }
    TSentEntry entry;
    if (!SentLog || !SentLog->OpenSend(company, documentNo, entry)) return false;
    open = TOpenSend{entry.Time, entry.Status, entry.Recipients, entry.Id};
    return true;
}

TDocumentOutcome FakeRunSession::GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                    const TLogProc& log, TDocumentKind kind) {
    Produced.push_back(Shown(company, invoiceNo, kind));
    if (OnGenerate) OnGenerate(invoiceNo);
    log("  Hinweis " + invoiceNo);
    if (auto failure = Failures.find(invoiceNo); failure != Failures.end()) throw Exception(failure->second);
    const std::string pdf = OutDir + "Rechnung_" + invoiceNo + ".pdf";
    log(invoiceNo + " erzeugt: " + pdf);
    const auto findings = Findings.find(invoiceNo);
    return TDocumentOutcome{pdf, findings == Findings.end() ? TCheckFindings() : findings->second};
}

TCheckFindings FakeRunSession::CheckDocument(const std::string& company, const std::string& documentNo,
                                             TDocumentKind kind) {
    Checks.push_back(Shown(company, documentNo, kind));
    if (auto failure = Failures.find(documentNo); failure != Failures.end()) throw Exception(failure->second);
    const auto findings = Findings.find(documentNo);
    return findings == Findings.end() ? TCheckFindings() : findings->second;
}

std::unique_ptr<TRunMailer> FakeRunSession::CreateMailer() {
    ++Mailers;
    if (!MailerError.empty()) throw Exception(MailerError);
    return std::make_unique<FakeRunMailer>(*this);
}

} // namespace velkaro::test
