#include "support/reference_triangulate.h"

#include <cmath>

namespace ivo::testing {

std::vector<Tri2> clipEarsPlain(const Loop& P) {
    std::vector<Tri2> out;
    std::vector<int> L;
    for (size_t i = 0; i < P.size(); ++i)
        L.push_back(static_cast<int>(i));
    auto at = [&](long i) {
        const long n = static_cast<long>(L.size());
        return L[((i % n) + n) % n];
    };
    auto turn = [&](long i) {
        const V2 A = P[at(i - 1)], B = P[at(i)], C = P[at(i + 1)];
        return (B - A).cross(C - B);
    };
    for (int rounds = 0; L.size() > 3 && rounds < 200000; ++rounds) {
        long ear = -1;
        for (long i = 0; ear < 0 && i < static_cast<long>(L.size()); ++i) {
            const int a = at(i - 1), b = at(i), c = at(i + 1);
            const V2 A = P[a], B = P[b], C = P[c];
            if (turn(i) <= 1e-12) continue;
            bool blocked = false;
            for (size_t k = 0; !blocked && k < L.size(); ++k) {
                const V2 Q = P[L[k]];
                blocked = L[k] != a && L[k] != b && L[k] != c && Q != A && Q != B && Q != C &&
                          (B - A).cross(Q - A) > 1e-10 && (C - B).cross(Q - B) > 1e-10 &&
                          (A - C).cross(Q - C) >= -1e-10;
            }
            if (!blocked) ear = i;
        }
        if (ear >= 0) {
            out.push_back({P[at(ear - 1)], P[at(ear)], P[at(ear + 1)]});
            L.erase(L.begin() + ear);
            continue;
        }
        long flat = -1;
        for (long i = 0; flat < 0 && i < static_cast<long>(L.size()); ++i)
            if (std::abs(turn(i)) <= 1e-12) flat = i;
        if (flat >= 0) {
            L.erase(L.begin() + flat);
            continue;
        }
        for (size_t k = 1; k + 1 < L.size(); ++k) {
            const V2 A = P[L[0]], B = P[L[k]], C = P[L[k + 1]];
            if ((B - A).cross(C - A) > 1e-12) out.push_back({A, B, C});
        }
        return out;
    }
    if (L.size() == 3 && turn(1) > 1e-12) out.push_back({P[L[0]], P[L[1]], P[L[2]]});
    return out;
}

}  // namespace ivo::testing
