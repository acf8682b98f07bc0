#include "fake_main_window.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace velkaro::test {

std::vector<std::string> FakeMainWindow::LogTexts() const {
    const std::string prefix = FormatClockTime(Time) + " ";
    std::vector<std::string> texts;
    for (const std::string& line : LogLines) {
        EXPECT_TRUE(line.starts_with(prefix)) << line;
        texts.push_back(line.substr(prefix.size()));
    }
    return texts;
}

std::vector<std::string> FakeInvoiceSource::Companies() {
    Calls.push_back("companies");
    if (!CompaniesError.empty()) throw Exception(CompaniesError);
    return CompanyNames;
}

std::vector<TInvoiceListItem> FakeInvoiceSource::Search(const std::string& company, const std::string& text,
                                                        TDateTime dateFrom, TDateTime dateTo) {
    Calls.push_back("search");
    Searches.push_back({company, text, dateFrom, dateTo});
    if (!SearchError.empty()) throw Exception(SearchError);
    return Found;
}

} // namespace velkaro::test
