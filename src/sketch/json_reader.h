// Exception-free, located reading of JSON trees into records: every failure is reported
// once, as "path : reason" in French (for example "features[0].sketch.points[3].id : nombre
// entier attendu"). Also the JSON form of V2 and V3.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "geometry/vec.h"

namespace ivo {

using Json = nlohmann::ordered_json;

class JsonReader {
public:
    // One segment of the current location, removed again when it goes out of scope.
    class [[nodiscard]] Step {
    public:
        explicit Step(JsonReader& r) : r_(r) {}
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        ~Step() { r_.path_.pop_back(); }

    private:
        JsonReader& r_;
    };

    Step key(std::string_view k);
    Step index(size_t i);

    bool failed() const { return !error_.empty(); }
    // The first failure, located; empty while everything read well.
    const std::string& error() const { return error_; }
    // Records `reason` at the current location (only the first failure is kept); false.
    bool fail(std::string_view reason);
    // Records a reason that already carries its location (only the first failure is kept).
    bool failLocated(std::string message);
    // The current location, "racine" at the top.
    std::string location() const;

    bool object(const Json& v);
    bool array(const Json& v);
    bool read(const Json& v, std::int64_t& out);  // integral numbers within 64 bits
    bool read(const Json& v, double& out);        // finite numbers
    bool read(const Json& v, bool& out);
    bool read(const Json& v, std::string& out);
    bool read(const Json& v, V2& out);
    bool read(const Json& v, V3& out);

    // A required member: missing fails with "clé « key » manquante".
    template <class T>
    bool field(const Json& obj, const char* k, T& out) {
        const Json* v = member(obj, k);
        if (!v) return false;
        Step s = key(k);
        return read(*v, out);
    }

    // An optional member: missing and null both read as absent.
    template <class T>
    bool optField(const Json& obj, const char* k, std::optional<T>& out) {
        out.reset();
        const auto it = obj.find(k);
        if (it == obj.end() || it->is_null()) return true;
        Step s = key(k);
        T t{};
        if (!read(*it, t)) return false;
        out = std::move(t);
        return true;
    }

    // An array whose elements are read by `one(element, T&) -> bool`.
    template <class T, class F>
    bool list(const Json& v, std::vector<T>& out, F&& one) {
        if (!array(v)) return false;
        out.clear();
        out.reserve(v.size());
        for (size_t i = 0; i < v.size(); ++i) {
            Step s = index(i);
            T t{};
            if (!one(v[i], t)) return false;
            out.push_back(std::move(t));
        }
        return true;
    }

    template <class T>
    bool read(const Json& v, std::vector<T>& out) {
        return list(v, out, [this](const Json& e, T& t) { return read(e, t); });
    }

    const Json* member(const Json& obj, const char* k);

private:
    std::vector<std::string> path_;
    std::string error_;
};

Json toJson(V2 v);
Json toJson(V3 v);

}  // namespace ivo
