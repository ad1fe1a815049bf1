#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "document/doc_json.h"
#include "support/doc_builder.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using testing::readAll;
using testing::TempDir;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun q3d(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runQ3d(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string kExamples = IVORANE_EXAMPLES_DIR;

TEST(Q3d, CheckSummarisesValidModels) {
    const CliRun r = q3d({"check", kExamples + "/equerre.q3d", kExamples + "/bouton.q3d"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kExamples + "/equerre.q3d : 5 fonctions, 2 esquisses\n" + kExamples +
                         "/bouton.q3d : 4 fonctions, 2 esquisses\n");
    TempDir dir;
    const std::string one = dir.write(
        "one.q3d",
        R"({"version":1,"features":[{"id":1,"kind":"sketch","name":"S","suppressed":true}],"marker":1,"hidden":[],"nextId":2})");
    EXPECT_EQ(q3d({"check", one}).out, one + " : 1 fonction, 1 esquisse\n");
}

TEST(Q3d, CheckRefusesMalformedModelsWithTheirReasonButGoesOn) {
    TempDir dir;
    const std::string bad = dir.write(
        "bad.q3d",
        R"({"version":1,"features":[{"id":1,"kind":"k","name":"n"}],"marker":0,"hidden":[],"nextId":2})");
    const CliRun r = q3d({"check", bad, dir.file("absent.q3d"), kExamples + "/bouton.q3d"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(bad + " : Ce n'est pas un modèle Ivorane 3D valide.\n"
                               "  features[0] : clé « suppressed » manquante\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("absent.q3d : Impossible d'ouvrir ce fichier (fichier ou dossier "
                         "introuvable)."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("bouton.q3d : 4 fonctions"), std::string::npos);
}

TEST(Q3d, FmtWritesTheCanonicalFormAtomically) {
    TempDir dir;
    const std::string messy = dir.write(
        "m.q3d", R"({"nextId":1,"hidden":[],"marker":0,"features":[],"version":1,"zzz":true})");
    const CliRun toStdout = q3d({"fmt", messy});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out,
              "{\n  \"version\": 1,\n  \"features\": [],\n  \"marker\": 0,\n  \"hidden\": [],\n"
              "  \"nextId\": 1\n}\n");
    const std::string out = dir.file("out.q3d");
    EXPECT_EQ(q3d({"fmt", messy, "-o", out}).status, 0);
    EXPECT_EQ(readAll(out), toStdout.out);
    // Formatting a canonical file changes nothing, byte for byte.
    const CliRun again = q3d({"fmt", kExamples + "/plaque_percee.q3d"});
    EXPECT_EQ(again.out, readAll(kExamples + "/plaque_percee.q3d"));
}

TEST(Q3d, FailedFmtLeavesTheOutputUntouched) {
    TempDir dir;
    const std::string out = dir.write("out.q3d", "précieux");
    const std::string bad = dir.write("bad.q3d", "{\"version\": 1,");
    const CliRun r = q3d({"fmt", bad, "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readAll(out), "précieux");
    const CliRun unwritable = q3d({"fmt", kExamples + "/bouton.q3d", "-o", dir.file("no/dir.q3d")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Enregistrement impossible"), std::string::npos);
}

TEST(Q3d, InfoDescribesBodiesAndFailures) {
    testing::DocBuilder b;
    Sketch s;
    testing::addRect(s, 0, 0, 10, 10);
    const Id sk = b.sketch(s);
    const Id e = b.extrude(sk, {{5, 5}}, 4);
    b.extrude(sk, {{50, 50}}, 4);
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(e), "Cale \"A\""}};
    TempDir dir;
    const std::string path = dir.write("m.q3d", encodeDoc(b.doc, true));

    const CliRun json = q3d({"info", path, "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\"bodies\":[{\"id\":2,\"name\":\"Cale \\\"A\\\"\",\"polygons\":8,"
              "\"volume\":400.0,\"box\":{\"lo\":[0.0,0.0,0.0],\"hi\":[10.0,10.0,4.0]}}],"
              "\"errors\":{\"3\":\"Aucun profil sélectionné.\"}}\n");
    const CliRun text = q3d({"info", path});
    EXPECT_NE(text.out.find("corps 2 « Cale \"A\" » : 8 polygones, volume 400,000 mm³, boîte "
                            "(0,000 ; 0,000 ; 0,000) à (10,000 ; 10,000 ; 4,000)"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("fonction 3 « Extrusion2 » : Aucun profil sélectionné."),
              std::string::npos)
        << text.out;
    EXPECT_EQ(q3d({"info", path, "--upto", "1", "--json"}).out, "{\"bodies\":[],\"errors\":{}}\n");
    EXPECT_EQ(q3d({"info", path, "--upto", "x"}).status, 2);
    EXPECT_EQ(q3d({"info", dir.write("bad.q3d", "{")}).status, 1);
}

TEST(Q3d, UsageErrorsExitWithStatusTwo) {
    EXPECT_EQ(q3d({}).status, 2);
    EXPECT_EQ(q3d({"frobnicate", "x"}).status, 2);
    EXPECT_EQ(q3d({"check"}).status, 2);
    EXPECT_EQ(q3d({"fmt"}).status, 2);
    EXPECT_EQ(q3d({"fmt", "a", "-o"}).status, 2);
    EXPECT_EQ(q3d({"check", "--bogus", "a"}).status, 2);
    const CliRun help = q3d({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Utilisation : q3d"), std::string::npos);
    EXPECT_EQ(q3d({"--version"}).out.rfind("q3d (Ivorane 3D) ", 0), 0u);
}

}  // namespace
}  // namespace ivo
