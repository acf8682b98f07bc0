#include "app/command_line.h"

#include "platform/text.h"

namespace velkaro {

bool HasSwitch(const std::vector<std::string>& args, const std::string& name) {
    for (const std::string& a : args)
        if (!a.empty() && (a[0] == '/' || a[0] == '-') && SameText(std::string_view(a).substr(1), name))
            return true;
    return false;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine result;
    // Invoice numbers: "/rg" consumes its value, so a number may itself read "/rg".
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (SameText(args[i], "/rg")) {
            result.InvoiceNos.push_back(args[i + 1]);
            ++i;
        }
    }
    // Company and output folder: a separate scan that steps one position at a time.
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (SameText(args[i], "/mandant"))
            result.Company = args[i + 1];
        else if (SameText(args[i], "/out"))
            result.OutDir = args[i + 1];
    }
    result.SaveXml = HasSwitch(args, "xml");
    result.Mail = HasSwitch(args, "mail");
    result.Layout = HasSwitch(args, "layout");
    return result;
}

} // namespace velkaro
