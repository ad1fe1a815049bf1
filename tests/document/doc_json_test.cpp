#include "document/doc_json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "document/evaluator.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace std::string_literals;

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

TEST(DocJson, RefusalsNameTheFaultAndWhereItIs) {
    const std::string head = R"({"version":1,"marker":0,"hidden":[],"nextId":9,"features":[)";
    auto withId = [](const std::string& id) { return idDoc("1", id, "4", "9"); };
    std::string reason;
    for (const char* id : {"3.0", "-9007199254740991"})
        EXPECT_TRUE(decodeDoc(withId(id), reason)) << id << ": " << reason;
    const std::string at = "features[0].sketch.points[1].id : ";
    for (const char* id : {"3.5", "null"})
        EXPECT_EQ(refusal(withId(id)), at + "nombre entier attendu") << id;
    for (const char* id : {"9223372036854775808", "-99999999999999999999"})
        EXPECT_EQ(refusal(withId(id)), at + "entier hors de l'intervalle des 64 bits") << id;
    const std::pair<std::string, std::string> cases[] = {
        {head + R"({"id":1,"kind":"k","name":"n"}]})",
         "features[0] : clé « suppressed » manquante"},
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

TEST(DocJson, IdsStayWithinExactDoublesAndCountersAboveThem) {
    // Low counters are raised above the largest id they cover, and said so.
    std::string reason;
    std::vector<std::string> notes;
    auto raised = decodeDoc(idDoc("7", "5", "2", "1"), reason, &notes);
    ASSERT_TRUE(raised) << reason;
    EXPECT_EQ(raised->features[0].sketch->nextId, 6);
    EXPECT_EQ(notes.size(), 2u);    // one for each counter raised
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
    // The 64 bits' end is refused also when written as a fraction-free double.
    EXPECT_EQ(refusal(idDoc("1", "1", "2", "-9.223372036854775808e18")),
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

// Mutated sample models: any bytes decode to a document or a reason; documents round-trip,
// read alike from a tree, and evaluate incrementally as from scratch.
struct Sample {
    std::string name, text;
};

std::vector<Sample> samples() {
    std::vector<Sample> out;
    for (const auto& e : std::filesystem::directory_iterator(IVORANE_EXAMPLES_DIR))
        if (e.path().extension() == ".q3d")
            out.push_back({e.path().filename().string(), testing::readAll(e.path().string())});
    std::sort(out.begin(), out.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return out;
}

// Texts of hostile or damaged files, separated by spaces, the last one a NUL byte.
const std::vector<std::string> kTokens = [] {
    const std::string all =
        "null true {} [] \" \\u0000 \\ \"x\":1, , : 0 -0 1e9 1e10 1.7e308 -1e154 1e400 "
        "9007199254740992 -9223372036854775809 18446744073709551616 4.9e-324 \xff\xfe \xc3 "
        "\x1b[2J "s +
        '\0';
    std::vector<std::string> out;
    for (size_t from = 0, to; from <= all.size(); from = to + 1)
        out.push_back(all.substr(from, (to = std::min(all.find(' ', from), all.size())) - from));
    return out;
}();
const char* const kNumbers[] = {
    "0",      "-0.0", "1e9",          "1.0000001e9",      "-4e9", "1e300", "1.7e308", "-1e154",
    "1e-300", "2",    "123456789012", "9007199254740991", "-2",   "360",   "0.5",     "1e5"};

// One random damage; a replaced number keeps the structure, so the value reaches the evaluator.
std::string mutate(std::string text, std::mt19937_64& rng) {
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % std::max<size_t>(n, 1)); };
    // Half of the texts only get numbers replaced, so that most of them stay documents.
    const bool numbersOnly = rng() % 2;
    const int rounds = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < rounds && !text.empty(); ++k) {
        const size_t at = pick(text.size());
        switch (numbersOnly ? 6 : rng() % 7) {
            case 0: text[at] = static_cast<char>(text[at] ^ (1 << (rng() % 8))); break;
            case 1: text.insert(at, 1, static_cast<char>(rng())); break;
            case 2: text.erase(at, 1 + pick(16)); break;
            case 3: text.insert(at, text.substr(at, 1 + pick(200))); break;
            case 4: text.resize(at); break;
            case 5: text.insert(at, kTokens[pick(kTokens.size())]); break;
            default: {
                // The number starting at or after `at`.
                const size_t from = text.find_first_of("-0123456789", at);
                if (from == std::string::npos) break;
                const size_t to = text.find_first_not_of("-+.eE0123456789", from);
                text.replace(from, (to == std::string::npos ? text.size() : to) - from,
                             kNumbers[pick(std::size(kNumbers))]);
            }
        }
    }
    return text;
}

// Small edits of a document between two incremental runs.
void edit(Doc& d, std::mt19937_64& rng) {
    if (d.features.empty()) return;
    Feature& f = d.features[rng() % d.features.size()];
    switch (rng() % 4) {
        case 0: f.suppressed = !f.suppressed; break;
        case 1: d.marker = static_cast<std::int64_t>(rng() % (d.features.size() + 2)); break;
        case 2:
            if (f.extrude) f.extrude->distance *= -1.5;
            if (f.fillet) f.fillet->radius += 0.5;
            if (f.revolve) f.revolve->angle /= 2;
            break;
        default:
            if (f.sketch && f.sketch->points.size() > 1) f.sketch->points.back().p.x += 1;
    }
}

TEST(DocFuzz, MutatedSamplesDecodeRoundTripAndEvaluateAlike) {
    const std::vector<Sample> all = samples();
    ASSERT_GE(all.size(), 3u);
    std::mt19937_64 rng(20261206);
    constexpr int kMutations = 3000;
    int decoded = 0, evaluated = 0;
    for (int i = 0; i < kMutations; ++i) {
        const Sample& s = all[static_cast<size_t>(i) % all.size()];
        const std::string text = mutate(s.text, rng);
        const std::string what = s.name + " #" + std::to_string(i);
        std::string reason;
        const std::optional<Doc> doc = decodeDoc(text, reason);
        if (!doc) {
            EXPECT_FALSE(reason.empty()) << what;
        } else {
            ++decoded;
            for (bool pretty : {true, false}) {
                std::vector<std::string> notes;
                EXPECT_EQ(decodeDoc(encodeDoc(*doc, pretty), reason, &notes), doc) << what;
                EXPECT_TRUE(notes.empty()) << what;  // the counters were settled already
            }
        }
        // The session file reads documents from a tree: same document, or a refusal too.
        std::string treeReason;
        std::optional<Doc> viaTree;
        if (const auto tree = parseJson(text, treeReason)) {
            JsonReader r;
            Doc d;
            if (readDoc(r, *tree, d)) viaTree = std::move(d);
        }
        // One way only: a tree keeps the last of two equal keys, the reader may refuse the first.
        EXPECT_TRUE(!doc || viaTree == doc) << what;
        // Small samples: one incremental evaluation across edits against a fresh run each time.
        if (!doc || s.text.size() > 10000 || i % 3) continue;
        ++evaluated;
        Doc d = *doc;
        Evaluation incremental;
        for (int step = 0; step < 3; ++step) {
            EXPECT_EQ(incremental.run(d), Evaluator::run(d)) << what << " step " << step;
            edit(d, rng);
        }
    }
    // The mutations keep enough documents whole for the later properties to mean something.
    EXPECT_GT(decoded, kMutations / 5);
    EXPECT_GT(evaluated, kMutations / 30);
}

}  // namespace
}  // namespace ivo
