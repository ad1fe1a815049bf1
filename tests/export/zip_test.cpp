#include "export/zip.h"

#include <gtest/gtest.h>

#include <random>

#include "export/crc32.h"
#include "support/export_readers.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using namespace std::string_literals;

std::string randomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

TEST(Zip, Crc32AndArchivesByteForByte) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(std::string(32, '\0')), 0x190A55ADu);
    std::mt19937 rng(3);
    for (std::size_t n : {0u, 1u, 7u, 255u, 256u, 4099u}) {
        const std::string s = randomBytes(rng, n);
        EXPECT_EQ(crc32(s), crc32Bitwise(s)) << n << " bytes";
    }
    EXPECT_EQ(zipStored({}), "PK\x05\x06"s + std::string(18, '\0'));
    const std::uint32_t crc = crc32Bitwise("hi");
    const std::string common =
        "\x14\0\0\0\0\0\0\0\x21\x5C"s +
        std::string{char(crc), char(crc >> 8), char(crc >> 16), char(crc >> 24)} +
        "\2\0\0\0\2\0\0\0\5\0\0\0"s;
    const std::string local = "PK\x03\x04"s + common + "a.txthi";                            // 37
    const std::string dir = "PK\x01\x02\x14\0"s + common + std::string(14, '\0') + "a.txt";  // 51
    EXPECT_EQ(zipStored({{"a.txt", "hi"}}),
              local + dir + "PK\x05\x06\0\0\0\0\1\0\1\0\x33\0\0\0\x25\0\0\0\0\0"s);
}

TEST(Zip, EntriesReadBackInOrderUpToTheLimits) {
    std::mt19937 rng(5);
    std::vector<ZipEntry> entries{{"[Content_Types].xml", "<x/>"},
                                  {"vide", ""},
                                  {"dossier/pièce é.bin", randomBytes(rng, 70000)},
                                  {"dossier/pièce é.bin", "twice"}};
    std::string why;
    auto files = readStoredZip(zipStored(entries).value_or(""), &why);
    ASSERT_TRUE(files) << why;
    ASSERT_EQ(files->size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_TRUE((*files)[i].name == entries[i].name && (*files)[i].data == entries[i].data)
            << i;
    // Counts and name lengths beyond 16 bits are refused, never wrapped.
    entries.assign(65535, ZipEntry{"x", ""});
    files = readStoredZip(zipStored(entries).value_or(""), &why);
    ASSERT_TRUE(files) << why;
    EXPECT_EQ(files->size(), 65535u);
    entries.push_back({"x", ""});
    EXPECT_FALSE(zipStored(entries));
    EXPECT_TRUE(zipStored({{std::string(65535, 'n'), "d"}}));
    EXPECT_FALSE(zipStored({{std::string(65536, 'n'), "d"}}));
    // Sizes and offsets: data up to the last offset a 32-bit field holds without the
    // 64-bit mark, then past it.
    EXPECT_EQ(zipStoredSize({}), 22u);
    EXPECT_EQ(zipStoredSize({{5, 2}}), 37u + 51u + 22u);
    const std::uint64_t last = 0xFFFFFFFEu, three = std::uint64_t{3} << 30;
    EXPECT_TRUE(zipStoredSize({{1, last - 31}}));
    EXPECT_FALSE(zipStoredSize({{1, last - 30}}));  // the directory would start past it
    EXPECT_FALSE(zipStoredSize({{1, std::uint64_t{5} << 32}}));
    // Two entries of 3 GiB: each size fits, the second offset does not.
    EXPECT_FALSE(zipStoredSize({{1, three}, {1, three}}));
    EXPECT_TRUE(zipStoredSize({{1, three}, {1, 0}}));
    // A directory too large on its own: 65 535 names of 65 535 bytes.
    EXPECT_FALSE(zipStoredSize(std::vector<ZipEntrySize>(65535, {65535, 0})));
}

}  // namespace
}  // namespace ivo
