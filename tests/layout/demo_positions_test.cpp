// The text positions of the demo invoices stay where they were recorded: every text
// operator's start point (the "Td" operands) of every page, within 0.01 pt. The fixture
// was written by the writer as it measured with its own widths per character; a change
// of measuring, wrapping or layout that moves a text fails here with the invoice, page
// and text operator that moved. VELKARO_RECORD_POSITIONS=1 writes the fixture anew
// (only after checking that the move is wanted).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <sstream>

#include "demo_invoices.h"
#include "layout/renderer.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {
namespace {

const char* const kFixture = "layout/demo_text_positions.txt";

// "<company>|<invoice>|<page>" -> the Td positions of that page in order.
using TPositions = std::map<std::string, std::vector<std::pair<double, double>>>;

TPositions RenderPositions(const test::DemoInvoice& d, const TPrintSetup& print) {
    TPdfDocument doc(print.IccFile);
    TRenderer r;
    r.Doc = &doc;
    r.Inv = &d.Invoice;
    r.Seller = d.Seller;
    r.TaxRules = print.TaxRules;
    r.L = print.Layout;
    r.Ctx = InvoiceContext(d.Invoice, d.Seller, print.TaxRules);
    r.FReg = &doc.AddFont(print.FontName, false);
    r.FBold = &doc.AddFont(print.FontName, true);
    r.Render();
    TPositions out;
    static const std::regex td("(-?[0-9.]+) (-?[0-9.]+) Td ");
    for (int page = 0; page < doc.PageCount(); ++page) {
        auto& list = out[d.Company + "|" + d.Invoice.No + "|" + std::to_string(page + 1)];
        const std::string& content = doc.PageContent(page);
        for (std::sregex_iterator it(content.begin(), content.end(), td), end; it != end; ++it)
            list.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    }
    return out;
}

std::string Format(const TPositions& positions) {
    std::string text;
    for (const auto& [page, list] : positions)
        for (const auto& [x, y] : list) text += page + "|" + FormatPdfNumber(x) + " " + FormatPdfNumber(y) + "\n";
    return text;
}

TPositions Parse(const std::string& text) {
    TPositions out;
    for (const std::string& line : Split(text, '\n')) {
        size_t bar = line.rfind('|');
        if (line.empty() || bar == std::string::npos) continue;
        std::istringstream in(line.substr(bar + 1));
        double x = 0, y = 0;
        in >> x >> y;
        out[line.substr(0, bar)].emplace_back(x, y);
    }
    return out;
}

TEST(DemoTextPositions, StayWhereTheyWereRecorded) {
    if (!test::CommandExists("sqlite3"))
        VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt: Demo-Datenbank kann nicht erstellt werden";
    test::TempFolder folder;
    test::DemoSet demo = test::LoadDemoInvoices(folder);
    ASSERT_EQ(demo.Error, "");

    TPositions now;
    for (const test::DemoInvoice& d : demo.Invoices) now.merge(RenderPositions(d, demo.Print));

    if (std::getenv("VELKARO_RECORD_POSITIONS")) {
        WriteFileBytes(test::SourceDir() + "/tests/data/" + kFixture, Format(now));
        std::cout << "  Positionen neu aufgezeichnet\n";
        return;
    }
    TPositions recorded = Parse(ReadFileBytes(test::TestDataPath(kFixture)));
    ASSERT_GE(recorded.size(), 18u); // every page of the recorded invoices
    for (const auto& [page, expected] : recorded) {
        auto it = now.find(page);
        ASSERT_NE(it, now.end()) << page << " fehlt";
        ASSERT_EQ(it->second.size(), expected.size()) << page;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(it->second[i].first, expected[i].first, 0.01) << page << " Text " << i;
            EXPECT_NEAR(it->second[i].second, expected[i].second, 0.01) << page << " Text " << i;
        }
    }
}

} // namespace
} // namespace velkaro
