#include "export/lib3mf_reader.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <memory>

namespace ivo::testing {
namespace {

using namespace NMR;

// Releases a lib3mf handle at the end of its scope.
struct Handle {
    PLib3MFBase* p = nullptr;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (p) lib3mf_release(p);
    }
};

}  // namespace

double Read3mfObject::volume() const {
    double v = 0;
    for (const auto& t : triangles) {
        const auto& a = vertices.at(t[0]);
        const auto& b = vertices.at(t[1]);
        const auto& c = vertices.at(t[2]);
        v += double{a[0]} * (double{b[1]} * c[2] - double{b[2]} * c[1]) -
             double{a[1]} * (double{b[0]} * c[2] - double{b[2]} * c[0]) +
             double{a[2]} * (double{b[0]} * c[1] - double{b[1]} * c[0]);
    }
    return v / 6;
}

std::optional<Read3mf> readWithLib3mf(const std::string& bytes, std::string* error) {
    const auto check = [&](LIB3MFRESULT r, const char* what) {
        if (r != LIB3MF_OK && error) *error = std::string(what) + " failed: " + std::to_string(r);
        return r == LIB3MF_OK;
    };
    Handle model, reader;
    if (!check(lib3mf_createmodel(&model.p), "createmodel")) return std::nullopt;
    if (!check(lib3mf_model_queryreader(model.p, "3mf", &reader.p), "queryreader"))
        return std::nullopt;
    std::string copy = bytes;  // the reader takes a non-const buffer
    if (!check(lib3mf_reader_readfrombuffer(reader.p, reinterpret_cast<BYTE*>(copy.data()),
                                            copy.size()),
               "readfrombuffer"))
        return std::nullopt;

    Read3mf out;
    DWORD warnings = 0;
    lib3mf_reader_getwarningcount(reader.p, &warnings);
    out.warnings = static_cast<int>(warnings);

    Handle objects;
    if (!check(lib3mf_model_getmeshobjects(model.p, &objects.p), "getmeshobjects"))
        return std::nullopt;
    BOOL more = false;
    while (lib3mf_resourceiterator_movenext(objects.p, &more) == LIB3MF_OK && more) {
        Handle mesh;
        if (!check(lib3mf_resourceiterator_getcurrent(objects.p, &mesh.p), "getcurrent"))
            return std::nullopt;
        Read3mfObject object;
        ULONG needed = 0;
        lib3mf_object_getnameutf8(mesh.p, nullptr, 0, &needed);
        std::string name(needed + 1, '\0');
        lib3mf_object_getnameutf8(mesh.p, name.data(), needed + 1, &needed);
        name.resize(needed);
        object.name = name;
        DWORD vertexCount = 0, triangleCount = 0;
        lib3mf_meshobject_getvertexcount(mesh.p, &vertexCount);
        lib3mf_meshobject_gettrianglecount(mesh.p, &triangleCount);
        std::vector<MODELMESHVERTEX> vertices(vertexCount);
        std::vector<MODELMESHTRIANGLE> tris(triangleCount);
        if (vertexCount &&
            !check(lib3mf_meshobject_getvertices(mesh.p, vertices.data(), vertexCount, nullptr),
                   "getvertices"))
            return std::nullopt;
        if (triangleCount && !check(lib3mf_meshobject_gettriangleindices(mesh.p, tris.data(),
                                                                         triangleCount, nullptr),
                                    "gettriangleindices"))
            return std::nullopt;
        for (const auto& v : vertices)
            object.vertices.push_back({v.m_fPosition[0], v.m_fPosition[1], v.m_fPosition[2]});
        for (const auto& t : tris)
            object.triangles.push_back({t.m_nIndices[0], t.m_nIndices[1], t.m_nIndices[2]});
        out.objects.push_back(std::move(object));
    }

    Handle items;
    if (!check(lib3mf_model_getbuilditems(model.p, &items.p), "getbuilditems")) return std::nullopt;
    while (lib3mf_builditemiterator_movenext(items.p, &more) == LIB3MF_OK && more)
        ++out.buildItems;
    return out;
}

}  // namespace ivo::testing
