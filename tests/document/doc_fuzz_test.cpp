// Mutated sample models: any bytes decode to a document or a reason; documents round-trip,
// read alike from a tree, and evaluate incrementally as from scratch.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace std::string_literals;

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
        // Only one way: a tree keeps the last of two equal keys, where the file reader may
        // refuse the first one's value before it meets the second.
        if (doc) {
            EXPECT_EQ(viaTree, doc) << what;
        }

        // Evaluation of the small samples: one incremental evaluation across edits against a
        // fresh run each time.
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

// Any bytes at all, not only damaged models.
TEST(DocFuzz, RandomBytesAreRefusedWithAReason) {
    static constexpr char kAlphabet[] = "{}[]\":,0123456789.eE-+ntrufalsx\\\x00\xff";
    std::mt19937_64 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string text(rng() % 300, '\0');
        for (char& c : text)
            c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
        std::string reason;
        const bool read = bool(decodeDoc(text, reason));
        EXPECT_TRUE(read || !reason.empty()) << text;
    }
}

}  // namespace
}  // namespace ivo
