#include "app/settings_probe.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/mail_transport.h"
#include "config/graph_secret.h"
#include "config/settings.h"
#include "config/settings_check.h"
#include "erp/nav_data.h"
#include "mail/graph_mailer.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/secret_store.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kUnknownError = "Unbekannter Fehler.";

// The report and its problems, one line each.
struct TReport {
    std::vector<std::string> Lines;
    int Problems = 0;

    void Good(const std::string& line) { Lines.push_back(line); }
    void Bad(const std::string& line) {
        Lines.push_back(line);
        ++Problems;
    }
    // Runs one check; an error it raises becomes the check's problem line.
    template <typename TCheck>
    void Guarded(const std::string& label, TCheck check) {
        try {
            check();
        } catch (const std::exception& e) {
            Bad(label + ": FEHLER – " + SingleLine(e.what()));
        } catch (...) {
            Bad(label + ": FEHLER – " + kUnknownError);
        }
    }
};

void CheckFile(const std::string& settingsFile, TReport& report) {
    const THandEditedText text = ReadHandEditedTextFile(settingsFile);
    const std::vector<TSettingsFinding> findings =
        CheckSettings(TIniFile::FromText(text.Text), ExtractFilePath(AbsolutePath(settingsFile)));
    if (findings.empty()) {
        report.Good("Einstellungsdatei: in Ordnung");
        return;
    }
    report.Bad("Einstellungsdatei: " + std::to_string(findings.size()) +
               (findings.size() == 1 ? " Befund" : " Befunde"));
    report.Problems += static_cast<int>(findings.size()) - 1;
    for (const TSettingsFinding& f : findings) report.Lines.push_back("  " + f.Text);
}

// "Server / Datenbank"; a database file without a server (SQLite) is named alone.
std::string DatabaseName(const TSettings& settings) {
    return settings.Server.empty() ? settings.Database : settings.Server + " / " + settings.Database;
}

void CheckDatabase(const TSettings& settings, TReport& report) {
    TNavData data(settings);
    const std::vector<std::string> companies = data.Companies();
    std::string line = "Datenbank: verbunden mit " + DatabaseName(settings) + ", " +
                       std::to_string(companies.size()) + (companies.size() == 1 ? " Mandant" : " Mandanten") +
                       (companies.empty() ? std::string() : " (" + Join(companies, ", ") + ")");
    bool companyKnown = settings.Company.empty();
    for (const std::string& c : companies)
        if (SameText(c, settings.Company)) companyKnown = true;
    if (companies.empty())
        report.Bad(line + " – keiner mit gebuchten Verkaufsrechnungen");
    else if (!companyKnown)
        report.Bad(line + " – den Mandanten \"" + settings.Company + "\" aus [Datenbank] Mandant gibt es nicht");
    else if (const std::string incomplete =
                 settings.Company.empty() ? std::string() : data.CompanyTables(settings.Company).IncompleteError();
             !incomplete.empty())
        report.Bad(line + " – " + incomplete);
    else
        report.Good(line);
    for (const std::string& info : data.NavVersionInfo()) report.Lines.push_back("  " + info);
}

// Whether the user began to set up mailing at all; whether it is complete is
// IsMailSetUp's to say, through CreateMailer.
bool MailBegun(const TSettings& settings, const TIniFile& ini) {
    if (SameText(Trim(settings.MailRoute), "SMTP")) return true;
    return !Trim(settings.GraphTenant).empty() || !Trim(settings.GraphClientId).empty() ||
           !Trim(settings.MailSender).empty() || !settings.GraphSecret.empty() ||
           ini.ValueExists("Graph", "ClientSecretGeschuetzt");
}

void CheckMail(const TSettings& settings, const TIniFile& ini, TReport& report) {
    if (!MailBegun(settings, ini)) {
        report.Good("E-Mail: nicht eingerichtet (Abschnitt [Graph] ohne Mandanten-ID, Client-ID und Absender)");
        return;
    }
    const TMailTransportValues values = MailTransportOf(settings);
    const std::unique_ptr<IMailer> mailer = CreateMailer(values, settings);
    mailer->SignIn();
    if (values.Route == mrGraph) {
        report.Good("E-Mail: Anmeldung bei Microsoft 365 erfolgreich (Absender " + Trim(settings.MailSender) + ")");
        return;
    }
    const TSmtpAccount account = SmtpAccountOf(values);
    report.Good("E-Mail: Verbindung zum Mailserver " + SmtpOrigin(account) + " (" +
                SmtpSecurityName(account.Security) + ") erfolgreich, " +
                (account.User.empty() ? (IsExchangeOnline(account.Server) ? "angemeldet mit der App aus [Graph]"
                                                                           : "ohne Anmeldung")
                                      : "angemeldet als \"" + account.User + "\"") +
                " (Absender " + account.Sender + ", keine Mail gesendet)");
}

// One protected value of the file: readable by this account, or why not.
void CheckProtected(const TIniFile& ini, const char* section, const char* protectedKey, const char* plainKey,
                    const std::string& label, const std::string& name, TReport& report) {
    const std::string stored = Trim(ini.ReadString(section, protectedKey, ""));
    const bool plain = !ini.ReadString(section, plainKey, "").empty();
    if (stored.empty()) {
        report.Good(plain ? "Geheimnis: das " + label + " steht im Klartext in der Datei; der nächste Lauf speichert "
                            "es geschützt"
                          : "Geheimnis: kein geschütztes " + label + " gespeichert");
        return;
    }
    std::string problem;
    if (!ReadProtectedSecret(stored, problem, name).empty()) {
        report.Good("Geheimnis: dieses Konto kann das geschützte " + label + " lesen");
        return;
    }
    report.Bad("Geheimnis: FEHLER – " + problem);
}

void CheckSecret(const TIniFile& ini, TReport& report) {
    CheckProtected(ini, "Graph", "ClientSecretGeschuetzt", "ClientSecret", "Client-Secret", kGraphSecretName, report);
    // The SMTP password only where it is in use or stored.
    if (ini.ValueExists("SMTP", "PasswortGeschuetzt") || !ini.ReadString("SMTP", "Passwort", "").empty())
        CheckProtected(ini, "SMTP", "PasswortGeschuetzt", "Passwort", "SMTP-Passwort", kSmtpPasswordName, report);
}

// The state folder (lock, log, sent-mail log) and the output folder must take new
// files from this account, or every run ends before its first document.
// Only a layout with findings is named: a sound one (or none) needs no line.
void CheckLayout(const TSettings& settings, TReport& report) {
    const std::vector<std::string>& findings = settings.LayoutFindings;
    if (findings.empty()) return;
    report.Bad("Layout: " + std::to_string(findings.size()) + (findings.size() == 1 ? " Befund" : " Befunde"));
    report.Problems += static_cast<int>(findings.size()) - 1;
    for (const std::string& f : findings) report.Lines.push_back("  " + f);
}

void CheckFolders(const TSettings& settings, TReport& report) {
    const std::string user = CurrentUserName();
    const auto check = [&](const std::string& label, const std::string& folder, const std::string& what) {
        if (FolderWritable(folder))
            report.Good(label + ": " + folder + " (beschreibbar)");
        else
            report.Bad(label + ": FEHLER – das Konto \"" + user + "\" darf in " + folder + " nicht schreiben (" + what +
                       "). Abhilfe: den Ordner für dieses Konto beschreibbar machen oder " + label +
                       " in der Einstellungsdatei auf einen anderen Ordner setzen.");
    };
    check("Datenordner", settings.StateDir, "Sperrdatei, Protokoll, Versandprotokoll");
    if (!settings.StateHint.empty()) report.Lines.push_back("  Hinweis: " + settings.StateHint);
    check("Ausgabe", IncludeTrailingPathDelimiter(settings.OutDir), "PDF- und XML-Dateien");
}

// A password or secret in clear text is for the accounts that run the program, not for
// every user of the machine.
void CheckFileRights(const std::string& settingsFile, const TIniFile& ini, TReport& report) {
    std::vector<std::string> secrets;
    if (!ini.ReadString("Datenbank", "Passwort", "").empty()) secrets.emplace_back("[Datenbank] Passwort");
    if (!ini.ReadString("Graph", "ClientSecret", "").empty()) secrets.emplace_back("[Graph] ClientSecret");
    if (!ini.ReadString("SMTP", "Passwort", "").empty()) secrets.emplace_back("[SMTP] Passwort");
    if (secrets.empty()) return;
    struct stat st {};
    if (::stat(settingsFile.c_str(), &st) != 0 || (st.st_mode & S_IROTH) == 0) return;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    report.Bad("Rechte: FEHLER – die Einstellungsdatei enthält " + Join(secrets, " und ") +
               " im Klartext und ist für alle Benutzer lesbar (Rechte " + mode + "). Abhilfe: chmod o-rwx \"" +
               settingsFile + "\"");
}

} // namespace

TSettingsProbe ProbeSettings(const std::string& settingsFile) {
    TReport report;
    report.Good("Prüfung der Einstellungen " + settingsFile);
    if (PathKind(settingsFile) == TPathKind::pkMissing) {
        report.Bad("Einstellungsdatei: FEHLER – " + settingsFile +
                   " gibt es nicht (ein Start ohne /pruefen legt sie als kommentierte Vorlage an)");
    } else {
        report.Guarded("Einstellungsdatei", [&] { CheckFile(settingsFile, report); });
        std::unique_ptr<TSettings> settings;
        report.Guarded("Einstellungen", [&] {
            settings = std::make_unique<TSettings>(settingsFile, TSettingsAccess::saReadOnly);
        });
        if (settings) {
            const TIniFile ini = TIniFile::FromText(ReadHandEditedTextFile(settingsFile).Text);
            CheckFileRights(settingsFile, ini, report);
            report.Guarded("Datenordner", [&] { CheckFolders(*settings, report); });
            CheckLayout(*settings, report);
            report.Guarded("Datenbank", [&] { CheckDatabase(*settings, report); });
            report.Guarded("E-Mail", [&] { CheckMail(*settings, ini, report); });
            CheckSecret(ini, report);
        }
    }
    report.Lines.push_back(report.Problems == 0
                               ? std::string("Ergebnis: alles in Ordnung")
                               : "Ergebnis: " + std::to_string(report.Problems) +
                                     (report.Problems == 1 ? " Problem" : " Probleme") + " gefunden");
    TSettingsProbe probe;
    probe.AllWell = report.Problems == 0;
    for (const std::string& line : report.Lines) probe.Report += line + "\n";
    return probe;
}

} // namespace velkaro
