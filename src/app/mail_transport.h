#pragma once
// The way the mails go out, chosen in the settings ([Versand] Weg): Microsoft 365
// through Graph, or an SMTP server. The one place that turns settings, or the values a
// dialog holds before they are saved, into a mailer, says whether mailing is set up,
// tests the connection and sends a test mail.
#include <memory>
#include <string>
#include <vector>

#include "mail/mailer.h"
#include "mail/smtp_mailer.h"

namespace velkaro {

class TSettings;

enum TMailRoute { mrGraph, mrSmtp };

// What a mailer is made of, as the settings hold it or a dialog's fields show it.
struct TMailTransportValues {
    TMailRoute Route = mrGraph;
    // Microsoft 365: the app registration (also the XOAUTH2 sign-in at Exchange Online).
    std::string Tenant, ClientId, Secret;
    // The sender and reply-to addresses of Graph; the SMTP ones below win when set.
    std::string Sender, ReplyTo;
    bool SaveToSent = true;
    // SMTP, as written in the settings: Port "" or a number, Security "STARTTLS", "TLS",
    // "Keine" or "" (STARTTLS).
    std::string SmtpServer, SmtpPort, SmtpSecurity, SmtpUser, SmtpPassword, SmtpSender, SmtpReplyTo, SmtpCaFile,
        SmtpBcc;
};

// The values of the settings. Raises for a "Weg" that is neither Graph nor SMTP.
TMailTransportValues MailTransportOf(const TSettings& settings);
// "Graph" (also empty) or "SMTP", any letter case; raises a German Exception otherwise.
TMailRoute ParseMailRoute(const std::string& text);
// "STARTTLS" (also empty), "TLS" or "Keine", any letter case; raises otherwise.
TSmtpSecurity ParseSmtpSecurity(const std::string& text);
// The SMTP account of the values: sender and reply-to fall back to Graph's, the port
// to the security's default.
TSmtpAccount SmtpAccountOf(const TMailTransportValues& values);
// The sender mails go out from on the chosen route.
std::string EffectiveSender(const TMailTransportValues& values);

// The service addresses of Microsoft 365 the settings name (empty: Microsoft's own).
TGraphEndpoints MailEndpoints(const TSettings& settings);

// A mailer for the values; the settings give the Microsoft 365 service addresses. Raises
// EGraphError "E-Mail-Einstellungen unvollständig (…)." or "SMTP-Einstellungen
// unvollständig (…)." naming what is missing, and the protected secret's problem when
// this account cannot read it. No network access.
std::unique_ptr<IMailer> CreateMailer(const TMailTransportValues& values, const TSettings& settings);
// One mailer for a whole run of the settings (its access token is reused).
std::unique_ptr<IMailer> CreateMailer(const TSettings& settings);

// Mailing is set up on the chosen route: Graph with tenant, client id, secret and
// sender; SMTP with server, sender, a password for a user, and for Exchange Online
// without user the app registration of Graph. The one rule for the window, the mailer
// of a run and the settings check.
bool IsMailSetUp(const TMailTransportValues& values);
bool IsMailSetUp(const TSettings& settings);

// For the mail settings dialog (values as typed, saved or not). Raises with the
// engine's message, secrets masked.
// Signs in (Graph: token; SMTP: connection, encryption and sign-in, no mail) and returns
// the message for the user.
std::string TestMailTransport(const TMailTransportValues& values, const TSettings& settings);
// Sends one mail to `recipient` (addresses separated by ";" or ",") and returns the
// message for the user. No blind copies but the SMTP "KopieAn".
std::string SendTestMail(const TMailTransportValues& values, const TSettings& settings, const std::string& recipient,
                         const std::string& subject, const std::string& htmlBody,
                         const std::vector<TMailAttachment>& images);

// "/geheimnis": which secret the settings file wants, stored protected. The SMTP
// password when [Versand] Weg=SMTP and [SMTP] Benutzer is set, else the Graph client
// secret. Returns the name of what was stored ("SMTP-Passwort", "Client-Secret").
std::string MailSecretName(const std::string& settingsFile);
std::string StoreMailSecret(const std::string& settingsFile, const std::string& secret);

} // namespace velkaro
