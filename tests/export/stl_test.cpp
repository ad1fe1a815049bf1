#include "export/stl.h"

#include <gtest/gtest.h>

#include "export/read_back.h"
#include "geometry/mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using namespace std::string_literals;

const std::string kHeader = "Ivorane 3D - export STL" + std::string(57, ' ');

TEST(Stl, EmptyAndOneTriangleInPrinterAxesByteForByte) {
    EXPECT_EQ(stlData({}), kHeader + std::string(4, '\0'));  // 84 bytes
    EXPECT_EQ(stlData({{}, {}}), kHeader + std::string(4, '\0'));
    // Little-endian float32: 1 is 00 00 80 3F, −1 is 00 00 80 BF; the −0 that the axis swap
    // makes of a zero keeps its sign bit.
    const std::string one = "\0\0\x80\x3F"s, minusOne = "\0\0\x80\xBF"s, zero(4, '\0');
    EXPECT_EQ(stlData({{{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 1, 0}}}}),
              kHeader + "\1\0\0\0"s + zero + "\0\0\0\x80"s + one +  // normal (0, −0, 1)
                  zero + minusOne + zero + one + minusOne + zero +  // (0, −1, 0), (1, −1, 0)
                  zero + minusOne + one + "\0\0"s);                 // (0, −1, 1), attributes
    EXPECT_EQ(stlSize(0), 84u);
    EXPECT_EQ(stlSize(0xFFFFFFFFu), 84u + 50u * 0xFFFFFFFFull);
    EXPECT_FALSE(stlSize(0x100000000ull));  // beyond the 32-bit count
}

TEST(Stl, SolidsReadBackWithCountsNormalsAndVolume) {
    std::vector<Tri> all = triangles(polyBox({-1, 0, 2}, {3, 5, 4}));
    const auto cylinder = triangles(polyCylinder({10, 0, 0}, 3, 7, 48));
    const auto tris = readStl(stlData({all, {}, cylinder}).value_or(""));
    all.insert(all.end(), cylinder.begin(), cylinder.end());
    ASSERT_TRUE(tris);
    ASSERT_EQ(tris->size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto& t = (*tris)[i];
        const V3 n = toPrinter(all[i].n), a = toPrinter(all[i].a), c = toPrinter(all[i].c);
        EXPECT_EQ(t[0], (std::array{float(n.x), float(n.y), float(n.z)})) << i;
        EXPECT_EQ(t[1], (std::array{float(a.x), float(a.y), float(a.z)})) << i;
        EXPECT_EQ(t[3], (std::array{float(c.x), float(c.y), float(c.z)})) << i;
        // The stored normal still points the way the corners turn in printer space.
        const V3 p{t[1][0], t[1][1], t[1][2]}, q{t[2][0], t[2][1], t[2][2]},
            r{t[3][0], t[3][1], t[3][2]};
        EXPECT_GT((q - p).cross(r - p).dot(V3{t[0][0], t[0][1], t[0][2]}), 0) << i;
    }
    EXPECT_NEAR(stlVolume(*tris), 4.0 * 5 * 2 + meshVolume(cylinder), 1e-3);
}

}  // namespace
}  // namespace ivo
