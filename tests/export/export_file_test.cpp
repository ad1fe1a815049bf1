#include "export/export_file.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/export_readers.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A closed tetrahedron, outward triangles.
std::vector<Tri> tetra(double s) {
    const V3 a{0, 0, 0}, b{s, 0, 0}, c{0, s, 0}, d{0, 0, s};
    const auto tri = [](V3 p, V3 q, V3 r) {
        return Tri{p, q, r, (q - p).cross(r - p).normalized()};
    };
    return {tri(a, c, b), tri(a, b, d), tri(a, d, c), tri(b, c, d)};
}

TEST(ExportFile, TheExtensionIsAddedUnlessTheNameHasIt) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/tmp/piece", "/tmp/piece.stl"},
        {"/tmp/piece.stl", "/tmp/piece.stl"},
        {"/tmp/PIECE.STL", "/tmp/PIECE.STL"},
        {"/tmp/piece.3mf", "/tmp/piece.3mf.stl"},
        {"/tmp/a.stl/piece", "/tmp/a.stl/piece.stl"},
        {"piecestl", "piecestl.stl"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(withExtension(in, "stl"), out) << in;
    EXPECT_EQ(withExtension("/x/Modèle", "3mf"), "/x/Modèle.3mf");
}

TEST(ExportFile, BytesFollowTheFormatAndKeepTheNames) {
    std::string reason;
    const std::vector<NamedMesh> meshes{{"Support", tetra(10)}, {"Cale", tetra(2)}};
    const std::optional<std::string> stl = exportBytes("stl", meshes, reason);
    ASSERT_TRUE(stl);
    EXPECT_EQ(stl->size(), 84u + 50u * 8u);

    const std::optional<std::string> package = exportBytes("3mf", meshes, reason);
    ASSERT_TRUE(package);
    const std::optional<Read3mf> read = readWithLib3mf(*package);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->objects.size(), 2u);
    EXPECT_EQ(read->objects[0].name, "Support");
    EXPECT_EQ(read->objects[1].name, "Cale");
}

TEST(ExportFile, ARefusedMeshGivesAReason) {
    std::vector<Tri> bad = tetra(1);
    bad[0].a.x = std::numeric_limits<double>::infinity();
    for (const char* format : {"stl", "3mf"}) {
        std::string reason;
        EXPECT_FALSE(exportBytes(format, {{"x", bad}}, reason)) << format;
        EXPECT_EQ(reason, "une coordonnée du modèle n'est pas un nombre fini") << format;
    }
}

}  // namespace
}  // namespace ivo
