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
#include "platform/private_temp.h"
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

// A value the user changed (typed differs from shown) goes into the settings and is named
// for saving.
template <typename T>
void TakeChanged(T& setting, const T& typed, const T& shown, TMailSetting which, unsigned& changed) {
    if (typed == shown) return;
    setting = typed;
    changed |= which;
}

} // namespace

TMailSettingsPresenter::TMailSettingsPresenter(TSettings& settings, TNavData* data, const std::string& company,
                                               TMailSettingsView& view, TViewServices services)
    : FSettings(settings), FData(data), FCompany(company), FView(view), FServices(services) {}

void TMailSettingsPresenter::Start() {
    FView.ShowValues(InitialValues());
    // As the controls hold them: an editor's own line ends are no change of the user's.
    FShown = FView.Values();
}

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

bool TMailSettingsPresenter::SecretUnreadable() const {
    return FSettings.GraphSecret.empty() && !FSettings.GraphSecretProblem.empty();
}

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

TSecretDisplay TMailSettingsPresenter::SecretDisplay() const {
    if (SecretUnreadable()) return {kSecretUnreadableNote, kSecretUnreadableNote, FSettings.GraphSecretProblem};
    return {"verschlüsselt gespeichert (Benutzerschlüssel)", "", ""};
}

std::string TMailSettingsPresenter::EffectiveSecret(const TMailSettingsValues& values) const {
    if (values.Secret != FShown.Secret) return values.Secret;
    if (SecretUnreadable()) throw Exception(FSettings.GraphSecretProblem);
    return FSettings.GraphSecret;
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

void TMailSettingsPresenter::Attempt(const std::string& lead, const TMailSettingsValues& values,
                                     const std::function<std::string(const std::string& secret)>& action) {
    std::string secret;
    std::string message;
    try {
        TBusyScope busy(FServices.Busy);
        secret = EffectiveSecret(values);
        message = action(secret);
    } catch (const std::exception& e) {
        FServices.Messages.Error(lead + "\r\n\r\n" + MaskSecrets(e.what(), {secret}));
        return;
    }
    FServices.Messages.Inform(message);
}

void TMailSettingsPresenter::TestConnection() {
    const TMailSettingsValues values = FView.Values();
    Attempt("Der Verbindungstest ist fehlgeschlagen.", values, [&](const std::string& secret) {
        TGraphMailer mailer(values.Tenant, values.ClientId, secret, values.Sender, MailEndpoints(FSettings));
        mailer.GetToken();
        return "Anmeldung bei Microsoft 365 erfolgreich.\r\n\r\nOb die App aus dem Postfach " + values.Sender +
               " senden darf, zeigt erst eine Testmail.";
    });
}

void TMailSettingsPresenter::SendTestMail() {
    const TMailSettingsValues values = FView.Values();
    std::string recipient = Trim(values.TestRecipient);
    if (recipient.empty()) {
        const std::optional<std::string> named = FView.AskTestRecipient(values.Sender);
        if (!named) return;
        recipient = Trim(*named);
    }
    if (recipient.empty()) return;
    Attempt("Beim Senden der Testmail an " + recipient + " ist ein Fehler aufgetreten.", values,
            [&](const std::string& secret) {
                const TPlaceholderContext context = SampleContext(Seller());
                const std::string subject = ExpandPlaceholders(values.Subject, context).Text;
                TMailBody body = BuildBody(values, context, false, BaseDir());
                body.Html = InsertAfterBodyTag(body.Html, kTestNotice);

                TGraphMailer mailer(values.Tenant, values.ClientId, secret, values.Sender, MailEndpoints(FSettings));
                mailer.SaveToSentItems = values.SaveToSent;
                mailer.SendEx(SplitAddresses(recipient), {}, {}, values.ReplyTo, "[Testmail] " + subject, body.Html,
                              body.Images);
                return "Testmail an " + recipient + " übergeben.";
            });
}

TMailPreview TMailSettingsPresenter::BuildPreview(const TMailSettingsValues& values,
                                                  const std::string& invoiceNo) const {
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
    return {InsertAfterBodyTag(document, bar), ""};
}

std::optional<std::string> TMailSettingsPresenter::ShowFreshPreview() {
    try {
        TBusyScope busy(FServices.Busy);
        TMailPreview preview = BuildPreview(FView.Values(), FView.PreviewInvoiceNo());
        // Customer data: in this process's own folder, readable by this account only.
        preview.File = WritePrivateTempFile(PreviewFileName(), "\xEF\xBB\xBF" + preview.Document);
        FView.ShowPreview(preview);
        return preview.File;
    } catch (const std::exception& e) {
        FServices.Messages.Error(e.what());
        return std::nullopt;
    }
}

void TMailSettingsPresenter::RefreshPreview() { ShowFreshPreview(); }

void TMailSettingsPresenter::OpenInBrowser() {
    if (const std::optional<std::string> file = ShowFreshPreview()) FServices.Opener.OpenPath(*file);
}

bool TMailSettingsPresenter::Save() {
    const TMailSettingsValues v = FView.Values();
    // Only what the user changed is written; a value left as shown keeps its line, or
    // stays unwritten with its default. An untouched secret field keeps the stored
    // secret, also one this account cannot read.
    unsigned changed = 0;
    TakeChanged(FSettings.GraphTenant, Trim(v.Tenant), Trim(FShown.Tenant), msTenant, changed);
    TakeChanged(FSettings.GraphClientId, Trim(v.ClientId), Trim(FShown.ClientId), msClientId, changed);
    TakeChanged(FSettings.GraphSecret, v.Secret, FShown.Secret, msSecret, changed);
    TakeChanged(FSettings.MailSender, Trim(v.Sender), Trim(FShown.Sender), msSender, changed);
    TakeChanged(FSettings.MailReplyTo, Trim(v.ReplyTo), Trim(FShown.ReplyTo), msReplyTo, changed);
    TakeChanged(FSettings.MailBcc, Trim(v.Bcc), Trim(FShown.Bcc), msBcc, changed);
    TakeChanged(FSettings.MailTestRecipient, Trim(v.TestRecipient), Trim(FShown.TestRecipient), msTestRecipient,
                changed);
    TakeChanged(FSettings.MailSaveToSent, v.SaveToSent, FShown.SaveToSent, msSaveToSent, changed);
    TakeChanged(FSettings.MailAttachXml, v.AttachXml, FShown.AttachXml, msAttachXml, changed);
    TakeChanged(FSettings.MailSubject, v.Subject, FShown.Subject, msSubject, changed);
    TakeChanged(FSettings.MailBody, v.BodyText, FShown.BodyText, msBody, changed);
    TakeChanged(FSettings.MailHtml, v.Html, FShown.Html, msHtml, changed);
    TakeChanged(FSettings.MailBodyHtml, v.BodyHtml, FShown.BodyHtml, msBodyHtml, changed);
    TakeChanged(FSettings.MailSignatureHtml, v.Signature, FShown.Signature, msSignature, changed);
    try {
        FSettings.SaveMailSettings(changed);
    } catch (const std::exception& e) {
        FServices.Messages.Error(std::string("Speichern nicht möglich: ") +
                                 MaskSecrets(e.what(), {FSettings.GraphSecret}));
        return false;
    }
    FShown = v;
    return true;
}

std::string TMailSettingsPresenter::ImageFolder() const { return FSettings.MailImageDir; }

void TMailSettingsPresenter::ImportFromOutlook(const std::string& file) {
    try {
        FView.SetSignature(ImportOutlookSignature(file, BaseDir(), ImageFolder()));
    } catch (const std::exception& e) {
        FServices.Messages.Error(e.what());
        return;
    }
    FServices.Messages.Inform("Signatur übernommen. Bilder wurden nach " + ImageFolder() +
                              " kopiert.\r\nTipp: Feste Angaben (Name, Telefon …) können durch Platzhalter wie "
                              "{Telefon} ersetzt werden.");
}

void TMailSettingsPresenter::LoadSignatureFile(const std::string& file) {
    try {
        FView.SetSignature(ImportOutlookSignature(file, BaseDir(), ImageFolder()));
    } catch (const std::exception& e) {
        FServices.Messages.Error(e.what());
    }
}

std::string TMailSettingsPresenter::ImageTag(const std::string& file) const {
    ForceDirectories(ImageFolder());
    const std::string target = CombinePath(ImageFolder(), ExtractFileName(file));
    std::error_code ec;
    // The same file under another spelling of its path is not copied onto itself.
    const bool same = SameText(AbsolutePath(target), AbsolutePath(file)) || fs::equivalent(target, file, ec);
    if (!same) WriteFileBytes(target, ReadFileBytes(file));
    return "<img src=\"" + RelativeReference(target, BaseDir()) + "\" alt=\"Logo\" style=\"height:50px;border:0\">";
}

void TMailSettingsPresenter::InsertImage(const std::string& file) {
    std::string tag;
    try {
        tag = ImageTag(file);
    } catch (const std::exception& e) {
        FServices.Messages.Error(e.what());
        return;
    }
    FView.InsertIntoSignature(tag);
}

void TMailSettingsPresenter::UseStandardSignature() {
    if (FServices.Messages.Ask("Signatur durch die Standardsignatur ersetzen?")) FView.SetSignature(StandardSignature());
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
