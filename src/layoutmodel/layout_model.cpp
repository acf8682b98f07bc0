#include "layoutmodel/layout_model.h"

#include <array>

#include "platform/text.h"

namespace velkaro {

namespace {

struct KindInfo {
    const char* Caption;
    const char* Section;
};

// Indexed by TElementKind.
constexpr std::array<KindInfo, 12> kKinds{{
    {"Logo", "Logo"},
    {"Firmenname", "Firmenname"},
    {"Absenderzeile", "Absenderzeile"},
    {"Anschrift", "Anschrift"},
    {"Infoblock", "Infoblock"},
    {"Titel", "Titel"},
    {"Positionen Seite 1", "Tabelle"},
    {"Titel Folgeseite", "TitelFolgeseite"},
    {"Positionen Folgeseiten", "TabelleFolgeseite"},
    {"Fußzeile", "Fusszeile"},
    {"Seitenzahl", "Seitenzahl"},
    {"Text", ""},
}};

bool ValidKind(TElementKind kind) {
    return kind >= ekLogo && kind <= ekText;
}

constexpr const char* kTableHeads = "Pos.|Art.-Nr.|Bezeichnung|Menge|Einheit|Einzelpreis|USt.|Betrag {Waehrung}";

// Maximum length of a free text's caption before it is cut.
constexpr size_t kCaptionTextLength = 25;

struct DefaultGeometry {
    TElementKind Kind;
    double X, Y, W, H, FontSize;
    bool Bold;
    TPageScope Scope;
};

constexpr std::array<DefaultGeometry, FixedElementKindCount> kDefaults{{
    {ekLogo, 145, 10, 50, 25, 10, false, psAll},
    {ekSenderName, 20, 16, 110, 12, 16, true, psAll},
    {ekSenderLine, 20, 45.5, 85, 4.5, 7, false, psFirst},
    {ekAddress, 20, 52, 85, 38, 10, false, psFirst},
    {ekInfo, 125, 52, 70, 42, 9, false, psFirst},
    {ekTitle, 20, 96, 175, 12, 15, true, psFirst},
    {ekTable, 20, 110, 175, 152, 8.5, false, psFirst},
    {ekFollowTitle, 20, 35, 175, 7, 11, true, psFollow},
    {ekFollowTable, 20, 44, 175, 218, 8.5, false, psFollow},
    {ekFooter, 20, 270, 175, 16, 7, false, psAll},
    {ekPageNo, 145, 286, 50, 4, 7, false, psAll},
}};

} // namespace

std::string ElementCaption(TElementKind kind) {
    return ValidKind(kind) ? kKinds[kind].Caption : "";
}

std::string ElementSectionName(TElementKind kind) {
    return ValidKind(kind) ? kKinds[kind].Section : "";
}

std::string DefaultText(TElementKind kind) {
    switch (kind) {
    case ekLogo: return "";
    case ekSenderName: return "{Firma}";
    case ekSenderLine: return "{Firma} · {Strasse} · {PLZ} {Ort}";
    case ekAddress:
        return "{K.Name}\r\n{K.Name2}\r\n{K.Kontakt}\r\n{K.Strasse}\r\n{K.Strasse2}\r\n{K.PLZ} {K.Ort}\r\n"
               "{K.LandAusland}";
    case ekInfo:
        return "Rechnungs-Nr.|{Nr}\r\nRechnungsdatum|{Datum}\r\nKunden-Nr.|{Kunde}\r\n"
               "Liefer-/Leistungsdatum|{Lieferdatum}\r\nAuftrags-Nr.|{Auftrag}\r\n"
               "Ihre Bestellung|{Bestellung}\r\nIhre Referenz|{Referenz}\r\nLeitweg-ID|{LeitwegID}\r\n"
               "Ihre USt-IdNr.|{K.UStId}\r\nTelefon|{Telefon}";
    case ekTitle: return "{Belegart} {Nr}\r\n{Bezug}\r\nLieferanschrift: {L.Adresse}";
    case ekTable:
    case ekFollowTable: return kTableHeads;
    case ekFollowTitle: return "{Belegart} {Nr} (Fortsetzung)";
    case ekFooter:
        return "{Firma} {Firma2}|Tel. {Telefon}|{Bank}|USt-IdNr. {UStId}\r\n"
               "{Strasse}|Fax {Fax}|IBAN {IBAN}|St.-Nr. {StNr}\r\n"
               "{PLZ} {Ort}|{EMail}|BIC {BIC}|{Handelsregister}\r\n"
               "Geschäftsführung: {Geschaeftsfuehrer}|{Web}||";
    case ekPageNo: return "Seite {Seite} von {Seiten}";
    case ekText: return "Neuer Text";
    }
    return "";
}

std::string HintText(TElementKind kind) {
    switch (kind) {
    case ekLogo: return "";
    case ekInfo: return "Je Zeile: Bezeichnung|Wert  (Wert rechtsbündig)";
    case ekTitle: return "1. Zeile im Titelformat, weitere Zeilen klein";
    case ekTable:
    case ekFollowTable: return "Spaltenköpfe, getrennt durch |  (8 Spalten)";
    case ekFooter: return "Spalten je Zeile durch | trennen";
    default: return "Text mit Platzhaltern, mehrzeilig möglich";
    }
}

std::string PageScopeCaption(TPageScope scope) {
    switch (scope) {
    case psFirst: return "Nur Seite 1";
    case psFollow: return "Nur Folgeseiten";
    case psAll: return "Alle Seiten";
    }
    return "";
}

std::string BlockAlignCaption(TBlockAlign align) {
    switch (align) {
    case baLeft: return "Links";
    case baCenter: return "Zentriert";
    case baRight: return "Rechts";
    }
    return "";
}

// --- TLayoutElement ----------------------------------------------------------

std::unique_ptr<TLayoutElement> TLayoutElement::Clone() const {
    return std::make_unique<TLayoutElement>(*this);
}

bool TLayoutElement::OnPage(bool First) const {
    switch (Scope) {
    case psFirst: return First;
    case psFollow: return !First;
    case psAll: return true;
    }
    return true;
}

std::string TLayoutElement::Caption() const {
    std::string result;
    if (Kind == ekText) {
        // Counted in characters, so a cut never splits a multi-byte UTF-8 sequence.
        std::u32string text = Utf8ToUtf32(ReplaceAll(Trim(Text), "\r\n", " "));
        if (text.size() > kCaptionTextLength) {
            text.resize(kCaptionTextLength);
            text += U'\u2026';
        }
        result = "Text: " + Utf32ToUtf8(text);
    } else {
        result = ElementCaption(Kind);
    }
    if (!Visible)
        result += "  (ausgeblendet)";
    return result;
}

bool TLayoutElement::CanHide() const {
    return Kind != ekTable && Kind != ekFollowTable;
}

bool TLayoutElement::TextEditable() const {
    return Kind != ekLogo;
}

bool TLayoutElement::AlignEditable() const {
    switch (Kind) {
    case ekSenderName:
    case ekSenderLine:
    case ekAddress:
    case ekTitle:
    case ekFollowTitle:
    case ekPageNo:
    case ekText: return true;
    default: return false;
    }
}

bool TLayoutElement::ScopeEditable() const {
    switch (Kind) {
    case ekLogo:
    case ekSenderName:
    case ekFooter:
    case ekPageNo:
    case ekText: return true;
    default: return false;
    }
}

std::unique_ptr<TLayoutElement> NewFreeText(double x, double y, double w, TPageScope scope, const std::string& text) {
    auto e = std::make_unique<TLayoutElement>();
    e->Kind = ekText;
    e->X = x;
    e->Y = y;
    e->W = w;
    e->H = 10;
    e->FontSize = 9;
    e->Bold = false;
    e->Visible = true;
    e->Scope = scope;
    e->Align = baLeft;
    e->Text = text;
    return e;
}

// --- TLayout -------------------------------------------------------------------

void TLayout::SetDefaults(const std::string& LogoFile) {
    Elements.clear();
    BackgroundFirst.clear();
    BackgroundFollow.clear();
    FollowSameAsFirst = true;
    for (const DefaultGeometry& d : kDefaults) {
        auto e = std::make_unique<TLayoutElement>();
        e->Kind = d.Kind;
        e->X = d.X;
        e->Y = d.Y;
        e->W = d.W;
        e->H = d.H;
        e->FontSize = d.FontSize;
        e->Bold = d.Bold;
        e->Visible = true;
        e->Scope = d.Scope;
        e->Align = d.Kind == ekPageNo ? baRight : baLeft;
        e->Text = DefaultText(d.Kind);
        if (d.Kind == ekLogo) {
            e->FileName = LogoFile;
            e->Visible = !LogoFile.empty();
        }
        Elements.push_back(std::move(e));
    }
}

void TLayout::Assign(const TLayout& Src) {
    if (&Src == this)
        return;
    TElementList copy;
    copy.reserve(Src.Elements.size());
    for (const auto& e : Src.Elements)
        copy.push_back(e->Clone());
    Elements = std::move(copy);
    BackgroundFirst = Src.BackgroundFirst;
    BackgroundFollow = Src.BackgroundFollow;
    FollowSameAsFirst = Src.FollowSameAsFirst;
}

TLayoutElement* TLayout::Find(TElementKind K) const {
    for (const auto& e : Elements)
        if (e->Kind == K)
            return e.get();
    return nullptr;
}

TLayoutElement* TLayout::AddText(bool First) {
    Elements.push_back(NewFreeText(20, 140, 90, First ? psFirst : psFollow, DefaultText(ekText)));
    return Elements.back().get();
}

const std::string& TLayout::BackgroundFor(bool First) const {
    return (First || FollowSameAsFirst) ? BackgroundFirst : BackgroundFollow;
}

} // namespace velkaro

namespace velkaro {

TMmRect LogoPlacement(const TLayoutElement& logo, double pictureWidth, double pictureHeight) {
    double w = logo.W;
    double h = pictureHeight * logo.W / pictureWidth;
    if (h > logo.H) {
        w = pictureWidth * logo.H / pictureHeight;
        h = logo.H;
    }
    return {logo.X + logo.W - w, logo.Y, w, h};
}

} // namespace velkaro
