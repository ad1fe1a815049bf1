// The .q3d file format: encoding with keys in a fixed order (optional members omitted,
// never null) and strict decoding that names the first fault and where it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"
#include "sketch/json_reader.h"
#include "sketch/json_records.h"

namespace ivo {

// Limits that keep a hostile file from exhausting memory or the stack.
inline constexpr size_t kMaxDocumentBytes = size_t{256} << 20;
inline constexpr int kMaxJsonDepth = 64;

Json toJson(const Feature& f);
Json toJson(const Doc& doc);

// Pretty (indented, for files) or compact (for undo snapshots and the session file). A
// pretty text that would exceed `limit` is given compact instead.
std::string encodeDoc(const Doc& doc, bool pretty, size_t limit = kMaxDocumentBytes);

// The text of a model file: pretty, or compact when that is too large to read back; nothing
// (with a French reason) when even the compact form exceeds `limit`, so that no file is
// written that the reader would refuse.
std::optional<std::string> encodeDocFile(const Doc& doc, std::string& reason,
                                         size_t limit = kMaxDocumentBytes);

// Reads a document from a parsed tree at the reader's location (for files that embed
// documents, such as the session file).
bool readDoc(JsonReader& r, const Json& v, Doc& out);

// How the records of a document are decoded (json_records.h).
template <>
const RecordType& schema<ExtrudeP>();
template <>
const RecordType& schema<RevolveP>();
template <>
const RecordType& schema<FilletP>();
template <>
const RecordType& schema<CombineP>();
template <>
const RecordType& schema<Feature>();
template <>
const RecordType& schema<Doc>();

// Parses JSON text, refusing empty, oversized, too deeply nested or malformed input with a
// French reason (and the line and column of a syntax error). Never throws.
std::optional<Json> parseJson(std::string_view text, std::string& reason);

// Text to document, decoded straight into the records (no JSON tree is built, unknown keys
// are skipped); on failure nothing and a located reason such as
// "features[2] : clé « suppressed » manquante". Counters lower than the ids they cover are
// raised, each raise told in `notes` when given (ids themselves are never changed).
std::optional<Doc> decodeDoc(std::string_view text, std::string& reason,
                             std::vector<std::string>* notes = nullptr);

}  // namespace ivo
