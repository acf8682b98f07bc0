#pragma once
// Layout of the printed invoice: where each part goes on the A4 page (millimetres from
// the top-left corner, y downwards; font sizes in points) and the letter-paper
// backgrounds. Stored in the layout file (".layout.ini").
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace velkaro {

// Stored in the layout file as these numbers; do not reorder.
enum TElementKind : int {
    ekLogo = 0,
    ekSenderName = 1,
    ekSenderLine = 2,
    ekAddress = 3,
    ekInfo = 4,
    ekTitle = 5,
    ekTable = 6,
    ekFollowTitle = 7,
    ekFollowTable = 8,
    ekFooter = 9,
    ekPageNo = 10,
    ekText = 11,
};

// The fixed kinds (one element each); free texts follow them.
constexpr int FixedElementKindCount = 11;

enum TPageScope : int {
    psFirst = 0,   // "Nur Seite 1"
    psFollow = 1,  // "Nur Folgeseiten"
    psAll = 2,     // "Alle Seiten"
};

enum TBlockAlign : int {
    baLeft = 0,    // "Links"
    baCenter = 1,  // "Zentriert"
    baRight = 2,   // "Rechts"
};

class TLayoutElement {
public:
    TElementKind Kind = ekText;
    double X = 0, Y = 0;
    double W = 0, H = 0;
    double FontSize = 9;
    bool Bold = false;
    bool Visible = true;
    TPageScope Scope = psFirst;
    TBlockAlign Align = baLeft;
    std::string Text;      // placeholders; lines separated by CR LF; cells by "|"
    std::string FileName;  // picture file (logo)

    std::unique_ptr<TLayoutElement> Clone() const;
    // Whether the element is drawn on page 1 (First) or on a following page.
    bool OnPage(bool First) const;
    // Text of the designer's element list.
    std::string Caption() const;
    bool CanHide() const;
    bool TextEditable() const;
    bool AlignEditable() const;
    bool ScopeEditable() const;
};

class TLayout {
public:
    using TElementList = std::vector<std::unique_ptr<TLayoutElement>>;

    TElementList Elements;  // owned, in drawing and file order
    std::string BackgroundFirst;
    std::string BackgroundFollow;
    bool FollowSameAsFirst = true;

    TLayout() = default;
    TLayout(const TLayout&) = delete;
    TLayout& operator=(const TLayout&) = delete;

    // The built-in layout; the logo shows only when LogoFile is set.
    void SetDefaults(const std::string& LogoFile);
    // Deep copy of Src (elements cloned).
    void Assign(const TLayout& Src);
    // First element of kind K, or nullptr.
    TLayoutElement* Find(TElementKind K) const;
    // Appends a new free text and returns it (owned by the layout).
    TLayoutElement* AddText(bool First);
    const std::string& BackgroundFor(bool First) const;

    // Defaults first, then whatever the file holds; a missing file is no error. Returns
    // the findings, one German line each: numbers outside their bounds (taken at the
    // nearest bound, or kept at the default when they are no finite number) and a file
    // that cannot be read or is larger than kMaxLayoutFileBytes (the defaults stand).
    std::vector<std::string> LoadFromFile(const std::string& fileName, const std::string& logoFile);
    // Writes every value into the file, changing it in place: its comments and blank lines
    // stay, sections the program does not write go. Pictures (letter paper, logo) lying in
    // or below `pictureFolder` are written relative to it (the reader finds them there),
    // others as they are. Platform errors raise velkaro::Exception.
    void SaveToFile(const std::string& fileName, const std::string& pictureFolder = "") const;
};

// The A4 page in millimetres and the font sizes the print offers. A layout file's
// values are read within these bounds (TLayout::LoadFromFile): font sizes from
// kMinFontSize to kMaxFontSize, widths and heights up to the page's, positions up to
// one page width or height either side of the top-left corner (an element may hang over
// the edge, as the designer allows).
inline constexpr double kPageWidthMm = 210;
inline constexpr double kPageHeightMm = 297;
inline constexpr double kMinFontSize = 4;
inline constexpr double kMaxFontSize = 72;
// A layout file larger than this is not read (the defaults stand, with a finding).
inline constexpr size_t kMaxLayoutFileBytes = 4u * 1024 * 1024;

// Line heights of the print in millimetres per point of font size, the same for the
// renderer and the designer's drawing of the page.
inline constexpr double kTextLineFactor = 0.46;    // text blocks and the title's lines
inline constexpr double kInfoLineFactor = 0.49;    // the label and value rows of an info block
inline constexpr double kColumnLineFactor = 0.47;  // the footer's columns and text flowing below the table
inline constexpr double kTableLineFactor = 0.447;  // the rows of the invoice table

// A visible, left-aligned, not bold free text of height 10 mm and size 9 pt.
std::unique_ptr<TLayoutElement> NewFreeText(double x, double y, double w, TPageScope scope, const std::string& text);

// Caption of the kind in the designer ("Logo", "Positionen Seite 1", …).
std::string ElementCaption(TElementKind kind);
// Section name in the layout file without "Element." ("Tabelle", …); empty for ekText.
std::string ElementSectionName(TElementKind kind);
std::string DefaultText(TElementKind kind);
std::string HintText(TElementKind kind);
// Display names of the enumeration values ("Nur Seite 1", "Links", …).
std::string PageScopeCaption(TPageScope scope);
std::string BlockAlignCaption(TBlockAlign align);

} // namespace velkaro

namespace velkaro {

// A rectangle on the page in millimetres.
struct TMmRect {
    double X = 0, Y = 0, W = 0, H = 0;
};

// Where a picture of the given pixel size goes in the logo's box: as large as fits,
// keeping its proportions, flush with the box's top and right edges.
TMmRect LogoPlacement(const TLayoutElement& logo, double pictureWidth, double pictureHeight);

// The eight column heads of the item tables: their positions on a reference width of
// 175 mm (scaled to the table's width) and whether the head ends there (right-aligned)
// or starts there.
struct TTableHead {
    double Offset;
    bool EndsThere;
};
inline constexpr TTableHead kTableColumnHeads[8] = {{0.5, false},  {8, false},   {32, false}, {111, true},
                                              {113, false}, {145, true}, {156, true}, {175, true}};
inline constexpr double kTableReferenceWidth = 175;

} // namespace velkaro
