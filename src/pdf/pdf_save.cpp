// File output of TPdfDocument: object numbering, metadata, output intent, fonts,
// images, attachments, pages, cross-reference table and trailer.
#include <openssl/evp.h>

#include <cstdio>

#include "pdf/icc_profile.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_object_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

std::string Ref(int n) { return std::to_string(n) + " 0 R"; }

std::string FileIdentifier(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!EVP_Digest(text.data(), text.size(), digest, &len, EVP_md5(), nullptr))
        throw Exception("Dateikennung der PDF-Datei konnte nicht berechnet werden (MD5)");
    std::string r;
    for (unsigned int i = 0; i < len; ++i) AppendHexByte(r, digest[i]);
    return r;
}

// Outside stream data only ASCII is written; anything else becomes "?".
std::string AsciiOnly(std::string_view text) {
    std::string r(text);
    for (char& c : r)
        if (static_cast<unsigned char>(c) > 0x7F) c = '?';
    return r;
}

// "text/xml" -> "text#2Fxml": the first slash only, as a PDF name.
std::string MimeName(const std::string& mime) {
    std::string r = mime;
    size_t slash = r.find('/');
    if (slash != std::string::npos) r.replace(slash, 1, "#2F");
    return r;
}

const char* const kNsRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const char* const kNsPdfaId = "http://www.aiim.org/pdfa/ns/id/";
const char* const kNsDc = "http://purl.org/dc/elements/1.1/";
const char* const kNsPdf = "http://ns.adobe.com/pdf/1.3/";
const char* const kNsXmp = "http://ns.adobe.com/xap/1.0/";
const char* const kNsFx = "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#";
const char* const kNsPdfaExtension = "http://www.aiim.org/pdfa/ns/extension/";
const char* const kNsPdfaSchema = "http://www.aiim.org/pdfa/ns/schema#";
const char* const kNsPdfaProperty = "http://www.aiim.org/pdfa/ns/property#";

std::string DescriptionStart(const char* prefix, const char* ns) {
    return std::string("<rdf:Description rdf:about=\"\" xmlns:") + prefix + "=\"" + ns + "\">\n";
}

std::string PropertyEntry(const char* name, const char* description) {
    return std::string("<rdf:li rdf:parseType=\"Resource\"><pdfaProperty:name>") + name +
           "</pdfaProperty:name><pdfaProperty:valueType>Text</pdfaProperty:valueType>"
           "<pdfaProperty:category>external</pdfaProperty:category><pdfaProperty:description>" +
           description + "</pdfaProperty:description></rdf:li>\n";
}

} // namespace

std::string TPdfDocument::BuildXmpPacket(const TPdfDates& dates) const {
    std::string x = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
    x += "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n";
    x += std::string("<rdf:RDF xmlns:rdf=\"") + kNsRdf + "\">\n";

    x += DescriptionStart("pdfaid", kNsPdfaId);
    x += "<pdfaid:part>3</pdfaid:part><pdfaid:conformance>B</pdfaid:conformance>\n";
    x += "</rdf:Description>\n";

    x += DescriptionStart("dc", kNsDc);
    x += "<dc:format>application/pdf</dc:format>\n";
    x += "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + XmpEscape(Title) + "</rdf:li></rdf:Alt></dc:title>\n";
    x += "<dc:creator><rdf:Seq><rdf:li>" + XmpEscape(Author) + "</rdf:li></rdf:Seq></dc:creator>\n";
    x += "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + XmpEscape(Subject) +
         "</rdf:li></rdf:Alt></dc:description>\n";
    x += "</rdf:Description>\n";

    x += DescriptionStart("pdf", kNsPdf);
    x += "<pdf:Producer>" + XmpEscape(Producer) + "</pdf:Producer>\n";
    x += "<pdf:Keywords>" + XmpEscape(Keywords) + "</pdf:Keywords>\n";
    x += "</rdf:Description>\n";

    x += DescriptionStart("xmp", kNsXmp);
    x += "<xmp:CreatorTool>" + XmpEscape(Creator) + "</xmp:CreatorTool>\n";
    x += "<xmp:CreateDate>" + dates.Xmp + "</xmp:CreateDate>\n";
    x += "<xmp:ModifyDate>" + dates.Xmp + "</xmp:ModifyDate>\n";
    x += "<xmp:MetadataDate>" + dates.Xmp + "</xmp:MetadataDate>\n";
    x += "</rdf:Description>\n";

    if (FacturX) {
        x += DescriptionStart("fx", kNsFx);
        x += "<fx:DocumentType>" + XmpEscape(FacturXDocType) + "</fx:DocumentType>\n";
        x += "<fx:DocumentFileName>" + XmpEscape(FacturXFileName) + "</fx:DocumentFileName>\n";
        x += "<fx:Version>1.0</fx:Version>\n";
        x += "<fx:ConformanceLevel>" + XmpEscape(FacturXConformance) + "</fx:ConformanceLevel>\n";
        x += "</rdf:Description>\n";

        x += std::string("<rdf:Description rdf:about=\"\" xmlns:pdfaExtension=\"") + kNsPdfaExtension + "\" " +
             "xmlns:pdfaSchema=\"" + kNsPdfaSchema + "\" xmlns:pdfaProperty=\"" + kNsPdfaProperty + "\">\n";
        x += "<pdfaExtension:schemas><rdf:Bag><rdf:li rdf:parseType=\"Resource\">\n";
        x += "<pdfaSchema:schema>Factur-X PDFA Extension Schema</pdfaSchema:schema>\n";
        x += std::string("<pdfaSchema:namespaceURI>") + kNsFx + "</pdfaSchema:namespaceURI>\n";
        x += "<pdfaSchema:prefix>fx</pdfaSchema:prefix>\n";
        x += "<pdfaSchema:property><rdf:Seq>\n";
        x += PropertyEntry("DocumentFileName", "The name of the embedded XML document");
        x += PropertyEntry("DocumentType", "The type of the hybrid document in capital letters, e.g. INVOICE or ORDER");
        x += PropertyEntry("Version", "The actual version of the standard applying to the embedded XML document");
        x += PropertyEntry("ConformanceLevel", "The conformance level of the embedded XML document");
        x += "</rdf:Seq></pdfaSchema:property>\n";
        x += "</rdf:li></rdf:Bag></pdfaExtension:schemas>\n";
        x += "</rdf:Description>\n";
    }

    x += "</rdf:RDF>\n</x:xmpmeta>\n";
    x += std::string(200, ' ');
    x += "\n<?xpacket end=\"w\"?>";
    return x;
}

std::string TPdfDocument::BuildFile(const std::string& fileName, const TPdfDates& dates) {
    if (FPages.empty()) NewPage();
    std::string icc = ReadOutputIntentProfile(FIccFile);

    int next = 7;
    for (auto& font : FFonts) {
        font->ObjFont = next;
        next += TPdfFont::kObjectCount;
    }
    for (auto& img : FImages) img->Obj = next++;
    for (auto& att : FAttachments) {
        att.ObjStream = next;
        att.ObjSpec = next + 1;
        next += 2;
    }
    int firstPage = next;
    next += 2 * PageCount();
    const int size = next;
    auto pageObj = [&](int i) { return firstPage + 2 * i; };

    std::string id = FileIdentifier(fileName + dates.Pdf + Title);

    TPdfObjectWriter w;
    w.Write("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");

    std::string catalog = "<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R /OutputIntents [6 0 R] /Lang (de-DE) "
                          "/ViewerPreferences << /DisplayDocTitle true >>";
    if (!FAttachments.empty()) {
        std::string af, names;
        for (const auto& att : FAttachments) {
            if (!af.empty()) af += ' ', names += ' ';
            af += Ref(att.ObjSpec);
            names += PdfLiteralString(att.FileName) + " " + Ref(att.ObjSpec);
        }
        catalog += " /AF [" + af + "] /Names << /EmbeddedFiles << /Names [" + names + "] >> >>";
    }
    w.WriteObject(1, AsciiOnly(catalog + " >>\nendobj\n"));

    std::string kids;
    for (int i = 0; i < PageCount(); ++i) kids += (i ? " " : "") + Ref(pageObj(i));
    w.WriteObject(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(PageCount()) + " >>\nendobj\n");

    w.WriteObject(3, AsciiOnly("<< /Title " + PdfHexString(Title) + " /Author " + PdfHexString(Author) +
                               " /Subject " + PdfHexString(Subject) + " /Keywords " + PdfHexString(Keywords) +
                               " /Creator " + PdfHexString(Creator) + " /Producer " + PdfHexString(Producer) +
                               " /CreationDate (" + dates.Pdf + ") /ModDate (" + dates.Pdf + ") >>\nendobj\n"));

    w.WriteStreamObject(4, "/Type /Metadata /Subtype /XML", false, BuildXmpPacket(dates));
    w.WriteDeflatedStreamObject(5, "/N 3", *DeflateConstant(icc));  // the same profile in every document
    w.WriteObject(6, "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1) "
                     "/Info (sRGB IEC61966-2.1) /DestOutputProfile 5 0 R >>\nendobj\n");

    for (const auto& font : FFonts) font->WriteObjects(w, UsedGlyphs(*font), WholeFonts);
    for (const auto& img : FImages) img->WriteObject(w);
    for (const auto& att : FAttachments) {
        w.WriteDeflatedStreamObject(att.ObjStream,
                                    AsciiOnly("/Type /EmbeddedFile /Subtype /" + MimeName(att.MimeType) +
                                              " /Params << /ModDate (" + dates.Pdf + ") /Size " +
                                              std::to_string(att.Data.size()) + " >>"),
                                    DeflateBytes(att.Data, kDeflateLevelXml));
        w.WriteObject(att.ObjSpec,
                      AsciiOnly("<< /Type /Filespec /F " + PdfLiteralString(att.FileName) + " /UF " +
                                PdfHexString(att.FileName) + " /Desc " + PdfHexString(att.Description) +
                                " /AFRelationship /" + att.Relationship + " /EF << /F " + Ref(att.ObjStream) +
                                " /UF " + Ref(att.ObjStream) + " >> >>\nendobj\n"));
    }

    std::string resources = "/ProcSet [/PDF /Text /ImageC /ImageB] /Font <<";
    for (const auto& font : FFonts) resources += " /" + font->ResName() + " " + Ref(font->ObjFont);
    resources += " >>";
    if (!FImages.empty()) {
        resources += " /XObject <<";
        for (const auto& img : FImages) resources += " /" + img->ResName() + " " + Ref(img->Obj);
        resources += " >>";
    }
    for (int i = 0; i < PageCount(); ++i) {
        int n = pageObj(i);
        w.WriteObject(n, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + FormatPdfNumber(FPageWidth) + " " +
                             FormatPdfNumber(FPageHeight) + "] /Resources << " + resources + " >> /Contents " +
                             Ref(n + 1) + " >>\nendobj\n");
        w.WriteStreamObject(n + 1, "", true, FPages[i]);
    }

    const int64_t xref = static_cast<int64_t>(w.Buffer().size());
    std::string& out = w.Buffer();
    out += "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f\r\n";
    const auto& offsets = w.Offsets();
    char entry[32];
    for (int n = 1; n < size; ++n) {
        if (static_cast<size_t>(n) < offsets.size() && offsets[n] > 0) {
            std::snprintf(entry, sizeof entry, "%.10lld 00000 n\r\n", static_cast<long long>(offsets[n]));
            out += entry;
        } else {
            out += "0000000000 65535 f\r\n";
        }
    }
    out += "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R /Info 3 0 R /ID [<" + id + "> <" + id +
           ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return std::move(out);
}

void TPdfDocument::SaveToFile(const std::string& fileName) {
    DateTimeParts now = DecodeDateTime(Now());
    now.millisecond = 0;
    TDateTime local = EncodeDateTime(now);
    std::string bytes = BuildFile(fileName, MakePdfDates(local, UtcOffsetMinutes(local)));
    WriteFileBytes(fileName, bytes, kOwnDataFileMode);
}

} // namespace velkaro
