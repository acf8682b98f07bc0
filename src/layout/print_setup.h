#pragma once
// What printing an invoice reads of the configuration: font, colour profile, layout and
// the VAT rules of the exemption notes. A plain value, so that the layout designer's
// preview can print with its working copy of the layout while the settings stay as they
// are. Filled from the settings in one place only, PrintSetupOf (app/generate_invoice.h),
// where the workflow brings settings, database and printing together.
#include <string>

#include "invoice/tax_rules.h"

namespace velkaro {

class TLayout;

struct TPrintSetup {
    std::string FontName;  // face of the regular and bold font (F1, F2)
    std::string IccFile;   // colour profile of the PDF/A output intent
    bool WholeFonts = false; // embed the complete font files, not only the glyphs used
    // Not owned; it must outlive the printing. nullptr: the built-in layout, with LogoFile.
    const TLayout* Layout = nullptr;
    std::string LogoFile;
    // Pictures the layout names relatively lie in this folder (the settings file's).
    std::string PictureFolder;
    TTaxRules TaxRules;
};

} // namespace velkaro
