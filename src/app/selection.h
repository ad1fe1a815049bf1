// One selected thing in the model: a closed region of a sketch, a planar face of a body or a
// whole body.
#pragma once

#include "document/doc.h"
#include "geometry/vec.h"

namespace ivo {

struct SelItem {
    enum class Kind { profile, face, body };
    Kind kind = Kind::body;
    Id id = 0;     // the sketch feature (profile) or the body (face, body)
    V2 p;          // profile: a point of the region, sketch coordinates; found again when used
    V3 n;          // face: unit normal
    double w = 0;  // face: plane offset, n · x = w

    static SelItem profile(Id sketch, V2 p) { return {Kind::profile, sketch, p, {}, 0}; }
    static SelItem face(Id body, V3 n, double w) { return {Kind::face, body, {}, n, w}; }
    static SelItem body(Id body) { return {Kind::body, body, {}, {}, 0}; }

    friend bool operator==(const SelItem&, const SelItem&) = default;
};

}  // namespace ivo
