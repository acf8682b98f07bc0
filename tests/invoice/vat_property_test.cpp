#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "invoice/invoice.h"
#include "invoice/vat.h"
#include "platform/number_format.h"

using namespace velkaro;

namespace {

// Rates in tenths of a percent, so that the expected tax can be computed with integers.
constexpr int kRateTenths[] = {0, 50, 55, 70, 107, 160, 190, 200};

// Cents of basis × rate, half away from zero, in exact integer arithmetic:
// basis raw (1/10,000) × rate (1/10 %) / 100,000 = cents.
int64_t ExpectedTaxCents(int64_t basisRaw, int rateTenths) {
    const int64_t n = basisRaw * rateTenths;
    const int64_t cents = (std::llabs(n) + 50000) / 100000;
    return n < 0 ? -cents : cents;
}

struct Key {
    TVatCategory category;
    int rateTenths;
    bool operator==(const Key&) const = default;
};

} // namespace

// Random invoices against the invariants every consumer relies on, with an oracle for
// each group's tax that does not share the floating-point path of the code.
TEST(VatProperty, RandomInvoicesKeepTheInvariants) {
    const TTaxRules rules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"};
    SetDecimalSeparatorOverride(",");
    std::mt19937_64 random(4711);
    const char* countries[] = {"DE", "AT", "FR", "CH", "US", "XI"};

    for (int round = 0; round < 3000; ++round) {
        TInvoice inv;
        inv.BillTo.Country = countries[random() % 6];
        inv.BuyerVatID = random() % 2 ? "ATU12345678" : "";
        std::vector<int> lineRateTenths;
        const int lineCount = static_cast<int>(random() % 12);
        int64_t postedTaxRaw = 0;
        int64_t netRaw = 0;
        std::vector<Key> expectedOrder;
        for (int i = 0; i < lineCount; ++i) {
            TInvLine line;
            line.LineNo = (i + 1) * 10000;
            line.LineType = random() % 6 == 0 ? 0 : 2;
            const int rate = kRateTenths[random() % std::size(kRateTenths)];
            line.VatPct = rate / 10.0;
            line.VatCalcType = random() % 4 == 0 ? 1 : 0;
            line.Quantity = random() % 8 == 0 ? 0 : 1 + static_cast<double>(random() % 100);
            const int64_t netCents = static_cast<int64_t>(random() % 2000001) - 400000;  // credits included
            line.Amount = Currency::FromRaw(random() % 10 == 0 ? 0 : netCents * 100);
            // NAV's posted VAT: the line's own rounding, sometimes a cent off.
            const int64_t taxCents = ExpectedTaxCents(line.Amount.Raw(), rate) + static_cast<int64_t>(random() % 3) - 1;
            line.AmountInclVat = line.Amount + Currency::FromRaw(taxCents * 100);
            inv.Lines.push_back(line);
            if (IsTextLine(line)) continue;
            netRaw += line.Amount.Raw();
            postedTaxRaw += taxCents * 100;
            const Key key{inv.LineCategory(line, rules), rate};
            if (std::find(expectedOrder.begin(), expectedOrder.end(), key) == expectedOrder.end())
                expectedOrder.push_back(key);
        }

        inv.Calculate(rules);
        SCOPED_TRACE(round);

        ASSERT_EQ(inv.VatGroups.size(), expectedOrder.size());
        int64_t basisSum = 0, taxSum = 0;
        size_t differences = 0;
        for (size_t g = 0; g < inv.VatGroups.size(); ++g) {
            const TVatGroup& group = inv.VatGroups[g];
            EXPECT_EQ(group.Category, expectedOrder[g].category);
            EXPECT_EQ(group.Rate, expectedOrder[g].rateTenths / 10.0);
            EXPECT_EQ(group.Tax.Raw(), ExpectedTaxCents(group.Basis.Raw(), expectedOrder[g].rateTenths) * 100);
            EXPECT_EQ(group.Tax.Raw() % 100, 0);
            basisSum += group.Basis.Raw();
            taxSum += group.Tax.Raw();
        }
        for (const std::string& w : inv.Warnings)
            if (w.find("Differenz als Rundungsbetrag") != std::string::npos) ++differences;
        EXPECT_EQ(inv.LineTotal.Raw(), netRaw);
        EXPECT_EQ(basisSum, netRaw);
        EXPECT_EQ(inv.TaxTotal.Raw(), taxSum);
        EXPECT_EQ(inv.GrandTotal, inv.LineTotal + inv.TaxTotal);
        EXPECT_EQ(inv.DuePayable, inv.GrandTotal + inv.Rounding);
        EXPECT_EQ(inv.DuePayable.Raw(), netRaw + postedTaxRaw);  // exactly what NAV booked
        if (differences == 0) {
            EXPECT_TRUE(inv.Rounding.IsZero());
        }
    }
    ResetDecimalSeparatorOverride();
}
