// Runs the built program as a user would: exit codes and German messages on stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::ScopedEnv;
using velkaro::test::TempFolder;

namespace {

std::string ProgramPath() {
    if (const char* dir = std::getenv("VELKARO_BINARY_DIR"); dir && *dir)
        return CombinePath(dir, "velkaro");
    // The suite lies in <build>/tests, the program in <build>.
    return ExtractFilePath(ExecutablePath()) + "../velkaro";
}

struct RunResult {
    int ExitCode = -1;
    std::string Stdout;
    std::string Stderr;
};

RunResult RunProgram(const TempFolder& dir, const std::string& args) {
    const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
    const std::string cmd = "'" + ProgramPath() + "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
    RunResult r;
    if (status != -1 && WIFEXITED(status))
        r.ExitCode = WEXITSTATUS(status);
    if (FileExists(out))
        r.Stdout = ReadFileBytes(out);
    if (FileExists(err))
        r.Stderr = ReadFileBytes(err);
    return r;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(ProgramPath())) VELKARO_SKIP_UNLESS_CI() << "program not built: " << ProgramPath();
    }
    TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    ScopedEnv Env{"VELKARO_INI", Ini.c_str()};
};

} // namespace

#ifndef VELKARO_WITH_UI
TEST_F(Program, WithoutInvoicesItExplainsThatThisBuildHasNoUserInterface) {
    for (const char* args : {"", "-layout", "--LAYOUT"}) {
        SCOPED_TRACE(args);
        RunResult r = RunProgram(Dir, args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_NE(r.Stderr.find("keine Benutzeroberfläche"), std::string::npos) << r.Stderr;
        EXPECT_NE(r.Stderr.find("/rg"), std::string::npos) << r.Stderr;
    }
    EXPECT_FALSE(FileExists(Dir.File("velkaro.log")));
}
#else
// Without any display the window cannot open: the program says so and names the batch,
// instead of failing inside the window toolkit.
TEST_F(Program, WithoutInvoicesAndWithoutADisplayItExplainsTheBatch) {
    ScopedEnv noX("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr), noQt("QT_QPA_PLATFORM", nullptr);
    for (const char* args : {"", "-layout", "--LAYOUT"}) {
        SCOPED_TRACE(args);
        RunResult r = RunProgram(Dir, args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_NE(r.Stderr.find("Kein Bildschirm"), std::string::npos) << r.Stderr;
        EXPECT_NE(r.Stderr.find("/rg"), std::string::npos) << r.Stderr;
    }
    EXPECT_FALSE(FileExists(Dir.File("velkaro.log")));
}

// The batch creates no window object: it runs (and writes its log) without any display.
TEST_F(Program, BatchRunNeedsNoDisplay) {
    ScopedEnv noX("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr), noQt("QT_QPA_PLATFORM", nullptr);
    RunResult r = RunProgram(Dir, "/rg 4711");
    EXPECT_EQ(r.ExitCode, 3) << "no database";
    EXPECT_EQ(r.Stderr.find("Bildschirm"), std::string::npos) << r.Stderr;
    EXPECT_EQ(r.Stderr.find("qt."), std::string::npos) << r.Stderr;
    EXPECT_TRUE(FileExists(Dir.File("velkaro.log")));
}
#endif

// Without a settings file the database is the default SQL Server, which is not there:
// the batch (not the designer) runs and ends once, before the first invoice, with one
// German message and exit code 3, in the log as well.
TEST_F(Program, BatchRunWithUnreachableDatabaseEndsWithItsError) {
    RunResult r = RunProgram(Dir, "/rg 4711 /rg 4712 /rg 4713 -layout");
    EXPECT_EQ(r.ExitCode, 3);
    // The settings file did not exist: the first run says where it left one, then the error.
    const std::string created = "Velkaro: Einstellungsdatei " + Ini + " neu angelegt – bitte Abschnitt [Datenbank] eintragen\n";
    EXPECT_EQ(r.Stderr.rfind(created, 0), 0u) << r.Stderr;
    EXPECT_EQ(r.Stderr.find("Velkaro: Die Datenbank ist nicht erreichbar: "), created.size()) << r.Stderr;
    EXPECT_EQ(std::count(r.Stderr.begin(), r.Stderr.end(), '\n'), 2) << r.Stderr;
    EXPECT_EQ(r.Stderr.find("Benutzeroberfläche"), std::string::npos) << r.Stderr;
    ASSERT_TRUE(FileExists(Dir.File("velkaro.log")));
    const std::string log = ReadFileBytes(Dir.File("velkaro.log"));
    EXPECT_NE(log.find(" FEHLER: Die Datenbank ist nicht erreichbar: "), std::string::npos) << log;
    EXPECT_EQ(log.find("FEHLER 47"), std::string::npos) << "no invoice was tried: " << log;
    EXPECT_NE(log.find(" Ende: 0 erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, 0 mit Befund\r\n"), std::string::npos);
    EXPECT_EQ(r.Stdout, "") << "a run that could not start prints no end line";
}

// A mistyped switch is named, alone as well: neither the window nor the note about a
// missing display, and no log.
TEST_F(Program, AMistypedSwitchAloneIsNamed) {
    ScopedEnv noX("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr), noQt("QT_QPA_PLATFORM", nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"/pruefn", "Velkaro: Unbekannter Schalter \"/pruefn\" – gemeint ist /pruefen? Hilfe: velkaro --hilfe\n"},
        {"-v", "Velkaro: Unbekannter Schalter \"-v\". Hilfe: velkaro --hilfe\n"},
        {"/mial", "Velkaro: Unbekannter Schalter \"/mial\" – gemeint ist /mail? Hilfe: velkaro --hilfe\n"},
        {"/out ''", "Velkaro: Der Schalter /out braucht einen Wert (Ordner), der Wert ist leer. Hilfe: velkaro --hilfe\n"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args);
        const RunResult r = RunProgram(Dir, args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_EQ(r.Stderr, message);
        EXPECT_EQ(r.Stdout, "");
    }
    // "/hilfe" is the help like "--hilfe": every switch has its "/" and "-" forms.
    for (const char* help : {"/hilfe", "-hilfe", "/help", "'-?'"}) {
        SCOPED_TRACE(help);
        const RunResult r = RunProgram(Dir, help);
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_NE(r.Stdout.find("/usr/bin/velkaro"), std::string::npos) << r.Stdout;
        EXPECT_EQ(r.Stdout.find("/usr/local"), std::string::npos) << r.Stdout;
        EXPECT_EQ(r.Stdout.find("sudo"), std::string::npos) << r.Stdout;
    }
    EXPECT_FALSE(FileExists(Dir.File("velkaro.log")));
    EXPECT_FALSE(FileExists(Ini));
}
