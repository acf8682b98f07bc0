#pragma once
// Placeholders such as {Nr} or {K.UStId} in every user-edited text (text blocks and
// info block of the printed invoice, mail subject and bodies): the context that maps
// keys to values, its filling from an invoice or with sample values, and the expansion.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "invoice/currency.h"
#include "invoice/invoice.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace velkaro {

// Key (without braces) -> plain-text value; keys compare without regard to letter case.
// A key present with an empty value counts as known.
using TPlaceholderContext = std::map<std::string, std::string, CaseInsensitiveLess>;

struct TPlaceholderInfo {
    std::string Key;
    std::string Description;
};

struct TExpandedLine {
    std::string Text;
    // At least one placeholder was met and all of them were empty (blank); Text is empty then.
    bool AllEmpty = false;
};

TPlaceholderContext NewPlaceholderContext();

// "dd.mm.yyyy" when the date is set (IsNavDate), else "".
std::string FormatDate(TDateTime date);
// Trims every text, leaves out the empty ones, separator only between the rest.
std::string JoinNonEmpty(const std::vector<std::string>& texts, std::string_view separator);

// Sets Firma, Firma2, Strasse, PLZ, Ort, Land, Telefon, Fax, EMail, Web, UStId, StNr,
// Bank, IBAN, BIC, Kontoinhaber, GlaeubigerID, Geschaeftsfuehrer, Handelsregister.
void AddSellerPlaceholders(TPlaceholderContext& context, const TSeller& seller);
// Every key of PlaceholderList plus Name and Land, filled from the invoice and seller;
// the rules' default country decides whether K.LandAusland shows the buyer's country.
TPlaceholderContext InvoiceContext(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules);
// The made-up company shown in previews when no real seller can be loaded.
TSeller SampleSeller();
// Seller keys from the given seller, invoice keys with fixed sample values.
TPlaceholderContext SampleContext(const TSeller& seller);
// All keys with their German descriptions, in the order the pickers show them.
const std::vector<TPlaceholderInfo>& PlaceholderList();

// Replaces {Key} by its value (letter case of the key ignored); unknown keys and lone
// braces stay as written; values are inserted literally (no recursion).
TExpandedLine ExpandPlaceholders(std::string_view line, const TPlaceholderContext& context);
// Expands each line (CRs removed, split at LF) and drops the lines whose placeholders
// were all empty; other lines, empty ones included, stay in order. "" gives no line.
std::vector<std::string> ExpandTextBlock(std::string_view text, const TPlaceholderContext& context);
// The line split at every "|"; empty cells remain.
std::vector<std::string> SplitCells(std::string_view line);

// The lines of a text: CRs removed, split at every LF; "" has no lines.
std::vector<std::string> TextLines(std::string_view text);

// The info block ("Bezeichnung|Wert" per line), expanded: empty lines and lines whose
// label or value has only empty placeholders are left out; a row of blanks stays.
struct TLabelValue {
    std::string Label;
    std::string Value;
};
std::vector<TLabelValue> ExpandLabelValueLines(std::string_view text, const TPlaceholderContext& context);
// Column texts ("a|b|c" per line), expanded; empty lines are left out, and a cell that is
// blank or whose placeholders are all empty is "" (its column stays).
std::vector<std::vector<std::string>> ExpandCellLines(std::string_view text, const TPlaceholderContext& context);

} // namespace velkaro
