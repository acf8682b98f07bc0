#include "cii_fixtures.h"

#include <cmath>

#include "platform/text.h"

namespace velkaro::test {

TTaxRules DefaultTaxRules() { return TTaxRules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"}; }

TInvLine TextLine(int lineNo, const std::string& description, const std::string& description2) {
    TInvLine l;
    l.LineNo = lineNo;
    l.LineType = 0;
    l.Description = description;
    l.Description2 = description2;
    return l;
}

TInvLine ItemLine(int lineNo, const std::string& itemNo, const std::string& description, double quantity,
                  const std::string& amount, double vatPct, const std::string& unitIso, const char* vat) {
    TInvLine l;
    l.LineNo = lineNo;
    l.LineType = 2;
    l.ItemNo = itemNo;
    l.Description = description;
    l.Quantity = quantity;
    l.UnitIso = unitIso;
    l.VatPct = vatPct;
    l.Amount = Currency::Parse(amount);
    Currency tax = vat ? Currency::Parse(vat)
                       : Currency::FromDouble(std::round(l.Amount.ToDouble() * vatPct) / 100.0);
    l.AmountInclVat = l.Amount + tax;
    return l;
}

TSeller FullSeller() {
    TSeller s;
    s.Addr.Name = "Velkaro Muster GmbH";
    s.Addr.Street = "Industriestr. 7";
    s.Addr.PostCode = "10115";
    s.Addr.City = "Berlin";
    s.Addr.Country = "DE";
    s.VatID = "DE 123 456 789";
    s.TaxNo = "30/123/45678";
    s.GLN = "4000001000005";
    s.Phone = "+49 30 123456";
    s.Email = "rechnung@velkaro.example";
    s.ContactName = "Max Mustermann";
    s.IBAN = "DE02120300000000202051";
    s.BIC = "BYLADEM1001";
    s.AccountHolder = "Velkaro Muster GmbH";
    s.CreditorID = "DE98ZZZ09999999999";
    return s;
}

namespace {
TAddress BuyerAddress(const std::string& country) {
    TAddress a;
    a.Name = "Müller & Söhne <GmbH>";
    a.Name2 = "Einkauf";
    a.Street = "Bahnhofstr. 5";
    a.PostCode = "50667";
    a.City = "Köln";
    a.Country = country;
    a.CountryNav = country;
    a.Contact = "Frau Schmidt";
    return a;
}
} // namespace

TInvoice DomesticInvoice() {
    TInvoice inv;
    inv.No = "RE-2026-0042";
    inv.CustomerNo = "K10001";
    inv.BillTo = BuyerAddress("DE");
    inv.PostingDate = EncodeDate(2026, 11, 24);
    inv.DocumentDate = EncodeDate(2026, 11, 24);
    inv.DueDate = EncodeDate(2026, 12, 8);
    inv.ShipmentDate = EncodeDate(2026, 11, 20);
    inv.PmtDiscDate = EncodeDate(2026, 12, 1);
    inv.PmtDiscPct = 2;
    inv.BuyerReference = "Ihr Zeichen 4711";
    inv.ExternalDocNo = "PO-77";
    inv.OrderNo = "AU-100";
    inv.PayTermsText = "14 Tage netto";
    inv.PayMethodCode = "UEB";
    inv.PayMethodText = "Überweisung";
    inv.BuyerEmail = "rechnung@mueller.example";
    inv.Lines = {
        TextLine(10, "Lieferung gemäß Auftrag"),
        TextLine(20, "Bitte beachten", "Sie die Hinweise"),
        ItemLine(30, "1000", "Schraube M8", 100, "25.00", 19),
        TextLine(40, "verzinkt"),
        TextLine(50, "DIN 933"),
        ItemLine(60, "1001", "Mutter", 0, "12.50", 19),
        TextLine(70, "nach Anfrage"),
        ItemLine(80, "", "Hinweis ohne Betrag", 0, "0", 0),
        TextLine(90, "nach einer Zeile ohne Betrag"),
        ItemLine(100, "2000", "Buch", 1, "30.00", 7, "C62"),
        ItemLine(110, "1000", "Gutschrift Schraube", 2, "-20.00", 19),
        ItemLine(120, "8400", "Frachtkosten", 1, "0.13", 19, "C62", "0.03"),
    };
    return inv;
}

TInvoice SimpleInvoice(const std::string& country, double vatPct, const std::string& buyerVatId) {
    TInvoice inv;
    inv.No = "RE-1";
    inv.CustomerNo = "K1";
    inv.BillTo = BuyerAddress(country);
    inv.BuyerVatID = buyerVatId;
    inv.PostingDate = EncodeDate(2026, 3, 2);
    inv.DocumentDate = EncodeDate(2026, 3, 2);
    inv.DueDate = EncodeDate(2026, 3, 16);
    inv.PayMethodCode = "UEB";
    inv.Lines = {ItemLine(10, "1000", "Ware", 4, "100.00", vatPct)};
    return inv;
}

std::vector<NamedInvoice> ValidFixtures(const TTaxRules& rules) {
    std::vector<NamedInvoice> all;
    auto add = [&](const std::string& name, TInvoice inv, TSeller seller) {
        inv.Calculate(rules);
        all.push_back({name, std::move(inv), std::move(seller)});
    };
    add("domestic", DomesticInvoice(), FullSeller());
    add("exempt-e", SimpleInvoice("DE", 0), FullSeller());
    add("intra-eu-k", SimpleInvoice("AT", 0, "ATU12345678"), FullSeller());
    add("export-g", SimpleInvoice("CH", 0), FullSeller());
    {
        TInvoice inv = SimpleInvoice("DE", 0, "DE987654321");
        inv.Lines[0].VatCalcType = 1;
        add("reverse-charge-ae", inv, FullSeller());
    }
    {
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.DirectDebit = true;
        inv.PayMethodCode = "EINZUG";
        inv.MandateID = "M-2026-1";
        inv.BuyerIBAN = "DE89370400440532013000";
        inv.DueDate = 0;
        add("direct-debit", inv, FullSeller());
    }
    {
        // Only what the rules require of the seller; other currency; delivery elsewhere.
        TSeller seller;
        seller.Addr.Name = "Klein AG";
        seller.Addr.Country = "DE";
        seller.VatID = "DE123456789";
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.CurrencyCode = " usd ";
        inv.PayMethodCode = "BAR";
        inv.ShipToCode = "LAGER";
        inv.ShipTo.Name = "Lager Nord";
        inv.ShipTo.Country = "DE";
        add("minimal-seller", inv, seller);
    }
    {
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.PayMethodCode = "paypal";
        inv.Lines.push_back(ItemLine(20, "1", "Ware 2", -3, "-0.13", 19, "C62", "-0.02"));
        inv.Lines.push_back(ItemLine(30, "1", "Ware 3", 3, "0.13", 19, "C62", "0.02"));
        add("paypal-rounding", inv, FullSeller());
    }
    {
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.Lines.clear();
        for (int k = 1; k <= 50; ++k) {
            inv.Lines.push_back(ItemLine(k * 20, "A" + std::to_string(k), "Artikel " + std::to_string(k), k,
                                         std::to_string(k * 7) + "." + std::to_string(k % 10) + "3",
                                         k % 3 == 0 ? 7 : 19));
            inv.Lines.push_back(TextLine(k * 20 + 10, "Beschreibung & <Hinweis> " + std::to_string(k)));
        }
        add("fifty-lines", inv, FullSeller());
    }
    {
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.Lines = {ItemLine(10, "BIG", "Großauftrag", 1, "1000000000000", 19),
                     ItemLine(20, "BIG", "Storno", 1, "-1000000000000", 19),
                     ItemLine(30, "BIG", "Rest", 3, "1000000000000", 19)};
        add("huge-amounts", inv, FullSeller());
    }
    // Credit notes: the domestic document (two rates, a rounding amount, a negative
    // line) correcting an invoice, one without reference, one in a foreign currency
    // whose corrected invoice has no known date.
    {
        TInvoice inv = DomesticInvoice();
        inv.Kind = bkCreditMemo;
        inv.CorrectedInvoiceNo = "RE-2026-0815";
        inv.CorrectedInvoiceDate = EncodeDate(2026, 10, 30);
        add("credit-note-referenced", inv, FullSeller());
    }
    {
        TInvoice inv = SimpleInvoice("DE", 19);
        inv.Kind = bkCreditMemo;
        inv.DueDate = 0;
        add("credit-note-unreferenced", inv, FullSeller());
    }
    {
        TInvoice inv = SimpleInvoice("CH", 0);
        inv.Kind = bkCreditMemo;
        inv.CurrencyCode = "CHF";
        inv.CorrectedInvoiceNo = "RE-CH-1";
        add("credit-note-chf", inv, FullSeller());
    }
    return all;
}

std::string ElementText(const std::string& document, const std::string& tag, int occurrence) {
    size_t pos = 0;
    for (int k = 0; k <= occurrence; ++k) {
        size_t found = std::string::npos;
        for (size_t from = pos;; from = found + 1) {
            found = document.find("<" + tag, from);
            if (found == std::string::npos) return "";
            char next = document[found + tag.size() + 1];
            if (next == '>' || next == ' ') break;
        }
        pos = found + 1;
    }
    size_t open = pos - 1;
    size_t lineStart = document.rfind('\n', open);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    size_t indent = open - lineStart;
    size_t close = document.find("</" + tag + ">", open);
    if (close == std::string::npos) return "";
    size_t end = document.find('\n', close);
    std::string block = document.substr(lineStart, end == std::string::npos ? std::string::npos : end + 1 - lineStart);
    std::string out;
    for (const std::string& line : Split(block, '\n')) {
        if (line.empty()) continue;
        out += line.substr(std::min(indent, line.find_first_not_of(' '))) + "\n";
    }
    return out;
}

int CountElements(const std::string& document, const std::string& tag) {
    int n = 0;
    for (size_t p = document.find("<" + tag); p != std::string::npos; p = document.find("<" + tag, p + 1)) {
        char next = document[p + tag.size() + 1];
        if (next == '>' || next == ' ') ++n;
    }
    return n;
}

} // namespace velkaro::test
