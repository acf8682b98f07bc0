#include "render_fixtures.h"

#include <cmath>
#include <sstream>

#include "media/image_test_writers.h"
#include "platform/text.h"

namespace velkaro::test {

namespace {
constexpr double kPageHeight = 841.89;
double Mm(double pt) { return pt * 25.4 / 72; }

// The text of the glyph strings "<....>" of one text object, each in the font that the
// "Tf" before it selects.
std::string DecodeGlyphs(const std::string& line, const TPdfDocument& doc) {
    std::string text;
    const TGlyphUse* used = nullptr;
    std::istringstream in(line);
    std::string word, previous;
    while (in >> word) {
        if (word == "Tf") {
            for (const auto& font : doc.Fonts())
                if ("/" + font->ResName() == previous) used = &doc.UsedGlyphs(*font);
        } else if (word.size() >= 2 && word.front() == '<' && word.back() == '>' && used) {
            for (size_t i = 1; i + 4 < word.size(); i += 4) {
                auto it = used->find(static_cast<uint16_t>(std::stoi(word.substr(i, 4), nullptr, 16)));
                text += it == used->end() ? std::string("?") : Utf32ToUtf8(it->second);
            }
        }
        if (word[0] == '/') previous = word; // the font name; its size stands between it and Tf
    }
    return text;
}
} // namespace

PageOps ParseContent(const std::string& content, const TPdfDocument& doc) {
    PageOps ops;
    for (const std::string& line : Split(content, '\n')) {
        std::istringstream in(line);
        if (line.rfind("BT /", 0) == 0) {
            TextRun t;
            std::string bt, tf, td;
            double x = 0, y = 0;
            in >> bt >> t.Font >> t.Size >> tf >> x >> y >> td;
            t.Font = t.Font.substr(1);
            t.X = Mm(x);
            t.Y = Mm(kPageHeight - y);
            t.Text = DecodeGlyphs(line, doc);
            ops.Texts.push_back(t);
        } else if (line.find(" l S") != std::string::npos) {
            LineRun l;
            std::string w, m;
            double x1, y1, x2, y2;
            in >> l.Width >> w >> x1 >> y1 >> m >> x2 >> y2;
            l = {Mm(x1), Mm(kPageHeight - y1), Mm(x2), Mm(kPageHeight - y2), Mm(l.Width)};
            ops.Lines.push_back(l);
        } else if (line.find(" re f") != std::string::npos) {
            double x, y, w, h;
            in >> x >> y >> w >> h;
            ops.Rects.push_back({Mm(x), Mm(kPageHeight - y - h), Mm(w), Mm(h)});
        } else if (line.size() > 3 && (line.ends_with(" rg") || line.ends_with(" RG"))) {
            ops.Colors.push_back(line);
        } else if (line.rfind("q ", 0) == 0) {
            std::string q, zero, cm, name;
            double w, h, x, y;
            in >> q >> w >> zero >> zero >> h >> x >> y >> cm >> name;
            ops.Images.push_back({name.substr(1), Mm(x), Mm(kPageHeight - y - h), Mm(w), Mm(h)});
        }
    }
    return ops;
}

const TextRun* PageOps::Find(const std::string& text) const {
    for (const TextRun& t : Texts)
        if (t.Text == text) return &t;
    return nullptr;
}

const TextRun* PageOps::FindPrefix(const std::string& prefix) const {
    for (const TextRun& t : Texts)
        if (t.Text.rfind(prefix, 0) == 0) return &t;
    return nullptr;
}

std::string PageOps::AllText() const {
    std::string out;
    for (const TextRun& t : Texts) out += t.Text + "\n";
    return out;
}

std::string PageOps::TextAt(double x) const {
    std::vector<std::string> parts;
    for (const TextRun& t : Texts)
        if (std::fabs(t.X - x) < 0.001) parts.push_back(t.Text);
    return Join(parts, " ");
}

TInvLine TextLine(const std::string& description) {
    TInvLine l;
    l.LineType = 0;
    l.Description = description;
    return l;
}

TInvLine Item(const std::string& itemNo, const std::string& description, double quantity, double price,
              double vatPct, double discPct) {
    TInvLine l;
    l.LineType = 2;
    l.ItemNo = itemNo;
    l.Description = description;
    l.UnitCode = "STK";
    l.UnitIso = "H87";
    l.UnitText = "Stück";
    l.Quantity = quantity;
    l.UnitPrice = price;
    l.LineDiscPct = discPct;
    l.VatPct = vatPct;
    double net = std::round(quantity * price * (100 - discPct)) / 100;
    l.Amount = Currency::FromDouble(net);
    l.LineAmount = l.Amount;
    l.AmountInclVat = l.Amount + Currency::FromDouble(std::round(net * vatPct) / 100);
    return l;
}

std::string FakeJpeg(int width, int height) {
    if (width > 0 && height > 0)
        return JpegBytes(width, height, JCS_RGB, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3, 200));
    std::string jpeg = "\xFF\xD8\xFF\xC0";
    jpeg += std::string("\x00\x11\x08", 3);
    jpeg += static_cast<char>(height >> 8);
    jpeg += static_cast<char>(height & 0xFF);
    jpeg += static_cast<char>(width >> 8);
    jpeg += static_cast<char>(width & 0xFF);
    jpeg += std::string("\x03\x01\x11\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 12);
    return jpeg;
}

TSeller FixtureSeller() {
    TSeller s;
    s.Addr.Name = "Beispiel AG";
    s.Addr.Street = "Hauptstraße 1";
    s.Addr.PostCode = "70173";
    s.Addr.City = "Stuttgart";
    s.Addr.Country = "DE";
    s.VatID = "DE123456789";
    s.TaxNo = "99/123/45678";
    s.Phone = "0711 123456";
    s.Email = "rechnung@beispiel.example";
    s.Web = "www.beispiel.example";
    s.IBAN = "DE02120300000000202051";
    s.BIC = "BYLADEM1001";
    s.BankName = "Musterbank";
    s.Management = "Erika Beispiel";
    s.CommercialRegister = "HRB 1234";
    return s;
}

TInvoice SmallInvoice() {
    TInvoice inv;
    inv.No = "1001";
    inv.CustomerNo = "K100";
    inv.BillTo.Name = "Muster GmbH";
    inv.BillTo.Street = "Bahnhofstr. 5";
    inv.BillTo.PostCode = "50667";
    inv.BillTo.City = "Köln";
    inv.BillTo.Country = "DE";
    inv.PostingDate = EncodeDate(2026, 11, 24);
    inv.DocumentDate = EncodeDate(2026, 11, 24);
    inv.DueDate = EncodeDate(2026, 12, 8);
    inv.PayTermsText = "14 Tage netto";
    inv.Lines = {Item("1000", "Brotkorb Edelstahl rund", 12, 14.9, 19),
                 Item("1010", "Tortenplatte Glas", 6, 22.5, 19)};
    return inv;
}

RenderRig::RenderRig() {
    FLayout.SetDefaults("");
    FSetup.FontName = "Arial";
    FSetup.IccFile = "/usr/share/color/icc/sRGB.icc";
    FSetup.Layout = &FLayout;
    FSetup.TaxRules = TTaxRules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"};
    FDoc = std::make_unique<TPdfDocument>(FSetup.IccFile);
    FRenderer.Doc = FDoc.get();
    FRenderer.FReg = &FDoc->AddFont(FSetup.FontName, false);
    FRenderer.FBold = &FDoc->AddFont(FSetup.FontName, true);
}

void RenderRig::Prepare() {
    Inv.Calculate(FSetup.TaxRules);
    FRenderer.Inv = &Inv;
    FRenderer.Seller = Seller;
    FRenderer.TaxRules = FSetup.TaxRules;
    FRenderer.L = FSetup.Layout;
    FRenderer.Ctx = InvoiceContext(Inv, Seller, FSetup.TaxRules);
}

void RenderRig::Render() {
    Prepare();
    FRenderer.Render();
}

} // namespace velkaro::test
