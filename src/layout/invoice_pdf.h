#pragma once
// The finished ZUGFeRD 2 / Factur-X file of one invoice: PDF/A-3 drawn by the layout,
// with the Cross Industry Invoice embedded as "factur-x.xml".
#include <string>

#include "invoice/invoice.h"
#include "layout/print_setup.h"
#include "platform/log.h"

namespace velkaro {

// Draws the calculated invoice with the set-up's font, ICC profile and layout, attaches
// `xml` unchanged and writes `fileName` (replaced when it exists; untouched when any step
// fails). Errors carry the German message of the failing step. A character that no
// installed font has is printed as the font's .notdef glyph and named in a hint line
// through `log`.
void RenderInvoicePdf(const TInvoice& invoice, const TSeller& seller, const TPrintSetup& setup,
                      const std::string& fileName, const std::string& xml, const TLogProc& log = {});

// "  Hinweis <no>: Zeichen „c“ (U+XXXX) in keiner installierten Schrift, als Ersatzzeichen gedruckt"
std::string MissingCharacterHint(const std::string& invoiceNo, char32_t c);

} // namespace velkaro
