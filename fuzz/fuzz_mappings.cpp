// Free text from NAV fields into the address extraction and the Leitweg-ID check:
// no crash, no hang, and results that keep their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "invoice/email_extract.h"
#include "invoice/leitweg.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsAddressLike(const std::string& address) {
    const size_t at = address.find('@');
    return at != std::string::npos && at > 0 && address.find('.', at) != std::string::npos &&
           address.find('@', at + 1) == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    for (const std::string& address : velkaro::ExtractEmails(text)) Require(IsAddressLike(address));

    bool labelled = false;
    const auto invoiceAddresses = velkaro::ExtractInvoiceEmails(text, labelled);
    for (const std::string& address : invoiceAddresses) Require(IsAddressLike(address));
    // A found label always brings its address (a "|" cannot stand inside a match).
    Require(!labelled || !invoiceAddresses.empty());

    std::string reason;
    const bool valid = velkaro::CheckLeitwegID(text, reason);
    Require(valid == reason.empty());
    return 0;
}
