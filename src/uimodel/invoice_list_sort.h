#pragma once
// Order of the invoice list's rows by one column: dates, amounts and send times by
// value, invoice and customer numbers so that numbers with a common prefix come in
// numeric order, other texts without regard to letter case.
#include "uimodel/invoice_list.h"

namespace velkaro {

// Negative when a comes before b in ascending order, 0 when equal, else positive.
int CompareInvoiceRows(const TInvoiceRow& a, const TInvoiceRow& b, TInvoiceColumn column);

} // namespace velkaro
