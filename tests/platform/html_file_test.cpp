#include "platform/html_file.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

struct HtmlCase {
    const char* Name;
    std::string Bytes;
    std::string Expected;
};

TEST(LoadHtmlFile, ByByteOrderMarkOrCharset) {
    test::TempFolder dir;
    const std::string padding(5000, ' ');
    const HtmlCase cases[] = {
        {"utf-8 bom", std::string("\xEF\xBB\xBF") + "<p>ä€</p>", "<p>ä€</p>"},
        {"utf-16le bom", std::string("\xFF\xFE<\0\xE4\0\xAC\x20>\0", 10), "<ä€>"},
        {"utf-16be bom", std::string("\xFE\xFF\0<\0\xE4\x20\xAC\0>", 10), "<ä€>"},
        {"utf-16le odd byte", std::string("\xFF\xFEO\0K\0!", 7), "OK"},
        {"windows-1252", "<meta http-equiv=Content-Type content=\"text/html; charset=Windows-1252\">\x80\xE4",
         "<meta http-equiv=Content-Type content=\"text/html; charset=Windows-1252\">€ä"},
        {"iso-8859-1", "<meta CHARSET = 'ISO-8859-1'>\xE4", "<meta CHARSET = 'ISO-8859-1'>ä"},
        {"utf-8 declared", "<meta charset=utf-8>ä", "<meta charset=utf-8>ä"},
        {"no declaration", "<p>ä</p>", "<p>ä</p>"},
        {"other charset", "<meta charset=koi8-r>\xE4", "<meta charset=koi8-r>\xEF\xBF\xBD"},
        {"declaration too late", padding + "<meta charset=windows-1252>\xE4",
         padding + "<meta charset=windows-1252>\xEF\xBF\xBD"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File("t.htm"), c.Bytes);
        EXPECT_EQ(LoadHtmlFile(dir.File("t.htm")), c.Expected) << c.Name;
    }
    EXPECT_THROW(LoadHtmlFile(dir.File("fehlt.htm")), Exception);
}

} // namespace
} // namespace velkaro
