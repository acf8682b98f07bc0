#include "invoice/placeholders.h"

#include "invoice/email_extract.h"
#include "invoice/money_text.h"

namespace velkaro {

TPlaceholderContext NewPlaceholderContext() { return TPlaceholderContext(); }

std::string FormatDate(TDateTime date) {
    return IsNavDate(date) ? FormatDisplayDate(date) : "";
}

std::string JoinNonEmpty(const std::vector<std::string>& texts, std::string_view separator) {
    std::string out;
    bool first = true;
    for (const auto& t : texts) {
        std::string s = Trim(t);
        if (s.empty()) continue;
        if (!first) out += separator;
        out += s;
        first = false;
    }
    return out;
}

void AddSellerPlaceholders(TPlaceholderContext& context, const TSeller& seller) {
    context["Firma"] = seller.Addr.Name;
    context["Firma2"] = seller.Addr.Name2;
    context["Strasse"] = seller.Addr.Street;
    context["PLZ"] = seller.Addr.PostCode;
    context["Ort"] = seller.Addr.City;
    context["Land"] = seller.Addr.Country;
    context["Telefon"] = seller.Phone;
    context["Fax"] = seller.Fax;
    context["EMail"] = seller.Email;
    context["Web"] = seller.Web;
    context["UStId"] = seller.VatID;
    context["StNr"] = seller.TaxNo;
    context["Bank"] = seller.BankName;
    context["IBAN"] = seller.IBAN;
    context["BIC"] = seller.BIC;
    context["Kontoinhaber"] = seller.AccountHolder;
    context["GlaeubigerID"] = seller.CreditorID;
    context["Geschaeftsfuehrer"] = seller.Management;
    context["Handelsregister"] = seller.CommercialRegister;
}

TPlaceholderContext InvoiceContext(const TInvoice& inv, const TSeller& seller, const TTaxRules& rules) {
    TPlaceholderContext c = NewPlaceholderContext();
    AddSellerPlaceholders(c, seller);
    c["Belegart"] = DocumentKindName(inv.Kind);
    c["Nr"] = inv.No;
    c["BezugRechnung"] = inv.CorrectedInvoiceNo;
    c["BezugDatum"] = inv.CorrectedInvoiceNo.empty() ? "" : FormatDate(inv.CorrectedInvoiceDate);
    // The whole reference line, so that a reference whose invoice date is unknown reads
    // without a dangling "vom".
    c["Bezug"] = inv.CorrectedInvoiceNo.empty() ? ""
                 : "zu Rechnung " + inv.CorrectedInvoiceNo +
                       (c["BezugDatum"].empty() ? std::string() : " vom " + c["BezugDatum"]);
    c["Datum"] = FormatDate(inv.DocumentDate);
    c["Lieferdatum"] = IsNavDate(inv.ShipmentDate) ? FormatDate(inv.ShipmentDate) : FormatDate(inv.PostingDate);
    c["Faellig"] = FormatDate(inv.DueDate);
    c["Kunde"] = inv.CustomerNo;
    c["Auftrag"] = inv.OrderNo;
    c["Bestellung"] = inv.ExternalDocNo;
    c["Referenz"] = inv.YourReference;
    c["LeitwegID"] = inv.LeitwegID;
    c["Zahlungsbedingung"] = inv.PayTermsText;
    c["Netto"] = FormatGermanMoney(inv.LineTotal);
    c["Steuer"] = FormatGermanMoney(inv.TaxTotal);
    c["Brutto"] = FormatGermanMoney(inv.GrandTotal);
    c["Betrag"] = FormatGermanMoney(inv.DuePayable);
    c["Waehrung"] = inv.InvCurrency();
    c["Mandat"] = inv.MandateID;
    c["Name"] = inv.BillTo.Name;
    c["K.Name"] = inv.BillTo.Name;
    c["K.Name2"] = inv.BillTo.Name2;
    c["K.Kontakt"] = inv.BillTo.Contact;
    c["K.Strasse"] = inv.BillTo.Street;
    c["K.Strasse2"] = inv.BillTo.Street2;
    c["K.PLZ"] = inv.BillTo.PostCode;
    c["K.Ort"] = inv.BillTo.City;
    std::string land = inv.BillTo.CountryName.empty() ? inv.BillTo.Country : inv.BillTo.CountryName;
    c["K.Land"] = land;
    c["K.LandAusland"] = SameText(inv.BillTo.Country, rules.DefaultCountry) ? "" : land;
    c["K.UStId"] = inv.BuyerVatID;
    std::vector<std::string> mails = ExtractEmails(inv.CustomerEmail);
    c["K.EMail"] = mails.empty() ? "" : mails.front();
    c["K.RechnungsEMail"] = inv.InvoiceEmail;
    // The ship-to fields count only when the invoice names a delivery address of its own
    // (a ship-to code); they show the delivery party the XML names.
    const bool shipTo = !inv.ShipToCode.empty();
    const TAddress delivery = inv.DeliveryAddress();
    c["L.Adresse"] = shipTo ? JoinNonEmpty({delivery.Name, delivery.Street,
                                            JoinNonEmpty({delivery.PostCode, delivery.City}, " ")},
                                           ", ")
                            : "";
    c["L.Name"] = shipTo ? delivery.Name : "";
    c["L.Strasse"] = shipTo ? delivery.Street : "";
    c["L.PLZ"] = shipTo ? delivery.PostCode : "";
    c["L.Ort"] = shipTo ? delivery.City : "";
    c["Seite"] = "1";
    c["Seiten"] = "1";
    return c;
}

TSeller SampleSeller() {
    TSeller s;
    s.Addr.Name = "FIRMENNAME";
    s.Addr.Street = "Firmenstraße 1";
    s.Addr.PostCode = "12345";
    s.Addr.City = "Firmenort";
    s.Phone = "0123 456789";
    s.Fax = "0123 456780";
    s.Email = "info@firmenname.example";
    s.Web = "www.firmenname.example";
    s.VatID = "DE123456789";
    s.TaxNo = "123/4567/8901";
    s.BankName = "Musterbank";
    s.IBAN = "DE00 0000 0000 0000 0000 00";
    s.BIC = "MUSTDEXXX";
    s.Management = "Max Muster";
    s.CommercialRegister = "HRB 1234";
    return s;
}

TPlaceholderContext SampleContext(const TSeller& seller) {
    TPlaceholderContext c = NewPlaceholderContext();
    AddSellerPlaceholders(c, seller);
    c["Belegart"] = "Rechnung";
    c["Nr"] = "RG100000";
    c["BezugRechnung"] = "";
    c["BezugDatum"] = "";
    c["Bezug"] = "";
    c["Datum"] = "24.11.2026";
    c["Lieferdatum"] = "20.11.2026";
    c["Faellig"] = "01.12.2026";
    c["Kunde"] = "10000";
    c["Auftrag"] = "AB10000";
    c["Bestellung"] = "B-4711";
    c["Referenz"] = "";
    c["LeitwegID"] = "";
    c["Zahlungsbedingung"] = "14 Tage netto";
    c["Netto"] = "1.000,00";
    c["Steuer"] = "190,00";
    c["Brutto"] = "1.190,00";
    c["Betrag"] = "1.190,00";
    c["Waehrung"] = "EUR";
    c["Mandat"] = "";
    c["Name"] = "Musterkunde GmbH";
    c["K.Name"] = "Musterkunde GmbH";
    c["K.Name2"] = "";
    c["K.Kontakt"] = "z. Hd. Frau Muster";
    c["K.Strasse"] = "Musterstraße 12";
    c["K.Strasse2"] = "";
    c["K.PLZ"] = "12345";
    c["K.Ort"] = "Musterstadt";
    c["K.Land"] = "Deutschland";
    c["K.LandAusland"] = "";
    c["K.UStId"] = "";
    c["K.EMail"] = "info@musterkunde.example";
    c["K.RechnungsEMail"] = "rechnung@musterkunde.example";
    c["L.Adresse"] = "";
    c["L.Name"] = "";
    c["L.Strasse"] = "";
    c["L.PLZ"] = "";
    c["L.Ort"] = "";
    c["Seite"] = "1";
    c["Seiten"] = "2";
    return c;
}

const std::vector<TPlaceholderInfo>& PlaceholderList() {
    static const std::vector<TPlaceholderInfo> list = {
        {"Nr", "Rechnungsnummer"},
        {"Datum", "Rechnungsdatum"},
        {"Lieferdatum", "Liefer-/Leistungsdatum"},
        {"Faellig", "Fälligkeitsdatum"},
        {"Kunde", "Kundennummer"},
        {"Auftrag", "Auftragsnummer"},
        {"Bestellung", "Bestellnummer des Kunden"},
        {"Referenz", "Ihre Referenz"},
        {"LeitwegID", "Leitweg-ID (öffentliche Auftraggeber, aus der INI)"},
        {"Zahlungsbedingung", "Zahlungsbedingung (Text)"},
        {"Netto", "Nettobetrag"},
        {"Steuer", "Umsatzsteuer gesamt"},
        {"Brutto", "Rechnungsbetrag"},
        {"Betrag", "Zahlbetrag"},
        {"Waehrung", "Währung"},
        {"Mandat", "SEPA-Mandatsreferenz"},
        {"Belegart", "Belegart (Rechnung oder Rechnungskorrektur)"},
        {"BezugRechnung", "Rechnungskorrektur: Nummer der korrigierten Rechnung"},
        {"BezugDatum", "Rechnungskorrektur: Datum der korrigierten Rechnung"},
        {"Bezug", "Rechnungskorrektur: „zu Rechnung <Nr> vom <Datum>“"},
        {"K.Name", "Kunde: Name"},
        {"K.Name2", "Kunde: Name 2"},
        {"K.Kontakt", "Kunde: Ansprechpartner"},
        {"K.Strasse", "Kunde: Straße"},
        {"K.Strasse2", "Kunde: Adresszusatz"},
        {"K.PLZ", "Kunde: PLZ"},
        {"K.Ort", "Kunde: Ort"},
        {"K.Land", "Kunde: Land"},
        {"K.LandAusland", "Kunde: Land (nur wenn Ausland)"},
        {"K.UStId", "Kunde: USt-IdNr."},
        {"K.EMail", "Kunde: E-Mail (allgemein, erste Adresse)"},
        {"K.RechnungsEMail", "Kunde: Rechnungs-E-Mail"},
        {"L.Adresse", "Lieferanschrift (einzeilig, nur bei abw. Lieferadresse)"},
        {"L.Name", "Lieferanschrift: Name"},
        {"L.Strasse", "Lieferanschrift: Straße"},
        {"L.PLZ", "Lieferanschrift: PLZ"},
        {"L.Ort", "Lieferanschrift: Ort"},
        {"Firma", "Eigene Firma: Name"},
        {"Firma2", "Eigene Firma: Name 2"},
        {"Strasse", "Eigene Firma: Straße"},
        {"PLZ", "Eigene Firma: PLZ"},
        {"Ort", "Eigene Firma: Ort"},
        {"Telefon", "Eigene Firma: Telefon"},
        {"Fax", "Eigene Firma: Fax"},
        {"EMail", "Eigene Firma: E-Mail"},
        {"Web", "Eigene Firma: Internet"},
        {"UStId", "Eigene Firma: USt-IdNr."},
        {"StNr", "Eigene Firma: Steuernummer"},
        {"Bank", "Eigene Firma: Bank"},
        {"IBAN", "Eigene Firma: IBAN"},
        {"BIC", "Eigene Firma: BIC"},
        {"Kontoinhaber", "Eigene Firma: Kontoinhaber"},
        {"GlaeubigerID", "Eigene Firma: Gläubiger-ID"},
        {"Geschaeftsfuehrer", "Eigene Firma: Geschäftsführung"},
        {"Handelsregister", "Eigene Firma: Handelsregister"},
        {"Seite", "Aktuelle Seite"},
        {"Seiten", "Seitenanzahl"},
    };
    return list;
}

TExpandedLine ExpandPlaceholders(std::string_view line, const TPlaceholderContext& context) {
    TExpandedLine r;
    bool metPlaceholder = false;
    bool metValue = false;
    // The next "}" is searched again only once the scan has passed it, so a line full of
    // lone "{" stays linear.
    size_t close = 0;
    bool searched = false;
    size_t i = 0;
    while (i < line.size()) {
        char ch = line[i];
        if (ch == '{') {
            if (!searched || (close != std::string_view::npos && close <= i)) {
                close = line.find('}', i + 1);
                searched = true;
            }
            if (close != std::string_view::npos) {
                auto it = context.find(line.substr(i + 1, close - i - 1));
                if (it != context.end()) {
                    r.Text += it->second;
                    metPlaceholder = true;
                    if (!Trim(it->second).empty()) metValue = true;
                    i = close + 1;
                    continue;
                }
            }
        }
        r.Text += ch;
        ++i;
    }
    if (metPlaceholder && !metValue) {
        r.Text.clear();
        r.AllEmpty = true;
    }
    return r;
}

std::vector<std::string> TextLines(std::string_view text) {
    std::string plain = ReplaceAll(text, "\r", "");
    if (plain.empty()) return {};
    return Split(plain, '\n');
}

std::vector<TLabelValue> ExpandLabelValueLines(std::string_view text, const TPlaceholderContext& context) {
    std::vector<TLabelValue> rows;
    for (const std::string& line : TextLines(text)) {
        if (line.empty()) continue;
        std::vector<std::string> cells = SplitCells(line);
        const std::string valueText = Join(std::vector<std::string>(cells.begin() + 1, cells.end()), "|");
        TExpandedLine label = ExpandPlaceholders(cells[0], context);
        TExpandedLine value = ExpandPlaceholders(valueText, context);
        if (label.AllEmpty || value.AllEmpty) continue;
        rows.push_back({std::move(label.Text), std::move(value.Text)});
    }
    return rows;
}

std::vector<std::vector<std::string>> ExpandCellLines(std::string_view text, const TPlaceholderContext& context) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : TextLines(text)) {
        if (line.empty()) continue;
        std::vector<std::string> cells = SplitCells(line);
        for (std::string& cell : cells) {
            TExpandedLine expanded = ExpandPlaceholders(cell, context);
            cell = expanded.AllEmpty || Trim(expanded.Text).empty() ? std::string() : std::move(expanded.Text);
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

std::vector<std::string> ExpandTextBlock(std::string_view text, const TPlaceholderContext& context) {
    std::vector<std::string> out;
    for (const auto& line : TextLines(text)) {
        TExpandedLine e = ExpandPlaceholders(line, context);
        if (!e.AllEmpty) out.push_back(std::move(e.Text));
    }
    return out;
}

std::vector<std::string> SplitCells(std::string_view line) { return Split(line, '|'); }

} // namespace velkaro
