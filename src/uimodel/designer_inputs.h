#pragma once
// What the layout designer needs of the program, and no more: where the layout file and
// the pictures lie, the layout in use, the document it previews, and a way to print that
// document with the working copy. The designer never sees the settings object or the
// database itself, so its previews cannot change what the main window works with.
#include <string>
#include <utility>

#include "invoice/invoice.h"

namespace velkaro {

class TInvoiceListModel;
class TLayout;
class TNavData;
class TSettings;

// The document the designer previews: its number and whether it is an invoice or a
// credit memo (a credit memo prints under its own title).
struct TPreviewDocument {
    TPreviewDocument(std::string no = "", TDocumentKind kind = bkInvoice) : No(std::move(no)), Kind(kind) {}
    TPreviewDocument(const char* no) : TPreviewDocument(std::string(no)) {}
    std::string No;
    TDocumentKind Kind;
};

// The document of the main window's list the designer opens with: the first row selected
// on screen; without a selection the newest row (latest posting date, on equal dates the
// first in list order), credit memos included; none for an empty list.
TPreviewDocument DesignerPreviewDocument(const TInvoiceListModel& list);

struct TDesignerInputs {
    std::string LayoutFile;     // where "Speichern" writes
    std::string PictureFolder;  // the settings' folder: relative picture names lie here
    std::string LogoFile;       // the logo of the default layout
    const TLayout* Layout = nullptr;  // the layout in use; none: the default layout
    TPreviewDocument Preview;
};

// The inputs taken from the loaded settings (only read).
TDesignerInputs DesignerInputsOf(const TSettings& settings, TPreviewDocument preview);

// The documents behind the designer: the company's seller for the sample values of the
// page, and the real document printed with a layout.
class TDesignerDocuments {
public:
    virtual ~TDesignerDocuments() = default;
    // Raises when there is no database or no such company.
    virtual TSeller LoadSeller() = 0;
    // Prints the document with `layout` into `folder` (no XML file) and returns the
    // PDF's path; raises with the German reason (for example an unknown number).
    virtual std::string PrintPreview(const TLayout& layout, const TPreviewDocument& document,
                                     const std::string& folder) = 0;
};

// The database and the settings of the program, both only read.
class TNavDesignerDocuments : public TDesignerDocuments {
public:
    TNavDesignerDocuments(TNavData& data, const TSettings& settings, std::string company)
        : FData(data), FSettings(settings), FCompany(std::move(company)) {}
    TSeller LoadSeller() override;
    std::string PrintPreview(const TLayout& layout, const TPreviewDocument& document,
                             const std::string& folder) override;

private:
    TNavData& FData;
    const TSettings& FSettings;
    std::string FCompany;
};

} // namespace velkaro
