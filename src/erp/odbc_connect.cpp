#include "erp/odbc_connect.h"

#include <charconv>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/regex.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// The version of a Microsoft driver by its entry name or its library
// (libmsodbcsql-18.3.so.2.1); -1 when it is none.
int MicrosoftVersion(const TOdbcDriverEntry& entry) {
    static const TRegex namePattern("^ODBC Driver ([0-9]+) for SQL Server\\z", roIgnoreCase);
    static const TRegex libraryPattern("^libmsodbcsql-([0-9]+)", roIgnoreCase);
    const std::string libraryName = ExtractFileName(entry.Library);  // the match points into it
    auto m = namePattern.Find(entry.Name);
    if (!m) m = libraryPattern.Find(libraryName);
    if (!m) return -1;
    std::string_view digits = m->Group(1);
    int version = 0;
    // Too many digits for an int: no driver of ours.
    if (std::from_chars(digits.data(), digits.data() + digits.size(), version).ec != std::errc()) return -1;
    return version;
}

bool IsFreeTdsLibrary(const std::string& library) { return StartsWithText(ExtractFileName(library), "libtdsodbc"); }

[[noreturn]] void BadValue(const std::string& key, const std::string& value, const std::string& allowed) {
    throw Exception("[Datenbank] " + key + "=" + value + " ist kein gültiger Wert; erlaubt: " + allowed + ".");
}

// Windows (Kerberos) login unless it says SQL; without the key an empty user means
// Windows, as older settings files had it.
bool WindowsLogin(const TDbConnectParams& p) {
    const std::string login = Trim(p.Login);
    if (login.empty()) return p.User.empty();
    if (SameText(login, "Windows")) return true;
    if (SameText(login, "SQL")) return false;
    BadValue("Anmeldung", login, "Windows oder SQL");
}

void AppendLogin(std::string& out, const TDbConnectParams& p, const char* trusted) {
    if (WindowsLogin(p)) {
        // The ticket of the account that runs the program (kinit / keytab); no password.
        out += ";Trusted_Connection=";
        out += trusted;
        return;
    }
    out += ';';
    out += OdbcAttribute("UID", p.User);
    out += ';';
    out += OdbcAttribute("PWD", p.Password);
}

// The driver's own words for "aus", "ja", "streng".
const char* EncryptionValue(const std::string& setting, TOdbcDriverKind kind) {
    const std::string v = Trim(setting);
    const bool ms = kind == odMicrosoft;
    if (SameText(v, "aus")) return ms ? "no" : "off";
    if (SameText(v, "ja")) return ms ? "yes" : "request";
    if (SameText(v, "streng")) return ms ? "strict" : "require";
    BadValue("Verschluesselung", v, "aus, ja oder streng");
}

void AppendEncryption(std::string& out, const TDbConnectParams& p, TOdbcDriverKind kind) {
    if (!Trim(p.Encryption).empty())
        out += std::string(kind == odMicrosoft ? ";Encrypt=" : ";Encryption=") + EncryptionValue(p.Encryption, kind);
    const std::string trust = Trim(p.TrustServerCertificate);
    if (trust.empty()) return;
    if (trust != "0" && trust != "1") BadValue("ServerZertifikatVertrauen", trust, "0 oder 1");
    // FreeTDS checks a certificate only against a CA file of freetds.conf; it has no
    // attribute of its own for this.
    if (kind == odMicrosoft) out += trust == "1" ? ";TrustServerCertificate=yes" : ";TrustServerCertificate=no";
}

void AppendOptions(std::string& out, const TDbConnectParams& p) {
    std::string options = Trim(p.ConnectOptions);
    if (options.empty()) return;
    if (options.front() != ';') out += ';';
    out += options;
}

std::string DriverAttribute(const std::string& name) { return "Driver={" + ReplaceAll(name, "}", "}}") + "}"; }

std::string MicrosoftString(const TDbConnectParams& p, const std::string& driver) {
    // "host\instance" and "host,port" are the driver's own forms; blanks around the
    // comma are dropped.
    std::string server = p.Server;
    if (size_t comma = server.find(','); comma != std::string::npos)
        server = Trim(server.substr(0, comma)) + "," + Trim(server.substr(comma + 1));
    std::string out = DriverAttribute(driver) + ";" + OdbcAttribute("Server", server) + ";" +
                      OdbcAttribute("Database", p.Database);
    AppendLogin(out, p, "yes");
    AppendEncryption(out, p, odMicrosoft);
    AppendOptions(out, p);
    return out;
}

std::string FreeTdsString(const TDbConnectParams& p, const std::string& driver) {
    std::string host = p.Server, port;
    if (size_t comma = host.find(','); comma != std::string::npos) {
        port = Trim(host.substr(comma + 1));
        host = Trim(host.substr(0, comma));
    }
    // FreeTDS resolves "host\instance" through the SQL Server Browser itself.
    std::string out = DriverAttribute(driver) + ";" + OdbcAttribute("Server", host);
    if (!port.empty()) out += ";" + OdbcAttribute("Port", port);
    out += ";" + OdbcAttribute("Database", p.Database) + ";TDS_Version=7.4;ClientCharset=UTF-8";
    AppendLogin(out, p, "Yes");
    AppendEncryption(out, p, odFreeTds);
    AppendOptions(out, p);
    return out;
}

std::string OtherString(const TDbConnectParams& p, const std::string& driver) {
    std::string out = DriverAttribute(driver);
    if (!p.Server.empty()) out += ";" + OdbcAttribute("Server", p.Server);
    if (!p.Database.empty()) out += ";" + OdbcAttribute("Database", p.Database);
    if (!p.User.empty()) out += ";" + OdbcAttribute("UID", p.User) + ";" + OdbcAttribute("PWD", p.Password);
    AppendOptions(out, p);
    return out;
}

const char* const kNoDriver =
    "Kein ODBC-Treiber für SQL Server installiert. Bitte FreeTDS (Debian-Paket tdsodbc) oder Microsofts "
    "ODBC Driver 18 for SQL Server (Paket msodbcsql18) installieren; die eingetragenen Treiber zeigt "
    "\"odbcinst -q -d\". Ein Treiber unter anderem Namen lässt sich in [Datenbank] Treiber= eintragen.";

} // namespace

bool IsSqlServerProvider(const std::string& provider) {
    std::string p = UpperAscii(Trim(provider));
    if (p.empty()) return true;
    for (const char* prefix : {"SQLOLEDB", "MSOLEDBSQL", "SQLNCLI"})
        if (p.rfind(prefix, 0) == 0) return true;
    return false;
}

TOdbcDriverKind OdbcDriverKind(const std::string& name, const std::string& library) {
    if (IsFreeTdsLibrary(library)) return odFreeTds;
    if (MicrosoftVersion({name, library}) >= 0) return odMicrosoft;
    if (library.empty() && (SameText(Trim(name), "FreeTDS") || IsFreeTdsLibrary(name))) return odFreeTds;
    return odOther;
}

TOdbcDriver ChooseOdbcDriver(const TDbConnectParams& p, const std::vector<TOdbcDriverEntry>& installed) {
    if (!IsSqlServerProvider(p.Provider)) return {Trim(p.Provider), odOther};

    const std::string named = Trim(p.Driver);
    if (!named.empty()) {
        std::string library;
        for (const auto& e : installed)
            if (SameText(e.Name, named)) library = e.Library;
        // A path names the library itself.
        if (library.empty() && named.find('/') != std::string::npos) library = named;
        TOdbcDriverKind kind = OdbcDriverKind(named, library);
        if (kind == odOther)
            throw Exception("Der ODBC-Treiber \"" + named + "\" aus [Datenbank] Treiber= ist " +
                            (library.empty() ? "nicht installiert" : "kein Treiber für SQL Server (" + library + ")") +
                            ". Eingetragene Treiber zeigt \"odbcinst -q -d\"; für SQL Server passen FreeTDS "
                            "(Paket tdsodbc) und Microsofts ODBC Driver 17/18 for SQL Server.");
        return {named, kind};
    }

    const TOdbcDriverEntry* best = nullptr;
    int bestVersion = -1;
    for (const auto& e : installed) {
        int version = MicrosoftVersion(e);
        if (version > bestVersion) {
            bestVersion = version;
            best = &e;
        }
    }
    if (best) return {best->Name, odMicrosoft};
    for (const auto& e : installed)
        if (OdbcDriverKind(e.Name, e.Library) == odFreeTds) return {e.Name, odFreeTds};
    throw Exception(kNoDriver);
}

std::string OdbcAttribute(const std::string& keyword, const std::string& value) {
    bool brace = value.find_first_of(";{}=") != std::string::npos ||
                 (!value.empty() && (IsBlankByte(value.front()) || IsBlankByte(value.back())));
    if (!brace) return keyword + "=" + value;
    return keyword + "={" + ReplaceAll(value, "}", "}}") + "}";
}

std::string BuildOdbcConnectString(const TDbConnectParams& p, const TOdbcDriver& driver) {
    switch (driver.Kind) {
        case odMicrosoft: return MicrosoftString(p, driver.Name);
        case odFreeTds: return FreeTdsString(p, driver.Name);
        case odOther: break;
    }
    return OtherString(p, driver.Name);
}

} // namespace velkaro
