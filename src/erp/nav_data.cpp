#include "erp/nav_data.h"

#include <charconv>

#include "config/settings.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

TNavData::TNavData(const TSettings& settings) : FSettings(settings) {}

TNavData::~TNavData() = default;

void TNavData::Connect() {
    if (FConn) return;
    TDbConnectParams p;
    p.Provider = FSettings.Provider;
    p.Server = FSettings.Server;
    p.Database = FSettings.Database;
    p.User = FSettings.User;
    p.Password = FSettings.Password;
    p.Driver = FSettings.OdbcDriver;
    p.Encryption = FSettings.Encryption;
    p.TrustServerCertificate = FSettings.TrustServerCertificate;
    p.ConnectOptions = FSettings.ConnectOptions;
    p.Login = FSettings.Login;
    p.BaseDir = ExtractFilePath(AbsolutePath(FSettings.FFileName));
    try {
        FConn = OpenDbBackend(p);
    } catch (const std::exception& e) {
        // A password protected by another account reads as empty: say so, or the refused
        // login would send the user looking for a wrong password.
        if (FSettings.PasswordProblem.empty()) throw;
        throw Exception(std::string(e.what()) + " " + FSettings.PasswordProblem);
    }
}

void TNavData::Disconnect() {
    FConn.reset();
    FCreditMemos.clear();
    FCompany.reset();  // the next connection may reach another database
}

TSqlDialect TNavData::Dialect() {
    Connect();
    return FConn->Dialect();
}

std::unique_ptr<TDbQuery> TNavData::NewQuery(const std::string& sql) {
    Connect();
    return std::make_unique<TDbQuery>(FConn, sql);
}

std::string TNavData::LookupText(const std::string& sql, const std::string& value) {
    if (value.empty()) return {};
    auto q = NewQuery(sql);
    q->SetText("p", value);
    q->Open();
    return q->Eof() ? std::string() : q->TrimmedText(0);
}

std::vector<std::string> TNavData::QueryFirstRow(const std::string& sql) {
    auto q = NewQuery(sql);
    q->Open();
    std::vector<std::string> row;
    if (q->Eof()) return row;
    for (int i = 0; i < q->FieldCount(); ++i) row.push_back(q->TrimmedText(i));
    return row;
}

std::string TNavData::TableName(const std::string& company, const std::string& table) {
    return NavTableName(Dialect(), company, table);
}

bool TNavData::TableExists(const std::string& company, const std::string& table) {
    TSqlDialect d = Dialect();
    auto q = NewQuery(NavSql::TableExists(d));
    q->SetText("n", NavObjectName(d, company, table));
    q->Open();
    return !q->Eof() && !q->IsNull(0);
}

bool TNavData::HasCreditMemos(const std::string& company) {
    if (auto known = FCreditMemos.find(company); known != FCreditMemos.end()) return known->second;
    const bool has = TableExists(company, NavHeaderTable(bkCreditMemo)) && TableExists(company, NavLineTable(bkCreditMemo));
    FCreditMemos[company] = has;
    return has;
}

std::vector<std::string> TNavData::Companies() {
    auto q = NewQuery(NavSql::Companies(Dialect()));
    q->Open();
    std::vector<std::string> names;
    for (; !q->Eof(); q->Next()) names.push_back(q->Text(0));
    return names;
}

std::vector<std::string> TNavData::NavVersionInfo() {
    std::vector<std::string> lines;
    TSqlDialect d = sdSqlServer;
    try {
        d = Dialect();
        auto row = QueryFirstRow(NavSql::ObjectVersionAndDate(d));
        if (row.size() >= 2) {
            lines.push_back("NAV-Version   : " + ParseNavVersion(row[0]));
            std::string line = "Anwendung     : Codeunit 1 = " + row[0];
            if (!row[1].empty()) line += "  vom " + row[1].substr(0, 10);
            lines.push_back(line);
        }
        row = QueryFirstRow(NavSql::ObjectVersion(d));
        if (!row.empty()) lines.push_back("Objektstände  : " + row[0]);
    } catch (const std::exception& e) {
        lines.push_back(std::string("NAV-Version   : nicht ermittelbar (") + e.what() + ")");
    }
    // The remaining lines are extras: whatever fails is left out.
    try {
        auto row = QueryFirstRow(NavSql::ServerInstance(d));
        if (row.size() >= 2) lines.push_back("NAV-Dienst    : " + row[0] + " auf " + row[1]);
    } catch (const std::exception&) {
    }
    try {
        auto row = QueryFirstRow(NavSql::DbProperty(d));
        if (!row.empty()) lines.push_back("DB-Version    : " + row[0] + " (NAV-intern)");
    } catch (const std::exception&) {
    }
    try {
        auto row = QueryFirstRow(NavSql::ServerVersion(d));
        if (row.size() >= 3) lines.push_back(NavSql::ServerVersionLine(d, row[0], row[1], row[2]));
    } catch (const std::exception&) {
    }
    return lines;
}

namespace {
bool TryInt(const std::string& s, int& value) {
    if (s.empty()) return false;
    const char* first = s.data();
    if (*first == '+') ++first;
    auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}
} // namespace

std::string TNavData::ParseNavVersion(const std::string& v) {
    size_t at = v.find("NAVW1");
    if (at == std::string::npos) return v;
    std::string rest = v.substr(at + 5, 30);
    size_t comma = rest.find(',');
    if (comma != std::string::npos) rest.resize(comma);
    std::vector<std::string> parts = Split(rest, '.');
    int major = 0, minor = 0;
    if (parts.size() < 2 || !TryInt(parts[0], major) || !TryInt(parts[1], minor)) return v;
    std::string product;
    switch (major) {
    case 5: product = "Navision 5.0"; break;
    case 6: product = "Dynamics NAV 2009"; break;
    case 7: product = minor < 10 ? "Dynamics NAV 2013" : "Dynamics NAV 2013 R2"; break;
    case 8: product = "Dynamics NAV 2015"; break;
    case 9: product = "Dynamics NAV 2016"; break;
    case 10: product = "Dynamics NAV 2017"; break;
    case 11: product = "Dynamics NAV 2018"; break;
    default: product = "Dynamics NAV / Business Central"; break;
    }
    std::string build = parts.size() >= 4 ? ", Build " + parts[3] : std::string();
    return product + " (" + std::to_string(major) + "." + parts[1] + build + ")";
}

} // namespace velkaro
