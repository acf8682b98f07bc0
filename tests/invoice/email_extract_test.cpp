#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "invoice/email_extract.h"
#include "platform/fold_case.h"
#include "platform/regex.h"
#include "platform/text.h"

using namespace velkaro;

namespace {
const std::string kZwsp = "\xE2\x80\x8B";     // U+200B zero-width space
const std::string kZwnj = "\xE2\x80\x8C";     // U+200C
const std::string kZwj = "\xE2\x80\x8D";      // U+200D
const std::string kBom = "\xEF\xBB\xBF";      // U+FEFF
const std::string kShy = "\xC2\xAD";          // U+00AD soft hyphen
using List = std::vector<std::string>;
} // namespace

TEST(ExtractEmails, Cases) {
    struct Case { std::string text; List expected; };
    const std::vector<Case> cases = {
        {"", {}},
        {"keine Adresse hier", {}},
        {"Kontakt <info@firma.de>, sonst INFO@FIRMA.DE.", {"info@firma.de"}},
        {"a@b.de;c@d.de,e@f.de g@h.de\ni@j.de\t|k@l.de", {"a@b.de", "c@d.de", "e@f.de", "g@h.de", "i@j.de", "k@l.de"}},
        {"\"Max Muster\" <max.muster@muster-bau.de>", {"max.muster@muster-bau.de"}},
        {"'anna_b+rechnung@sub.firma.co.uk'", {"anna_b+rechnung@sub.firma.co.uk"}},
        {"post@müller-bau.de", {"post@müller-bau.de"}},
        {"POST@MÜLLER-BAU.DE post@müller-bau.de", {"POST@MÜLLER-BAU.DE"}},
        {"x@y.de...", {"x@y.de"}},
        {"a@b.d", {}},                                   // top-level domain of one letter
        {"a@b.d3", {}},
        {"a@b.рф", {"a@b.рф"}},
        {"Mail: müller@firma.de", {"ller@firma.de"}},    // the local part is ASCII only
        {"in" + kZwsp + "fo@fir" + kShy + "ma.de", {"info@firma.de"}},
        {kBom + "a" + kZwnj + "@b" + kZwj + ".de", {"a@b.de"}},
        {"a@b.de A@B.DE a@b.de", {"a@b.de"}},
        {"x\xFFy@b.de c@d.de\xC3", {"y@b.de", "c@d.de"}},  // invalid UTF-8: never part of an address
        {"a@b.de\xC3\x28" "c@d.de", {"a@b.de", "c@d.de"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractEmails(c.text), c.expected) << c.text;
}

TEST(ExtractInvoiceEmails, Cases) {
    struct Case { std::string text; bool labelled; List expected; };
    const std::vector<Case> cases = {
        {"info@firma.de Rechnungen an: buchhaltung@firma.de", true, {"buchhaltung@firma.de"}},
        {"RE beide: a@x.de, b@y.de | c@z.de", true, {"a@x.de", "b@y.de"}},
        {"a@x.de; b@y.de", false, {"a@x.de", "b@y.de"}},
        {"FIRMARE: a@x.de", false, {"a@x.de"}},                 // label glued to a word
        {"Invoice: x@y.com", true, {"x@y.com"}},
        {"invoices x@y.com", true, {"x@y.com"}},
        {"rg:x@y.de", true, {"x@y.de"}},
        {"Rechnung etc. an: a@b.de", true, {"a@b.de"}},
        {"RECHNUNG AN BEIDE: a@b.de, c@d.de", true, {"a@b.de", "c@d.de"}},
        {"Rechnungen beide: a@b.de und c@d.de", true, {"a@b.de", "c@d.de"}},
        {"x@y.de RE beide: a@b.de, c@d.de", true, {"a@b.de", "c@d.de"}},  // text before the label is out
        {"RE: a@b.de RE: c@d.de", true, {"a@b.de"}},            // the first label counts
        {"RE@firma.de", false, {"RE@firma.de"}},                // an address, not a label
        {"mail.re: a@b.de", false, {"a@b.de"}},
        {"PRE: a@b.de", false, {"a@b.de"}},
        {"ÄRE: a@b.de", false, {"a@b.de"}},                     // Unicode letter before the label
        {"Rechnungsadresse: a@b.de", false, {"a@b.de"}},        // a longer word is no label
        {"Rechnung" + kZwsp + ": a@b.de", true, {"a@b.de"}},
        {"RE: a" + kShy + "@b.de", true, {"a@b.de"}},
        {"RE: A@B.DE...", true, {"A@B.DE"}},                    // group 1 as matched
        {"Rechnung: keine Adresse", false, {}},
        {"", false, {}},
        {"RE:\xFF a@b.de", false, {"a@b.de"}},                   // invalid byte breaks the label
        {"Rechnung an\xFF: a@b.de c@d.de", false, {"a@b.de", "c@d.de"}},
        {"RE beide: |a@b.de", false, {"a@b.de"}},               // no address right after the label
    };
    for (const auto& c : cases) {
        bool labelled = !c.labelled;
        EXPECT_EQ(ExtractInvoiceEmails(c.text, labelled), c.expected) << c.text;
        EXPECT_EQ(labelled, c.labelled) << c.text;
    }
}

TEST(ExtractEmails, TenThousandAddressesInOneField) {
    std::string text;
    List expected;
    for (int i = 0; i < 10000; ++i) {
        const std::string address = "kunde" + std::to_string(i) + "@firma" + std::to_string(i % 7) + ".de";
        text += address + "; ";
        expected.push_back(address);
    }
    for (int i = 0; i < 10000; i += 3) text += "KUNDE" + std::to_string(i) + "@FIRMA" + std::to_string(i % 7) + ".DE, ";
    EXPECT_EQ(ExtractEmails(text), expected);
    bool labelled = true;
    EXPECT_EQ(ExtractInvoiceEmails(text, labelled), expected);
    EXPECT_FALSE(labelled);
    EXPECT_EQ(ExtractInvoiceEmails("RE beide: " + text, labelled), expected);
    EXPECT_TRUE(labelled);
}

TEST(ExtractEmails, HostileTextsEndWithADefinedResult) {
    bool labelled = false;
    const std::string longLocal = std::string(100000, 'a') + "@" + std::string(100000, 'b');
    EXPECT_EQ(ExtractEmails(longLocal), List());
    EXPECT_EQ(ExtractInvoiceEmails("RE: " + longLocal, labelled), List());
    EXPECT_FALSE(labelled);

    std::string dots;
    for (int i = 0; i < 50000; ++i) dots += "a.";
    EXPECT_EQ(ExtractEmails(dots + "@" + dots), List());
    EXPECT_EQ(ExtractEmails("x@" + dots + "de"), List{"x@" + dots + "de"});

    std::string ats;
    for (int i = 0; i < 50000; ++i) ats += "a@";
    EXPECT_EQ(ExtractEmails(ats), List());

    std::string labels;
    for (int i = 0; i < 20000; ++i) labels += "RE an beide ";
    EXPECT_EQ(ExtractInvoiceEmails(labels, labelled), List());
    EXPECT_FALSE(labelled);

    std::string percentLabels;  // a label candidate every three characters
    for (int i = 0; i < 30000; ++i) percentLabels += "%re";
    EXPECT_EQ(ExtractInvoiceEmails(percentLabels + "@" + dots, labelled), List());
    EXPECT_FALSE(labelled);
    EXPECT_EQ(ExtractInvoiceEmails(percentLabels + " x@a.de", labelled), List{"x@a.de"});
    EXPECT_TRUE(labelled);
    EXPECT_EQ(ExtractInvoiceEmails(percentLabels + "@a.de", labelled), List{percentLabels.substr(3) + "@a.de"});
    EXPECT_TRUE(labelled);

    std::string invisible;
    for (int i = 0; i < 20000; ++i) invisible += kZwsp + kShy;
    EXPECT_EQ(ExtractEmails("a" + invisible + "@b.de"), List{"a@b.de"});

    std::string garbage;
    for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    EXPECT_NO_THROW(ExtractEmails(garbage));
    EXPECT_NO_THROW(ExtractInvoiceEmails(garbage, labelled));
    EXPECT_EQ(ExtractEmails(std::string("a@b.de\0c@d.de", 13)), (List{"a@b.de", "c@d.de"}));
}

// The straightforward reading of the rules, with PCRE scanning the whole text itself:
// slow on hostile texts, but the reference for the windowed scans.
namespace reference {

std::string RemoveInvisible(const std::string& text) {
    static const TRegex re("[\\x{200B}-\\x{200D}\\x{FEFF}\\x{00AD}]", roUtf);
    return re.Replace(text, [](const TRegexMatch&) { return std::string(); });
}

List ExtractEmails(const std::string& text) {
    static const TRegex re("[A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,}", roUtf);
    List result;
    std::set<std::string> seen;
    re.ForEachMatch(RemoveInvisible(text), [&](const TRegexMatch& m) {
        std::string a(m.Group(0));
        while (!a.empty() && a.back() == '.') a.pop_back();
        if (!a.empty() && seen.insert(FoldCase(a)).second) result.push_back(a);
    });
    return result;
}

List ExtractInvoiceEmails(const std::string& text, bool& labelled) {
    static const TRegex re(
        "(?<![\\w@.\\-])(?:RE|RG|Rechnung(?:en)?|Invoices?)\\b(?![@.\\-])(?:\\s+etc\\.)?(?:\\s+an)?(?:\\s+beide)?"
        "\\s*:?\\s*([A-Za-z0-9._%+\\-]+@[\\p{L}0-9.\\-]+\\.\\p{L}{2,})",
        roUtf | roIgnoreCase);
    const std::string c = RemoveInvisible(text);
    const auto m = re.Find(c);
    labelled = m.has_value();
    if (!m) return ExtractEmails(text);
    if (LowerAscii(m->Group(0)).find("beide") == std::string::npos) return {std::string(m->Group(1))};
    std::string piece = c.substr(m->Position);
    return ExtractEmails(piece.substr(0, piece.find('|')));
}

} // namespace reference

TEST(ExtractEmails, SameResultsAsAWholeTextSearchOnRandomTexts) {
    const std::vector<std::string> pieces = {
        "a", "x", "Z", "0", ".", "-", "_", "%", "+", "@", "@", " ", "  ", "\t", "\n", ":", "|", ",", ";", "<", ">",
        "de", "com", "ä", "Ü", "ß", "рф", "\xC2\xA0", "\xE2\x80\x83", kZwsp, kShy, kBom, "\xFF", "\xC3", "\xE2\x80",
        "RE", "re", "RG", "Rechnung", "Rechnungen", "Invoice", "invoices", "etc.", "an", "beide", "BEIDE", "FIRMA",
        "info@firma.de", "a@b.c", "mail.", "-re", "%re",
    };
    std::mt19937 random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        ASSERT_EQ(ExtractEmails(text), reference::ExtractEmails(text)) << text;
        bool labelled = false, expectedLabelled = false;
        ASSERT_EQ(ExtractInvoiceEmails(text, labelled), reference::ExtractInvoiceEmails(text, expectedLabelled)) << text;
        ASSERT_EQ(labelled, expectedLabelled) << text;
    }
}

TEST(ExtractEmails, LabelFarFromItsAddressAcrossBlanks) {
    bool labelled = false;
    const std::string blanks(5000, ' ');
    EXPECT_EQ(ExtractInvoiceEmails("Rechnungen" + blanks + "etc." + blanks + "an" + blanks + "beide" + blanks + ":" +
                                       blanks + "a@b.de, c@d.de",
                                   labelled),
              (List{"a@b.de", "c@d.de"}));
    EXPECT_TRUE(labelled);
}
