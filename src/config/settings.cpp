#include "config/settings.h"

#include <functional>
#include <optional>

#include "config/graph_secret.h"
#include "config/mappings.h"
#include "layoutmodel/layout_model.h"
#include "platform/base64.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_edit.h"
#include "platform/ini_file.h"
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

TXRechnungUse ReadXRechnungUse(const std::string& value) {
    const std::string v = Trim(value);
    if (v.empty() || SameText(v, "Leitweg")) return xuLeitweg;
    if (SameText(v, "Immer")) return xuAlways;
    if (SameText(v, "Nie")) return xuNever;
    throw Exception("Unbekannter Wert „" + v +
                    "“ für [XRechnung] Verwenden= in der INI (erlaubt: Leitweg, Immer, Nie).");
}

// No built-in SQL password: a known default password would only invite its use.
constexpr const char* kDefaultPassword = "";
constexpr const char* kDefaultIccFile = "/usr/share/color/icc/sRGB.icc";

// The plain-text body in its stored form ("\n" for each line break).
constexpr const char* kDefaultMailText =
    "Sehr geehrte Damen und Herren,\\n\\nanbei erhalten Sie unsere {Belegart} {Nr} vom {Datum} über {Betrag} "
    "{Waehrung}.\\nZahlungsziel: {Faellig}\\n\\nDie {Belegart} enthält die strukturierten Daten nach ZUGFeRD 2 / "
    "Factur-X (EN 16931).\\n\\nMit freundlichen Grüßen\\n{Firma}\\n{Strasse}, {PLZ} {Ort}\\nTel. {Telefon}";

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
    WriteFileBytes(fileName, editor.Text(), kSettingsFileMode);
}

} // namespace

TSettings::TSettings(const std::string& fileName) : FFileName(fileName) {
    Load();
    LayoutFile = ChangeFileExt(FFileName, ".layout.ini");
    MailLogFile = ChangeFileExt(FFileName, ".versand.csv");
    MailBodyHtmlFile = ChangeFileExt(FFileName, ".mailtext.htm");
    MailSignatureFile = ChangeFileExt(FFileName, ".signatur.htm");
    MailImageDir = ExtractFilePath(FFileName) + "Signatur";
    MailBodyHtml = FileExists(MailBodyHtmlFile) ? LoadHtmlFile(MailBodyHtmlFile) : kDefaultBodyHtml;
    MailSignatureHtml = FileExists(MailSignatureFile) ? LoadHtmlFile(MailSignatureFile) : kDefaultSignatureHtml;
    Layout = std::make_unique<TLayout>();
    Layout->LoadFromFile(LayoutFile, LogoFile);
}

TSettings::~TSettings() = default;

void TSettings::Load() {
    // Read first: a file that cannot be read leaves every value as it was.
    std::string hint;
    std::optional<TIniFile> file = ReadSettingsFile(FFileName, &hint);
    const bool fileExists = file.has_value();
    TIniFile ini = file ? std::move(*file) : TIniFile();
    LoadHint = hint;

    FillBuiltInUnits(FUnits);
    FillBuiltInCountries(FCountries);

    Server = ini.ReadString(kDatabase, "Server", "localhost");
    Database = ini.ReadString(kDatabase, "Datenbank", "Cronus");
    User = ini.ReadString(kDatabase, "Benutzer", "sa");
    Password = ini.ReadString(kDatabase, "Passwort", kDefaultPassword);
    Provider = ini.ReadString(kDatabase, "Provider", "SQLOLEDB.1");
    OdbcDriver = ini.ReadString(kDatabase, "Treiber", "");
    Encryption = ini.ReadString(kDatabase, "Verschluesselung", "");
    TrustServerCertificate = ini.ReadString(kDatabase, "ServerZertifikatVertrauen", "");
    ConnectOptions = ini.ReadString(kDatabase, "Verbindungsoptionen", "");
    Login = ini.ReadString(kDatabase, "Anmeldung", "");
    Company = ini.ReadString(kDatabase, "Mandant", "");
    MaxRows = ini.ReadInteger(kDatabase, "MaxZeilen", 1000);
    Skin = ini.ReadString(kAppearance, "Skin", "Dunkel");
    OutDir = ini.ReadString(kOutput, "Ordner", ExtractFilePath(FFileName) + "Ausgabe");
    FileNamePattern = ini.ReadString(kOutput, "Dateiname", "Rechnung_%s");
    CreditMemoFileNamePattern = ini.ReadString(kOutput, "DateinameGutschrift", "Rechnungskorrektur_%s");
    SaveXml = ini.ReadBool(kOutput, "XmlZusaetzlich", false);
    OpenPdf = ini.ReadBool(kOutput, "PdfOeffnen", false);
    FontName = ini.ReadString(kPdf, "Schrift", "Arial");
    IccFile = ini.ReadString(kPdf, "ICCProfil", kDefaultIccFile);
    LogoFile = ini.ReadString(kPdf, "Logo", "");
    LogoWidthMm = ini.ReadFloat(kPdf, "LogoBreiteMm", 50);
    WholeFonts = ini.ReadBool(kPdf, "SchriftenVollstaendig", false);
    IBAN = ini.ReadString(kSeller, "IBAN", "");
    BIC = ini.ReadString(kSeller, "BIC", "");
    BankName = ini.ReadString(kSeller, "Bank", "");
    AccountHolder = ini.ReadString(kSeller, "Kontoinhaber", "");
    CreditorID = ini.ReadString(kSeller, "GlaeubigerID", "");
    ContactName = ini.ReadString(kSeller, "Ansprechpartner", "");
    Phone = ini.ReadString(kSeller, "Telefon", "");
    Email = ini.ReadString(kSeller, "EMail", "");
    Web = ini.ReadString(kSeller, "Web", "");
    Management = ini.ReadString(kSeller, "Geschaeftsfuehrer", "");
    CommercialRegister = ini.ReadString(kSeller, "Handelsregister", "");
    DirectDebitMethods = ini.ReadString(kSeller, "LastschriftZahlungsformen", "EINZUG");
    GraphTenant = ini.ReadString(kGraph, "MandantenID", "");
    GraphClientId = ini.ReadString(kGraph, "ClientID", "");
    GraphSecret = ReadProtectedSecret(ini.ReadString(kGraph, "ClientSecretGeschuetzt", ""), GraphSecretProblem);
    GraphSecretWarning.clear();
    const std::string plainSecret = ini.ReadString(kGraph, "ClientSecret", "");
    MailSender = ini.ReadString(kGraph, "Absender", "");
    MailBcc = ini.ReadString(kGraph, "Bcc", "");
    MailReplyTo = ini.ReadString(kGraph, "Antwortadresse", "");
    MailTestRecipient = ini.ReadString(kGraph, "Testempfaenger", "");
    MailSaveToSent = ini.ReadBool(kGraph, "InGesendeteSpeichern", true);
    MailAttachXml = ini.ReadBool(kGraph, "XmlZusaetzlichAnhaengen", false);
    MailSubject = ini.ReadString(kGraph, "Betreff", "{Belegart} {Nr} vom {Datum}");
    MailBody = MailTextFromStored(ini.ReadString(kGraph, "Text", kDefaultMailText));
    MailHtml = SameText(ini.ReadString(kGraph, "Format", "HTML"), "HTML");
    GraphLoginServer = ini.ReadString(kGraph, "AnmeldeServer", "https://login.microsoftonline.com");
    GraphServer = ini.ReadString(kGraph, "GraphServer", "https://graph.microsoft.com");
    GraphCaBundle = ini.ReadString(kGraph, "CaZertifikate", "");
    CmnmDocType = ini.ReadString(kEmail, "CMNMBelegart", "VK-RECHNUNG");
    CmnmSourceType = ini.ReadInteger(kEmail, "CMNMHerkunftsart", 1);
    DefaultCountry = ini.ReadString(kTax, "StandardLand", "DE");
    ExemptReasonE = ini.ReadString(kTax, "BefreiungsgrundE", "Steuerfreie Leistung");

    // Relative paths mean "next to the settings file", whatever folder the program was
    // started in (a scheduled job starts in the home folder).
    const std::string settingsFolder = ExtractFilePath(AbsolutePath(FFileName));
    FOutDirAsWritten = OutDir;
    OutDir = PathBeside(settingsFolder, OutDir);
    FOutDirAsRead = OutDir;
    IccFile = PathBeside(settingsFolder, IccFile);
    LogoFile = PathBeside(settingsFolder, LogoFile);
    GraphCaBundle = PathBeside(settingsFolder, GraphCaBundle);

    ReadMapSection(ini, "Einheiten", FUnits, false);
    ReadMapSection(ini, "Laender", FCountries, false);
    FCurrencies.Clear();
    ReadMapSection(ini, "Waehrungen", FCurrencies, false);
    SendDespiteFindings = ini.ReadBool("Pruefung", "TrotzBefundVersenden", false);
    XRechnungUse = ReadXRechnungUse(ini.ReadString("XRechnung", "Verwenden", "Leitweg"));
    FLeitweg.Clear();
    ReadMapSection(ini, "Leitweg", FLeitweg, true);

    // An older file holds the secret in plain text: use it and store it protected.
    // When that fails the file stays as it is and the plain value is used.
    if (!plainSecret.empty()) {
        GraphSecret = plainSecret;
        GraphSecretProblem.clear();
        try {
            StoreGraphSecret(FFileName, plainSecret);
        } catch (const std::exception& e) {
            GraphSecretWarning = PlainSecretWarning(FFileName, e.what());
        }
    }

    // First run: leave a file with the values most users need to fill in. A folder
    // that cannot be written is no reason to stop; the defaults serve.
    if (!fileExists) {
        TIniFile first;
        first.WriteString(kDatabase, "Server", Server);
        first.WriteString(kDatabase, "Datenbank", Database);
        first.WriteString(kDatabase, "Benutzer", User);
        first.WriteString(kDatabase, "Passwort", Password);
        first.WriteString(kDatabase, "Provider", Provider);
        first.WriteString(kDatabase, "Mandant", Company);
        first.WriteString(kOutput, "Ordner", FOutDirAsWritten);
        first.WriteString(kPdf, "Schrift", FontName);
        first.WriteString(kPdf, "Logo", LogoFile);
        first.WriteString(kSeller, "IBAN", IBAN);
        first.WriteString(kSeller, "BIC", BIC);
        first.WriteString(kSeller, "Bank", BankName);
        first.WriteString(kSeller, "GlaeubigerID", CreditorID);
        first.WriteString(kSeller, "Geschaeftsfuehrer", Management);
        first.WriteString(kSeller, "Handelsregister", CommercialRegister);
        try {
            WriteFileBytes(FFileName, first.ToText(), kSettingsFileMode);
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
    });
}

void TSettings::SaveMailSettings() {
    const std::string protectedSecret = ProtectSecret(GraphSecret);
    EditSettingsFile(FFileName, [&](TIniTextEditor& file) {
        file.Set(kGraph, "MandantenID", GraphTenant);
        file.Set(kGraph, "ClientID", GraphClientId);
        file.Set(kGraph, "ClientSecretGeschuetzt", protectedSecret);
        file.Delete(kGraph, "ClientSecret");
        file.Set(kGraph, "Absender", MailSender);
        file.Set(kGraph, "Bcc", MailBcc);
        file.Set(kGraph, "Antwortadresse", MailReplyTo);
        file.Set(kGraph, "Testempfaenger", MailTestRecipient);
        file.SetBool(kGraph, "InGesendeteSpeichern", MailSaveToSent);
        file.SetBool(kGraph, "XmlZusaetzlichAnhaengen", MailAttachXml);
        file.Set(kGraph, "Betreff", MailSubject);
        file.Set(kGraph, "Text", MailTextToStored(MailBody));
        file.Set(kGraph, "Format", MailHtml ? "HTML" : "Text");
    });
    WriteTextFile(MailBodyHtmlFile, MailBodyHtml);
    WriteTextFile(MailSignatureFile, MailSignatureHtml);
}

std::string TSettings::ConnectionString() const {
    std::string result = "Provider=" + Provider + ";Data Source=" + Server + ";Initial Catalog=" + Database;
    if (!User.empty())
        result += ";User ID=" + User + ";Password=" + Password + ";Persist Security Info=True";
    else
        result += ";Integrated Security=SSPI";
    return result;
}

void StoreGraphSecret(const std::string& settingsFile, const std::string& secret) {
    const std::string protectedSecret = TSettings::ProtectSecret(secret);
    EditSettingsFile(settingsFile, [&](TIniTextEditor& file) {
        file.Set(kGraph, "ClientSecretGeschuetzt", protectedSecret);
        file.Delete(kGraph, "ClientSecret");
    });
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
