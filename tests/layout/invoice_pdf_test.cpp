// The finished invoice file: document information, Factur-X metadata, the attached XML,
// failures that leave the target alone, and the files of fixture and demo invoices
// through the Factur-X check, pdfdetach and pdftotext.
#include "layout/invoice_pdf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <regex>

#include "cii/cii_document.h"
#include "demo_invoices.h"
#include "invoice/money_text.h"
#include "invoice/placeholders.h"
#include "layoutmodel/layout_model.h"
#include "media/font_file.h"
#include "pdf/pdf_format.h"
#include "platform/bidi.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "render_fixtures.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::Item;
using test::RenderRig;
using test::ErrorOf;

std::string RenderToFile(RenderRig& rig, const std::string& name, const std::string& xml = "<x/>") {
    rig.Inv.Calculate(rig.Setup().TaxRules);
    std::string path = rig.Folder() + name;
    RenderInvoicePdf(rig.Inv, rig.Seller, rig.Setup(), path, xml);
    return path;
}

TEST(InvoicePdf, InformationAndXmpNameInvoiceSellerAndBuyer) {
    RenderRig rig;
    std::string file = ReadFileBytes(RenderToFile(rig, "r.pdf"));
    EXPECT_NE(file.find("/Title " + PdfHexString("Rechnung 1001") + " /Author " + PdfHexString("Beispiel AG") +
                        " /Subject " + PdfHexString("Rechnung 1001 an Muster GmbH") + " /Keywords " +
                        PdfHexString("Rechnung, ZUGFeRD, Factur-X, 1001") + " /Creator " + PdfHexString("Velkaro")),
              std::string::npos);
    for (const char* xmp : {"<rdf:li xml:lang=\"x-default\">Rechnung 1001</rdf:li>",
                            "<dc:creator><rdf:Seq><rdf:li>Beispiel AG</rdf:li>",
                            "<rdf:li xml:lang=\"x-default\">Rechnung 1001 an Muster GmbH</rdf:li>",
                            "<pdf:Keywords>Rechnung, ZUGFeRD, Factur-X, 1001</pdf:Keywords>",
                            "<fx:DocumentType>INVOICE</fx:DocumentType>",
                            "<fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>",
                            "<fx:ConformanceLevel>EN 16931</fx:ConformanceLevel>"})
        EXPECT_NE(file.find(xmp), std::string::npos) << xmp;
    // Regular and bold face of the set-up as F1 and F2.
    EXPECT_NE(file.find("/Font << /F1 7 0 R /F2 12 0 R >>"), std::string::npos);
    // Named after the embedded file (Arial resolves to Liberation Sans), as a subset.
    EXPECT_TRUE(std::regex_search(file, std::regex("7 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /[A-Z]{6}\\+LiberationSans ")));
    EXPECT_TRUE(std::regex_search(file, std::regex("12 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /[A-Z]{6}\\+LiberationSans-Bold ")));
}

// A character that no installed font has is printed as .notdef and named in a hint line
// with the invoice; every other character reaches the page, none as "?".
TEST(InvoicePdf, MissingCharactersAreNamedInTheLog) {
    // Private use characters of plane 16, which no font has.
    RenderRig rig;
    rig.Inv.Lines[0].Description = "Tee \U0010FFFD\U0010FFFC\U0010FFFD, Łódź";
    std::vector<std::string> log;
    rig.Inv.Calculate(rig.Setup().TaxRules);
    RenderInvoicePdf(rig.Inv, rig.Seller, rig.Setup(), rig.Folder() + "r.pdf", "<x/>",
                     [&](const std::string& line) { log.push_back(line); });
    EXPECT_EQ(log, (std::vector<std::string>{
                       "  Hinweis 1001: Zeichen „\U0010FFFD“ (U+10FFFD) in keiner installierten Schrift vorhanden, "
                       "als Ersatzzeichen gedruckt",
                       "  Hinweis 1001: Zeichen „\U0010FFFC“ (U+10FFFC) in keiner installierten Schrift vorhanden, "
                       "als Ersatzzeichen gedruckt"}));
    EXPECT_EQ(MissingCharacterHint("RE-1", U'\U0001F600'),
              "  Hinweis RE-1: Zeichen „\U0001F600“ (U+1F600) in keiner installierten Schrift vorhanden, als "
              "Ersatzzeichen gedruckt");
}

// [PDF] SchriftenVollstaendig=1: the same composite fonts with the complete files.
TEST(InvoicePdf, WholeFontsEmbedTheCompleteFiles) {
    RenderRig rig;
    rig.Setup().WholeFonts = true;
    std::string file = ReadFileBytes(RenderToFile(rig, "ganz.pdf"));
    std::string whole = ReadFileBytes(FindFontFile(rig.Setup().FontName, false));
    EXPECT_NE(file.find("/Length1 " + std::to_string(whole.size()) + " "), std::string::npos);
    EXPECT_TRUE(std::regex_search(file, std::regex("7 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /LiberationSans ")));
    RenderRig subset;
    std::string small = ReadFileBytes(RenderToFile(subset, "teil.pdf"));
    EXPECT_LT(small.size() * 5, file.size());
}

TEST(InvoicePdf, XmlIsTheOneAlternativeAttachment) {
    RenderRig rig;
    std::string file = ReadFileBytes(RenderToFile(rig, "r.pdf", "<rsm:CrossIndustryInvoice/>\n"));
    EXPECT_NE(file.find("/Type /EmbeddedFile /Subtype /text#2Fxml /Params << /ModDate "), std::string::npos);
    EXPECT_NE(file.find(" /Size 28 >>"), std::string::npos);
    EXPECT_NE(file.find("<< /Type /Filespec /F (factur-x.xml) /UF " + PdfHexString("factur-x.xml") + " /Desc " +
                        PdfHexString("Factur-X/ZUGFeRD Rechnungsdaten") + " /AFRelationship /Alternative "),
              std::string::npos);
    EXPECT_NE(file.find("/EmbeddedFiles << /Names [(factur-x.xml) "), std::string::npos);

    std::string empty = ReadFileBytes(RenderToFile(rig, "empty.pdf", ""));
    EXPECT_NE(empty.find(" /Size 0 >>"), std::string::npos);
}

TEST(InvoicePdf, SecondRunReplacesTheFile) {
    RenderRig rig;
    std::string path = RenderToFile(rig, "r.pdf");
    rig.Inv.No = "1002";
    RenderToFile(rig, "r.pdf");
    std::string file = ReadFileBytes(path);
    EXPECT_NE(file.find(PdfHexString("Rechnung 1002")), std::string::npos);
    EXPECT_EQ(file.find(PdfHexString("Rechnung 1001")), std::string::npos);
}

TEST(InvoicePdf, FailuresNameTheCauseAndLeaveTheTargetAlone) {
    struct Case {
        const char* name;
        void (*setup)(RenderRig&, const std::string& folder);
        const char* message; // start of the error; the file name follows
        const char* file;
    };
    const Case cases[] = {
        {"ICC-Profil fehlt", [](RenderRig& r, const std::string& d) { r.Setup().IccFile = d + "fehlt.icc"; },
         "ICC-Profil nicht gefunden: ", "fehlt.icc"},
        {"Logo beschädigt",
         [](RenderRig& r, const std::string& d) {
             WriteFileBytes(d + "logo.png", "kein Bild");
             TLayoutElement* logo = r.Layout().Find(ekLogo);
             logo->Visible = true;
             logo->FileName = d + "logo.png";
         },
         "Bild", "logo.png"},
        {"Hintergrund beschädigt",
         [](RenderRig& r, const std::string& d) {
             WriteFileBytes(d + "briefbogen.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x02kaputt", 10));
             r.Layout().BackgroundFirst = d + "briefbogen.jpg";
         },
         "Bild", "briefbogen.jpg"},
        // A frame header without width cannot be placed; the decoder gets the file and refuses it.
        {"Logo ohne Breite",
         [](RenderRig& r, const std::string& d) {
             WriteFileBytes(d + "logo.jpg", test::FakeJpeg(0, 100));
             TLayoutElement* logo = r.Layout().Find(ekLogo);
             logo->Visible = true;
             logo->FileName = d + "logo.jpg";
         },
         "Bild", "logo.jpg"},
    };
    for (const Case& c : cases) {
        RenderRig rig;
        c.setup(rig, rig.Folder());
        std::string target = rig.Folder() + "r.pdf";
        WriteFileBytes(target, "alt");
        std::string error = ErrorOf([&] { RenderToFile(rig, "r.pdf"); });
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.name << ": " << error;
        EXPECT_NE(error.find(rig.Folder() + c.file), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(ReadFileBytes(target), "alt") << c.name;
    }
}

TEST(InvoicePdf, MissingPicturesAreSkipped) {
    RenderRig rig;
    TLayoutElement* logo = rig.Layout().Find(ekLogo);
    logo->Visible = true;
    logo->FileName = rig.Folder() + "gibt-es-nicht.png";
    rig.Layout().BackgroundFirst = rig.Folder() + "auch-nicht.jpg";
    std::string file = ReadFileBytes(RenderToFile(rig, "r.pdf"));
    EXPECT_EQ(file.find("/XObject"), std::string::npos);
}

// --- external tools ---------------------------------------------------------------

std::string Quoted(const std::string& s) { return "'" + ReplaceAll(s, "'", "'\\''") + "'"; }

// pdftotext of the file with every run of white space as one blank.
std::string PdfText(const std::string& pdf) {
    std::string out;
    test::RunCommand("pdftotext -layout -enc UTF-8 " + Quoted(pdf) + " -", out);
    return std::regex_replace(out, std::regex("\\s+"), " ");
}

struct Produced {
    std::string Name;
    std::string Pdf;
    std::string Xml;
};

void CheckWithTools(const std::vector<Produced>& files) {
    for (const char* tool : {"qpdf", "pdfdetach", "pdfinfo", "pdffonts", "java"})
        if (!test::CommandExists(tool))
            VELKARO_SKIP_UNLESS_CI() << tool
                                     << " fehlt: Factur-X-Prüfung übersprungen; scripts/install-deps.sh installiert "
                                        "poppler-utils, qpdf und default-jre-headless";
    std::string list;
    for (const Produced& p : files) list += " " + Quoted(p.Pdf);
    std::string output;
    int rc = test::RunCommand(Quoted(test::SourceDir() + "/third_party/validation/check-facturx-pdf") + " -q" + list,
                              output);
    EXPECT_EQ(rc, 0) << output;
    int ok = 0;
    for (const std::string& line : Split(output, '\n'))
        if (line.rfind("OK ", 0) == 0) ++ok;
    EXPECT_EQ(ok, static_cast<int>(files.size())) << output;

    test::TempFolder out;
    for (const Produced& p : files) {
        std::string xml = out.File(ReplaceAll(p.Name, " ", "_") + ".xml");
        std::string log;
        // The one attachment (the Factur-X check has made sure it is factur-x.xml).
        ASSERT_EQ(test::RunCommand("pdfdetach -save 1 -o " + Quoted(xml) + " " + Quoted(p.Pdf), log), 0)
            << p.Name << ": " << log;
        EXPECT_TRUE(ReadFileBytes(xml) == p.Xml) << p.Name << ": eingebettetes XML weicht ab";
    }
}

// Copies the files to $VELKARO_RENDER_KEEP when set, to look at them.
void Keep(const std::vector<Produced>& files) {
    const char* keep = std::getenv("VELKARO_RENDER_KEEP");
    if (!keep) return;
    ForceDirectories(keep);
    for (const Produced& p : files) WriteFileBytes(std::string(keep) + "/" + ReplaceAll(p.Name, " ", "_") + ".pdf", ReadFileBytes(p.Pdf));
}

// Fixture invoices with logo and letter paper: short, long, direct debit, reverse charge
// with discounts and a rounding difference, prices with VAT.
TEST(InvoicePdfTools, FixtureInvoicesPassFacturXCheckAndCarryTheirXml) {
    std::vector<Produced> files;
    test::TempFolder out;
    auto produce = [&](const std::string& name, void (*setup)(RenderRig&)) {
        RenderRig rig;
        TLayoutElement* logo = rig.Layout().Find(ekLogo);
        logo->Visible = true;
        logo->FileName = test::TestDataPath("layout/render/logo.png");
        rig.Layout().BackgroundFirst = test::TestDataPath("layout/render/briefbogen.png");
        setup(rig);
        rig.Inv.Calculate(rig.Setup().TaxRules);
        std::string xml = BuildCiiXml(rig.Inv, rig.Seller, rig.Setup().TaxRules);
        std::string pdf = out.File(name + ".pdf");
        RenderInvoicePdf(rig.Inv, rig.Seller, rig.Setup(), pdf, xml);
        files.push_back({name, pdf, xml});
    };
    produce("klein", [](RenderRig&) {});
    produce("lang", [](RenderRig& r) {
        r.Inv.Lines = {test::TextLine("Ausstattung laut Angebot AN-17")};
        for (int i = 1; i <= 60; ++i)
            r.Inv.Lines.push_back(Item("A" + std::to_string(i), "Artikel " + std::to_string(i), i % 7 + 1, 4.5 * i, 19,
                                       i % 10 == 0 ? 10 : 0));
        r.Inv.Lines.push_back(test::TextLine("Vielen Dank für Ihren Auftrag."));
    });
    produce("lastschrift", [](RenderRig& r) {
        r.Inv.DirectDebit = true;
        r.Inv.MandateID = "MANDAT-17";
        r.Inv.BuyerIBAN = "DE89370400440532013000";
        r.Inv.PayTermsText = "Einzug 10 Tage";
        r.Inv.PmtDiscPct = 2;
        r.Inv.PmtDiscDate = EncodeDate(2026, 12, 1);
        r.Seller.CreditorID = "DE98ZZZ09999999999";
    });
    produce("reverse-charge", [](RenderRig& r) {
        TInvLine a = Item("M1", "Montageleistung", 24, 78, 0, 5);
        a.VatCalcType = 1;
        r.Inv.Lines = {a, Item("1", "A", 1, 0.03, 19), Item("2", "B", 1, 0.03, 19), Item("3", "C", 1, 0.03, 19)};
        r.Inv.BuyerVatID = "DE298765432";
    });
    produce("brutto", [](RenderRig& r) {
        TInvLine a = Item("9000", "Kellnermesser", 2, 50, 19);
        a.Amount = Currency::Parse("84.03");
        a.AmountInclVat = Currency::Parse("100");
        r.Inv.PricesInclVat = true;
        r.Inv.Lines = {a};
    });
    Keep(files);
    EXPECT_NE(PdfText(files[1].Pdf).find("Seite 3 von 3"), std::string::npos);
    CheckWithTools(files);
}

TEST(InvoicePdfTools, DemoInvoicesPassFacturXCheckCarryTheirXmlAndReadAsExpected) {
    if (!test::CommandExists("sqlite3"))
        VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt: Demo-Datenbank kann nicht erstellt werden";
    if (!test::CommandExists("pdftotext")) VELKARO_SKIP_UNLESS_CI() << "pdftotext fehlt (poppler-utils)";
    test::TempFolder folder;
    test::DemoSet demo = test::LoadDemoInvoices(folder);
    ASSERT_EQ(demo.Error, "");
    ASSERT_GE(demo.Invoices.size(), 15u);
    for (const std::string& r : demo.Refused) std::cout << "  vom Laden abgewiesen: " << r << "\n";

    std::vector<Produced> files;
    for (const test::DemoInvoice& d : demo.Invoices) {
        std::string name = d.Company + " " + d.Invoice.No;
        std::string pdf = folder.File(ReplaceAll(name, " ", "_") + ".pdf");
        std::string xml = BuildCiiXml(d.Invoice, d.Seller, demo.Print.TaxRules);
        RenderInvoicePdf(d.Invoice, d.Seller, demo.Print, pdf, xml);
        files.push_back({name, pdf, xml});

        std::string text = PdfText(pdf);
        std::string c = d.Invoice.InvCurrency();
        for (const std::string& expected :
             {"Rechnung " + d.Invoice.No, "Nettobetrag " + FormatGermanMoney(d.Invoice.LineTotal) + " " + c,
              "Rechnungsbetrag " + FormatGermanMoney(d.Invoice.GrandTotal) + " " + c,
              std::string("Diese Rechnung enthält die strukturierten Rechnungsdaten nach ZUGFeRD 2 / Factur-X")})
            EXPECT_NE(text.find(expected), std::string::npos) << name << ": " << expected << "\n" << text;
        // Only the glyphs used travel with the invoice: mail boxes and archives pay for
        // every kilobyte of every invoice.
        const size_t limit = text.find("Seite 1 von 1") != std::string::npos ? 40 * 1024 : 60 * 1024;
        EXPECT_LE(ReadFileBytes(pdf).size(), limit) << name;
    }
    Keep(files);

    auto textOf = [&](const std::string& no) {
        for (const Produced& p : files)
            if (p.Name == "Muster GmbH " + no) return PdfText(p.Pdf);
        ADD_FAILURE() << "Demo-Rechnung " << no << " fehlt";
        return std::string();
    };
    struct Case {
        const char* no;
        const char* text;
    } cases[] = {
        {"RE24-0010", "Seite 1 von 3"},
        {"RE24-0010", "Rechnung RE24-0010 (Fortsetzung)"},
        {"RE24-0010", "Seite 2 von 3"},
        {"RE24-0010", "Seite 3 von 3"},
        {"RE24-0001", "Seite 1 von 1"},
        {"RE24-0010", "abzgl. 10 % Rabatt (3,07 EUR)"},
        {"RE24-0001", "Bei Zahlung bis"},
        {"RE24-0008", "Der Rechnungsbetrag wird per SEPA-Lastschrift (Mandatsreferenz MANDAT-D70000-02) von Ihrem "
                      "Konto DE"},
        {"RE24-0008", "Gläubiger-ID: DE98ZZZ09999999999."},
        {"RE24-0005", "USt. 0 % (AE) auf"},
        {"RE24-0005", "Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge) – USt-IdNr. "
                      "Leistungsempfänger: DE298765432"},
        {"RE24-0004", "Steuerfreie innergemeinschaftliche Lieferung – USt-IdNr. Leistungsempfänger:"},
        {"RE24-0006", "Steuerfreie Ausfuhrlieferung"},
        {"RE24-0002", "Bitte überweisen Sie den Betrag bis zum"},
    };
    for (const Case& c : cases) EXPECT_NE(textOf(c.no).find(c.text), std::string::npos) << c.no << ": " << c.text;
    EXPECT_EQ(textOf("RE24-0001").find("Seite 2"), std::string::npos);

    // The texts of the database reach the page as they are, also beyond Windows-1252:
    // buyer, city and every line text, in the order the page draws them.
    for (const test::DemoInvoice& d : demo.Invoices) {
        std::string raw;
        test::RunCommand("pdftotext -raw -enc UTF-8 " + Quoted(folder.File(ReplaceAll(d.Company + " " + d.Invoice.No, " ", "_") + ".pdf")) + " -", raw);
        raw = std::regex_replace(raw, std::regex("\\s+"), " ");
        std::vector<std::string> texts = {d.Invoice.BillTo.Name, d.Invoice.BillTo.City};
        for (const TInvLine& line : d.Invoice.Lines)
            texts.push_back(IsTextLine(line) ? LineText(line) : JoinNonEmpty({line.Description, line.Description2}, " "));
        // Right-to-left text stands on the page in visual order, which -raw gives as it
        // is; the reading order turns each right-to-left word round again. Where pdftotext
        // puts digits and punctuation at the ends of such a line on a mostly Latin page is
        // its own guess, so these texts are checked word by word.
        const std::string reading = PdfText(folder.File(ReplaceAll(d.Company + " " + d.Invoice.No, " ", "_") + ".pdf"));
        for (const std::string& text : texts) {
            if (Trim(text).empty()) continue;
            if (!HasRightToLeft(Utf8ToUtf32(text))) {
                EXPECT_NE(raw.find(Trim(text)), std::string::npos) << d.Invoice.No << ": " << text;
                continue;
            }
            for (const std::string& word : Split(Trim(text), ' '))
                if (HasRightToLeft(Utf8ToUtf32(word)) && word.find_first_of(".,()،") == std::string::npos)
                    EXPECT_NE(reading.find(word), std::string::npos) << d.Invoice.No << ": " << word;
        }
    }
    const std::string unicode = textOf("RE24-0016");
    for (const char* text : {"Zakład Gastronomiczny „Źródło” Sp. z o.o.", "ul. Piotrkowska 104", "90-926 Łódź",
                             "Pivní sklenice Dvořák 0,5 l", "Ελαιόλαδο εξαιρετικό παρθένο", "Самовар электрический"})
        EXPECT_NE(unicode.find(text), std::string::npos) << text << "\n" << unicode;
    EXPECT_EQ(unicode.find('?'), std::string::npos) << unicode;
    // Lines with an invoice discount share show the net price per unit, no discount line.
    EXPECT_EQ(textOf("RE24-0001").find("Rabatt"), std::string::npos);

    CheckWithTools(files);
}

} // namespace
} // namespace velkaro
