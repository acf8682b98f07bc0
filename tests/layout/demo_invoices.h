#pragma once
// The invoices of the demo database (built from demo/*.sql), loaded and calculated by the
// database layer as the workflow does.
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"
#include "invoice/invoice.h"
#include "layout/print_setup.h"
#include "support/test_support.h"

namespace velkaro::test {

struct DemoInvoice {
    std::string Company;
    TInvoice Invoice;
    TSeller Seller;
};

// Settings of the demo (demo/velkaro.ini) in `folder`, with the database built there,
// and their print set-up as the program takes it. Empty `error` on success.
struct DemoSet {
    std::unique_ptr<TSettings> Settings;
    TPrintSetup Print;
    std::vector<DemoInvoice> Invoices;
    std::vector<std::string> Refused; // "company no: message" of invoices the loader refuses
    std::string Error;
};
DemoSet LoadDemoInvoices(const TempFolder& folder);

} // namespace velkaro::test
