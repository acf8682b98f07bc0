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
    FTables.clear();
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

const TNavCompanyTables& TNavData::CompanyTables(const std::string& company) {
    const std::string key = UpperAscii(company);
    if (auto known = FTables.find(key); known != FTables.end()) return known->second;
    auto q = NewQuery(NavSql::CompanyTables(Dialect()));
    q->SetText("p", company + "$");
    std::vector<std::string> rests;
    // The company as the database spells it (the letter case may differ from the one asked).
    std::string spelled = company;
    for (q->Open(); !q->Eof(); q->Next()) {
        const std::string name = q->Text(0);
        if (name.size() <= company.size() + 1) continue;
        spelled = name.substr(0, company.size());
        rests.push_back(name.substr(company.size() + 1));
    }
    return FTables.emplace(key, TNavCompanyTables::FromNames(spelled, rests)).first->second;
}

void TNavData::RequireCompleteTables(const std::string& company) {
    if (std::string error = CompanyTables(company).IncompleteError(); !error.empty()) throw Exception(error);
}

std::string TNavData::TableName(const std::string& company, const std::string& table) {
    return NavQuotedName(Dialect(), CompanyTables(company).ExpectedName(table));
}

std::string TNavData::TableSource(const std::string& company, const std::string& table,
                                  const std::vector<std::string>& keys) {
    const TNavCompanyTables& tables = CompanyTables(company);
    return NavTableSource(Dialect(), tables.ExpectedName(table), tables.Companions(table), keys);
}

bool TNavData::TableExists(const std::string& company, const std::string& table) {
    return !CompanyTables(company).Find(table).empty();
}

bool TNavData::HasCreditMemos(const std::string& company) {
    return TableExists(company, NavHeaderTable(bkCreditMemo)) && TableExists(company, NavLineTable(bkCreditMemo));
}

std::vector<std::string> TNavData::Companies() {
    auto q = NewQuery(NavSql::InvoiceTables(Dialect()));
    std::vector<std::string> names;
    for (q->Open(); !q->Eof(); q->Next()) names.push_back(q->Text(0));
    return NavCompaniesFromTableNames(names);
}

std::vector<std::string> TNavData::TableHints() const {
    std::vector<std::string> hints;
    for (const auto& [key, tables] : FTables)
        if (std::string hint = tables.Hint(); !hint.empty()) hints.push_back(std::move(hint));
    return hints;
}

namespace {
// The Base Application's version ("23", "1", "12345", "0"); empty in a database without
// it (NAV, Business Central up to 14) or without the table of installed apps.
std::vector<std::string> BaseApplicationVersion(TNavData& data) {
    try {
        auto q = data.NewQuery(NavSql::BaseAppVersion(data.Dialect()));
        q->SetText("id", kBaseApplicationId);
        q->Open();
        if (q->Eof()) return {};
        return {q->TrimmedText(0), q->TrimmedText(1), q->TrimmedText(2), q->TrimmedText(3)};
    } catch (const std::exception&) {
        return {};
    }
}

std::string BusinessCentralVersion(const std::vector<std::string>& v) {
    return "Business Central " + v[0] + "." + v[1] + " (Build " + v[2] + ")";
}
} // namespace

std::string TNavData::ProductVersion() {
    if (std::vector<std::string> bc = BaseApplicationVersion(*this); !bc.empty()) return BusinessCentralVersion(bc);
    std::vector<std::string> row = QueryFirstRow(NavSql::ObjectVersionAndDate(Dialect()));
    if (row.empty()) throw Exception("Objekttabelle ohne Codeunit 1: die Version ist nicht bekannt");
    return ParseNavVersion(row[0]);
}

std::vector<std::string> TNavData::NavVersionInfo() {
    std::vector<std::string> lines;
    TSqlDialect d = sdSqlServer;
    try {
        d = Dialect();
        if (std::vector<std::string> bc = BaseApplicationVersion(*this); !bc.empty()) {
            lines.push_back("NAV-Version   : " + BusinessCentralVersion(bc));
            lines.push_back("Anwendung     : Base Application " + Join(bc, "."));
        } else {
            auto row = QueryFirstRow(NavSql::ObjectVersionAndDate(d));
            if (row.size() >= 2) {
                lines.push_back("NAV-Version   : " + ParseNavVersion(row[0]));
                std::string line = "Anwendung     : Codeunit 1 = " + row[0];
                if (!row[1].empty()) line += "  vom " + row[1].substr(0, 10);
                lines.push_back(line);
            }
            row = QueryFirstRow(NavSql::ObjectVersion(d));
            if (!row.empty()) lines.push_back("Objektstände  : " + row[0]);
        }
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
    try {
        for (const std::string& company : Companies()) CompanyTables(company);
        for (const std::string& hint : TableHints()) lines.push_back("Hinweis       : " + hint);
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
    case 5: product = "Microsoft Dynamics NAV 5.0"; break;
    case 6: product = "Microsoft Dynamics NAV 2009"; break;
    case 7: product = minor < 10 ? "Microsoft Dynamics NAV 2013" : "Microsoft Dynamics NAV 2013 R2"; break;
    case 8: product = "Microsoft Dynamics NAV 2015"; break;
    case 9: product = "Microsoft Dynamics NAV 2016"; break;
    case 10: product = "Microsoft Dynamics NAV 2017"; break;
    case 11: product = "Microsoft Dynamics NAV 2018"; break;
    // Business Central 13 and 14 still keep C/AL objects and NAV's table names.
    default: product = major >= 13 ? "Business Central " + std::to_string(major) : "Microsoft Dynamics NAV"; break;
    }
    std::string build = parts.size() >= 4 ? ", Build " + parts[3] : std::string();
    return product + " (" + std::to_string(major) + "." + parts[1] + build + ")";
}

} // namespace velkaro
