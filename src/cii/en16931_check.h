#pragma once
// The check of an e-invoice before it leaves: the business rules its receiver would
// reject it by, tested on the calculated invoice and the seller (not on the XML text),
// each finding with a German sentence for the bookkeeper and where to mend the data.
// A rule set is one function; EN 16931 is the first, a stricter one (XRechnung) joins
// through the same list.
#include <string>
#include <string_view>
#include <vector>

#include "invoice/invoice.h"

namespace velkaro {

struct TCheckFinding {
    std::string Rule;   // rule id as the validators name it, "BR-CO-09"
    std::string Text;   // German, for a bookkeeper; several causes of one rule joined by "; "
    std::string FixAt;  // where to mend it: the NAV field or the settings key
    std::string_view RuleSet; // name of the rule set that found it, "EN 16931"
};

// The findings of one invoice, at most one per rule id, in the order the rules were
// first broken.
class TCheckFindings {
public:
    // Adds a cause; a second cause of the same rule joins the first finding.
    void Add(std::string_view rule, const std::string& text, const std::string& fixAt);

    bool Empty() const { return FItems.empty(); }
    size_t Size() const { return FItems.size(); }
    const std::vector<TCheckFinding>& Items() const { return FItems; }
    // The rule ids joined by ", ": "BR-CL-14, BR-CO-09".
    std::string RuleList() const;
    // Every finding's FindingSentence, joined by "; ".
    std::string Sentences() const;
    // The rule ids per rule set, in the order of the sets: "EN 16931 (BR-CL-14)",
    // "EN 16931 (BR-CL-14), XRechnung (BR-DE-5)".
    std::string Violations() const;
    // Names the rule set of the findings added since the last call without a name.
    void NameRuleSet(std::string_view ruleSet);

private:
    std::vector<TCheckFinding> FItems;
};

// Where a finding sends the bookkeeper for the document's header and its lines: NAV's
// posted invoice or posted credit memo.
std::string NavHeaderPlace(const TInvoice& invoice);
std::string NavLinePlace(const TInvoice& invoice);

// "<text> (zu korrigieren: <fix>)": the sentence of a log line or a message.
std::string FindingSentence(const TCheckFinding& finding);

// What a rule set looks at: the invoice after Calculate, its seller and the VAT rules the
// document was written with.
struct TCheckSubject {
    const TInvoice& Invoice;
    const TSeller& Seller;
    const TTaxRules& Rules;
};

struct TRuleSet {
    std::string_view Name;  // "EN 16931"
    void (*Check)(const TCheckSubject& subject, TCheckFindings& findings);
};

// The fatal rules of EN 16931 that the data of NAV or the settings can break; what the
// document's own construction guarantees (element order, decimals, code values it
// writes itself) is not tested again.
extern const TRuleSet kEn16931Rules;

// What XRechnung 3.0 (the German CIUS, with the PEPPOL rules it merges) adds to EN 16931
// for the data of NAV and the settings; run after kEn16931Rules.
extern const TRuleSet kXRechnungRules;

// What NAV posted but an e-invoice can only show as a rounding amount: a rounding amount
// of one currency unit or more ("NAV-RUNDUNG"). The receiver accepts such a document;
// the bookkeeper must look at the amounts before it leaves. Run with every document.
extern const TRuleSet kNavPostingRules;

// Runs the rule sets in order. Never fails; an empty result means the invoice passes.
TCheckFindings CheckInvoice(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules,
                            const std::vector<const TRuleSet*>& ruleSets = {&kEn16931Rules});

} // namespace velkaro
