// Which table holds each per-company table: NAV's names, Business Central's app ids,
// companion tables, mixed and incomplete companies, and the companies of a database.
#include <gtest/gtest.h>

#include "erp/nav_tables.h"

using namespace velkaro;

namespace {

const std::string kBase = kBaseApplicationId;
const std::string kOther = "5c1e7a4d-2b9f-4e36-a0c8-3d6f1b2e9a71";
const std::string kExt = "9D4B2F60-7C1A-4E58-B3D2-6A8E0F5C4B19";

// The required tables under `suffix` ("" for NAV's names, "$<app id>").
std::vector<std::string> Complete(const std::string& suffix) {
    std::vector<std::string> names;
    for (const std::string& table : NavRequiredTables()) names.push_back(table + suffix);
    return names;
}

std::vector<std::string> With(std::vector<std::string> names, const std::vector<std::string>& more) {
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

} // namespace

TEST(NavAppId, OnlyTheGuidForm) {
    EXPECT_TRUE(IsAppId(kBase));
    EXPECT_TRUE(IsAppId(kExt));
    for (const char* text : {"", "437dbf0e84ff417a965ded2bb9650972", "437dbf0e-84ff-417a-965d-ed2bb965097",
                             "437dbf0e-84ff-417a-965d-ed2bb965097g", "437dbf0e-84ff-417a-965d+ed2bb9650972"})
        EXPECT_FALSE(IsAppId(text)) << text;
}

TEST(NavCompanyTables, FindsEachTableUnderItsNaming) {
    struct Case {
        const char* what;
        std::vector<std::string> rests;
        TNavCompanyTables::TNaming naming;
        std::string customer;                 // full name of the main table
        std::vector<std::string> companions;  // of "Customer"
        std::string cmnm;
    };
    const std::string c = "M$";
    const Case cases[] = {
        {"NAV", With(Complete(""), {"CMNM Recipient"}), TNavCompanyTables::nnNav, c + "Customer", {}, c + "CMNM Recipient"},
        {"NAV 2018 / BC 14 with an extension: companion table with the extension's id",
         With(Complete(""), {"Customer$" + kExt, "CMNM Recipient$" + kOther}), TNavCompanyTables::nnNav, c + "Customer",
         {c + "Customer$" + kExt}, c + "CMNM Recipient$" + kOther},
        {"BC 15 to 22: base app, another app's table, an extension's companion table",
         With(Complete("$" + kBase), {"Customer$" + kExt, "CMNM Recipient$" + kOther}),
         TNavCompanyTables::nnBusinessCentral, c + "Customer$" + kBase, {c + "Customer$" + kExt},
         c + "CMNM Recipient$" + kOther},
        {"BC 23 and later: one companion table per table",
         With(Complete("$" + kBase), {"Customer$" + kBase + "$ext"}), TNavCompanyTables::nnBusinessCentral,
         c + "Customer$" + kBase, {c + "Customer$" + kBase + "$ext"}, ""},
        {"letter case of the database", With(Complete("$" + kBase), {"cmnm recipient$" + kOther}),
         TNavCompanyTables::nnBusinessCentral, c + "Customer$" + kBase, {}, c + "cmnm recipient$" + kOther},
    };
    for (const Case& k : cases) {
        const TNavCompanyTables tables = TNavCompanyTables::FromNames("M", k.rests);
        EXPECT_EQ(tables.Naming(), k.naming) << k.what;
        EXPECT_EQ(tables.Find("customer"), k.customer) << k.what;
        EXPECT_EQ(tables.Companions("Customer"), k.companions) << k.what;
        EXPECT_EQ(tables.Find("CMNM Recipient"), k.cmnm) << k.what;
        EXPECT_FALSE(tables.Mixed()) << k.what;
        EXPECT_EQ(tables.Hint(), "") << k.what;
        EXPECT_EQ(tables.IncompleteError(), "") << k.what;
    }
}

// A half-migrated copy: the old NAV tables stay, the Business Central tables are read and
// a hint says so; a table only in NAV's naming is not taken from the old state.
TEST(NavCompanyTables, BothNamingsPickBusinessCentral) {
    const TNavCompanyTables tables = TNavCompanyTables::FromNames(
        "Muster GmbH", With(With(Complete(""), Complete("$" + kBase)), {"CMNM Recipient"}));
    EXPECT_EQ(tables.Naming(), TNavCompanyTables::nnBusinessCentral);
    EXPECT_TRUE(tables.Mixed());
    EXPECT_EQ(tables.Find("Sales Invoice Header"), "Muster GmbH$Sales Invoice Header$" + kBase);
    EXPECT_EQ(tables.Find("CMNM Recipient"), "");
    EXPECT_EQ(tables.Hint(),
              "Mandant „Muster GmbH“: Tabellen in NAV- und in Business-Central-Benennung gefunden (halb migrierte "
              "Kopie?); gelesen werden die Business-Central-Tabellen (mit App-ID), die NAV-Tabellen ohne App-ID "
              "bleiben unbeachtet.");
    EXPECT_EQ(tables.IncompleteError(), "");
}

TEST(NavCompanyTables, IncompleteCompanyNamesWhatIsMissing) {
    std::vector<std::string> rests = Complete("$" + kBase);
    rests.erase(rests.begin() + 2);  // Customer
    rests.pop_back();                // SEPA Direct Debit Mandate
    const TNavCompanyTables bc = TNavCompanyTables::FromNames("Nord", rests);
    EXPECT_EQ(bc.Missing(), (std::vector<std::string>{"Customer", "SEPA Direct Debit Mandate"}));
    EXPECT_EQ(bc.IncompleteError(),
              "Die Tabellen des Mandanten „Nord“ sind unvollständig (Business-Central-Benennung mit App-ID). Es "
              "fehlen die Tabellen „Customer“, „SEPA Direct Debit Mandate“.");
    EXPECT_EQ(bc.ExpectedName("Customer"), "Nord$Customer$" + kBase);

    const TNavCompanyTables nav = TNavCompanyTables::FromNames("Nord", {"Sales Invoice Header", "Sales Invoice Line"});
    EXPECT_EQ(nav.Missing().size(), NavRequiredTables().size() - 2);
    EXPECT_EQ(nav.ExpectedName("Customer"), "Nord$Customer");
    EXPECT_EQ(TNavCompanyTables::FromNames("Nord", With(Complete(""), {})).IncompleteError(), "");
    std::vector<std::string> one = Complete("");
    one.erase(one.begin() + 3);
    EXPECT_EQ(TNavCompanyTables::FromNames("Nord", one).IncompleteError(),
              "Die Tabellen des Mandanten „Nord“ sind unvollständig (NAV-Benennung „Nord$Tabelle“). Es fehlt die "
              "Tabelle „Company Information“.");
    EXPECT_EQ(TNavCompanyTables::FromNames("Leer", {}).Naming(), TNavCompanyTables::nnNone);
    EXPECT_EQ(TNavCompanyTables::FromNames("Leer", {}).IncompleteError(),
              "Den Mandanten „Leer“ gibt es in der Datenbank nicht (keine Tabelle „Leer$…“).");
}

TEST(NavCompanies, FromTheInvoiceTablesOfBothNamings) {
    EXPECT_EQ(NavCompaniesFromTableNames({"b GmbH$Sales Invoice Header$" + kBase, "A$Sales Invoice Header",
                                          "C$Sales Invoice Header$" + kBase + "$ext", "X]'$ Y$Sales Invoice Header",
                                          "A$Sales Invoice Header$" + kBase, "D$Sales Invoice Header Archive",
                                          "$Sales Invoice Header", "E$sales invoice header$" + kOther}),
              (std::vector<std::string>{"A", "b GmbH", "E", "X]'$ Y"}));
}
