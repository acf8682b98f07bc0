// The mail settings dialog's logic.
#include "uimodel/mail_settings_presenter.h"

#include <filesystem>

#include "app/mail_content.h"
#include "app/mail_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "mail/graph_mailer.h"
#include "mail/html_mail.h"
#include "mail/secret_mask.h"
#include "mail/signature_import.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTestNotice =
    "<p style=\"color:#b00000;font-family:Arial\"><b>Velkaro \u2013 Testmail</b> mit Beispieldaten "
    "(ohne Rechnungsanhang)</p>";

struct TMailBody {
    std::string Html;
    std::vector<TMailAttachment> Images;
};

TMailBody BuildBody(const TMailSettingsValues& values, const TPlaceholderContext& context, bool forPreview,
                    const std::string& baseDir) {
    TMailBody body;
    if (values.Html)
        BuildHtmlMail(values.BodyHtml, values.Signature, context, body.Html, body.Images, forPreview, baseDir);
    else
        body.Html = PlainTextToHtml(values.BodyText, context);
    return body;
}

} // namespace

TMailSettingsPresenter::TMailSettingsPresenter(TSettings& settings, TNavData* data, const std::string& company)
    : FSettings(settings), FData(data), FCompany(company) {}

TSeller TMailSettingsPresenter::Seller() const {
    if (FData) {
        try {
            return FData->LoadSeller(FCompany);
        } catch (const std::exception&) {
            // Without a database the sample company stands in.
        }
    }
    return SampleSeller();
}

std::string TMailSettingsPresenter::BaseDir() const { return ExtractFilePath(FSettings.FFileName); }

TMailSettingsValues TMailSettingsPresenter::InitialValues() const {
    TMailSettingsValues v;
    v.Tenant = FSettings.GraphTenant;
    v.ClientId = FSettings.GraphClientId;
    v.Secret = FSettings.GraphSecret.empty() ? "" : kSecretBullets;
    v.Sender = FSettings.MailSender;
    v.ReplyTo = FSettings.MailReplyTo;
    v.Bcc = FSettings.MailBcc;
    v.TestRecipient = FSettings.MailTestRecipient;
    v.Subject = FSettings.MailSubject;
    v.SaveToSent = FSettings.MailSaveToSent;
    v.AttachXml = FSettings.MailAttachXml;
    v.Html = FSettings.MailHtml;
    v.BodyHtml = FSettings.MailBodyHtml;
    v.Signature = FSettings.MailSignatureHtml;
    v.BodyText = FSettings.MailBody;
    return v;
}

std::string TMailSettingsPresenter::EffectiveSecret(const TMailSettingsValues& values) const {
    return values.Secret == kSecretBullets ? FSettings.GraphSecret : values.Secret;
}

std::vector<std::string> TMailSettingsPresenter::PlaceholderEntries() {
    std::vector<std::string> entries;
    for (const TPlaceholderInfo& info : PlaceholderList()) entries.push_back("{" + info.Key + "}  " + info.Description);
    entries.push_back("{Signatur}  Position der HTML-Signatur im HTML-Text");
    return entries;
}

std::string TMailSettingsPresenter::PlaceholderText(const std::string& entry) {
    const size_t close = entry.find('}');
    return close == std::string::npos ? entry : entry.substr(0, close + 1);
}

std::string TMailSettingsPresenter::TestConnection(const TMailSettingsValues& values) const {
    const std::string secret = EffectiveSecret(values);
    try {
        TGraphMailer mailer(values.Tenant, values.ClientId, secret, values.Sender, MailEndpoints(FSettings));
        mailer.GetToken();
    } catch (const std::exception& e) {
        throw Exception(MaskSecrets(e.what(), {secret}));
    }
    return "Anmeldung bei Microsoft 365 erfolgreich.\r\n\r\nOb die App aus dem Postfach " + values.Sender +
           " senden darf, zeigt erst eine Testmail.";
}

std::string TMailSettingsPresenter::SendTestMail(const TMailSettingsValues& values,
                                                 const std::string& recipient) const {
    const std::string secret = EffectiveSecret(values);
    try {
        const TPlaceholderContext context = SampleContext(Seller());
        const std::string subject = ExpandPlaceholders(values.Subject, context).Text;
        TMailBody body = BuildBody(values, context, false, BaseDir());
        body.Html = InsertAfterBodyTag(body.Html, kTestNotice);

        TGraphMailer mailer(values.Tenant, values.ClientId, secret, values.Sender, MailEndpoints(FSettings));
        mailer.SaveToSentItems = values.SaveToSent;
        mailer.SendEx(SplitAddresses(recipient), {}, {}, values.ReplyTo, "[Testmail] " + subject, body.Html,
                      body.Images);
    } catch (const std::exception& e) {
        throw Exception(MaskSecrets(e.what(), {secret}));
    }
    return "Testmail an " + recipient + " übergeben.";
}

std::string TMailSettingsPresenter::PreviewFile() { return CombinePath(TempDir(), "Velkaro_Mailvorschau.htm"); }

TMailPreview TMailSettingsPresenter::Preview(const TMailSettingsValues& values, const std::string& invoiceNo) const {
    std::string header;
    std::string document;
    try {
        const TSeller seller = Seller();
        TPlaceholderContext context;
        const std::string no = Trim(invoiceNo);
        if (!no.empty()) {
            if (!FData) throw Exception("Keine Datenbank verbunden.");
            const std::unique_ptr<TInvoice> invoice = FData->LoadInvoice(FCompany, no);
            context = InvoiceContext(*invoice, seller, TaxRulesOf(FSettings));
            header = "An: " + invoice->InvoiceEmail + "  (" + invoice->InvoiceEmailSource + ")";
        } else {
            context = SampleContext(seller);
            header = "Beispieldaten";
        }
        header = "Betreff: " + ExpandPlaceholders(values.Subject, context).Text + "  \u00B7  " + header;
        document = BuildBody(values, context, true, BaseDir()).Html;
    } catch (const std::exception& e) {
        document = "<p style=\"color:red\">" + HtmlEscape(e.what()) + "</p>";
    }
    const std::string bar = "<div style=\"background:#eef3f8;border-bottom:1px solid #ccd;padding:6px;"
                            "font:9pt Segoe UI,Arial;color:#335\">" +
                            ReplaceAll(header, "<", "&lt;") + "</div>";
    TMailPreview preview{InsertAfterBodyTag(document, bar), PreviewFile()};
    WriteFileBytes(preview.File, "\xEF\xBB\xBF" + preview.Document);
    return preview;
}

void TMailSettingsPresenter::Save(const TMailSettingsValues& values) {
    FSettings.GraphTenant = Trim(values.Tenant);
    FSettings.GraphClientId = Trim(values.ClientId);
    FSettings.GraphSecret = EffectiveSecret(values);
    FSettings.MailSender = Trim(values.Sender);
    FSettings.MailReplyTo = Trim(values.ReplyTo);
    FSettings.MailBcc = Trim(values.Bcc);
    FSettings.MailTestRecipient = Trim(values.TestRecipient);
    FSettings.MailSaveToSent = values.SaveToSent;
    FSettings.MailAttachXml = values.AttachXml;
    FSettings.MailSubject = values.Subject;
    FSettings.MailBody = values.BodyText;
    FSettings.MailHtml = values.Html;
    FSettings.MailBodyHtml = values.BodyHtml;
    FSettings.MailSignatureHtml = values.Signature;
    try {
        FSettings.SaveMailSettings();
    } catch (const std::exception& e) {
        throw Exception(std::string("Speichern nicht möglich: ") + MaskSecrets(e.what(), {FSettings.GraphSecret}));
    }
}

std::string TMailSettingsPresenter::ImageFolder() const { return FSettings.MailImageDir; }

std::string TMailSettingsPresenter::ImportSignature(const std::string& file) const {
    return ImportOutlookSignature(file, BaseDir(), ImageFolder());
}

std::string TMailSettingsPresenter::InsertImage(const std::string& file) const {
    ForceDirectories(ImageFolder());
    const std::string target = CombinePath(ImageFolder(), ExtractFileName(file));
    std::error_code ec;
    // The same file under another spelling of its path is not copied onto itself.
    const bool same = SameText(AbsolutePath(target), AbsolutePath(file)) || fs::equivalent(target, file, ec);
    if (!same) WriteFileBytes(target, ReadFileBytes(file));
    return "<img src=\"" + RelativeReference(target, BaseDir()) + "\" alt=\"Logo\" style=\"height:50px;border:0\">";
}

std::string TMailSettingsPresenter::StandardSignature() {
    return "<p style=\"font-family:Arial,sans-serif;font-size:9pt;color:#444444\">\r\n"
           "<b style=\"font-size:10pt;color:#000000\">{Firma}</b><br>\r\n"
           "{Strasse} \u00B7 {PLZ} {Ort}<br>\r\n"
           "Tel. {Telefon}<br>\r\n"
           "<a href=\"mailto:{EMail}\">{EMail}</a> \u00B7 <a href=\"https://{Web}\">{Web}</a><br>\r\n"
           "USt-IdNr. {UStId} \u00B7 St.-Nr. {StNr}<br>\r\n"
           "Gesch\u00E4ftsf\u00FChrung: {Geschaeftsfuehrer} \u00B7 {Handelsregister}\r\n"
           "</p>";
}

std::string TMailSettingsPresenter::HtmlHint() const {
    return "HTML-Fragment oder komplettes HTML. {Signatur} markiert die Stelle der Signatur (sonst am Ende). "
           "Gespeichert in " +
           ExtractFileName(FSettings.MailBodyHtmlFile);
}

} // namespace velkaro
