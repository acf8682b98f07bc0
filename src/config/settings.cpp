#include "config/settings.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "config/graph_secret.h"
#include "config/mappings.h"
#include "config/settings_check.h"
#include "config/settings_keys.h"
#include "config/settings_template.h"
#include "config/state_folder.h"
#include "layoutmodel/layout_model.h"
#include "platform/base64.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/html_file.h"
#include "platform/ini_edit.h"
#include "platform/ini_file.h"
#include "platform/number_parse.h"
#include "platform/secret_store.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kDatabase = "Datenbank";
constexpr const char* kAppearance = "Darstellung";
constexpr const char* kOutput = "Ausgabe";
constexpr const char* kPdf = "PDF";
constexpr const char* kSeller = "Verkaeufer";
constexpr const char* kGraph = "Graph";
constexpr const char* kEmail = "EMail";
constexpr const char* kTax = "Steuer";
constexpr const char* kRoute = "Versand";
constexpr const char* kSmtp = "SMTP";

TXRechnungUse ReadXRechnungUse(const std::string& value) {
    const std::string v = Trim(value);
    if (v.empty() || SameText(v, "Leitweg")) return xuLeitweg;
    if (SameText(v, "Immer")) return xuAlways;
    if (SameText(v, "Nie")) return xuNever;
    throw Exception("Unbekannter Wert „" + v +
                    "“ für [XRechnung] Verwenden= in der INI (erlaubt: Leitweg, Immer, Nie).");
}


constexpr const char* kDefaultBodyHtml =
    "<p>Sehr geehrte Damen und Herren,</p>\r\n"
    "<p>anbei erhalten Sie unsere {Belegart} <b>{Nr}</b> vom {Datum} über <b>{Betrag} {Waehrung}</b>.<br>\r\n"
    "Zahlungsziel: {Faellig}</p>\r\n"
    "<p>Die {Belegart} enthält die strukturierten Rechnungsdaten nach ZUGFeRD 2 / Factur-X (EN 16931) und kann "
    "direkt in Ihre Buchhaltung übernommen werden.</p>\r\n"
    "<p>Mit freundlichen Grüßen</p>\r\n"
    "{Signatur}";

constexpr const char* kDefaultSignatureHtml =
    "<p style=\"font-family:Arial,sans-serif;font-size:9pt;color:#444444\">\r\n"
    "<b style=\"font-size:10pt;color:#000000\">{Firma}</b><br>\r\n"
    "{Strasse} \u00B7 {PLZ} {Ort}<br>\r\n"
    "Tel. {Telefon}<br>\r\n"
    "<a href=\"mailto:{EMail}\">{EMail}</a> \u00B7 <a href=\"https://{Web}\">{Web}</a><br>\r\n"
    "USt-IdNr. {UStId} \u00B7 St.-Nr. {StNr}<br>\r\n"
    "Geschäftsführung: {Geschaeftsfuehrer} \u00B7 {Handelsregister}\r\n"
    "</p>";

// The stored "Text" value holds every line break as backslash + "n".
std::string MailTextFromStored(const std::string& stored) { return ReplaceAll(stored, "\\n", "\r\n"); }

std::string MailTextToStored(const std::string& body) {
    // Lone LF or CR (text pasted from elsewhere) count as line breaks as well, so none
    // of them can reach the one-line INI value.
    std::string crlf = ReplaceAll(ToCrLf(body), "\r\n", "\n");
    return ReplaceAll(ReplaceAll(crlf, "\r", "\n"), "\n", "\\n");
}

// The settings file as the reader sees it: only keys of the table of known keys
// (settings_keys.h), each with its table default unless the caller computes one. A key
// missing from the table is a programming error: the check would call it unknown.
class TKnownIni {
public:
    explicit TKnownIni(const TIniFile& ini) : FIni(ini) {}

    // The text as written, whatever the kind of the key.
    std::string String(std::string_view section, std::string_view key) const {
        return FIni.ReadString(section, key, Known(section, key).Default);
    }
    std::string String(std::string_view section, std::string_view key, const std::string& def) const {
        Known(section, key);
        return FIni.ReadString(section, key, def);
    }
    int32_t Integer(std::string_view section, std::string_view key) const {
        const TSettingKey& k = Known(section, key, TValueKind::vkInteger);
        return FIni.ReadInteger(section, key, std::stoi(k.Default));
    }
    bool Bool(std::string_view section, std::string_view key) const {
        const TSettingKey& k = Known(section, key, TValueKind::vkBool);
        return FIni.ReadBool(section, key, std::string_view(k.Default) == "1");
    }
    double Float(std::string_view section, std::string_view key) const {
        const TSettingKey& k = Known(section, key, TValueKind::vkDecimal);
        return FIni.ReadFloat(section, key, ParseDecimalPoint(k.Default).value_or(0));
    }

private:
    // `kind`: the kind a typed reader needs; nullopt for the text as written.
    static const TSettingKey& Known(std::string_view section, std::string_view key,
                                    std::optional<TValueKind> kind = std::nullopt) {
        const TSettingKey* k = FindSettingKey(section, key);
        if (!k || (kind && k->Kind != *kind))
            throw Exception("Interner Fehler: [" + std::string(section) + "] " + std::string(key) +
                            " fehlt in der Tabelle der Einstellungen oder hat dort eine andere Art.");
        return *k;
    }
    const TIniFile& FIni;
};

// Fills a code map from its section, in file order; names and values trimmed, an
// empty value removes the entry.
void ReadMapSection(const TIniFile& ini, std::string_view section, TNameValueList& map, bool skipEmptyNames) {
    const TIniFile::Section* s = ini.FindSection(section);
    if (!s) return;
    TNameValueList::Entries lines;
    lines.reserve(s->Keys.size());
    for (const auto& [rawName, rawValue] : s->Keys) {
        std::string name = Trim(rawName);
        if (skipEmptyNames && name.empty()) continue;
        lines.emplace_back(std::move(name), Trim(rawValue));
    }
    map.SetValues(lines);
}

// The settings file's text as it is now; nullopt when there is none yet. A folder in
// its place counts as none (saving fails later with its own message). A file that exists
// but cannot be read raises: it must never be replaced unread.
std::optional<THandEditedText> ReadSettingsText(const std::string& fileName) {
    switch (PathKind(fileName)) {
    case TPathKind::pkMissing:
    case TPathKind::pkFolder:
        return std::nullopt;
    case TPathKind::pkOther:
        throw Exception("Datei \"" + fileName + "\" ist keine gewöhnliche Datei und kann nicht gelesen werden.");
    case TPathKind::pkFile:
        break;
    }
    return ReadHandEditedTextFile(fileName);
}

std::optional<TIniFile> ReadSettingsFile(const std::string& fileName, std::string* hint) {
    std::optional<THandEditedText> file = ReadSettingsText(fileName);
    if (!file) return std::nullopt;
    if (hint && file->ReadAsCp1252)
        *hint = "Die Einstellungsdatei \"" + fileName +
                "\" ist nicht in UTF-8 gespeichert und wurde als Windows-1252 gelesen.";
    return TIniFile::FromText(file->Text);
}

// The settings file may hold the database password and the mail account: a new one is
// readable by its owner only. A replaced file keeps its mode.
constexpr unsigned kSettingsFileMode = 0600;

// Saves a few keys into the settings file as it is now, changing nothing else of what
// the user wrote (comments, order, unknown keys, repeated sections, BOM, line ends).
void EditSettingsFile(const std::string& fileName, const std::function<void(TIniTextEditor&)>& change) {
    std::string text;
    if (std::optional<THandEditedText> file = ReadSettingsText(fileName))
        // A file read as Windows-1252 is saved in UTF-8, so it gets the mark that tells
        // editors so.
        text = (file->HadBom || file->ReadAsCp1252 ? std::string(kUtf8Bom) : std::string()) + file->Text;
    TIniTextEditor editor(text);
    change(editor);
    WriteFileBytes(fileName, editor.Text(), kSettingsFileMode, lmFollowLink);
}

} // namespace

TSettings::TSettings(const std::string& fileName, TSettingsAccess access) : FFileName(fileName), FAccess(access) {
    Load();
    LayoutFile = ChangeFileExt(FFileName, ".layout.ini");
    MailLogFile = StateFilePath({StateDir, StateHint}, FFileName, ".versand.csv");
    MailBodyHtmlFile = ChangeFileExt(FFileName, ".mailtext.htm");
    MailSignatureFile = ChangeFileExt(FFileName, ".signatur.htm");
    MailImageDir = ExtractFilePath(FFileName) + "Signatur";
    MailBodyHtml = FileExists(MailBodyHtmlFile) ? LoadHtmlFile(MailBodyHtmlFile) : kDefaultBodyHtml;
    MailSignatureHtml = FileExists(MailSignatureFile) ? LoadHtmlFile(MailSignatureFile) : kDefaultSignatureHtml;
    Layout = std::make_unique<TLayout>();
    LayoutFindings = Layout->LoadFromFile(LayoutFile, LogoFile);
    Findings.insert(Findings.end(), LayoutFindings.begin(), LayoutFindings.end());
}

TSettings::~TSettings() = default;

void TSettings::Load() {
    // Read first: a file that cannot be read leaves every value as it was.
    std::string hint;
    std::optional<TIniFile> file = ReadSettingsFile(FFileName, &hint);
    const bool fileExists = file.has_value();
    TIniFile ini = file ? std::move(*file) : TIniFile();
    LoadHint = hint;
    FirstRunNote.clear();

    FillBuiltInUnits(FUnits);
    FillBuiltInCountries(FCountries);

    const TKnownIni known(ini);
    Server = known.String(kDatabase, "Server");
    Database = known.String(kDatabase, "Datenbank");
    User = known.String(kDatabase, "Benutzer");
    // No built-in SQL password (the table's default is empty): a known default password
    // would only invite its use.
    Password = known.String(kDatabase, "Passwort");
    // The dialog stores it protected; a plain one written by hand wins.
    if (Password.empty())
        Password = ReadProtectedSecret(known.String(kDatabase, "PasswortGeschuetzt"), PasswordProblem,
                                       "Das gespeicherte Passwort ([Datenbank] PasswortGeschuetzt)",
                                       " Abhilfe: unter Einstellungen › Datenbankverbindung… das Passwort neu eingeben "
                                       "und speichern.");
    else
        PasswordProblem.clear();
    Provider = known.String(kDatabase, "Provider");
    OdbcDriver = known.String(kDatabase, "Treiber");
    Encryption = known.String(kDatabase, "Verschluesselung");
    TrustServerCertificate = known.String(kDatabase, "ServerZertifikatVertrauen");
    ConnectOptions = known.String(kDatabase, "Verbindungsoptionen");
    Login = known.String(kDatabase, "Anmeldung");
    Company = known.String(kDatabase, "Mandant");
    MaxRows = known.Integer(kDatabase, "MaxZeilen");
    Skin = known.String(kAppearance, "Skin");
    OnlyUnsent = known.Bool(kAppearance, "NurNichtVersendete");
    OnlyWithFindings = known.Bool(kAppearance, "NurMitBefund");
    const TStateFolder state = ResolveStateFolder(FFileName, known.String(kOutput, "Datenordner"));
    StateDir = state.Folder;
    StateHint = state.Hint;
    OutDir = known.String(kOutput, "Ordner", StateDir + "Ausgabe");
    FileNamePattern = known.String(kOutput, "Dateiname");
    CreditMemoFileNamePattern = known.String(kOutput, "DateinameGutschrift");
    SaveXml = known.Bool(kOutput, "XmlZusaetzlich");
    OpenPdf = known.Bool(kOutput, "PdfOeffnen");
    FontName = known.String(kPdf, "Schrift");
    IccFile = known.String(kPdf, "ICCProfil");
    LogoFile = known.String(kPdf, "Logo");
    LogoWidthMm = known.Float(kPdf, "LogoBreiteMm");
    WholeFonts = known.Bool(kPdf, "SchriftenVollstaendig");
    MaxInvoiceLines = std::max(1, known.Integer(kPdf, "MaxPositionen"));
    IBAN = known.String(kSeller, "IBAN");
    BIC = known.String(kSeller, "BIC");
    BankName = known.String(kSeller, "Bank");
    AccountHolder = known.String(kSeller, "Kontoinhaber");
    CreditorID = known.String(kSeller, "GlaeubigerID");
    ContactName = known.String(kSeller, "Ansprechpartner");
    Phone = known.String(kSeller, "Telefon");
    Email = known.String(kSeller, "EMail");
    Web = known.String(kSeller, "Web");
    Management = known.String(kSeller, "Geschaeftsfuehrer");
    CommercialRegister = known.String(kSeller, "Handelsregister");
    DirectDebitMethods = known.String(kSeller, "LastschriftZahlungsformen");
    GraphTenant = known.String(kGraph, "MandantenID");
    GraphClientId = known.String(kGraph, "ClientID");
    GraphSecret = ReadProtectedSecret(known.String(kGraph, "ClientSecretGeschuetzt"), GraphSecretProblem);
    GraphSecretWarning.clear();
    const std::string plainSecret = known.String(kGraph, "ClientSecret");
    MailSender = known.String(kGraph, "Absender");
    MailBcc = known.String(kGraph, "Bcc");
    MailReplyTo = known.String(kGraph, "Antwortadresse");
    MailTestRecipient = known.String(kGraph, "Testempfaenger");
    MailSaveToSent = known.Bool(kGraph, "InGesendeteSpeichern");
    MailAttachXml = known.Bool(kGraph, "XmlZusaetzlichAnhaengen");
    MailSubject = known.String(kGraph, "Betreff");
    MailBody = MailTextFromStored(known.String(kGraph, "Text"));
    MailHtml = SameText(known.String(kGraph, "Format"), "HTML");
    GraphLoginServer = known.String(kGraph, "AnmeldeServer");
    GraphServer = known.String(kGraph, "GraphServer");
    GraphCaBundle = known.String(kGraph, "CaZertifikate");
    MailRoute = known.String(kRoute, "Weg");
    SmtpServer = known.String(kSmtp, "Server");
    SmtpPort = known.Integer(kSmtp, "Port");
    SmtpSecurity = known.String(kSmtp, "Sicherheit");
    SmtpUser = known.String(kSmtp, "Benutzer");
    SmtpPassword = ReadProtectedSecret(known.String(kSmtp, "PasswortGeschuetzt"), SmtpPasswordProblem,
                                       kSmtpPasswordName);
    SmtpPasswordWarning.clear();
    const std::string plainPassword = known.String(kSmtp, "Passwort");
    SmtpSender = known.String(kSmtp, "Absender");
    SmtpReplyTo = known.String(kSmtp, "Antwortadresse");
    SmtpCaFile = known.String(kSmtp, "CAFile");
    SmtpBcc = known.String(kSmtp, "KopieAn");
    CmnmDocType = known.String(kEmail, "CMNMBelegart");
    CmnmSourceType = known.Integer(kEmail, "CMNMHerkunftsart");
    DefaultCountry = known.String(kTax, "StandardLand");
    ExemptReasonE = known.String(kTax, "BefreiungsgrundE");

    // Relative paths mean "next to the settings file", whatever folder the program was
    // started in (a scheduled job starts in the home folder).
    const std::string settingsFolder = ExtractFilePath(AbsolutePath(FFileName));
    Findings.clear();
    for (const TSettingsFinding& finding : CheckSettings(ini, settingsFolder)) Findings.push_back(finding.Text);
    FOutDirAsWritten = OutDir;
    OutDir = PathBeside(settingsFolder, OutDir);
    FOutDirAsRead = OutDir;
    IccFile = PathBeside(settingsFolder, IccFile);
    LogoFile = PathBeside(settingsFolder, LogoFile);
    GraphCaBundle = PathBeside(settingsFolder, GraphCaBundle);
    SmtpCaFile = PathBeside(settingsFolder, SmtpCaFile);

    ReadMapSection(ini, "Einheiten", FUnits, false);
    ReadMapSection(ini, "Laender", FCountries, false);
    FCurrencies.Clear();
    ReadMapSection(ini, "Waehrungen", FCurrencies, false);
    SendDespiteFindings = known.Bool("Pruefung", "TrotzBefundVersenden");
    XRechnungUse = ReadXRechnungUse(known.String("XRechnung", "Verwenden"));
    FLeitweg.Clear();
    ReadMapSection(ini, "Leitweg", FLeitweg, true);

    // An older file holds the secret in plain text: use it and store it protected.
    // When that fails the file stays as it is and the plain value is used.
    if (!plainSecret.empty()) {
        GraphSecret = plainSecret;
        GraphSecretProblem.clear();
        if (FAccess == TSettingsAccess::saReadWrite) try {
            StoreGraphSecret(FFileName, plainSecret);
        } catch (const std::exception& e) {
            GraphSecretWarning = PlainSecretWarning(FFileName, e.what());
        }
    }
    if (!plainPassword.empty()) {
        SmtpPassword = plainPassword;
        SmtpPasswordProblem.clear();
        if (FAccess == TSettingsAccess::saReadWrite) try {
            StoreSmtpPassword(FFileName, plainPassword);
        } catch (const std::exception& e) {
            SmtpPasswordWarning = PlainSecretWarning(FFileName, e.what(), kSmtpPlainPasswordName);
        }
    }

    // First run: leave a template that explains every key, with the values most users
    // need to fill in as its only active lines. A folder that cannot be written is no
    // reason to stop; the defaults serve. The account's own settings folder
    // (~/.config/velkaro) is created for it.
    if (!fileExists && FAccess == TSettingsAccess::saReadWrite) {
        const std::string text = FirstRunTemplateText();
        try {
            const std::optional<std::string> own = UserConfigDir();
            if (const std::string folder = ExtractFilePath(FFileName);
                own && folder == IncludeTrailingPathDelimiter(*own) && !DirectoryExists(folder))
                ForceDirectories(folder);
            WriteFileBytes(FFileName, text, kSettingsFileMode, lmFollowLink);
            FirstRunNote = "Einstellungsdatei " + FFileName + " neu angelegt – bitte Abschnitt [Datenbank] eintragen";
        } catch (const std::exception&) {
        }
    }
}

void TSettings::SaveUserValues() {
    EditSettingsFile(FFileName, [&](TIniTextEditor& file) {
        file.Set(kDatabase, "Mandant", Company);
        // A folder the user did not change keeps the form they wrote (relative stays relative).
        file.Set(kOutput, "Ordner", OutDir == FOutDirAsRead ? FOutDirAsWritten : OutDir);
        file.SetBool(kOutput, "XmlZusaetzlich", SaveXml);
        file.SetBool(kOutput, "PdfOeffnen", OpenPdf);
        file.Set(kAppearance, "Skin", Skin);
        file.SetBool(kAppearance, "NurNichtVersendete", OnlyUnsent);
        file.SetBool(kAppearance, "NurMitBefund", OnlyWithFindings);
    });
}

void TSettings::SaveMailSettings(unsigned which) {
    const auto named = [which](TMailSetting setting) { return (which & setting) != 0; };
    // Protected first: a secret that cannot be protected leaves the file as it is.
    const std::string protectedSecret = named(msSecret) ? ProtectSecret(GraphSecret) : std::string();
    if (which & ~(msBodyHtml | msSignature))
        EditSettingsFile(FFileName, [&](TIniTextEditor& file) {
            const auto set = [&](TMailSetting setting, const char* key, const std::string& value) {
                if (named(setting)) file.Set(kGraph, key, value);
            };
            set(msTenant, "MandantenID", GraphTenant);
            set(msClientId, "ClientID", GraphClientId);
            if (named(msSecret)) {
                file.Set(kGraph, "ClientSecretGeschuetzt", protectedSecret);
                file.Delete(kGraph, "ClientSecret");
            }
            set(msSender, "Absender", MailSender);
            set(msBcc, "Bcc", MailBcc);
            set(msReplyTo, "Antwortadresse", MailReplyTo);
            set(msTestRecipient, "Testempfaenger", MailTestRecipient);
            if (named(msSaveToSent)) file.SetBool(kGraph, "InGesendeteSpeichern", MailSaveToSent);
            if (named(msAttachXml)) file.SetBool(kGraph, "XmlZusaetzlichAnhaengen", MailAttachXml);
            set(msSubject, "Betreff", MailSubject);
            set(msBody, "Text", MailTextToStored(MailBody));
            set(msHtml, "Format", MailHtml ? "HTML" : "Text");
        });
    // The secret now in the file is this account's own.
    if (named(msSecret)) GraphSecretProblem.clear();
    if (named(msBodyHtml)) WriteTextFile(MailBodyHtmlFile, MailBodyHtml, lmFollowLink);
    if (named(msSignature)) WriteTextFile(MailSignatureFile, MailSignatureHtml, lmFollowLink);
}

std::string TSettings::ConnectionString() const {
    std::string result = "Provider=" + Provider + ";Data Source=" + Server + ";Initial Catalog=" + Database;
    if (!User.empty())
        result += ";User ID=" + User + ";Password=" + Password + ";Persist Security Info=True";
    else
        result += ";Integrated Security=SSPI";
    return result;
}

TDatabaseSettings DatabaseSettingsOf(const TSettings& s) {
    return {s.Provider, s.Server, s.Database, s.User, s.Password, s.OdbcDriver, s.Encryption, s.TrustServerCertificate,
            s.Login};
}

void ApplyDatabaseSettings(TSettings& s, const TDatabaseSettings& v) {
    s.Provider = v.Provider;
    s.Server = v.Server;
    s.Database = v.Database;
    s.User = v.User;
    s.Password = v.Password;
    s.OdbcDriver = v.OdbcDriver;
    s.Encryption = v.Encryption;
    s.TrustServerCertificate = v.TrustServerCertificate;
    s.Login = v.Login;
}

void StoreDatabaseSettings(TSettings& settings, const TDatabaseSettings& values) {
    const std::string protectedPassword = TSettings::ProtectSecret(values.Password);
    EditSettingsFile(settings.FFileName, [&](TIniTextEditor& file) {
        file.Set(kDatabase, "Provider", values.Provider);
        file.Set(kDatabase, "Server", values.Server);
        file.Set(kDatabase, "Datenbank", values.Database);
        file.Set(kDatabase, "Treiber", values.OdbcDriver);
        file.Set(kDatabase, "Anmeldung", values.Login);
        file.Set(kDatabase, "Benutzer", values.User);
        file.Set(kDatabase, "PasswortGeschuetzt", protectedPassword);
        file.Delete(kDatabase, "Passwort");
        file.Set(kDatabase, "Verschluesselung", values.Encryption);
        file.Set(kDatabase, "ServerZertifikatVertrauen", values.TrustServerCertificate);
    });
    ApplyDatabaseSettings(settings, values);
    settings.PasswordProblem.clear();
}

namespace {

void StoreProtected(const std::string& settingsFile, const char* section, const char* protectedKey,
                    const char* plainKey, const std::string& secret) {
    const std::string protectedSecret = TSettings::ProtectSecret(secret);
    EditSettingsFile(settingsFile, [&](TIniTextEditor& file) {
        file.Set(section, protectedKey, protectedSecret);
        file.Delete(section, plainKey);
    });
}

} // namespace

void StoreGraphSecret(const std::string& settingsFile, const std::string& secret) {
    StoreProtected(settingsFile, kGraph, "ClientSecretGeschuetzt", "ClientSecret", secret);
}

void StoreSmtpPassword(const std::string& settingsFile, const std::string& password) {
    StoreProtected(settingsFile, kSmtp, "PasswortGeschuetzt", "Passwort", password);
}

std::string TSettings::ProtectSecret(const std::string& text) {
    if (text.empty()) return {};
    return Base64Encode(ProtectData(text));
}

std::string TSettings::UnprotectSecret(const std::string& text) {
    std::string problem;
    return ReadProtectedSecret(text, problem);
}

} // namespace velkaro
