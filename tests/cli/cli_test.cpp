#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "document/doc_json.h"
#include "support/doc_builder.h"
#include "support/export_readers.h"
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

Read3mf readBack(const std::string& path, const char* format) {
    return readWithLib3mf(readAll(path), format).value_or(Read3mf{});
}
double volume(const Read3mf& read) {
    double v = 0;
    for (const auto& o : read.objects)
        v += o.volume;
    return v;
}

// `want` is the whole text, or a part of it after '~'; "" accepts anything.
bool matches(const std::string& got, const std::string& want) {
    return want.empty() ||
           (want[0] == '~' ? got.find(want.substr(1)) != std::string::npos : got == want);
}

TEST(Q3d, CommandsAnswerWithTheirStatusOutputAndErrors) {
    TempDir dir;
    const std::string bad = dir.write("bad.q3d", R"({"version":1,"features":[{"id":1,
        "kind":"k","name":"n"}],"marker":0,"hidden":[],"nextId":2})");
    const auto f = [&](const char* name) { return dir.file(name); };
    const std::string absent = f("absent.q3d"), out = f("out.q3d");
    const std::string messy = dir.write(
        "m.q3d", R"({"nextId":1,"hidden":[],"marker":0,"features":[],"version":1,"zzz":true})");
    const std::string canonical =
        "{\n  \"version\": 1,\n  \"features\": [],\n  \"marker\": 0,\n  \"hidden\": [],\n"
        "  \"nextId\": 1\n}\n";
    // Two plates, the second hidden, and an extrusion of nothing.
    Sketch s = rectSketch(0, 0, 10, 10);
    addPolygon(s, rect(20, 0, 30, 10));
    DocBuilder b;
    const Id sk = b.sketch(s);
    const Id first = b.extrude(sk, {{5, 5}}, 4), second = b.extrude(sk, {{25, 5}}, 3);
    b.extrude(sk, {{50, 50}}, 4);
    b.doc.hidden = {second};
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(first), "Cale \"A\""}};
    const std::string model = dir.write("model.q3d", encodeDoc(b.doc, true));
    // Control characters in a file's names and in its own name.
    b.feature(first + 2).name = "E\x1b[2J\nfaux";
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(first), "C\r\x7f\u009b"}};
    const std::string ctl = dir.write("m\x1b]0;t\a.q3d", encodeDoc(b.doc, true));
    const std::string badKey = dir.write("k.q3d", R"({"version":1,"features":[],"marker":0,
        "hidden":[],"nextId":1,"bodyNames":{"\u001b[31m":1}})");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"check", kExamples + "/equerre.q3d", bad, absent},
         1,
         "~/equerre.q3d : 5 fonctions, 2 esquisses\n",
         "~features[0] : clé « suppressed » manquante\n" + absent},
        {{"frobnicate\x1b", "x"}, 2, "", "~commande inconnue : frobnicate\\u001b"},
        {{"fmt", messy}, 0, canonical, ""},
        {{"fmt", messy, "-o", out}, 0, "", ""},
        {{"fmt", messy, "-o", f("no/d.q3d")}, 1, "", "~Enregistrement impossible"},
        {{"info", model, "--upto", "2", "--json"},
         0,
         "{\"bodies\":[{\"id\":2,\"name\":\"Cale \\\"A\\\"\",\"polygons\":8,\"volume\":400.0,"
         "\"box\":{\"lo\":[0.0,0.0,0.0],\"hi\":[10.0,10.0,4.0]}}],\"errors\":{}}\n",
         ""},
        {{"info", model},
         0,
         "~" + model + " : 2 corps, 1 fonction en échec\n  corps 2 « Cale \"A\" » : 8 polygones, " +
             "volume 400,000 mm³, boîte (0,000 ; 0,000 ; 0,000) à (10,000 ; 10,000 ; 4,000)\n",
         ""},
        {{"export", model, "-o", f("v.3mf")}, 0, "~" + f("v.3mf") + " : 1 corps,", ""},
        {{"export", model, "-o", f("c.stl"), "--body", "3", "--body", "2", "--body", "3"},
         0,
         "~2 corps, 24 triangles",
         ""},
        {{"export", model, "-o", f("u.stl"), "--body", "99"}, 1, "", "~aucun corps"},
        {{"export", model, "-o", f("absent/out.3mf")}, 1, "", "~Enregistrement impossible"},
        // No raw control character reaches the terminal (checked on every row); C1 ones too.
        {{"info", ctl}, 0, "~« C\\u000d\\u007f\\u009b »", ""},
        {{"info", ctl}, 0, "~« E\\u001b[2J\\u000afaux »", ""},  // no forged line
        {{"check", badKey, "--", "x\x1b[1m"}, 1, "", "~bodyNames.\\u001b[31m"},
    };
    const auto noControl = [](const std::string& text) {
        return std::none_of(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7f;
        });
    };
    for (const auto& c : cases) {
        const std::string what = ::testing::PrintToString(c.args);
        const CliRun r = q3d(c.args);
        EXPECT_EQ(r.status, c.status) << what << r.err;
        EXPECT_TRUE(matches(r.out, c.out)) << what << "\n" << r.out;
        EXPECT_TRUE(matches(r.err, c.err)) << what << "\n" << r.err;
        EXPECT_TRUE(noControl(r.out) && noControl(r.err)) << what << "\n" << r.out << r.err;
    }
    EXPECT_EQ(readAll(out), canonical);
    EXPECT_NEAR(volume(readBack(f("c.stl"), "stl")), 400 + 300, 1e-3);
    // Failures wrote nothing: the three files written above and the five inputs only.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 8);
    // A failed fmt leaves OUT untouched.
    dir.write("out.q3d", "précieux");
    EXPECT_EQ(q3d({"fmt", dir.write("cut.q3d", "{\"version\": 1,"), "-o", out}).status, 1);
    EXPECT_EQ(readAll(out), "précieux");
}

// Every sample model is canonical already and exports in both formats (the exports are read
// back with lib3mf, volume and closedness, in the e2e sessions).
TEST(Q3d, EverySampleSurvivesFmtAndExports) {
    TempDir dir;
    for (const std::string& model : samples()) {
        EXPECT_EQ(q3d({"fmt", model}).out, readAll(model)) << model;
        for (const char* file : {"m.3MF", "m.stl"})
            EXPECT_EQ(q3d({"export", model, "-o", dir.file(file)}).status, 0) << model << file;
    }
    EXPECT_GE(samples().size(), 3u);
}

}  // namespace
}  // namespace ivo
