#pragma once
// The program's whole configuration, read from one INI file (see settings.cpp for
// the reading and writing rules). Every layer reads the public fields.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/name_value_list.h"

namespace velkaro {

enum TXRechnungUse { xuLeitweg, xuAlways, xuNever };

class TLayout;

// How a settings object treats its file: a check only reads it, never creates the
// first-run file nor stores a plain secret protected.
enum class TSettingsAccess { saReadWrite, saReadOnly };

// The values of the mail settings dialog, one bit each, for saving only those the user
// changed (SaveMailSettings).
enum TMailSetting : unsigned {
    msTenant = 1u << 0,
    msClientId = 1u << 1,
    msSecret = 1u << 2,
    msSender = 1u << 3,
    msReplyTo = 1u << 4,
    msBcc = 1u << 5,
    msTestRecipient = 1u << 6,
    msSaveToSent = 1u << 7,
    msAttachXml = 1u << 8,
    msSubject = 1u << 9,
    msBody = 1u << 10,
    msHtml = 1u << 11,
    msBodyHtml = 1u << 12,   // the HTML text's file
    msSignature = 1u << 13,  // the signature's file
};
inline constexpr unsigned kAllMailSettings = (1u << 14) - 1;

class TSettings {
public:
    explicit TSettings(const std::string& fileName, TSettingsAccess access = TSettingsAccess::saReadWrite);
    ~TSettings();
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    std::string FFileName;
    TNameValueList FUnits;      // NAV unit code -> UN/ECE Rec. 20 code
    TNameValueList FCountries;  // NAV country code -> ISO 3166-1 alpha-2
    TNameValueList FLeitweg;    // customer number -> Leitweg-ID
    std::string FOutDirAsWritten; // [Ausgabe] Ordner as the file says it (may be relative)
    std::string FOutDirAsRead;    // the same resolved beside the settings file
    TNameValueList FCurrencies; // NAV currency code -> ISO 4217 (only the section "Waehrungen")

    std::string Server;
    std::string Database;
    std::string User;
    std::string Password;
    std::string Provider;
    // SQL Server through ODBC: the driver entry (empty: the installed one), encryption
    // ("aus", "ja", "streng"), trust in the server's certificate ("0", "1"), further
    // attributes, and the login ("Windows", "SQL"; empty: Windows when User is empty).
    // Kept as written; the connection checks them.
    std::string OdbcDriver;
    std::string Encryption;
    std::string TrustServerCertificate;
    std::string ConnectOptions;
    std::string Login;
    // Why "PasswortGeschuetzt" could not be read by this account, with the remedy; empty
    // when there is none or it was read (Password is then empty).
    std::string PasswordProblem;
    std::string Company;
    int32_t MaxRows = 1000;
    std::string OutDir;
    // Lock file, batch log and sent-mail log (state_folder.h), with a trailing "/"; and
    // the hint line when it is the account's state folder instead of the settings folder.
    std::string StateDir;
    std::string StateHint;
    std::string FileNamePattern;            // invoices
    std::string CreditMemoFileNamePattern;  // credit memos ("Rechnungskorrektur_%s")
    bool SaveXml = false;
    bool OpenPdf = false;
    std::string FontName;
    std::string IccFile;
    std::string LogoFile;
    double LogoWidthMm = 50;
    bool WholeFonts = false; // [PDF] SchriftenVollstaendig: embed the complete font files
    // [PDF] MaxPositionen: an invoice with more lines is refused before it is printed,
    // which bounds the memory and time of one document.
    int32_t MaxInvoiceLines = 10000;
    std::string IBAN, BIC, BankName, AccountHolder, CreditorID, ContactName, Phone, Email, Web, Management,
        CommercialRegister;
    std::string DirectDebitMethods;
    std::string CmnmDocType;
    int32_t CmnmSourceType = 1;
    std::string GraphTenant;
    std::string GraphClientId;
    std::string GraphSecret;
    // Why a protected secret in the file could not be read by this account, with the
    // remedy; empty when there is none or it was read.
    std::string GraphSecretProblem;
    // Set when the secret stays in plain text in the file because it could not be
    // protected; every run logs it.
    std::string GraphSecretWarning;
    std::string MailSender;
    std::string MailBcc;
    std::string MailReplyTo;
    std::string MailTestRecipient;
    std::string MailSubject;
    std::string MailBody;
    bool MailHtml = true;
    std::string MailBodyHtml;
    std::string MailSignatureHtml;
    std::string MailBodyHtmlFile;
    std::string MailSignatureFile;
    std::string MailImageDir;
    bool MailSaveToSent = true;
    bool MailAttachXml = false;
    std::string MailLogFile;
    std::string DefaultCountry;
    std::string ExemptReasonE;
    // Mail an invoice although the EN 16931 check found rule violations (section
    // "Pruefung", key "TrotzBefundVersenden"); each such mail is logged with a hint.
    bool SendDespiteFindings = false;
    // Which invoices follow XRechnung (section "XRechnung", key "Verwenden"): "Leitweg"
    // those of customers with a Leitweg-ID, "Immer" all, "Nie" none.
    TXRechnungUse XRechnungUse = xuLeitweg;
    std::string Skin;
    // The invoice list's filters of the main window ([Darstellung] NurNichtVersendete,
    // NurMitBefund); user values, saved with SaveUserValues.
    bool OnlyUnsent = false;
    bool OnlyWithFindings = false;
    std::unique_ptr<TLayout> Layout;  // owned
    std::string LayoutFile;
    // Service base addresses of the Microsoft identity platform and Microsoft Graph
    // (section "Graph", keys "AnmeldeServer" and "GraphServer").
    std::string GraphLoginServer;
    std::string GraphServer;
    // Optional PEM file of additionally trusted certificate authorities, for a company's
    // TLS-inspecting proxy (section "Graph", key "CaZertifikate").
    std::string GraphCaBundle;
    // How the mails go out (section "Versand", key "Weg"): "Graph" (also when empty) or
    // "SMTP", as written.
    std::string MailRoute;
    // The SMTP server (section "SMTP"): its name, its port (0: by the security), the
    // security as written ("STARTTLS", "TLS", "Keine"; empty: STARTTLS), the sign-in, the
    // sender and reply-to addresses (empty: those of "Graph"), an additional CA file
    // (resolved beside the settings file) and the blind copy of every mail.
    std::string SmtpServer;
    int32_t SmtpPort = 0;
    std::string SmtpSecurity;
    std::string SmtpUser;
    std::string SmtpPassword;
    // As GraphSecretProblem and GraphSecretWarning, for the SMTP password.
    std::string SmtpPasswordProblem;
    std::string SmtpPasswordWarning;
    std::string SmtpSender;
    std::string SmtpReplyTo;
    std::string SmtpCaFile;
    std::string SmtpBcc;
    // A hint about the last Load for the caller's log, e.g. that the file was read as
    // Windows-1252; empty when there is none.
    std::string LoadHint;
    // What the settings check (settings_check.h) found in the file as read by the last
    // Load: unknown names with the nearest known one ("Zeile 12: unbekannter Abschnitt
    // [Verkäufer] – gemeint ist [Verkaeufer]?"), repeated sections and keys, values the
    // reader does not take as meant. For the run's log and stderr.
    std::vector<std::string> Findings;
    // Those of the layout file alone (values outside their bounds, a file not read); they
    // stand in Findings as well.
    std::vector<std::string> LayoutFindings;
    // Set when Load created the missing file (first run): "Einstellungsdatei <Pfad> neu
    // angelegt – bitte Abschnitt [Datenbank] eintragen".
    std::string FirstRunNote;

    void Load();
    void SaveUserValues();
    // Writes the mail settings named by `which` (TMailSetting bits): their keys in place
    // (the secret protected), the HTML text and the signature into their files. Every
    // other key, line and file stays as it is; nothing named, nothing written.
    void SaveMailSettings(unsigned which = kAllMailSettings);
    std::string ConnectionString() const;

    // Code mappings (config/mappings.cpp).
    std::string MapCountry(const std::string& navCode) const;
    // The ISO code the section "Waehrungen" gives for the code (trimmed, any letter case),
    // else the code unchanged.
    std::string MapCurrency(const std::string& navCode) const;
    // The international code from NAV's unit table wins over the mapping of the NAV code.
    std::string MapUnit(const std::string& navCode, const std::string& isoCode) const;
    std::string LeitwegFor(const std::string& customerNo) const;
    bool IsDirectDebit(const std::string& payMethodCode) const;

    static std::string ProtectSecret(const std::string& text);
    static std::string UnprotectSecret(const std::string& text);

private:
    TSettingsAccess FAccess;
};

// The [Datenbank] keys of the connection, as the database dialog edits them.
struct TDatabaseSettings {
    std::string Provider, Server, Database, User, Password, OdbcDriver, Encryption, TrustServerCertificate, Login;
};

TDatabaseSettings DatabaseSettingsOf(const TSettings& settings);
void ApplyDatabaseSettings(TSettings& settings, const TDatabaseSettings& values);

// Saves the connection into the settings file in place (comments and everything else
// stay), the password protected for the current account as "PasswortGeschuetzt" (a
// plain "Passwort" is removed), then takes the values into `settings`. Raises a German
// velkaro::Exception when the password cannot be protected or the file cannot be
// written; the file and `settings` are then unchanged.
void StoreDatabaseSettings(TSettings& settings, const TDatabaseSettings& values);

// Stores the client secret protected for the current account into the settings file
// (in place; a plain "ClientSecret" is removed). Raises a German velkaro::Exception when
// it cannot be protected or the file cannot be written; the file is then unchanged.
void StoreGraphSecret(const std::string& settingsFile, const std::string& secret);
// The same for the password of the SMTP server ("PasswortGeschuetzt" in "SMTP"; a plain
// "Passwort" there is removed).
void StoreSmtpPassword(const std::string& settingsFile, const std::string& password);

} // namespace velkaro
