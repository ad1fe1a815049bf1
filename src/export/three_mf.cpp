// 3MF packages: the model text (one mesh object per model, vertices shared by rounded
// position) in a stored ZIP with the package's content types and relationships.
#include "export/three_mf.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "export/stl.h"
#include "export/zip.h"
#include "geometry/first_seen_index.h"

namespace ivo {
namespace {

constexpr std::string_view kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" "
    "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/></Types>\n";

constexpr std::string_view kRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>\n";

constexpr std::string_view kModelHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<model unit=\"millimeter\" xml:lang=\"fr-FR\" "
    "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
    "<metadata name=\"Application\">Ivorane 3D</metadata>\n<resources>\n";

// A vertex position rounded to multiples of 0.0001 mm. The rounded values are kept as
// doubles: they are whole numbers, so equal keys are equal decimal integers at any size.
struct VertexKey {
    double x, y, z;
    friend bool operator==(const VertexKey&, const VertexKey&) = default;
};

struct VertexKeyHash {
    std::uint64_t operator()(const VertexKey& k) const {
        std::uint64_t h = std::bit_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15u;
        h = (h ^ std::bit_cast<std::uint64_t>(k.y)) * 0x9E3779B97F4A7C15u;
        return (h ^ std::bit_cast<std::uint64_t>(k.z)) * 0x9E3779B97F4A7C15u;
    }
};

// Adding 0.0 turns −0 into +0, which is the same decimal integer.
VertexKey keyOf(V3 q) {
    return {std::round(q.x * 10000) + 0.0, std::round(q.y * 10000) + 0.0,
            std::round(q.z * 10000) + 0.0};
}

bool isFinite(V3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Same digits as "%.5f", without the process locale.
void appendFixed5(std::string& out, double v) {
    char buf[400];  // the longest finite double in fixed notation is 309 digits and 6 more
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5).ptr);
}

// The name as attribute text: the four markup characters escaped, and what XML cannot carry
// at all (control characters, malformed UTF-8) dropped or replaced, so that a name never
// makes the package unreadable.
void appendEscapedName(std::string& out, std::string_view name) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::size_t i = 0;
    while (i < name.size()) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (b < 0x80) {
            ++i;
            switch (b) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                default:
                    if (b >= 0x20 || b == '\t' || b == '\n' || b == '\r')
                        out.push_back(static_cast<char>(b));
            }
            continue;
        }
        // A multi-byte sequence: its length from the lead byte, then the code point checked
        // for overlong forms, surrogates, the range limit and the two non-characters XML
        // excludes.
        const int length = b >= 0xF8 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        std::uint32_t cp = length == 4 ? b & 0x07u : length == 3 ? b & 0x0Fu : b & 0x1Fu;
        bool ok = length != 0 && i + length <= name.size();
        for (int k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(name[i + k]);
            ok = (c & 0xC0u) == 0x80u;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        constexpr std::uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kMinimum[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!ok) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (cp != 0xFFFE && cp != 0xFFFF) out.append(name.substr(i, length));
        i += length;
    }
}

// Appends the object when at least one triangle is kept: an object without triangles is
// not a mesh that readers accept.
bool appendObject(std::string& out, int id, const NamedMesh& model) {
    std::vector<V3> vertices;
    std::vector<std::uint32_t> indices;
    FirstSeenIndex<VertexKey, VertexKeyHash> index(model.tris.size());
    for (const Tri& t : model.tris) {
        const V3 corners[3] = {toPrinter(t.a), toPrinter(t.b), toPrinter(t.c)};
        if (!isFinite(corners[0]) || !isFinite(corners[1]) || !isFinite(corners[2])) continue;
        std::uint32_t ids[3];
        for (int k = 0; k < 3; ++k) {
            const auto [number, added] = index.insert(keyOf(corners[k]));
            if (added) vertices.push_back(corners[k]);
            ids[k] = number;
        }
        if (ids[0] == ids[1] || ids[1] == ids[2] || ids[0] == ids[2]) continue;
        indices.insert(indices.end(), ids, ids + 3);
    }
    if (indices.empty()) return false;

    out += "<object id=\"";
    appendUnsigned(out, static_cast<std::uint64_t>(id));
    out += "\" type=\"model\" name=\"";
    appendEscapedName(out, model.name);
    out += "\"><mesh><vertices>\n";
    for (const V3& v : vertices) {
        out += "<vertex x=\"";
        appendFixed5(out, v.x);
        out += "\" y=\"";
        appendFixed5(out, v.y);
        out += "\" z=\"";
        appendFixed5(out, v.z);
        out += "\"/>\n";
    }
    out += "</vertices><triangles>\n";
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        out += "<triangle v1=\"";
        appendUnsigned(out, indices[i]);
        out += "\" v2=\"";
        appendUnsigned(out, indices[i + 1]);
        out += "\" v3=\"";
        appendUnsigned(out, indices[i + 2]);
        out += "\"/>\n";
    }
    out += "</triangles></mesh></object>\n";
    return true;
}

}  // namespace

std::string threeMFModelText(const std::vector<NamedMesh>& models) {
    std::string text(kModelHead), build;
    std::size_t triangleCount = 0;
    for (const NamedMesh& model : models)
        triangleCount += model.tris.size();
    text.reserve(text.size() + 100 * triangleCount + 200);  // a typical mesh's lines, grown once
    int id = 1;
    for (const NamedMesh& model : models) {
        if (model.tris.empty() || !appendObject(text, id, model)) continue;
        build += "<item objectid=\"";
        appendUnsigned(build, static_cast<std::uint64_t>(id));
        build += "\"/>\n";
        ++id;
    }
    text += "</resources>\n<build>\n";
    text += build;
    text += "</build>\n</model>\n";
    return text;
}

std::optional<std::string> threeMFData(const std::vector<NamedMesh>& models, ExportFault* fault) {
    for (const NamedMesh& m : models) {
        for (const Tri& t : m.tris) {
            if (!isFinite(t.a) || !isFinite(t.b) || !isFinite(t.c)) {
                if (fault) *fault = ExportFault::notFinite;
                return std::nullopt;
            }
        }
    }
    std::vector<ZipEntry> entries;
    entries.push_back({"[Content_Types].xml", std::string(kContentTypes)});
    entries.push_back({"_rels/.rels", std::string(kRels)});
    entries.push_back({"3D/3dmodel.model", threeMFModelText(models)});
    auto zip = zipStored(entries);
    if (!zip && fault) *fault = ExportFault::tooLarge;
    return zip;
}

}  // namespace ivo
