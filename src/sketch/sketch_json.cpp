// Encoding and strict decoding of sketches.
#include "sketch/sketch_json.h"

namespace ivo {
namespace {

Json toJson(const SPoint& p) {
    Json j = Json::object();
    j["id"] = p.id;
    j["p"] = toJson(p.p);
    j["fixed"] = p.fixed;
    return j;
}

Json toJson(const SLine& l) {
    Json j = Json::object();
    j["id"] = l.id;
    j["a"] = l.a;
    j["b"] = l.b;
    j["construction"] = l.construction;
    return j;
}

Json toJson(const SCircle& c) {
    Json j = Json::object();
    j["id"] = c.id;
    j["c"] = c.c;
    j["r"] = c.r;
    j["construction"] = c.construction;
    return j;
}

Json toJson(const SArc& a) {
    Json j = Json::object();
    j["id"] = a.id;
    j["c"] = a.c;
    j["s"] = a.s;
    j["e"] = a.e;
    j["construction"] = a.construction;
    return j;
}

Json toJson(const SConstraint& c) {
    Json j = Json::object();
    j["id"] = c.id;
    j["kind"] = c.kind;
    j["refs"] = c.refs;
    if (c.value) j["value"] = *c.value;
    return j;
}

template <class T>
Json arrayOf(const std::vector<T>& items) {
    Json a = Json::array();
    for (const T& t : items)
        a.push_back(toJson(t));
    return a;
}

bool readPlane(JsonReader& r, const Json& v, SketchPlane& p) {
    return r.object(v) && r.field(v, "name", p.name) && r.field(v, "o", p.o) &&
           r.field(v, "x", p.x) && r.field(v, "n", p.n);
}

bool readPoint(JsonReader& r, const Json& v, SPoint& p) {
    return r.object(v) && r.field(v, "id", p.id) && r.field(v, "p", p.p) &&
           r.field(v, "fixed", p.fixed);
}

bool readLine(JsonReader& r, const Json& v, SLine& l) {
    return r.object(v) && r.field(v, "id", l.id) && r.field(v, "a", l.a) && r.field(v, "b", l.b) &&
           r.field(v, "construction", l.construction);
}

bool readCircle(JsonReader& r, const Json& v, SCircle& c) {
    return r.object(v) && r.field(v, "id", c.id) && r.field(v, "c", c.c) && r.field(v, "r", c.r) &&
           r.field(v, "construction", c.construction);
}

bool readArc(JsonReader& r, const Json& v, SArc& a) {
    return r.object(v) && r.field(v, "id", a.id) && r.field(v, "c", a.c) && r.field(v, "s", a.s) &&
           r.field(v, "e", a.e) && r.field(v, "construction", a.construction);
}

bool readConstraint(JsonReader& r, const Json& v, SConstraint& c) {
    return r.object(v) && r.field(v, "id", c.id) && r.field(v, "kind", c.kind) &&
           r.field(v, "refs", c.refs) && r.optField(v, "value", c.value);
}

// Reads the array member `key` of `obj` element by element with `one`.
template <class T, class F>
bool readList(JsonReader& r, const Json& obj, const char* key, std::vector<T>& out, F one) {
    const Json* v = r.member(obj, key);
    if (!v) return false;
    JsonReader::Step s = r.key(key);
    return r.list(*v, out, [&](const Json& e, T& t) { return one(r, e, t); });
}

}  // namespace

Json toJson(const SketchPlane& p) {
    Json j = Json::object();
    j["name"] = p.name;
    j["o"] = toJson(p.o);
    j["x"] = toJson(p.x);
    j["n"] = toJson(p.n);
    return j;
}

Json toJson(const Sketch& s) {
    Json j = Json::object();
    j["plane"] = toJson(s.plane);
    j["points"] = arrayOf(s.points);
    j["lines"] = arrayOf(s.lines);
    j["circles"] = arrayOf(s.circles);
    j["arcs"] = arrayOf(s.arcs);
    j["constraints"] = arrayOf(s.constraints);
    j["nextId"] = s.nextId;
    j["visible"] = s.visible;
    if (s.freePoints) j["freePoints"] = *s.freePoints;
    return j;
}

bool readSketch(JsonReader& r, const Json& v, Sketch& out) {
    Sketch s;
    if (!r.object(v)) return false;
    if (const Json* p = r.member(v, "plane")) {
        JsonReader::Step step = r.key("plane");
        if (!readPlane(r, *p, s.plane)) return false;
    } else {
        return false;
    }
    const bool ok = readList(r, v, "points", s.points, readPoint) &&
                    readList(r, v, "lines", s.lines, readLine) &&
                    readList(r, v, "circles", s.circles, readCircle) &&
                    readList(r, v, "arcs", s.arcs, readArc) &&
                    readList(r, v, "constraints", s.constraints, readConstraint) &&
                    r.field(v, "nextId", s.nextId) && r.field(v, "visible", s.visible) &&
                    r.optField(v, "freePoints", s.freePoints);
    if (!ok) return false;
    out = std::move(s);
    return true;
}

}  // namespace ivo
