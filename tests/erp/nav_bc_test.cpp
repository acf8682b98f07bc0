// Business Central naming: the demo database with app ids reads exactly as the NAV one,
// on both backends; the version from the installed apps; a half-migrated copy and a
// company with missing tables.
#include <filesystem>
#include <sstream>

#include "nav_backend_fixture.h"

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using namespace velkaro::test;

namespace {

const TDateTime kFirst = EncodeDate(1900, 1, 1), kLast = EncodeDate(2199, 12, 31);

std::string Text(const TAddress& a) {
    return a.Name + "|" + a.Name2 + "|" + a.Street + "|" + a.Street2 + "|" + a.PostCode + "|" + a.City + "|" +
           a.County + "|" + a.CountryNav + "|" + a.Country + "|" + a.Contact;
}

// What the search lists and what loading reads of every document, as text.
std::string Dump(TNavData& nav) {
    std::ostringstream out;
    for (const std::string& company : nav.Companies()) {
        const TSeller seller = nav.LoadSeller(company);
        out << "Mandant " << company << ": " << Text(seller.Addr) << "|" << seller.VatID << "|" << seller.IBAN << "|"
            << seller.CreditorID << "\n";
        for (const TInvoiceListItem& row : nav.Search(company, "", kFirst, kLast)) {
            out << row.Kind << " " << row.No << "|" << row.PostingDate << "|" << row.CustomerNo << "|" << row.Name << "|"
                << row.City << "|" << row.CurrencyCode << "|" << row.Gross.ToString() << "|" << row.InvoiceEmail << "|"
                << row.InvoiceEmailSource << "\n";
            const std::unique_ptr<TInvoice> inv = nav.LoadInvoice(company, row.No, row.Kind);
            out << "  " << Text(inv->BillTo) << "|" << Text(inv->ShipTo) << "|" << inv->CorrectedInvoiceNo << "|"
                << inv->DueDate << "|" << inv->PayTermsText << "|" << inv->PayMethodText << "|" << inv->BuyerGLN << "|"
                << inv->InvoiceEmail << "|" << inv->BuyerIBAN << "|" << inv->CardNumberTail << "|" << inv->CardHolder
                << "|" << inv->LeitwegID << "|" << inv->GrandTotal.ToString() << "|" << inv->DuePayable.ToString()
                << "|" << inv->Warnings.size() << "\n";
            for (const TInvLine& l : inv->Lines)
                out << "    " << l.LineNo << "|" << l.ItemNo << "|" << l.Description << "|" << l.UnitText << "|"
                    << l.UnitIso << "|" << l.Quantity << "|" << l.Amount.ToString() << "|" << l.TaxCategory << "|"
                    << l.VatClauseText << "\n";
        }
    }
    return out.str();
}

} // namespace

class NavBusinessCentral : public NavBackendTest {
protected:
    // A copy of the demo in Business Central naming, changed by `sql`, with the demo settings.
    void OpenBcCopy(const std::string& sql) {
        const std::string db = FFolder.File("kopie.db");
        std::filesystem::copy_file(BcDemoDbPath(), db, std::filesystem::copy_options::overwrite_existing);
        ExecSqlite(db, sql);
        Open(db, ReadTextFile(SourceDir() + "/demo/velkaro.ini"));
    }
};

TEST_P(NavBusinessCentral, DemoReadsAsTheNavDemo) {
    OpenDemo();
    const std::string nav = Dump(*FNav);
    OpenBcDemo();
    const std::string bc = Dump(*FNav);
    EXPECT_EQ(bc, nav);
    // What only the other apps' tables hold came through: the card payment (a partner
    // app's table, the card number in the shared companion table) and the CMNM recipients.
    EXPECT_NE(bc.find("CMNM-Empfänger"), std::string::npos);
    const std::unique_ptr<TInvoice> card = FNav->LoadInvoice("Muster GmbH", "RE24-0101");
    EXPECT_FALSE(card->CardNumberTail.empty());
    EXPECT_EQ(FNav->CompanyTables("Muster GmbH").Naming(), TNavCompanyTables::nnBusinessCentral);
    EXPECT_EQ(FNav->TableName("muster gmbh", "CMNM Recipient"),
              "\"Muster GmbH$CMNM Recipient$5c1e7a4d-2b9f-4e36-a0c8-3d6f1b2e9a71\"");
    EXPECT_TRUE(FNav->HasCreditMemos("Muster GmbH"));
    EXPECT_FALSE(FNav->HasCreditMemos("Nordwind Handels GmbH"));
    EXPECT_TRUE(FNav->TableHints().empty());
}

TEST_P(NavBusinessCentral, VersionOfTheBaseApplication) {
    OpenBcDemo();
    EXPECT_EQ(FNav->ProductVersion(), "Business Central 23.5 (Build 16502)");
    const std::vector<std::string> lines = FNav->NavVersionInfo();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "NAV-Version   : Business Central 23.5 (Build 16502)");
    EXPECT_EQ(lines[1], "Anwendung     : Base Application 23.5.16502.16887");
    EXPECT_EQ(lines[2], "NAV-Dienst    : BC230 auf BCSRV01");
    EXPECT_EQ(lines[3], "DB-Version    : 230000 (NAV-intern)");
    OpenDemo();
    EXPECT_EQ(FNav->ProductVersion(), "Microsoft Dynamics NAV 2016 (9.00, Build 47256)");
}

// A copy migrated halfway: the company's NAV tables (here empty) beside the Business
// Central ones. The company is listed once, the Business Central tables are read and a
// hint says so.
TEST_P(NavBusinessCentral, HalfMigratedCopyReadsTheBusinessCentralTables) {
    OpenBcCopy("CREATE TABLE \"Muster GmbH$Sales Invoice Header\" ([No_] TEXT);"
               "CREATE TABLE \"Muster GmbH$Customer\" ([No_] TEXT);");
    EXPECT_EQ(FNav->Companies(), (std::vector<std::string>{"Muster GmbH", "Nordwind Handels GmbH"}));
    EXPECT_GE(FNav->Search("Muster GmbH", "", kFirst, kLast).size(), 20u);
    const std::string hint =
        "Mandant „Muster GmbH“: Tabellen in NAV- und in Business-Central-Benennung gefunden (halb migrierte Kopie?); "
        "gelesen werden die Business-Central-Tabellen (mit App-ID), die NAV-Tabellen ohne App-ID bleiben unbeachtet.";
    EXPECT_EQ(FNav->TableHints(), std::vector<std::string>{hint});
    FNav->Disconnect();
    const std::vector<std::string> lines = FNav->NavVersionInfo();
    EXPECT_EQ(lines.back(), "Hinweis       : " + hint) << "the check and the about dialog say it too";
}

TEST_P(NavBusinessCentral, IncompleteCompanyIsNamedWithWhatIsMissing) {
    OpenBcCopy("DROP TABLE \"Nordwind Handels GmbH$Customer$437dbf0e-84ff-417a-965d-ed2bb9650972\";"
               "DROP TABLE \"Nordwind Handels GmbH$Payment Terms$437dbf0e-84ff-417a-965d-ed2bb9650972\";");
    const std::string error = "Die Tabellen des Mandanten „Nordwind Handels GmbH“ sind unvollständig "
                              "(Business-Central-Benennung mit App-ID). Es fehlen die Tabellen „Customer“, „Payment "
                              "Terms“.";
    EXPECT_EQ(ErrorOf([&] { FNav->Search("Nordwind Handels GmbH", "", kFirst, kLast); }), error);
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Nordwind Handels GmbH", "RE24-N001"); }), error);
    EXPECT_EQ(ErrorOf([&] { FNav->LoadSeller("Nordwind Handels GmbH"); }), error);
    EXPECT_FALSE(FNav->Search("Muster GmbH", "", kFirst, kLast).empty()) << "the other company reads on";
}

INSTANTIATE_TEST_SUITE_P(Backends, NavBusinessCentral, ::testing::Values(TBackendKind::Embedded, TBackendKind::Odbc),
                         BackendName);
