#include "erp/nav_company.h"

#include "config/settings.h"
#include "erp/nav_data.h"
#include "erp/nav_posting_setup.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {
std::string CodeKey(const std::string& code) { return UpperAscii(Trim(code)); }
} // namespace

void TNavCodeTexts::Add(const std::string& code, const std::string& text) { FTexts.emplace(CodeKey(code), text); }

std::string TNavCodeTexts::Find(const std::string& code) const {
    if (code.empty()) return {};
    auto it = FTexts.find(CodeKey(code));
    return it != FTexts.end() ? it->second : std::string();
}

TNavCompanyData& TNavData::CompanyData(const std::string& company) {
    if (!FCompany) FCompany = std::make_unique<TNavCompanyData>();
    // Emptied in place: a caller's reference from an earlier call stays valid.
    if (FRunDepth == 0 || FCompany->Company != company) {
        RequireCompleteTables(company);
        *FCompany = TNavCompanyData();
        FCompany->Company = company;
    }
    return *FCompany;
}

const TSeller& TNavData::CompanySeller(TNavCompanyData& data) {
    if (data.Seller) return *data.Seller;
    auto q = NewQuery(NavSql::CompanyInformation(Dialect(), TableSource(data.Company, "Company Information", {"Primary Key"})));
    q->Open();
    if (q->Eof()) throw Exception("Firmendaten (Company Information) fehlen für Mandant " + data.Company);
    TSeller s;
    s.Addr = ReadAddress(*q, "", false);
    s.VatID = q->TrimmedText("VAT Registration No_");
    s.TaxNo = q->TrimmedText("Registration No_");
    s.GLN = q->TrimmedText("GLN");
    s.Phone = q->TrimmedText("Phone No_");
    s.Fax = q->TrimmedText("Fax No_");
    s.Email = q->TrimmedText("E-Mail");
    s.Web = q->TrimmedText("Home Page");
    s.IBAN = ReplaceAll(q->TrimmedText("IBAN"), " ", "");
    s.BIC = q->TrimmedText("SWIFT Code");
    s.BankName = q->TrimmedText("Bank Name");
    s.CreditorID = ReadNavCreditorId(*this, data.Company);
    return data.Seller.emplace(std::move(s));
}

const std::string& TNavData::LcyCode(TNavCompanyData& data) {
    if (!data.LcyCode) {
        auto q = NewQuery(NavSql::LcyCode(Dialect(), TableName(data.Company, "General Ledger Setup")));
        q->Open();
        data.LcyCode = q->Eof() ? std::string() : q->TrimmedText(0);
    }
    return *data.LcyCode;
}

TNavCodeTexts TNavData::ReadCodeTexts(const std::string& sql) {
    TNavCodeTexts texts;
    auto q = NewQuery(sql);
    for (q->Open(); !q->Eof(); q->Next()) texts.Add(q->TrimmedText(0), q->TrimmedText(1));
    return texts;
}

const TNavCodeTexts& TNavData::PaymentTerms(TNavCompanyData& data) {
    if (!data.PaymentTerms)
        data.PaymentTerms = ReadCodeTexts(NavSql::CodeDescriptions(Dialect(), TableName(data.Company, "Payment Terms")));
    return *data.PaymentTerms;
}

const TNavCodeTexts& TNavData::PaymentMethods(TNavCompanyData& data) {
    if (!data.PaymentMethods)
        data.PaymentMethods =
            ReadCodeTexts(NavSql::CodeDescriptions(Dialect(), TableName(data.Company, "Payment Method")));
    return *data.PaymentMethods;
}

const TNavCodeTexts& TNavData::Countries(TNavCompanyData& data) {
    if (!data.Countries)
        data.Countries = ReadCodeTexts(NavSql::CountryNames(Dialect(), TableName(data.Company, "Country_Region")));
    return *data.Countries;
}

const std::map<std::string, TNavUnit>& TNavData::Units(TNavCompanyData& data) {
    if (!data.Units) {
        std::map<std::string, TNavUnit> units;
        auto q = NewQuery(NavSql::Units(Dialect(), TableName(data.Company, "Unit of Measure")));
        // A later row of the same code overwrites an earlier one.
        for (q->Open(); !q->Eof(); q->Next())
            units[UpperAscii(q->TrimmedText(0))] = TNavUnit{q->TrimmedText(1), q->TrimmedText(2)};
        data.Units = std::move(units);
    }
    return *data.Units;
}

const TNavRecipients& TNavData::Recipients(TNavCompanyData& data) {
    if (!data.Recipients) ReadRecipients(data);
    return *data.Recipients;
}

} // namespace velkaro
