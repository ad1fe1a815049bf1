#include "export/three_mf.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>

#include "geometry/mesh.h"
#include "support/export_readers.h"
#include "support/solids.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace ivo::testing;

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

// Models without triangles take no object; names with markup characters, accents, control
// characters and invalid UTF-8 stay readable: bytes XML cannot carry are dropped or replaced.
TEST(ThreeMF, Lib3mfReadsEveryNameAndNoEmptyObject) {
    const auto box = triangles(polyBox({-5, 0, -5}, {5, 8, 5}));
    const Read3mf read =
        readWithLib3mf(threeMFData({{"Sphère", box},
                                    {"vide", {}},
                                    {"&lt; \"x\" > y", box},
                                    {"bip\x01\x1F\tfin", box},
                                    {"coupé \xFF\xC3 \xED\xA0\x80 \xEF\xBF\xBF.", box}})
                           .value_or(""))
            .value_or(Read3mf{});
    EXPECT_EQ(read.buildItems, 4);
    ASSERT_EQ(read.objects.size(), 4u);
    EXPECT_NEAR(read.objects[0].volume, 800, 1e-3);
    const std::string names[] = {"Sphère", "&lt; \"x\" > y", "bip\tfin"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(read.objects[i].name, names[i]);
    EXPECT_EQ(read.objects[3].name.substr(0, 6), "coupé");
    EXPECT_NE(read.objects[3].name.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(readWithLib3mf(threeMFData({}).value_or(""))->objects.size(), 0u);
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
    // Empty, flat and infinite models take no id; names are escaped.
    const double inf = std::numeric_limits<double>::infinity();
    const auto box = triangles(polyBox({0, 0, 0}, {1, 1, 1}));
    const std::string ids =
        threeMFModelText({{"vide", {}},
                          {"plat", {{{0, 0, 0}, {1, 0, 0}, {1.00001, 0, 0}, n}}},
                          {"infini", {{{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}, n}}},
                          {"a<b", box},
                          {"&lt; \"x\" > y", box}});
    EXPECT_EQ(linesWith(ids, "<object ").size(), 2u);
    EXPECT_NE(ids.find("<object id=\"1\" type=\"model\" name=\"a&lt;b\">"), std::string::npos);
    EXPECT_NE(ids.find("<object id=\"2\" type=\"model\" name=\"&amp;lt; &quot;x&quot; &gt; y\">"),
              std::string::npos);
    EXPECT_NE(ids.find("<build>\n<item objectid=\"1\"/>\n<item objectid=\"2\"/>\n</build>"),
              std::string::npos);
    EXPECT_EQ(ids.find("inf"), std::string::npos);
}

}  // namespace
}  // namespace ivo
