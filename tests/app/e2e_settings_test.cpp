// The built program on its settings: "velkaro /pruefen" on the demo and on a broken
// file, the hints of a normal run, and the template a first run leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "demo_mail_setup.h"
#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

class SettingsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "program not built: " << test::VelkaroProgram();
    }
    void Run(const std::string& args) {
        const std::string out = Work.File("stdout.txt"), err = Work.File("stderr.txt");
        const std::string cmd = "cd '" + Work.Path() + "' && VELKARO_INI='" + Ini + "' '" + test::VelkaroProgram() +
                                "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int status = std::system(cmd.c_str());
        ExitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        Stdout = FileExists(out) ? ReadFileBytes(out) : "";
        Stderr = FileExists(err) ? ReadFileBytes(err) : "";
    }
    test::TempFolder Home;
    test::ScopedEnv Xdg{"XDG_CONFIG_HOME", Home.Path().c_str()};
    test::TempFolder Dir;   // the settings and what they name
    test::TempFolder Work;  // the working folder: nothing may land here
    std::string Ini = Dir.File("velkaro.ini");
    int ExitCode = -1;
    std::string Stdout, Stderr;
};

TEST_F(SettingsProgram, CheckOnTheDemoIsCleanAndOnABrokenFileExitsWithTwo) {
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"));
    Run("/pruefen");
    EXPECT_EQ(ExitCode, 0) << Stdout << Stderr;
    EXPECT_THAT(Stdout, HasSubstr("Einstellungsdatei: in Ordnung\nDatenordner: " + Dir.Path() + " (beschreibbar)\n"
                                  "Ausgabe: " + Dir.File("Ausgabe/") + " (beschreibbar)\nDatenbank: verbunden mit "));
    EXPECT_THAT(Stdout, HasSubstr("\nErgebnis: alles in Ordnung\n"));
    EXPECT_EQ(Stderr, "");
    EXPECT_FALSE(FileExists(Dir.File("velkaro.log")));
    EXPECT_FALSE(DirectoryExists(Dir.File("Ausgabe")));

    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"),
                                  {{"Verkäufer", "IBAN", "DE02 1203 0000 0000 2020 51"}});
    Run("/PRUEFEN");
    EXPECT_EQ(ExitCode, 2);
    EXPECT_THAT(Stdout, HasSubstr("unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?"));
    EXPECT_THAT(Stdout, HasSubstr("\nErgebnis: 1 Problem gefunden\n"));
}

// A normal run names the unknown section right after its start line; the invoice is
// still produced (with NAV's IBAN, which is why the hint matters).
TEST_F(SettingsProgram, ARunLogsUnknownNamesAfterItsStartLine) {
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"),
                                  {{"Verkäufer", "IBAN", "DE02 1203 0000 0000 2020 51"}});
    Run("/rg RE24-0001 /rg RE24-0002");
    EXPECT_EQ(ExitCode, 0) << Stderr;
    const std::vector<std::string> log = test::ReadBatchLog(Dir.File("velkaro.log"));
    ASSERT_GE(log.size(), 3u);
    EXPECT_TRUE(log[0].starts_with("Start Velkaro ")) << log[0];
    EXPECT_THAT(log[1], testing::MatchesRegex("  Hinweis Einstellungen: Zeile [0-9]+: unbekannter Abschnitt "
                                              "\\[Verkäufer\\] – gemeint ist \\[Verkaeufer\\]\\?"));
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("  Hinweis Einstellungen: "); }),
              1);
    EXPECT_TRUE(FileExists(Dir.File("Ausgabe/Rechnung_RE24-0001.pdf")));
}

// Without a settings file the first run leaves the commented template (the owner's
// alone), says so on stderr and in the log, and goes on with the defaults.
TEST_F(SettingsProgram, FirstRunLeavesTheTemplateAndSaysSo) {
    Run("/rg RE24-0001");
    const std::string note = "Einstellungsdatei " + Ini + " neu angelegt – bitte Abschnitt [Datenbank] eintragen";
    EXPECT_THAT(Stderr, HasSubstr("Velkaro: " + note + "\n"));
    EXPECT_EQ(ExitCode, 3);  // no database at localhost/Cronus
    const std::vector<std::string> log = test::ReadBatchLog(Dir.File("velkaro.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], note);
    struct stat st {};
    ASSERT_EQ(stat(Ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    const TIniFile ini = TIniFile::FromFile(Ini);
    EXPECT_EQ(ini.ReadString("Datenbank", "Server", "?"), "localhost");
    EXPECT_FALSE(ini.ValueExists("Ausgabe", "Ordner")) << "the template names no folder of this machine";
    EXPECT_THAT(ReadFileBytes(Ini), HasSubstr("\r\n; Verschluesselung=\r\n"));

    // The check of the new file: clean by itself, but no database behind it.
    Run("/pruefen");
    EXPECT_EQ(ExitCode, 2);
    EXPECT_THAT(Stdout, HasSubstr("Einstellungsdatei: in Ordnung\n"));
    // The connection error names what was tried and what the driver's answer means.
    EXPECT_THAT(Stdout, HasSubstr("\nDatenbank: FEHLER – "));
    EXPECT_THAT(Stdout, HasSubstr("Server localhost, Port: Vorgabe des Treibers (meist 1433), Datenbank Cronus, "
                                  "SQL-Anmeldung als sa."));
}

} // namespace
} // namespace velkaro
