#include "document/doc_json.h"

#include <gtest/gtest.h>

namespace ivo {
namespace {

std::string refusal(const std::string& text) {
    std::string reason;
    EXPECT_FALSE(decodeDoc(text, reason)) << text.substr(0, 80);
    return reason;
}

TEST(DocJson, EveryRecordSurvivesEncodeDecodeInBothForms) {
    const std::string empty = encodeDoc(Doc(), false);
    EXPECT_EQ(empty, R"({"version":1,"features":[],"marker":0,"hidden":[],"nextId":1})");
    std::string reason;
    EXPECT_EQ(decodeDoc(empty, reason), Doc());
    Doc d;
    Feature s(d.newId(), fk::sketch, "Esquisse1");
    s.sketch->addLine(s.sketch->addPoint({0, 0}), s.sketch->addPoint({10, 0}));
    s.sketch->addConstraint(ck::length, {3}, 10);
    Feature e(d.newId(), fk::extrude, "Extrusion1"), f(d.newId(), fk::fillet, "Congé1");
    Feature r(d.newId(), fk::remove, "Suppression"), c(d.newId(), "futureKind", "Inconnue");
    e.extrude =
        ExtrudeP{s.id, {{5, 5}}, 10, false, op::newBody, 0, std::vector<double>{0, 0, 1, 25}};
    f.fillet = FilletP{e.id, "both", 1.5, true};
    f.suppressed = true;
    r.removeBody = e.id;
    c.combine = CombineP{1, 2, op::cut, true};
    c.revolve = RevolveP{1, {{1, 2}}, -2, 90, op::join, 4};
    for (Feature* x : {&e, &f, &r})
        x->sketch.reset();
    d.features = {s, e, f, r, c};
    d.marker = 3;
    d.hidden = {2};
    d.bodyNames = std::map<std::string, std::string>{{"2", "Plaque « é » & <ok>"}};
    for (bool pretty : {false, true})
        EXPECT_EQ(decodeDoc(encodeDoc(d, pretty), reason), d) << reason;
    EXPECT_NE(encodeDoc(d, true).find("\n  \"features\": ["), std::string::npos);
    // Optional members may be missing or null; unknown keys are ignored.
    const auto back = decodeDoc(R"({"version":1,"features":[{"id":1,"kind":"extrude","name":"E",
        "suppressed":false,"sketch":null,"extrude":{"sketch":1,"picks":[],"distance":2,
        "symmetric":false,"op":"join","target":0,"toFace":null},"removeBody":null,"extra":[1]}],
        "marker":1,"hidden":[],"nextId":2,"bodyNames":null,"unknown":{"a":1}})",
                                reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_TRUE(!back->features[0].sketch && !back->features[0].extrude->toFace &&
                !back->bodyNames && back->features[0].extrude->distance == 2);
}

TEST(DocJson, RefusalsNameTheFaultAndWhereItIs) {
    const std::string head = R"({"version":1,"marker":0,"hidden":[],"nextId":9,"features":[)";
    const std::string point = R"({"id":1,"kind":"sketch","name":"S","suppressed":false,
        "sketch":{"plane":{"name":"P","o":{"x":0,"y":0,"z":0},"x":{"x":1,"y":0,"z":0},
        "n":{"x":0,"y":0,"z":1}},"points":[{"id":ID,"p":{"x":0,"y":0},"fixed":true}],
        "lines":[],"circles":[],"arcs":[],"constraints":[],"nextId":4,"visible":true}}]})";
    auto withId = [&](const std::string& id) {
        return head + point.substr(0, point.find("ID")) + id + point.substr(point.find("ID") + 2);
    };
    std::string reason;
    for (const char* id : {"3.0", "-9007199254740991"})
        EXPECT_TRUE(decodeDoc(withId(id), reason)) << id << ": " << reason;
    const std::string at = "features[0].sketch.points[0].id : ";
    for (const char* id : {"3.5", "null"})
        EXPECT_EQ(refusal(withId(id)), at + "nombre entier attendu") << id;
    for (const char* id : {"9223372036854775808", "-99999999999999999999"})
        EXPECT_EQ(refusal(withId(id)), at + "entier hors de l'intervalle des 64 bits") << id;
    const std::pair<std::string, std::string> cases[] = {
        {head + R"({"id":1,"kind":"k","name":"n"}]})",
         "features[0] : clé « suppressed » manquante"},
        {R"({"version":1,"features":[],"marker":0,"hidden":[]})",
         "racine : clé « nextId » manquante"},
        {"[1,2]", "racine : objet attendu"},
        {head + R"({"id":1,"kind":"k","name":"n","suppressed":false,"fillet":{"feature":1,
         "edges":"top","radius":"2","chamfer":false}}]})",
         "features[0].fillet.radius : nombre attendu"},
        {R"({"version":1,"features":[],"marker":0,"hidden":[1e400],"nextId":1})",
         "JSON illisible : nombre trop grand"},
        {R"({"version":1,"features":[],"marker":0,"hidden":[],"nextId":1,"marker":2})",
         "racine : clé « marker » en double"},
        {"", "le fichier est vide"},
        {"{\n  \"version\": 1,\n  x", "JSON illisible à la ligne 3, colonne 3"},
        {"{\"unknown\":" + std::string(100000, '[') + std::string(100000, ']') + "}",
         "imbrication trop profonde (plus de 64 niveaux)"},
        {std::string(100000, '[') + std::string(100000, ']'), "racine : objet attendu"},
        {std::string(kMaxDocumentBytes + 1, ' '), "fichier trop volumineux (plus de 256 Mo)"}};
    for (const auto& [text, why] : cases)
        EXPECT_EQ(refusal(text), why);
    // Only whitespace may follow the document.
    const std::string good = encodeDoc(Doc(), true);
    EXPECT_EQ(decodeDoc(good + " \t\r\n\n", reason), Doc()) << reason;
    for (const std::string& tail : {std::string(1, '\0') + "junk", std::string("{}")})
        EXPECT_EQ(refusal(good + tail), "JSON illisible à la ligne 8, colonne 1");
    EXPECT_EQ(refusal("{\"version\":1\0}"), "JSON illisible à la ligne 1, colonne 13");
    // Brackets inside strings do not count as nesting.
    Doc deep;
    deep.bodyNames = std::map<std::string, std::string>{{"1", std::string(500, '[')}};
    EXPECT_TRUE(decodeDoc(encodeDoc(deep, false), reason)) << reason;
}

// A document of one sketch feature whose ids and counters are filled in.
std::string idDoc(const std::string& featureId, const std::string& pointId,
                  const std::string& sketchNext, const std::string& docNext) {
    return R"({"version":1,"marker":1,"hidden":[],"nextId":)" + docNext + R"(,"features":[{"id":)" +
           featureId +
           R"(,"kind":"sketch","name":"S","suppressed":false,"sketch":{"plane":{"name":"P",
        "o":{"x":0,"y":0,"z":0},"x":{"x":1,"y":0,"z":0},"n":{"x":0,"y":0,"z":1}},
        "points":[{"id":0,"p":{"x":0,"y":0},"fixed":true},{"id":)" +
           pointId + R"(,"p":{"x":1,"y":0},"fixed":false}],"lines":[],"circles":[],"arcs":[],
        "constraints":[],"nextId":)" +
           sketchNext + R"(,"visible":true}}]})";
}

TEST(DocJson, IdsStayWithinExactDoublesAndCountersAboveThem) {
    // Low counters are raised above the largest id they cover, and said so.
    std::string reason;
    std::vector<std::string> notes;
    auto raised = decodeDoc(idDoc("7", "5", "2", "1"), reason, &notes);
    ASSERT_TRUE(raised) << reason;
    EXPECT_EQ(raised->features[0].sketch->nextId, 6);
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "features[0].sketch.nextId : relevé de 2 à 6, au-dessus du plus grand "
                         "identifiant",
                         "nextId : relevé de 1 à 8, au-dessus du plus grand identifiant"}));
    EXPECT_EQ(raised->newId(), 8);  // a new feature can no longer take an id in use
    EXPECT_EQ(decodeDoc(idDoc("1", "1", "2", "-40"), reason)->nextId, 2);
    // The largest exact id is fine as long as a next one is left.
    EXPECT_TRUE(decodeDoc(idDoc("9007199254740990", "1", "2", "2"), reason)) << reason;
    const char* out = " : identifiant hors limites (2⁵³ ou plus en valeur absolue)";
    const struct {
        std::string text, why;
    } cases[] = {
        {idDoc("9007199254740992", "1", "2", "2"), std::string("features[0].id") + out},
        {idDoc("-9007199254740992", "1", "2", "2"), std::string("features[0].id") + out},
        {idDoc("1", "1", "9007199254740992", "2"), std::string("features[0].sketch.nextId") + out},
        {idDoc("1", "1", "2", "9223372036854775807"), std::string("nextId") + out},
        {idDoc("9007199254740991", "1", "2", "2"),
         "nextId : plus aucun identifiant libre (le plus grand vaut 9007199254740991)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusal(c.text), c.why);
    // Both ends of the 64 bits are refused, also when written as a fraction-free double.
    for (const char* next : {"9223372036854775808", "-9.223372036854775808e18"})
        EXPECT_EQ(refusal(idDoc("1", "1", "2", next)),
                  "nextId : entier hors de l'intervalle des 64 bits");
}

// Whatever the writer makes, the reader takes: past the size limit the file is written
// compact, and beyond even that it is not written at all.
TEST(DocJson, TheWriterStaysWithinTheReadersLimit) {
    Doc d;
    for (int i = 0; i < 40; ++i) {
        Feature f(d.newId(), fk::sketch, "Esquisse" + std::to_string(i));
        for (int k = 0; k < 20; ++k)
            f.sketch->addLine(f.sketch->addPoint({k * 1.5, -k * 0.25}),
                              f.sketch->addPoint({k + 0.5, 3.0}));
        d.features.push_back(std::move(f));
    }
    const std::string pretty = encodeDoc(d, true), compact = encodeDoc(d, false);
    ASSERT_GT(pretty.size(), 2 * compact.size());
    std::string reason;
    for (size_t limit : {pretty.size(), pretty.size() - 1, compact.size()}) {
        const auto text = encodeDocFile(d, reason, limit);
        ASSERT_TRUE(text) << limit;
        EXPECT_EQ(*text, limit == pretty.size() ? pretty : compact);
        EXPECT_LE(text->size(), limit);
        EXPECT_EQ(decodeDoc(*text, reason), d) << reason;
    }
    EXPECT_FALSE(encodeDocFile(d, reason, compact.size() - 1));
    EXPECT_EQ(reason, "modèle trop volumineux (plus de 0 Mo)");
    EXPECT_TRUE(encodeDocFile(d, reason));
}

}  // namespace
}  // namespace ivo
