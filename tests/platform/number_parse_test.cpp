#include "platform/number_parse.h"

#include <gtest/gtest.h>

#include <string>

namespace velkaro {
namespace {

TEST(NumberParse, DecimalPointWithAndWithoutExponent) {
    struct Case {
        std::string text;
        std::optional<double> pointOnly;
        std::optional<double> withExponent;
    };
    const Case cases[] = {
        {"42.5", 42.5, 42.5},   {"-3", -3.0, -3.0},       {".5", 0.5, 0.5},      {"5.", 5.0, 5.0},
        {"+1.25", 1.25, 1.25},  {"0", 0.0, 0.0},          {" \t7.25\r\n", 7.25, 7.25},
        {"1e3", {}, 1000.0},    {"1.5e-05", {}, 1.5e-05}, {"+2E2", {}, 200.0},   {"1e", {}, {}},
        {"42,5", {}, {}},       {"nan", {}, {}},          {"inf", {}, {}},       {"-infinity", {}, {}},
        {"", {}, {}},           {"  ", {}, {}},           {".", {}, {}},         {"1.2.3", {}, {}},
        {"1 000", {}, {}},      {"--1", {}, {}},          {"0x10", {}, {}},      {"1.5mm", {}, {}},
        {"+-1", {}, {}},        {"-+1", {}, {}},          {"++1", {}, {}},  // one sign only
        {std::string(400, '9'), {}, {}},                  {"1e400", {}, {}},  // beyond double range
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDecimalPoint(c.text), c.pointOnly) << c.text;
        EXPECT_EQ(ParseDecimalPoint(c.text, dsWithExponent), c.withExponent) << c.text;
    }
}

} // namespace
} // namespace velkaro
