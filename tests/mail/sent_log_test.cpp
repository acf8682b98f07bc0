#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <latch>
#include <set>
#include <system_error>
#include <thread>

#include "mail/sent_log.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

// Central European time, so that offsets and their conversion are visible.
class SentLogTest : public ::testing::Test {
protected:
    SentLogTest() : FTz("TZ", "Europe/Berlin") { tzset(); }
    ~SentLogTest() override { tzset(); }

    static TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        return EncodeDateTime({y, mo, d, h, mi, s, ms});
    }
    std::string Bytes() const { return ReadFileBytes(File); }

    test::ScopedEnv FTz;
    test::TempFolder Dir;
    std::string File = Dir.File("velkaro.versand.csv");
};

TEST_F(SentLogTest, FormatsLocalTimeWithMillisecondsAndOffset) {
    EXPECT_EQ(FormatIsoDateTime(At(2025, 3, 14, 10, 5, 9, 123)), "2025-03-14T10:05:09.123+01:00");
    EXPECT_EQ(FormatIsoDateTime(At(2025, 7, 1, 0, 0, 0)), "2025-07-01T00:00:00.000+02:00");
    test::ScopedEnv utc("TZ", "UTC");
    tzset();
    EXPECT_EQ(FormatIsoDateTime(At(2025, 3, 14, 10, 5, 9, 7)), "2025-03-14T10:05:09.007Z");
    test::ScopedEnv west("TZ", "America/St_Johns");
    tzset();
    EXPECT_EQ(FormatIsoDateTime(At(2025, 1, 2, 3, 4, 5)), "2025-01-02T03:04:05.000-03:30");
}

TEST_F(SentLogTest, ParsesIsoDateTimesIntoLocalTime) {
    struct Case {
        const char* text;
        bool ok;
        TDateTime expected;
    };
    const Case cases[] = {
        {"2025-03-14T10:05:09.123+01:00", true, At(2025, 3, 14, 10, 5, 9, 123)},
        {"2025-03-14T09:05:09.123Z", true, At(2025, 3, 14, 10, 5, 9, 123)},
        {"2025-07-14T10:00:00-04:00", true, At(2025, 7, 14, 16, 0, 0)},  // summer time here
        {"2025-03-14T10:05:09+0100", true, At(2025, 3, 14, 10, 5, 9)},
        {"2025-03-14T10:05:09", true, At(2025, 3, 14, 10, 5, 9)},  // no offset: local
        {"2025-03-14T10:05", true, At(2025, 3, 14, 10, 5, 0)},
        {"2025-03-14", true, At(2025, 3, 14, 0, 0, 0)},
        {"Zeitpunkt", false, 0},
        {"", false, 0},
        {"2025-02-30T10:00:00", false, 0},
        {"2025-03-14T25:00:00", false, 0},
        {"2025-03-14T10:05:09.+01:00", false, 0},
        {"2025-03-14T10:05:09 Uhr", false, 0},
        {"14.03.2025 10:05", false, 0},
    };
    for (const auto& c : cases) {
        TDateTime value = -1;
        EXPECT_EQ(ParseIsoDateTime(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(FormatIsoDateTime(value), FormatIsoDateTime(c.expected)) << c.text;
        }
    }
}

TEST_F(SentLogTest, FirstAddCreatesFileWithBomHeaderAndLine) {
    TSentLog log(File);
    TDateTime when;
    EXPECT_FALSE(log.LastSent("CRONUS", "RE-1", when));
    log.Add({At(2025, 3, 14, 10, 5, 9, 123), "CRONUS AG", "RE-1", "a@x.de; b@y.de", "OK", "Rechnungsadresse", ""});
    log.Add({At(2025, 3, 14, 10, 6, 0), "CRONUS AG", "RE-2", "", "FEHLER", "Graph-Fehler 403:\r\nnein; danke", ""});
    EXPECT_EQ(Bytes(),
              "\xEF\xBB\xBFZeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info;VersandId\r\n"
              "2025-03-14T10:05:09.123+01:00;CRONUS AG;RE-1;a@x.de, b@y.de;OK;Rechnungsadresse\r\n"
              "2025-03-14T10:06:00.000+01:00;CRONUS AG;RE-2;;FEHLER;Graph-Fehler 403: nein, danke\r\n");
}

TEST_F(SentLogTest, ExistingEmptyFileGetsBomButNoHeader) {
    WriteFileBytes(File, "");
    TSentLog log(File);
    log.Add({At(2025, 1, 2, 3, 4, 5), "M", "R", "a@x.de", "TEST", "", ""});
    EXPECT_EQ(Bytes(), "\xEF\xBB\xBF" "2025-01-02T03:04:05.000+01:00;M;R;a@x.de;TEST;\r\n");
}

TEST_F(SentLogTest, AppendsToAnExistingFileWithoutSecondBomOrHeader) {
    {
        TSentLog log(File);
        log.Add({At(2025, 1, 2, 3, 4, 5), "M", "R1", "a@x.de", "OK", "", ""});
    }
    const std::string before = Bytes();
    TSentLog log(File);
    log.Add({At(2025, 1, 2, 3, 4, 6), "M", "R2", "a@x.de", "OK", "", ""});
    EXPECT_EQ(Bytes(), before + "2025-01-02T03:04:06.000+01:00;M;R2;a@x.de;OK;\r\n");
}

TEST_F(SentLogTest, LoneLineBreaksInInfoNeverSplitTheEntry) {
    TSentLog log(File);
    log.Add({At(2025, 1, 2, 3, 4, 5), "M", "R", "a@x.de", "FEHLER", "eins\nzwei\rdrei\r\n\r\nvier", ""});
    EXPECT_THAT(Bytes(), HasSubstr(";FEHLER;eins zwei drei  vier\r\n"));
    EXPECT_EQ(Split(StripUtf8Bom(Bytes()), '\n').size(), 3u);  // header, entry, empty rest
}

TEST_F(SentLogTest, ReloadCountsOnlyWellFormedOkLines) {
    WriteFileBytes(File,
                   "\xEF\xBB\xBFZeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info\r\n"
                   "2025-03-14T10:00:00.000+01:00;CRONUS;R-TEST;a@x.de;TEST;\r\n"
                   "2025-03-14T10:00:00.000+01:00;CRONUS;R-FEHLER;a@x.de;FEHLER;kaputt\r\n"
                   "2025-03-14T10:00:00.000+01:00;CRONUS;R-klein;a@x.de;ok;\r\n"
                   "2025-03-14T10:00:00.000+01:00;CRONUS;R-KURZ;OK\r\n"
                   "gestern;CRONUS;R-ZEIT;a@x.de;OK;\r\n"
                   "2025-03-14T10:00:00.000+01:00;CRONUS;R-FUENF;a@x.de;OK\r\n"
                   "\r\n"
                   "2025-03-14T09:00:00Z;CRONUS;R-UTC;a@x.de;OK;ohne Millisekunden\n");
    TSentLog log(File);
    TDateTime when = 0;
    for (const char* no : {"R-TEST", "R-FEHLER", "R-klein", "R-KURZ", "R-ZEIT", "Rechnung"})
        EXPECT_FALSE(log.LastSent("CRONUS", no, when)) << no;
    ASSERT_TRUE(log.LastSent("CRONUS", "R-FUENF", when));  // five fields are enough
    EXPECT_EQ(FormatIsoDateTime(when), "2025-03-14T10:00:00.000+01:00");
    ASSERT_TRUE(log.LastSent("CRONUS", "R-UTC", when));
    EXPECT_EQ(FormatIsoDateTime(when), "2025-03-14T10:00:00.000+01:00");
}

TEST_F(SentLogTest, LatestSuccessWinsWhateverTheLineOrder) {
    WriteFileBytes(File,
                   "2025-03-15T08:00:00.000+01:00;CRONUS;RE-1;a@x.de;OK;\r\n"
                   "2025-03-14T08:00:00.000+01:00;CRONUS;RE-1;a@x.de;OK;\r\n"
                   "2025-03-16T08:00:00.000+01:00;CRONUS;RE-1;a@x.de;FEHLER;\r\n");
    TSentLog log(File);
    TDateTime when = 0;
    ASSERT_TRUE(log.LastSent("CRONUS", "RE-1", when));
    EXPECT_EQ(FormatIsoDateTime(when), "2025-03-15T08:00:00.000+01:00");
    // Add replaces the time even with an earlier one; a failure changes nothing.
    log.Add({At(2025, 3, 1, 12, 0, 0), "CRONUS", "RE-1", "a@x.de", "OK", "", ""});
    log.Add({At(2025, 3, 20, 12, 0, 0), "CRONUS", "RE-1", "a@x.de", "FEHLER", "x", ""});
    ASSERT_TRUE(log.LastSent("CRONUS", "RE-1", when));
    EXPECT_EQ(FormatIsoDateTime(when), "2025-03-01T12:00:00.000+01:00");
}

TEST_F(SentLogTest, KeysIgnoreAsciiCaseOnly) {
    TSentLog log(File);
    log.Add({At(2025, 3, 14, 10, 0, 0), "Müller GmbH", "re-1", "a@x.de", "OK", "", ""});
    TDateTime when = 0;
    EXPECT_TRUE(log.LastSent("MüLLER gmbh", "RE-1", when));
    EXPECT_FALSE(log.LastSent("MÜLLER GMBH", "RE-1", when));
    TSentLog reread(File);
    EXPECT_TRUE(reread.LastSent("müller GMBH", "Re-1", when));
}

TEST_F(SentLogTest, SemicolonInCompanyShiftsTheFieldsAsWritten) {
    TSentLog log(File);
    log.Add({At(2025, 3, 14, 10, 0, 0), "A;B", "R", "a@x.de", "OK", "", ""});
    TSentLog reread(File);
    TDateTime when = 0;
    EXPECT_FALSE(reread.LastSent("A;B", "R", when));  // fifth field is now the address
}

TEST_F(SentLogTest, EntriesOfAnotherInstanceNeedReload) {
    TSentLog first(File);
    TSentLog second(File);
    second.Add({At(2025, 3, 14, 10, 0, 0), "M", "R", "a@x.de", "OK", "", ""});
    TDateTime when = 0;
    EXPECT_FALSE(first.LastSent("M", "R", when));
    first.Reload();
    EXPECT_TRUE(first.LastSent("M", "R", when));
}

TEST_F(SentLogTest, UnwritableFileRaisesAndLeavesTheTableAlone) {
    TSentLog log(Dir.File("fehlt/versand.csv"));
    try {
        log.Add({At(2025, 3, 14, 10, 0, 0), "M", "R", "a@x.de", "OK", "", ""});
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), HasSubstr("versand.csv"));
    }
    TDateTime when = 0;
    EXPECT_FALSE(log.LastSent("M", "R", when));
}

TEST_F(SentLogTest, ParallelWritersNeverMixTheirLines) {
    constexpr int kPerThread = 200;
    auto writer = [&](const std::string& company) {
        TSentLog log(File);
        for (int i = 0; i < kPerThread; ++i)
            log.Add({At(2025, 3, 14, 10, 0, 0), company, "RE-" + std::to_string(i), std::string(300, 'x'), "OK",
                     std::string(500, 'i'), ""});
    };
    std::thread a(writer, "A");
    std::thread b(writer, "B");
    a.join();
    b.join();
    std::string text = Bytes();
    ASSERT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(text.find("\xEF\xBB\xBF", 3), std::string::npos);
    std::vector<std::string> lines = Split(StripUtf8Bom(text), '\n');
    lines.pop_back();  // after the last CR LF
    size_t entries = 0;
    for (const auto& line : lines) {
        if (line.starts_with("Zeitpunkt")) continue;
        ++entries;
        EXPECT_EQ(Split(line, ';').size(), 6u);
        EXPECT_TRUE(line.ends_with(std::string(500, 'i') + "\r"));
    }
    EXPECT_EQ(entries, 2u * kPerThread);
    TSentLog reread(File);
    TDateTime when = 0;
    EXPECT_TRUE(reread.LastSent("A", "RE-199", when));
    EXPECT_TRUE(reread.LastSent("B", "RE-0", when));
}

// Several writers that find no file at once: exactly one of them creates it, and the
// header line comes first whoever gets the lock first.
TEST_F(SentLogTest, WritersCreatingTheFileAtOnceKeepTheHeaderFirst) {
    constexpr int kRounds = 150;
    constexpr int kWriters = 4;
    for (int round = 0; round < kRounds; ++round) {
        const std::string file = Dir.File("neu" + std::to_string(round) + ".csv");
        std::latch start(kWriters);
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                TSentLog log(file);
                start.arrive_and_wait();
                log.Add({At(2025, 3, 14, 10, 0, 0), "M", "RE-" + std::to_string(w), "a@x.de", "OK", "", ""});
            });
        for (std::thread& t : writers) t.join();
        const std::string text = ReadFileBytes(file);
        ASSERT_EQ(text.rfind("\xEF\xBB\xBFZeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info;VersandId\r\n", 0), 0u)
            << "round " << round << ":\n" << text;
        EXPECT_EQ(text.find("\xEF\xBB\xBF", 3), std::string::npos) << text;
        EXPECT_EQ(Split(text, '\n').size(), kWriters + 2u) << text;  // header, entries, empty rest
    }
}

// A line break in any field would forge a line of its own (here a second "OK" entry).
TEST_F(SentLogTest, ControlCharactersInAnyFieldNeverStartALine) {
    const std::string forged = "\n2025-03-14T10:00:00.000+01:00;M;RE-GEFAELSCHT;x@y.de;OK;";
    TSentLog log(File);
    log.Add({At(2025, 3, 14, 10, 0, 0), "M\r", "RE-1" + forged, "a@x.de\x0b" + forged, "FEHLER\n", "Info\t" + forged, ""});
    const std::vector<std::string> lines = Split(StripUtf8Bom(Bytes()), '\n');
    ASSERT_EQ(lines.size(), 3u) << Bytes();  // header, entry, empty rest
    EXPECT_EQ(Split(lines[1], ';').size(), 6u + 5) << lines[1];  // the invoice number is written as it is
    EXPECT_THAT(lines[1], ::testing::StartsWith("2025-03-14T10:00:00.000+01:00;M ;RE-1 2025-03-14T10:00:00.000+01:00;M;"));
    TSentLog reread(File);
    TDateTime when = 0;
    EXPECT_FALSE(reread.LastSent("M", "RE-GEFAELSCHT", when));
}

// A mail is entered "LAUFEND" with its id before it leaves, then with its outcome; the
// document's last line says whether its mail is open. Files of older versions (six
// fields, no id) read as before.
TEST_F(SentLogTest, TheLastEntryOfADocumentSaysWhetherItsMailIsOpen) {
    struct Case {
        std::vector<std::string> statuses;  // of RE-1, in file order
        const char* open;                   // the open status, "" when none
    };
    const Case cases[] = {
        {{"LAUFEND"}, "LAUFEND"},
        {{"LAUFEND", "UNKLAR"}, "UNKLAR"},
        {{"LAUFEND", "OK"}, ""},
        {{"LAUFEND", "FEHLER"}, ""},
        {{"LAUFEND", "TEST"}, ""},
        {{"OK", "LAUFEND"}, "LAUFEND"},
        {{"UNKLAR", "OK"}, ""},  // found in "Sent Items" afterwards
        {{"UNKLAR", "LAUFEND", "FEHLER"}, ""},
        {{"laufend"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Join(c.statuses, ","));
        std::filesystem::remove(File);
        {
            TSentLog writer(File);
            int second = 0;
            for (const std::string& status : c.statuses) {
                writer.Add({At(2025, 3, 14, 10, 0, second++), "CRONUS", "RE-1", "a@x.de", status, "", "id-" + status});
                writer.Add({At(2025, 3, 14, 10, 0, second++), "CRONUS", "RE-2", "b@x.de", "OK", "", ""});
            }
            TSentEntry open;
            EXPECT_EQ(writer.OpenSend("cronus", "re-1", open) ? open.Status : "", c.open) << "as added";
        }
        TSentLog reread(File);
        TSentEntry open;
        ASSERT_EQ(reread.OpenSend("CRONUS", "RE-1", open) ? open.Status : "", c.open) << "as read";
        if (*c.open) {
            EXPECT_EQ(open.Id, std::string("id-") + c.open);
            EXPECT_EQ(open.Recipients, "a@x.de");
            EXPECT_EQ(FormatIsoDateTime(open.Time), FormatIsoDateTime(At(2025, 3, 14, 10, 0, (int(c.statuses.size()) - 1) * 2)));
        }
        EXPECT_FALSE(reread.OpenSend("CRONUS", "RE-2", open));
    }
    // Written with the id as seventh field; a line of an older version has none.
    EXPECT_THAT(Bytes(), HasSubstr(";CRONUS;RE-1;a@x.de;laufend;;id-laufend\r\n"));
    WriteFileBytes(File, "\xEF\xBB\xBFZeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info\r\n"
                         "2025-03-14T10:00:00.000+01:00;CRONUS;RE-1;a@x.de;OK;Debitor E-Mail\r\n"
                         "2025-03-14T11:00:00.000+01:00;CRONUS;RE-2;a@x.de;UNKLAR;Ob die Mail versendet wurde\r\n");
    TSentLog old(File);
    TDateTime when = 0;
    TSentEntry open;
    EXPECT_TRUE(old.LastSent("CRONUS", "RE-1", when));
    ASSERT_TRUE(old.OpenSend("CRONUS", "RE-2", open));
    EXPECT_EQ(open.Id, "");
    EXPECT_EQ(open.Info, "Ob die Mail versendet wurde");
}

TEST_F(SentLogTest, MailIdsAreLongRandomAndDistinct) {
    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = NewMailId();
        EXPECT_EQ(id.size(), 32u);
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 1000u);
}

// Asked before the first mail: a log this account cannot extend stops the run before
// anything is sent. As root the file modes hold no one back: the check then runs as
// "nobody".
TEST_F(SentLogTest, WritabilityIsCheckedBeforeAnyMail) {
    TSentLog fresh(File);
    EXPECT_EQ(test::ErrorOf([&] { fresh.CheckWritable(); }), "");
    EXPECT_FALSE(FileExists(File)) << "the check writes nothing";
    TSentLog missingFolder(Dir.File("fehlt/velkaro.versand.csv"));
    EXPECT_EQ(test::ErrorOf([&] { missingFolder.CheckWritable(); }),
              "Datei \"" + Dir.File("fehlt/velkaro.versand.csv") + "\" kann nicht geschrieben werden (" +
                  std::system_category().message(ENOENT) + ").");

    fresh.Add({At(2025, 3, 14, 10, 0, 0), "M", "RE-1", "", "OK", "", ""});
    std::filesystem::permissions(File, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    std::filesystem::permissions(Dir.Path(), std::filesystem::perms::all);  // "nobody" may enter
    EXPECT_EQ(test::ErrorOfUnprivileged([&] { TSentLog(File).CheckWritable(); }),
              "Datei \"" + File + "\" kann nicht geschrieben werden (" + std::system_category().message(EACCES) + ").");
}

TEST_F(SentLogTest, WriteErrorsAreGermanWithTheSystemTextInParentheses) {
    std::filesystem::create_directory(Dir.File("ordner"));
    const struct {
        std::string file;
        int code;
    } cases[] = {
        {Dir.File("fehlt/velkaro.versand.csv"), ENOENT}, // created in a folder that is missing
        {Dir.File("ordner"), EISDIR},                   // an existing name that is no file
    };
    for (const auto& c : cases) {
        TSentLog log(c.file);
        EXPECT_EQ(test::ErrorOf([&] { log.Add({At(2025, 3, 14, 10, 5, 9), "M", "RE-1", "", "OK", "", ""}); }),
                  "Datei \"" + c.file + "\" kann nicht geschrieben werden (" + std::system_category().message(c.code) +
                      ").");
    }
}

} // namespace
} // namespace velkaro
