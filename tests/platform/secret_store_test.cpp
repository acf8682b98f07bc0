#include "platform/secret_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>
#include <sys/stat.h>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

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

TEST_F(SecretStore, LooseModesOfAnExistingKeyAreTightened) {
    ProtectData("x");
    std::string folder = FHome.Path() + "velkaro";
    chmod(folder.c_str(), 0755);
    chmod(SecretKeyFilePath().c_str(), 0644);
    ProtectData("x");
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(SecretKeyFilePath()), 0600u);
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

} // namespace
} // namespace velkaro
