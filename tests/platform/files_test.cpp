#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;

struct TOwnerMode {
    uid_t Uid;
    gid_t Gid;
    mode_t Mode;
};

TOwnerMode OwnerModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

size_t EntriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
    return n;
}

// The umask of the process, read without changing it for longer than a moment.
mode_t CurrentUmask() {
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

TEST(WriteFileBytes, ReplacingAFileKeepsItsMode) {
    test::TempFolder dir;
    const std::string file = dir.File("velkaro.ini");
    for (mode_t mode : {0600, 0640, 0644, 0660, 0400, 0751}) {
        SCOPED_TRACE(mode);
        WriteFileBytes(file, "alt");
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        WriteFileBytes(file, "neu");
        EXPECT_EQ(ReadFileBytes(file), "neu");
        EXPECT_EQ(OwnerModeOf(file).Mode, mode);
        EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file left behind
        ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    }
}

TEST(WriteFileBytes, ReplacingAFileKeepsOwnerAndGroup) {
    test::TempFolder dir;
    const std::string file = dir.File("velkaro.ini");
    WriteFileBytes(file, "alt");
    constexpr uid_t kOther = 65534;  // nobody
    if (chown(file.c_str(), kOther, kOther) != 0) VELKARO_SKIP_UNLESS_CI() << "cannot give a file to another user";
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    WriteFileBytes(file, "neu");
    EXPECT_EQ(ReadFileBytes(file), "neu");
    TOwnerMode after = OwnerModeOf(file);
    EXPECT_EQ(after.Uid, kOther);
    EXPECT_EQ(after.Gid, kOther);
    EXPECT_EQ(after.Mode, 0640u);
}

TEST(WriteFileBytes, NewFilesGetTheDefaultModeOrTheOneAskedFor) {
    test::TempFolder dir;
    WriteFileBytes(dir.File("standard.txt"), "x");
    EXPECT_EQ(OwnerModeOf(dir.File("standard.txt")).Mode, 0666u & ~CurrentUmask());
    EXPECT_EQ(OwnerModeOf(dir.File("standard.txt")).Uid, geteuid());

    WriteFileBytes(dir.File("privat.txt"), "x", 0600);
    EXPECT_EQ(OwnerModeOf(dir.File("privat.txt")).Mode, 0600u);
    // The mode asked for concerns new files only: an existing file keeps its own.
    ASSERT_EQ(chmod(dir.File("standard.txt").c_str(), 0640), 0);
    WriteFileBytes(dir.File("standard.txt"), "y", 0600);
    EXPECT_EQ(OwnerModeOf(dir.File("standard.txt")).Mode, 0640u);
}

TEST(WriteFileBytes, WritesThroughSymbolicLinksAndKeepsThem) {
    test::TempFolder dir;
    fs::create_directory(dir.File("echt"));
    const std::string real = dir.File("echt/velkaro.ini");
    WriteFileBytes(real, "alt");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::create_symlink("echt/velkaro.ini", dir.File("relativ.ini"));   // relative to the link's folder
    fs::create_symlink(dir.File("relativ.ini"), dir.File("kette.ini"));  // a link to a link

    WriteFileBytes(dir.File("kette.ini"), "neu", kDefaultNewFileMode, lmFollowLink);
    EXPECT_TRUE(fs::is_symlink(dir.File("kette.ini")));
    EXPECT_TRUE(fs::is_symlink(dir.File("relativ.ini")));
    EXPECT_EQ(ReadFileBytes(real), "neu");
    EXPECT_EQ(OwnerModeOf(real).Mode, 0600u);
    EXPECT_EQ(EntriesIn(dir.File("echt")), 1u);
    EXPECT_EQ(EntriesIn(dir.Path()), 3u);

    // A link whose target does not exist yet creates the target.
    fs::create_symlink("echt/neu.ini", dir.File("vorwaerts.ini"));
    WriteFileBytes(dir.File("vorwaerts.ini"), "erstellt", kDefaultNewFileMode, lmFollowLink);
    EXPECT_TRUE(fs::is_symlink(dir.File("vorwaerts.ini")));
    EXPECT_EQ(ReadFileBytes(dir.File("echt/neu.ini")), "erstellt");
}

TEST(WriteFileBytes, LinkLoopRaisesGermanErrorWithTheSystemTextInParentheses) {
    test::TempFolder dir;
    fs::create_symlink("b.ini", dir.File("a.ini"));
    fs::create_symlink("a.ini", dir.File("b.ini"));
    std::string error = test::ErrorOf([&] { WriteFileBytes(dir.File("a.ini"), "x", kDefaultNewFileMode, lmFollowLink); });
    EXPECT_EQ(error, "Datei \"" + dir.File("a.ini") + "\" kann nicht geschrieben werden (" +
                         std::system_category().message(ELOOP) + ").");
    EXPECT_TRUE(fs::is_symlink(dir.File("a.ini")));
}

TEST(AtomicWriteTempName, BuildsAndRecognisesTheNameOfTheFileBeingWritten) {
    struct Built { const char* file; uint32_t number; const char* temp; };
    const Built built[] = {
        {"Rechnung_RE-1.pdf", 3141592653u, ".Rechnung_RE-1.pdf.3141592653.tmp"},
        {"velkaro.ini", 0, ".velkaro.ini.0.tmp"},
        {"", 4294967295u, "..4294967295.tmp"},
    };
    for (const auto& c : built) {
        EXPECT_EQ(AtomicWriteTempName(c.file, c.number), c.temp);
        std::string_view file = "unverändert";
        EXPECT_TRUE(IsAtomicWriteTempName(c.temp, &file)) << c.temp;
        EXPECT_EQ(file, c.file);
    }
    for (const char* name : {"a.pdf.123.tmp", ".a.pdf.tmp", ".a.pdf.12a.tmp", ".a.pdf.12345678901.tmp",
                             ".a.pdf.-1.tmp", ".a.pdf.123.tmp.bak", ".a.pdf.123.TMP", ".tmp", "..tmp", ""})
        EXPECT_FALSE(IsAtomicWriteTempName(name)) << name;
}

struct ErrorCase {
    const char* Name;
    std::function<void(const test::TempFolder&)> Action;
    std::string Expected;  // with <dir> for the folder and <text> for the system's text of Code
    int Code;
};

TEST(FileErrors, GermanSentenceWithTheSystemTextInParentheses) {
    test::TempFolder dir;
    WriteFileBytes(dir.File("datei.txt"), "kein Ordner");
    fs::create_directory(dir.File("ordner"));
    const ErrorCase cases[] = {
        {"read missing", [](auto& d) { ReadFileBytes(d.File("fehlt.txt")); },
         "Datei \"<dir>fehlt.txt\" kann nicht geöffnet werden (<text>).", ENOENT},
        {"read folder", [](auto& d) { ReadFileBytes(d.Path()); },
         "Datei \"<dir>\" kann nicht gelesen werden (<text>).", EISDIR},
        {"write in missing folder", [](auto& d) { WriteFileBytes(d.File("fehlt/a.txt"), "x"); },
         "Datei \"<dir>fehlt/a.txt\" kann nicht geschrieben werden (<text>).", ENOENT},
        {"write over folder", [](auto& d) { WriteFileBytes(d.File("ordner"), "x"); },
         "Datei \"<dir>ordner\" kann nicht geschrieben werden (<text>).", EISDIR},
        {"folder below a file", [](auto& d) { ForceDirectories(d.File("datei.txt/unter")); },
         "Ordner \"<dir>datei.txt/unter\" kann nicht angelegt werden (<text>).", ENOTDIR},
    };
    for (const auto& c : cases) {
        std::string expected = c.Expected;
        expected.replace(expected.find("<dir>"), 5, dir.Path());
        expected.replace(expected.find("<text>"), 6, std::system_category().message(c.Code));
        EXPECT_EQ(test::ErrorOf([&] { c.Action(dir); }), expected) << c.Name;
    }
}

} // namespace
} // namespace velkaro
