#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "export/read_back.h"
#include "support/doc_builder.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"
#include "support/solids.h"
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

const std::string kExamples = IVORANE_EXAMPLES_DIR;

std::vector<std::string> samples() {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples))
        if (entry.path().extension() == ".q3d") out.push_back(entry.path().string());
    return out;
}

TEST(Q3d, CheckSummarisesValidModelsAndRefusesOthersWithTheirReason) {
    TempDir dir;
    const std::string one = dir.write("one.q3d", R"({"version":1,"features":[{"id":1,
        "kind":"sketch","name":"S","suppressed":true}],"marker":1,"hidden":[],"nextId":2})");
    const std::string bad = dir.write("bad.q3d", R"({"version":1,"features":[{"id":1,
        "kind":"k","name":"n"}],"marker":0,"hidden":[],"nextId":2})");
    const CliRun r = q3d({"check", kExamples + "/equerre.q3d", one, bad, dir.file("absent.q3d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kExamples + "/equerre.q3d : 5 fonctions, 2 esquisses\n" + one +
                         " : 1 fonction, 1 esquisse\n");
    EXPECT_EQ(r.err, bad +
                         " : Ce n'est pas un modèle Ivorane 3D valide.\n"
                         "  features[0] : clé « suppressed » manquante\n" +
                         dir.file("absent.q3d") +
                         " : Impossible d'ouvrir ce fichier (fichier ou dossier introuvable).\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate", "x"},
                                                                  {"check"},
                                                                  {"fmt"},
                                                                  {"fmt", "a", "-o"},
                                                                  {"check", "--bogus", "a"}})
        EXPECT_EQ(q3d(args).status, 2) << args.size();
    EXPECT_NE(q3d({"--help"}).out.find("Utilisation : q3d"), std::string::npos);
    EXPECT_EQ(q3d({"--version"}).out.rfind("q3d (Ivorane 3D) ", 0), 0u);
}

TEST(Q3d, FmtWritesTheCanonicalFormAtomicallyOrNothing) {
    TempDir dir;
    const std::string messy = dir.write(
        "m.q3d", R"({"nextId":1,"hidden":[],"marker":0,"features":[],"version":1,"zzz":true})");
    const std::string canonical =
        "{\n  \"version\": 1,\n  \"features\": [],\n  \"marker\": 0,\n  \"hidden\": [],\n"
        "  \"nextId\": 1\n}\n";
    EXPECT_EQ(q3d({"fmt", messy}).out, canonical);
    const std::string out = dir.file("out.q3d");
    EXPECT_EQ(q3d({"fmt", messy, "-o", out}).status, 0);
    EXPECT_EQ(readAll(out), canonical);
    for (const std::string& sample : samples())  // canonical already: unchanged, byte for byte
        EXPECT_EQ(q3d({"fmt", sample}).out, readAll(sample)) << sample;
    // A failed fmt leaves OUT untouched.
    dir.write("out.q3d", "précieux");
    EXPECT_EQ(q3d({"fmt", dir.write("bad.q3d", "{\"version\": 1,"), "-o", out}).status, 1);
    EXPECT_EQ(readAll(out), "précieux");
    const CliRun unwritable = q3d({"fmt", messy, "-o", dir.file("no/d.q3d")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Enregistrement impossible"), std::string::npos);
}

TEST(Q3d, InfoDescribesBodiesAndFailures) {
    DocBuilder b;
    const Id sk = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e = b.extrude(sk, {{5, 5}}, 4);
    b.extrude(sk, {{50, 50}}, 4);
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(e), "Cale \"A\""}};
    TempDir dir;
    const std::string path = dir.write("m.q3d", encodeDoc(b.doc, true));
    EXPECT_EQ(q3d({"info", path, "--json"}).out,
              "{\"bodies\":[{\"id\":2,\"name\":\"Cale \\\"A\\\"\",\"polygons\":8,"
              "\"volume\":400.0,\"box\":{\"lo\":[0.0,0.0,0.0],\"hi\":[10.0,10.0,4.0]}}],"
              "\"errors\":{\"3\":\"Aucun profil sélectionné.\"}}\n");
    const std::string text = q3d({"info", path}).out;
    EXPECT_NE(text.find("corps 2 « Cale \"A\" » : 8 polygones, volume 400,000 mm³, boîte "
                        "(0,000 ; 0,000 ; 0,000) à (10,000 ; 10,000 ; 4,000)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("fonction 3 « Extrusion2 » : Aucun profil sélectionné."), std::string::npos)
        << text;
    EXPECT_EQ(q3d({"info", path, "--upto", "1", "--json"}).out, "{\"bodies\":[],\"errors\":{}}\n");
    EXPECT_EQ(q3d({"info", path, "--upto", "x"}).status, 2);
    EXPECT_EQ(q3d({"info", dir.write("bad.q3d", "{")}).status, 1);
}

// Every sample model becomes STL and 3MF files that lib3mf and the STL parser read back
// with the evaluated volumes.
TEST(Q3dExport, EverySampleReadsBackWithItsVolume) {
    TempDir dir;
    for (const std::string& model : samples()) {
        std::string reason;
        const Doc doc = decodeDoc(readAll(model), reason).value_or(Doc{});
        const EvalResult result = Evaluator::run(doc);
        double volume = 0;
        for (const Body& b : result.bodies)
            volume += signedVolume(*b.solid);
        ASSERT_GT(volume, 0) << model;
        ASSERT_EQ(q3d({"export", model, "-o", dir.file("m.3MF")}).status, 0) << model;
        const auto read = readWithLib3mf(readAll(dir.file("m.3MF")));
        ASSERT_TRUE(read) << model;
        ASSERT_EQ(read->objects.size(), result.bodies.size()) << model;
        double read3 = 0;
        for (const auto& o : read->objects)
            read3 += o.volume;
        EXPECT_NEAR(read3, volume, 1e-4 * volume) << model;  // float32 corners
        EXPECT_EQ(read->objects[0].name, displayName(doc, result.bodies[0])) << model;
        ASSERT_EQ(q3d({"export", model, "-o", dir.file("m.stl")}).status, 0) << model;
        EXPECT_NEAR(meshVolume(readStl(readAll(dir.file("m.stl"))).value_or(std::vector<Tri>{})),
                    volume, 1e-4 * volume)
            << model;
    }
    EXPECT_GE(samples().size(), 3u);
}

TEST(Q3dExport, ChoosesBodiesAndRefusesWhatItCannotWrite) {
    Sketch s = rectSketch(0, 0, 10, 10);
    addPolygon(s, rect(20, 0, 30, 10));
    DocBuilder b;
    const Id sk = b.sketch(s);
    const Id first = b.extrude(sk, {{5, 5}}, 2), second = b.extrude(sk, {{25, 5}}, 3);
    b.doc.hidden = {second};
    TempDir dir;
    const std::string model = dir.write("m.q3d", encodeDoc(b.doc, true));
    const CliRun visible = q3d({"export", model, "-o", dir.file("v.3mf")});
    EXPECT_EQ(visible.out.substr(0, visible.out.find(',')), dir.file("v.3mf") + " : 1 corps");
    EXPECT_EQ(readWithLib3mf(readAll(dir.file("v.3mf")))->objects.size(), 1u);
    EXPECT_EQ(q3d({"export", model, "-o", dir.file("c.stl"), "--body", std::to_string(second),
                   "--body", std::to_string(first)})
                  .status,
              0);
    EXPECT_NEAR(meshVolume(*readStl(readAll(dir.file("c.stl")))), 200 + 300, 1e-3);
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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

}  // namespace
}  // namespace ivo
