#include "platform/secret_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

// Every test works with its own user configuration folder, never the real home.
class SecretStore : public ::testing::Test {
protected:
    test::TempFolder FHome;
    test::ScopedEnv FXdg{"XDG_CONFIG_HOME", FHome.Path().c_str()};
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST_F(SecretStore, RoundTripsWithAFreshNoncePerBlob) {
    const std::string secret = "Geheimnis~äöü€ 123";
    std::string a = ProtectData(secret);
    std::string b = ProtectData(secret);
    EXPECT_NE(a, b);  // new nonce each time
    EXPECT_EQ(a.size(), 1 + 12 + secret.size() + 16);
    EXPECT_EQ(a[0], '\x01');
    EXPECT_EQ(a.find(secret), std::string::npos);
    EXPECT_EQ(UnprotectData(a), secret);
    EXPECT_EQ(UnprotectData(b), secret);
    EXPECT_EQ(UnprotectData(ProtectData("")), "");
}

TEST_F(SecretStore, KeyFolderAndFileAreCreatedPrivately) {
    ProtectData("x");
    std::string folder = FHome.Path() + "velkaro";
    EXPECT_EQ(SecretKeyFilePath(), folder + "/geheim.key");
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(SecretKeyFilePath()), 0600u);
    EXPECT_EQ(ReadFileBytes(SecretKeyFilePath()).size(), 32u);
    std::string key = ReadFileBytes(SecretKeyFilePath());
    ProtectData("y");
    EXPECT_EQ(ReadFileBytes(SecretKeyFilePath()), key);  // the key is reused, not replaced
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, 1u);  // no temporary file left behind
}

TEST_F(SecretStore, ConcurrentFirstUseAgreesOnOneKey) {
    std::vector<std::string> blobs(8);
    std::vector<std::thread> threads;
    for (auto& blob : blobs) threads.emplace_back([&blob] { blob = ProtectData("gleichzeitig"); });
    for (auto& t : threads) t.join();
    for (const auto& blob : blobs) EXPECT_EQ(UnprotectData(blob), "gleichzeitig");
}

struct LooseCase {
    const char* Name;
    mode_t FolderMode;
    mode_t KeyMode;
};

// Anyone else who can read the key could read the secret; anyone who can write the
// folder or the key could choose the key. Such a key is not used, and not repaired
// behind the user's back either.
TEST_F(SecretStore, KeyOpenToGroupOrOthersIsRefused) {
    const LooseCase cases[] = {
        {"folder readable by others", 0705, 0600},
        {"folder writable by the group", 0770, 0600},
        {"folder searchable by the group", 0710, 0600},
        {"key readable by others", 0700, 0604},
        {"key readable by the group", 0700, 0640},
        {"key writable by the group", 0700, 0620},
    };
    const std::string blob = ProtectData("x");
    const std::string folder = FHome.Path() + "velkaro";
    const std::string key = ReadFileBytes(SecretKeyFilePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(chmod(folder.c_str(), c.FolderMode), 0);
        ASSERT_EQ(chmod(SecretKeyFilePath().c_str(), c.KeyMode), 0);
        std::string error = test::ErrorOf([] { ProtectData("y"); });
        EXPECT_NE(error.find("auch andere Benutzer Zugriff"), std::string::npos) << error;
        // The remedy is the mode, not entering the secret anew (which the same check refuses).
        const bool loose = (c.FolderMode & 077) != 0;
        EXPECT_TRUE(error.ends_with(loose ? "Abhilfe: chmod 700 \"" + folder + "\""
                                          : "Abhilfe: chmod 600 \"" + SecretKeyFilePath() + "\""))
            << error;
        EXPECT_EQ(UnprotectData(blob), std::nullopt);
        EXPECT_EQ(ModeOf(folder), c.FolderMode);
        EXPECT_EQ(ModeOf(SecretKeyFilePath()), c.KeyMode);
        EXPECT_EQ(ReadFileBytes(SecretKeyFilePath()), key);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(SecretKeyFilePath().c_str(), 0600), 0);
    EXPECT_EQ(UnprotectData(blob), "x");
}

// A key or key folder planted by another local user must not be used: with it they
// could read every secret protected afterwards.
TEST_F(SecretStore, KeyOrFolderOfAnotherUserIsRefused) {
    constexpr uid_t kOther = 65534;  // nobody
    const std::string folder = FHome.Path() + "velkaro";
    for (bool plantFolder : {false, true}) {
        SCOPED_TRACE(plantFolder ? "folder" : "key file");
        const std::string blob = ProtectData("x");
        const std::string planted = plantFolder ? folder : SecretKeyFilePath();
        if (chown(planted.c_str(), kOther, kOther) != 0)
            VELKARO_SKIP_UNLESS_CI() << "cannot give a file to another user";
        std::string error = test::ErrorOf([] { ProtectData("y"); });
        EXPECT_NE(error.find("\"" + planted + "\" gehört nicht dem angemeldeten Benutzer"), std::string::npos)
            << error;
        EXPECT_EQ(UnprotectData(blob), std::nullopt);
        ASSERT_EQ(chown(planted.c_str(), geteuid(), getegid()), 0);
        EXPECT_EQ(UnprotectData(blob), "x");
    }
}

struct PlaceCase {
    const char* Name;
    bool Folder;
    mode_t Mode;
    bool OtherOwner;  // checked for another user than the file's owner
    const char* Problem;  // part of the message; nullptr when the place is fine
};

TEST_F(SecretStore, KeyPlaceCheckForAGivenUser) {
    const uid_t me = geteuid();
    const PlaceCase cases[] = {
        {"private file", false, 0600, false, nullptr},
        {"read-only private file", false, 0400, false, nullptr},
        {"private folder", true, 0700, false, nullptr},
        {"file of another user", false, 0600, true, "gehört nicht dem angemeldeten Benutzer"},
        {"folder of another user", true, 0700, true, "gehört nicht dem angemeldeten Benutzer"},
        {"file for the group", false, 0640, false, "auch andere Benutzer Zugriff (Rechte 0640)"},
        {"file for everyone", false, 0666, false, "auch andere Benutzer Zugriff (Rechte 0666)"},
        {"folder for others", true, 0701, false, "auch andere Benutzer Zugriff (Rechte 0701)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = FHome.File(c.Folder ? "ordner" : "schluessel");
        if (c.Folder)
            std::filesystem::create_directory(path);
        else
            WriteFileBytes(path, std::string(32, 'k'));
        ASSERT_EQ(chmod(path.c_str(), c.Mode), 0);
        const TKeyPlace place = c.Folder ? TKeyPlace::kpFolder : TKeyPlace::kpFile;
        std::string error = test::ErrorOf([&] { CheckKeyPlace(path, place, c.OtherOwner ? me + 1 : me); });
        if (c.Problem) {
            EXPECT_NE(error.find(c.Problem), std::string::npos) << error;
            EXPECT_NE(error.find("\"" + path + "\""), std::string::npos) << error;
        } else {
            EXPECT_EQ(error, "");
        }
        std::filesystem::remove(path);
    }
    // A symbolic link is no place for the key, whatever it points to; nor is a file
    // where the folder belongs or the reverse.
    std::filesystem::create_directory(FHome.File("echt"));
    ASSERT_EQ(chmod(FHome.File("echt").c_str(), 0700), 0);
    std::filesystem::create_directory_symlink(FHome.File("echt"), FHome.File("verweis"));
    WriteFileBytes(FHome.File("datei"), "x", 0600);
    EXPECT_THAT(test::ErrorOf([&] { CheckKeyPlace(FHome.File("verweis"), TKeyPlace::kpFolder, me); }),
                HasSubstr("ist kein Ordner"));
    EXPECT_THAT(test::ErrorOf([&] { CheckKeyPlace(FHome.File("datei"), TKeyPlace::kpFolder, me); }),
                HasSubstr("ist kein Ordner"));
    EXPECT_THAT(test::ErrorOf([&] { CheckKeyPlace(FHome.File("echt"), TKeyPlace::kpFile, me); }),
                HasSubstr("ist keine Datei"));
    EXPECT_THAT(test::ErrorOf([&] { CheckKeyPlace(FHome.File("fehlt"), TKeyPlace::kpFolder, me); }),
                HasSubstr("\"" + FHome.File("fehlt") + "\" (" + std::system_category().message(ENOENT) + ")."));
}

// Without $HOME the key belongs in the account's home, never in a folder that every
// local user can write to.
TEST_F(SecretStore, WithoutHomeTheKeyFolderIsInTheAccountsHome) {
    test::ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    test::ScopedEnv noHome("HOME", nullptr);
    const struct passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(SecretKeyFilePath(), std::string(account->pw_dir) + "/.config/velkaro/geheim.key");
    test::ScopedEnv relativeHome("HOME", "tmp");
    EXPECT_EQ(SecretKeyFilePath(), std::string(account->pw_dir) + "/.config/velkaro/geheim.key");
}

// An account without a home has no place for a key: protecting fails as it does for
// any other key problem, and nothing is created in a shared folder.
TEST_F(SecretStore, AccountWithoutHomeCannotProtect) {
    constexpr uid_t kHomeless = 54321;
    if (geteuid() != 0 || getpwuid(kHomeless)) VELKARO_SKIP_UNLESS_CI() << "needs root and a user id without account";
    const bool sharedFolderBefore = std::filesystem::exists("/tmp/.config/velkaro");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("HOME");
        if (setgid(kHomeless) != 0 || setuid(kHomeless) != 0) _exit(10);
        if (SecretKeyFilePath() != "") _exit(11);
        std::string error = test::ErrorOf([] { ProtectData("x"); });
        if (error.find("kein Benutzerordner") == std::string::npos) _exit(12);
        if (UnprotectData(std::string(40, '\x01')) != std::nullopt) _exit(13);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::exists("/tmp/.config/velkaro"), sharedFolderBefore);
}

TEST_F(SecretStore, AnotherUsersKeyReadsNothing) {
    std::string blob = ProtectData("nur fuer mich");
    test::TempFolder otherHome;
    test::ScopedEnv other("XDG_CONFIG_HOME", otherHome.Path().c_str());
    EXPECT_EQ(UnprotectData(blob), std::nullopt);  // no key at all there
    EXPECT_FALSE(FileExists(SecretKeyFilePath()));  // reading never creates a key
    ProtectData("anderer Benutzer");                // now that user has a key of its own
    EXPECT_EQ(UnprotectData(blob), std::nullopt);
}

TEST_F(SecretStore, TamperedTruncatedOrForeignBlobsReadNothing) {
    std::string blob = ProtectData("Geheimnis");
    for (size_t i = 0; i < blob.size(); ++i) {
        std::string tampered = blob;
        tampered[i] = static_cast<char>(tampered[i] ^ 0x01);
        EXPECT_EQ(UnprotectData(tampered), std::nullopt) << "byte " << i;
    }
    for (size_t n = 0; n < blob.size(); ++n) EXPECT_EQ(UnprotectData(blob.substr(0, n)), std::nullopt) << n;
    EXPECT_EQ(UnprotectData(blob + "x"), std::nullopt);
    EXPECT_EQ(UnprotectData(std::string(64, '\0')), std::nullopt);
}

TEST_F(SecretStore, DamagedKeyFileFailsProtectWithGermanErrorAndUnprotectSilently) {
    std::string blob = ProtectData("x");
    WriteFileBytes(SecretKeyFilePath(), "zu kurz");
    EXPECT_EQ(UnprotectData(blob), std::nullopt);
    try {
        ProtectData("x");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Schlüssel"), std::string::npos) << e.what();
    }
}

TEST_F(SecretStore, UnusableKeyFolderFailsProtect) {
    // A plain file where the folder belongs.
    WriteFileBytes(FHome.Path() + "velkaro", "kein Ordner");
    EXPECT_THROW(ProtectData("x"), Exception);
}

// A home that cannot hold the key folder (an account made without its home): the message
// names the way out for such an account, VELKARO_SCHLUESSEL.
TEST_F(SecretStore, AKeyFolderThatCannotBeCreatedNamesTheKeyFileVariable) {
    WriteFileBytes(FHome.File("datei"), "");
    test::ScopedEnv home("XDG_CONFIG_HOME", FHome.File("datei/config").c_str());
    const std::string error = test::ErrorOf([] { ProtectData("x"); });
    EXPECT_NE(error.find("kann nicht angelegt werden"), std::string::npos) << error;
    EXPECT_NE(error.find("VELKARO_SCHLUESSEL auf eine Schlüsseldatei in einem beschreibbaren Ordner setzen"),
              std::string::npos)
        << error;
}

// VELKARO_SCHLUESSEL names the key file of an account without a home of its own; what
// another key made reads as nothing, and the reason says which case it is.
TEST_F(SecretStore, KeyFileFromTheEnvironmentAndWhyABlobIsUnreadable) {
    test::TempFolder keys;
    const std::string a = keys.File("a.key"), b = keys.File("b.key");
    std::string blob;
    {
        test::ScopedEnv env("VELKARO_SCHLUESSEL", a.c_str());
        EXPECT_EQ(SecretKeyFilePath(), a);
        blob = ProtectData("dienst");
        EXPECT_EQ(ModeOf(a), 0600u);
        EXPECT_FALSE(FileExists(FHome.Path() + "velkaro/geheim.key")) << "the home's key is not used";
        const TUnprotected r = UnprotectDataExplained(blob);
        EXPECT_EQ(r.Plain, "dienst");
        EXPECT_EQ(r.Failure, TUnprotectFailure::ufNone);
    }
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* keyFile;  // VELKARO_SCHLUESSEL; nullptr: the home's key
        TUnprotectFailure failure;
        std::string detail;
    } cases[] = {
        {"no key file yet", [] {}, b.c_str(), TUnprotectFailure::ufNoKey, b},
        {"a key of its own", [&] { test::ScopedEnv env("VELKARO_SCHLUESSEL", b.c_str()); ProtectData("x"); }, b.c_str(),
         TUnprotectFailure::ufOtherKey, b},
        {"the home without a key", [] {}, nullptr, TUnprotectFailure::ufNoKey, FHome.Path() + "velkaro/geheim.key"},
        {"the home's own key", [] { ProtectData("x"); }, nullptr, TUnprotectFailure::ufOtherKey,
         FHome.Path() + "velkaro/geheim.key"},
        {"a key open to others", [&] { ASSERT_EQ(chmod(b.c_str(), 0644), 0); }, b.c_str(),
         TUnprotectFailure::ufKeyRefused, ""},
    };
    for (const auto& c : cases) {
        c.prepare();
        test::ScopedEnv env("VELKARO_SCHLUESSEL", c.keyFile);
        const TUnprotected r = UnprotectDataExplained(blob);
        EXPECT_EQ(r.Plain, std::nullopt) << c.what;
        EXPECT_EQ(r.Failure, c.failure) << c.what;
        if (!c.detail.empty()) {
            EXPECT_EQ(r.Detail, c.detail) << c.what;
        }
    }
    EXPECT_EQ(UnprotectDataExplained(blob.substr(0, 20)).Failure, TUnprotectFailure::ufDamaged);

    // A key file in a folder that does not exist cannot be made.
    test::ScopedEnv missing("VELKARO_SCHLUESSEL", keys.File("fehlt/c.key").c_str());
    EXPECT_THAT(test::ErrorOf([] { ProtectData("x"); }), HasSubstr("fehlt"));
}

} // namespace
} // namespace velkaro
