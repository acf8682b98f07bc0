#include <gtest/gtest.h>

#include <string>

#include "invoice/leitweg.h"

using namespace velkaro;

namespace {
const char* kStructure = "Aufbau muss Grobadressierung-[Feinadressierung-]Prüfziffer sein (mit Bindestrichen)";
const char* kCoarseLength = "Grobadressierung muss 2 bis 12 Ziffern haben";
const char* kCoarseDigits = "Grobadressierung darf nur Ziffern enthalten";
const char* kFineLength = "Feinadressierung muss 1 bis 30 Zeichen haben";
const char* kFineChars = "Feinadressierung darf nur Buchstaben A-Z und Ziffern enthalten";
const char* kCheckForm = "Prüfziffer muss aus 2 Ziffern bestehen";
const char* kCheckWrong = "Prüfziffer stimmt nicht";
} // namespace

TEST(LeitwegID, ValidIdsAndEachReasonInOrder) {
    struct Case { std::string text; const char* reason; };  // empty reason: valid
    const std::vector<Case> cases = {
        {"04011000-1234512345-06", ""},
        {"991-33333TEST-33", ""},
        {"991-33333test-33", ""},                   // upper-cased before the check
        {"  04011000-1234512345-06\t", ""},
        {"04011000-45", ""},                        // without fine address
        {"12-62", ""},                              // shortest coarse address
        {"991-" + std::string(30, 'A') + "-36", ""},
        {"123456789012-" + std::string(30, 'Z') + "-92", ""},
        {"", "leer"},
        {" \t\r\n", "leer"},
        {"04011000-1234512345-07", kCheckWrong},
        {"04011000-46", kCheckWrong},
        {"0401100012345", kStructure},
        {"1-2-3-4", kStructure},
        {"---", kStructure},
        {"1-12", kCoarseLength},
        {"1234567890123-00", kCoarseLength},
        {"-1-12", kCoarseLength},                   // empty coarse address
        {"0401A000-45", kCoarseDigits},
        {"ÄÄ-12", kCoarseDigits},                    // two characters, not four bytes
        {"991--33", kFineLength},
        {"991-" + std::string(31, 'A') + "-33", kFineLength},
        {"04011000-12345_12345-06", kFineChars},
        {"04011000-1234Ä-06", kFineChars},
        {"04011000-1", kCheckForm},
        {"04011000-123", kCheckForm},
        {"04011000-4A", kCheckForm},
        {"04011000-", kCheckForm},
        // the first failing rule wins
        {"1-12345_-X", kCoarseLength},
        {"0A-12345_-X", kCoarseDigits},
        {"04-12345_-X", kFineChars},
        {"04-1-X", kCheckForm},
    };
    for (const auto& c : cases) {
        std::string reason = "alt";
        const bool valid = CheckLeitwegID(c.text, reason);
        EXPECT_EQ(valid, std::string(c.reason).empty()) << c.text;
        EXPECT_EQ(reason, c.reason) << c.text;
    }
}

TEST(LeitwegID, AnyChangedDigitIsDetected) {
    // MOD 97-10 catches every single-digit change.
    const std::string valid = "04011000-1234512345-06";
    std::string reason;
    ASSERT_TRUE(CheckLeitwegID(valid, reason));
    for (size_t i = 0; i < valid.size(); ++i) {
        if (valid[i] == '-') continue;
        for (char d = '0'; d <= '9'; ++d) {
            if (d == valid[i]) continue;
            std::string changed = valid;
            changed[i] = d;
            EXPECT_FALSE(CheckLeitwegID(changed, reason)) << changed;
            EXPECT_EQ(reason, kCheckWrong) << changed;
        }
    }
}

TEST(LeitwegID, HostileInputGivesAReason) {
    std::string reason;
    EXPECT_FALSE(CheckLeitwegID(std::string(10000, '1'), reason));
    EXPECT_EQ(reason, kStructure);
    EXPECT_FALSE(CheckLeitwegID("04-" + std::string(10000, 'A') + "-00", reason));
    EXPECT_EQ(reason, kFineLength);
    EXPECT_FALSE(CheckLeitwegID(std::string(10000, '-'), reason));
    EXPECT_EQ(reason, kStructure);
    EXPECT_FALSE(CheckLeitwegID("04011000-1234\xFF\xFE-06", reason));  // invalid UTF-8
    EXPECT_EQ(reason, kFineChars);
    EXPECT_FALSE(CheckLeitwegID("04011000\xE2\x80\x8B-45", reason));  // zero-width space
    EXPECT_EQ(reason, kCoarseDigits);
    EXPECT_FALSE(CheckLeitwegID(std::string("04\0" "11000-45", 11), reason));
    EXPECT_EQ(reason, kCoarseDigits);
}
