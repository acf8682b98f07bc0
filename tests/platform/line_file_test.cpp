#include <gtest/gtest.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/line_file.h"
#include "support/test_support.h"

using namespace velkaro;
using velkaro::test::TempFolder;

// Every line is in the file as soon as it was written, after the byte-order mark.
TEST(LineFile, EachLineReachesTheFileAtOnce) {
    TempFolder dir;
    const std::string path = dir.File("a.log");
    WriteFileBytes(path, "alt\r\nalt\r\n");
    TLineFile file(path);
    EXPECT_EQ(ReadFileBytes(path), kUtf8Bom) << "started afresh";
    file.WriteLine("eins");
    EXPECT_EQ(ReadFileBytes(path), std::string(kUtf8Bom) + "eins\r\n");
    file.WriteLine("zwei");
    EXPECT_EQ(ReadFileBytes(path), std::string(kUtf8Bom) + "eins\r\nzwei\r\n");
    EXPECT_NE(test::ErrorOf([&] { TLineFile(dir.File("fehlt/a.log")); }).find("kann nicht angelegt werden"),
              std::string::npos);
}

TEST(LineFile, GenerationsMoveUpAndTheOldestFallsAway) {
    TempFolder dir;
    const std::string path = dir.File("v.log");
    RotateFileGenerations(path, 3);  // nothing there yet
    EXPECT_FALSE(FileExists(path + ".1"));
    for (const char* run : {"a", "b", "c", "d", "e"}) {
        RotateFileGenerations(path, 3);
        WriteFileBytes(path, run);
    }
    EXPECT_EQ(ReadFileBytes(path), "e");
    EXPECT_EQ(ReadFileBytes(path + ".1"), "d");
    EXPECT_EQ(ReadFileBytes(path + ".2"), "c");
    EXPECT_EQ(ReadFileBytes(path + ".3"), "b");
    EXPECT_FALSE(FileExists(path + ".4"));

    // A gap (a generation deleted by hand) moves up with the others.
    std::remove((path + ".1").c_str());
    RotateFileGenerations(path, 3);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path + ".1"), "e");
    EXPECT_FALSE(FileExists(path + ".2"));
    EXPECT_EQ(ReadFileBytes(path + ".3"), "c");
}
