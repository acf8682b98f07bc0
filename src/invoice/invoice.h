#pragma once
// The records that carry one posted sales invoice from the NAV database to the
// XML, the printed PDF and the mail.
#include <cstdint>
#include <string>
#include <vector>

#include "invoice/currency.h"
#include "invoice/tax_rules.h"
#include "platform/datetime.h"

namespace velkaro {

struct TAddress {
    std::string Name;
    std::string Name2;
    std::string Street;
    std::string Street2;
    std::string PostCode;
    std::string City;
    std::string County;
    std::string CountryNav;
    std::string Country;      // after mapping (ISO 3166-1 alpha-2)
    std::string CountryName;  // bill-to address only
    std::string Contact;      // bill-to and ship-to only
};

struct TSeller {
    TAddress Addr;
    std::string VatID;
    std::string TaxNo;
    std::string GLN;
    std::string Phone;
    std::string Fax;
    std::string Email;
    std::string Web;
    std::string ContactName;
    std::string IBAN;
    std::string BIC;
    std::string BankName;
    std::string AccountHolder;
    std::string CreditorID;
    std::string Management;
    std::string CommercialRegister;
};

struct TInvLine {
    int32_t LineNo = 0;
    int32_t LineType = 0;  // 0: text line without type
    std::string ItemNo;
    std::string Description;
    std::string Description2;
    std::string UnitCode;
    std::string UnitIso;
    std::string UnitText;
    double Quantity = 0;
    double UnitPrice = 0;
    double LineDiscPct = 0;
    double VatPct = 0;
    Currency Amount;
    Currency AmountInclVat;
    Currency LineAmount;
    Currency InvDiscAmount;
    int32_t VatCalcType = 0;  // NAV's VAT Calculation Type: kVatCalcReverseCharge, kVatCalcFullVat …
    std::string VatClause;
    std::string VatBusGroup;   // "VAT Bus. Posting Group"
    std::string VatProdGroup;  // "VAT Prod. Posting Group"
    // NAV's own setup for electronic documents ("VAT Posting Setup" of the line's VAT
    // business and product posting groups): its "Tax Category" in upper case, and the
    // text of the line's VAT clause in the customer's language. Empty where NAV has none.
    std::string TaxCategory;
    std::string VatClauseText;
};

// NAV's "VAT Calculation Type": 0 Normal VAT, 1 Reverse Charge VAT, 2 Full VAT (the whole
// line amount is VAT, the net amount 0), 3 Sales Tax.
constexpr int32_t kVatCalcReverseCharge = 1;
constexpr int32_t kVatCalcFullVat = 2;

// UNTDID 5305 as EN 16931 uses it; O, L and M come only from NAV's "Tax Category".
enum TVatCategory { vcS, vcZ, vcE, vcAE, vcK, vcG, vcO, vcL, vcM };

// The posted sales documents the program turns into e-invoices: the invoice and the
// credit memo that corrects one (an EN 16931 credit note). Both run the same road.
enum TDocumentKind { bkInvoice, bkCreditMemo };

// "Rechnung", "Rechnungskorrektur" (never "Gutschrift": in German business use that is
// a self-billed invoice).
std::string DocumentKindName(TDocumentKind kind);

// One document as a user names it: kind and number.
struct TDocumentRef {
    TDocumentKind Kind = bkInvoice;
    std::string No;
};

struct TVatGroup {
    TVatCategory Category = vcS;
    double Rate = 0;
    Currency Basis;
    Currency Tax;
    // The exemption reason of the group: the VAT clause of its first line when NAV has
    // one, else the category's text; empty for categories without a reason.
    std::string ExemptionReason;
    // The VAT of Full VAT lines in the group, as posted (no basis belongs to it).
    Currency FullVat;
};

struct TInvoiceListItem {
    TDocumentKind Kind = bkInvoice;
    std::string No;
    std::string CustomerNo;
    std::string Name;
    std::string City;
    std::string CurrencyCode;
    std::string InvoiceEmail;
    std::string InvoiceEmailSource;
    TDateTime PostingDate = 0;
    Currency Gross;
};

class TInvoice {
public:
    TDocumentKind Kind = bkInvoice;
    std::string No;
    // A credit memo's corrected invoice (NAV "Applies-to" an invoice) and its posting
    // date; empty and 0 for invoices and for credit memos without reference.
    std::string CorrectedInvoiceNo;
    TDateTime CorrectedInvoiceDate = 0;
    std::string CustomerNo;
    std::string SellToCustomerNo;
    TAddress BillTo;
    TAddress ShipTo;
    std::string ShipToCode;
    TDateTime PostingDate = 0;
    TDateTime DocumentDate = 0;
    TDateTime DueDate = 0;
    TDateTime ShipmentDate = 0;
    TDateTime OrderDate = 0;
    TDateTime PmtDiscDate = 0;
    double PmtDiscPct = 0;
    std::string YourReference;
    std::string ExternalDocNo;
    std::string OrderNo;
    std::string PostingDescription;
    std::string LeitwegID;
    std::string BuyerReference;
    // The e-invoice follows XRechnung (the German CIUS of EN 16931) instead of plain EN 16931.
    bool XRechnung = false;
    std::string CurrencyCode;
    bool PricesInclVat = false;
    bool EU3Party = false;
    std::string PayTermsCode;
    std::string PayTermsText;
    std::string PayMethodCode;
    std::string PayMethodText;
    std::string BuyerVatID;
    std::string BuyerEmail;
    std::string BuyerGLN;
    std::string BuyerPhone;
    std::string CustomerEmail;
    std::string InvoiceEmail;
    std::string InvoiceEmailSource;
    bool DirectDebit = false;
    std::string MandateID;
    std::string BuyerIBAN;
    std::string BuyerBIC;
    // Direct debit: the code of the customer bank account the mandate names (empty
    // without mandate or when the mandate names none).
    std::string MandateAccountCode;
    // Card payment: what NAV holds of the card, the last digits of its number only (an
    // invoice never carries a full card number) and the holder's name.
    std::string CardNumberTail;
    std::string CardHolder;
    std::vector<TInvLine> Lines;
    std::vector<TVatGroup> VatGroups;
    Currency LineTotal;
    Currency TaxTotal;
    Currency GrandTotal;
    Currency Rounding;
    Currency DuePayable;
    std::vector<std::string> Warnings;

    // The invoice currency: the trimmed code in upper case, "EUR" when blank.
    std::string InvCurrency() const;

    // The address the goods go to, as the XML names it and the print shows it: the
    // ship-to address when NAV holds one (with the bill-to name when its name is blank),
    // else the bill-to address.
    TAddress DeliveryAddress() const;
    // The delivery address differs from the bill-to address, or NAV names a ship-to
    // code: the XML names a delivery party (the print shows it with a ship-to code).
    bool HasOtherDeliveryAddress() const;
    // A credit memo whose amount goes to the customer: its payment instructions describe
    // the refund (no discount, no due date, no account to pay to). A credit memo with a
    // negative total asks for payment like an invoice.
    bool RefundsBuyer() const;

    // VAT category of an item line: NAV's "Tax Category" when its setup has one, else by
    // rate, reverse charge and the place of supply (invoice/vat.cpp).
    TVatCategory LineCategory(const TInvLine& line, const TTaxRules& rules) const;
    // The exemption reason printed and written for a category; empty for S and Z.
    static std::string ExemptionText(TVatCategory category, const TTaxRules& rules);
    // Fills VatGroups, the totals and Rounding from the lines and appends warnings.
    // Meant to run once: a second run recomputes everything but repeats the warnings.
    void Calculate(const TTaxRules& rules);
};

// A date counts as set only after 1 January 1754 (NAV's blank date is 1753-01-01);
// the value 0 of an unfilled date is not set either.
bool IsNavDate(TDateTime date);
// A text line is no invoice item: type 0, or quantity and amount both exactly 0.
bool IsTextLine(const TInvLine& line);
// Description trimmed; with a non-empty Description2 both trimmed and joined by one blank.
std::string LineText(const TInvLine& line);
// The payment instructions of a credit memo that refunds: the sentence the print and
// the XML's payment terms carry ("Den Betrag von 119,00 EUR erstatten wir Ihnen oder
// verrechnen ihn mit offenen Posten."), and the XML's short payment-means text.
std::string RefundSentence(const TInvoice& invoice);
constexpr const char* kRefundInformation = "Erstattung oder Verrechnung mit offenen Posten";
// Moves Street2 into an empty Street.
void NormalizeAddress(TAddress& address);

} // namespace velkaro
