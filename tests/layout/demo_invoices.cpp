#include "demo_invoices.h"

#include "erp/nav_data.h"
#include "platform/error.h"
#include "platform/files.h"

namespace velkaro::test {

namespace {
// The posted-data cases of 2025 (NAV's setup, Full VAT, payment instructions) are
// checked against the validators by the XML tests; some carry findings on purpose.
const TDateTime kLastScenarioDay = EncodeDate(2024, 12, 31);
} // namespace

DemoSet LoadDemoInvoices(const TempFolder& folder) {
    DemoSet set;
    std::string output;
    std::string db = folder.File("velkaro-demo.db");
    if (RunCommand("bash '" + SourceDir() + "/demo/make-demo-db.sh' '" + db + "'", output) != 0) {
        set.Error = "Demo-Datenbank nicht erstellt: " + output;
        return set;
    }
    std::string ini = folder.File("velkaro.ini");
    WriteFileBytes(ini, ReadFileBytes(SourceDir() + "/demo/velkaro.ini"));
    set.Settings = std::make_unique<TSettings>(ini);
    set.Settings->Provider = "SQLite";
    set.Settings->Database = "velkaro-demo.db";
    set.Settings->MaxRows = 100000;
    set.Print = TPrintSetup{.FontName = set.Settings->FontName,
                            .IccFile = set.Settings->IccFile,
                            .WholeFonts = set.Settings->WholeFonts,
                            .Layout = set.Settings->Layout.get(),
                            .LogoFile = set.Settings->LogoFile,
                            .PictureFolder = folder.Path(),
                            .TaxRules = TaxRulesOf(*set.Settings)};
    TNavData nav(*set.Settings);
    for (const std::string& company : nav.Companies()) {
        TSeller seller = nav.LoadSeller(company);
        for (const TInvoiceListItem& row : nav.Search(company, "", EncodeDate(1900, 1, 1), kLastScenarioDay)) {
            try {
                std::unique_ptr<TInvoice> inv = nav.LoadInvoice(company, row.No);
                set.Invoices.push_back({company, std::move(*inv), seller});
            } catch (const Exception& e) {
                set.Refused.push_back(company + " " + row.No + ": " + e.what());
            }
        }
    }
    return set;
}

} // namespace velkaro::test
