#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/text.h"

using namespace velkaro;

namespace {

using Args = std::vector<std::string>;

const TDateTime kToday = EncodeDate(2024, 3, 5);

struct Case {
    const char* Name;
    Args In;
    TRunMode Mode;
    Args Documents;  // invoice numbers, credit memos as "gs <no>"
    std::optional<std::string> Company;
    std::optional<std::string> OutDir;
    bool Xml, Mail, Layout;
};

const Case kCases[] = {
    {"empty: the window", {}, rmWindow, {}, {}, {}, false, false, false},
    {"two invoices and a company",
     {"/rg", "RE-100234", "/rg", "RE-100235", "/mandant", "Muster"},
     rmBatch, {"RE-100234", "RE-100235"}, "Muster", {}, false, false, false},
    {"slash and dash switches", {"/rg", "RE-100234", "/xml", "-MAIL"}, rmBatch, {"RE-100234"}, {}, {}, true, true, false},
    {"upper-case /RG", {"/RG", "4711"}, rmBatch, {"4711"}, {}, {}, false, false, false},
    // Every switch in each of its forms: "/", "-" and "--".
    {"dash forms select as well", {"-rg", "4711", "--GS", "G1", "--xml", "-mandant", "M"}, rmBatch,
     {"4711", "gs G1"}, "M", {}, true, false, false},
    {"layout switch", {"-Layout"}, rmWindow, {}, {}, {}, false, false, true},
    // Known switches without a selection open the window, as they always did.
    {"company and mail without documents", {"/mandant", "Muster", "/mail"}, rmWindow, {}, "Muster", {}, false, true, false},
    {"xml alone", {"--xml"}, rmWindow, {}, {}, {}, true, false, false},
    {"layout switch twice", {"/layout", "--layout"}, rmWindow, {}, {}, {}, false, false, true},
    // A number named twice (also in other letter case) is processed once.
    {"duplicates once, first spelling kept", {"/rg", "4711", "/rg", "re-1", "/rg", "4711", "/rg", "RE-1"}, rmBatch,
     {"4711", "re-1"}, {}, {}, false, false, false},
    {"later mandant and out win",
     {"/rg", "1", "/mandant", "A", "/out", "/tmp/a", "/MANDANT", "B", "/Out", "/tmp/b"},
     rmBatch, {"1"}, "B", "/tmp/b", false, false, false},
    {"numbers are trimmed", {"/rg", " re-1 ", "/rg", "\tRE-2"}, rmBatch, {"re-1", "RE-2"}, {}, {}, false, false, false},
    {"a number may start with a dash", {"/rg", "-RE24-19"}, rmBatch, {"-RE24-19"}, {}, {}, false, false, false},
    {"a folder may start with a slash", {"/rg", "1", "/out", "/srv/rechnungen"}, rmBatch, {"1"}, {}, "/srv/rechnungen",
     false, false, false},
    {"layout beside a batch", {"/rg", "1", "-layout"}, rmBatch, {"1"}, {}, {}, false, false, true},
    {"a credit memo alone is a batch", {"/gs", " GS24-0001 "}, rmBatch, {"gs GS24-0001"}, {}, {}, false, false, false},
    // Mixed in the order given; one number is once per kind, but may name both kinds.
    {"credit memos mixed with invoices",
     {"/rg", "RE1", "/GS", "GS1", "/rg", "RE2", "/gs", "gs1", "/gs", "RE1", "/rg", "re1"},
     rmBatch, {"RE1", "gs GS1", "RE2", "gs RE1"}, {}, {}, false, false, false},
};

Args Shown(const std::vector<TDocumentRef>& docs) {
    Args shown;
    for (const TDocumentRef& d : docs) shown.push_back(d.Kind == bkCreditMemo ? "gs " + d.No : d.No);
    return shown;
}

} // namespace

TEST(CommandLine, ReadsModesAndValues) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.Name);
        const TCommandLine cmd = ParseCommandLine(c.In, kToday);
        EXPECT_EQ(cmd.Mode, c.Mode);
        EXPECT_EQ(Shown(cmd.Documents), c.Documents);
        EXPECT_EQ(cmd.Company, c.Company);
        EXPECT_EQ(cmd.OutDir, c.OutDir);
        EXPECT_EQ(cmd.SaveXml, c.Xml);
        EXPECT_EQ(cmd.Mail, c.Mail);
        EXPECT_EQ(cmd.Layout, c.Layout);
    }
}

// Every batch command line that cannot run as typed is refused, naming what is wrong.
TEST(CommandLine, RefusesWhatItCannotRunAndNamesTheSwitch) {
    struct Refusal {
        Args In;
        std::string Message;  // the start of the message
    };
    const Refusal cases[] = {
        {{"/rg", "1", "/mial"}, "Unbekannter Schalter \"/mial\" – gemeint ist /mail?"},
        {{"/rg", "1", "/dryrun"}, "Unbekannter Schalter \"/dryrun\"."},
        {{"/rg", "1", "--foo"}, "Unbekannter Schalter \"--foo\"."},
        // Alone, without a selection, a mistyped switch is named just the same: the
        // window never opens for it.
        {{"/pruefn"}, "Unbekannter Schalter \"/pruefn\" – gemeint ist /pruefen?"},
        {{"-v"}, "Unbekannter Schalter \"-v\"."},
        {{"/mial"}, "Unbekannter Schalter \"/mial\" – gemeint ist /mail?"},
        {{"/geheimnisse"}, "Unbekannter Schalter \"/geheimnisse\" – gemeint ist /geheimnis?"},
        {{"/layout", "-platform", "offscreen"}, "Unbekannter Schalter \"-platform\""},
        {{"/out", ""}, "Der Schalter /out braucht einen Wert (Ordner), der Wert ist leer."},
        {{"geheimnis"}, "Unerwartetes Argument \"geheimnis\""},
        {{"/"}, "Unerwartetes Argument \"/\""},
        {{"/rg", "RE-1", "xml"}, "Unerwartetes Argument \"xml\""},
        {{"/rg"}, "Der Schalter /rg braucht einen Wert (Rechnungsnummer), er steht aber am Ende."},
        {{"/rg", "1", "/mandant"}, "Der Schalter /mandant braucht einen Wert (Mandant), er steht aber am Ende."},
        {{"/rg", "1", "/out"}, "Der Schalter /out braucht einen Wert (Ordner), er steht aber am Ende."},
        {{"/rg", "1", "/out", ""}, "Der Schalter /out braucht einen Wert (Ordner), der Wert ist leer."},
        {{"/rg", "1", "/out", "  "}, "Der Schalter /out braucht einen Wert (Ordner), der Wert ist leer."},
        {{"/rg", ""}, "Der Schalter /rg braucht einen Wert (Rechnungsnummer), der Wert ist leer."},
        {{"/rg", "/mail"}, "Der Schalter /rg braucht einen Wert (Rechnungsnummer), gefunden wurde der Schalter \"/mail\"."},
        {{"/rg", "/rg", "X"}, "Der Schalter /rg braucht einen Wert (Rechnungsnummer), gefunden wurde der Schalter \"/rg\"."},
        {{"/rg", "1", "/mandant", "/out", "X"}, "Der Schalter /mandant braucht einen Wert (Mandant), gefunden wurde"},
        {{"/rg", "1", "/out", "-xml"}, "Der Schalter /out braucht einen Wert (Ordner), gefunden wurde der Schalter \"-xml\"."},
        {{"/von", "32.01.2024"}, "Der Schalter /von erwartet ein Datum (TT.MM.JJJJ, heute oder gestern), nicht \"32.01.2024\"."},
        {{"/bis", "morgen"}, "Der Schalter /bis erwartet ein Datum"},
        {{"/von", "05.03.2024", "/bis", "04.03.2024"}, "Der Zeitraum ist leer: /von 05.03.2024 liegt nach /bis 04.03.2024."},
        {{"/neu", "/erneut", "/mail"}, "Die Schalter /neu und /erneut schließen einander aus."},
        {{"/von", "heute", "/erneut"}, "Der Schalter /erneut gilt nur zusammen mit /mail."},
        {{"/gs"}, "Der Schalter /gs braucht einen Wert (Nummer der Rechnungskorrektur), er steht aber am Ende."},
        {{"/rg", "1", "/gs", "/rg", "2"},
         "Der Schalter /gs braucht einen Wert (Nummer der Rechnungskorrektur), gefunden wurde der Schalter \"/rg\"."},
        {{"/ergebnis", "/mail", "/rg", "1"}, "Der Schalter /ergebnis braucht einen Wert (Datei)"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(Join(c.In, " "));
        std::string error;
        try {
            ParseCommandLine(c.In, kToday);
            ADD_FAILURE() << "accepted";
        } catch (const ECommandLineError& e) {
            error = e.what();
        }
        EXPECT_TRUE(error.starts_with(c.Message)) << error;
        EXPECT_TRUE(error.ends_with("Hilfe: velkaro --hilfe")) << error;
    }
}

TEST(CommandLine, SelectionByDateAndTheBatchSwitches) {
    const TCommandLine cmd = ParseCommandLine(
        {"/von", "1.3.24", "/bis", "gestern", "/neu", "/ergebnis", "erg.csv", "/MANDANT", " Muster "}, kToday);
    EXPECT_EQ(cmd.Mode, rmBatch);
    EXPECT_EQ(cmd.DateFrom, EncodeDate(2024, 3, 1));
    EXPECT_EQ(cmd.DateTo, EncodeDate(2024, 3, 4));
    EXPECT_TRUE(cmd.OnlyNew);
    EXPECT_TRUE(cmd.SelectsByDate());
    EXPECT_EQ(cmd.ResultFile, "erg.csv");
    EXPECT_EQ(cmd.Company, "Muster");

    // "/neu" alone selects every document not yet sent; "/erneut" goes with "/mail".
    for (const Args& args : {Args{"/neu"}, Args{"-NEU"}}) {
        const TCommandLine onlyNew = ParseCommandLine(args, kToday);
        EXPECT_EQ(onlyNew.Mode, rmBatch);
        EXPECT_TRUE(onlyNew.SelectsByDate());
    }
    const TCommandLine resend = ParseCommandLine({"/von", "heute", "/mail", "/erneut"}, kToday);
    EXPECT_TRUE(resend.Resend);
    EXPECT_EQ(resend.DateFrom, kToday);
    EXPECT_FALSE(ParseCommandLine({"/rg", "1"}, kToday).SelectsByDate());
}

TEST(CommandLine, GermanDates) {
    struct DateCase {
        const char* Text;
        std::optional<TDateTime> Date;
    };
    const DateCase cases[] = {
        {"05.03.2024", EncodeDate(2024, 3, 5)}, {"5.3.2024", EncodeDate(2024, 3, 5)}, {"5.3.24", EncodeDate(2024, 3, 5)},
        {"29.02.2024", EncodeDate(2024, 2, 29)}, {"HEUTE", kToday},             {" gestern ", kToday - 1},
        {"29.02.2023", std::nullopt},           {"2024-03-05", std::nullopt},    {"5.3.", std::nullopt},
        {"05.03.20245", std::nullopt},          {"5.3.202", std::nullopt},       {"a.b.cccc", std::nullopt},
        {"+5.3.2024", std::nullopt},            {"", std::nullopt},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParseCommandLineDate(c.Text, kToday + 0.75), c.Date) << "the time of day of today is cut";
    }
}

// "/geheimnis" stores the secret and does nothing else, whatever else is named.
TEST(CommandLine, SecretSwitchSelectsItsOwnMode) {
    struct Case {
        std::vector<std::string> args;
        TRunMode mode;
    } cases[] = {
        {{"/geheimnis"}, rmSecret},
        {{"-GEHEIMNIS"}, rmSecret},
        {{"/rg", "1", "/mail", "/geheimnis"}, rmSecret},
        {{"/geheimnis", "--hilfe"}, rmHelp},
        {{"--geheimnis"}, rmSecret},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCommandLine(c.args, kToday).Mode, c.mode) << c.args.back();
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    for (const char* help : {"/?", "-h", "--hilfe", "--help", "--HELP", "/hilfe", "-?", "/h", "-help"}) {
        SCOPED_TRACE(help);
        EXPECT_EQ(ParseCommandLine({"/rg", "1", "/mial", help}, kToday).Mode, rmHelp);
    }
    EXPECT_EQ(ParseCommandLine({"--version"}, kToday).Mode, rmVersion);
    EXPECT_EQ(ParseCommandLine({"/version"}, kToday).Mode, rmVersion);
    EXPECT_EQ(ParseCommandLine({"/rg", "--version"}, kToday).Mode, rmVersion);
    // Every switch of the batch is explained, with exit codes and a cron line.
    const std::string help = CommandLineHelp();
    for (const char* item : {"/rg", "/gs", "/von", "/bis", "/neu", "/mandant", "/out", "/xml", "/mail", "/erneut", "/ergebnis",
                             "/pruefen", "/layout", "/geheimnis", "--hilfe", "--version", "heute", "gestern",
                             "0  alles erledigt",
                             "1  einzelne", "2  Aufruf", "3  der Lauf", "0 2 * * *"})
        EXPECT_NE(help.find(item), std::string::npos) << item;
}

// "/pruefen" checks and does nothing else, so it stands alone; help still wins.
TEST(CommandLine, CheckStandsAlone) {
    for (const char* check : {"/pruefen", "-pruefen", "/PRUEFEN"}) {
        SCOPED_TRACE(check);
        const TCommandLine cmd = ParseCommandLine({check}, kToday);
        EXPECT_EQ(cmd.Mode, rmCheck);
        EXPECT_TRUE(cmd.Documents.empty());
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"/pruefen", "/rg", "1"}, {"/rg", "1", "/pruefen"}, {"/pruefen", "/mail"}, {"/rg", "/pruefen"}}) {
        SCOPED_TRACE(Join(args, " "));
        try {
            ParseCommandLine(args, kToday);
            ADD_FAILURE() << "no error";
        } catch (const ECommandLineError& e) {
            EXPECT_NE(std::string(e.what()).find("Der Schalter /pruefen steht allein"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ParseCommandLine({"/pruefen", "--hilfe"}, kToday).Mode, rmHelp);
    EXPECT_THROW(ParseCommandLine({"pruefen"}, kToday), ECommandLineError);
    EXPECT_EQ(ParseCommandLine({"--pruefen"}, kToday).Mode, rmCheck);
}

TEST(CommandLine, HasSwitchIgnoresCaseOnly) {
    EXPECT_TRUE(HasSwitch({"a", "/LaYoUt"}, "layout"));
    EXPECT_TRUE(HasSwitch({"-layout"}, "layout"));
    EXPECT_TRUE(HasSwitch({"--layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"---layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"\\layout"}, "layout"));
    EXPECT_FALSE(HasSwitch({"/layout "}, "layout"));
    EXPECT_FALSE(HasSwitch({}, "layout"));
}
