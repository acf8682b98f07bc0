// Invoice search on the demo company and on small fixtures.
#include <algorithm>
#include <cstdlib>

#include "nav_backend_fixture.h"

#include "platform/error.h"

using namespace velkaro;
using namespace velkaro::test;

namespace {
std::vector<std::string> Numbers(const std::vector<TInvoiceListItem>& items) {
    std::vector<std::string> n;
    for (const auto& i : items) n.push_back(i.No);
    return n;
}
const TDateTime kMarch1 = EncodeDate(2024, 3, 1), kMarch31 = EncodeDate(2024, 3, 31);
} // namespace

class NavSearch : public NavBackendTest {};

TEST_P(NavSearch, MarchNewestFirstWithBothBoundsIncluded) {
    OpenDemo();
    // Times of day on the bounds are cut off: the whole days count. Invoices and the two
    // credit memos of March (GS24-0004, GS24-0002) in one order.
    auto items = FNav->Search("Muster GmbH", "", kMarch1 + 0.75, kMarch31 + 0.25);
    EXPECT_EQ(Numbers(items),
              (std::vector<std::string>{"RE24-0013", "RE24-0012", "GS24-0004", "RE24-0016", "RE24-0011", "GS24-0002",
                                        "RE24-0010", "RE24-0017", "RE24-0009", "RE24-0008", "RE24-0007", "RE24-0006",
                                        "RE24-0005", "RE24-0004", "RE24-0003", "RE24-0002", "RE24-0001"}));
    for (const TInvoiceListItem& item : items)
        EXPECT_EQ(item.Kind, item.No.starts_with("GS") ? bkCreditMemo : bkInvoice) << item.No;
    const TInvoiceListItem& first = items.back();
    EXPECT_EQ(first.CustomerNo, "D10000");
    EXPECT_EQ(first.Name, "Bäckerei Schmidt GmbH & Co. KG");
    EXPECT_EQ(first.City, "München");
    EXPECT_EQ(first.CurrencyCode, "");
    EXPECT_DOUBLE_EQ(first.PostingDate, EncodeDate(2024, 3, 4));
    EXPECT_EQ(first.Gross, Currency::Parse("812.68"));
    EXPECT_EQ(first.InvoiceEmail, "rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de");
    EXPECT_EQ(first.InvoiceEmailSource, "Debitor E-Mail");
    EXPECT_EQ(items[11].CurrencyCode, "CHF");
    EXPECT_EQ(items[11].Gross, Currency::Parse("3970"));
    EXPECT_EQ(items[3].Name, "Zakład Gastronomiczny „Źródło” Sp. z o.o.");
    EXPECT_EQ(items[3].City, "Łódź");
    // A credit memo's gross is its own lines' sum, positive as NAV stores it.
    EXPECT_EQ(items[2].CurrencyCode, "CHF");
    EXPECT_EQ(items[2].Gross, Currency::Parse("85.8"));
    EXPECT_EQ(items[5].Gross, Currency::Parse("94.52"));
    EXPECT_EQ(items[5].InvoiceEmail, first.InvoiceEmail) << "the customer's invoice address, as for invoices";
}

TEST_P(NavSearch, RecipientsOfEverySource) {
    OpenDemo();
    auto items = FNav->Search("Muster GmbH", "", kMarch1, kMarch31);
    std::map<std::string, std::pair<std::string, std::string>> byNo;
    for (const auto& i : items) byNo[i.No] = {i.InvoiceEmail, i.InvoiceEmailSource};
    EXPECT_EQ(byNo["RE24-0002"], std::make_pair(std::string("rechnungseingang@musterkreis.de; kaemmerei@musterkreis.de"),
                                                std::string("CMNM-Empfänger VK-RECHNUNG")));
    EXPECT_EQ(byNo["RE24-0004"], std::make_pair(std::string("facturen@vanderberg.nl; crediteuren@vanderberg.nl"),
                                                std::string("Dokumentlayouts (An E-Mail senden)")));
    EXPECT_EQ(byNo["RE24-0005"], std::make_pair(std::string("buchhaltung@krause-bau.de"),
                                                std::string("Debitor E-Mail (Rechnungs-Kennzeichnung)")));
    EXPECT_EQ(byNo["RE24-0010"], std::make_pair(std::string("buchhaltung@elektro-maier.de"), std::string("Debitor E-Mail")))
        << "a CMNM entry without an address passes on to the customer card";
    EXPECT_EQ(byNo["RE24-0012"], std::make_pair(std::string(), std::string()));
}

TEST_P(NavSearch, TextFilter) {
    OpenDemo();
    const TDateTime all0 = EncodeDate(2000, 1, 1), all1 = EncodeDate(2030, 12, 31);
    struct Case { const char* text; std::vector<std::string> expected; };
    const Case cases[] = {
        {"  D40000 ", {"RE24-0108", "RE24-0005", "RE24-0015"}},  // bill-to customer, all time
        {"ipzi", {"RE24-0108", "RE24-0005", "RE24-0015"}},       // part of the city
        {"Vogel", {"RE24-0107", "RE24-0009"}},                   // part of the name
        {"RE24-001_", {"RE24-0014", "RE24-0013", "RE24-0012", "RE24-0016", "RE24-0011", "RE24-0010", "RE24-0017", "RE24-0015"}},  // "_" is a wildcard
        {"Łódź", {"RE24-0110", "RE24-0016"}},       // a city beyond Windows-1252
        {"الخليج", {"RE24-0090"}},                  // part of an Arabic name
        {"O'Brien", {}},
        {"NW-1001", {}},  // another company's invoice
    };
    for (const auto& c : cases) EXPECT_EQ(Numbers(FNav->Search("Muster GmbH", c.text, all0, all1)), c.expected) << c.text;
    // 28 invoices and 6 credit memos.
    EXPECT_EQ(FNav->Search("Muster GmbH", "   ", all0, all1).size(), 34u) << "blanks only: no filter";
    EXPECT_EQ(FNav->Search("Muster GmbH", "%", all0, all1).size(), 34u);
    EXPECT_EQ(Numbers(FNav->Search("Muster GmbH", "GS24", all0, all1)),
              (std::vector<std::string>{"GS24-0101", "GS24-0001", "GS24-0005", "GS24-0003", "GS24-0004", "GS24-0002"}));
    EXPECT_TRUE(FNav->Search("Muster GmbH", std::string(10000, 'x'), all0, all1).empty());
    EXPECT_TRUE(FNav->Search("Muster GmbH", "", kMarch31 + 1, kMarch1).empty()) << "reversed range";
}

TEST_P(NavSearch, RowLimitKeepsTheNewest) {
    OpenDemo();
    FSettings->MaxRows = 3;
    EXPECT_EQ(Numbers(FNav->Search("Muster GmbH", "", kMarch1, kMarch31)),
              (std::vector<std::string>{"RE24-0013", "RE24-0012", "GS24-0004"}));
    FSettings->MaxRows = 0;  // not a usable limit: the default applies
    EXPECT_EQ(FNav->Search("Muster GmbH", "", kMarch1, kMarch31).size(), 17u) << "15 invoices, 2 credit memos";
}

TEST_P(NavSearch, ManyInvoicesSameDayNumbersAndNoLines) {
    std::string db = FFolder.File("many.db");
    const std::string h = "\"X]'$ Y$Sales Invoice Header\"";
    ExecSqlite(db, NavSchemaSql("X]'$ Y") +
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
                       "INSERT INTO " + h + " ([No_], [Bill-to Customer No_], [Posting Date]) "
                       "SELECT printf('V%05d', i), 'K1', date('2023-01-01', '+' || (i / 10) || ' days') || ' 00:00:00' FROM n;"
                       "INSERT INTO " + h + " ([No_], [Bill-to Customer No_], [Bill-to Name], [Posting Date]) VALUES "
                       "('RE9', 'K2', 'Neun', '2024-06-03 00:00:00'), ('RE10', 'K2', 'Zehn', '2024-06-03 00:00:00'),"
                       "('RE11', 'K2', 'Elf', '2024-06-03 00:00:00'), ('RE100%', 'K2', 'Prozent', '2024-06-01T00:00:00'),"
                       "('RE200', 'K2', 'Juli', '2024-07-01');"
                       "INSERT INTO \"X]'$ Y$Sales Invoice Line\" ([Document No_], [Line No_], [Amount Including VAT]) VALUES "
                       "('RE9', 10000, 11.9), ('RE9', 20000, '0.10');");
    Open(db, "[Datenbank]\nProvider=\nDatenbank=\n");
    auto june = FNav->Search("X]'$ Y", "RE", EncodeDate(2024, 6, 3), EncodeDate(2024, 6, 3));
    EXPECT_EQ(Numbers(june), (std::vector<std::string>{"RE11", "RE10", "RE9"}));
    ASSERT_EQ(june.size(), 3u);
    EXPECT_EQ(june[0].Gross, Currency()) << "no lines: 0";
    EXPECT_EQ(june[2].Gross, Currency::Parse("12")) << "REAL and TEXT amounts summed";
    EXPECT_EQ(june[2].InvoiceEmail, "") << "customer missing: no address";
    EXPECT_EQ(Numbers(FNav->Search("X]'$ Y", "100%", EncodeDate(2024, 6, 1), EncodeDate(2024, 6, 30))),
              (std::vector<std::string>{"RE100%"}));
    // Dates stored as "YYYY-MM-DD" or with a "T" count by their day.
    EXPECT_EQ(Numbers(FNav->Search("X]'$ Y", "", EncodeDate(2024, 6, 1), EncodeDate(2024, 7, 1))),
              (std::vector<std::string>{"RE200", "RE11", "RE10", "RE9", "RE100%"}));
    EXPECT_EQ(Numbers(FNav->Search("X]'$ Y", "", EncodeDate(2024, 6, 2), EncodeDate(2024, 6, 30))),
              (std::vector<std::string>{"RE11", "RE10", "RE9"}));

    auto limited = FNav->Search("X]'$ Y", "", EncodeDate(2000, 1, 1), EncodeDate(2023, 12, 31));
    ASSERT_EQ(limited.size(), 1000u);
    EXPECT_EQ(limited.front().No, "V01500");
    EXPECT_EQ(limited.back().No, "V00501");
    // A batch selection reads every row, in the same order.
    auto all = FNav->Search("X]'$ Y", "", EncodeDate(2000, 1, 1), EncodeDate(2023, 12, 31), TNavData::rlNone);
    ASSERT_EQ(all.size(), 1500u);
    EXPECT_EQ(all.front().No, "V01500");
    EXPECT_EQ(all.back().No, "V00001");
    EXPECT_TRUE(std::equal(limited.begin(), limited.end(), all.begin(),
                           [](const TInvoiceListItem& a, const TInvoiceListItem& b) { return a.No == b.No; }));
}

// Same day and same length: the higher number first, whatever its kind; the row limit
// counts both kinds. Without the credit-memo tables the search reads invoices only.
TEST_P(NavSearch, CreditMemosInterleaveAndAreOptional) {
    std::string db = FFolder.File("credit.db");
    const std::string h = "\"C$Sales Invoice Header\"", ch = "\"C$Sales Cr_Memo Header\"";
    ExecSqlite(db, NavSchemaSql("C") + NavSchemaSql("Alt") +
                       "INSERT INTO " + h + " ([No_], [Bill-to Customer No_], [Bill-to Name], [Posting Date]) VALUES "
                       "('A2', 'K1', 'Eins', '2024-06-03 00:00:00'), ('A10', 'K1', 'Eins', '2024-06-03 00:00:00'),"
                       "('A1', 'K1', 'Eins', '2024-06-01 00:00:00');"
                       "INSERT INTO " + ch + " ([No_], [Bill-to Customer No_], [Bill-to Name], [Posting Date]) VALUES "
                       "('A3', 'K1', 'Eins', '2024-06-03 00:00:00'), ('B1', 'K2', 'Zwei', '2024-06-02 00:00:00'),"
                       "('A11', 'K1', 'Eins', '2024-05-31 00:00:00');"
                       "INSERT INTO \"C$Sales Cr_Memo Line\" ([Document No_], [Line No_], [Amount Including VAT]) VALUES "
                       "('A3', 10000, 11.9), ('A3', 20000, 1.19);"
                       "INSERT INTO \"Alt$Sales Invoice Header\" ([No_], [Posting Date]) VALUES ('A1', '2024-06-01');"
                       "DROP TABLE \"Alt$Sales Cr_Memo Header\"; DROP TABLE \"Alt$Sales Cr_Memo Line\";");
    Open(db, "[Datenbank]\nProvider=\nDatenbank=\n");
    const TDateTime from = EncodeDate(2024, 6, 1), to = EncodeDate(2024, 6, 30);
    auto found = FNav->Search("C", "", from, to);
    EXPECT_EQ(Numbers(found), (std::vector<std::string>{"A10", "A3", "A2", "B1", "A1"}));
    std::vector<TDocumentKind> kinds;
    for (const auto& i : found) kinds.push_back(i.Kind);
    EXPECT_EQ(kinds, (std::vector<TDocumentKind>{bkInvoice, bkCreditMemo, bkInvoice, bkCreditMemo, bkInvoice}));
    EXPECT_EQ(found[1].Gross, Currency::Parse("13.09"));
    EXPECT_EQ(Numbers(FNav->Search("C", "Zwei", from, to)), (std::vector<std::string>{"B1"})) << "text filter on both";
    FSettings->MaxRows = 2;
    EXPECT_EQ(Numbers(FNav->Search("C", "", from, to)), (std::vector<std::string>{"A10", "A3"}));
    EXPECT_EQ(FNav->Search("C", "", from, to, TNavData::rlNone).size(), 5u);

    auto old = FNav->Search("Alt", "", from, to);
    EXPECT_EQ(Numbers(old), (std::vector<std::string>{"A1"}));
    EXPECT_FALSE(FNav->HasCreditMemos("Alt"));
    EXPECT_TRUE(FNav->HasCreditMemos("C"));
    // Asked once per connection: a table dropped meanwhile is noticed after reconnecting.
    ExecSqlite(GetParam() == TBackendKind::Embedded ? FFolder.File("nav.db") : db,  // the file in use
               "DROP TABLE \"C$Sales Cr_Memo Line\";");
    EXPECT_TRUE(FNav->HasCreditMemos("C"));
    FNav->Disconnect();
    EXPECT_FALSE(FNav->HasCreditMemos("C"));
    EXPECT_EQ(Numbers(FNav->Search("C", "", from, to, TNavData::rlNone)), (std::vector<std::string>{"A10", "A2", "A1"}));
}

// The search as it read before its rows were sorted and cut per kind: the union of both
// kinds with the gross amount and the e-mail of every row, sorted and cut outside.
std::string UnionSortedOutside(const std::string& company, bool withText, int maxRows) {
    const auto table = [&](const char* name) { return NavTableName(sdSqlite, company, name); };
    const auto kind = [&](const char* lines, const char* headers, int art) {
        return "SELECT h.[No_], h.[Posting Date], h.[Bill-to Customer No_], h.[Bill-to Name], h.[Bill-to City], "
               "h.[Currency Code], (SELECT SUM(l.[Amount Including VAT]) FROM " + table(lines) +
               " l WHERE l.[Document No_] = h.[No_]) AS Brutto, (SELECT c.[E-Mail] FROM " + table("Customer") +
               " c WHERE c.[No_] = h.[Bill-to Customer No_] LIMIT 1) AS Mail, " + std::to_string(art) +
               " AS Art FROM " + table(headers) +
               " h WHERE h.[Posting Date] >= date(:dvon) AND h.[Posting Date] < date(:dbis, '+1 day')" +
               (withText ? " AND (h.[No_] LIKE :s1 OR h.[Bill-to Name] LIKE :s2 OR h.[Bill-to Customer No_] LIKE :s3 "
                           "OR h.[Bill-to City] LIKE :s4)"
                         : "");
    };
    return "SELECT * FROM (" + kind("Sales Invoice Line", "Sales Invoice Header", 0) + " UNION ALL " +
           kind("Sales Cr_Memo Line", "Sales Cr_Memo Header", 1) +
           ") b ORDER BY b.[Posting Date] DESC, length(b.[No_]) DESC, b.[No_] DESC" +
           (maxRows > 0 ? " LIMIT " + std::to_string(maxRows) : "");
}

// The rows of the bulk database (3,000 invoices, 300 credit memos) of the search's
// statement and of the former one, column by column, for every kind of search.
TEST_P(NavSearch, SameRowsAsTheUnionSortedOutsideOnTheBulkDatabase) {
    const std::string db = FFolder.File("bulk.db");
    ASSERT_EQ(std::system(("bash '" + SourceDir() + "/demo/make-bulk-db.sh' 3000 '" + db + "'").c_str()), 0);
    Open(db, "[Datenbank]\nProvider=\nDatenbank=\n");
    const std::string company = "Muster GmbH";
    const auto table = [&](const char* name) { return FNav->TableName(company, name); };
    struct Case {
        const char* Text;
        TDateTime From, To;
        int MaxRows;
    };
    const Case cases[] = {
        {"", EncodeDate(2000, 1, 1), EncodeDate(2030, 12, 31), 1000},  // more rows than the limit
        {"", EncodeDate(2022, 3, 1), EncodeDate(2022, 3, 31), 1000},   // fewer
        {"", EncodeDate(2022, 1, 1), EncodeDate(2023, 12, 31), 0},     // no limit
        {"Vogel", EncodeDate(2000, 1, 1), EncodeDate(2030, 12, 31), 1000},
        {"C00012", EncodeDate(2000, 1, 1), EncodeDate(2030, 12, 31), 1000},  // credit memos only
        {"", EncodeDate(2030, 1, 1), EncodeDate(2030, 12, 31), 1000},       // nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Text) + " " + FormatSortableDateTime(c.From) + " " + FormatSortableDateTime(c.To));
        const bool withText = *c.Text != '\0';
        const auto rows = [&](const std::string& sql) {
            auto q = FNav->NewQuery(sql);
            q->SetDateTime("dvon", c.From);
            q->SetDateTime("dbis", c.To);
            if (withText)
                for (const char* name : {"s1", "s2", "s3", "s4"}) q->SetText(name, "%" + std::string(c.Text) + "%");
            std::vector<std::string> texts;
            for (q->Open(); !q->Eof(); q->Next()) {
                std::string row;
                for (int i = 0; i < q->FieldCount(); ++i) row += q->Text(i) + "|";
                texts.push_back(row);
            }
            return texts;
        };
        const std::vector<std::string> now =
            rows(NavSql::SearchWithCreditMemos(sdSqlite, c.MaxRows, table("Sales Invoice Line"), table("Customer"),
                                               table("Sales Invoice Header"), table("Sales Cr_Memo Line"),
                                               table("Sales Cr_Memo Header"), withText));
        EXPECT_EQ(now, rows(UnionSortedOutside(company, withText, c.MaxRows)));
        if (c.From != EncodeDate(2030, 1, 1)) EXPECT_FALSE(now.empty()) << "a comparison of something";
        if (c.MaxRows == 1000 && c.From == EncodeDate(2000, 1, 1) && !withText) EXPECT_EQ(now.size(), 1000u);
    }
}

TEST_P(NavSearch, UnknownCompanyIsAnError) {
    OpenDemo();
    EXPECT_THROW(FNav->Search("Gibt es nicht", "", kMarch1, kMarch31), Exception);
}

INSTANTIATE_TEST_SUITE_P(Backends, NavSearch, ::testing::Values(TBackendKind::Embedded, TBackendKind::Odbc), BackendName);
