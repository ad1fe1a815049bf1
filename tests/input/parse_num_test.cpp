#include "input/parse_num.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

namespace ivo {
namespace {

// The values a user types into dimension and feature fields.
TEST(ParseNum, ReadsExpressionsWrittenTheFrenchWay) {
    const std::pair<const char*, double> cases[] = {
        {"40/2+1,5", 21.5}, {"2*(3+4)", 14}, {"2x3", 6},   {"2X3", 6},
        {"-(1+2)", -3},     {"10 mm", 10},   {"10MM", 10}, {"45°", 45},
        {"45 deg", 45},     {"45DEG", 45},   {"(2+3", 5},  {"--2", 2},
        {"+-+2", -2},       {"1.5", 1.5},    {",5", 0.5},  {"5,", 5},
        {"7-2-1", 4},       {"8/2/2", 2},    {"1+2*3", 7}, {"-2*3", -6},
        {"2*-3", -6},       {"1 2", 12},     {"0/5", 0},   {"  3 , 25 mm ", 3.25},
        {"((((4))))", 4},   {"3x(1+1", 6},   {"007", 7},   {"1-(2-(3", 2},
    };
    for (const auto& [text, value] : cases) {
        const std::optional<double> v = parseNum(text);
        ASSERT_TRUE(v) << text;
        EXPECT_DOUBLE_EQ(*v, value) << text;
    }
}

TEST(ParseNum, RefusesWhatIsNotOneNumber) {
    const char* cases[] = {"",     "+",    "(",   "2+", "abc",    "1,5,2", "8/0",  "0/0",
                           "1e3",  "2+3)", "12a", ".",  "1..2",   "()",    "2**3", "m m",
                           "1\t2", "--",   "3 x", "x3", "1mdegm", "(((",   "-(",   "1+(2*"};
    for (const char* text : cases)
        EXPECT_FALSE(parseNum(text)) << '"' << text << '"';
}

// Units are removed one after the other, each everywhere, before anything is read.
TEST(ParseNum, RemovesUnitsInOrderEverywhere) {
    EXPECT_EQ(parseNum("1mm0mm"), 10);
    EXPECT_EQ(parseNum("2m°m"), std::nullopt);  // "mm" appears only once "°" has gone
    EXPECT_EQ(parseNum("3d°eg"), 3);            // and "deg" does after "°"
    EXPECT_EQ(parseNum("mmm4"), std::nullopt);  // a lone "m" is left
}

// Only ASCII digits make numbers; other numeric characters and anything outside ASCII do not.
TEST(ParseNum, RefusesNonAsciiDigitsAndMalformedUtf8) {
    const char* cases[] = {
        "\u0663",   // Arabic-Indic three
        "\uff13",   // fullwidth three
        "1\u00bd",  // vulgar half
        "2\u00b2",  // superscript two
        "1\u0301",  // a combining accent on a digit
        "4\xb0",    // a lone continuation byte
        "4\xc2",    // a truncated sequence
        "\xff\xfe"
        "5",  // bytes that are never UTF-8
        "5\xc2\xa0"
        "0",  // no-break space: only the plain space is ignored
    };
    for (const char* text : cases)
        EXPECT_FALSE(parseNum(text)) << text;
    EXPECT_FALSE(parseNum(std::string_view("1\0", 2)));
    EXPECT_EQ(parseNum("4\xc2\xb0"), 4);  // the degree sign itself is fine
}

TEST(ParseNum, LargeAndTinyRunsRoundLikeADecimalConversion) {
    const std::string big(400, '9');
    EXPECT_FALSE(parseNum(big));                                   // beyond the doubles: infinite
    EXPECT_EQ(parseNum("1/" + big), 0.0);                          // … and 1/∞ is a number
    EXPECT_EQ(parseNum("0." + std::string(400, '0') + "1"), 0.0);  // underflows to zero
    EXPECT_EQ(parseNum("0.1" + std::string(400, '0')), 0.1);
    EXPECT_FALSE(parseNum(big + "-" + big));  // ∞ − ∞ is not a number
}

// Whatever is pasted into a field ends in a value or nothing, quickly and without deep
// recursion.
TEST(ParseNum, SurvivesHugeAndDeeplyNestedInput) {
    EXPECT_FALSE(parseNum(std::string(10000, '(') + "1" + std::string(10000, ')')));
    EXPECT_FALSE(parseNum(std::string(10000, '(') + "1"));
    EXPECT_EQ(parseNum(std::string(200, '(') + "1" + std::string(200, ')')), 1);
    EXPECT_FALSE(parseNum(std::string(201, '(') + "1" + std::string(201, ')')));
    EXPECT_EQ(parseNum(std::string(1000000, '-') + "3"), 3);
    EXPECT_EQ(parseNum(std::string(1000001, '-') + "3"), -3);
    EXPECT_FALSE(parseNum(std::string(1 << 20, '1')));  // 1 MB of digits: infinite
    EXPECT_EQ(parseNum("0," + std::string(1 << 20, '5')), 0.5555555555555556);
    std::string sum = "0";
    for (int i = 0; i < 100000; ++i)
        sum += "+1";
    EXPECT_EQ(parseNum(sum), 100000);
    EXPECT_FALSE(parseNum(std::string(1 << 20, '\xe9')));
}

TEST(Fmt, ShowsAtMostThreeDecimalsWithAComma) {
    const std::pair<double, const char*> cases[] = {
        {2, "2"},
        {1.5, "1,5"},
        {0.1234, "0,123"},
        {10, "10"},
        {-0.0001, "0"},
        {12.3456, "12,346"},
        {-2.5, "-2,5"},
        {100, "100"},
        {-0.0004, "0"},
        {-0.0, "0"},
        {0.0005, "0,001"},
        {1e6, "1000000"},
        {-1234.5, "-1234,5"},
        {0.9999, "1"},
        {0.125, "0,125"},
        {1e21, "1000000000000000000000"},
    };
    for (const auto& [v, text] : cases)
        EXPECT_EQ(fmt(v), text) << v;
    EXPECT_EQ(fmt(1.7976931348623157e308).size(), 309u);
}

// The application runs with the user's locale; a French one must change neither function.
class FrenchLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr)
            << "the fr_FR.UTF-8 locale is missing: generate it (scripts/deps.sh test)";
    }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

TEST_F(FrenchLocale, ChangesNeitherParsingNorFormatting) {
    // Proves the locale took effect: the C library now writes a decimal comma.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5");

    EXPECT_EQ(parseNum("1.5"), 1.5);
    EXPECT_EQ(parseNum("1,5"), 1.5);
    EXPECT_EQ(parseNum("40/2+1,5"), 21.5);
    EXPECT_EQ(parseNum("1,5,2"), std::nullopt);
    EXPECT_EQ(fmt(1.5), "1,5");
    EXPECT_EQ(fmt(1234567.25), "1234567,25");  // no digit grouping
    EXPECT_EQ(fmt(-0.0004), "0");
    EXPECT_EQ(fmt(12.3456), "12,346");
}

}  // namespace
}  // namespace ivo
