// A symbolic link in place of the sent-mail log gets no line: appending through it would
// let a run as root add lines to any file the link names.
#include <gtest/gtest.h>

#include <filesystem>

#include "mail/sent_log.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;

TEST(SentLogLinks, ALinkInPlaceOfTheLogIsRefusedAndItsTargetGetsNoLine) {
    test::TempFolder dir;
    fs::create_directory(dir.File("fremd"));
    const std::string target = dir.File("fremd/crontab");
    WriteFileBytes(target, "* * * * * root true\n");
    const std::string missing = dir.File("fremd/neu");
    for (const bool dangling : {false, true}) {
        const std::string log = dir.File(dangling ? "b.versand.csv" : "a.versand.csv");
        fs::create_symlink(dangling ? missing : target, log);
        TSentLog sentLog(log);
        TSentEntry entry;
        entry.Time = 46000;
        entry.Company = "CRONUS";
        entry.InvoiceNo = "RE-1";
        entry.Status = "OK";
        const std::string error = test::ErrorOf([&] { sentLog.Add(entry); });
        EXPECT_EQ(error, "Datei \"" + log +
                             "\" kann nicht geschrieben werden: an dieser Stelle steht eine symbolische Verknüpfung, "
                             "der das Programm nicht folgt. Bitte die Verknüpfung entfernen.");
        EXPECT_EQ(ReadFileBytes(target), "* * * * * root true\n");
        EXPECT_FALSE(fs::exists(fs::symlink_status(missing)));
        EXPECT_TRUE(fs::is_symlink(log));
    }
}

} // namespace
} // namespace velkaro
