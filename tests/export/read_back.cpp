#include "export/read_back.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <bit>
#include <cstdint>

#include "geometry/vec.h"

// lib3mf 1.8 leaks a few hundred bytes of its ZIP reader on every read: not ours to report
// when the tests run under the leak checker.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libzip.so\n";
}

namespace ivo::testing {

std::optional<Read3mf> readWithLib3mf(std::string bytes) {
    using namespace NMR;
    std::vector<PLib3MFBase*> handles;
    const struct Release {
        std::vector<PLib3MFBase*>& h;
        ~Release() {
            for (auto p = h.rbegin(); p != h.rend(); ++p)
                lib3mf_release(*p);
        }
    } release{handles};
    const auto made = [&](LIB3MFRESULT r, PLib3MFBase*& h) {
        if (r == LIB3MF_OK) handles.push_back(h);
        return r == LIB3MF_OK;
    };
    PLib3MFBase *model = nullptr, *reader = nullptr, *objects = nullptr, *items = nullptr;
    if (!made(lib3mf_createmodel(&model), model) ||
        !made(lib3mf_model_queryreader(model, "3mf", &reader), reader) ||
        lib3mf_reader_readfrombuffer(reader, reinterpret_cast<BYTE*>(bytes.data()), bytes.size()) !=
            LIB3MF_OK ||
        !made(lib3mf_model_getmeshobjects(model, &objects), objects) ||
        !made(lib3mf_model_getbuilditems(model, &items), items))
        return std::nullopt;
    Read3mf out;
    BOOL more = false;
    while (lib3mf_resourceiterator_movenext(objects, &more) == LIB3MF_OK && more) {
        PLib3MFBase* mesh = nullptr;
        if (!made(lib3mf_resourceiterator_getcurrent(objects, &mesh), mesh)) return std::nullopt;
        Read3mf::Object o;
        ULONG length = 0;
        lib3mf_object_getnameutf8(mesh, nullptr, 0, &length);
        o.name.resize(length + 1);
        lib3mf_object_getnameutf8(mesh, o.name.data(), length + 1, &length);
        o.name.resize(length);
        DWORD nv = 0, nt = 0;
        lib3mf_meshobject_getvertexcount(mesh, &nv);
        lib3mf_meshobject_gettrianglecount(mesh, &nt);
        std::vector<MODELMESHVERTEX> v(nv);
        std::vector<MODELMESHTRIANGLE> t(nt);
        if ((nv && lib3mf_meshobject_getvertices(mesh, v.data(), nv, nullptr) != LIB3MF_OK) ||
            (nt && lib3mf_meshobject_gettriangleindices(mesh, t.data(), nt, nullptr) != LIB3MF_OK))
            return std::nullopt;
        const auto at = [&](DWORD i) {
            const FLOAT* p = v.at(i).m_fPosition;
            return V3{p[0], p[1], p[2]};
        };
        for (const MODELMESHTRIANGLE& tri : t)
            o.volume +=
                at(tri.m_nIndices[0]).dot(at(tri.m_nIndices[1]).cross(at(tri.m_nIndices[2]))) / 6;
        o.vertices = nv;
        o.triangles = nt;
        out.objects.push_back(o);
    }
    while (lib3mf_builditemiterator_movenext(items, &more) == LIB3MF_OK && more)
        ++out.buildItems;
    return out;
}

std::optional<std::vector<Tri>> readStl(const std::string& b) {
    const auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(b[at + i]);
        return v;
    };
    if (b.size() < 84 || b.size() != 84 + 50 * std::uint64_t{le32(80)} ||
        b.substr(0, 80) != "Ivorane 3D - export STL" + std::string(57, ' '))
        return std::nullopt;
    std::vector<Tri> tris(le32(80));
    for (std::size_t i = 0; i < tris.size(); ++i) {
        const auto v = [&](int k) {
            const auto f = [&](int j) {
                return std::bit_cast<float>(le32(84 + 50 * i + 12 * k + 4 * j));
            };
            return V3{f(0), f(1), f(2)};
        };
        tris[i] = {v(1), v(2), v(3), v(0)};
        if (b[84 + 50 * i + 48] != 0 || b[84 + 50 * i + 49] != 0) return std::nullopt;
    }
    return tris;
}

}  // namespace ivo::testing
