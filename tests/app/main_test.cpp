// Runs the built program as a user would: exit codes and German messages on stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

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

// Runs `program args...` as a child and waits; the child's process id and exit code.
struct ChildRun {
    pid_t Pid = -1;
    int ExitCode = -1;
};

ChildRun RunChild(const std::string& program, const std::vector<std::string>& args, const std::string& stderrFile) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ChildRun r;
    r.Pid = fork();
    if (r.Pid == 0) {
        if (!freopen(stderrFile.c_str(), "w", stderr)) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (r.Pid > 0 && waitpid(r.Pid, &status, 0) == r.Pid && WIFEXITED(status)) r.ExitCode = WEXITSTATUS(status);
    return r;
}

// A copy of the built batch program in a folder of its own ("bin/velkaro"), where a
// fake window program can be put beside it or into the private folder: the fake writes
// its process id, its arguments and VELKARO_INI to a file and exits with 42.
class DesktopStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(ProgramPath())) VELKARO_SKIP_UNLESS_CI() << "program not built: " << ProgramPath();
        ForceDirectories(Dir.File("bin"));
        std::filesystem::copy_file(ProgramPath(), Batch);
    }
    void PutFakeDesktop(const std::string& path) {
        ForceDirectories(ExtractFilePath(path));
        WriteFileBytes(path,
                       "#!/bin/sh\n"
                       "{ echo \"pid:$$\"; for a in \"$@\"; do echo \"arg:$a\"; done; echo \"ini:$VELKARO_INI\"; } > '" +
                           Report + "'\nexit 42\n",
                       0755);
    }
    std::vector<std::string> ReportLines() const {
        std::vector<std::string> lines;
        std::string text = FileExists(Report) ? ReadFileBytes(Report) : "";
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
    TempFolder Dir;
    std::string Batch = Dir.File("bin/velkaro");
    std::string Report = Dir.File("desktop-report.txt");
    std::string Err = Dir.File("stderr.txt");
    std::string Ini = Dir.File("eigene.ini");
    ScopedEnv Env{"VELKARO_INI", Ini.c_str()};
};

// Without documents on the command line the window's program takes the batch's place:
// the same process (so the window gets the signals and its exit code is the program's),
// the same arguments, the same settings file.
TEST_F(DesktopStart, WindowProgramReplacesTheProcessWithTheSameArguments) {
    struct Case {
        const char* Where;
        std::vector<std::string> Args;
    };
    const Case cases[] = {
        {"bin/velkaro-desktop", {}},
        {"bin/velkaro-desktop", {"/layout"}},
        {"bin/velkaro-desktop", {"/mandant", "Muster GmbH & Co. KG", "-layout"}},
        {"lib/velkaro/velkaro-desktop", {"/layout"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Where + (c.Args.empty() ? std::string() : " " + c.Args[0]));
        std::filesystem::remove(Dir.File("bin/velkaro-desktop"));
        std::filesystem::remove_all(Dir.File("lib"));
        std::filesystem::remove(Report);
        PutFakeDesktop(Dir.File(c.Where));
        ChildRun r = RunChild(Batch, c.Args, Err);
        EXPECT_EQ(r.ExitCode, 42) << ReadFileBytes(Err);
        std::vector<std::string> expected{"pid:" + std::to_string(r.Pid)};
        for (const std::string& a : c.Args) expected.push_back("arg:" + a);
        expected.push_back("ini:" + Ini);
        EXPECT_EQ(ReportLines(), expected);
    }
}

// Started without VELKARO_INI, the window still reads the batch's settings file, not one
// named after its own program.
TEST_F(DesktopStart, WindowProgramGetsTheBatchsSettingsFile) {
    ScopedEnv noIni("VELKARO_INI", nullptr);
    PutFakeDesktop(Dir.File("bin/velkaro-desktop"));
    ChildRun r = RunChild(Batch, {}, Err);
    EXPECT_EQ(r.ExitCode, 42) << ReadFileBytes(Err);
    const std::vector<std::string> lines = ReportLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::string ini = lines[1];
    EXPECT_EQ(ini.rfind("ini:/", 0), 0u) << ini;
    EXPECT_EQ(ExtractFileName(ini), "velkaro.ini") << ini;
}

// Without the window's program the batch says which package is missing and names the
// batch's switches; it never falls back to something else.
TEST_F(DesktopStart, WithoutTheWindowProgramItNamesThePackage) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"/layout"}}) {
        ChildRun r = RunChild(Batch, args, Err);
        EXPECT_EQ(r.ExitCode, 2);
        const std::string err = ReadFileBytes(Err);
        EXPECT_NE(err.find("Paket velkaro-desktop"), std::string::npos) << err;
        EXPECT_NE(err.find("velkaro /rg <Rechnungsnummer>"), std::string::npos) << err;
    }
    // A file that is there but may not be run is no window program either.
    WriteFileBytes(Dir.File("bin/velkaro-desktop"), "#!/bin/sh\nexit 42\n", 0644);
    EXPECT_EQ(RunChild(Batch, {}, Err).ExitCode, 2);
    EXPECT_FALSE(FileExists(Dir.File("velkaro.log")));
}

// The batch links no window library and loads none while it runs (also none opened
// later, e.g. through a database driver): the libraries the loader reports.
TEST_F(DesktopStart, BatchLoadsNoQt) {
    ScopedEnv trace("LD_DEBUG", "files");
    ChildRun r = RunChild(Batch, {"/rg", "4711"}, Err);
    EXPECT_EQ(r.ExitCode, 3) << "no database";
    const std::string loaded = ReadFileBytes(Err);
    EXPECT_NE(loaded.find("libc.so"), std::string::npos) << "the loader reported nothing: " << loaded;
    EXPECT_EQ(loaded.find("libQt"), std::string::npos) << loaded;
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
