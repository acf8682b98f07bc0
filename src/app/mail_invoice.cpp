#include "app/mail_invoice.h"

#include "app/document_run.h"
#include "app/generate_invoice.h"
#include "app/mail_content.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "mail/html_mail.h"
#include "mail/secret_mask.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kNoAddress = "(keine Adresse)";

// Throttling hints of the mailer go to the log of the current invoice, and only while
// it is being mailed.
class TMailerLogScope {
public:
    TMailerLogScope(IMailer& mailer, const TLogProc& log) : FMailer(mailer) { FMailer.SetLog(log); }
    ~TMailerLogScope() { FMailer.SetLog({}); }
    TMailerLogScope(const TMailerLogScope&) = delete;
    TMailerLogScope& operator=(const TMailerLogScope&) = delete;

private:
    IMailer& FMailer;
};

// One line into the sent log; a failure stops the run, naming what became of the mail.
void Record(TSentLog& sentLog, TSentEntry entry, const std::string& whatHappened, TDocumentStatus status) {
    entry.Time = Now();
    try {
        sentLog.Add(entry);
    } catch (const std::exception& e) {
        throw ESentLogFailed("Das Versandprotokoll ist nicht beschreibbar (" + ErrorMessage(e) + "). " + whatHappened +
                             " Der Versand ist angehalten.",
                             status);
    }
}

} // namespace

bool IsMailTestMode(const TSettings& settings) {
    return !Trim(settings.MailTestRecipient).empty();
}

bool MailInvoice(TNavData& data, const TSettings& settings, const TRunOptions& options, IMailer& mailer,
                 TSentLog* sentLog,
                 const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                 TMailRecord* record, TDocumentKind kind) {
    TSentEntry entry;
    entry.Company = company;
    entry.InvoiceNo = invoiceNo;
    TGeneratedInvoice generated;
    bool result = false;

    // An unclear mail keeps the addresses it was handed over for.
    auto fail = [&](const std::string& message, const char* status) {
        const std::string text = MaskSecrets(message, {settings.GraphSecret, settings.SmtpPassword});
        const bool unclear = status == std::string(kSentUnclear);
        entry.Status = status;
        if (!unclear) entry.Recipients = generated.Recipients;
        entry.Info = text;
        log((unclear ? "UNKLAR Versand " : "FEHLER Versand ") + invoiceNo + ": " + text);
    };

    try {
        TMailerLogScope mailerLog(mailer, log);
        GenerateInvoice(data, settings, options, company, invoiceNo, log, generated, kind);
        const bool test = IsMailTestMode(settings);
        // An e-invoice its receiver must reject does not leave, in test mode neither, so
        // that a test run shows what a real run would refuse.
        if (!generated.Findings.Empty()) {
            const std::string violation = "E-Rechnung verletzt " + generated.Findings.Violations();
            if (!settings.SendDespiteFindings) throw Exception(violation + " \u2013 " + generated.Findings.Sentences());
            log("  Hinweis " + invoiceNo + ": " + violation +
                ", trotzdem versendet (INI [Pruefung] TrotzBefundVersenden=1)");
        }

        // Composed here and only here: a broken template or signature fails the mailing of
        // this document, never its production.
        std::string mailSubject;
        std::string mailBody;
        std::vector<TMailAttachment> inlineImages;
        ComposeInvoiceMail(*generated.Invoice, generated.Seller, settings, mailSubject, mailBody, inlineImages);

        std::vector<std::string> to;
        std::string subject;
        std::string body;
        if (test) {
            to = SplitAddresses(settings.MailTestRecipient);
            const std::string shown = generated.Recipients.empty() ? kNoAddress : generated.Recipients;
            subject = "[TEST, eigentlich an: " + shown + "] " + mailSubject;
            body = InsertAfterBodyTag(mailBody,
                                      "<p style=\"color:#b00000;font-family:Arial\"><b>TESTVERSAND</b> \u2013 "
                                      "diese Mail w\u00E4re an " +
                                          HtmlEscape(shown) + " gegangen.</p>");
        } else {
            to = SplitAddresses(generated.Recipients);
            if (to.empty())
                throw EGraphError("Keine Rechnungs-E-Mail beim Kunden " + generated.CustomerNo + " hinterlegt.");
            subject = mailSubject;
            body = mailBody;
        }

        std::vector<TMailAttachment> attachments;
        attachments.push_back(LoadAttachmentFile(generated.PdfFile));
        if (settings.MailAttachXml && !generated.XmlFile.empty()) {
            attachments.push_back(LoadAttachmentFile(generated.XmlFile));
        } else if (generated.XRechnung) {
            // Public portals process the XML itself, so an XRechnung always carries it,
            // named like the PDF.
            TMailAttachment xml;
            xml.Name = attachments.front().Name.substr(0, attachments.front().Name.rfind('.')) + ".xml";
            xml.ContentType = "application/xml";
            xml.Data = generated.XRechnungXml;
            attachments.push_back(std::move(xml));
        }
        attachments.insert(attachments.end(), inlineImages.begin(), inlineImages.end());

        // Entered before it is handed over, with the id the mail carries: a run killed
        // during the send, or an answer that never comes, leaves a mail that is known to
        // be on its way and is never sent again unasked.
        entry.Recipients = Join(to, ", ");
        entry.Id = NewMailId();
        if (sentLog) {
            TSentEntry inFlight = entry;
            inFlight.Status = kSentInFlight;
            inFlight.Info = test ? "TESTMODUS" : "";
            Record(*sentLog, inFlight, invoiceNo + " wurde nicht versendet.", dsFailed);
        }
        // The blind copies go out in test mode as well.
        const std::vector<std::string> bcc = SplitAddresses(settings.MailBcc);
        mailer.SendEx(to, {}, bcc, settings.MailReplyTo, subject, body, attachments, entry.Id);

        entry.Status = test ? kSentTest : kSentOk;
        entry.Info = generated.RecipientSource;
        log("  " + invoiceNo + " per E-Mail versendet an " + entry.Recipients + (test ? "  (TESTMODUS)" : ""));
        result = true;
    } catch (const ESentLogFailed&) {
        throw;
    } catch (const EMailOutcomeUnknown& e) {
        fail(e.what(), kSentUnclear);
    } catch (const std::exception& e) {
        fail(ErrorMessage(e), kSentFailed);
    } catch (...) {
        fail("Unbekannter Fehler.", kSentFailed);
    }

    entry.Time = Now();
    if (record)
        *record = TMailRecord{entry, generated.PdfFile, generated.Findings};
    if (sentLog) {
        const std::string whatHappened =
            result ? invoiceNo + " wurde an " + entry.Recipients +
                         " versendet und steht im Versandprotokoll nur als \u201ELAUFEND\u201C."
            : entry.Status == kSentUnclear ? invoiceNo + " wurde an " + entry.Recipients + " \u00FCbergeben; ob die Mail ankam, ist unklar."
                         : invoiceNo + " wurde nicht versendet.";
        const TDocumentStatus status = !result                    ? (entry.Status == kSentUnclear ? dsUnclear : dsFailed)
                                       : entry.Status == kSentTest ? dsTest
                                                                   : dsSent;
        Record(*sentLog, entry, whatHappened, status);
    }
    return result;
}

} // namespace velkaro
