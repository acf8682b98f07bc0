// Files the program makes itself (documents, logs, result lists, the run lock) never
// write through a symbolic link that someone else put in their place. A run as root
// would otherwise replace or create a file wherever the link points. The targets here
// belong to the account running the tests (root in CI), which may write them: only the
// refusal to follow the link keeps them as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/line_file.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;

// An output folder beside a folder "fremd" with a file the links point to.
class OwnFileLinks : public ::testing::Test {
protected:
    OwnFileLinks() {
        fs::create_directory(FDir.File("ausgabe"));
        fs::create_directory(FDir.File("fremd"));
        WriteFileBytes(Target(), "fremder Inhalt", 0644);
    }
    std::string Out(const std::string& name) const { return FDir.File("ausgabe/" + name); }
    std::string Target() const { return FDir.File("fremd/passwd"); }
    std::string Missing() const { return FDir.File("fremd/neu"); }
    // A link in the output folder to `to`.
    std::string LinkTo(const std::string& name, const std::string& to) const {
        fs::create_symlink(to, Out(name));
        return Out(name);
    }
    // The target is as it was: same bytes, same mode.
    void ExpectTargetUntouched() const {
        EXPECT_EQ(ReadFileBytes(Target()), "fremder Inhalt");
        struct stat st {};
        ASSERT_EQ(stat(Target().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u);
    }
    void ExpectNothingCreatedAtTheDanglingTarget() const {
        EXPECT_FALSE(fs::exists(fs::symlink_status(Missing()))) << "a file appeared where the link pointed";
    }

    test::TempFolder FDir;
};

TEST_F(OwnFileLinks, AWrittenFileReplacesALinkAndLeavesItsTargetAlone) {
    const std::string pdf = LinkTo("Rechnung_RE-1.pdf", Target());
    WriteFileBytes(pdf, "%PDF-1.7", kOwnDataFileMode);
    EXPECT_FALSE(fs::is_symlink(pdf));
    EXPECT_EQ(ReadFileBytes(pdf), "%PDF-1.7");
    ExpectTargetUntouched();
    // The new file is the program's own: its mode, not the target's.
    struct stat st {};
    ASSERT_EQ(lstat(pdf.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777 & ~0640u, 0u);

    const std::string xml = LinkTo("Rechnung_RE-1.xml", Missing());
    WriteFileBytes(xml, "<xml/>", kOwnDataFileMode);
    EXPECT_FALSE(fs::is_symlink(xml));
    EXPECT_EQ(ReadFileBytes(xml), "<xml/>");
    ExpectNothingCreatedAtTheDanglingTarget();
}

TEST_F(OwnFileLinks, ALineFileReplacesALinkAndLeavesItsTargetAlone) {
    for (const bool dangling : {false, true}) {
        const std::string name = dangling ? "ergebnis-fehlt.csv" : "ergebnis.csv";
        const std::string path = LinkTo(name, dangling ? Missing() : Target());
        {
            TLineFile file(path);
            file.WriteLine("Nummer;Art");
        }
        EXPECT_FALSE(fs::is_symlink(path)) << name;
        EXPECT_EQ(ReadFileBytes(path), std::string(kUtf8Bom) + "Nummer;Art\r\n") << name;
        ExpectTargetUntouched();
        ExpectNothingCreatedAtTheDanglingTarget();
    }
}

TEST_F(OwnFileLinks, ALineFileOverAnOrdinaryFileStartsItAfresh) {
    WriteFileBytes(Out("velkaro.log"), "alter Lauf\r\n");
    {
        TLineFile file(Out("velkaro.log"));
        file.WriteLine("neuer Lauf");
    }
    EXPECT_EQ(ReadFileBytes(Out("velkaro.log")), std::string(kUtf8Bom) + "neuer Lauf\r\n");
}

TEST_F(OwnFileLinks, ALinkInPlaceOfTheRunLockIsRefused) {
    for (const bool dangling : {false, true}) {
        const std::string path = LinkTo(dangling ? "b.lock" : "a.lock", dangling ? Missing() : Target());
        const std::string error = test::ErrorOf([&] { TFileLock lock(path); });
        EXPECT_EQ(error, "Sperrdatei \"" + path +
                             "\" kann nicht geöffnet werden: an dieser Stelle steht eine symbolische Verknüpfung, "
                             "der das Programm nicht folgt. Bitte die Verknüpfung entfernen.");
        EXPECT_TRUE(fs::is_symlink(path));
        ExpectTargetUntouched();
        ExpectNothingCreatedAtTheDanglingTarget();
    }
    // An ordinary lock file still works.
    TFileLock lock(Out("c.lock"));
    EXPECT_TRUE(lock.Acquire(std::chrono::milliseconds(0), {}));
}

TEST_F(OwnFileLinks, EditedFilesMayStillBeLinksOnPurpose) {
    const std::string ini = LinkTo("velkaro.ini", Target());
    WriteFileBytes(ini, "[Datenbank]\r\n", kDefaultNewFileMode, lmFollowLink);
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(ReadFileBytes(Target()), "[Datenbank]\r\n");
}

} // namespace
} // namespace velkaro
