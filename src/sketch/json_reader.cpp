// Located JSON reading.
#include "sketch/json_reader.h"

#include <cmath>

namespace ivo {

JsonReader::Step JsonReader::key(std::string_view k) {
    path_.push_back(path_.empty() ? std::string(k) : "." + std::string(k));
    return Step(*this);
}

JsonReader::Step JsonReader::index(size_t i) {
    path_.push_back("[" + std::to_string(i) + "]");
    return Step(*this);
}

std::string JsonReader::location() const {
    std::string s;
    for (const std::string& p : path_)
        s += p;
    return s.empty() ? std::string("racine") : s;
}

bool JsonReader::fail(std::string_view reason) {
    return failLocated(location() + " : " + std::string(reason));
}

bool JsonReader::failLocated(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
}

const Json* JsonReader::member(const Json& obj, const char* k) {
    const auto it = obj.find(k);
    if (it == obj.end()) {
        fail(std::string("clé « ") + k + " » manquante");
        return nullptr;
    }
    return &*it;
}

bool JsonReader::object(const Json& v) {
    return v.is_object() || fail("objet attendu");
}

bool JsonReader::array(const Json& v) {
    return v.is_array() || fail("tableau attendu");
}

bool JsonReader::read(const Json& v, std::int64_t& out) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT64_MAX))
            return fail("entier hors de l'intervalle des 64 bits");
        out = static_cast<std::int64_t>(u);
        return true;
    }
    if (v.is_number_integer()) {
        out = v.get<std::int64_t>();
        return true;
    }
    if (v.is_number_float()) {
        // Integral values written as 3.0 or 1e3 are accepted; fractions are not.
        const double d = v.get<double>();
        if (!std::isfinite(d) || d != std::floor(d)) return fail("nombre entier attendu");
        // The parser reads an integer beyond 64 bits as a double, rounded: −2⁶³ − 1
        // becomes −2⁶³, so the bound itself is out as well.
        if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0))
            return fail("entier hors de l'intervalle des 64 bits");
        out = static_cast<std::int64_t>(d);
        return true;
    }
    return fail("nombre entier attendu");
}

bool JsonReader::read(const Json& v, double& out) {
    if (!v.is_number()) return fail("nombre attendu");
    out = v.get<double>();
    return std::isfinite(out) || fail("nombre trop grand");
}

bool JsonReader::read(const Json& v, bool& out) {
    if (!v.is_boolean()) return fail("booléen attendu");
    out = v.get<bool>();
    return true;
}

bool JsonReader::read(const Json& v, std::string& out) {
    if (!v.is_string()) return fail("texte attendu");
    out = v.get<std::string>();
    return true;
}

bool JsonReader::read(const Json& v, V2& out) {
    return object(v) && field(v, "x", out.x) && field(v, "y", out.y);
}

bool JsonReader::read(const Json& v, V3& out) {
    return object(v) && field(v, "x", out.x) && field(v, "y", out.y) && field(v, "z", out.z);
}

Json toJson(V2 v) {
    Json j = Json::object();
    j["x"] = v.x;
    j["y"] = v.y;
    return j;
}

Json toJson(V3 v) {
    Json j = Json::object();
    j["x"] = v.x;
    j["y"] = v.y;
    j["z"] = v.z;
    return j;
}

}  // namespace ivo
