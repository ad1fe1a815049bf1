#include "support/reference_triangulate.h"

#include <cmath>

namespace ivo::testing {

std::vector<Tri2> clipEarsPlain(const Loop& P) {
    std::vector<Tri2> out;
    if (P.size() < 3) return out;
    std::vector<int> L(P.size());
    for (size_t i = 0; i < P.size(); ++i)
        L[i] = static_cast<int>(i);
    auto at = [&](long i) {
        const long n = static_cast<long>(L.size());
        return L[((i % n) + n) % n];
    };
    int rounds = 0;
    while (L.size() > 3 && rounds < 200000) {
        ++rounds;
        bool clipped = false;
        for (long i = 0; i < static_cast<long>(L.size()); ++i) {
            const int a = at(i - 1), b = at(i), c = at(i + 1);
            const V2 A = P[a], B = P[b], C = P[c];
            if ((B - A).cross(C - B) <= 1e-12) continue;
            bool blocked = false;
            for (int k : L) {
                if (k == a || k == b || k == c) continue;
                const V2 Q = P[k];
                if (Q == A || Q == B || Q == C) continue;
                if ((B - A).cross(Q - A) > 1e-10 && (C - B).cross(Q - B) > 1e-10 &&
                    (A - C).cross(Q - C) >= -1e-10) {
                    blocked = true;
                    break;
                }
            }
            if (blocked) continue;
            out.push_back({A, B, C});
            L.erase(L.begin() + i);
            clipped = true;
            break;
        }
        if (clipped) continue;
        bool removed = false;
        for (long i = 0; i < static_cast<long>(L.size()); ++i) {
            const V2 A = P[at(i - 1)], B = P[at(i)], C = P[at(i + 1)];
            if (std::abs((B - A).cross(C - B)) <= 1e-12) {
                L.erase(L.begin() + i);
                removed = true;
                break;
            }
        }
        if (removed) continue;
        for (size_t k = 1; k + 1 < L.size(); ++k) {
            const V2 A = P[L[0]], B = P[L[k]], C = P[L[k + 1]];
            if ((B - A).cross(C - A) > 1e-12) out.push_back({A, B, C});
        }
        return out;
    }
    if (L.size() == 3) {
        const V2 A = P[L[0]], B = P[L[1]], C = P[L[2]];
        if ((B - A).cross(C - B) > 1e-12) out.push_back({A, B, C});
    }
    return out;
}

}  // namespace ivo::testing
