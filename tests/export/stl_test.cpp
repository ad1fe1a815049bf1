#include "export/stl.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

#include "export/read_back.h"
#include "geometry/mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using namespace std::string_literals;

const std::string kHeader = "Ivorane 3D - export STL" + std::string(57, ' ');

std::array<float, 3> f3(V3 v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

TEST(Stl, NoMeshesIsHeaderAndZeroCount) {
    ASSERT_EQ(kHeader.size(), 80u);
    EXPECT_EQ(stlData({}), kHeader + std::string(4, '\0'));
    EXPECT_EQ(stlData({{}, {}}), kHeader + std::string(4, '\0'));
}

TEST(Stl, OneTriangleInPrinterAxesByteForByte) {
    const auto stl = stlData({{{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 1, 0}}}});
    // Little-endian float32: 1 is 00 00 80 3F, −1 is 00 00 80 BF; the −0 that the axis swap
    // makes of a zero keeps its sign bit.
    const std::string one = "\0\0\x80\x3F"s, minusOne = "\0\0\x80\xBF"s, zero(4, '\0');
    const std::string minusZero = "\0\0\0\x80"s;
    const std::string body = zero + minusZero + one +          // normal (0, −0, 1)
                             zero + minusOne + zero +          // (0, −1, 0)
                             one + minusOne + zero +           // (1, −1, 0)
                             zero + minusOne + one + "\0\0"s;  // (0, −1, 1), attributes
    EXPECT_EQ(stl, kHeader + "\1\0\0\0"s + body);
}

TEST(Stl, SolidsReadBackWithCountsNormalsAndVolume) {
    const auto box = triangles(polyBox({-1, 0, 2}, {3, 5, 4}));
    const auto cylinder = triangles(polyCylinder({10, 0, 0}, 3, 7, 48));
    const auto tris = readStl(stlData({box, {}, cylinder}).value_or(""));
    ASSERT_TRUE(tris);
    std::vector<Tri> all = box;
    all.insert(all.end(), cylinder.begin(), cylinder.end());
    ASSERT_EQ(tris->size(), all.size());
    double volume = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto& [n, a, b, c] = (*tris)[i];
        EXPECT_EQ(n, f3(toPrinter(all[i].n)));
        EXPECT_EQ(a, f3(toPrinter(all[i].a)));
        EXPECT_EQ(c, f3(toPrinter(all[i].c)));
        const V3 p{a[0], a[1], a[2]}, q{b[0], b[1], b[2]}, r{c[0], c[1], c[2]};
        // The stored normal still points the way the corners turn in printer space.
        EXPECT_GT((q - p).cross(r - p).dot(V3{n[0], n[1], n[2]}), 0);
        volume += p.dot(q.cross(r)) / 6;
    }
    EXPECT_NEAR(volume, 4.0 * 5 * 2 + meshVolume(cylinder), 1e-3);
}

TEST(Stl, CountBeyondThirtyTwoBitsIsRefused) {
    EXPECT_EQ(stlSize(0), 84u);
    EXPECT_EQ(stlSize(0xFFFFFFFFu), 84u + 50u * 0xFFFFFFFFull);
    EXPECT_FALSE(stlSize(0x100000000ull));
}

}  // namespace
}  // namespace ivo
