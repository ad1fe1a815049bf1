// Encoding and strict decoding of documents.
#include "document/doc_json.h"

#include "document/doc_ids.h"
#include "sketch/sketch_json.h"

namespace ivo {
namespace {

Json picksJson(const std::vector<V2>& picks) {
    Json a = Json::array();
    for (V2 p : picks)
        a.push_back(ivo::toJson(p));
    return a;
}

Json toJson(const ExtrudeP& e) {
    Json j = Json::object();
    j["sketch"] = e.sketch;
    j["picks"] = picksJson(e.picks);
    j["distance"] = e.distance;
    j["symmetric"] = e.symmetric;
    j["op"] = e.op;
    j["target"] = e.target;
    if (e.toFace) j["toFace"] = *e.toFace;
    return j;
}

Json toJson(const RevolveP& e) {
    Json j = Json::object();
    j["sketch"] = e.sketch;
    j["picks"] = picksJson(e.picks);
    j["axis"] = e.axis;
    j["angle"] = e.angle;
    j["op"] = e.op;
    j["target"] = e.target;
    return j;
}

Json toJson(const FilletP& f) {
    Json j = Json::object();
    j["feature"] = f.feature;
    j["edges"] = f.edges;
    j["radius"] = f.radius;
    j["chamfer"] = f.chamfer;
    return j;
}

Json toJson(const CombineP& c) {
    Json j = Json::object();
    j["target"] = c.target;
    j["tool"] = c.tool;
    j["op"] = c.op;
    j["keep"] = c.keep;
    return j;
}

// Depth of brackets outside strings, measured before parsing so that nesting cannot
// exhaust the stack of anything that walks the tree.
int maxNesting(std::string_view text) {
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (char ch : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (ch == '\\')
                escaped = true;
            else if (ch == '"')
                inString = false;
        } else if (ch == '"') {
            inString = true;
        } else if (ch == '[' || ch == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (ch == ']' || ch == '}') {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

template <>
const RecordType& schema<ExtrudeP>() {
    static const FieldSpec fields[] = {field<&ExtrudeP::sketch>("sketch"),
                                       field<&ExtrudeP::picks>("picks"),
                                       field<&ExtrudeP::distance>("distance"),
                                       field<&ExtrudeP::symmetric>("symmetric"),
                                       field<&ExtrudeP::op>("op"),
                                       field<&ExtrudeP::target>("target"),
                                       field<&ExtrudeP::toFace>("toFace")};
    static const RecordType type = recordType<ExtrudeP>(fields);
    return type;
}

template <>
const RecordType& schema<RevolveP>() {
    static const FieldSpec fields[] = {
        field<&RevolveP::sketch>("sketch"), field<&RevolveP::picks>("picks"),
        field<&RevolveP::axis>("axis"),     field<&RevolveP::angle>("angle"),
        field<&RevolveP::op>("op"),         field<&RevolveP::target>("target")};
    static const RecordType type = recordType<RevolveP>(fields);
    return type;
}

template <>
const RecordType& schema<FilletP>() {
    static const FieldSpec fields[] = {
        field<&FilletP::feature>("feature"), field<&FilletP::edges>("edges"),
        field<&FilletP::radius>("radius"), field<&FilletP::chamfer>("chamfer")};
    static const RecordType type = recordType<FilletP>(fields);
    return type;
}

template <>
const RecordType& schema<CombineP>() {
    static const FieldSpec fields[] = {field<&CombineP::target>("target"),
                                       field<&CombineP::tool>("tool"), field<&CombineP::op>("op"),
                                       field<&CombineP::keep>("keep")};
    static const RecordType type = recordType<CombineP>(fields);
    return type;
}

template <>
const RecordType& schema<Feature>() {
    static const FieldSpec fields[] = {
        field<&Feature::id>("id"),           field<&Feature::kind>("kind"),
        field<&Feature::name>("name"),       field<&Feature::suppressed>("suppressed"),
        field<&Feature::sketch>("sketch"),   field<&Feature::extrude>("extrude"),
        field<&Feature::revolve>("revolve"), field<&Feature::fillet>("fillet"),
        field<&Feature::combine>("combine"), field<&Feature::removeBody>("removeBody")};
    static const RecordType type = recordType<Feature>(fields);
    return type;
}

template <>
const RecordType& schema<Doc>() {
    static const FieldSpec fields[] = {
        field<&Doc::version>("version"), field<&Doc::features>("features"),
        field<&Doc::marker>("marker"),   field<&Doc::hidden>("hidden"),
        field<&Doc::nextId>("nextId"),   field<&Doc::bodyNames>("bodyNames")};
    static const RecordType type = recordType<Doc>(fields);
    return type;
}

Json toJson(const Feature& f) {
    Json j = Json::object();
    j["id"] = f.id;
    j["kind"] = f.kind;
    j["name"] = f.name;
    j["suppressed"] = f.suppressed;
    if (f.sketch) j["sketch"] = toJson(*f.sketch);
    if (f.extrude) j["extrude"] = toJson(*f.extrude);
    if (f.revolve) j["revolve"] = toJson(*f.revolve);
    if (f.fillet) j["fillet"] = toJson(*f.fillet);
    if (f.combine) j["combine"] = toJson(*f.combine);
    if (f.removeBody) j["removeBody"] = *f.removeBody;
    return j;
}

Json toJson(const Doc& d) {
    Json j = Json::object();
    j["version"] = d.version;
    Json features = Json::array();
    for (const Feature& f : d.features)
        features.push_back(toJson(f));
    j["features"] = std::move(features);
    j["marker"] = d.marker;
    j["hidden"] = d.hidden;
    j["nextId"] = d.nextId;
    if (d.bodyNames) {
        Json names = Json::object();
        for (const auto& [k, v] : *d.bodyNames)
            names[k] = v;
        j["bodyNames"] = std::move(names);
    }
    return j;
}

std::string encodeDoc(const Doc& doc, bool pretty, size_t limit) {
    // Invalid UTF-8 in a name is replaced rather than aborting the save.
    const Json j = toJson(doc);
    if (pretty) {
        // Indentation triples a large model; past the size the reader accepts, the compact
        // form is written instead, so that whatever is saved can be opened again.
        std::string text = j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
        if (text.size() <= limit) return text;
    }
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::string> encodeDocFile(const Doc& doc, std::string& reason, size_t limit) {
    std::string text = encodeDoc(doc, true, limit);
    if (text.size() > limit) {
        reason = "modèle trop volumineux (plus de " + std::to_string(limit >> 20) + " Mo)";
        return std::nullopt;
    }
    return text;
}

bool readDoc(JsonReader& r, const Json& v, Doc& out) {
    Doc d;
    const std::string at = r.location();
    const std::string prefix = at == "racine" ? "" : at;
    RecordDecoder decoder(schema<Doc>(), &d, prefix, kMaxJsonDepth);
    if (!replayTree(v, decoder)) return r.failLocated(decoder.error());
    std::string reason;
    if (!settleIds(d, reason, nullptr))
        return r.failLocated(prefix.empty() ? reason : prefix + "." + reason);
    out = std::move(d);
    return true;
}

std::optional<Json> parseJson(std::string_view text, std::string& reason) {
    if (text.size() > kMaxDocumentBytes) {
        reason = "fichier trop volumineux (plus de 256 Mo)";
        return std::nullopt;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        reason = "le fichier est vide";
        return std::nullopt;
    }
    if (maxNesting(text) > kMaxJsonDepth) {
        reason =
            "imbrication trop profonde (plus de " + std::to_string(kMaxJsonDepth) + " niveaux)";
        return std::nullopt;
    }
    // The parser takes a NUL byte for the end of the input, which would let anything after
    // it pass; JSON has no place for one, so it is a syntax error where it stands.
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        reason = unreadableAt(text, nul);
        return std::nullopt;
    }
    try {
        return Json::parse(text);
    } catch (const Json::parse_error& e) {
        reason = unreadableAt(text, e.byte > 0 ? e.byte - 1 : 0);
        return std::nullopt;
    } catch (const Json::out_of_range&) {
        reason = "JSON illisible : nombre trop grand";
        return std::nullopt;
    } catch (const std::exception&) {
        reason = "JSON illisible";
        return std::nullopt;
    }
}

std::optional<Doc> decodeDoc(std::string_view text, std::string& reason,
                             std::vector<std::string>* notes) {
    if (text.size() > kMaxDocumentBytes) {
        reason = "fichier trop volumineux (plus de 256 Mo)";
        return std::nullopt;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        reason = "le fichier est vide";
        return std::nullopt;
    }
    Doc d;
    if (!decodeRecord(text, schema<Doc>(), &d, kMaxJsonDepth, reason) ||
        !settleIds(d, reason, notes))
        return std::nullopt;
    return d;
}

}  // namespace ivo
