#include "cii/cii_document.h"

#include <cmath>
#include <cstdio>

#include "cii/cii_fields.h"
#include "cii/xml_out.h"
#include "cii/xml_values.h"
#include "invoice/vat.h"
#include "platform/number_format.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kRootAttributes =
    "xmlns:rsm=\"urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100\""
    " xmlns:qdt=\"urn:un:unece:uncefact:data:standard:QualifiedDataType:100\""
    " xmlns:ram=\"urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100\""
    " xmlns:xs=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:udt=\"urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100\"";

std::string SchemeAttr(std::string_view scheme) { return "schemeID=\"" + std::string(scheme) + "\""; }

// Attribute values come from the database; escaping keeps the quotes intact.
std::string QuotedAttr(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + XmlEscape(value) + "\"";
}

// The leading text lines before the first item line.
std::string NoteText(const TInvoice& inv) {
    std::string note;
    for (const TInvLine& line : inv.Lines) {
        if (!IsTextLine(line)) break;
        std::string text = LineText(line);
        if (!text.empty()) note = JoinWithSpace(note, text);
    }
    return note;
}

// The type-0 lines that directly follow the item line at `index`.
std::string DescriptionText(const TInvoice& inv, size_t index) {
    std::string description;
    for (size_t k = index + 1; k < inv.Lines.size() && inv.Lines[k].LineType == 0; ++k)
        description = JoinWithSpace(description, LineText(inv.Lines[k]));
    return description;
}

void WriteLineItem(TXmlOut& x, const TInvoice& inv, size_t index, int lineId, const TTaxRules& rules) {
    const TInvLine& line = inv.Lines[index];
    double quantity = line.Quantity == 0 ? 1.0 : line.Quantity;
    double price = line.Amount.ToDouble() / quantity;
    // The net price must not be negative: the sign goes to the quantity.
    if (price < 0) {
        price = -price;
        quantity = -quantity;
    }
    const std::string name = CiiItemName(line);

    x.Open("ram:IncludedSupplyChainTradeLineItem");
    x.LeafIn("ram:AssociatedDocumentLineDocument", "ram:LineID", std::to_string(lineId));
    x.Open("ram:SpecifiedTradeProduct");
    x.LeafOpt("ram:SellerAssignedID", line.ItemNo);
    x.Leaf("ram:Name", name);
    x.LeafOpt("ram:Description", DescriptionText(inv, index));
    x.Close("ram:SpecifiedTradeProduct");
    x.Open("ram:SpecifiedLineTradeAgreement");
    x.LeafIn("ram:NetPriceProductTradePrice", "ram:ChargeAmount", XmlDecimal4(price));
    x.Close("ram:SpecifiedLineTradeAgreement");
    x.LeafIn("ram:SpecifiedLineTradeDelivery", "ram:BilledQuantity", XmlDecimal4(quantity),
             QuotedAttr("unitCode", line.UnitIso));
    x.Open("ram:SpecifiedLineTradeSettlement");
    x.Open("ram:ApplicableTradeTax");
    x.Leaf("ram:TypeCode", "VAT");
    const TVatCategory category = inv.LineCategory(line, rules);
    x.Leaf("ram:CategoryCode", CategoryCode(category));
    if (category != vcO) x.Leaf("ram:RateApplicablePercent", XmlPercent(line.VatPct));
    x.Close("ram:ApplicableTradeTax");
    x.LeafIn("ram:SpecifiedTradeSettlementLineMonetarySummation", "ram:LineTotalAmount", XmlAmount(line.Amount));
    x.Close("ram:SpecifiedLineTradeSettlement");
    x.Close("ram:IncludedSupplyChainTradeLineItem");
}

// XRechnung requires the whole contact; a missing part is a finding of its rule set.
void WriteSellerContactXRechnung(TXmlOut& x, const TSeller& seller) {
    // An empty element would break a rule of its own (PEPPOL-EN16931-R008).
    if (!HasXmlText(seller.ContactName) && !HasXmlText(seller.Phone) && !HasXmlText(seller.Email)) return;
    x.Open("ram:DefinedTradeContact");
    x.LeafOpt("ram:PersonName", seller.ContactName);
    if (HasXmlText(seller.Phone)) x.LeafIn("ram:TelephoneUniversalCommunication", "ram:CompleteNumber", seller.Phone);
    if (HasXmlText(seller.Email)) x.LeafIn("ram:EmailURIUniversalCommunication", "ram:URIID", seller.Email);
    x.Close("ram:DefinedTradeContact");
}

void WriteSellerParty(TXmlOut& x, const TSeller& seller, bool xrechnung) {
    x.Open("ram:SellerTradeParty");
    x.LeafOpt("ram:GlobalID", seller.GLN, SchemeAttr("0088"));
    x.Leaf("ram:Name", JoinWithSpace(seller.Addr.Name, seller.Addr.Name2));
    if (xrechnung) {
        WriteSellerContactXRechnung(x, seller);
    } else if (HasXmlText(seller.Phone) || HasXmlText(seller.Email)) {
        x.Open("ram:DefinedTradeContact");
        x.LeafOpt("ram:PersonName", seller.ContactName);
        if (HasXmlText(seller.Phone)) {
            x.LeafIn("ram:TelephoneUniversalCommunication", "ram:CompleteNumber", seller.Phone);
        }
        if (HasXmlText(seller.Email)) {
            x.LeafIn("ram:EmailURIUniversalCommunication", "ram:URIID", seller.Email);
        }
        x.Close("ram:DefinedTradeContact");
    }
    x.WriteAddress(seller.Addr);
    if (HasXmlText(seller.Email)) {
        x.LeafIn("ram:URIUniversalCommunication", "ram:URIID", seller.Email, SchemeAttr("EM"));
    }
    const std::string vatId = CiiSellerVatId(seller);
    if (HasXmlText(vatId)) {
        x.LeafIn("ram:SpecifiedTaxRegistration", "ram:ID", vatId, SchemeAttr("VA"));
    }
    if (HasXmlText(seller.TaxNo)) {
        x.LeafIn("ram:SpecifiedTaxRegistration", "ram:ID", seller.TaxNo, SchemeAttr("FC"));
    }
    x.Close("ram:SellerTradeParty");
}

void WriteBuyerParty(TXmlOut& x, const TInvoice& inv) {
    x.Open("ram:BuyerTradeParty");
    x.LeafOpt("ram:ID", inv.CustomerNo);
    x.LeafOpt("ram:GlobalID", inv.BuyerGLN, SchemeAttr("0088"));
    x.Leaf("ram:Name", JoinWithSpace(inv.BillTo.Name, inv.BillTo.Name2));
    if (HasXmlText(inv.BillTo.Contact)) {
        x.LeafIn("ram:DefinedTradeContact", "ram:PersonName", inv.BillTo.Contact);
    }
    x.WriteAddress(inv.BillTo);
    if (inv.XRechnung && HasXmlText(inv.LeitwegID)) {
        // Public buyers are reached through their Leitweg-ID.
        x.LeafIn("ram:URIUniversalCommunication", "ram:URIID", inv.LeitwegID, SchemeAttr("0204"));
    } else if (HasXmlText(inv.BuyerEmail)) {
        x.LeafIn("ram:URIUniversalCommunication", "ram:URIID", inv.BuyerEmail, SchemeAttr("EM"));
    }
    if (HasXmlText(inv.BuyerVatID)) {
        x.LeafIn("ram:SpecifiedTaxRegistration", "ram:ID", inv.BuyerVatID, SchemeAttr("VA"));
    }
    x.Close("ram:BuyerTradeParty");
}

void WriteReferencedDocument(TXmlOut& x, std::string_view tag, const std::string& id) {
    if (!HasXmlText(id)) return;
    x.Open(tag);
    x.Leaf("ram:IssuerAssignedID", id);
    x.Close(tag);
}

void WriteAgreement(TXmlOut& x, const TInvoice& inv, const TSeller& seller) {
    x.Open("ram:ApplicableHeaderTradeAgreement");
    x.LeafOpt("ram:BuyerReference", inv.BuyerReference);
    WriteSellerParty(x, seller, inv.XRechnung);
    WriteBuyerParty(x, inv);
    WriteReferencedDocument(x, "ram:SellerOrderReferencedDocument", inv.OrderNo);
    WriteReferencedDocument(x, "ram:BuyerOrderReferencedDocument", inv.ExternalDocNo);
    x.Close("ram:ApplicableHeaderTradeAgreement");
}

void WriteDelivery(TXmlOut& x, const TInvoice& inv) {
    const TAddress shipTo = CiiDeliveryAddress(inv);
    x.Open("ram:ApplicableHeaderTradeDelivery");
    if (CiiWritesShipTo(inv)) {
        x.Open("ram:ShipToTradeParty");
        x.Leaf("ram:Name", JoinWithSpace(shipTo.Name, shipTo.Name2));
        x.WriteAddress(shipTo);
        x.Close("ram:ShipToTradeParty");
    }
    x.Open("ram:ActualDeliverySupplyChainEvent");
    x.DateElement("ram:OccurrenceDateTime", IsNavDate(inv.ShipmentDate) ? inv.ShipmentDate : inv.PostingDate);
    x.Close("ram:ActualDeliverySupplyChainEvent");
    x.Close("ram:ApplicableHeaderTradeDelivery");
}

void WritePaymentMeans(TXmlOut& x, const TInvoice& inv, const TSeller& seller) {
    x.Open("ram:SpecifiedTradeSettlementPaymentMeans");
    x.Leaf("ram:TypeCode", CiiPaymentMeansCode(inv, seller));
    if (inv.RefundsBuyer()) {
        x.Leaf("ram:Information", kRefundInformation);
    } else if (inv.DirectDebit) {
        x.Leaf("ram:Information", "SEPA-Lastschrift");
        if (HasXmlText(inv.BuyerIBAN)) {
            x.LeafIn("ram:PayerPartyDebtorFinancialAccount", "ram:IBANID", inv.BuyerIBAN);
        }
    } else {
        x.LeafOpt("ram:Information", inv.PayMethodText);
        if (CiiCardPayment(inv, seller) && HasXmlText(inv.CardNumberTail)) {
            x.Open("ram:ApplicableTradeSettlementFinancialCard");
            x.Leaf("ram:ID", inv.CardNumberTail);
            x.LeafOpt("ram:CardholderName", inv.CardHolder);
            x.Close("ram:ApplicableTradeSettlementFinancialCard");
        }
        if (CiiWritesSellerAccount(inv, seller)) {
            x.Open("ram:PayeePartyCreditorFinancialAccount");
            x.Leaf("ram:IBANID", seller.IBAN);
            x.LeafOpt("ram:AccountName", seller.AccountHolder);
            x.Close("ram:PayeePartyCreditorFinancialAccount");
            if (HasXmlText(seller.BIC)) {
                x.LeafIn("ram:PayeeSpecifiedCreditorFinancialInstitution", "ram:BICID", seller.BIC);
            }
        }
    }
    x.Close("ram:SpecifiedTradeSettlementPaymentMeans");
}

void WriteTaxBreakdown(TXmlOut& x, const TInvoice& inv, const TTaxRules& rules) {
    for (const TVatGroup& g : inv.VatGroups) {
        x.Open("ram:ApplicableTradeTax");
        x.Leaf("ram:CalculatedAmount", XmlAmount(g.Tax));
        x.Leaf("ram:TypeCode", "VAT");
        x.LeafOpt("ram:ExemptionReason", GroupExemptionText(g, rules));
        x.Leaf("ram:BasisAmount", XmlAmount(g.Basis));
        x.Leaf("ram:CategoryCode", CategoryCode(g.Category));
        x.LeafOpt("ram:ExemptionReasonCode", VatexCode(g.Category));
        // "Not subject to VAT" has no rate.
        if (g.Category != vcO) x.Leaf("ram:RateApplicablePercent", XmlPercent(g.Rate));
        x.Close("ram:ApplicableTradeTax");
    }
}

void WritePaymentTerms(TXmlOut& x, const TInvoice& inv) {
    if (inv.RefundsBuyer()) {
        // What the customer gets back, as the print says it; no due date, no discount.
        x.LeafIn("ram:SpecifiedTradePaymentTerms", "ram:Description", RefundSentence(inv));
        return;
    }
    const std::string terms = CiiPaymentTermsText(inv);
    // XRechnung's discount line ends with a real line break, which the escaping would
    // turn into a blank: the free text follows on the next line.
    const std::string discount = inv.XRechnung ? XRechnungDiscountLine(inv) : "";
    bool mandate = CiiDirectDebit(inv) && HasXmlText(inv.MandateID);
    if (terms.empty() && discount.empty() && !IsNavDate(inv.DueDate) && !mandate) return;
    x.Open("ram:SpecifiedTradePaymentTerms");
    if (!discount.empty()) x.Leaf("ram:Description", discount + "\n" + XmlEscape(terms), {}, true);
    else x.LeafOpt("ram:Description", terms);
    if (IsNavDate(inv.DueDate)) x.DateElement("ram:DueDateDateTime", inv.DueDate);
    if (CiiDirectDebit(inv)) x.LeafOpt("ram:DirectDebitMandateID", inv.MandateID);
    x.Close("ram:SpecifiedTradePaymentTerms");
}

void WriteSummation(TXmlOut& x, const TInvoice& inv, const std::string& currency) {
    x.Open("ram:SpecifiedTradeSettlementHeaderMonetarySummation");
    x.Leaf("ram:LineTotalAmount", XmlAmount(inv.LineTotal));
    x.Leaf("ram:TaxBasisTotalAmount", XmlAmount(inv.LineTotal));
    x.Leaf("ram:TaxTotalAmount", XmlAmount(inv.TaxTotal), QuotedAttr("currencyID", currency));
    if (!inv.Rounding.IsZero()) x.Leaf("ram:RoundingAmount", XmlAmount(inv.Rounding));
    x.Leaf("ram:GrandTotalAmount", XmlAmount(inv.GrandTotal));
    x.Leaf("ram:DuePayableAmount", XmlAmount(inv.DuePayable));
    x.Close("ram:SpecifiedTradeSettlementHeaderMonetarySummation");
}

// BT-25/BT-26: the invoice a credit memo corrects.
void WriteCorrectedInvoice(TXmlOut& x, const TInvoice& inv) {
    if (inv.Kind != bkCreditMemo || !HasXmlText(inv.CorrectedInvoiceNo)) return;
    x.Open("ram:InvoiceReferencedDocument");
    x.Leaf("ram:IssuerAssignedID", inv.CorrectedInvoiceNo);
    if (IsNavDate(inv.CorrectedInvoiceDate)) {
        x.Open("ram:FormattedIssueDateTime");
        x.Line(XmlFormattedDate(inv.CorrectedInvoiceDate));
        x.Close("ram:FormattedIssueDateTime");
    }
    x.Close("ram:InvoiceReferencedDocument");
}

void WriteSettlement(TXmlOut& x, const TInvoice& inv, const TSeller& seller, const TTaxRules& rules,
                     const std::string& currency) {
    x.Open("ram:ApplicableHeaderTradeSettlement");
    if (CiiDirectDebit(inv)) x.LeafOpt("ram:CreditorReferenceID", seller.CreditorID);
    x.Leaf("ram:PaymentReference", inv.No);
    x.Leaf("ram:InvoiceCurrencyCode", currency);
    WritePaymentMeans(x, inv, seller);
    WriteTaxBreakdown(x, inv, rules);
    WritePaymentTerms(x, inv);
    WriteSummation(x, inv, currency);
    WriteCorrectedInvoice(x, inv);
    x.Close("ram:ApplicableHeaderTradeSettlement");
}

} // namespace

std::string JoinWithSpace(std::string_view a, std::string_view b) {
    return Trim(Trim(a) + " " + Trim(b));
}

std::string CiiPaymentTermsText(const TInvoice& invoice) {
    std::string terms = invoice.PayTermsText;
    if (invoice.PmtDiscPct > 0 && IsNavDate(invoice.PmtDiscDate)) {
        // Pattern "0.##" in the user's number format: 2 -> "2", 2.5 -> "2,5".
        std::string percent = XmlPercent(invoice.PmtDiscPct);
        percent.erase(percent.find_last_not_of('0') + 1);
        if (percent.back() == '.') percent.pop_back();
        percent = LocalizeDecimalPoint(percent);
        terms = JoinWithSpace(terms, "- bei Zahlung bis " + FormatDisplayDate(invoice.PmtDiscDate) + " " + percent + " % Skonto");
    }
    return Trim(terms);
}

std::string XRechnungDiscountLine(const TInvoice& invoice) {
    if (!(invoice.PmtDiscPct > 0) || !IsNavDate(invoice.PmtDiscDate)) return "";
    const long days = std::lround(std::floor(invoice.PmtDiscDate) - std::floor(invoice.DocumentDate));
    if (days < 0) return "";
    return "#SKONTO#TAGE=" + std::to_string(days) + "#PROZENT=" + XmlPercent(invoice.PmtDiscPct) + "#";
}

std::string BuildCiiXml(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules) {
    const std::string currency = invoice.InvCurrency();
    TXmlOut x;
    x.Line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    x.Open("rsm:CrossIndustryInvoice", kRootAttributes);

    x.Open("rsm:ExchangedDocumentContext");
    if (invoice.XRechnung) {
        x.LeafIn("ram:BusinessProcessSpecifiedDocumentContextParameter", "ram:ID", kXRechnungProcess);
        x.LeafIn("ram:GuidelineSpecifiedDocumentContextParameter", "ram:ID", kXRechnungGuideline);
    } else {
        x.LeafIn("ram:GuidelineSpecifiedDocumentContextParameter", "ram:ID", "urn:cen.eu:en16931:2017");
    }
    x.Close("rsm:ExchangedDocumentContext");

    x.Open("rsm:ExchangedDocument");
    x.Leaf("ram:ID", invoice.No);
    // UNTDID 1001: 380 commercial invoice, 381 credit note.
    x.Leaf("ram:TypeCode", invoice.Kind == bkCreditMemo ? "381" : "380");
    x.DateElement("ram:IssueDateTime", invoice.DocumentDate);
    std::string note = NoteText(invoice);
    if (HasXmlText(note)) x.LeafIn("ram:IncludedNote", "ram:Content", note);
    x.Close("rsm:ExchangedDocument");

    x.Open("rsm:SupplyChainTradeTransaction");
    int lineId = 0;
    for (size_t i = 0; i < invoice.Lines.size(); ++i)
        if (!IsTextLine(invoice.Lines[i])) WriteLineItem(x, invoice, i, ++lineId, rules);
    WriteAgreement(x, invoice, seller);
    WriteDelivery(x, invoice);
    WriteSettlement(x, invoice, seller, rules, currency);
    x.Close("rsm:SupplyChainTradeTransaction");

    x.Close("rsm:CrossIndustryInvoice");
    return x.TakeText();
}

} // namespace velkaro
