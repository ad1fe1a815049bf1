// q3d export end to end: every sample model becomes STL and 3MF files that lib3mf and the
// STL parser read back with the evaluated volumes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "document/doc_json.h"
#include "document/evaluator.h"
#include "export/read_back.h"
#include "support/doc_builder.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace ivo::testing;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun q3d(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runQ3d(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Q3dExport, EverySampleReadsBackWithItsVolume) {
    TempDir dir;
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(IVORANE_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".q3d") continue;
        ++seen;
        const std::string model = entry.path().string();
        std::string reason;
        const Doc doc = *decodeDoc(readAll(model), reason);
        const EvalResult result = Evaluator::run(doc);
        double volume = 0;
        for (const Body& b : result.bodies)
            volume += signedVolume(*b.solid);
        ASSERT_GT(volume, 0) << model;

        const std::string mf = dir.file(entry.path().stem().string() + ".3MF");
        const CliRun r3 = q3d({"export", model, "-o", mf});
        ASSERT_EQ(r3.status, 0) << model << r3.err;
        const auto read = readWithLib3mf(readAll(mf));
        ASSERT_TRUE(read) << model;
        ASSERT_EQ(read->objects.size(), result.bodies.size()) << model;
        double read3 = 0;
        for (const auto& o : read->objects)
            read3 += o.volume;
        EXPECT_NEAR(read3, volume, 1e-4 * volume) << model;  // float32 corners
        EXPECT_EQ(read->objects[0].name, displayName(doc, result.bodies[0])) << model;

        const std::string stl = dir.file(entry.path().stem().string() + ".stl");
        ASSERT_EQ(q3d({"export", model, "-o", stl}).status, 0) << model;
        const auto tris = readStl(readAll(stl));
        ASSERT_TRUE(tris) << model;
        EXPECT_NEAR(stlVolume(*tris), volume, 1e-4 * volume) << model;
    }
    EXPECT_GE(seen, 3);
}

TEST(Q3dExport, ChoosesBodiesAndRefusesWhatItCannotWrite) {
    DocBuilder b;
    Sketch s;
    addRect(s, 0, 0, 10, 10);
    addRect(s, 20, 0, 30, 10);
    const Id sk = b.sketch(s);
    const Id first = b.extrude(sk, {{5, 5}}, 2);
    const Id second = b.extrude(sk, {{25, 5}}, 3);
    b.doc.hidden = {second};
    TempDir dir;
    const std::string model = dir.write("m.q3d", encodeDoc(b.doc, true));

    const CliRun visible = q3d({"export", model, "-o", dir.file("v.3mf")});
    EXPECT_EQ(visible.status, 0);
    EXPECT_EQ(visible.out.substr(0, visible.out.find(',')), dir.file("v.3mf") + " : 1 corps");
    EXPECT_EQ(readWithLib3mf(readAll(dir.file("v.3mf")))->objects.size(), 1u);

    const CliRun chosen = q3d({"export", model, "-o", dir.file("c.stl"), "--body",
                               std::to_string(second), "--body", std::to_string(first)});
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_NEAR(stlVolume(*readStl(readAll(dir.file("c.stl")))), 200 + 300, 1e-3);

    EXPECT_EQ(q3d({"export", model, "-o", dir.file("x.obj")}).status, 2);
    EXPECT_EQ(q3d({"export", model}).status, 2);
    EXPECT_EQ(q3d({"export", model, "-o", dir.file("u.stl"), "--body", "99"}).status, 1);
    const CliRun none = q3d({"export", model, "-o", dir.file("n.stl"), "--upto", "1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Rien à exporter : Aucun corps visible.\n");
    // An output folder that does not exist: a clear message and nothing written.
    const CliRun missing = q3d({"export", model, "-o", dir.file("absent/out.3mf")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Enregistrement impossible (fichier ou dossier introuvable)"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("n.stl")));
}

}  // namespace
}  // namespace ivo
