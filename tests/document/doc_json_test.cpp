#include "document/doc_json.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ivo {
namespace {

Doc sampleDoc() {
    Doc d;
    Feature s(d.newId(), fk::sketch, "Esquisse1");
    const Id a = s.sketch->addPoint({0, 0}), b = s.sketch->addPoint({10, 0});
    s.sketch->addLine(a, b);
    s.sketch->addConstraint(ck::length, {3}, 10);
    d.features.push_back(s);
    Feature e(d.newId(), fk::extrude, "Extrusion1");
    e.sketch.reset();
    e.extrude =
        ExtrudeP{s.id, {{5, 5}}, 10, false, op::newBody, 0, std::vector<double>{0, 0, 1, 25}};
    d.features.push_back(e);
    Feature f(d.newId(), fk::fillet, "Congé1");
    f.sketch.reset();
    f.fillet = FilletP{e.id, "both", 1.5, true};
    f.suppressed = true;
    d.features.push_back(f);
    Feature r(d.newId(), fk::remove, "Suppression");
    r.sketch.reset();
    r.removeBody = e.id;
    d.features.push_back(r);
    Feature c(d.newId(), "futureKind", "Inconnue");
    c.combine = CombineP{1, 2, op::cut, true};
    c.revolve = RevolveP{1, {{1, 2}}, -2, 90, op::join, 4};
    d.features.push_back(c);
    d.marker = 3;
    d.hidden = {2};
    d.bodyNames = std::map<std::string, std::string>{{"2", "Plaque « é » & <ok>"}};
    return d;
}

std::string refusal(const std::string& text) {
    std::string reason;
    EXPECT_FALSE(decodeDoc(text, reason)) << text.substr(0, 80);
    return reason;
}

TEST(DocJson, NewDocumentRoundTripsWithoutOptionalKeys) {
    const std::string text = encodeDoc(Doc(), false);
    EXPECT_EQ(text, R"({"version":1,"features":[],"marker":0,"hidden":[],"nextId":1})");
    std::string reason;
    EXPECT_EQ(decodeDoc(text, reason), Doc());
}

TEST(DocJson, EveryRecordSurvivesEncodeDecodeInBothForms) {
    const Doc d = sampleDoc();
    for (bool pretty : {false, true}) {
        std::string reason;
        const auto back = decodeDoc(encodeDoc(d, pretty), reason);
        ASSERT_TRUE(back) << reason;
        EXPECT_EQ(*back, d);
    }
    EXPECT_NE(encodeDoc(d, true).find("\n  \"features\": ["), std::string::npos);
}

TEST(DocJson, IdsAndCounts) {
    Doc d;
    EXPECT_EQ(d.newId(), 1);
    EXPECT_EQ(d.newId(), 2);
    const Doc s = sampleDoc();
    EXPECT_EQ(s.index(3), 2u);
    EXPECT_FALSE(s.index(99));
    EXPECT_EQ(s.count(fk::fillet), 1);  // suppressed features count too
    EXPECT_EQ(s.count(fk::revolve), 0);
}

TEST(DocJson, OptionalMembersMayBeMissingOrNull) {
    std::string reason;
    const auto d = decodeDoc(R"({"version":1,"features":[{"id":1,"kind":"extrude","name":"E",
        "suppressed":false,"sketch":null,"extrude":{"sketch":1,"picks":[],"distance":2,
        "symmetric":false,"op":"join","target":0,"toFace":null},"removeBody":null,"extra":[1]}],
        "marker":1,"hidden":[],"nextId":2,"bodyNames":null,"unknown":{"a":1}})",
                             reason);
    ASSERT_TRUE(d) << reason;
    EXPECT_FALSE(d->features[0].sketch);
    EXPECT_FALSE(d->features[0].extrude->toFace);
    EXPECT_FALSE(d->bodyNames);
    EXPECT_EQ(d->features[0].extrude->distance, 2);
}

TEST(DocJson, RefusalsNameTheFaultAndWhereItIs) {
    const std::string head = R"({"version":1,"marker":0,"hidden":[],"nextId":9,"features":[)";
    const std::string okSketch =
        R"({"id":1,"kind":"sketch","name":"S","suppressed":false,"sketch":{"plane":{"name":"P",
        "o":{"x":0,"y":0,"z":0},"x":{"x":1,"y":0,"z":0},"n":{"x":0,"y":0,"z":1}},
        "points":[{"id":0,"p":{"x":0,"y":0},"fixed":true},{"id":1,"p":{"x":0,"y":0},"fixed":true},
        {"id":2,"p":{"x":0,"y":0},"fixed":true},{"id":ID,"p":{"x":0,"y":0},"fixed":true}],
        "lines":[],"circles":[],"arcs":[],"constraints":[],"nextId":4,"visible":true}})";
    auto withId = [&](const std::string& id) {
        std::string s = okSketch;
        s.replace(s.find("ID"), 2, id);
        return head + s + "]}";
    };
    std::string reason;
    ASSERT_TRUE(decodeDoc(withId("3"), reason)) << reason;
    EXPECT_TRUE(decodeDoc(withId("3.0"), reason)) << "integral numbers are integers";
    EXPECT_EQ(refusal(withId("3.5")), "features[0].sketch.points[3].id : nombre entier attendu");
    EXPECT_EQ(refusal(withId("\"3\"")), "features[0].sketch.points[3].id : nombre entier attendu");
    EXPECT_EQ(refusal(withId("9223372036854775808")),
              "features[0].sketch.points[3].id : entier hors de l'intervalle des 64 bits");
    EXPECT_EQ(refusal(withId("-99999999999999999999")),
              "features[0].sketch.points[3].id : entier hors de l'intervalle des 64 bits");
    EXPECT_EQ(refusal(withId("null")), "features[0].sketch.points[3].id : nombre entier attendu");
    EXPECT_TRUE(decodeDoc(withId("-9223372036854775808"), reason));

    EXPECT_EQ(refusal(head + R"({"id":1,"kind":"k","name":"n"}]})"),
              "features[0] : clé « suppressed » manquante");
    EXPECT_EQ(refusal(R"({"version":1,"features":[],"marker":0,"hidden":[]})"),
              "racine : clé « nextId » manquante");
    EXPECT_EQ(refusal(R"([1,2])"), "racine : objet attendu");
    EXPECT_EQ(refusal(head + R"({"id":1,"kind":"k","name":"n","suppressed":false,
        "extrude":{"sketch":1,"picks":[{"x":1}],"distance":1,"symmetric":false,"op":"join",
        "target":0}}]})"),
              "features[0].extrude.picks[0] : clé « y » manquante");
    EXPECT_EQ(refusal(head + R"({"id":1,"kind":"k","name":"n","suppressed":false,
        "fillet":{"feature":1,"edges":"top","radius":"2","chamfer":false}}]})"),
              "features[0].fillet.radius : nombre attendu");
    EXPECT_EQ(refusal(head + R"({"id":1,"kind":"k","name":"n","suppressed":0}]})"),
              "features[0].suppressed : booléen attendu");
    EXPECT_EQ(refusal(R"({"version":1,"features":[],"marker":0,"hidden":[1e400],"nextId":1})"),
              "JSON illisible : nombre trop grand");
    EXPECT_EQ(refusal(R"({"version":1,"features":[],"marker":0,"hidden":[],"nextId":1,
        "bodyNames":{"3":4}})"),
              "bodyNames.3 : texte attendu");
}

TEST(DocJson, MalformedTextIsRefusedWithoutCrashing) {
    const std::string good = encodeDoc(sampleDoc(), true);
    EXPECT_EQ(refusal(""), "le fichier est vide");
    EXPECT_EQ(refusal(" \n"), "le fichier est vide");
    EXPECT_EQ(refusal(good.substr(0, good.size() / 2)).rfind("JSON illisible à la ligne", 0), 0u);
    EXPECT_EQ(refusal("{\n  \"version\": 1,\n  x"), "JSON illisible à la ligne 3, colonne 3");
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 131 + 7);
    EXPECT_FALSE(refusal(binary).empty());
    EXPECT_FALSE(refusal("{\"version\":1,\"features\":[],\"marker\":0,\"hidden\":[],\"nextId\":1,"
                         "\"bodyNames\":{\"1\":\"\xff\xfe\"}}")
                     .empty());
    EXPECT_EQ(refusal(std::string(100000, '[') + std::string(100000, ']')),
              "imbrication trop profonde (plus de 64 niveaux)");
    // Brackets inside strings do not count as nesting.
    Doc d;
    d.bodyNames = std::map<std::string, std::string>{{"1", std::string(500, '[')}};
    std::string reason;
    EXPECT_TRUE(decodeDoc(encodeDoc(d, false), reason)) << reason;
}

TEST(DocJson, HugeInputIsRefusedBeforeParsing) {
    const std::string huge(kMaxDocumentBytes + 1, ' ');
    EXPECT_EQ(refusal(huge), "fichier trop volumineux (plus de 256 Mo)");
}

TEST(DocJson, SampleModelsAreCanonical) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(IVORANE_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".q3d") continue;
        ++seen;
        const std::string text = testing::readAll(entry.path().string());
        std::string reason;
        const auto doc = decodeDoc(text, reason);
        ASSERT_TRUE(doc) << entry.path() << ": " << reason;
        EXPECT_EQ(encodeDoc(*doc, true), text) << entry.path();
    }
    EXPECT_GE(seen, 3);
}

}  // namespace
}  // namespace ivo
