// The statement texts: SQL Server exactly as NAV installations expect them, and the
// SQLite translations.
#include <gtest/gtest.h>

#include "erp/nav_sql.h"

using namespace velkaro;

TEST(NavTableName, QuotesCompanyTablesPerDialect) {
    EXPECT_EQ(NavTableName(sdSqlServer, "Muster GmbH", "Sales Invoice Header"), "[Muster GmbH$Sales Invoice Header]");
    EXPECT_EQ(NavTableName(sdSqlServer, "A]B $ 'C'", "Customer"), "[A]]B $ 'C'$Customer]");
    EXPECT_EQ(NavTableName(sdSqlite, "Muster GmbH", "Customer"), "\"Muster GmbH$Customer\"");
    EXPECT_EQ(NavTableName(sdSqlite, "A\"]B", "Customer"), "\"A\"\"]B$Customer\"");
    EXPECT_EQ(NavQuotedName(sdSqlServer, "A]B$T$437dbf0e-84ff-417a-965d-ed2bb9650972"),
              "[A]]B$T$437dbf0e-84ff-417a-965d-ed2bb9650972]");
}

// A table with its companion tables, joined by every primary key column; names quoted.
TEST(NavTableSource, JoinsTheCompanionTables) {
    EXPECT_EQ(NavTableSource(sdSqlServer, "M$T", {}, {"No_"}), "[M$T] m");
    EXPECT_EQ(NavTableSource(sdSqlServer, "M$T$a", {"M$T$b", "M]$T$a$ext"}, {"Document No_", "Line No_"}),
              "[M$T$a] m LEFT JOIN [M$T$b] c1 ON c1.[Document No_] = m.[Document No_] AND c1.[Line No_] = m.[Line No_] "
              "LEFT JOIN [M]]$T$a$ext] c2 ON c2.[Document No_] = m.[Document No_] AND c2.[Line No_] = m.[Line No_]");
    EXPECT_EQ(NavTableSource(sdSqlite, "M\"$T", {"M$T$b"}, {"No_"}),
              "\"M\"\"$T\" m LEFT JOIN \"M$T$b\" c1 ON c1.[No_] = m.[No_]");
}

TEST(NavSqlServer, DiscoveryStatements) {
    const TSqlDialect d = sdSqlServer;
    EXPECT_EQ(NavSql::CompanyTables(d), "SELECT name FROM sys.tables WHERE LEFT(name, LEN(:p)) = :p");
    EXPECT_EQ(NavSql::InvoiceTables(d), "SELECT name FROM sys.tables WHERE name LIKE '%$Sales Invoice Header%'");
    EXPECT_EQ(NavSql::BaseAppVersion(d),
              "SELECT [Version Major], [Version Minor], [Version Build], [Version Revision] FROM [NAV App Installed App] "
              "WHERE [App ID] = :id");
    EXPECT_EQ(NavSql::ObjectVersionAndDate(d),
              "SELECT [Version List], [Date] FROM [Object] WHERE [Type] = 5 AND [ID] = 1 AND [Company Name] = ''");
    EXPECT_EQ(NavSql::ObjectVersion(d),
              "SELECT [Version List] FROM [Object] WHERE [Type] = 5 AND [ID] = 2 AND [Company Name] = ''");
    EXPECT_EQ(NavSql::ServerInstance(d),
              "SELECT TOP 1 [Server Instance Name], [Server Computer Name] FROM [Server Instance] ORDER BY [Last "
              "Active] DESC");
    EXPECT_EQ(NavSql::DbProperty(d), "SELECT [databaseversionno] FROM [$ndo$dbproperty]");
    EXPECT_EQ(NavSql::ServerVersion(d),
              "SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(50)), CAST(SERVERPROPERTY('Edition') AS "
              "nvarchar(100)), (SELECT CAST(compatibility_level AS nvarchar(10)) FROM sys.databases WHERE name = "
              "DB_NAME())");
    EXPECT_EQ(NavSql::ServerVersionLine(d, "15.0.2000.5", "Standard Edition (64-bit)", "150"),
              "SQL Server    : 15.0.2000.5 Standard Edition (64-bit), Kompatibilitätsgrad 150");
}

// The rows of one kind as the search keys them: filtered, and with a row limit only the
// newest of them.
std::string SqlServerSearchKeys(const std::string& headers, int kind, bool text, bool limited) {
    const std::string select =
        std::string("SELECT ") + (limited ? "TOP 1000 " : "") +
        "h.[No_], h.[Posting Date], h.[Bill-to Customer No_], h.[Bill-to Name], h.[Bill-to City], h.[Currency Code], "
        "LEN(h.[No_]) AS NoLen, " + std::to_string(kind) + " AS Art FROM " + headers +
        " h WHERE h.[Posting Date] BETWEEN :dvon AND :dbis" +
        (text ? " AND (h.[No_] LIKE :s1 OR h.[Bill-to Name] LIKE :s2 OR h.[Bill-to Customer No_] LIKE :s3 OR "
                "h.[Bill-to City] LIKE :s4)"
              : "");
    if (!limited) return select;
    return "SELECT * FROM (" + select + " ORDER BY h.[Posting Date] DESC, LEN(h.[No_]) DESC, h.[No_] DESC) i" +
           std::to_string(kind);
}

const char* const kSqlServerSearchMail =
    " AS Brutto, (SELECT TOP 1 c.[E-Mail] FROM [M$Customer] c WHERE c.[No_] = k.[Bill-to Customer No_]) AS Mail, "
    "k.Art FROM (";
const char* const kSqlServerSearchOrder = ") k ORDER BY k.[Posting Date] DESC, k.NoLen DESC, k.[No_] DESC, k.Art";

TEST(NavSqlServer, SearchStatement) {
    const std::string l = "[M$Sales Invoice Line]", c = "[M$Customer]", h = "[M$Sales Invoice Header]";
    for (bool text : {false, true})
        EXPECT_EQ(NavSql::Search(sdSqlServer, 1000, l, c, h, text),
                  "SELECT TOP 1000 k.[No_], k.[Posting Date], k.[Bill-to Customer No_], k.[Bill-to Name], "
                  "k.[Bill-to City], k.[Currency Code], (SELECT SUM(l.[Amount Including VAT]) FROM "
                  "[M$Sales Invoice Line] l WHERE l.[Document No_] = k.[No_])" +
                      std::string(kSqlServerSearchMail) + SqlServerSearchKeys(h, 0, text, true) +
                      kSqlServerSearchOrder);
}

// Both kinds in one statement: each kind sorted and cut to the row limit (TOP per half),
// then the union sorted and cut again; the gross amount from the lines of the row's kind.
TEST(NavSqlServer, SearchWithCreditMemosStatement) {
    const std::string l = "[M$Sales Invoice Line]", c = "[M$Customer]", h = "[M$Sales Invoice Header]",
                      cl = "[M$Sales Cr_Memo Line]", ch = "[M$Sales Cr_Memo Header]";
    const std::string gross =
        "CASE k.Art WHEN 0 THEN (SELECT SUM(l.[Amount Including VAT]) FROM [M$Sales Invoice Line] l WHERE "
        "l.[Document No_] = k.[No_]) ELSE (SELECT SUM(l.[Amount Including VAT]) FROM [M$Sales Cr_Memo Line] l WHERE "
        "l.[Document No_] = k.[No_]) END";
    const std::string columns = "k.[No_], k.[Posting Date], k.[Bill-to Customer No_], k.[Bill-to Name], "
                                "k.[Bill-to City], k.[Currency Code], ";
    for (bool text : {false, true}) {
        for (bool limited : {true, false}) {
            const std::string keys = SqlServerSearchKeys(h, 0, text, limited) + " UNION ALL " +
                                     SqlServerSearchKeys(ch, 1, text, limited);
            EXPECT_EQ(NavSql::SearchWithCreditMemos(sdSqlServer, limited ? 1000 : 0, l, c, h, cl, ch, text),
                      std::string("SELECT ") + (limited ? "TOP 1000 " : "") + columns + gross + kSqlServerSearchMail +
                          keys + kSqlServerSearchOrder);
        }
    }
    EXPECT_EQ(NavHeaderTable(bkInvoice), std::string("Sales Invoice Header"));
    EXPECT_EQ(NavLineTable(bkInvoice), std::string("Sales Invoice Line"));
    EXPECT_EQ(NavHeaderTable(bkCreditMemo), std::string("Sales Cr_Memo Header"));
    EXPECT_EQ(NavLineTable(bkCreditMemo), std::string("Sales Cr_Memo Line"));
}

TEST(NavSqlServer, LoadingAndRecipientStatements) {
    const TSqlDialect d = sdSqlServer;
    const std::string t = "[M$T]";
    struct Case { std::string actual, expected; };
    const Case cases[] = {
        {NavSql::CompanyInformation(d, t), "SELECT TOP 1 * FROM [M$T]"},
        {NavSql::InvoiceHeader(d, "[M$T] m"), "SELECT * FROM [M$T] m WHERE m.[No_] = :no"},
        {NavSql::PostingDate(d, t), "SELECT [Posting Date] FROM [M$T] WHERE [No_] = :p"},
        {NavSql::LcyCode(d, t), "SELECT TOP 1 [LCY Code] FROM [M$T]"},
        {NavSql::CodeDescriptions(d, t), "SELECT [Code], [Description] FROM [M$T]"},
        {NavSql::CountryNames(d, t), "SELECT [Code], [Name] FROM [M$T]"},
        {NavSql::CustomerMailAndGln(d, t), "SELECT [E-Mail], [GLN] FROM [M$T] WHERE [No_] = :p"},
        {NavSql::MandateAccount(d, t), "SELECT [Customer Bank Account Code] FROM [M$T] WHERE [ID] = :p"},
        {NavSql::CustomerBankAccounts(d, t),
         "SELECT [Code], [IBAN], [SWIFT Code] FROM [M$T] WHERE [Customer No_] = :cust AND [IBAN] <> '' ORDER BY [Code]"},
        {NavSql::Units(d, t), "SELECT [Code], [Description], [International Standard Code] FROM [M$T]"},
        {NavSql::InvoiceLines(d, "[M$T] m"), "SELECT * FROM [M$T] m WHERE m.[Document No_] = :no ORDER BY m.[Line No_]"},
        {NavSql::RowByNo(d, "[M$T] m"), "SELECT * FROM [M$T] m WHERE m.[No_] = :p"},
        {NavSql::AllRowsByNo(d, "[M$T] m"), "SELECT * FROM [M$T] m ORDER BY m.[No_]"},
        {NavSql::CmnmRecipients(d, "[M$CMNM Recipient]", "[M$Contact]"),
         "SELECT r.[Source Code], r.[Custom Address], k.[E-Mail] FROM [M$CMNM Recipient] r LEFT JOIN [M$Contact] k ON "
         "k.[No_] = r.[Contact No_] WHERE r.[Source Type] = :st AND r.[Document Type] = :dt AND r.[Recipient Type] = 0"},
        {NavSql::CustomReportSelection(d, t),
         "SELECT [Source No_], [Send To Email] FROM [M$T] WHERE [Source Type] = 18 AND [Usage] = 2 AND [Send To Email] "
         "<> '' ORDER BY [Sequence]"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(NavSqlite, TranslatesTheSqlServerOnlyParts) {
    const TSqlDialect d = sdSqlite;
    EXPECT_EQ(NavSql::CompanyInformation(d, "\"M$T\""), "SELECT * FROM \"M$T\" LIMIT 1");
    EXPECT_EQ(NavSql::LcyCode(d, "\"M$T\""), "SELECT [LCY Code] FROM \"M$T\" LIMIT 1");
    EXPECT_EQ(NavSql::ServerInstance(d),
              "SELECT [Server Instance Name], [Server Computer Name] FROM [Server Instance] ORDER BY [Last Active] "
              "DESC LIMIT 1");
    for (const std::string& sql : {NavSql::CompanyTables(d), NavSql::InvoiceTables(d), NavSql::ServerVersion(d)}) {
        EXPECT_EQ(sql.find("sys."), std::string::npos) << sql;
        EXPECT_EQ(sql.find("OBJECT_ID"), std::string::npos) << sql;
        EXPECT_EQ(sql.find("LEN("), std::string::npos) << sql;
    }
    std::string search = NavSql::Search(d, 25, "\"L\"", "\"C\"", "\"H\"", true);
    EXPECT_EQ(search.find("TOP"), std::string::npos);
    EXPECT_NE(search.find("length(h.[No_]) DESC, h.[No_] DESC LIMIT 25) i0) k ORDER BY"), std::string::npos);
    EXPECT_NE(search.find(":s4)"), std::string::npos);
    EXPECT_EQ(search.substr(search.size() - 9), " LIMIT 25");
    std::string both = NavSql::SearchWithCreditMemos(d, 25, "\"L\"", "\"C\"", "\"H\"", "\"CL\"", "\"CH\"", true);
    EXPECT_EQ(both.find("TOP"), std::string::npos);
    EXPECT_NE(both.find("FROM \"CH\" h WHERE h.[Posting Date] >= date(:dvon)"), std::string::npos);
    EXPECT_NE(both.find("h.[No_] DESC LIMIT 25) i1) k ORDER BY"), std::string::npos);
    EXPECT_NE(both.find("c.[No_] = k.[Bill-to Customer No_] LIMIT 1) AS Mail"), std::string::npos);
    EXPECT_EQ(both.substr(both.size() - 9), " LIMIT 25");
}
