// Decoding JSON text straight into records through the parser's event interface: no tree is
// built, unknown keys are skipped without being stored, and every failure is reported once,
// located as JsonReader does ("features[0].sketch.points[3].id : nombre entier attendu").
// Each record type describes its members once, with `field`; the JSON kind each member takes
// follows from its C++ type.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "sketch/json_reader.h"

namespace ivo {

// What a member holds, and so which JSON values it takes. Optional members also take null
// (absent) and may be missing; every other member is required.
enum class Want : std::uint8_t {
    integer,      // std::int64_t
    optInteger,   // std::optional<std::int64_t>
    number,       // double, finite
    optNumber,    // std::optional<double>
    boolean,      // bool
    text,         // std::string
    integers,     // std::vector<std::int64_t>
    optIntegers,  // std::optional<std::vector<std::int64_t>>
    optNumbers,   // std::optional<std::vector<double>>
    textMap,      // std::optional<std::map<std::string, std::string>>
    record,       // a record with a schema
    optRecord,    // std::optional of one
    records,      // std::vector of them
};

struct RecordType;

struct FieldSpec {
    std::string_view key;
    Want want;
    void* (*at)(void* record);    // the member in a record
    const RecordType& (*type)();  // record, optRecord, records: the member's schema
    bool required() const {
        return want != Want::optInteger && want != Want::optNumber && want != Want::optIntegers &&
               want != Want::optNumbers && want != Want::textMap && want != Want::optRecord;
    }
};

// A record's members, and how to make one in a vector or an optional of it.
struct RecordType {
    std::span<const FieldSpec> fields;  // at most 64
    void* (*append)(void* vector);      // a default record at the end; its address
    void* (*engage)(void* optional);    // a default record in the optional; its address
    void (*reset)(void* optional);
    void (*clear)(void* vector);
};

// The schema of record type T; each is defined beside the record's encoder.
template <class T>
const RecordType& schema();

template <>
const RecordType& schema<V2>();
template <>
const RecordType& schema<V3>();

namespace records_detail {

template <class>
struct Member;
template <class R, class M>
struct Member<M R::*> {
    using Record = R;
    using Type = M;
};

template <class>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {
    using Inner = T;
};
template <class>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {
    using Inner = T;
};

template <class M>
constexpr Want wantOf() {
    using Text = std::map<std::string, std::string>;
    if constexpr (std::is_same_v<M, std::int64_t>)
        return Want::integer;
    else if constexpr (std::is_same_v<M, std::optional<std::int64_t>>)
        return Want::optInteger;
    else if constexpr (std::is_same_v<M, double>)
        return Want::number;
    else if constexpr (std::is_same_v<M, std::optional<double>>)
        return Want::optNumber;
    else if constexpr (std::is_same_v<M, bool>)
        return Want::boolean;
    else if constexpr (std::is_same_v<M, std::string>)
        return Want::text;
    else if constexpr (std::is_same_v<M, std::vector<std::int64_t>>)
        return Want::integers;
    else if constexpr (std::is_same_v<M, std::optional<std::vector<std::int64_t>>>)
        return Want::optIntegers;
    else if constexpr (std::is_same_v<M, std::optional<std::vector<double>>>)
        return Want::optNumbers;
    else if constexpr (std::is_same_v<M, std::optional<Text>>)
        return Want::textMap;
    else if constexpr (IsOptional<M>::value)
        return Want::optRecord;
    else if constexpr (IsVector<M>::value)
        return Want::records;
    else
        return Want::record;
}

// The record type a member holds (itself, or inside its optional or vector).
template <class M>
constexpr auto recordOf() {
    if constexpr (IsOptional<M>::value)
        return static_cast<typename IsOptional<M>::Inner*>(nullptr);
    else if constexpr (IsVector<M>::value)
        return static_cast<typename IsVector<M>::Inner*>(nullptr);
    else
        return static_cast<M*>(nullptr);
}

template <auto P>
void* memberAt(void* r) {
    return &(static_cast<typename Member<decltype(P)>::Record*>(r)->*P);
}

}  // namespace records_detail

// The member P under `key`.
template <auto P>
constexpr FieldSpec field(std::string_view key) {
    using M = typename records_detail::Member<decltype(P)>::Type;
    constexpr Want want = records_detail::wantOf<M>();
    const RecordType& (*type)() = nullptr;
    if constexpr (want == Want::record || want == Want::optRecord || want == Want::records)
        type = &schema<std::remove_pointer_t<decltype(records_detail::recordOf<M>())>>;
    return {key, want, &records_detail::memberAt<P>, type};
}

template <class T>
RecordType recordType(std::span<const FieldSpec> fields) {
    return {fields,
            [](void* v) -> void* { return &static_cast<std::vector<T>*>(v)->emplace_back(); },
            [](void* o) -> void* { return &static_cast<std::optional<T>*>(o)->emplace(); },
            [](void* o) { static_cast<std::optional<T>*>(o)->reset(); },
            [](void* v) { static_cast<std::vector<T>*>(v)->clear(); }};
}

// The parser's events, filling a record of `type` at `root`. Locations start from `prefix`
// (empty at the top of a file). Nesting deeper than `maxDepth` is refused.
class RecordDecoder {
public:
    RecordDecoder(const RecordType& type, void* root, std::string prefix, int maxDepth);

    // The event interface of nlohmann::json's sax_parse.
    bool null();
    bool boolean(bool v);
    bool number_integer(std::int64_t v);
    bool number_unsigned(std::uint64_t v);
    bool number_float(double v, const std::string&);
    bool string(std::string& v);
    bool binary(Json::binary_t&);
    bool start_object(std::size_t);
    bool key(std::string& k);
    bool end_object();
    bool start_array(std::size_t);
    bool end_array();
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& e);

    // The first failure, located; empty while everything read well.
    const std::string& error() const { return error_; }
    // Where the parser found a syntax error (a byte offset), and whether it was a number too
    // large for a double; meaningful when the error came from the parser.
    std::optional<std::size_t> syntaxAt() const { return syntaxAt_; }
    bool numberTooLarge() const { return numberTooLarge_; }
    bool done() const { return done_; }

private:
    // One open object or array: a record being filled, a list or map member, or a value of
    // an unknown key being skipped.
    struct Frame {
        enum class Kind : std::uint8_t { record, list, map, skip };
        Kind kind = Kind::record;
        Want element = Want::integer;      // list: integers, numbers or records
        const RecordType* type = nullptr;  // record: its own; list of records: the element's
        void* target = nullptr;            // the record, vector or map
        std::uint64_t seen = 0;            // record: members met, by field index
        int field = -1;                    // record: member of the next value; -1 skips it
        std::size_t index = 0;             // list: elements read; skip: nesting left
        std::string mapKey;                // map: key of the next value
    };
    enum class Scalar : std::uint8_t { null, boolean, integer, number, text };
    struct Value {
        Scalar kind;
        bool b = false;
        std::int64_t i = 0;
        bool integral = false;  // i holds it
        bool inRange = true;    // an integer within 64 bits
        double d = 0;
        std::string* s = nullptr;
    };

    bool scalar(const Value& v);
    bool store(const FieldSpec& f, void* at, const Value& v);
    bool open(bool array);
    bool close();
    bool fail(std::string_view reason, bool atValue = true);
    std::string location(bool atValue) const;
    bool toInteger(const Value& v, std::int64_t& out);
    bool toNumber(const Value& v, double& out);

    std::vector<Frame> stack_;
    const RecordType& rootType_;
    void* root_;
    std::string prefix_;
    int maxDepth_;
    int depth_ = 0;
    bool done_ = false;
    std::string error_;
    std::optional<std::size_t> syntaxAt_;
    bool numberTooLarge_ = false;
};

// Feeds a parsed tree to the decoder as the parser would; false when the decoder refused.
bool replayTree(const Json& v, RecordDecoder& d);

// Parses `text` into a record of `type` at `root`, nesting limited to `maxDepth`. On failure
// false and a reason: located for a wrong record, "JSON illisible à la ligne L, colonne C"
// for a syntax error (a NUL byte, or anything but whitespace after the value, included).
bool decodeRecord(std::string_view text, const RecordType& type, void* root, int maxDepth,
                  std::string& reason);

// "JSON illisible à la ligne L, colonne C" for the byte at `offset`, columns counted in
// characters as an editor shows them.
std::string unreadableAt(std::string_view text, std::size_t offset);

}  // namespace ivo
