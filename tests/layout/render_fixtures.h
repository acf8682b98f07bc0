#pragma once
// Small invoices for the renderer tests, a rig that draws them with the installed font,
// and a reader for the content operators of a page (positions back in millimetres).
#include <memory>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "layout/print_setup.h"
#include "layout/renderer.h"
#include "pdf/pdf_document.h"
#include "support/test_support.h"

namespace velkaro::test {

// One text operator of a page: font resource, size, baseline position in mm from the
// top-left corner, and the text as UTF-8.
struct TextRun {
    std::string Font;
    double Size = 0;
    double X = 0, Y = 0;
    std::string Text;
};
struct LineRun {
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, Width = 0;
};
struct RectRun {
    double X = 0, Y = 0, W = 0, H = 0; // top-left corner
};
struct ImageRun {
    std::string Name;
    double X = 0, Y = 0, W = 0, H = 0; // top-left corner
};
struct PageOps {
    std::vector<TextRun> Texts;
    std::vector<LineRun> Lines;
    std::vector<RectRun> Rects;
    std::vector<std::string> Colors; // "r g b rg" / "RG" operators in order
    std::vector<ImageRun> Images;
    // The first text run that reads `text` exactly, or nullptr.
    const TextRun* Find(const std::string& text) const;
    // The first text run that begins with `prefix`, or nullptr.
    const TextRun* FindPrefix(const std::string& prefix) const;
    // All text runs of the page joined by "\n".
    std::string AllText() const;
    // The texts of the runs starting at x (mm), in order, joined by blanks.
    std::string TextAt(double x) const;
};
// The operators of a page's content; texts are read back through the glyphs that the
// document's fonts recorded for them.
PageOps ParseContent(const std::string& content, const TPdfDocument& doc);

TInvLine TextLine(const std::string& description);
// An item whose amount is quantity × price less the line discount, VAT rounded to cents.
TInvLine Item(const std::string& itemNo, const std::string& description, double quantity, double price,
              double vatPct, double discPct = 0);
TSeller FixtureSeller();
// A plain RGB JPEG of that size, which the PDF writer embeds as it is; with a side of 0
// only a frame header, which no decoder can read.
std::string FakeJpeg(int width, int height);
// Two items at 19 %, payment by transfer with a due date and payment terms.
TInvoice SmallInvoice();

// The print set-up of the settings' defaults (Arial, the system's sRGB profile, DE,
// "Steuerfreie Leistung") on a built-in layout of its own, a temporary folder, a
// document with fonts F1/F2 of the set-up's face, and a renderer on both.
class RenderRig {
public:
    RenderRig();
    TPrintSetup& Setup() { return FSetup; }
    TLayout& Layout() { return FLayout; }
    TPdfDocument& Doc() { return *FDoc; }
    TRenderer& R() { return FRenderer; }
    const std::string& Folder() const { return FFolder.Path(); }

    TInvoice Inv = SmallInvoice();
    TSeller Seller = FixtureSeller();

    // Calculates the invoice and fills the renderer's inputs (no drawing).
    void Prepare();
    // Prepare and Render.
    void Render();
    PageOps Page(int index) const { return ParseContent(FDoc->PageContent(index), *FDoc); }

private:
    TempFolder FFolder;
    TLayout FLayout;
    TPrintSetup FSetup;
    std::unique_ptr<TPdfDocument> FDoc;
    TRenderer FRenderer;
};

} // namespace velkaro::test
