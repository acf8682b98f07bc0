#include "app/mail_transport.h"

#include "config/settings.h"
#include "mail/secret_mask.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/number_parse.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// Exchange Online takes tokens for this resource; the app registration needs the
// permission "SMTP.SendAsApp" and the sender's mailbox the app's service principal.
constexpr const char* kExchangeOnlineResource = "https://outlook.office365.com";

std::string OrDefault(const std::string& value, std::string_view fallback) {
    const std::string trimmed = Trim(value);
    return trimmed.empty() ? std::string(fallback) : trimmed;
}

int ParsePort(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return 0;
    if (t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos)
        throw EGraphError("Ungültiger SMTP-Port \"" + t + "\" (erwartet eine Zahl von 1 bis 65535).");
    return std::stoi(t);
}

bool UsesAppSignIn(const TMailTransportValues& v) {
    return Trim(v.SmtpUser).empty() && IsExchangeOnline(v.SmtpServer);
}

void MaskedRethrow(const std::exception& e, const TMailTransportValues& v) {
    throw Exception(MaskSecrets(e.what(), {v.Secret, v.SmtpPassword}));
}

} // namespace

TMailRoute ParseMailRoute(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty() || SameText(t, "Graph")) return mrGraph;
    if (SameText(t, "SMTP")) return mrSmtp;
    throw EGraphError("Unbekannter Wert \u201E" + t + "\u201C f\u00FCr [Versand] Weg= (erlaubt: Graph, SMTP).");
}

TSmtpSecurity ParseSmtpSecurity(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty() || SameText(t, "STARTTLS")) return ssStartTls;
    if (SameText(t, "TLS")) return ssTls;
    if (SameText(t, "Keine")) return ssNone;
    throw EGraphError("Unbekannter Wert \u201E" + t +
                      "\u201C f\u00FCr [SMTP] Sicherheit= (erlaubt: STARTTLS, TLS, Keine).");
}

TMailTransportValues MailTransportOf(const TSettings& settings) {
    TMailTransportValues v;
    v.Route = ParseMailRoute(settings.MailRoute);
    v.Tenant = settings.GraphTenant;
    v.ClientId = settings.GraphClientId;
    v.Secret = settings.GraphSecret;
    v.Sender = settings.MailSender;
    v.ReplyTo = settings.MailReplyTo;
    v.SaveToSent = settings.MailSaveToSent;
    v.SmtpServer = settings.SmtpServer;
    v.SmtpPort = settings.SmtpPort > 0 ? std::to_string(settings.SmtpPort) : std::string();
    v.SmtpSecurity = settings.SmtpSecurity;
    v.SmtpUser = settings.SmtpUser;
    v.SmtpPassword = settings.SmtpPassword;
    v.SmtpSender = settings.SmtpSender;
    v.SmtpReplyTo = settings.SmtpReplyTo;
    v.SmtpCaFile = settings.SmtpCaFile;
    v.SmtpBcc = settings.SmtpBcc;
    return v;
}

std::string EffectiveSender(const TMailTransportValues& values) {
    return Trim(values.Route == mrSmtp ? OrDefault(values.SmtpSender, Trim(values.Sender)) : values.Sender);
}

TSmtpAccount SmtpAccountOf(const TMailTransportValues& v) {
    TSmtpAccount a;
    a.Server = Trim(v.SmtpServer);
    a.Security = ParseSmtpSecurity(v.SmtpSecurity);
    a.Port = ParsePort(v.SmtpPort);
    a.User = Trim(v.SmtpUser);
    a.Password = v.SmtpPassword;
    a.Sender = EffectiveSender(v);
    a.ReplyTo = OrDefault(v.SmtpReplyTo, Trim(v.ReplyTo));
    a.CaFile = Trim(v.SmtpCaFile);
    a.Bcc = v.SmtpBcc;
    return a;
}

TGraphEndpoints MailEndpoints(const TSettings& settings) {
    TGraphEndpoints endpoints;
    endpoints.LoginServer = OrDefault(settings.GraphLoginServer, kDefaultGraphLoginServer);
    endpoints.GraphServer = OrDefault(settings.GraphServer, kDefaultGraphServer);
    endpoints.CaBundle = Trim(settings.GraphCaBundle);
    return endpoints;
}

std::unique_ptr<IMailer> CreateMailer(const TMailTransportValues& values, const TSettings& settings) {
    const bool needsAppSecret = values.Route == mrGraph || UsesAppSignIn(values);
    // A secret that is there but not readable by this account: say so, rather than
    // "incomplete settings".
    if (needsAppSecret && values.Secret.empty() && !settings.GraphSecretProblem.empty())
        throw EGraphError(settings.GraphSecretProblem);
    if (values.Route == mrGraph) {
        auto mailer = std::make_unique<TGraphMailer>(values.Tenant, values.ClientId, values.Secret, values.Sender,
                                                     MailEndpoints(settings));
        mailer->SaveToSentItems = values.SaveToSent;
        return WrapGraphMailer(std::move(mailer), Trim(values.Sender));
    }
    if (!Trim(values.SmtpUser).empty() && values.SmtpPassword.empty() && !settings.SmtpPasswordProblem.empty())
        throw EGraphError(settings.SmtpPasswordProblem);
    const TSmtpAccount account = SmtpAccountOf(values);
    TSmtpMailer::TTokenSource token;
    if (UsesAppSignIn(values)) {
        // The token comes from the app registration of Graph, for Exchange Online as
        // its resource; the token mailer is never asked to send.
        TGraphEndpoints endpoints = MailEndpoints(settings);
        endpoints.GraphServer = kExchangeOnlineResource;
        auto source = std::make_shared<TGraphMailer>(values.Tenant, values.ClientId, values.Secret,
                                                     OrDefault(account.Sender, "-"), endpoints);
        token = [source] { return source->GetToken(); };
    }
    return std::make_unique<TSmtpMailer>(account, token);
}

std::unique_ptr<IMailer> CreateMailer(const TSettings& settings) {
    return CreateMailer(MailTransportOf(settings), settings);
}

bool IsMailSetUp(const TMailTransportValues& v) {
    const bool app = !Trim(v.Tenant).empty() && !Trim(v.ClientId).empty() && !v.Secret.empty();
    if (v.Route == mrGraph) return app && !Trim(v.Sender).empty();
    if (Trim(v.SmtpServer).empty() || EffectiveSender(v).empty()) return false;
    if (!Trim(v.SmtpUser).empty()) return !v.SmtpPassword.empty();
    return !UsesAppSignIn(v) || app;
}

bool IsMailSetUp(const TSettings& settings) {
    try {
        return IsMailSetUp(MailTransportOf(settings));
    } catch (const std::exception&) {
        return false;  // an unknown route: the settings check names it
    }
}

std::string TestMailTransport(const TMailTransportValues& values, const TSettings& settings) {
    std::string described;
    try {
        const std::unique_ptr<IMailer> mailer = CreateMailer(values, settings);
        mailer->SignIn();
        described = mailer->Describe();
    } catch (const std::exception& e) {
        MaskedRethrow(e, values);
    }
    if (values.Route == mrGraph)
        return "Anmeldung bei Microsoft 365 erfolgreich.\r\n\r\nOb die App aus dem Postfach " + Trim(values.Sender) +
               " senden darf, zeigt erst eine Testmail.";
    const TSmtpAccount account = SmtpAccountOf(values);
    const std::string signIn = !account.User.empty() ? "angemeldet als \"" + account.User + "\""
                               : UsesAppSignIn(values) ? std::string("angemeldet mit der App aus [Graph] (OAuth)")
                                                       : std::string("ohne Anmeldung");
    return "Verbindung zum Mailserver erfolgreich (" + SmtpSecurityName(account.Security) + ", " + signIn +
           ").\r\n\r\nOb der Server Mails von " + account.Sender + " annimmt, zeigt erst eine Testmail (" + described +
           ").";
}

std::string SendTestMail(const TMailTransportValues& values, const TSettings& settings, const std::string& recipient,
                         const std::string& subject, const std::string& htmlBody,
                         const std::vector<TMailAttachment>& images) {
    try {
        const std::unique_ptr<IMailer> mailer = CreateMailer(values, settings);
        mailer->SendEx(SplitAddresses(recipient), {}, {}, values.ReplyTo, subject, htmlBody, images);
    } catch (const std::exception& e) {
        MaskedRethrow(e, values);
    }
    return "Testmail an " + recipient + " übergeben.";
}

std::string MailSecretName(const std::string& settingsFile) {
    const TIniFile ini = TIniFile::FromText(ReadHandEditedTextFile(settingsFile).Text);
    const bool smtp = SameText(Trim(ini.ReadString("Versand", "Weg", "")), "SMTP");
    return smtp && !Trim(ini.ReadString("SMTP", "Benutzer", "")).empty() ? "SMTP-Passwort" : "Client-Secret";
}

std::string StoreMailSecret(const std::string& settingsFile, const std::string& secret) {
    const std::string name = MailSecretName(settingsFile);
    if (name == "SMTP-Passwort")
        StoreSmtpPassword(settingsFile, secret);
    else
        StoreGraphSecret(settingsFile, secret);
    return name;
}

} // namespace velkaro
