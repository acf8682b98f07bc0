// The demo invoice with Arabic and Hebrew texts, drawn as the workflow draws it: the
// words of its right-to-left lines run right to left on the page, and the Latin
// columns beside them stay where they are.
#include <gtest/gtest.h>

#include "cii/cii_document.h"
#include "demo_invoices.h"
#include "layout/invoice_pdf.h"
#include "platform/text.h"
#include "support/pdf_words.h"

namespace velkaro {
namespace {

TEST(DemoRightToLeft, LinesRunRightToLeftAndTheirWordsReadBack) {
    if (!test::CommandExists("sqlite3"))
        VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt: Demo-Datenbank kann nicht erstellt werden";
    if (!test::CommandExists("pdftotext")) VELKARO_SKIP_UNLESS_CI() << "pdftotext fehlt (poppler-utils)";
    test::TempFolder folder;
    test::DemoSet demo = test::LoadDemoInvoices(folder);
    ASSERT_EQ(demo.Error, "");
    const test::DemoInvoice* d = nullptr;
    for (const test::DemoInvoice& i : demo.Invoices)
        if (i.Invoice.No == "RE24-0090") d = &i;
    ASSERT_NE(d, nullptr);
    const std::string pdf = folder.File("RE24-0090.pdf");
    RenderInvoicePdf(d->Invoice, d->Seller, demo.Print, pdf, BuildCiiXml(d->Invoice, d->Seller, demo.Print.TaxRules));

    const std::vector<test::TWordBox> boxes = test::PdfWordBoxes(pdf);
    // Customer name, street, contact and the item texts: each word left of the one
    // before it.
    for (const char* line : {"شركة الخليج للتجارة ذ.م.م", "شارع الشيخ زايد 12", "السيد أحمد المنصوري",
                             "שולחן עבודה מעץ אלון", "قطع غيار (مرتجع)", "مضخة مياه من"}) {
        SCOPED_TRACE(line);
        std::vector<test::TWordBox> words = test::LineWordBoxes(line, boxes);
        ASSERT_EQ(words.size(), Split(line, ' ').size());
        for (size_t i = 1; i < words.size(); ++i) EXPECT_LT(words[i].XMax, words[i - 1].XMin) << words[i].Text;
    }
    // The German company name inside the Arabic item text keeps its own order, left of
    // the Arabic words (the Arabic comma at the line's end stands leftmost, on "Pumpen").
    std::vector<test::TWordBox> name = test::LineWordBoxes("Keller GmbH 230 من", boxes);
    ASSERT_EQ(name.size(), 4u);
    for (size_t i = 1; i < name.size(); ++i) EXPECT_GT(name[i].XMin, name[i - 1].XMax) << name[i].Text;

    // The mixed text line is a Latin line: its Arabic part follows on the right, its
    // words right to left.
    std::vector<test::TWordBox> mixed =
        test::LineWordBoxes("Lieferung laut Auftrag AU24-0201 – تسليم حسب الطلب رقم 117", boxes);
    ASSERT_EQ(mixed.size(), 10u);
    for (size_t i = 1; i < 5; ++i) EXPECT_GT(mixed[i].XMin, mixed[i - 1].XMax) << mixed[i].Text;
    for (size_t i = 6; i < 9; ++i) EXPECT_LT(mixed[i + 1].XMax, mixed[i].XMin) << mixed[i + 1].Text;
    EXPECT_GT(mixed[5].XMin, mixed[4].XMax); // the Arabic part right of the Latin one

    // The text layer gives every word back in logical order.
    const std::string text = test::PdfReadingText(pdf);
    for (const char* word : {"شركة", "الخليج", "للتجارة", "שולחן", "עבודה", "מעץ", "אלון", "قطع", "غيار", "مرتجع",
                             "مضخة", "مياه", "Pumpen", "Keller", "GmbH", "السيد", "أحمد", "المنصوري"})
        EXPECT_NE(text.find(word), std::string::npos) << word << "\n" << text;
}

} // namespace
} // namespace velkaro
