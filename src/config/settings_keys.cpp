#include "config/settings_keys.h"

#include "platform/text.h"

namespace velkaro {

namespace {

using enum TValueKind;

constexpr TSettingSection kSections[] = {
    {"Datenbank", false, "Verbindung zur NAV-Datenbank (Microsoft SQL Server über ODBC)"},
    {"Ausgabe", false, "Wohin die PDF- und XML-Dateien, das Protokoll und das Versandprotokoll geschrieben werden"},
    {"PDF", false, "Gestaltung der PDF-Rechnung"},
    {"Verkaeufer", false, "Angaben zum eigenen Unternehmen, die NAV nicht enthält oder die Vorrang haben"},
    {"Darstellung", false, "Aussehen des Hauptfensters"},
    {"Versand", false, "Weg der E-Mails: Microsoft 365 (Abschnitt [Graph]) oder ein SMTP-Server (Abschnitt [SMTP])"},
    {"Graph", false, "E-Mail-Versand über Microsoft 365 (Microsoft Graph, Anwendungsberechtigung); Betreff, Text, "
                     "Bcc und Testempfänger gelten für beide Wege"},
    {"SMTP", false, "E-Mail-Versand über einen SMTP-Server (eigener Exchange-Server, anderer Anbieter)"},
    {"EMail", false, "Suche der Rechnungs-E-Mail-Adresse in NAV"},
    {"Steuer", false, "Steuerliche Vorgaben"},
    {"Pruefung", false, "Verhalten bei Befunden der EN-16931-Prüfung"},
    {"XRechnung", false, "Welche Rechnungen als XRechnung erstellt werden"},
    {"Einheiten", true, "Zuordnung NAV-Einheitencode = UN/ECE-Rec.-20-Code, z. B. PAK=XPK (ergänzt die eingebaute Liste)"},
    {"Laender", true, "Zuordnung NAV-Ländercode = ISO-3166-Code, z. B. D=DE (ergänzt die eingebaute Liste)"},
    {"Waehrungen", true, "Zuordnung NAV-Währungscode = ISO-4217-Code, z. B. SFR=CHF"},
    {"Leitweg", true, "Leitweg-ID je Debitor: Debitorennummer = Leitweg-ID, z. B. D20000=05315000-KREIS01-55"},
    {"Hersteller", false, "Angaben im Fenster „Über Velkaro“"},
};

constexpr const char* kDefaultMailText =
    "Sehr geehrte Damen und Herren,\\n\\nanbei erhalten Sie unsere {Belegart} {Nr} vom {Datum} über {Betrag} "
    "{Waehrung}.\\nZahlungsziel: {Faellig}\\n\\nDie {Belegart} enthält die strukturierten Daten nach ZUGFeRD 2 / "
    "Factur-X (EN 16931).\\n\\nMit freundlichen Grüßen\\n{Firma}\\n{Strasse}, {PLZ} {Ort}\\nTel. {Telefon}";

constexpr TSettingKey kKeys[] = {
    {"Datenbank", "Server", vkText, "localhost", "SQL-Server, auch Server,Port oder Server\\Instanz"},
    {"Datenbank", "Datenbank", vkText, "Cronus", "Name der NAV-Datenbank (bei Provider=SQLite die Datenbankdatei)"},
    {"Datenbank", "Benutzer", vkText, "sa", "SQL-Anmeldename; leer: Windows-Anmeldung (Kerberos)"},
    {"Datenbank", "Passwort", vkText, "", "Passwort der SQL-Anmeldung"},
    {"Datenbank", "PasswortGeschuetzt", vkText, "",
     "Passwort der SQL-Anmeldung, geschützt gespeichert vom Dialog „Datenbankverbindung…“ (nur dieser Benutzer kann es "
     "lesen); Passwort= hat Vorrang"},
    {"Datenbank", "Provider", vkText, "SQLOLEDB.1", "Datenbankzugang; SQLite für eine Datenbankdatei, sonst SQL Server über ODBC"},
    {"Datenbank", "Mandant", vkText, "", "NAV-Mandant; leer: der erste der Datenbank"},
    {"Datenbank", "MaxZeilen", vkInteger, "1000", "höchstens so viele Treffer zeigt die Suche im Hauptfenster"},
    {"Datenbank", "Treiber", vkText, "", "Name des ODBC-Treibers (odbcinst -q -d); leer: wird gesucht"},
    {"Datenbank", "Verschluesselung", vkChoice, "", "Verschlüsselung der Verbindung: aus, ja oder streng",
     "aus|ja|streng"},
    {"Datenbank", "ServerZertifikatVertrauen", vkBool, "",
     "1: dem Zertifikat des Servers ohne Prüfung vertrauen, 0: es prüfen; leer: wie der Treiber es vorgibt"},
    {"Datenbank", "Verbindungsoptionen", vkText, "", "weitere Angaben für den ODBC-Treiber, unverändert angehängt"},
    {"Datenbank", "Anmeldung", vkChoice, "", "Windows (Kerberos) oder SQL; leer: nach Benutzer", "Windows|SQL"},

    {"Ausgabe", "Ordner", vkNewFolder, "", "Ausgabeordner (wird angelegt); Vorgabe: Ordner Ausgabe im Datenordner"},
    {"Ausgabe", "Datenordner", vkNewFolder, "",
     "Ordner für Sperrdatei, Protokoll und Versandprotokoll (wird angelegt); Vorgabe: der Ordner dieser Datei, "
     "wenn das Konto dort schreiben darf, sonst ~/.local/state/velkaro"},
    {"Ausgabe", "Dateiname", vkText, "Rechnung_%s", "Dateiname ohne Endung; %s steht für die Rechnungsnummer"},
    {"Ausgabe", "DateinameGutschrift", vkText, "Rechnungskorrektur_%s",
     "Dateiname einer Rechnungskorrektur (NAV-Gutschrift) ohne Endung; %s steht für ihre Nummer"},
    {"Ausgabe", "XmlZusaetzlich", vkBool, "0", "1: die XML-Datei neben die PDF-Datei schreiben"},
    {"Ausgabe", "PdfOeffnen", vkBool, "0", "1: die erstellte PDF-Datei danach öffnen (Hauptfenster)"},

    {"PDF", "Schrift", vkText, "Arial", "Schriftfamilie der Rechnung (fehlt sie, dient eine ähnliche)"},
    {"PDF", "ICCProfil", vkFile, "/usr/share/color/icc/sRGB.icc", "sRGB-Farbprofil für PDF/A (Paket icc-profiles-free)"},
    {"PDF", "Logo", vkFile, "", "Bilddatei des Logos (PNG, JPEG …)"},
    {"PDF", "LogoBreiteMm", vkDecimal, "50", "Breite des Logos in Millimetern, mit Punkt: 42.5"},
    {"PDF", "SchriftenVollstaendig", vkBool, "0", "1: die Schriftdateien vollständig einbetten statt nur der benutzten Zeichen"},
    {"PDF", "MaxPositionen", vkInteger, "10000", "höchstens so viele Zeilen darf eine Rechnung haben; eine längere wird mit Fehler nicht erzeugt"},

    {"Verkaeufer", "IBAN", vkText, "", "IBAN für die Zahlung (Vorrang vor NAV)"},
    {"Verkaeufer", "BIC", vkText, "", "BIC der Bank"},
    {"Verkaeufer", "Bank", vkText, "", "Name der Bank"},
    {"Verkaeufer", "Kontoinhaber", vkText, "", "Kontoinhaber, wenn nicht die Firma"},
    {"Verkaeufer", "GlaeubigerID", vkText, "", "Gläubiger-Identifikationsnummer für SEPA-Lastschriften"},
    {"Verkaeufer", "Ansprechpartner", vkText, "", "Ansprechpartner für Rechnungen (XRechnung verlangt ihn)"},
    {"Verkaeufer", "Telefon", vkText, "", "Telefon des Ansprechpartners"},
    {"Verkaeufer", "EMail", vkText, "", "E-Mail-Adresse des Ansprechpartners"},
    {"Verkaeufer", "Web", vkText, "", "Internetadresse"},
    {"Verkaeufer", "Geschaeftsfuehrer", vkText, "", "Geschäftsführung"},
    {"Verkaeufer", "Handelsregister", vkText, "", "Registergericht und Nummer"},
    {"Verkaeufer", "LastschriftZahlungsformen", vkText, "EINZUG", "NAV-Zahlungsformen, die SEPA-Lastschrift bedeuten, durch Komma getrennt"},

    {"Darstellung", "Skin", vkChoice, "Dunkel", "Hell oder Dunkel", "Hell|Dunkel"},
    {"Darstellung", "NurNichtVersendete", vkBool, "0", "1: die Liste zeigt nur Belege ohne erfolgreichen Versand"},
    {"Darstellung", "NurMitBefund", vkBool, "0", "1: die Liste zeigt nur Belege mit Befund der EN-16931-Prüfung"},

    {"Graph", "MandantenID", vkText, "", "Verzeichnis-ID (Tenant) von Microsoft Entra ID"},
    {"Graph", "ClientID", vkText, "", "Anwendungs-ID (Client-ID) der registrierten Anwendung"},
    {"Graph", "ClientSecretGeschuetzt", vkText, "", "das Client-Secret, geschützt für das Konto, das es gespeichert hat"},
    {"Graph", "ClientSecret", vkText, "", "das Client-Secret im Klartext; wird beim nächsten Lauf geschützt gespeichert"},
    {"Graph", "Absender", vkText, "", "Postfach, aus dem die Rechnungen gesendet werden"},
    {"Graph", "Bcc", vkText, "", "Blindkopie an diese Adressen (mit ; getrennt)"},
    {"Graph", "Antwortadresse", vkText, "", "Antworten gehen an diese Adressen"},
    {"Graph", "Testempfaenger", vkText, "", "gesetzt: alle Rechnungs-E-Mails gehen nur an diese Adressen (Testbetrieb)"},
    {"Graph", "InGesendeteSpeichern", vkBool, "1", "1: gesendete E-Mails in „Gesendete Elemente“ ablegen"},
    {"Graph", "XmlZusaetzlichAnhaengen", vkBool, "0", "1: die XML-Datei zusätzlich anhängen"},
    {"Graph", "Betreff", vkText, "{Belegart} {Nr} vom {Datum}", "Betreff mit Platzhaltern"},
    {"Graph", "Text", vkText, kDefaultMailText, "Text der E-Mail im Textformat, \\n für einen Zeilenumbruch"},
    {"Graph", "Format", vkChoice, "HTML", "HTML (Vorlagen .mailtext.htm und .signatur.htm) oder Text", "HTML|Text"},
    {"Graph", "AnmeldeServer", vkText, "https://login.microsoftonline.com", "Anmeldedienst von Microsoft"},
    {"Graph", "GraphServer", vkText, "https://graph.microsoft.com", "Microsoft-Graph-Dienst"},
    {"Graph", "CaZertifikate", vkFile, "", "PEM-Datei weiterer vertrauenswürdiger Zertifizierungsstellen (Proxy der Firma)"},

    {"Versand", "Weg", vkChoice, "Graph", "Graph (Microsoft 365) oder SMTP", "Graph|SMTP"},

    {"SMTP", "Server", vkText, "", "Name des SMTP-Servers, z. B. mail.firma.de oder smtp.office365.com"},
    {"SMTP", "Port", vkInteger, "0", "Port; 0: nach Sicherheit (STARTTLS 587, TLS 465, Keine 25)"},
    {"SMTP", "Sicherheit", vkChoice, "STARTTLS",
     "STARTTLS, TLS (verschlüsselt ab Verbindungsbeginn) oder Keine (nur zu 127.0.0.1, ::1 und localhost)",
     "STARTTLS|TLS|Keine"},
    {"SMTP", "Benutzer", vkText, "",
     "Anmeldename; leer: ohne Anmeldung, bei Exchange Online (smtp.office365.com) Anmeldung mit der App aus "
     "[Graph] (OAuth, XOAUTH2)"},
    {"SMTP", "PasswortGeschuetzt", vkText, "",
     "das Passwort, geschützt für das Konto, das es gespeichert hat (velkaro /geheimnis)"},
    {"SMTP", "Passwort", vkText, "", "das Passwort im Klartext; wird beim nächsten Lauf geschützt gespeichert"},
    {"SMTP", "Absender", vkText, "", "Absenderadresse; leer: [Graph] Absender"},
    {"SMTP", "Antwortadresse", vkText, "", "Antworten gehen an diese Adressen; leer: [Graph] Antwortadresse"},
    {"SMTP", "CAFile", vkFile, "",
     "PEM-Datei einer eigenen Zertifizierungsstelle; die des Systems gelten immer, geprüft wird immer"},
    {"SMTP", "KopieAn", vkText, "", "Blindkopie jeder Mail an diese Adressen, etwa ein Archivpostfach"},

    {"EMail", "CMNMBelegart", vkText, "VK-RECHNUNG", "Belegart der Empfängertabelle in NAV"},
    {"EMail", "CMNMHerkunftsart", vkInteger, "1", "Herkunftsart der Empfängertabelle in NAV"},

    {"Steuer", "StandardLand", vkText, "DE", "Ländercode, wenn NAV keinen enthält"},
    {"Steuer", "BefreiungsgrundE", vkText, "Steuerfreie Leistung", "Befreiungsgrund für steuerfreie Positionen (Kategorie E)"},

    {"Pruefung", "TrotzBefundVersenden", vkBool, "0", "1: Rechnungen mit Befunden der Prüfung trotzdem versenden"},

    {"XRechnung", "Verwenden", vkChoice, "Leitweg", "Leitweg (Debitoren mit Leitweg-ID), Immer oder Nie",
     "Leitweg|Immer|Nie"},

    {"Hersteller", "Name", vkText, "Velkaro Softwareentwicklung", "Name des Herstellers oder Betreuers"},
    {"Hersteller", "Kurzname", vkText, "Velkaro", "Kurzname"},
    {"Hersteller", "Anschrift", vkText, "", "Anschrift"},
    {"Hersteller", "Telefon", vkText, "", "Telefon"},
    {"Hersteller", "Fax", vkText, "", "Fax"},
    {"Hersteller", "EMail", vkText, "support@velkaro.de", "E-Mail-Adresse für Fragen"},
    {"Hersteller", "Web", vkText, "www.velkaro.de", "Internetadresse"},
    {"Hersteller", "Anleitung", vkText, "", "Internetadresse der Anleitung"},
};

} // namespace

std::span<const TSettingSection> KnownSettingSections() { return kSections; }
std::span<const TSettingKey> KnownSettingKeys() { return kKeys; }

const TSettingSection* FindSettingSection(std::string_view section) {
    for (const TSettingSection& s : kSections)
        if (SameText(s.Name, section)) return &s;
    return nullptr;
}

const TSettingKey* FindSettingKey(std::string_view section, std::string_view key) {
    for (const TSettingKey& k : kKeys)
        if (SameText(k.Section, section) && SameText(k.Key, key)) return &k;
    return nullptr;
}

std::string ChoiceList(const TSettingKey& key) { return ReplaceAll(key.Choices, "|", ", "); }

} // namespace velkaro
