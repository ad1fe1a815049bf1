#include "input/parse_num.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace ivo {
namespace {

// Units go one after the other, each everywhere ("2m°m" holds "mm" once "°" has gone); only
// ASCII digits make numbers, not other numeric characters nor malformed UTF-8.
TEST(ParseNum, ReadsExpressionsAndRefusesWhatIsNotOneNumber) {
    const std::pair<const char*, double> values[] = {
        {"40/2+1,5", 21.5},    {"2*(3+4)", 14},  {"2x3", 6},     {"-(1+2)", -3},
        {"10MM", 10},          {"45°", 45},      {"45 deg", 45}, {"(2+3", 5},
        {"+-+2", -2},          {",5", 0.5},      {"5,", 5},      {"7-2-1", 4},
        {"8/2/2", 2},          {"1+2*3", 7},     {"2*-3", -6},   {"1 2", 12},
        {"1-(2-(3", 2},        {"4\xc2\xb0", 4}, {"1mm0mm", 10}, {"3d°eg", 3},
        {"  3 , 25 mm ", 3.25}};
    for (const auto& [text, value] : values)
        EXPECT_EQ(parseNum(text), value) << text;
    const char* refused[] = {"",       "2+",        "abc",       "1,5,2",   "8/0",     "0/0",
                             "1e3",    "2+3)",      "12a",       "1..2",    "()",      "2**3",
                             "1\t2",   "3 x",       "1mdegm",    "1+(2*",   "2m°m",    "mmm4",
                             "\u0663", "\uff13",    "1\u00bd",   "2\u00b2", "1\u0301", "4\xb0",
                             "4\xc2",  "\377\3765", "5\302\2400"};
    for (const char* text : refused)
        EXPECT_FALSE(parseNum(text)) << '"' << text << '"';
    EXPECT_FALSE(parseNum(std::string_view("1\0", 2)));
}

// Whatever is pasted into a field ends in a value or nothing, quickly and without deep
// recursion; long runs round like a decimal conversion.
TEST(ParseNum, SurvivesHugeAndDeeplyNestedInput) {
    const std::string big(400, '9');
    EXPECT_FALSE(parseNum(big));                                   // beyond the doubles: infinite
    EXPECT_EQ(parseNum("1/" + big), 0.0);                          // … and 1/∞ is a number
    EXPECT_EQ(parseNum("0." + std::string(400, '0') + "1"), 0.0);  // underflows to zero
    EXPECT_FALSE(parseNum(big + "-" + big));                       // ∞ − ∞ is not a number
    EXPECT_FALSE(parseNum(std::string(10000, '(') + "1"));
    EXPECT_EQ(parseNum(std::string(200, '(') + "1" + std::string(200, ')')), 1);
    EXPECT_FALSE(parseNum(std::string(201, '(') + "1" + std::string(201, ')')));
    EXPECT_EQ(parseNum(std::string(1000000, '-') + "3"), 3);
    EXPECT_EQ(parseNum(std::string(1000001, '-') + "3"), -3);
    EXPECT_EQ(parseNum("0," + std::string(1 << 20, '5')), 0.5555555555555556);
    std::string sum = "0";
    for (int i = 0; i < 100000; ++i)
        sum += "+1";
    EXPECT_EQ(parseNum(sum), 100000);
    EXPECT_FALSE(parseNum(std::string(1 << 20, '\xe9')));
}

TEST(Fmt, ShowsAtMostThreeDecimalsWithAComma) {
    // Beside the rows of the locale test below.
    const std::pair<double, const char*> cases[] = {
        {2, "2"},      {-0.0001, "0"},   {-0.0, "0"},      {-2.5, "-2,5"},       {0.0005, "0,001"},
        {0.9999, "1"}, {1e6, "1000000"}, {0.125, "0,125"}, {-1234.5, "-1234,5"}, {0.1234, "0,123"}};
    for (const auto& [v, text] : cases)
        EXPECT_EQ(fmt(v), text) << v;
    EXPECT_EQ(fmt(1e21), "1000000000000000000000");
    EXPECT_EQ(fmt(1.7976931348623157e308).size(), 309u);
}

// The application runs with the user's locale; a French one must change neither function.
TEST(ParseNum, FrenchLocaleChangesNeitherParsingNorFormatting) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr)
        << "the fr_FR.UTF-8 locale is missing: generate it (scripts/deps.sh test)";
    char probe[16];  // proves the locale took effect: the C library writes a decimal comma
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const std::vector<std::optional<double>> values{parseNum("1.5"), parseNum("1,5"),
                                                    parseNum("40/2+1,5"), parseNum("1,5,2")};
    const std::vector<std::string> texts{fmt(1.5), fmt(1234567.25), fmt(-0.0004), fmt(12.3456)};
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_STREQ(probe, "1,5");
    EXPECT_EQ(values, (std::vector<std::optional<double>>{1.5, 1.5, 21.5, std::nullopt}));
    EXPECT_EQ(texts, (std::vector<std::string>{"1,5", "1234567,25", "0", "12,346"}));
}

}  // namespace
}  // namespace ivo
