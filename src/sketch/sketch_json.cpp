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

template <>
const RecordType& schema<SketchPlane>() {
    static const FieldSpec fields[] = {field<&SketchPlane::name>("name"),
                                       field<&SketchPlane::o>("o"), field<&SketchPlane::x>("x"),
                                       field<&SketchPlane::n>("n")};
    static const RecordType type = recordType<SketchPlane>(fields);
    return type;
}

template <>
const RecordType& schema<SPoint>() {
    static const FieldSpec fields[] = {field<&SPoint::id>("id"), field<&SPoint::p>("p"),
                                       field<&SPoint::fixed>("fixed")};
    static const RecordType type = recordType<SPoint>(fields);
    return type;
}

template <>
const RecordType& schema<SLine>() {
    static const FieldSpec fields[] = {field<&SLine::id>("id"), field<&SLine::a>("a"),
                                       field<&SLine::b>("b"),
                                       field<&SLine::construction>("construction")};
    static const RecordType type = recordType<SLine>(fields);
    return type;
}

template <>
const RecordType& schema<SCircle>() {
    static const FieldSpec fields[] = {field<&SCircle::id>("id"), field<&SCircle::c>("c"),
                                       field<&SCircle::r>("r"),
                                       field<&SCircle::construction>("construction")};
    static const RecordType type = recordType<SCircle>(fields);
    return type;
}

template <>
const RecordType& schema<SArc>() {
    static const FieldSpec fields[] = {field<&SArc::id>("id"), field<&SArc::c>("c"),
                                       field<&SArc::s>("s"), field<&SArc::e>("e"),
                                       field<&SArc::construction>("construction")};
    static const RecordType type = recordType<SArc>(fields);
    return type;
}

template <>
const RecordType& schema<SConstraint>() {
    static const FieldSpec fields[] = {
        field<&SConstraint::id>("id"), field<&SConstraint::kind>("kind"),
        field<&SConstraint::refs>("refs"), field<&SConstraint::value>("value")};
    static const RecordType type = recordType<SConstraint>(fields);
    return type;
}

template <>
const RecordType& schema<Sketch>() {
    static const FieldSpec fields[] = {field<&Sketch::plane>("plane"),
                                       field<&Sketch::points>("points"),
                                       field<&Sketch::lines>("lines"),
                                       field<&Sketch::circles>("circles"),
                                       field<&Sketch::arcs>("arcs"),
                                       field<&Sketch::constraints>("constraints"),
                                       field<&Sketch::nextId>("nextId"),
                                       field<&Sketch::visible>("visible"),
                                       field<&Sketch::freePoints>("freePoints")};
    static const RecordType type = recordType<Sketch>(fields);
    return type;
}

}  // namespace ivo
