// q3d check, fmt and info.
#include <charconv>

#include "cli/commands.h"
#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"

namespace ivo::cli {
namespace {

constexpr const char* kNotAModel = "Ce n'est pas un modèle Ivorane 3D valide.";
constexpr const char* kCannotOpen = "Impossible d'ouvrir ce fichier";

std::string plural(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n >= 2 ? many : one);
}

std::string point3(V3 p) {
    return "(" + decimals3(p.x) + " ; " + decimals3(p.y) + " ; " + decimals3(p.z) + ")";
}

Json array3(V3 p) {
    return Json::array({p.x, p.y, p.z});
}

}  // namespace

std::string decimals3(double v) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    std::string s = ec == std::errc() ? std::string(buf, end) : "?";
    if (s == "-0.000") s = "0.000";
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

std::optional<Doc> loadModel(const std::string& path, std::ostream& err,
                             std::vector<std::string>* notes) {
    std::string reason;
    const auto text = readFile(path, kMaxDocumentBytes, reason);
    if (!text) {
        err << shown(path) << " : " << kCannotOpen << " (" << shown(reason) << ").\n";
        return std::nullopt;
    }
    auto doc = decodeDoc(*text, reason, notes);
    if (!doc) {
        err << shown(path) << " : " << kNotAModel << "\n  " << shown(reason) << "\n";
        return std::nullopt;
    }
    return doc;
}

int check(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.files.empty()) return usage(err, "check attend au moins un fichier.");
    int status = 0;
    for (const std::string& path : o.files) {
        std::vector<std::string> notes;
        const auto doc = loadModel(path, err, &notes);
        if (!doc) {
            status = 1;
            continue;
        }
        out << shown(path) << " : "
            << plural(static_cast<long>(doc->features.size()), "fonction", "fonctions") << ", "
            << plural(doc->count(fk::sketch), "esquisse", "esquisses") << "\n";
        // Repairs the reader made: the file is valid, but saving it will change it.
        for (const std::string& note : notes)
            out << "  note : " << shown(note) << "\n";
    }
    return status;
}

int format(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.files.size() != 1) return usage(err, "fmt attend exactement un fichier.");
    const auto doc = loadModel(o.files[0], err);
    if (!doc) return 1;
    std::string reason;
    const std::optional<std::string> text = encodeDocFile(*doc, reason);
    if (!text) {
        err << shown(o.output.value_or("-")) << " : Enregistrement impossible (" << shown(reason)
            << ").\n";
        return 1;
    }
    if (!o.output) {
        out << *text;
        return 0;
    }
    if (!writeFileAtomic(*o.output, *text, reason)) {
        err << shown(*o.output) << " : Enregistrement impossible (" << shown(reason) << ").\n";
        return 1;
    }
    return 0;
}

int info(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.files.size() != 1) return usage(err, "info attend exactement un fichier.");
    const auto doc = loadModel(o.files[0], err);
    if (!doc) return 1;
    const EvalResult result = Evaluator::run(*doc, o.upTo);

    if (o.json) {
        Json bodies = Json::array();
        for (const Body& b : result.bodies) {
            const Box3 box = solidBox(*b.solid);
            Json j = Json::object();
            j["id"] = b.id;
            j["name"] = displayName(*doc, b);
            j["polygons"] = b.solid->size();
            j["volume"] = signedVolume(*b.solid);
            j["box"] = Json{{"lo", array3(box.lo)}, {"hi", array3(box.hi)}};
            bodies.push_back(std::move(j));
        }
        Json errors = Json::object();
        for (const auto& [id, message] : result.messages)
            errors[std::to_string(id)] = message;
        Json j = Json::object();
        j["bodies"] = std::move(bodies);
        j["errors"] = std::move(errors);
        out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
        return 0;
    }

    out << shown(o.files[0]) << " : "
        << plural(static_cast<long>(result.bodies.size()), "corps", "corps") << ", "
        << plural(static_cast<long>(result.messages.size()), "fonction en échec",
                  "fonctions en échec")
        << "\n";
    for (const Body& b : result.bodies) {
        const Box3 box = solidBox(*b.solid);
        out << "  corps " << b.id << " « " << shown(displayName(*doc, b))
            << " » : " << plural(static_cast<long>(b.solid->size()), "polygone", "polygones")
            << ", volume " << decimals3(signedVolume(*b.solid)) << " mm³, boîte " << point3(box.lo)
            << " à " << point3(box.hi) << "\n";
    }
    for (const auto& [id, message] : result.messages) {
        const auto at = doc->index(id);
        out << "  fonction " << id << " « " << shown(at ? doc->features[*at].name : "?")
            << " » : " << shown(message) << "\n";
    }
    return 0;
}

}  // namespace ivo::cli
