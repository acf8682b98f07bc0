#include "erp/connect_failure.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/text.h"

namespace velkaro {

namespace {

// "Server sql01, Port 1433", "Server sql01, Instanz NAV", "Server sql01, Port: Vorgabe …".
std::string ServerText(const std::string& server) {
    const std::string s = Trim(server);
    if (s.empty()) return "Server: keiner angegeben ([Datenbank] Server)";
    if (const size_t comma = s.find(','); comma != std::string::npos)
        return "Server " + Trim(s.substr(0, comma)) + ", Port " + Trim(s.substr(comma + 1));
    if (const size_t slash = s.find('\\'); slash != std::string::npos)
        return "Server " + Trim(s.substr(0, slash)) + ", Instanz " + Trim(s.substr(slash + 1));
    return "Server " + s + ", Port: Vorgabe des Treibers (meist 1433)";
}

std::string LoginText(const TDbConnectParams& params) {
    const bool windows = SameText(Trim(params.Login), "Windows") || (Trim(params.Login).empty() && Trim(params.User).empty());
    return windows ? "Windows-Anmeldung (Kerberos)" : "SQL-Anmeldung als " + Trim(params.User);
}

std::string DriverText(const TOdbcDriver& driver) {
    const char* kind = driver.Kind == odFreeTds ? " (FreeTDS)" : driver.Kind == odMicrosoft ? " (Microsoft)" : "";
    return "Treiber \"" + driver.Name + "\"" + kind;
}

struct TExplanation {
    std::vector<const char*> Signs;  // any of them in the driver's text, letter case ignored
    const char* Text;
};

// The drivers' common answers; the first that fits explains the failure.
const TExplanation kExplanations[] = {
    {{"Login failed", "18456"},
     "Der Server lehnt die Anmeldung ab: [Datenbank] Benutzer und Passwort prüfen; für eine SQL-Anmeldung muss der "
     "SQL Server die SQL-Server-Authentifizierung zulassen (gemischter Modus)."},
    {{"Cannot open database", "4060"},
     "Der Server ist erreicht, öffnet die Datenbank aber nicht: [Datenbank] Datenbank prüfen (Name wie im SQL Server "
     "Management Studio) und ob der Benutzer auf sie zugreifen darf."},
    {{"Server name not found", "unknown host", "Name or service not known", "getaddrinfo"},
     "Den Servernamen kann dieser Rechner nicht auflösen: [Datenbank] Server prüfen, etwa den vollständigen DNS-Namen "
     "oder die IP-Adresse angeben."},
    {{"Connection refused"},
     "Der Rechner ist erreichbar, aber an diesem Port nimmt kein SQL Server Verbindungen an: Port prüfen (Server,Port) "
     "und ob der SQL Server TCP/IP zulässt (SQL Server-Konfigurations-Manager)."},
    {{"timed out", "timeout", "HYT00"},
     "Der Server hat nicht rechtzeitig geantwortet: Servername, Port und Firewall prüfen (TCP 1433, bei einer "
     "benannten Instanz auch UDP 1434 für den SQL-Server-Browser)."},
    {{"SSL", "TLS", "certificate", "Zertifikat"},
     "Die verschlüsselte Verbindung kam nicht zustande: [Datenbank] Verschluesselung und ServerZertifikatVertrauen "
     "prüfen (ältere Server beherrschen kein aktuelles TLS)."},
    {{"Adaptive Server is unavailable", "Unable to connect", "does not exist or access denied", "08001"},
     "Der Server ist unter diesem Namen und Port nicht erreichbar: Servername, Port oder Instanz prüfen (bei einer "
     "benannten Instanz muss der SQL-Server-Browser laufen, UDP 1434), ob der SQL Server TCP/IP zulässt und ob eine "
     "Firewall den Port sperrt."},
    {{"Kerberos", "GSSAPI", "SSPI"},
     "Die Windows-Anmeldung (Kerberos) ist fehlgeschlagen: dieses Konto braucht ein gültiges Kerberos-Ticket (kinit), "
     "oder [Datenbank] Benutzer und Passwort für eine SQL-Anmeldung eintragen."},
    {{"Can't open lib", "file not found", "Data source name not found", "IM002", "IM003"},
     "Der ODBC-Treiber lässt sich nicht laden: ist er installiert (Paket tdsodbc) und registriert (odbcinst -q -d)?"},
};

} // namespace

std::string ConnectFailureText(const std::string& driverText, const TDbConnectParams& params,
                               const TOdbcDriver& driver) {
    std::string text = "Die Verbindung zum SQL Server ist fehlgeschlagen.";
    const std::string folded = LowerAscii(driverText);
    const auto explained = std::find_if(std::begin(kExplanations), std::end(kExplanations), [&](const TExplanation& e) {
        return std::any_of(e.Signs.begin(), e.Signs.end(),
                           [&](const char* sign) { return folded.find(LowerAscii(sign)) != std::string::npos; });
    });
    if (explained != std::end(kExplanations)) text += std::string(" ") + explained->Text;
    text += " Versucht: " + DriverText(driver) + ", " + ServerText(params.Server) + ", Datenbank " +
            Trim(params.Database) + ", " + LoginText(params) + ".";
    std::string detail = Trim(driverText);
    if (detail.empty()) return text + " Der Treiber nennt keinen Grund.";
    if (detail.back() != '.') detail += '.';
    return text + " Meldung des Treibers: " + detail;
}

} // namespace velkaro
