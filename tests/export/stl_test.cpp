#include "export/stl.h"

#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "support/export_readers.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

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
    const Tri t{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 1, 0}};
    const auto stl = stlData({{t}});
    ASSERT_TRUE(stl);
    // Little-endian float32: 1.0 is 00 00 80 3F, −1.0 is 00 00 80 BF, and −0 from the axis
    // swap of a zero keeps its sign bit.
    using namespace std::string_literals;
    const std::string one = "\0\0\x80\x3F"s, minusOne = "\0\0\x80\xBF"s, zero(4, '\0');
    const std::string minusZero = "\0\0\0\x80"s;
    const std::string body = zero + minusZero + one              // normal (0, −0, 1)
                             + zero + minusOne + zero            // (0, −1, 0)
                             + one + minusOne + zero             // (1, −1, 0)
                             + zero + minusOne + one + "\0\0"s;  // (0, −1, 1), attributes
    EXPECT_EQ(*stl, kHeader + "\1\0\0\0"s + body);
}

TEST(Stl, SolidsReadBackWithCountsNormalsAndVolume) {
    const auto box = triangles(polyBox({-1, 0, 2}, {3, 5, 4}));
    const auto cylinder = triangles(polyCylinder({10, 0, 0}, 3, 7, 48));
    const auto stl = stlData({box, {}, cylinder});
    ASSERT_TRUE(stl);
    const auto file = readStl(*stl);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->header, kHeader);
    ASSERT_EQ(file->tris.size(), box.size() + cylinder.size());
    EXPECT_NEAR(stlVolume(*file), meshVolume(box) + meshVolume(cylinder), 1e-3);
    EXPECT_NEAR(meshVolume(box), 4.0 * 5 * 2, 1e-9);

    std::vector<Tri> all = box;
    all.insert(all.end(), cylinder.begin(), cylinder.end());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const StlTriangle& t = file->tris[i];
        EXPECT_EQ(t.n, f3(toPrinter(all[i].n)));
        EXPECT_EQ(t.a, f3(toPrinter(all[i].a)));
        EXPECT_EQ(t.c, f3(toPrinter(all[i].c)));
        EXPECT_EQ(t.attributes, 0);
        // The stored normal still points the way the corners turn in printer space.
        const V3 a = toPrinter(all[i].a), b = toPrinter(all[i].b), c = toPrinter(all[i].c);
        EXPECT_GT((b - a).cross(c - a).dot(toPrinter(all[i].n)), 0);
    }
}

TEST(Stl, CountBeyondThirtyTwoBitsIsRefused) {
    EXPECT_EQ(stlSize(0), 84u);
    EXPECT_EQ(stlSize(0xFFFFFFFFu), 84u + 50u * 0xFFFFFFFFull);
    EXPECT_FALSE(stlSize(0x100000000ull));
}

}  // namespace
}  // namespace ivo
