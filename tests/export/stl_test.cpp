#include "export/stl.h"

#include <gtest/gtest.h>

#include "export/read_back.h"
#include "geometry/mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;
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

TEST(Stl, SolidsReadBackWithCountsNormalsAndVolume) {
    std::vector<Tri> all = triangles(polyBox({-1, 0, 2}, {3, 5, 4}));
    const auto cylinder = triangles(polyCylinder({10, 0, 0}, 3, 7, 48));
    const auto tris = readStl(stlData({all, {}, cylinder}).value_or(""));
    all.insert(all.end(), cylinder.begin(), cylinder.end());
    ASSERT_EQ(tris.value_or(std::vector<Tri>{}).size(), all.size());
    const auto f32 = [](V3 v) { return V3{float(v.x), float(v.y), float(v.z)}; };
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Tri& t = (*tris)[i];
        EXPECT_EQ(t, (Tri{f32(toPrinter(all[i].a)), f32(toPrinter(all[i].b)),
                          f32(toPrinter(all[i].c)), f32(toPrinter(all[i].n))}))
            << i;
        // The stored normal still points the way the corners turn in printer space.
        EXPECT_GT((t.b - t.a).cross(t.c - t.a).dot(t.n), 0) << i;
    }
    EXPECT_NEAR(meshVolume(*tris), 4.0 * 5 * 2 + meshVolume(cylinder), 1e-3);
}

}  // namespace
}  // namespace ivo
