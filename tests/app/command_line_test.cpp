#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace velkaro;

namespace {

using Args = std::vector<std::string>;

struct Case {
    const char* Name;
    Args In;
    Args InvoiceNos;
    std::optional<std::string> Company;
    std::optional<std::string> OutDir;
    bool Xml, Mail, Layout;
};

const Case kCases[] = {
    {"empty", {}, {}, {}, {}, false, false, false},
    {"two invoices and a company",
     {"/rg", "RE-100234", "/rg", "RE-100235", "/mandant", "Muster"},
     {"RE-100234", "RE-100235"}, "Muster", {}, false, false, false},
    {"switch without slash is no switch", {"/rg", "RE-100234", "xml"}, {"RE-100234"}, {}, {}, false, false, false},
    {"slash and dash switches", {"/rg", "RE-100234", "/xml", "-MAIL"}, {"RE-100234"}, {}, {}, true, true, false},
    {"upper-case /RG", {"/RG", "4711"}, {"4711"}, {}, {}, false, false, false},
    {"dash form of rg is ignored", {"-rg", "4711"}, {}, {}, {}, false, false, false},
    {"rg as last argument is ignored", {"/rg", "1", "/rg"}, {"1"}, {}, {}, false, false, false},
    {"only a trailing rg", {"/mandant", "Muster", "/rg"}, {}, "Muster", {}, false, false, false},
    {"duplicates kept in order", {"/rg", "4711", "/rg", "0815", "/rg", "4711"}, {"4711", "0815", "4711"}, {}, {},
     false, false, false},
    {"later mandant and out win",
     {"/mandant", "A", "/out", "/tmp/a", "/MANDANT", "B", "/Out", "/tmp/b"},
     {}, "B", "/tmp/b", false, false, false},
    {"rg consumes its value even when it reads /rg", {"/rg", "/rg", "X"}, {"/rg"}, {}, {}, false, false, false},
    // The second scan steps one position at a time, so a value may itself be an option.
    {"mandant takes /out as its value", {"/mandant", "/out", "X"}, {}, "/out", "X", false, false, false},
    {"rg value is also seen by the second scan", {"/rg", "/mandant", "M"}, {"/mandant"}, "M", {}, false, false, false},
    {"mandant as last argument is ignored", {"/rg", "1", "/mandant"}, {"1"}, {}, {}, false, false, false},
    {"empty values are values", {"/rg", "", "/out", ""}, {""}, {}, "", false, false, false},
    {"layout switch", {"-Layout"}, {}, {}, {}, false, false, true},
    {"switch needs the exact name", {"/xmlx", "--xml", "/", "-", "xml"}, {}, {}, {}, false, false, false},
    {"numbers taken exactly as typed", {"/rg", " re-1 "}, {" re-1 "}, {}, {}, false, false, false},
    {"switch also counts as a value position", {"/rg", "/xml"}, {"/xml"}, {}, {}, true, false, false},
};

} // namespace

TEST(CommandLine, ScansArgumentsExactly) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.Name);
        const TCommandLine cmd = ParseCommandLine(c.In);
        EXPECT_EQ(cmd.InvoiceNos, c.InvoiceNos);
        EXPECT_EQ(cmd.Company, c.Company);
        EXPECT_EQ(cmd.OutDir, c.OutDir);
        EXPECT_EQ(cmd.SaveXml, c.Xml);
        EXPECT_EQ(cmd.Mail, c.Mail);
        EXPECT_EQ(cmd.Layout, c.Layout);
    }
}

TEST(CommandLine, HasSwitchIgnoresCaseOnly) {
    EXPECT_TRUE(HasSwitch({"a", "/LaYoUt"}, "layout"));
    EXPECT_TRUE(HasSwitch({"-layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"\\layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"/layout "}, "layout"));
    EXPECT_FALSE(HasSwitch({}, "layout"));
}
