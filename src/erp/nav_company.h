#pragma once
// What NAV holds per company that stays the same from one document to the next: the
// company information, the local currency, payment terms and methods, countries, units
// and the invoice recipients of the CMNM add-on and the document layouts. TNavData reads
// each part at its first use (nav_company.cpp) and keeps it for a run; a new per-company
// read belongs here, beside the others.
#include <map>
#include <optional>
#include <string>

#include "invoice/invoice.h"

namespace velkaro {

// Code -> description or name. Codes are looked up upper-case and trimmed, as a NAV
// database on SQL Server compares them.
class TNavCodeTexts {
public:
    // The first text read for a code stays.
    void Add(const std::string& code, const std::string& text);
    // Empty for an empty or unknown code.
    std::string Find(const std::string& code) const;

private:
    std::map<std::string, std::string> FTexts;
};

struct TNavUnit {
    std::string Text;  // "Description"
    std::string Iso;   // "International Standard Code"
};

// The two recipient sources of a company, keyed by customer number exactly.
struct TNavRecipients {
    std::map<std::string, std::string> Cmnm;  // customer number -> CMNM addresses, joined by "; "
    std::map<std::string, std::string> Crs;   // customer number -> document-layout address
};

struct TNavCompanyData {
    std::string Company;
    std::optional<TSeller> Seller;  // "Company Information" as NAV holds it, without the settings' values
    std::optional<std::string> LcyCode;  // "General Ledger Setup"
    std::optional<TNavCodeTexts> PaymentTerms;
    std::optional<TNavCodeTexts> PaymentMethods;
    std::optional<TNavCodeTexts> Countries;
    std::optional<std::map<std::string, TNavUnit>> Units;  // by upper-case code
    std::optional<TNavRecipients> Recipients;
};

} // namespace velkaro
