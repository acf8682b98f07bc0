#include "uimodel/designer_inputs.h"

#include "app/generate_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"
#include "uimodel/invoice_list.h"

namespace velkaro {

TPreviewDocument DesignerPreviewDocument(const TInvoiceListModel& list) {
    const TInvoiceRow* newest = nullptr;
    for (size_t i = 0; i < list.Count(); ++i) {
        const TInvoiceRow& row = list.Row(i);
        if (row.Selected) return {row.Item.No, row.Item.Kind};
        if (!newest || row.Item.PostingDate > newest->Item.PostingDate) newest = &row;
    }
    return newest ? TPreviewDocument{newest->Item.No, newest->Item.Kind} : TPreviewDocument{};
}

TDesignerInputs DesignerInputsOf(const TSettings& settings, TPreviewDocument preview) {
    return {settings.LayoutFile, ExtractFilePath(AbsolutePath(settings.FFileName)), settings.LogoFile,
            settings.Layout.get(), std::move(preview)};
}

TSeller TNavDesignerDocuments::LoadSeller() { return FData.LoadSeller(FCompany); }

std::string TNavDesignerDocuments::PrintPreview(const TLayout& layout, const TPreviewDocument& document,
                                                const std::string& folder) {
    return GenerateInvoicePdf(FData, FSettings, TRunOptions{folder, false}, layout, FCompany, document.No,
                              [](const std::string&) {}, document.Kind);
}

} // namespace velkaro
