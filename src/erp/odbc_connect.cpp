#include "erp/odbc_connect.h"

#include <charconv>

#include "platform/regex.h"
#include "platform/text.h"

namespace velkaro {

namespace {

const char* const kFreeTds = "FreeTDS";

// The newest "ODBC Driver NN for SQL Server" among the installed ones; empty when none.
std::string MicrosoftDriver(const std::vector<std::string>& installed) {
    static const TRegex pattern("^ODBC Driver ([0-9]+) for SQL Server\\z", roIgnoreCase);
    std::string best;
    int bestVersion = -1;
    for (const auto& name : installed) {
        auto m = pattern.Find(name);
        if (!m) continue;
        std::string_view digits = m->Group(1);
        int version = 0;
        // Too many digits for an int: no driver of ours.
        if (std::from_chars(digits.data(), digits.data() + digits.size(), version).ec != std::errc()) continue;
        if (version > bestVersion) { bestVersion = version; best = name; }
    }
    return best;
}

void AppendLogin(std::string& out, const TDbConnectParams& p) {
    if (p.User.empty()) {
        // Integrated (Kerberos) authentication where the driver supports it.
        out += ";Trusted_Connection=Yes";
        return;
    }
    out += ';';
    out += OdbcAttribute("UID", p.User);
    out += ';';
    out += OdbcAttribute("PWD", p.Password);
}

} // namespace

bool IsSqlServerProvider(const std::string& provider) {
    std::string p = UpperAscii(Trim(provider));
    if (p.empty()) return true;
    for (const char* prefix : {"SQLOLEDB", "MSOLEDBSQL", "SQLNCLI"})
        if (p.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string OdbcAttribute(const std::string& keyword, const std::string& value) {
    bool brace = value.find_first_of(";{}=") != std::string::npos ||
                 (!value.empty() && (IsBlankByte(value.front()) || IsBlankByte(value.back())));
    if (!brace) return keyword + "=" + value;
    return keyword + "={" + ReplaceAll(value, "}", "}}") + "}";
}

std::string BuildOdbcConnectString(const TDbConnectParams& p, const std::vector<std::string>& installed) {
    std::string out;
    if (!IsSqlServerProvider(p.Provider)) {
        out = "Driver={" + ReplaceAll(Trim(p.Provider), "}", "}}") + "}";
        if (!p.Server.empty()) out += ";" + OdbcAttribute("Server", p.Server);
        if (!p.Database.empty()) out += ";" + OdbcAttribute("Database", p.Database);
        if (!p.User.empty()) out += ";" + OdbcAttribute("UID", p.User) + ";" + OdbcAttribute("PWD", p.Password);
        return out;
    }
    std::string driver = MicrosoftDriver(installed);
    if (!driver.empty()) {
        // Microsoft's driver understands "host\instance" and "host,port" as they are.
        out = "Driver={" + driver + "};" + OdbcAttribute("Server", p.Server) + ";" +
              OdbcAttribute("Database", p.Database);
        AppendLogin(out, p);
        return out;
    }
    std::string host = p.Server, port;
    size_t comma = host.find(',');
    if (comma != std::string::npos) {
        port = Trim(host.substr(comma + 1));
        host = Trim(host.substr(0, comma));
    }
    // FreeTDS resolves "host\instance" through the SQL Server Browser itself.
    out = std::string("Driver={") + kFreeTds + "};" + OdbcAttribute("Server", host);
    if (!port.empty()) out += ";" + OdbcAttribute("Port", port);
    out += ";" + OdbcAttribute("Database", p.Database) + ";TDS_Version=7.4;ClientCharset=UTF-8";
    AppendLogin(out, p);
    return out;
}

} // namespace velkaro
