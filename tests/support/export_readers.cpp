#include "support/export_readers.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <cstring>
#include <map>
#include <string>

// lib3mf 1.8 leaks a few hundred bytes of its ZIP reader on every read: not ours to report
// when the tests run under the leak checker.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libzip.so\n";
}

namespace ivo::testing {
namespace {

// The little-endian unsigned number of `size` bytes at `at`.
std::uint32_t le(std::string_view b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

}  // namespace

std::uint32_t crc32Bitwise(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::optional<std::vector<ZipEntry>> readStoredZip(std::string_view b, std::string* why) {
    const auto fail = [&](const char* reason) {
        *why = reason;
        return std::nullopt;
    };
    const auto le = [&](std::size_t at, int size) { return testing::le(b, at, size); };
    if (b.size() < 22) return fail("shorter than the end record");
    const std::size_t end = b.size() - 22;
    const std::uint32_t count = le(end + 8, 2), dirOffset = le(end + 16, 4);
    if (le(end, 4) != 0x06054B50u || le(end + 4, 4) != 0 || le(end + 10, 2) != count ||
        le(end + 20, 2) != 0 || std::uint64_t{dirOffset} + le(end + 12, 4) != end)
        return fail("end record");

    std::vector<ZipEntry> files;
    std::size_t dir = dirOffset, local = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (dir + 46 > end || le(dir, 4) != 0x02014B50u || le(dir + 4, 2) != 20)
            return fail("directory entry");
        const std::uint32_t nameLength = le(dir + 28, 2), size = le(dir + 20, 4);
        // Version needed to extra length: 20, no flags, stored, 00:00 on 1 January 2026.
        if (std::memcmp(b.data() + dir + 6, "\x14\0\0\0\0\0\0\0\x21\x5C", 10) != 0 ||
            le(dir + 24, 4) != size || le(dir + 30, 4) != 0 || le(dir + 34, 4) != 0 ||
            le(dir + 38, 4) != 0 || le(dir + 42, 4) != local || dir + 46 + nameLength > end)
            return fail("directory entry fields");
        const std::size_t data = local + 30 + nameLength;
        if (data + size > dirOffset || le(local, 4) != 0x04034B50u ||
            std::memcmp(b.data() + local + 4, b.data() + dir + 6, 26) != 0 ||
            b.substr(local + 30, nameLength) != b.substr(dir + 46, nameLength))
            return fail("local header differs from its directory entry");
        if (crc32Bitwise(b.substr(data, size)) != le(dir + 16, 4)) return fail("CRC");
        files.push_back(
            {std::string(b.substr(dir + 46, nameLength)), std::string(b.substr(data, size))});
        local = data + size;
        dir += 46 + nameLength;
    }
    if (local != dirOffset || dir != end) return fail("gaps between the parts");
    return files;
}

std::optional<Read3mf> readWithLib3mf(std::string bytes, const char* format) {
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
        !made(lib3mf_model_queryreader(model, format, &reader), reader) ||
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
        for (const MODELMESHTRIANGLE& tri : t) {
            o.volume +=
                at(tri.m_nIndices[0]).dot(at(tri.m_nIndices[1]).cross(at(tri.m_nIndices[2]))) / 6;
            o.tris.push_back({tri.m_nIndices[0], tri.m_nIndices[1], tri.m_nIndices[2]});
        }
        o.vertices = nv;
        o.triangles = nt;
        out.objects.push_back(o);
    }
    while (lib3mf_builditemiterator_movenext(items, &more) == LIB3MF_OK && more)
        ++out.buildItems;
    return out;
}

std::string manifoldFault(const std::vector<std::array<std::uint32_t, 3>>& tris) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (const auto& t : tris)
        for (int k = 0; k < 3; ++k)
            ++edges[{t[k], t[(k + 1) % 3]}];
    std::string fault;
    for (const auto& [e, n] : edges) {
        const auto back = edges.find({e.second, e.first});
        const int m = back == edges.end() ? 0 : back->second;
        if (n == 1 && m == 1) continue;
        fault += "edge " + std::to_string(e.first) + "-" + std::to_string(e.second) + " used " +
                 std::to_string(n) + " times, reversed " + std::to_string(m) + "; ";
        if (fault.size() > 300) break;
    }
    return fault;
}

}  // namespace ivo::testing
