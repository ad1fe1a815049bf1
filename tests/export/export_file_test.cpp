// The STL writer byte for byte, the refusal of coordinates no format can hold, and the file
// name an export is written under.
#include "export/export_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "export/stl.h"

namespace ivo {
namespace {

using namespace std::string_literals;

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
        {{{0, 0, 0}, {1, 0, 0}, {0, -1e300, 0}, n}, true, false},
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
        EXPECT_FALSE(exportBytes(format, {{"a", {fine}}, {"b", {cases[2].tri}}}, reason));
        EXPECT_EQ(reason, "une coordonnée du modèle n'est pas un nombre fini") << format;
    }
}

TEST(ExportFile, TheExtensionIsAddedUnlessTheNameHasIt) {
    const std::array<const char*, 3> cases[] = {{"/tmp/piece", "stl", "/tmp/piece.stl"},
                                                {"/tmp/piece.stl", "stl", "/tmp/piece.stl"},
                                                {"/tmp/PIECE.STL", "stl", "/tmp/PIECE.STL"},
                                                {"/tmp/piece.3mf", "stl", "/tmp/piece.3mf.stl"},
                                                {"/tmp/a.stl/piece", "stl", "/tmp/a.stl/piece.stl"},
                                                {"piecestl", "stl", "piecestl.stl"},
                                                {"/x/Modèle", "3mf", "/x/Modèle.3mf"}};
    for (const auto& [in, extension, out] : cases)
        EXPECT_EQ(withExtension(in, extension), out) << in;
}

}  // namespace
}  // namespace ivo
