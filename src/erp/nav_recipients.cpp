#include "config/settings.h"
#include "erp/nav_data.h"
#include "invoice/email_extract.h"
#include "platform/text.h"

namespace velkaro {

void TNavData::LoadRecipientMaps(const std::string& company) { ReadRecipients(CompanyData(company)); }

void TNavData::ReadRecipients(TNavCompanyData& data) {
    const std::string& company = data.Company;
    TNavRecipients maps;
    const TSqlDialect d = Dialect();
    if (TableExists(company, "CMNM Recipient")) {
        auto q = NewQuery(NavSql::CmnmRecipients(d, TableName(company, "CMNM Recipient"), TableName(company, "Contact")));
        q->SetInteger("st", FSettings.CmnmSourceType);
        q->SetText("dt", FSettings.CmnmDocType);
        q->Open();
        for (; !q->Eof(); q->Next()) {
            std::string key = q->TrimmedText(0);
            std::string address = q->TrimmedText(1);
            if (address.empty()) address = q->TrimmedText(2);
            if (address.empty()) continue;
            auto [it, added] = maps.Cmnm.emplace(key, address);
            if (!added) it->second += "; " + address;
        }
    }
    if (TableExists(company, "Custom Report Selection")) {
        auto q = NewQuery(NavSql::CustomReportSelection(d, TableName(company, "Custom Report Selection")));
        q->Open();
        // The lowest sequence comes first and wins.
        for (; !q->Eof(); q->Next()) maps.Crs.emplace(q->TrimmedText(0), q->TrimmedText(1));
    }
    data.Recipients = std::move(maps);
}

std::string TNavData::ResolveInvoiceEmail(const std::string& customerNo, const std::string& customerEmail,
                                          std::string& source) const {
    source.clear();
    static const TNavRecipients kNone;
    const TNavRecipients& maps = FCompany && FCompany->Recipients ? *FCompany->Recipients : kNone;
    if (auto it = maps.Cmnm.find(customerNo); it != maps.Cmnm.end()) {
        auto found = ExtractEmails(it->second);
        if (!found.empty()) {
            source = "CMNM-Empfänger " + FSettings.CmnmDocType;
            return Join(found, "; ");
        }
    }
    if (auto it = maps.Crs.find(customerNo); it != maps.Crs.end()) {
        auto found = ExtractEmails(it->second);
        if (!found.empty()) {
            source = "Dokumentlayouts (An E-Mail senden)";
            return Join(found, "; ");
        }
    }
    bool labelled = false;
    auto found = ExtractInvoiceEmails(customerEmail, labelled);
    if (found.empty()) return {};
    if (labelled) {
        source = "Debitor E-Mail (Rechnungs-Kennzeichnung)";
        return Join(found, "; ");
    }
    source = "Debitor E-Mail";
    return Join(PreferInvoiceMailboxes(found), "; ");
}

std::vector<std::string> TNavData::PreferInvoiceMailboxes(const std::vector<std::string>& addresses) {
    // Equivalent to "^(rechnung|…|eingangsrechnung)[._\-]?[^@]*@", letter case ignored:
    // the separator is optional and anything but "@" may follow, so what counts is that
    // the text before the first "@" starts with one of the words.
    static const char* const kWords[] = {"rechnung", "rechnungen", "invoice", "invoices", "buchhaltung", "rg",
                                         "re", "faktura", "billing", "accounting", "eingangsrechnung"};
    auto isInvoiceMailbox = [](const std::string& address) {
        size_t at = address.find('@');
        if (at == std::string::npos) return false;
        std::string_view local(address.data(), at);
        for (const char* word : kWords)
            if (StartsWithText(local, word)) return true;
        return false;
    };
    std::vector<std::string> first, rest;
    for (const auto& a : addresses) (isInvoiceMailbox(a) ? first : rest).push_back(a);
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

} // namespace velkaro
