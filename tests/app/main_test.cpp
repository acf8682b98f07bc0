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
    std::string Stderr;
};

RunResult RunProgram(const TempFolder& dir, const std::string& args) {
    const std::string err = dir.File("stderr.txt");
    const std::string cmd = "'" + ProgramPath() + "' " + args + " >/dev/null 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
    RunResult r;
    if (status != -1 && WIFEXITED(status))
        r.ExitCode = WEXITSTATUS(status);
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
    for (const char* args : {"", "-layout", "/mandant Muster", "-rg 4711"}) {
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
    for (const char* args : {"", "-layout", "/mandant Muster", "-rg 4711"}) {
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
}
