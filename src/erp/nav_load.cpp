#include "config/settings.h"
#include "erp/nav_data.h"
#include "erp/nav_posting_setup.h"
#include "invoice/leitweg.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {
std::string WithoutBlanks(const std::string& s) { return ReplaceAll(s, " ", ""); }
// NAV text with bytes that are not UTF-8 (a wrong code page on the way in): the bytes
// print as U+FFFD, in the PDF and the XML alike, and the invoice says where.
std::string InvalidTextWarning(const std::string& field) { return "ungültige Zeichen in " + field + " ersetzt"; }
} // namespace

TTaxRules TaxRulesOf(const TSettings& settings) {
    return TTaxRules{.DefaultCountry = settings.DefaultCountry, .ExemptReasonE = settings.ExemptReasonE};
}

TAddress TNavData::ReadAddress(const TDbQuery& q, const std::string& prefix, bool withContact) const {
    TAddress a;
    a.Name = q.TrimmedText(prefix + "Name");
    a.Name2 = q.TrimmedText(prefix + "Name 2");
    a.Street = q.TrimmedText(prefix + "Address");
    a.Street2 = q.TrimmedText(prefix + "Address 2");
    a.PostCode = q.TrimmedText(prefix + "Post Code");
    a.City = q.TrimmedText(prefix + "City");
    a.County = q.TrimmedText(prefix + "County");
    a.CountryNav = q.TrimmedText(prefix + "Country_Region Code");
    a.Country = FSettings.MapCountry(a.CountryNav);
    if (withContact) a.Contact = q.TrimmedText(prefix + "Contact");
    NormalizeAddress(a);
    return a;
}

TSeller TNavData::LoadSeller(const std::string& company) {
    TSeller s = CompanySeller(CompanyData(company));
    const TSettings& o = FSettings;
    if (!o.IBAN.empty()) s.IBAN = WithoutBlanks(o.IBAN);
    if (!o.BIC.empty()) s.BIC = o.BIC;
    if (!o.BankName.empty()) s.BankName = o.BankName;
    s.AccountHolder = o.AccountHolder.empty() ? s.Addr.Name : o.AccountHolder;
    // NAV's creditor identifier of its bank accounts (read with the company data), else the settings'.
    if (s.CreditorID.empty()) s.CreditorID = o.CreditorID;
    s.ContactName = o.ContactName;
    if (!o.Phone.empty()) s.Phone = o.Phone;
    if (!o.Email.empty()) s.Email = o.Email;
    if (!o.Web.empty()) s.Web = o.Web;
    s.Management = o.Management;
    s.CommercialRegister = o.CommercialRegister;
    return s;
}

std::unique_ptr<TInvoice> TNavData::LoadInvoice(const std::string& company, const std::string& invoiceNo,
                                                TDocumentKind kind) {
    const TSqlDialect d = Dialect();
    // Everything of the document from one state of the database.
    TDbReadTransaction read(*FConn);
    TNavCompanyData& companyData = CompanyData(company);
    auto inv = std::make_unique<TInvoice>();
    inv->Kind = kind;
    const std::string notFound = DocumentKindName(kind) + " " + invoiceNo + " nicht gefunden";
    // Without the credit-memo tables there is no credit memo to find.
    if (kind == bkCreditMemo && !HasCreditMemos(company)) throw Exception(notFound);

    std::string languageCode, cardCode;
    // Header.
    {
        auto q = NewQuery(NavSql::InvoiceHeader(d, TableSource(company, NavHeaderTable(kind), {"No_"})));
        q->SetText("no", invoiceNo);
        q->Open();
        if (q->Eof()) throw Exception(notFound);
        inv->No = q->TrimmedText("No_");
        inv->CustomerNo = q->TrimmedText("Bill-to Customer No_");
        inv->SellToCustomerNo = q->TrimmedText("Sell-to Customer No_");
        inv->BillTo = ReadAddress(*q, "Bill-to ", true);
        inv->ShipToCode = q->TrimmedText("Ship-to Code");
        inv->ShipTo = ReadAddress(*q, "Ship-to ", true);
        inv->PostingDate = q->Date("Posting Date");
        inv->DocumentDate = q->Date("Document Date");
        if (!IsNavDate(inv->DocumentDate)) inv->DocumentDate = inv->PostingDate;
        inv->DueDate = q->Date("Due Date");
        inv->ShipmentDate = q->Date("Shipment Date");
        inv->OrderDate = q->Date("Order Date");
        inv->PmtDiscDate = q->Date("Pmt_ Discount Date");
        inv->PmtDiscPct = q->Float("Payment Discount _");
        inv->YourReference = q->TrimmedText("Your Reference");
        inv->ExternalDocNo = q->TrimmedText("External Document No_");
        inv->OrderNo = q->TrimmedText("Order No_");
        inv->PostingDescription = q->TrimmedText("Posting Description");
        inv->CurrencyCode = q->TrimmedText("Currency Code");
        inv->PricesInclVat = q->Integer("Prices Including VAT") != 0;
        inv->EU3Party = q->Integer("EU 3-Party Trade") != 0;
        inv->PayTermsCode = q->TrimmedText("Payment Terms Code");
        inv->PayMethodCode = q->TrimmedText("Payment Method Code");
        inv->BuyerVatID = WithoutBlanks(q->TrimmedText("VAT Registration No_"));
        inv->MandateID = q->TrimmedText("Direct Debit Mandate ID");
        // Not in every NAV version.
        if (q->FindField("Language Code") >= 0) languageCode = q->TrimmedText("Language Code");
        if (q->FindField("Credit Card No_") >= 0) cardCode = q->TrimmedText("Credit Card No_");
        // NAV's "Applies-to Doc. Type" 2 is an invoice; other documents are no reference.
        if (kind == bkCreditMemo && q->Integer("Applies-to Doc_ Type") == 2)
            inv->CorrectedInvoiceNo = q->TrimmedText("Applies-to Doc_ No_");
        for (const std::string& column : q->InvalidTextColumns())
            inv->Warnings.push_back(InvalidTextWarning(column));
    }
    if (!inv->CorrectedInvoiceNo.empty()) {
        auto q = NewQuery(NavSql::PostingDate(d, TableName(company, NavHeaderTable(bkInvoice))));
        q->SetText("p", inv->CorrectedInvoiceNo);
        q->Open();
        if (!q->Eof()) inv->CorrectedInvoiceDate = q->Date(0);
    }

    // Leitweg-ID of the bill-to customer, else of the sell-to customer.
    inv->LeitwegID = FSettings.LeitwegFor(inv->CustomerNo);
    if (inv->LeitwegID.empty() && !SameText(inv->SellToCustomerNo, inv->CustomerNo))
        inv->LeitwegID = FSettings.LeitwegFor(inv->SellToCustomerNo);
    if (!inv->LeitwegID.empty()) {
        std::string reason;
        if (!CheckLeitwegID(inv->LeitwegID, reason))
            throw Exception("Die Leitweg-ID „" + inv->LeitwegID + "“ für Debitor " + inv->CustomerNo +
                            " in der INI (Abschnitt [Leitweg]) ist ungültig: " + reason + ".");
        inv->BuyerReference = inv->LeitwegID;
    } else {
        inv->BuyerReference = inv->YourReference;
    }
    inv->XRechnung = FSettings.XRechnungUse == xuAlways ||
                     (FSettings.XRechnungUse == xuLeitweg && !inv->LeitwegID.empty());

    if (inv->CurrencyCode.empty()) inv->CurrencyCode = LcyCode(companyData);
    inv->CurrencyCode = FSettings.MapCurrency(inv->CurrencyCode);

    inv->PayTermsText = PaymentTerms(companyData).Find(inv->PayTermsCode);
    inv->PayMethodText = PaymentMethods(companyData).Find(inv->PayMethodCode);
    inv->BillTo.CountryName = Countries(companyData).Find(inv->BillTo.Country);
    if (!inv->CustomerNo.empty()) {
        auto q = NewQuery(NavSql::CustomerMailAndGln(d, TableName(company, "Customer")));
        q->SetText("p", inv->CustomerNo);
        q->Open();
        if (!q->Eof()) {
            inv->CustomerEmail = q->TrimmedText(0);
            inv->BuyerGLN = q->TrimmedText(1);
        }
    }

    Recipients(companyData);
    inv->InvoiceEmail = ResolveInvoiceEmail(inv->CustomerNo, inv->CustomerEmail, inv->InvoiceEmailSource);
    inv->BuyerEmail = Trim(inv->InvoiceEmail);
    if (size_t semi = inv->BuyerEmail.find(';'); semi != std::string::npos)
        inv->BuyerEmail = Trim(inv->BuyerEmail.substr(0, semi));

    inv->DirectDebit = FSettings.IsDirectDebit(inv->PayMethodCode);
    if (inv->DirectDebit) {
        std::string mandateAccount =
            LookupText(NavSql::MandateAccount(d, TableName(company, "SEPA Direct Debit Mandate")), inv->MandateID);
        inv->MandateAccountCode = mandateAccount;
        auto q = NewQuery(NavSql::CustomerBankAccounts(d, TableName(company, "Customer Bank Account")));
        q->SetText("cust", inv->CustomerNo);
        q->Open();
        // The account the mandate names, and only that one: another account of the
        // customer is not covered by the mandate. Without a mandate account, the lowest
        // code with an IBAN.
        for (; !q->Eof(); q->Next()) {
            const bool named = SameText(q->TrimmedText("Code"), mandateAccount);
            if (named || (mandateAccount.empty() && inv->BuyerIBAN.empty())) {
                inv->BuyerIBAN = WithoutBlanks(q->TrimmedText("IBAN"));
                inv->BuyerBIC = q->TrimmedText("SWIFT Code");
            }
        }
    }
    ReadNavCard(*this, company, cardCode, *inv);

    const std::map<std::string, TNavUnit>& units = Units(companyData);
    {
        auto q = NewQuery(NavSql::InvoiceLines(d, TableSource(company, NavLineTable(kind), {"Document No_", "Line No_"})));
        q->SetText("no", invoiceNo);
        q->Open();
        for (; !q->Eof(); q->Next()) {
            TInvLine l;
            l.LineNo = q->Integer("Line No_");
            l.LineType = q->Integer("Type");
            l.ItemNo = q->TrimmedText("No_");
            l.Description = q->TrimmedText("Description");
            l.Description2 = q->TrimmedText("Description 2");
            l.UnitCode = q->TrimmedText("Unit of Measure Code");
            if (l.UnitCode.empty()) l.UnitCode = q->TrimmedText("Unit of Measure");
            const std::string k = UpperAscii(l.UnitCode);
            auto unit = units.find(k);
            l.UnitText = unit != units.end() && !unit->second.Text.empty() ? unit->second.Text : l.UnitCode;
            l.UnitIso = FSettings.MapUnit(k, unit != units.end() ? unit->second.Iso : std::string());
            l.Quantity = q->Float("Quantity");
            l.UnitPrice = q->Float("Unit Price");
            l.LineDiscPct = q->Float("Line Discount _");
            l.VatPct = q->Float("VAT _");
            l.Amount = q->Money("Amount");
            l.AmountInclVat = q->Money("Amount Including VAT");
            l.LineAmount = q->Money("Line Amount");
            l.InvDiscAmount = q->Money("Inv_ Discount Amount");
            l.VatCalcType = q->Integer("VAT Calculation Type");
            l.VatClause = q->TrimmedText("VAT Clause Code");
            if (q->FindField("VAT Bus_ Posting Group") >= 0) l.VatBusGroup = q->TrimmedText("VAT Bus_ Posting Group");
            if (q->FindField("VAT Prod_ Posting Group") >= 0) l.VatProdGroup = q->TrimmedText("VAT Prod_ Posting Group");
            for (const std::string& column : q->InvalidTextColumns())
                inv->Warnings.push_back(InvalidTextWarning(column + " (Zeile " + std::to_string(l.LineNo) + ")"));
            inv->Lines.push_back(std::move(l));
        }
    }

    ReadNavTaxSetup(*this, company, languageCode, *inv);
    inv->Calculate(TaxRulesOf(FSettings));
    return inv;
}

} // namespace velkaro
