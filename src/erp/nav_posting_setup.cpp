#include "erp/nav_posting_setup.h"

#include <map>
#include <utility>

#include "erp/nav_data.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// A column that older databases lack reads as empty text.
std::string OptionalText(const TDbQuery& q, std::string_view column) {
    return q.FindField(column) >= 0 ? q.TrimmedText(column) : std::string();
}

std::string ClauseText(const TDbQuery& q) {
    return Trim(OptionalText(q, "Description") + " " + OptionalText(q, "Description 2"));
}

} // namespace

void ReadNavTaxSetup(TNavData& data, const std::string& company, const std::string& languageCode, TInvoice& invoice) {
    const TSqlDialect d = data.Dialect();
    // (business group, product group) -> (tax category, clause code)
    std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> setup;
    if (data.TableExists(company, "VAT Posting Setup")) {
        auto q = data.NewQuery(NavSql::AllRows(d, data.TableSource(company, "VAT Posting Setup",
                                                                  {"VAT Bus_ Posting Group", "VAT Prod_ Posting Group"})));
        q->Open();
        for (; !q->Eof(); q->Next())
            setup[{UpperAscii(OptionalText(*q, "VAT Bus_ Posting Group")), UpperAscii(OptionalText(*q, "VAT Prod_ Posting Group"))}] =
                {UpperAscii(OptionalText(*q, "Tax Category")), OptionalText(*q, "VAT Clause Code")};
    }
    std::map<std::string, std::string> clauses;  // upper-case code -> text
    if (data.TableExists(company, "VAT Clause")) {
        auto q = data.NewQuery(NavSql::AllRows(d, data.TableSource(company, "VAT Clause", {"Code"})));
        q->Open();
        for (; !q->Eof(); q->Next()) clauses[UpperAscii(OptionalText(*q, "Code"))] = ClauseText(*q);
    }
    if (!languageCode.empty() && !clauses.empty() && data.TableExists(company, "VAT Clause Translation")) {
        auto q = data.NewQuery(NavSql::AllRows(d, data.TableSource(company, "VAT Clause Translation",
                                                                  {"VAT Clause Code", "Language Code"})));
        q->Open();
        for (; !q->Eof(); q->Next()) {
            const std::string text = ClauseText(*q);
            if (SameText(OptionalText(*q, "Language Code"), languageCode) && !text.empty())
                clauses[UpperAscii(OptionalText(*q, "VAT Clause Code"))] = text;
        }
    }
    for (TInvLine& line : invoice.Lines) {
        std::string clauseCode = line.VatClause;
        auto row = setup.find({UpperAscii(line.VatBusGroup), UpperAscii(line.VatProdGroup)});
        if (row != setup.end()) {
            line.TaxCategory = row->second.first;
            if (clauseCode.empty()) clauseCode = row->second.second;
        }
        if (auto clause = clauses.find(UpperAscii(clauseCode)); clause != clauses.end())
            line.VatClauseText = clause->second;
    }
}

void ReadNavCard(TNavData& data, const std::string& company, const std::string& cardCode, TInvoice& invoice) {
    if (cardCode.empty() || !data.TableExists(company, "DO Payment Credit Card")) return;
    auto q = data.NewQuery(NavSql::RowByNo(data.Dialect(), data.TableSource(company, "DO Payment Credit Card", {"No_"})));
    q->SetText("p", cardCode);
    q->Open();
    if (q->Eof()) return;
    std::string digits;
    for (char c : OptionalText(*q, "Card Number"))
        if (c >= '0' && c <= '9') digits += c;
    // Never more than the last four digits (the card industry's rule, EN 16931 BR-51).
    invoice.CardNumberTail = digits.size() > 4 ? digits.substr(digits.size() - 4) : digits;
    invoice.CardHolder = OptionalText(*q, "Name on Card");
}

std::string ReadNavCreditorId(TNavData& data, const std::string& company) {
    if (!data.TableExists(company, "Bank Account")) return {};
    auto q = data.NewQuery(NavSql::AllRowsByNo(data.Dialect(), data.TableSource(company, "Bank Account", {"No_"})));
    q->Open();
    if (q->FindField("Creditor No_") < 0) return {};
    for (; !q->Eof(); q->Next())
        if (std::string id = q->TrimmedText("Creditor No_"); !id.empty()) return id;
    return {};
}

} // namespace velkaro
