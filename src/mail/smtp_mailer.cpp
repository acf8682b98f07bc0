#include "mail/smtp_mailer.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "mail/mime_message.h"
#include "mail/secret_mask.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr size_t kMaxReplyText = 300;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

bool IsCommand(std::string_view verb) {
    for (const char* known : {"EHLO", "HELO", "STARTTLS", "AUTH", "MAIL", "RCPT", "DATA", "NOOP", "QUIT", "RSET"})
        if (verb == known) return true;
    return false;
}

// What the server said and what was sent, as far as the outcome needs it. Only the
// verbs of the commands are kept: the lines of a sign-in carry credentials.
struct TTrace {
    std::string Partial;   // lines of a reply not yet complete
    int LastCode = 0;      // code of the last complete reply
    std::string LastReply; // its text, lines joined by blanks
    int Replies = 0;
    std::string LastCommand;
    const std::string* Message = nullptr;
    size_t Offset = 0;
    bool DataDone = false;   // every byte of the mail went to the library
    int RepliesAtDataEnd = -1;

    void Reply(std::string_view chunk) {
        for (const std::string& raw : Split(chunk, '\n')) {
            const std::string line = TrimRight(raw);
            if (line.empty()) continue;
            const bool coded = line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3, ::isdigit);
            const std::string text = line.size() > 4 ? line.substr(4) : std::string();
            Partial += (Partial.empty() ? "" : " ") + Trim(text);
            if (coded && (line.size() == 3 || line[3] == ' ')) {
                LastCode = std::stoi(line.substr(0, 3));
                LastReply = std::to_string(LastCode) + (Partial.empty() ? "" : " " + Partial);
                Partial.clear();
                ++Replies;
            }
        }
    }
    void Sent(std::string_view chunk) {
        const std::string line = Trim(chunk);
        const std::string verb = UpperAscii(line.substr(0, std::min(line.find(' '), line.size())));
        if (IsCommand(verb)) LastCommand = verb;
    }
    bool AnsweredAfterData() const { return DataDone && Replies > RepliesAtDataEnd; }
};

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* trace = static_cast<TTrace*>(user);
    if (type == CURLINFO_HEADER_IN) trace->Reply(std::string_view(data, size));
    if (type == CURLINFO_HEADER_OUT) trace->Sent(std::string_view(data, size));
    return 0;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
    auto* trace = static_cast<TTrace*>(user);
    const size_t left = trace->Message->size() - trace->Offset;
    const size_t n = std::min(left, size * count);
    std::copy_n(trace->Message->data() + trace->Offset, n, buffer);
    trace->Offset += n;
    // libcurl asks no more once it has the announced size: the last byte is the end.
    if (trace->Offset == trace->Message->size() && !trace->DataDone) {
        trace->DataDone = true;
        trace->RepliesAtDataEnd = trace->Replies;
    }
    return n;
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

std::string Cut(const std::string& text) {
    const std::string clean = SingleLine(SanitizeUtf8(text));
    return clean.size() <= kMaxReplyText ? clean : Utf8Left(clean, kMaxReplyText) + "\u2026";
}

std::string Bracketed(const std::string& host) {
    return host.find(':') != std::string::npos && !host.starts_with("[") ? "[" + host + "]" : host;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "localhost";
    std::string host = name;
    for (const char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return "localhost";
    return host;
}

bool IsTlsFailure(CURLcode rc) {
    switch (rc) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return true;
        default: return false;
    }
}

// Each address once, in order, compared by its bare address without regard to case.
void AddRecipients(std::vector<std::string>& to, const std::vector<std::string>& more) {
    for (const std::string& a : more) {
        const std::string bare = MailboxAddress(a);
        if (bare.empty()) continue;
        if (std::none_of(to.begin(), to.end(), [&](const std::string& t) { return SameText(t, bare); }))
            to.push_back(bare);
    }
}

} // namespace

int DefaultSmtpPort(TSmtpSecurity security) {
    switch (security) {
        case ssTls: return 465;
        case ssNone: return 25;
        case ssStartTls: break;
    }
    return 587;
}

std::string SmtpSecurityName(TSmtpSecurity security) {
    switch (security) {
        case ssTls: return "TLS";
        case ssNone: return "Keine";
        case ssStartTls: break;
    }
    return "STARTTLS";
}

bool IsExchangeOnline(const std::string& server) { return SameText(Trim(server), "smtp.office365.com"); }

bool IsLoopbackHost(const std::string& host) {
    const std::string h = LowerAscii(Trim(host));
    return h == "127.0.0.1" || h == "::1" || h == "[::1]" || h == "localhost";
}

std::string CombinedCaBundle(const std::string& systemBundle, const std::string& extraFile) {
    std::string extra;
    try {
        extra = ReadFileBytes(extraFile);
    } catch (const std::exception& e) {
        throw EGraphError("Die Zertifikatsdatei \"" + extraFile + "\" ([SMTP] CAFile) ist nicht lesbar: " + e.what());
    }
    if (extra.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
        throw EGraphError("Die Zertifikatsdatei \"" + extraFile +
                          "\" ([SMTP] CAFile) enthält kein Zertifikat im PEM-Format (\"-----BEGIN CERTIFICATE-----\").");
    std::string bundle;
    if (!systemBundle.empty() && FileExists(systemBundle)) bundle = ReadFileBytes(systemBundle);
    if (!bundle.empty() && bundle.back() != '\n') bundle += '\n';
    return bundle + extra;
}

TSmtpMailer::TSmtpMailer(const TSmtpAccount& account, TTokenSource oauthToken)
    : FAccount(account), FOAuthToken(std::move(oauthToken)) {
    FAccount.Server = Trim(FAccount.Server);
    FAccount.User = Trim(FAccount.User);
    FAccount.Sender = Trim(FAccount.Sender);
    FAccount.CaFile = Trim(FAccount.CaFile);
    std::vector<std::string> missing;
    if (FAccount.Server.empty()) missing.push_back("Server");
    if (FAccount.Sender.empty()) missing.push_back("Absender");
    if (!FAccount.User.empty() && FAccount.Password.empty()) missing.push_back("Passwort");
    if (!missing.empty()) throw EGraphError("SMTP-Einstellungen unvollständig (" + Join(missing, ", ") + ").");
    if (FAccount.Server.find_first_of("/@ \t") != std::string::npos)
        throw EGraphError("Ungültiger SMTP-Server \"" + FAccount.Server +
                          "\": erwartet wird nur der Name oder die Adresse, etwa mail.firma.de.");
    if (FAccount.Port == 0) FAccount.Port = DefaultSmtpPort(FAccount.Security);
    if (FAccount.Port < 1 || FAccount.Port > 65535)
        throw EGraphError("Ungültiger SMTP-Port " + std::to_string(FAccount.Port) + " (erlaubt: 1 bis 65535).");
    if (FAccount.Security == ssNone && !IsLoopbackHost(FAccount.Server))
        throw EGraphError("Sicherheit=Keine ist nur für einen Mailserver auf diesem Rechner erlaubt (127.0.0.1, ::1, "
                          "localhost), nicht für \"" + FAccount.Server +
                          "\": Rechnungen und Passwörter gehen nie unverschlüsselt über das Netz. Bitte STARTTLS "
                          "oder TLS wählen.");
    if (!FAccount.CaFile.empty()) {
        GlobalInit();
        // The bundle libcurl would use on its own; the CA file comes on top of it.
        std::string systemBundle;
        std::unique_ptr<CURL, CurlDeleter> probe(curl_easy_init());
        char* path = nullptr;
        if (probe && curl_easy_getinfo(probe.get(), CURLINFO_CAINFO, &path) == CURLE_OK && path) systemBundle = path;
        FCaBundle = CombinedCaBundle(systemBundle, FAccount.CaFile);
    }
    FSleep = [](std::chrono::seconds s) { std::this_thread::sleep_for(s); };
}

std::string SmtpOrigin(const TSmtpAccount& account) {
    return Bracketed(Trim(account.Server)) + ":" +
           std::to_string(account.Port != 0 ? account.Port : DefaultSmtpPort(account.Security));
}

std::string TSmtpMailer::Origin() const { return SmtpOrigin(FAccount); }

std::string TSmtpMailer::Describe() const { return FAccount.Sender + " über " + Origin(); }

std::string TSmtpMailer::Masked(const std::string& text) const {
    return MaskSecrets(text, {FAccount.Password, FToken});
}

TSmtpMailer::TExchangeResult TSmtpMailer::Exchange(const std::string* message,
                                                   const std::vector<std::string>& recipients) {
    GlobalInit();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) throw EGraphError("SMTP-Client konnte nicht angelegt werden.");
    CURL* c = curl.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TTrace trace;
    trace.Message = message;

    const bool xoauth = FAccount.User.empty() && FOAuthToken;
    if (xoauth) FToken = FOAuthToken();

    const std::string url = std::string(FAccount.Security == ssTls ? "smtps://" : "smtp://") + Origin() + "/" +
                            LocalHostName();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USE_SSL, FAccount.Security == ssNone ? static_cast<long>(CURLUSESSL_NONE)
                                                                     : static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_blob blob{};
    if (!FCaBundle.empty()) {
        blob.data = FCaBundle.data();
        blob.len = FCaBundle.size();
        blob.flags = CURL_BLOB_NOCOPY;
        curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
    }
    if (xoauth) {
        curl_easy_setopt(c, CURLOPT_USERNAME, FAccount.Sender.c_str());
        curl_easy_setopt(c, CURLOPT_XOAUTH2_BEARER, FToken.c_str());
        curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2");
    } else if (!FAccount.User.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, FAccount.User.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, FAccount.Password.c_str());
    }

    // Every step is bounded: the connection, each answer, and the whole exchange.
    const long responseSeconds = std::max(1L, FTimeouts.ResponseMs / 1000);
    const long long bytes = message ? static_cast<long long>(message->size()) : 0;
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, FTimeouts.ConnectMs);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, responseSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, responseSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(FTimeouts.ConnectMs + 8 * FTimeouts.ResponseMs +
                                                              bytes / 10));

    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);

    const std::string from = "<" + MailboxAddress(FAccount.Sender) + ">";
    curl_slist* raw = nullptr;
    for (const std::string& r : recipients) raw = curl_slist_append(raw, ("<" + r + ">").c_str());
    std::unique_ptr<curl_slist, SlistDeleter> rcpt(raw);
    if (message) {
        curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(c, CURLOPT_READDATA, &trace);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message->size()));
    } else {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "NOOP");
    }

    const CURLcode rc = curl_easy_perform(c);
    const std::string detail =
        Masked(Cut(errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(rc))));
    const std::string reply = Masked(Cut(trace.LastReply));
    const std::string origin = Origin();
    using K = TExchangeResult;

    // After the end of the mail only the server's answer to it counts.
    if (trace.DataDone) {
        if (trace.AnsweredAfterData()) {
            if (trace.LastCode / 100 == 2) return {K::xkDone, {}};
            if (trace.LastCode / 100 == 4)
                return {K::xkTemporary, "Der Mailserver " + origin + " hat die Mail vorübergehend abgelehnt: " + reply};
            return {K::xkRefused, "Der Mailserver " + origin + " hat die Mail abgelehnt: " + reply + "."};
        }
        if (rc != CURLE_OK)
            return {K::xkUnknown,
                    "Ergebnis unbekannt: die Verbindung zum Mailserver " + origin +
                        " brach ab, nachdem die Mail vollständig übergeben war und bevor er ihren Empfang bestätigte (" +
                        detail + "). Die Mail ist vielleicht angekommen; bitte beim Empfänger oder im Postfach " +
                        FAccount.Sender + " nachsehen, bevor sie erneut versendet wird."};
    }
    if (rc == CURLE_OK) return {K::xkDone, {}};
    if (rc == CURLE_LOGIN_DENIED || (trace.LastCommand == "AUTH" && trace.LastCode >= 400)) {
        const std::string who = xoauth ? FAccount.Sender + " (OAuth-Token der App aus [Graph])" : FAccount.User;
        return {K::xkSignInRefused, "Anmeldung am Mailserver " + origin + " als \"" + who + "\" fehlgeschlagen: " +
                                        (trace.LastCode >= 400 ? reply : detail) +
                                        ". Benutzer und Passwort prüfen (Passwort neu setzen: velkaro /geheimnis)."};
    }
    if (IsTlsFailure(rc))
        return {K::xkFailed, "Sichere Verbindung zum Mailserver " + origin +
                                 " fehlgeschlagen: sein Zertifikat ist nicht vertrauenswürdig oder passt nicht zum "
                                 "Servernamen (" + detail +
                                 "). Für eine eigene Zertifizierungsstelle ihre PEM-Datei unter [SMTP] CAFile angeben; "
                                 "ohne Prüfung wird nicht gesendet."};
    if (rc == CURLE_USE_SSL_FAILED)
        return {K::xkFailed, "Der Mailserver " + origin +
                                 " bietet keine Verschlüsselung mit STARTTLS an; unverschlüsselt wird nicht gesendet. "
                                 "Für Port 465 Sicherheit=TLS wählen."};
    if (trace.LastCode >= 400 && trace.LastCode < 500)
        return {K::xkTemporary, "Der Mailserver " + origin + " lehnt vorübergehend ab: " + reply};
    if (trace.LastCode >= 500) {
        const std::string what = trace.LastCommand == "RCPT"   ? "einen Empfänger"
                                 : trace.LastCommand == "MAIL" ? "den Absender " + FAccount.Sender
                                 : message                     ? std::string("die Mail")
                                                               : std::string("die Verbindung");
        return {K::xkRefused, "Der Mailserver " + origin + " hat " + what + " abgelehnt: " + reply + "."};
    }
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return {K::xkFailed, "Den Mailserver " + FAccount.Server + " gibt es nicht (Name nicht gefunden; " +
                                     detail + ")."};
        case CURLE_COULDNT_CONNECT:
            return {K::xkFailed, "Keine Verbindung zum Mailserver " + origin + " möglich (" + detail + ")."};
        case CURLE_OPERATION_TIMEDOUT:
            return {K::xkFailed, "Zeitüberschreitung: der Mailserver " + origin + " hat nicht rechtzeitig geantwortet (" +
                                     detail + ")."};
        default:
            return {K::xkFailed, "Die Verbindung zum Mailserver " + origin + " ist fehlgeschlagen (" + detail + ")."};
    }
}

void TSmtpMailer::WithRetries(const std::string* message, const std::vector<std::string>& recipients) {
    for (int attempt = 0;; ++attempt) {
        const TExchangeResult result = Exchange(message, recipients);
        switch (result.Kind) {
            case TExchangeResult::xkDone: return;
            case TExchangeResult::xkUnknown: throw EMailOutcomeUnknown(result.Message);
            case TExchangeResult::xkTemporary:
                if (attempt < kSmtpMaxRetries) {
                    const int wait = kSmtpRetryWaitSeconds[attempt];
                    if (FLog)
                        FLog("  " + result.Message + " – neuer Versuch in " + std::to_string(wait) + " s (" +
                             std::to_string(attempt + 1) + " von " + std::to_string(kSmtpMaxRetries) + ").");
                    FSleep(std::chrono::seconds(wait));
                    continue;
                }
                throw EGraphError(result.Message + " – auch nach " + std::to_string(kSmtpMaxRetries) +
                                  " weiteren Versuchen; bitte später erneut versenden.");
            default: throw EGraphError(result.Message);
        }
    }
}

void TSmtpMailer::SignIn() { WithRetries(nullptr, {}); }

void TSmtpMailer::SendEx(const std::vector<std::string>& ToList, const std::vector<std::string>& CcList,
                         const std::vector<std::string>& BccList, const std::string& ReplyTo,
                         const std::string& Subject, const std::string& HtmlBody,
                         const std::vector<TMailAttachment>& Attachments, const std::string& MailId) {
    if (ToList.empty()) throw EGraphError("Kein Empfänger angegeben.");
    TMimeMail mail;
    mail.From = FAccount.Sender;
    mail.To = ToList;
    mail.Cc = CcList;
    mail.ReplyTo = SplitAddresses(Trim(FAccount.ReplyTo).empty() ? ReplyTo : FAccount.ReplyTo);
    mail.Subject = Subject;
    mail.HtmlBody = HtmlBody;
    mail.Attachments = Attachments;
    mail.Date = std::chrono::system_clock::now();
    mail.MailId = MailId;
    const std::string message = BuildMimeMessage(mail);

    std::vector<std::string> recipients;
    AddRecipients(recipients, ToList);
    AddRecipients(recipients, CcList);
    AddRecipients(recipients, BccList);
    AddRecipients(recipients, SplitAddresses(FAccount.Bcc));
    WithRetries(&message, recipients);
}

TSentMailLookup TSmtpMailer::FindSentMail(const std::string&) {
    throw EGraphError("Ein SMTP-Server führt keine „Gesendeten Elemente“, in denen sich die Mail suchen ließe.");
}

} // namespace velkaro
