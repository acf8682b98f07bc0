// The one adapter from the window's invoice source to TNavData.
#include "uimodel/invoice_source.h"

#include "erp/nav_data.h"

namespace velkaro {

namespace {

class TNavInvoiceSource : public TInvoiceSource {
public:
    explicit TNavInvoiceSource(TNavData& data) : FData(data) {}

    void Disconnect() override { FData.Disconnect(); }
    std::vector<std::string> Companies() override { return FData.Companies(); }
    std::vector<TInvoiceListItem> Search(const std::string& company, const std::string& text, TDateTime dateFrom,
                                         TDateTime dateTo) override {
        return FData.Search(company, text, dateFrom, dateTo);
    }

private:
    TNavData& FData;
};

} // namespace

std::unique_ptr<TInvoiceSource> NavInvoiceSource(TNavData& data) {
    return std::make_unique<TNavInvoiceSource>(data);
}

} // namespace velkaro
