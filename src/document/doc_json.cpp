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

// Optional record members: missing or null is absent, anything else must read fully.
template <class T, class F>
bool readOptRecord(JsonReader& r, const Json& obj, const char* key, std::optional<T>& out, F one) {
    out.reset();
    const auto it = obj.find(key);
    if (it == obj.end() || it->is_null()) return true;
    JsonReader::Step s = r.key(key);
    T t{};
    if (!one(r, *it, t)) return false;
    out = std::move(t);
    return true;
}

bool readExtrude(JsonReader& r, const Json& v, ExtrudeP& e) {
    return r.object(v) && r.field(v, "sketch", e.sketch) && r.field(v, "picks", e.picks) &&
           r.field(v, "distance", e.distance) && r.field(v, "symmetric", e.symmetric) &&
           r.field(v, "op", e.op) && r.field(v, "target", e.target) &&
           r.optField(v, "toFace", e.toFace);
}

bool readRevolve(JsonReader& r, const Json& v, RevolveP& e) {
    return r.object(v) && r.field(v, "sketch", e.sketch) && r.field(v, "picks", e.picks) &&
           r.field(v, "axis", e.axis) && r.field(v, "angle", e.angle) && r.field(v, "op", e.op) &&
           r.field(v, "target", e.target);
}

bool readFillet(JsonReader& r, const Json& v, FilletP& f) {
    return r.object(v) && r.field(v, "feature", f.feature) && r.field(v, "edges", f.edges) &&
           r.field(v, "radius", f.radius) && r.field(v, "chamfer", f.chamfer);
}

bool readCombine(JsonReader& r, const Json& v, CombineP& c) {
    return r.object(v) && r.field(v, "target", c.target) && r.field(v, "tool", c.tool) &&
           r.field(v, "op", c.op) && r.field(v, "keep", c.keep);
}

bool readFeature(JsonReader& r, const Json& v, Feature& f) {
    return r.object(v) && r.field(v, "id", f.id) && r.field(v, "kind", f.kind) &&
           r.field(v, "name", f.name) && r.field(v, "suppressed", f.suppressed) &&
           readOptRecord(r, v, "sketch", f.sketch, readSketch) &&
           readOptRecord(r, v, "extrude", f.extrude, readExtrude) &&
           readOptRecord(r, v, "revolve", f.revolve, readRevolve) &&
           readOptRecord(r, v, "fillet", f.fillet, readFillet) &&
           readOptRecord(r, v, "combine", f.combine, readCombine) &&
           r.optField(v, "removeBody", f.removeBody);
}

bool readBodyNames(JsonReader& r, const Json& v, std::map<std::string, std::string>& out) {
    if (!r.object(v)) return false;
    for (const auto& [k, name] : v.items()) {
        JsonReader::Step s = r.key(k);
        std::string text;
        if (!r.read(name, text)) return false;
        out[k] = std::move(text);
    }
    return true;
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

// A syntax error located as an editor shows it: line and column from the byte offset.
std::string unreadableAt(std::string_view text, size_t offset) {
    const size_t at = std::min(offset, text.size());
    size_t line = 1, col = 1;
    for (size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            col = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++col;
        }
    }
    return "JSON illisible à la ligne " + std::to_string(line) + ", colonne " + std::to_string(col);
}

}  // namespace

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

std::string encodeDoc(const Doc& doc, bool pretty) {
    // Invalid UTF-8 in a name is replaced rather than aborting the save.
    return toJson(doc).dump(pretty ? 2 : -1, ' ', false, Json::error_handler_t::replace) +
           (pretty ? "\n" : "");
}

namespace {

bool readDocNoting(JsonReader& r, const Json& v, Doc& out, std::vector<std::string>* notes) {
    Doc d;
    if (!r.object(v)) return false;
    const bool ok = r.field(v, "version", d.version) &&
                    [&] {
                        const Json* fs = r.member(v, "features");
                        if (!fs) return false;
                        JsonReader::Step s = r.key("features");
                        return r.list(*fs, d.features, [&](const Json& e, Feature& f) {
                            return readFeature(r, e, f);
                        });
                    }() &&
                    r.field(v, "marker", d.marker) && r.field(v, "hidden", d.hidden) &&
                    r.field(v, "nextId", d.nextId) &&
                    readOptRecord(r, v, "bodyNames", d.bodyNames, readBodyNames);
    if (!ok) return false;
    std::string reason;
    if (!settleIds(d, reason, notes)) {
        const std::string at = r.location();
        return r.failLocated(at == "racine" ? reason : at + "." + reason);
    }
    out = std::move(d);
    return true;
}

}  // namespace

bool readDoc(JsonReader& r, const Json& v, Doc& out) {
    return readDocNoting(r, v, out, nullptr);
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
    const std::optional<Json> tree = parseJson(text, reason);
    if (!tree) return std::nullopt;
    JsonReader r;
    Doc d;
    if (!readDocNoting(r, *tree, d, notes)) {
        reason = r.error();
        return std::nullopt;
    }
    return d;
}

}  // namespace ivo
