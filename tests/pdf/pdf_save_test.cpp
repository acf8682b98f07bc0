#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "pdf/pdf_document.h"
#include "platform/error.h"
#include "platform/files.h"
#include "media/font_file.h"
#include "media/image_test_writers.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using test::TempFolder;

const std::string kIcc = "/usr/share/color/icc/sRGB.icc";
const TPdfDates kDates = {"D:20240115103000+01'00'", "2024-01-15T10:30:00+01:00"};

#define REQUIRE_ICC() \
    if (!FileExists(kIcc)) VELKARO_SKIP_UNLESS_CI() << "ICC-Profil fehlt (Paket icc-profiles-free): " << kIcc

int CountOf(const std::string& s, const std::string& what) {
    int n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

// Checks the cross-reference table against the file: every entry points at its object.
void ExpectConsistentXref(const std::string& pdf, int size) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(pdf, m, std::regex("startxref\n(\\d+)\n%%EOF\n$")));
    size_t xref = std::stoul(m[1]);
    ASSERT_EQ(pdf.substr(xref, 5), "xref\n");
    std::string head = "xref\n0 " + std::to_string(size) + "\n";
    ASSERT_EQ(pdf.substr(xref, head.size()), head);
    size_t entries = xref + head.size();
    EXPECT_EQ(pdf.substr(entries, 20), "0000000000 65535 f\r\n");
    for (int n = 1; n < size; ++n) {
        std::string e = pdf.substr(entries + 20 * n, 20);
        ASSERT_EQ(e.substr(10), " 00000 n\r\n") << n;
        size_t offset = std::stoul(e.substr(0, 10));
        std::string header = std::to_string(n) + " 0 obj\n";
        EXPECT_EQ(pdf.substr(offset, header.size()), header) << n;
    }
    EXPECT_EQ(pdf.substr(entries + 20 * size, 8), "trailer\n");
}

TEST(PdfSave, EmptyDocumentHasEightObjects) {
    REQUIRE_ICC();
    TPdfDocument doc(kIcc);
    std::string pdf = doc.BuildFile("/tmp/leer.pdf", kDates);
    EXPECT_EQ(pdf.substr(0, 15), "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
    EXPECT_EQ(doc.PageCount(), 1);
    ExpectConsistentXref(pdf, 9);
    EXPECT_THAT(pdf, HasSubstr("1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R /OutputIntents [6 0 R] "
                               "/Lang (de-DE) /ViewerPreferences << /DisplayDocTitle true >> >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr("2 0 obj\n<< /Type /Pages /Kids [7 0 R] /Count 1 >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr("7 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.28 841.89] /Resources << "
                               "/ProcSet [/PDF /Text /ImageC /ImageB] /Font << >> >> /Contents 8 0 R >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr("8 0 obj\n<<  /Filter /FlateDecode /Length "));
    EXPECT_THAT(pdf, HasSubstr("6 0 obj\n<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier "
                               "(sRGB IEC61966-2.1) /Info (sRGB IEC61966-2.1) /DestOutputProfile 5 0 R >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr("5 0 obj\n<< /N 3 /Filter /FlateDecode /Length "));
    EXPECT_THAT(pdf, Not(HasSubstr("/AF")));
    EXPECT_THAT(pdf, Not(HasSubstr("/Names")));
    EXPECT_THAT(pdf, HasSubstr("trailer\n<< /Size 9 /Root 1 0 R /Info 3 0 R /ID [<"));
}

TEST(PdfSave, InformationDictionaryAndFileIdentifier) {
    REQUIRE_ICC();
    TPdfDocument doc(kIcc);
    doc.Title = "Rechnung für Müller";
    doc.Producer = "P";
    std::string pdf = doc.BuildFile("/tmp/Rechnung.pdf", kDates);
    EXPECT_THAT(pdf, HasSubstr("3 0 obj\n<< /Title <FEFF0052006500630068006E0075006E00670020006600FC0072"
                               "0020004D00FC006C006C00650072> /Author <FEFF> /Subject <FEFF> /Keywords <FEFF> "
                               "/Creator <FEFF00560065006C006B00610072006F> /Producer <FEFF0050> "
                               "/CreationDate (D:20240115103000+01'00') /ModDate (D:20240115103000+01'00') "
                               ">>\nendobj\n"));
    // MD5 of "/tmp/Rechnung.pdf" + PDF date + title (UTF-8).
    EXPECT_THAT(pdf, HasSubstr("/ID [<CD3C94CAA6EB391FA4BBC9EB9D84710B> <CD3C94CAA6EB391FA4BBC9EB9D84710B>]"));
}

TEST(PdfSave, XmpPacket) {
    TPdfDocument doc("");
    doc.Title = "A & B <Test>";
    std::string plain = doc.BuildXmpPacket(kDates);
    EXPECT_THAT(plain, ::testing::StartsWith("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                                             "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n<rdf:RDF xmlns:rdf=\""
                                             "http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"));
    EXPECT_EQ(CountOf(plain, "<rdf:Description "), 4);
    EXPECT_THAT(plain, HasSubstr("<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">A &amp; B &lt;Test&gt;</rdf:li>"));
    EXPECT_THAT(plain, HasSubstr("<xmp:CreatorTool>Velkaro</xmp:CreatorTool>\n<xmp:CreateDate>2024-01-15T10:30:00+01:00"
                                 "</xmp:CreateDate>\n<xmp:ModifyDate>2024-01-15T10:30:00+01:00</xmp:ModifyDate>\n"));
    EXPECT_THAT(plain, HasSubstr("<pdfaid:part>3</pdfaid:part><pdfaid:conformance>B</pdfaid:conformance>\n"));
    EXPECT_THAT(plain, ::testing::EndsWith("</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n" + std::string(200, ' ') +
                                               "\n<?xpacket end=\"w\"?>"));
    doc.FacturX = true;
    doc.Title = "";
    std::string fx = doc.BuildXmpPacket(kDates);
    EXPECT_EQ(CountOf(fx, "<rdf:Description "), 6);
    EXPECT_THAT(fx, HasSubstr("<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\"></rdf:li></rdf:Alt></dc:title>\n"));
    EXPECT_THAT(fx, HasSubstr("<fx:DocumentType>INVOICE</fx:DocumentType>\n<fx:DocumentFileName>factur-x.xml"
                              "</fx:DocumentFileName>\n<fx:Version>1.0</fx:Version>\n<fx:ConformanceLevel>EN 16931"
                              "</fx:ConformanceLevel>\n</rdf:Description>\n"));
    EXPECT_EQ(CountOf(fx, "<pdfaProperty:valueType>Text</pdfaProperty:valueType>"), 4);
}

TEST(PdfSave, ObjectNumbersWithFontImageAttachmentAndTwoPages) {
    REQUIRE_ICC();
    if (FindFontFile("Arial", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schrift für Arial installiert";
    TempFolder tmp;
    test::WritePng(tmp.File("logo.png"), 2, 2, 3, std::vector<uint8_t>(12, 90));
    TPdfDocument doc(kIcc);
    doc.AddFont("Arial", true);
    doc.AddImageFile(tmp.File("logo.png"));
    doc.AddAttachment("Rechnung für Müller.xml", "text/xml", "Rechnung", "Alternative", "<x/>");
    doc.NewPage();
    doc.NewPage();
    std::string pdf = doc.BuildFile(tmp.File("a.pdf"), kDates);
    ExpectConsistentXref(pdf, 19);
    std::string name = doc.Fonts()[0]->BaseFont({}, false);
    EXPECT_THAT(pdf, HasSubstr("7 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                               " /Encoding /Identity-H /DescendantFonts [8 0 R] /ToUnicode 11 0 R >>"));
    EXPECT_THAT(pdf, HasSubstr("8 0 obj\n<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name + " "));
    EXPECT_THAT(pdf, HasSubstr("9 0 obj\n<< /Type /FontDescriptor /FontName /" + name + " "));
    EXPECT_THAT(pdf, HasSubstr("10 0 obj\n<< /Length1 "));
    EXPECT_THAT(pdf, HasSubstr("11 0 obj\n<<  /Filter /FlateDecode /Length "));
    EXPECT_THAT(pdf, HasSubstr("12 0 obj\n<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB"));
    EXPECT_THAT(pdf, HasSubstr("13 0 obj\n<< /Type /EmbeddedFile /Subtype /text#2Fxml /Params << /ModDate "
                               "(D:20240115103000+01'00') /Size 4 >> /Filter /FlateDecode /Length "));
    EXPECT_THAT(pdf, HasSubstr("14 0 obj\n<< /Type /Filespec /F (Rechnung f_r M_ller.xml) /UF <FEFF"));
    EXPECT_THAT(pdf, HasSubstr("/Desc <FEFF0052006500630068006E0075006E0067> /AFRelationship /Alternative "
                               "/EF << /F 13 0 R /UF 13 0 R >> >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr(" /AF [14 0 R] /Names << /EmbeddedFiles << /Names [(Rechnung f_r M_ller.xml) 14 0 R] "
                               ">> >> >>\nendobj\n"));
    EXPECT_THAT(pdf, HasSubstr("/Kids [15 0 R 17 0 R] /Count 2"));
    EXPECT_THAT(pdf, HasSubstr("/Resources << /ProcSet [/PDF /Text /ImageC /ImageB] /Font << /F1 7 0 R >> "
                               "/XObject << /Im1 12 0 R >> >> /Contents 16 0 R"));
    EXPECT_THAT(pdf, HasSubstr("/Contents 18 0 R"));
    // A second build numbers everything again the same way.
    EXPECT_EQ(doc.BuildFile(tmp.File("a.pdf"), kDates), pdf);
}

TEST(PdfSave, MissingIccProfileWritesNothing) {
    TempFolder tmp;
    WriteFileBytes(tmp.File("alt.pdf"), "alte Datei");
    TPdfDocument doc(tmp.File("fehlt.icc"));
    try {
        doc.SaveToFile(tmp.File("alt.pdf"));
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "ICC-Profil nicht gefunden: " + tmp.File("fehlt.icc"));
    }
    EXPECT_EQ(ReadFileBytes(tmp.File("alt.pdf")), "alte Datei");
}

TEST(PdfSave, IccProfileThatIsNoRgbOutputProfileWritesNothing) {
    TempFolder tmp;
    WriteFileBytes(tmp.File("alt.pdf"), "alte Datei");
    WriteFileBytes(tmp.File("hostname"), "rechner-01\n");
    for (const std::string& profile : {tmp.File("hostname"), std::string("/usr/share/color/icc/Gray.icc")}) {
        if (!FileExists(profile)) continue;
        TPdfDocument doc(profile);
        EXPECT_THAT(test::ErrorOf([&] { doc.SaveToFile(tmp.File("alt.pdf")); }),
                    ::testing::StartsWith("ICC-Profil ist ungültig: " + profile + " ("));
        EXPECT_EQ(ReadFileBytes(tmp.File("alt.pdf")), "alte Datei");
    }
}

// A vertical tab in a customer's name once went raw into the XMP packet: not XML, not PDF/A.
TEST(PdfSave, ControlCharactersInMetadataKeepTheXmpWellFormed) {
    REQUIRE_ICC();
    TempFolder tmp;
    TPdfDocument doc(kIcc);
    doc.FacturX = true;
    doc.Title = "Rechnung 1\v2";
    doc.Author = std::string("Firma\x01\x1F" "GmbH");
    doc.Subject = "an Kunde\tA\r\nB & C";
    doc.Keywords = "Rechnung\f, \xEF\xBF\xBE" "1\xC3";
    doc.Creator = "Velkaro\x1B";
    doc.Producer = "Velkaro\x7F";
    doc.AddAttachment("factur-x.xml", "text/xml", "Daten\vsatz", "Alternative", "<x/>");
    const std::string pdf = doc.BuildFile(tmp.File("a.pdf"), kDates);
    const std::string xmp = doc.BuildXmpPacket(kDates);
    ASSERT_THAT(pdf, HasSubstr(xmp));
    for (char c : xmp)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << "control character " << int(c);
    EXPECT_TRUE(IsValidUtf8(xmp));
    EXPECT_THAT(xmp, Not(HasSubstr("\xEF\xBF\xBE")));
    // The XMP and the information dictionary say the same.
    struct Entry {
        std::string xmp, info;
    } entries[] = {
        {"<rdf:li xml:lang=\"x-default\">Rechnung 12</rdf:li>", "/Title " + PdfHexString("Rechnung 12")},
        {"<rdf:li>FirmaGmbH</rdf:li>", "/Author " + PdfHexString("FirmaGmbH")},
        {"<rdf:li xml:lang=\"x-default\">an Kunde A  B &amp; C</rdf:li>", "/Subject " + PdfHexString("an Kunde A  B & C")},
        {"<pdf:Keywords>Rechnung, 1\xEF\xBF\xBD</pdf:Keywords>", "/Keywords " + PdfHexString("Rechnung, 1\xEF\xBF\xBD")},
        {"<xmp:CreatorTool>Velkaro</xmp:CreatorTool>", "/Creator " + PdfHexString("Velkaro")},
        {"<pdf:Producer>Velkaro\x7F</pdf:Producer>", "/Producer " + PdfHexString("Velkaro\x7F")},
    };
    for (const Entry& e : entries) {
        EXPECT_THAT(xmp, HasSubstr(e.xmp));
        EXPECT_THAT(pdf, HasSubstr(e.info + " "));
    }
    EXPECT_THAT(pdf, HasSubstr("/Desc " + PdfHexString("Datensatz") + " "));
    EXPECT_EQ(PdfHexString("Datensatz"), PdfHexString("Daten\vsatz"));

    if (!test::CommandExists("xmllint")) VELKARO_SKIP_UNLESS_CI() << "xmllint fehlt (Paket libxml2-utils)";
    WriteFileBytes(tmp.File("xmp.xml"), xmp);
    std::string output;
    EXPECT_EQ(test::RunCommand("xmllint --noout '" + tmp.File("xmp.xml") + "'", output), 0) << output;
}

// --- whole files, checked with the external tools --------------------------------

bool HaveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

std::string RunTool(const std::string& cmd, int& rc) {
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

class PdfWholeFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(kIcc)) VELKARO_SKIP_UNLESS_CI() << "ICC-Profil fehlt (Paket icc-profiles-free): " << kIcc;
        if (FindFontFile("Arial", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schrift für Arial installiert";
        test::WritePng(FTmp.File("logo.png"), 64, 32, 4, Logo());
        TPdfDocument doc(kIcc);
        doc.Title = "Rechnung TOSL108";
        doc.Author = "Velkaro Test GmbH";
        doc.Subject = "Rechnung für Müller & Söhne";
        doc.FacturX = true;
        TPdfFont& regular = doc.AddFont("Arial", false);
        TPdfFont& bold = doc.AddFont("Arial", true);
        TPdfImage& logo = doc.AddImageFile(FTmp.File("logo.png"));
        for (int page = 0; page < 2; ++page) {
            doc.NewPage();
            doc.DrawImage(logo, 150, 10, 40, 20);
            doc.SetFont(bold, 16);
            doc.TextOut(20, 40, "Rechnung");
            doc.SetFont(regular, 10);
            doc.SetColor(200, 0, 0);
            doc.TextOut(20, 50, "Müller & Söhne – Straße 5, 10 € (netto)");
            doc.TextOut(20, 45, "Zakład Łódź, Dvořák, İstanbul, Ελληνικά, Кириллица");
            doc.SetColor(0, 0, 0);
            doc.TextRight(190, 50, "1.190,00 €");
            doc.Line(20, 55, 190, 55, 0.2);
            doc.SetColor(230, 230, 230);
            doc.FillRect(20, 60, 170, 8);
            doc.SetColor(0, 0, 0);
            double y = 75;
            for (const auto& line : doc.WrapText(std::string(40, 'x') + " Ein längerer Text, der umbrochen wird, "
                                                 "damit mehrere Zeilen entstehen.", 60)) {
                doc.TextOut(20, y, line);
                y += 5;
            }
        }
        std::string xml = SourceDirFile("third_party/validation/examples/cen/CII_example3.xml");
        if (FileExists(xml))
            doc.AddAttachment("factur-x.xml", "text/xml", "Factur-X Rechnung", "Alternative", ReadFileBytes(xml));
        FPdf = FTmp.File("rechnung.pdf");
        doc.SaveToFile(FPdf);
    }

    static std::string SourceDirFile(const std::string& rel) { return test::SourceDir() + "/" + rel; }

    static std::vector<uint8_t> Logo() {
        std::vector<uint8_t> px;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                bool inside = (x - 32) * (x - 32) + (y - 16) * (y - 16) < 14 * 14;
                px.insert(px.end(), {0, 80, 160, static_cast<uint8_t>(inside ? 255 : 0)});
            }
        return px;
    }

    TempFolder FTmp;
    std::string FPdf;
};

TEST_F(PdfWholeFile, QpdfFindsNoProblem) {
    if (!HaveTool("qpdf")) VELKARO_SKIP_UNLESS_CI() << "qpdf ist nicht installiert";
    int rc = 0;
    std::string out = RunTool("qpdf --check '" + FPdf + "'", rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_THAT(out, HasSubstr("No syntax or stream encoding errors found"));
    EXPECT_THAT(out, Not(HasSubstr("WARNING")));
}

TEST_F(PdfWholeFile, FontsAreEmbeddedAndTextIsExtractable) {
    if (!HaveTool("pdffonts") || !HaveTool("pdftotext"))
        VELKARO_SKIP_UNLESS_CI() << "poppler-utils ist nicht installiert";
    int rc = 0;
    std::string fonts = RunTool("pdffonts '" + FPdf + "'", rc);
    EXPECT_EQ(rc, 0) << fonts;
    // Composite fonts of the glyphs used, embedded, with a ToUnicode map.
    EXPECT_THAT(fonts, ::testing::ContainsRegex("[A-Z]{6}\\+LiberationSans +CID TrueType +Identity-H +yes +yes +yes"));
    EXPECT_THAT(fonts, ::testing::ContainsRegex("[A-Z]{6}\\+LiberationSans-Bold +CID TrueType +Identity-H +yes +yes +yes"));
    std::string text = RunTool("pdftotext -enc UTF-8 '" + FPdf + "' -", rc);
    EXPECT_EQ(rc, 0) << text;
    EXPECT_THAT(text, HasSubstr("Müller & Söhne – Straße 5, 10 € (netto)"));
    EXPECT_THAT(text, HasSubstr("Zakład Łódź, Dvořák, İstanbul, Ελληνικά, Кириллица"));
    EXPECT_THAT(text, HasSubstr("1.190,00 €"));
    EXPECT_EQ(CountOf(text, "Rechnung"), 2);
}

TEST_F(PdfWholeFile, RendersWithPdftoppm) {
    if (!HaveTool("pdftoppm")) VELKARO_SKIP_UNLESS_CI() << "pdftoppm ist nicht installiert";
    int rc = 0;
    std::string out = RunTool("pdftoppm -r 80 -png -f 1 -l 1 '" + FPdf + "' '" + FTmp.File("seite") + "'", rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_TRUE(FileExists(FTmp.File("seite-1.png")));
}

TEST_F(PdfWholeFile, OpensAndRendersInMutoolWithoutWarnings) {
    if (!HaveTool("mutool")) VELKARO_SKIP_UNLESS_CI() << "mutool ist nicht installiert (Paket mupdf-tools)";
    // Only stderr: mupdf reports every repair and every damaged object there. A mupdf
    // built without colour management says so for every file; that says nothing about ours.
    auto stderrOf = [&](const std::string& cmd, int& rc) {
        std::string out = RunTool("{ " + cmd + " 2>&1 >/dev/null; }", rc);
        return ReplaceAll(out, "warning: ICC support is not available\n", "");
    };
    int rc = 0;
    std::string info = RunTool("mutool info '" + FPdf + "'", rc);
    EXPECT_EQ(rc, 0) << info;
    EXPECT_THAT(info, HasSubstr("Pages: 2"));
    std::string infoErrors = stderrOf("mutool info '" + FPdf + "'", rc);
    EXPECT_TRUE(infoErrors.empty()) << infoErrors;
    std::string drawErrors = stderrOf("mutool draw -q -F png -r 72 -o /dev/null '" + FPdf + "'", rc);
    EXPECT_EQ(rc, 0) << drawErrors;
    EXPECT_TRUE(drawErrors.empty()) << drawErrors;
    std::string text = RunTool("mutool draw -F txt -o - '" + FPdf + "' 1", rc);
    EXPECT_EQ(rc, 0) << text;
    EXPECT_THAT(text, HasSubstr("Müller & Söhne – Straße 5, 10 € (netto)"));
}

TEST_F(PdfWholeFile, PassesTheFacturXCheck) {
    std::string script = SourceDirFile("third_party/validation/check-facturx-pdf");
    if (!FileExists(script)) VELKARO_SKIP_UNLESS_CI() << "Prüfskript fehlt: " << script;
    for (const char* tool : {"qpdf", "pdfdetach", "pdfinfo", "python3", "java", "xmllint"})
        if (!HaveTool(tool)) VELKARO_SKIP_UNLESS_CI() << tool << " ist nicht installiert";
    int rc = 0;
    std::string out = RunTool("'" + script + "' '" + FPdf + "'", rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_THAT(out, HasSubstr("OK  " + FPdf));
}

} // namespace
} // namespace velkaro
