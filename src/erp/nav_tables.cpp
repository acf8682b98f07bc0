#include "erp/nav_tables.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kInvoiceTable = "Sales Invoice Header";
constexpr size_t kAppIdLength = 36;

bool EndsWithText(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

// "<rest>$<app id>": the app id (lower case) and the rest in `head`; false otherwise.
bool SplitAppId(std::string_view name, std::string_view& head, std::string& appId) {
    if (name.size() <= kAppIdLength + 1 || name[name.size() - kAppIdLength - 1] != '$') return false;
    const std::string_view id = name.substr(name.size() - kAppIdLength);
    if (!IsAppId(id)) return false;
    head = name.substr(0, name.size() - kAppIdLength - 1);
    appId = LowerAscii(id);
    return true;
}

std::string ListOf(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "„" : ", „") + n + "“";
    return text;
}

} // namespace

bool IsAppId(std::string_view text) {
    if (text.size() != kAppIdLength) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

const std::vector<std::string>& NavRequiredTables() {
    static const std::vector<std::string> tables = {
        "Sales Invoice Header", "Sales Invoice Line", "Customer",          "Company Information",
        "General Ledger Setup", "Payment Terms",      "Payment Method",    "Country_Region",
        "Unit of Measure",      "Customer Bank Account", "SEPA Direct Debit Mandate"};
    return tables;
}

TNavCompanyTables TNavCompanyTables::FromNames(const std::string& company, const std::vector<std::string>& rests) {
    const std::string prefix = company + "$";
    // By upper-case table name: the NAV-named table, the app tables by app id, and the
    // companion tables of version 23 and later.
    std::map<std::string, std::string> nav;
    std::map<std::string, std::map<std::string, std::string>> apps;
    std::map<std::string, std::vector<std::string>> shared;
    std::map<std::string, std::string> spelling;  // upper-case -> as the database spells it
    for (const std::string& rest : rests) {
        const std::string full = prefix + rest;
        std::string_view head = rest;
        std::string appId;
        if (EndsWithText(head, "$ext") && SplitAppId(head.substr(0, head.size() - 4), head, appId)) {
            shared[UpperAscii(head)].push_back(full);
        } else if (SplitAppId(rest, head, appId)) {
            apps[UpperAscii(head)].emplace(appId, full);
            spelling.emplace(UpperAscii(head), std::string(head));
        } else {
            nav.emplace(UpperAscii(rest), full);
            spelling.emplace(UpperAscii(rest), rest);
        }
    }

    TNavCompanyTables result;
    result.FCompany = company;
    const std::string invoice = UpperAscii(kInvoiceTable);
    const bool navInvoice = nav.count(invoice) > 0;
    // The Base Application's invoice table; another app's beside a NAV-named one is the
    // companion table of an extension (NAV 2018, Business Central 13 and 14).
    const bool appInvoice = apps.count(invoice) > 0 && apps[invoice].count(kBaseApplicationId) > 0;
    if (appInvoice || (!navInvoice && nav.empty() && !apps.empty())) result.FNaming = nnBusinessCentral;
    else if (!nav.empty() || !apps.empty()) result.FNaming = nnNav;
    result.FMixed = appInvoice && navInvoice;
    // A half-migrated copy: the NAV tables are the old state and stay unread.
    if (result.FNaming == nnBusinessCentral) nav.clear();

    for (const auto& [key, name] : spelling) {
        TTable table;
        std::map<std::string, std::string> byApp = apps.count(key) ? apps[key] : std::map<std::string, std::string>();
        if (auto own = nav.find(key); own != nav.end()) {
            table.Main = own->second;
        } else if (auto base = byApp.find(kBaseApplicationId); base != byApp.end()) {
            table.Main = base->second;
            byApp.erase(base);
        } else if (!byApp.empty()) {
            // A table of another app: the one app that provides it (with several and no
            // way to tell them apart by name, the first by app id).
            table.Main = byApp.begin()->second;
            byApp.erase(byApp.begin());
        } else {
            continue;
        }
        // The Base Application's table beside a NAV-named one is no extension of it.
        byApp.erase(kBaseApplicationId);
        for (const auto& [app, full] : byApp) table.Companions.push_back(full);
        if (auto ext = shared.find(key); ext != shared.end())
            table.Companions.insert(table.Companions.end(), ext->second.begin(), ext->second.end());
        std::sort(table.Companions.begin(), table.Companions.end());
        result.FTables.emplace(key, std::move(table));
    }
    return result;
}

std::string TNavCompanyTables::Find(const std::string& table) const {
    auto it = FTables.find(UpperAscii(table));
    return it != FTables.end() ? it->second.Main : std::string();
}

std::vector<std::string> TNavCompanyTables::Companions(const std::string& table) const {
    auto it = FTables.find(UpperAscii(table));
    return it != FTables.end() ? it->second.Companions : std::vector<std::string>();
}

std::string TNavCompanyTables::ExpectedName(const std::string& table) const {
    if (std::string found = Find(table); !found.empty()) return found;
    std::string name = FCompany + "$" + table;
    if (FNaming == nnBusinessCentral) name += std::string("$") + kBaseApplicationId;
    return name;
}

std::vector<std::string> TNavCompanyTables::Missing() const {
    std::vector<std::string> missing;
    for (const std::string& table : NavRequiredTables())
        if (Find(table).empty()) missing.push_back(table);
    return missing;
}

std::string TNavCompanyTables::Hint() const {
    if (!FMixed) return {};
    return "Mandant „" + FCompany +
           "“: Tabellen in NAV- und in Business-Central-Benennung gefunden (halb migrierte Kopie?); gelesen werden die "
           "Business-Central-Tabellen (mit App-ID), die NAV-Tabellen ohne App-ID bleiben unbeachtet.";
}

std::string TNavCompanyTables::IncompleteError() const {
    if (FNaming == nnNone)
        return "Den Mandanten „" + FCompany + "“ gibt es in der Datenbank nicht (keine Tabelle „" + FCompany + "$…“).";
    const std::vector<std::string> missing = Missing();
    if (missing.empty()) return {};
    const std::string naming = FNaming == nnBusinessCentral ? "Business-Central-Benennung mit App-ID"
                                                            : "NAV-Benennung „" + FCompany + "$Tabelle“";
    return "Die Tabellen des Mandanten „" + FCompany + "“ sind unvollständig (" + naming + "). Es fehl" +
           (missing.size() == 1 ? "t die Tabelle " : "en die Tabellen ") + ListOf(missing) + ".";
}

std::vector<std::string> NavCompaniesFromTableNames(const std::vector<std::string>& names) {
    const std::string marker = "$" + std::string(kInvoiceTable);
    std::vector<std::string> companies;
    for (const std::string& name : names) {
        std::string_view head = name;
        std::string appId;
        SplitAppId(name, head, appId);  // with or without app id
        if (head.size() > marker.size() && EndsWithText(head, marker))
            companies.emplace_back(head.substr(0, head.size() - marker.size()));
    }
    std::sort(companies.begin(), companies.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = UpperAscii(a), ub = UpperAscii(b);
        return ua != ub ? ua < ub : a < b;
    });
    companies.erase(std::unique(companies.begin(), companies.end()), companies.end());
    return companies;
}

} // namespace velkaro
