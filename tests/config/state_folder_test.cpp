#include "config/state_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "config/settings.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

class StateFolder : public ::testing::Test {
protected:
    test::TempFolder Dir;
    test::TempFolder StateHome;
    test::ScopedEnv Xdg{"XDG_STATE_HOME", StateHome.Path().c_str()};
    test::ScopedEnv Config{"XDG_CONFIG_HOME", Dir.File("config").c_str()};
};

// [Ausgabe] Datenordner wins, relative to the settings folder; unset, the settings folder
// serves while this account may write there (also when it is still to be made).
TEST_F(StateFolder, TheKeyElseTheSettingsFolder) {
    const std::string ini = Dir.File("velkaro.ini");
    struct Case {
        const char* Configured;
        std::string Expected;
    } cases[] = {
        {"/srv/velkaro", "/srv/velkaro/"},
        {"/srv/velkaro/", "/srv/velkaro/"},
        {"zustand", Dir.File("zustand/")},
        {" ../daten ", AbsolutePath(Dir.File("../daten")) + "/"},
        {"", Dir.Path()},
        {"  ", Dir.Path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Configured);
        const TStateFolder state = ResolveStateFolder(ini, c.Configured);
        EXPECT_EQ(state.Folder, c.Expected);
        EXPECT_EQ(state.Hint, "");
    }
    // A settings folder that does not exist yet, below one this account may write.
    EXPECT_EQ(ResolveStateFolder(Dir.File("neu/velkaro.ini"), "").Folder, Dir.File("neu/"));
    EXPECT_EQ(StateFilePath(ResolveStateFolder(ini, "z"), Dir.File("firma-a.ini"), ".log"), Dir.File("z/firma-a.log"));
}

// Every name of one settings file gives one state: a link, a chain of links, a linked
// folder are named after the file they reach, and Datenordner counts from its folder; a
// link to a file not yet made after the file it would make.
TEST_F(StateFolder, LinksToTheSettingsGiveTheStateOfTheirTarget) {
    const std::string real = Dir.File("etc/velkaro.ini");
    ForceDirectories(Dir.File("etc"));
    WriteTextFile(real, "[Ausgabe]\nDatenordner=zustand\n");
    ASSERT_EQ(::symlink(real.c_str(), Dir.File("link.ini").c_str()), 0);
    ASSERT_EQ(::symlink("link.ini", Dir.File("kette.ini").c_str()), 0);
    ASSERT_EQ(::symlink(Dir.File("etc").c_str(), Dir.File("etc-link").c_str()), 0);
    ASSERT_EQ(::symlink("etc/neu.ini", Dir.File("neu-link.ini").c_str()), 0);
    ASSERT_EQ(::symlink("schleife.ini", Dir.File("schleife.ini").c_str()), 0);
    for (const std::string name : {real, Dir.File("link.ini"), Dir.File("kette.ini"), Dir.File("etc-link/velkaro.ini"),
                                   Dir.File("etc-link/../link.ini")}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(RealSettingsPath(name), real);
        EXPECT_EQ(StateFilePath(StateFolderOf(name), name, ".lock"), Dir.File("etc/zustand/velkaro.lock"));
        EXPECT_EQ(TSettings(name, TSettingsAccess::saReadOnly).MailLogFile,
                  Dir.File("etc/zustand/velkaro.versand.csv"));
    }
    EXPECT_EQ(RealSettingsPath(Dir.File("neu-link.ini")), Dir.File("etc/neu.ini"));
    EXPECT_EQ(StateFilePath(StateFolderOf(Dir.File("neu-link.ini")), Dir.File("neu-link.ini"), ".log"),
              Dir.File("etc/neu.log"));
    EXPECT_EQ(RealSettingsPath(Dir.File("schleife.ini")), Dir.File("schleife.ini")) << "a loop stays as it is";
}

// Settings in a folder this account may not write (root's /etc/velkaro for the service
// account): the account's state folder, said in the hint; $XDG_STATE_HOME, else the home.
TEST_F(StateFolder, AFolderThatCannotBeWrittenGivesTheAccountsStateFolder) {
    // A file where a folder would be: no account may create anything below it.
    WriteFileBytes(Dir.File("datei"), "");
    const std::string ini = Dir.File("datei/velkaro.ini");
    const TStateFolder state = ResolveStateFolder(ini, "");
    EXPECT_EQ(state.Folder, StateHome.File("velkaro/"));
    EXPECT_EQ(state.Hint, "[Ausgabe] Datenordner ist nicht gesetzt und dieses Konto darf im Ordner der Einstellungen " +
                              Dir.File("datei/") + " nicht schreiben: Sperrdatei, Protokoll, Versandprotokoll und die "
                              "Vorgabe für die Ausgabe liegen in " + StateHome.File("velkaro/") + ".");
    EXPECT_EQ(ResolveStateFolder(ini, "/srv/v").Hint, "") << "a folder named in the settings is taken as it is";
    {
        test::ScopedEnv noXdg("XDG_STATE_HOME", nullptr);
        test::ScopedEnv home("HOME", "/var/lib/velkaro");
        EXPECT_EQ(ResolveStateFolder(ini, "").Folder, "/var/lib/velkaro/.local/state/velkaro/");
        test::ScopedEnv relative("XDG_STATE_HOME", "state");  // not absolute: ignored
        EXPECT_EQ(ResolveStateFolder(ini, "").Folder, "/var/lib/velkaro/.local/state/velkaro/");
    }
    // The same by the rights of the folder, for an account that is not root.
    test::TempFolder etc;
    ASSERT_EQ(chmod(etc.Path().c_str(), 0755), 0);
    const std::string reported = test::ErrorOfUnprivileged([&] {
        throw Exception(ResolveStateFolder(etc.File("velkaro.ini"), "").Folder);
    });
    EXPECT_EQ(reported, geteuid() == 0 ? StateHome.File("velkaro/") : etc.Path());
}

// The settings read the key and place the sent-mail log and the default output there;
// a folder named for the output stays as it is.
TEST_F(StateFolder, SettingsPlaceTheSentMailLogAndTheDefaultOutputThere) {
    const std::string ini = Dir.File("velkaro.ini");
    WriteFileBytes(ini, "[Ausgabe]\r\nDatenordner=zustand\r\n");
    EXPECT_EQ(StateFolderOf(ini).Folder, Dir.File("zustand/"));
    {
        TSettings s(ini, TSettingsAccess::saReadOnly);
        EXPECT_EQ(s.StateDir, Dir.File("zustand/"));
        EXPECT_EQ(s.MailLogFile, Dir.File("zustand/velkaro.versand.csv"));
        EXPECT_EQ(s.OutDir, Dir.File("zustand/Ausgabe"));
        EXPECT_TRUE(s.Findings.empty());
    }
    WriteFileBytes(ini, "[Ausgabe]\r\nDatenordner=zustand\r\nOrdner=pdf\r\n");
    EXPECT_EQ(TSettings(ini, TSettingsAccess::saReadOnly).OutDir, Dir.File("pdf"));
    // Without the key, or without a file, the settings folder serves.
    WriteFileBytes(ini, "[Ausgabe]\r\n");
    EXPECT_EQ(StateFolderOf(ini).Folder, Dir.Path());
    EXPECT_EQ(StateFolderOf(Dir.File("fehlt.ini")).Folder, Dir.Path());
}

// Without VELKARO_INI the account's own settings file, never one beside the program.
TEST_F(StateFolder, WithoutVelkaroIniTheAccountsSettingsFile) {
    test::ScopedEnv noIni("VELKARO_INI", nullptr);
    EXPECT_EQ(SettingsFilePath(), Dir.File("config/velkaro/velkaro.ini"));
    test::ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    test::ScopedEnv home("HOME", "/home/anna");
    EXPECT_EQ(SettingsFilePath(), "/home/anna/.config/velkaro/velkaro.ini");
    test::ScopedEnv ini("VELKARO_INI", "/etc/velkaro/velkaro.ini");
    EXPECT_EQ(SettingsFilePath(), "/etc/velkaro/velkaro.ini");
}

// A first run creates the account's settings folder for its template.
TEST_F(StateFolder, AFirstRunCreatesTheAccountsSettingsFolder) {
    test::ScopedEnv noIni("VELKARO_INI", nullptr);
    const std::string ini = SettingsFilePath();
    ASSERT_FALSE(DirectoryExists(Dir.File("config")));
    TSettings s(ini);
    EXPECT_TRUE(FileExists(ini));
    EXPECT_NE(s.FirstRunNote, "");
    EXPECT_EQ(s.StateDir, Dir.File("config/velkaro/"));
}

} // namespace
} // namespace velkaro
