#include <gtest/gtest.h>

#include "platform/number_format.h"
#include "uimodel/invoice_list.h"
#include "uimodel/invoice_list_sort.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

TInvoiceRow Row(const std::string& no, TDateTime posted = 45000, const char* gross = "0", TDateTime sentAt = 0,
                const std::string& name = "") {
    TInvoiceListItem item;
    item.No = no;
    item.PostingDate = posted;
    item.Gross = Currency::Parse(gross);
    item.Name = name;
    return MakeInvoiceRow(item, sentAt);
}

Strings Numbers(const TInvoiceListModel& list) {
    Strings numbers;
    for (size_t i = 0; i < list.Count(); ++i) numbers.push_back(list.Row(i).No());
    return numbers;
}

struct RecordingListener : TInvoiceListListener {
    void InvoiceListReset() override { Events.push_back("reset"); }
    void InvoiceRowsChanged(size_t first, size_t last) override {
        Events.push_back("rows " + std::to_string(first) + "-" + std::to_string(last));
    }
    Strings Events;
};

TEST(InvoiceList, GrossFollowsTheUserNumberFormat) {
    struct Case { const char* decimal; const char* thousands; const char* gross; const char* text; };
    const Case cases[] = {
        {",", ".", "1190", "1.190,00"},
        {",", ".", "0.004", "0,00"},
        {",", ".", "-0.5", "-0,50"},
        {".", ",", "1234567.891", "1,234,567.89"},
        {".", "", "1234.5", "1234.50"},
    };
    for (const Case& c : cases) {
        SetDecimalSeparatorOverride(c.decimal);
        SetThousandsSeparatorOverride(c.thousands);
        EXPECT_EQ(Row("RE1", 45000, c.gross).Texts[icGross], c.text) << c.gross;
    }
    ResetDecimalSeparatorOverride();
    ResetThousandsSeparatorOverride();
}

TEST(InvoiceList, ChangesReachTheListener) {
    TInvoiceListModel list;
    RecordingListener listener;
    list.SetListener(&listener);
    list.Assign({Row("RE1"), Row("RE2"), Row("RE3")});
    list.SetChecked(1, true);
    list.SetChecked(1, true);  // no change, no event
    list.ToggleChecked(2);
    list.ToggleAll();
    list.SetSentAt(0, EncodeDateTime({2025, 1, 2, 3, 4, 5, 0}));
    list.SetChecked(7, true);  // out of range: ignored
    list.Sort(icNo, false);
    list.Clear();
    EXPECT_EQ(listener.Events, (Strings{"reset", "rows 1-1", "rows 2-2", "rows 0-2", "rows 0-0", "reset", "reset"}));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(InvoiceList, SentTimeIsShownToTheMinuteAndCanBeCleared) {
    TInvoiceListModel list;
    list.Assign({Row("RE1", 45000, "0", EncodeDateTime({2025, 3, 4, 7, 8, 59, 0}))});
    EXPECT_EQ(list.Row(0).Texts[icSentAt], "04.03.2025 07:08");
    list.SetSentAt(0, 0);
    EXPECT_EQ(list.Row(0).Texts[icSentAt], "");
}

TEST(InvoiceListSort, ColumnsCompareByTheirValues) {
    struct Case { TInvoiceRow a, b; TInvoiceColumn column; int order; };
    const TDateTime day = EncodeDate(2024, 3, 31);
    const Case cases[] = {
        {Row("RE9"), Row("RE10"), icNo, -1},               // numbers within text by value
        {Row("RE10"), Row("re11"), icNo, -1},              // letter case ignored
        {Row("RE24-0009"), Row("RE24-10"), icNo, -1},      // leading zeros do not count
        {Row("RE24-010"), Row("RE24-10"), icNo, -1},       // ... but equal values still get a fixed order
        {Row("RE1"), Row("RE1"), icNo, 0},
        {Row("RE1"), Row("RE1A"), icNo, -1},
        {Row("RE2"), Row("RE10", day), icDate, -1},        // by date, not by text
        {Row("A", EncodeDate(2024, 12, 1)), Row("B", EncodeDate(2025, 1, 2)), icDate, -1},
        {Row("A", day, "-5"), Row("B", day, "4"), icGross, -1},
        {Row("A", day, "9.99"), Row("B", day, "10"), icGross, -1},
        {Row("A", day, "1000"), Row("B", day, "999.99"), icGross, 1},
        {Row("A", day, "0", 0), Row("B", day, "0", day), icSentAt, -1},  // never sent comes first
        {Row("A", day, "0", 0, "bäcker"), Row("B", day, "0", 0, "Bauer"), icName, -1},   // umlaut as base letter
        {Row("A", day, "0", 0, "Müller"), Row("B", day, "0", 0, "Mueller"), icName, 1},  // "u", not "ue"
        {Row("A", day, "0", 0, "Strauß"), Row("B", day, "0", 0, "Strausberg"), icName, 1},  // ß as ss
        {Row("A", day, "0", 0, "Öko"), Row("B", day, "0", 0, "Zander"), icName, -1},
        {Row("A", day, "0", 0, "Filiale 9"), Row("B", day, "0", 0, "filiale 10"), icName, -1},
    };
    for (const Case& c : cases) {
        const std::string what = c.a.Texts[c.column] + " / " + c.b.Texts[c.column];
        EXPECT_EQ(CompareInvoiceRows(c.a, c.b, c.column), c.order) << what;
        EXPECT_EQ(CompareInvoiceRows(c.b, c.a, c.column), -c.order) << what;
    }
}

TEST(InvoiceListSort, SortIsStableAndKeepsMarksWithTheirRows) {
    const TDateTime day1 = EncodeDate(2024, 3, 1), day2 = EncodeDate(2024, 3, 2);
    TInvoiceListModel list;
    list.Assign({Row("RE3", day1), Row("RE10", day2), Row("RE2", day1), Row("RE1", day2)});
    list.SetChecked(1, true);
    list.SetSelection({2});
    list.Sort(icDate, true);
    EXPECT_EQ(Numbers(list), (Strings{"RE3", "RE2", "RE10", "RE1"}));
    list.Sort(icDate, false);
    EXPECT_EQ(Numbers(list), (Strings{"RE10", "RE1", "RE3", "RE2"}));
    list.Sort(icNo, false);
    EXPECT_EQ(Numbers(list), (Strings{"RE10", "RE3", "RE2", "RE1"}));
    EXPECT_TRUE(list.Row(0).Checked);
    EXPECT_TRUE(list.Row(2).Selected);
    list.SetChecked(0, false);
    EXPECT_EQ(list.MarkedRows(), (std::vector<size_t>{2}));
}

// The header shows a sort arrow only while the rows are in a column's order: a new
// search result comes in its own order.
TEST(InvoiceListSort, SortedUntilTheNextResult) {
    TInvoiceListModel list;
    EXPECT_FALSE(list.Sorted());
    list.Assign({Row("RE2", EncodeDate(2024, 3, 1)), Row("RE1", EncodeDate(2024, 3, 2))});
    list.Sort(icNo, true);
    EXPECT_TRUE(list.Sorted());
    list.SetChecked(0, true);
    EXPECT_TRUE(list.Sorted());
    list.Assign({Row("RE3", EncodeDate(2024, 3, 1))});
    EXPECT_FALSE(list.Sorted());
    list.Sort(icDate, false);
    list.Clear();
    EXPECT_FALSE(list.Sorted());
}

} // namespace
