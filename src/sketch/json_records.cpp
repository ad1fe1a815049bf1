// Event-driven decoding of records, and the schemas of V2 and V3.
#include "sketch/json_records.h"

#include <cmath>

namespace ivo {

template <>
const RecordType& schema<V2>() {
    static const FieldSpec fields[] = {field<&V2::x>("x"), field<&V2::y>("y")};
    static const RecordType type = recordType<V2>(fields);
    return type;
}

template <>
const RecordType& schema<V3>() {
    static const FieldSpec fields[] = {field<&V3::x>("x"), field<&V3::y>("y"), field<&V3::z>("z")};
    static const RecordType type = recordType<V3>(fields);
    return type;
}

RecordDecoder::RecordDecoder(const RecordType& type, void* root, std::string prefix, int maxDepth)
    : rootType_(type), root_(root), prefix_(std::move(prefix)), maxDepth_(maxDepth) {
    stack_.reserve(static_cast<size_t>(maxDepth) + 1);
}

bool RecordDecoder::null() {
    return scalar({Scalar::null});
}

bool RecordDecoder::boolean(bool v) {
    Value x{Scalar::boolean};
    x.b = v;
    return scalar(x);
}

bool RecordDecoder::number_integer(std::int64_t v) {
    Value x{Scalar::integer};
    x.i = v;
    x.d = static_cast<double>(v);
    return scalar(x);
}

bool RecordDecoder::number_unsigned(std::uint64_t v) {
    Value x{Scalar::integer};
    x.inRange = v <= static_cast<std::uint64_t>(INT64_MAX);
    x.i = x.inRange ? static_cast<std::int64_t>(v) : 0;
    x.d = static_cast<double>(v);
    return scalar(x);
}

bool RecordDecoder::number_float(double v, const std::string&) {
    Value x{Scalar::number};
    x.d = v;
    return scalar(x);
}

bool RecordDecoder::string(std::string& v) {
    Value x{Scalar::text};
    x.s = &v;
    return scalar(x);
}

bool RecordDecoder::binary(Json::binary_t&) {
    return fail("valeur inattendue");
}

bool RecordDecoder::start_object(std::size_t) {
    return open(false);
}

bool RecordDecoder::start_array(std::size_t) {
    return open(true);
}

bool RecordDecoder::end_object() {
    return close();
}

bool RecordDecoder::end_array() {
    return close();
}

bool RecordDecoder::key(std::string& k) {
    Frame& t = stack_.back();
    if (t.kind == Frame::Kind::map) {
        t.mapKey = std::move(k);
    } else if (t.kind == Frame::Kind::record) {
        t.field = -1;
        const auto& fields = t.type->fields;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].key == k) {
                // Readers differ on which of two values wins; such a file is ambiguous.
                if (t.seen >> i & 1) return fail("clé « " + k + " » en double", false);
                t.field = static_cast<int>(i);
                t.seen |= std::uint64_t{1} << i;
                break;
            }
        }
    }
    return true;
}

bool RecordDecoder::parse_error(std::size_t position, const std::string&,
                                const nlohmann::detail::exception& e) {
    if (!error_.empty()) return false;
    syntaxAt_ = position;
    numberTooLarge_ = e.id == 406;  // a number beyond the doubles
    error_ = "JSON illisible";
    return false;
}

bool RecordDecoder::toInteger(const Value& v, std::int64_t& out) {
    if (v.kind == Scalar::integer) {
        if (!v.inRange) return fail("entier hors de l'intervalle des 64 bits");
        out = v.i;
        return true;
    }
    if (v.kind != Scalar::number || v.d != std::floor(v.d)) return fail("nombre entier attendu");
    // Integral values written as 3.0 or 1e3 are accepted. An integer literal beyond 64 bits
    // also arrives here, rounded: −2⁶³ − 1 becomes −2⁶³, so the bound itself is out as well.
    if (!(v.d > -9223372036854775808.0 && v.d < 9223372036854775808.0))
        return fail("entier hors de l'intervalle des 64 bits");
    out = static_cast<std::int64_t>(v.d);
    return true;
}

bool RecordDecoder::toNumber(const Value& v, double& out) {
    if (v.kind != Scalar::integer && v.kind != Scalar::number) return fail("nombre attendu");
    out = v.d;
    return std::isfinite(out) || fail("nombre trop grand");
}

bool RecordDecoder::scalar(const Value& v) {
    if (stack_.empty()) return fail("objet attendu");
    Frame& t = stack_.back();
    switch (t.kind) {
        case Frame::Kind::skip: return true;
        case Frame::Kind::record: {
            if (t.field < 0) return true;
            const FieldSpec& f = t.type->fields[static_cast<size_t>(t.field)];
            return store(f, f.at(t.target), v);
        }
        case Frame::Kind::map: {
            if (v.kind != Scalar::text) return fail("texte attendu");
            (*static_cast<std::map<std::string, std::string>*>(t.target))[t.mapKey] =
                std::move(*v.s);
            return true;
        }
        case Frame::Kind::list: {
            if (t.element == Want::integer) {
                std::int64_t x = 0;
                if (!toInteger(v, x)) return false;
                static_cast<std::vector<std::int64_t>*>(t.target)->push_back(x);
            } else if (t.element == Want::number) {
                double x = 0;
                if (!toNumber(v, x)) return false;
                static_cast<std::vector<double>*>(t.target)->push_back(x);
            } else {
                return fail("objet attendu");
            }
            ++t.index;
            return true;
        }
    }
    return false;
}

bool RecordDecoder::store(const FieldSpec& f, void* at, const Value& v) {
    const bool isNull = v.kind == Scalar::null;
    switch (f.want) {
        case Want::integer: return toInteger(v, *static_cast<std::int64_t*>(at));
        case Want::optInteger: {
            auto& o = *static_cast<std::optional<std::int64_t>*>(at);
            if (isNull) return o.reset(), true;
            std::int64_t x = 0;
            if (!toInteger(v, x)) return false;
            return o = x, true;
        }
        case Want::number: return toNumber(v, *static_cast<double*>(at));
        case Want::optNumber: {
            auto& o = *static_cast<std::optional<double>*>(at);
            if (isNull) return o.reset(), true;
            double x = 0;
            if (!toNumber(v, x)) return false;
            return o = x, true;
        }
        case Want::boolean:
            if (v.kind != Scalar::boolean) return fail("booléen attendu");
            return *static_cast<bool*>(at) = v.b, true;
        case Want::text:
            if (v.kind != Scalar::text) return fail("texte attendu");
            return *static_cast<std::string*>(at) = std::move(*v.s), true;
        case Want::integers:
        case Want::records: return fail("tableau attendu");
        case Want::optIntegers:
            if (isNull)
                return static_cast<std::optional<std::vector<std::int64_t>>*>(at)->reset(), true;
            return fail("tableau attendu");
        case Want::optNumbers:
            if (isNull) return static_cast<std::optional<std::vector<double>>*>(at)->reset(), true;
            return fail("tableau attendu");
        case Want::textMap:
            if (isNull)
                return static_cast<std::optional<std::map<std::string, std::string>>*>(at)->reset(),
                       true;
            return fail("objet attendu");
        case Want::optRecord:
            // Null is absent: the record is engaged only when an object starts.
            if (isNull) return f.type().reset(at), true;
            return fail("objet attendu");
        case Want::record: return fail("objet attendu");
    }
    return false;
}

bool RecordDecoder::open(bool array) {
    if (++depth_ > maxDepth_) {
        if (error_.empty())
            error_ =
                "imbrication trop profonde (plus de " + std::to_string(maxDepth_) + " niveaux)";
        return false;
    }
    auto push = [&](Frame::Kind kind, Want element, const RecordType* type, void* target) {
        Frame& f = stack_.emplace_back();
        f.kind = kind;
        f.element = element;
        f.type = type;
        f.target = target;
        f.index = kind == Frame::Kind::skip ? 1 : 0;
        return true;
    };
    if (stack_.empty()) {
        if (array || done_) return fail("objet attendu");
        return push(Frame::Kind::record, Want::record, &rootType_, root_);
    }
    Frame& t = stack_.back();
    switch (t.kind) {
        case Frame::Kind::skip: return ++t.index, true;
        case Frame::Kind::map: return fail("texte attendu");
        case Frame::Kind::list:
            if (t.element == Want::integer) return fail("nombre entier attendu");
            if (t.element == Want::number) return fail("nombre attendu");
            if (array) return fail("objet attendu");
            return push(Frame::Kind::record, Want::record, t.type, t.type->append(t.target));
        case Frame::Kind::record: break;
    }
    if (t.field < 0) return push(Frame::Kind::skip, Want::record, nullptr, nullptr);
    const FieldSpec& f = t.type->fields[static_cast<size_t>(t.field)];
    void* at = f.at(t.target);
    switch (f.want) {
        case Want::integer:
        case Want::optInteger: return fail("nombre entier attendu");
        case Want::number:
        case Want::optNumber: return fail("nombre attendu");
        case Want::boolean: return fail("booléen attendu");
        case Want::text: return fail("texte attendu");
        case Want::record:
            if (array) return fail("objet attendu");
            return push(Frame::Kind::record, Want::record, &f.type(), at);
        case Want::optRecord:
            if (array) return fail("objet attendu");
            return push(Frame::Kind::record, Want::record, &f.type(), f.type().engage(at));
        case Want::records:
            if (!array) return fail("tableau attendu");
            f.type().clear(at);
            return push(Frame::Kind::list, Want::records, &f.type(), at);
        case Want::integers: {
            if (!array) return fail("tableau attendu");
            auto& list = *static_cast<std::vector<std::int64_t>*>(at);
            list.clear();
            return push(Frame::Kind::list, Want::integer, nullptr, &list);
        }
        case Want::optIntegers: {
            if (!array) return fail("tableau attendu");
            auto& o = *static_cast<std::optional<std::vector<std::int64_t>>*>(at);
            return push(Frame::Kind::list, Want::integer, nullptr, &o.emplace());
        }
        case Want::optNumbers: {
            if (!array) return fail("tableau attendu");
            auto& o = *static_cast<std::optional<std::vector<double>>*>(at);
            return push(Frame::Kind::list, Want::number, nullptr, &o.emplace());
        }
        case Want::textMap: {
            if (array) return fail("objet attendu");
            auto& o = *static_cast<std::optional<std::map<std::string, std::string>>*>(at);
            return push(Frame::Kind::map, Want::text, nullptr, &o.emplace());
        }
    }
    return false;
}

bool RecordDecoder::close() {
    --depth_;
    Frame& t = stack_.back();
    if (t.kind == Frame::Kind::skip) {
        if (--t.index == 0) stack_.pop_back();
        return true;
    }
    if (t.kind == Frame::Kind::record) {
        const auto& fields = t.type->fields;
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].required() && !(t.seen >> i & 1))
                return fail("clé « " + std::string(fields[i].key) + " » manquante", false);
    }
    stack_.pop_back();
    if (stack_.empty())
        done_ = true;
    else if (stack_.back().kind == Frame::Kind::list)
        ++stack_.back().index;
    return true;
}

bool RecordDecoder::fail(std::string_view reason, bool atValue) {
    if (error_.empty()) error_ = location(atValue) + " : " + std::string(reason);
    return false;
}

std::string RecordDecoder::location(bool atValue) const {
    std::string s = prefix_;
    const size_t n = stack_.size() - (atValue || stack_.empty() ? 0 : 1);
    for (size_t k = 0; k < n; ++k) {
        const Frame& f = stack_[k];
        switch (f.kind) {
            case Frame::Kind::record:
                if (f.field >= 0) {
                    if (!s.empty()) s += '.';
                    s += f.type->fields[static_cast<size_t>(f.field)].key;
                }
                break;
            case Frame::Kind::map:
                if (!s.empty()) s += '.';
                s += f.mapKey;
                break;
            case Frame::Kind::list: s += "[" + std::to_string(f.index) + "]"; break;
            case Frame::Kind::skip: break;
        }
    }
    return s.empty() ? std::string("racine") : s;
}

bool replayTree(const Json& v, RecordDecoder& d) {
    // The depth is bounded by the decoder, which refuses beyond its limit.
    switch (v.type()) {
        case Json::value_t::null: return d.null();
        case Json::value_t::boolean: return d.boolean(v.get<bool>());
        case Json::value_t::number_integer: return d.number_integer(v.get<std::int64_t>());
        case Json::value_t::number_unsigned: return d.number_unsigned(v.get<std::uint64_t>());
        case Json::value_t::number_float: return d.number_float(v.get<double>(), {});
        case Json::value_t::string: {
            std::string s = v.get<std::string>();
            return d.string(s);
        }
        case Json::value_t::object: {
            if (!d.start_object(v.size())) return false;
            for (const auto& [k, e] : v.items()) {
                std::string key = k;
                if (!d.key(key) || !replayTree(e, d)) return false;
            }
            return d.end_object();
        }
        case Json::value_t::array: {
            if (!d.start_array(v.size())) return false;
            for (const Json& e : v)
                if (!replayTree(e, d)) return false;
            return d.end_array();
        }
        case Json::value_t::binary: {
            Json::binary_t b = v.get_binary();
            return d.binary(b);
        }
        case Json::value_t::discarded: return false;
    }
    return false;
}

std::string unreadableAt(std::string_view text, std::size_t offset) {
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

bool decodeRecord(std::string_view text, const RecordType& type, void* root, int maxDepth,
                  std::string& reason) {
    // The parser takes a NUL byte for the end of the input, which would let anything after
    // it pass; JSON has no place for one, so it is a syntax error where it stands.
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        reason = unreadableAt(text, nul);
        return false;
    }
    RecordDecoder d(type, root, "", maxDepth);
    // Strict: only whitespace may follow the value.
    if (Json::sax_parse(text.begin(), text.end(), &d, Json::input_format_t::json, true, false) &&
        d.done())
        return true;
    if (d.syntaxAt()) {
        reason = d.numberTooLarge() ? "JSON illisible : nombre trop grand"
                                    : unreadableAt(text, *d.syntaxAt() > 0 ? *d.syntaxAt() - 1 : 0);
    } else {
        reason = d.error().empty() ? "JSON illisible" : d.error();
    }
    return false;
}

}  // namespace ivo
