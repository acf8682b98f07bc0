// The built program as a scheduled job runs it: documents selected by posting date and
// as not yet sent, mailed to the local fake of Graph, run after run; a strict command
// line, help and version; one message when the company does not exist.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "demo_mail_setup.h"
#include "fake_graph_service.h"
#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::ShellQuoted;
using test::TFakeGraphService;

class ScheduledBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "program not built: " << test::VelkaroProgram();
    }

    // Runs the program; stdout into Stdout, stderr into Stderr, the log lines (without
    // time stamps) into Log when there is a log.
    void Run(const std::vector<std::string>& args) {
        std::string command = "cd " + ShellQuoted(Dir.Path()) + " && env VELKARO_INI=" + ShellQuoted(Ini) +
                              " XDG_CONFIG_HOME=" + ShellQuoted(Dir.Path()) + " LC_ALL=C.UTF-8 " +
                              ShellQuoted(test::VelkaroProgram());
        for (const std::string& arg : args) command += " " + ShellQuoted(arg);
        command += " 2>" + ShellQuoted(Dir.File("stderr.txt"));
        ExitCode = test::RunCommand("(" + command + ")", Stdout);
        Stderr = ReadFileBytes(Dir.File("stderr.txt"));
        Log = FileExists(LogFile()) ? test::ReadBatchLog(LogFile()) : std::vector<std::string>{};
    }
    std::string LogFile() const { return Dir.File("velkaro.log"); }
    std::vector<std::string> Lines(const std::string& text) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(text) != std::string::npos) out.push_back(line);
        return out;
    }
    static std::vector<std::string> MailedNumbers(const TFakeGraphService& fake, size_t from) {
        std::vector<std::string> numbers;
        const auto mails = fake.Mails();
        for (size_t i = from; i < mails.size(); ++i)
            for (const auto& a : mails[i].Attachments)
                if (a.Name.ends_with(".pdf")) numbers.push_back(a.Name.substr(9, a.Name.size() - 13));
        return numbers;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("out");
    int ExitCode = -1;
    std::string Stdout, Stderr;
    std::vector<std::string> Log;
};

// The nightly job: the week's invoices are mailed once; the same job again mails
// nothing; "/erneut" mails them again; a number named twice is mailed once.
TEST_F(ScheduledBatch, MailsADateRangeOnceAndSkipsWhatWasSent) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    const std::vector<std::string> week{"/von", "04.03.2024", "/bis", "07.03.2024", "/mail"};
    const std::string csv = Dir.File("ergebnis.csv");
    std::vector<std::string> args = week;
    args.insert(args.end(), {"/neu", "/ergebnis", csv});
    Run(args);

    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_EQ(Stdout, "Ende: 3 erzeugt, 3 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
    EXPECT_THAT(MailedNumbers(fake, 0), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003")) << "oldest first";
    EXPECT_EQ(fake.TokenRequests(), 1);
    ASSERT_GE(Log.size(), 3u);
    EXPECT_EQ(Log.front(), "Start Velkaro 0.1.0: Einstellungen " + Ini +
                               ", Auswahl Buchungsdatum 04.03.2024 bis 07.03.2024; nur noch nicht versendete; versenden");
    EXPECT_EQ(Log[1], "  Datenbank: Microsoft Dynamics NAV 2016 (9.00, Build 47256)");
    EXPECT_EQ(Log[2], "  Auswahl: 3 Rechnungen, Buchungsdatum 04.03.2024 bis 07.03.2024, davon 3 noch nicht versendet");
    EXPECT_EQ(Log.back(), "Ende: 3 erzeugt, 3 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
    const std::vector<std::string> results = test::ReadCrLfLines(csv);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0], "Nummer;Art;Status;PDF;Empfaenger;Meldung");
    EXPECT_EQ(results[1], "RE24-0001;Rechnung;versendet;" + Out +
                              "/Rechnung_RE24-0001.pdf;rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de;");

    // The same job again: nothing new, nothing mailed.
    Run(args);
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_EQ(fake.Mails().size(), 3u);
    EXPECT_EQ(Stdout, "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
    EXPECT_THAT(Lines("Auswahl: "), ElementsAre(HasSubstr("davon 0 noch nicht versendet")));
    EXPECT_EQ(fake.TokenRequests(), 1) << "no sign-in without a mail to send";

    // Without "/neu": the sent ones are skipped, each with a line.
    Run(week);
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_EQ(fake.Mails().size(), 3u);
    EXPECT_EQ(Stdout, "Ende: 0 erzeugt, 0 versendet, 3 übersprungen, 0 Fehler, 0 mit Befund\n");
    ASSERT_EQ(Lines(" übersprungen: am ").size(), 3u);
    EXPECT_THAT(Lines(" übersprungen: am ")[0], StartsWith("  RE24-0001 übersprungen: am "));

    // "/erneut" mails them again.
    args = week;
    args.push_back("/erneut");
    Run(args);
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_THAT(MailedNumbers(fake, 3), ElementsAre("RE24-0001", "RE24-0002", "RE24-0003"));

    // A number named twice, in any spelling, goes out once; named numbers are mailed
    // even when sent before.
    Run({"/rg", "RE24-0001", "/rg", " re24-0001 ", "/rg", "RE24-0001", "/mail"});
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_THAT(MailedNumbers(fake, 6), ElementsAre("RE24-0001"));
    EXPECT_EQ(Stdout, "Ende: 1 erzeugt, 1 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
}

TEST_F(ScheduledBatch, ProducesADateRangeAndANamedNumberWithoutDuplicates) {
    test::WriteDemoMailSettings(Ini, Out, "https://127.0.0.1:1");
    Run({"/bis", "04.03.2024", "/rg", "RE24-0001", "/rg", "RE24-0014", "/xml"});
    EXPECT_EQ(ExitCode, 0) << Stderr;
    // Named numbers first, then the selection: RE24-0015 (27.02.) and RE24-0001 (04.03.),
    // which was named already.
    EXPECT_THAT(Lines(" erzeugt: "), ElementsAre(StartsWith("RE24-0001 erzeugt: "), StartsWith("RE24-0014 erzeugt: "),
                                                 StartsWith("RE24-0015 erzeugt: ")));
    EXPECT_EQ(Stdout, "Ende: 3 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\n");
    EXPECT_TRUE(FileExists(Out + "/Rechnung_RE24-0015.xml"));
}

// Every command line that cannot run as typed: exit code 2, one German message naming
// the switch, nothing done (no log, no output folder).
TEST_F(ScheduledBatch, BadCommandLinesDoNothing) {
    test::WriteDemoMailSettings(Ini, Out, "https://127.0.0.1:1");
    struct Case {
        std::vector<std::string> Args;
        std::string Message;
    };
    const Case cases[] = {
        {{"/rg", "RE24-0001", "/mial"}, "Unbekannter Schalter \"/mial\" – gemeint ist /mail?"},
        {{"/rg", "RE24-0001", "/dryrun"}, "Unbekannter Schalter \"/dryrun\"."},
        {{"/rg", "RE24-0001", "--foo"}, "Unbekannter Schalter \"--foo\"."},
        {{"/rg", "RE24-0001", "/out"}, "Der Schalter /out braucht einen Wert (Ordner), er steht aber am Ende."},
        {{"/rg", "RE24-0001", "/out", ""}, "Der Schalter /out braucht einen Wert (Ordner), der Wert ist leer."},
        {{"/rg", "/mail"}, "Der Schalter /rg braucht einen Wert (Rechnungsnummer), gefunden wurde der Schalter \"/mail\"."},
        {{"/von", "31.02.2024"}, "Der Schalter /von erwartet ein Datum (TT.MM.JJJJ, heute oder gestern), nicht \"31.02.2024\"."},
        {{"/rg", "RE24-0001", "mail"}, "Unerwartetes Argument \"mail\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Join(c.Args, " "));
        Run(c.Args);
        EXPECT_EQ(ExitCode, 2);
        EXPECT_THAT(Stderr, StartsWith("Velkaro: " + c.Message));
        EXPECT_THAT(Stderr, HasSubstr("Hilfe: velkaro --hilfe"));
        EXPECT_EQ(Stdout, "");
        EXPECT_FALSE(FileExists(LogFile()));
        EXPECT_FALSE(DirectoryExists(Out));
    }
}

TEST_F(ScheduledBatch, HelpAndVersion) {
    for (const char* help : {"/?", "-h", "--hilfe", "--help"}) {
        SCOPED_TRACE(help);
        Run({help});
        EXPECT_EQ(ExitCode, 0);
        EXPECT_THAT(Stdout, StartsWith("Velkaro erstellt ZUGFeRD-Rechnungen"));
        EXPECT_THAT(Stdout, HasSubstr("  /von <Datum> "));
        EXPECT_THAT(Stdout, HasSubstr("  3  der Lauf konnte nicht beginnen"));
        EXPECT_EQ(Stderr, "");
    }
    Run({"--version"});
    EXPECT_EQ(ExitCode, 0);
    EXPECT_EQ(Stdout, "Velkaro 0.1.0\n");
    EXPECT_FALSE(FileExists(LogFile()));
}

// A company that does not exist: one message listing the companies, exit code 3, no
// invoice tried.
TEST_F(ScheduledBatch, UnknownCompanyListsTheCompanies) {
    test::WriteDemoMailSettings(Ini, Out, "https://127.0.0.1:1");
    Run({"/rg", "RE24-0001", "/rg", "RE24-0002", "/mandant", "Gibt es nicht"});
    EXPECT_EQ(ExitCode, 3);
    const std::string message = "Den Mandanten \"Gibt es nicht\" gibt es in der Datenbank nicht. Vorhandene Mandanten: "
                                "Muster GmbH, Nordwind Handels GmbH.";
    EXPECT_EQ(Stderr, "Velkaro: " + message + "\n");
    EXPECT_THAT(Lines("FEHLER"), ElementsAre("FEHLER: " + message));
    EXPECT_EQ(Log.back(), "Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund");
    EXPECT_FALSE(DirectoryExists(Out));
}

} // namespace
} // namespace velkaro
