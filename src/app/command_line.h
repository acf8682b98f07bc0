#pragma once
// The process arguments: which of the program's modes runs, and for a batch run its
// documents ("/rg", "/gs", "/von", "/bis", "/neu"), options and switches. A batch command line
// is checked strictly; the window's command line is left to the window.
#include <optional>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "platform/datetime.h"
#include "platform/error.h"

namespace velkaro {

// A batch command line that cannot be run as typed; the message names the switch.
class ECommandLineError : public Exception {
public:
    using Exception::Exception;
};

// rmCheck: "/pruefen", the settings and the connections checked, nothing produced.
// rmSecret: "/geheimnis" reads the mail client secret from standard input and stores it
// protected for the account that runs the program.
enum TRunMode { rmWindow, rmBatch, rmHelp, rmVersion, rmCheck, rmSecret };

struct TCommandLine {
    TRunMode Mode = rmWindow;
    // "/rg" (invoices) and "/gs" (credit memos), trimmed, command-line order, each
    // number of a kind once.
    std::vector<TDocumentRef> Documents;
    std::optional<std::string> Company;   // "/mandant", the last one wins
    std::optional<std::string> OutDir;    // "/out", the last one wins
    std::optional<TDateTime> DateFrom;    // "/von", a whole day
    std::optional<TDateTime> DateTo;      // "/bis", a whole day
    bool OnlyNew = false;                 // "/neu": only documents without a successful send
    bool Resend = false;                  // "/erneut": mail selected documents that were sent before
    std::optional<std::string> ResultFile;  // "/ergebnis": CSV with one line per document
    bool SaveXml = false;                 // switch "xml"
    bool Mail = false;                    // switch "mail"
    bool Layout = false;                  // switch "layout"

    // The documents come (also) from the database: by posting date or as not yet sent.
    bool SelectsByDate() const { return DateFrom || DateTo || OnlyNew; }
};

// args: the process arguments after the program path, already split and unquoted.
// `today` is the local date that "heute" and "gestern" mean. Only an empty command line
// or "/layout" opens the window; any other command line that is not the help, the
// version, "/pruefen" or "/geheimnis" is a batch. An unknown switch (alone as well), a
// switch without its value, a value that is a switch, an empty value, a date that is
// none or a batch without a selection raises ECommandLineError.
TCommandLine ParseCommandLine(const std::vector<std::string>& args, TDateTime today);

// "TT.MM.JJJJ" (also one-digit day and month, two-digit year 20JJ), "heute", "gestern";
// nullopt for anything else.
std::optional<TDateTime> ParseCommandLineDate(const std::string& text, TDateTime today);

// True when an argument is "/", "-" or "--" followed by the name, letter case ignored.
// Every switch of the program is accepted in each of these forms.
bool HasSwitch(const std::vector<std::string>& args, const std::string& name);

// The German help text of "/?", "-h", "--hilfe" and "--help", ending with a line break.
std::string CommandLineHelp();

} // namespace velkaro
