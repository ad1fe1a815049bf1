// The update description, the site addresses and the quoting of the swap script.
#include "updater/manifest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "support/temp_dir.h"

namespace ivo {
namespace {

TEST(Manifest, ReadsEveryFieldAndRefusesWrongTypesAndOversizedText) {
    using Fields = std::tuple<std::string, int64_t, std::string, std::optional<std::string>>;
    const auto fields = [](std::string_view text) {
        const auto i = parseInfo(text);
        return i ? Fields{i->version, i->build, i->url, i->notes} : Fields{};
    };
    EXPECT_EQ(fields(R"({"version": "1.3", "build": 14, "url": "a.tar.xz", "notes": "<b>x</b>"})"),
              Fields("1.3", 14, "a.tar.xz", "<b>x</b>"));
    EXPECT_EQ(fields(R"({"version": "1.3", "build": 14, "url": "a", "extra": [1]})"),
              Fields("1.3", 14, "a", std::nullopt));
    const char* const bad[] = {"",
                               "[]",
                               "not json",
                               R"({"build": 2, "url": "a"})",
                               R"({"version": "1", "url": "a"})",
                               R"({"version": "1", "build": 2})",
                               R"({"version": 1, "build": 2, "url": "a"})",
                               R"({"version": "1", "build": "2", "url": "a"})",
                               R"({"version": "1", "build": 2.5, "url": "a"})",
                               R"({"version": "1", "build": true, "url": "a"})",
                               R"({"version": "1", "build": -3, "url": "a"})",
                               R"({"version": "1", "build": 18446744073709551615, "url": "a"})",
                               R"({"version": "1", "build": 2, "url": ["a"]})",
                               R"({"version": "1", "build": 2, "url": ""})",
                               R"({"version": "1", "build": 2, "url": "a", "notes": 5})"};
    for (const char* text : bad)
        EXPECT_FALSE(parseInfo(text)) << text;
    std::string padded = R"({"version": "1", "build": 2, "url": "a"})";
    EXPECT_TRUE(parseInfo(padded));
    EXPECT_FALSE(parseInfo(padded.append(maxInfoBytes, ' ')));
}

TEST(Manifest, BuildNumbersAreStrictDecimals) {
    EXPECT_EQ(parseBuild("42"), 42);
    for (const char* text : {"", "4 2", "42a", "0x10", "abc", " 42"})
        EXPECT_EQ(parseBuild(text), 0) << text;
}

TEST(Manifest, SiteAddressesGetExactlyOneSlash) {
    for (const char* typed : {"https://s.example/maj", "https://s.example/maj/",
                              " https://s.example/maj// ", "https://s.example/maj / /"})
        EXPECT_EQ(versionAddress(trimBase(typed), 1700000000),
                  "https://s.example/maj/version.json?t=1700000000")
            << typed;
    const std::string base = trimBase("https://s.example/maj/");
    EXPECT_EQ(archiveAddress("ivorane3d-2.tar.xz", base),
              "https://s.example/maj/ivorane3d-2.tar.xz");
    EXPECT_EQ(archiveAddress("https://cdn.example/a.tar.xz", base), "https://cdn.example/a.tar.xz");
}

TEST(Manifest, QuotedPathsStayOneWordForTheShell) {
    const testing::TempDir tmp;
    for (const std::string p : {"/tmp/simple", "/tmp/Mes apps/L'atelier", "/tmp/''", "/tmp/$(x)`y`",
                                "/tmp/a\"b\\c", "/tmp/-n *"}) {
        const std::string cmd = "printf '%s' " + shellQuote(p) + " > " + shellQuote(tmp.file("o"));
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_EQ(testing::readAll(tmp.file("o")), p);
    }
}

}  // namespace
}  // namespace ivo
