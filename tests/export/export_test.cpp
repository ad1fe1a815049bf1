// The exporters: STL, the 3MF package (stored ZIP, CRC-32, model text), the refusal of
// coordinates no format can hold, and the file name an export is written under.
#include "export/export_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "export/crc32.h"
#include "export/stl.h"
#include "export/three_mf.h"
#include "export/zip.h"
#include "geometry/mesh.h"
#include "support/export_readers.h"
#include "support/solids.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using namespace std::string_literals;

TEST(Zip, Crc32AndArchivesByteForByte) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(std::string(32, '\0')), 0x190A55ADu);
    std::mt19937 rng(3);
    for (std::size_t n : {0u, 1u, 7u, 255u, 256u, 4099u}) {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(rng());
        EXPECT_EQ(crc32(s), crc32Bitwise(s)) << n << " bytes";
        // Every start against the word boundary, and every tail after the last whole word.
        for (std::size_t from = 1; from < 9 && from < n; ++from)
            EXPECT_EQ(crc32(std::string_view(s).substr(from)), crc32Bitwise(s.substr(from)))
                << n << " bytes from " << from;
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

TEST(Zip, TheLimitsAreRefusedNeverWrapped) {
    std::string why;
    // Counts and name lengths beyond 16 bits.
    std::vector<ZipEntry> entries(65535, ZipEntry{"x", ""});
    const auto files = readStoredZip(zipStored(entries).value_or(""), &why);
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

// Every line of the model text holding `what`.
std::vector<std::string> linesWith(const std::string& text, const std::string& what) {
    std::vector<std::string> out;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        if (text.substr(start, end - start).find(what) != std::string::npos)
            out.push_back(text.substr(start, end - start));
    }
    return out;
}

TEST(ThreeMF, BoxPackageByteForByte) {
    const std::vector<NamedMesh> models{{"Corps 1", triangles(polyBox({0, 0, 0}, {10, 20, 30}))}};
    const std::string expected = readAll(IVORANE_TEST_DATA_DIR "/export/box.model");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(threeMFModelText(models), expected);
    std::string why;
    const auto files =
        readStoredZip(threeMFData(models).value_or(""), &why).value_or(std::vector<ZipEntry>{});
    ASSERT_EQ(files.size(), 3u) << why;
    EXPECT_EQ(files[0].name + " " + files[1].name + " " + files[2].name,
              "[Content_Types].xml _rels/.rels 3D/3dmodel.model");
    EXPECT_EQ(files[2].data, expected);
}

// Names with markup, control characters and invalid UTF-8 stay readable: bytes XML cannot
// carry are dropped or replaced.
TEST(ThreeMF, Lib3mfReadsEveryName) {
    const auto box = triangles(polyBox({-5, 0, -5}, {5, 8, 5}));
    const Read3mf read =
        readWithLib3mf(threeMFData({{"&lt; \"x\" > y", box},
                                    {"bip\x01\x1F\tfin", box},
                                    {"coupé \xFF\xC3 \xED\xA0\x80 \xEF\xBF\xBF.", box}})
                           .value_or(""))
            .value_or(Read3mf{});
    ASSERT_EQ(read.objects.size(), 3u);
    EXPECT_NEAR(read.objects[0].volume, 800, 1e-3);
    EXPECT_EQ(read.objects[0].name, "&lt; \"x\" > y");
    EXPECT_EQ(read.objects[1].name, "bip\tfin");
    EXPECT_EQ(read.objects[2].name.substr(0, 6), "coupé");
    EXPECT_NE(read.objects[2].name.find("\xEF\xBF\xBD"), std::string::npos);
}

// Coordinates are written as printf's "%.5f" would in the C locale, whatever the locale
// (a French one would write "0,50000"); vertices rounding to the same text are shared.
TEST(ThreeMF, ModelTextSharesVerticesAndSkipsWhatCannotBeWritten) {
    const double values[] = {-0.0,           -0.000004,    0.000005,  0.0000051,
                             1.000005,       2.5e-6,       -2.5e-6,   -1e9,
                             123456.7890123, 1e15 + 0.375, 0.1 + 0.2, -99.999995};
    const V3 n{0, 0, 1};
    std::vector<NamedMesh> models;
    for (const double v : values)
        models.push_back({"v", {{{v, 0, 0}, {0, 1, 0}, {0, 0, 1}, n}}});
    const std::string text = threeMFModelText(models);
    const auto vertices = linesWith(text, "<vertex ");
    ASSERT_EQ(vertices.size(), 3 * std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        char x[64];
        std::snprintf(x, sizeof x, "%.5f", values[i]);
        EXPECT_EQ(vertices[3 * i],
                  "<vertex x=\"" + std::string(x) + "\" y=\"-0.00000\" z=\"0.00000\"/>");
    }
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
        EXPECT_EQ(threeMFModelText(models), text);
        std::setlocale(LC_ALL, previous.c_str());
    }
    // 1.00004 and 0.99996 both round to 10 000 × 0.0001 mm: one vertex, written as the first.
    const std::vector<Tri> tris{{{0, 0, 0}, {1.00004, 0, 0}, {0, 1, 0}, n},
                                {{0.99996, 0, 0}, {1, 1, 0}, {0, 1, 0}, n},
                                {{0, 0, 0}, {0.5, 0, 0}, {0.50004, 0, 0}, n}};  // flat: dropped
    const std::string shared = threeMFModelText({{"m", tris}});
    const auto vertexLines = linesWith(shared, "<vertex ");
    ASSERT_EQ(vertexLines.size(), 5u);  // the flat triangle's new corner stays listed
    EXPECT_EQ(vertexLines[1], "<vertex x=\"1.00004\" y=\"-0.00000\" z=\"0.00000\"/>");
    EXPECT_EQ(linesWith(shared, "<triangle "),
              (std::vector<std::string>{"<triangle v1=\"0\" v2=\"1\" v3=\"2\"/>",
                                        "<triangle v1=\"1\" v2=\"3\" v3=\"2\"/>"}));
    // Empty, flat and infinite models take no object (names are read back through lib3mf).
    const double inf = std::numeric_limits<double>::infinity();
    const std::string ids =
        threeMFModelText({{"vide", {}},
                          {"plat", {{{0, 0, 0}, {1, 0, 0}, {1.00001, 0, 0}, n}}},
                          {"infini", {{{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}, n}}},
                          {"a", triangles(polyBox({0, 0, 0}, {1, 1, 1}))}});
    EXPECT_EQ(linesWith(ids, "<object ").size(), 1u);
    EXPECT_EQ(ids.find("inf"), std::string::npos);
}

TEST(Stl, EmptyAndOneTriangleInPrinterAxesByteForByte) {
    const std::string header = "Ivorane 3D - export STL" + std::string(57, ' ');
    EXPECT_EQ(stlData({}), header + std::string(4, '\0'));  // 84 bytes
    EXPECT_EQ(stlData({{}, {}}), header + std::string(4, '\0'));
    // Little-endian float32: 1 is 00 00 80 3F, −1 is 00 00 80 BF; the −0 that the axis swap
    // makes of a zero keeps its sign bit.
    const std::string one = "\0\0\x80\x3F"s, minusOne = "\0\0\x80\xBF"s, zero(4, '\0');
    EXPECT_EQ(stlData({{{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 1, 0}}}}),
              header + "\1\0\0\0"s + zero + "\0\0\0\x80"s + one +   // normal (0, −0, 1)
                  zero + minusOne + zero + one + minusOne + zero +  // (0, −1, 0), (1, −1, 0)
                  zero + minusOne + one + "\0\0"s);                 // (0, −1, 1), attributes
    EXPECT_EQ(stlSize(0xFFFFFFFFu), 84u + 50u * 0xFFFFFFFFull);
    EXPECT_FALSE(stlSize(0x100000000ull));  // beyond the 32-bit count
}

// A float beyond its range would be written as an infinity: both writers refuse instead,
// and the export says why.
TEST(Stl, CoordinatesThatAreNotFiniteInTheFormatAreRefused) {
    const double inf = std::numeric_limits<double>::infinity();
    const V3 n{0, 0, 1};
    const Tri fine{{0, 0, 0}, {3e38, 0, 0}, {0, 1, 0}, n};
    EXPECT_TRUE(stlData({{fine}}));
    EXPECT_TRUE(threeMFData({{"m", {fine}}}));
    const struct {
        Tri tri;
        bool stl, threeMF;  // refused by each
    } cases[] = {
        {{{0, 0, 0}, {1e39, 0, 0}, {0, 1, 0}, n}, true, false},  // beyond float, fine as text
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, inf}, n}, true, true},
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, std::nan("")}, n}, true, true},
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -inf}}, true, false},  // 3MF has no normals
    };
    for (const auto& c : cases) {
        ExportFault fault = ExportFault::tooLarge;
        EXPECT_EQ(!stlData({{fine}, {c.tri}}, &fault), c.stl);
        EXPECT_EQ(fault, c.stl ? ExportFault::notFinite : ExportFault::tooLarge);
        fault = ExportFault::tooLarge;
        EXPECT_EQ(!threeMFData({{"a", {fine}}, {"b", {c.tri}}}, &fault), c.threeMF);
        EXPECT_EQ(fault, c.threeMF ? ExportFault::notFinite : ExportFault::tooLarge);
    }
    for (const char* format : {"stl", "3mf"}) {
        std::string reason;
        EXPECT_FALSE(exportBytes(format, {{"a", {fine}}, {"b", {cases[1].tri}}}, reason));
        EXPECT_NE(reason, "") << format;
    }
}

TEST(ExportFile, TheExtensionIsAddedUnlessTheNameHasIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/PIECE.STL", "/tmp/PIECE.STL"},
        {"/tmp/piece.3mf", "/tmp/piece.3mf.stl"},
        {"/tmp/a.stl/piece", "/tmp/a.stl/piece.stl"},
        {"piecestl", "piecestl.stl"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(withExtension(in, "stl"), out) << in;
}

}  // namespace
}  // namespace ivo
