#pragma once
// Finding e-mail addresses in free text (customer cards, contact fields, comments).
// Invisible characters (zero-width space/joiners, byte-order mark, soft hyphen) are
// ignored, so an address interrupted by one is found whole. Invalid UTF-8 never
// matches and raises no error.
#include <string>
#include <vector>

namespace velkaro {

// All addresses in order of first appearance, each once (letter case ignored), in the
// letter case of its first occurrence.
std::vector<std::string> ExtractEmails(const std::string& text);

// The address behind an invoice label ("RE:", "Rechnung an", "Invoices:", ...);
// `labelled` tells whether such a label was found. With "beide" after the label, the
// addresses up to the first "|" after it. Without a label, all addresses of the text.
std::vector<std::string> ExtractInvoiceEmails(const std::string& text, bool& labelled);

} // namespace velkaro
