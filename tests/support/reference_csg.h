// The boolean operations written plainly, clip and invert on trees of whole polygon lists
// with every fragment kept: the reference whose point sets the kernel must reproduce, and
// the baseline of its benchmarks.
#pragma once

#include "geometry/csg.h"

namespace ivo::testing {

namespace PlainCSG {
Solid unite(const Solid& a, const Solid& b);
Solid subtract(const Solid& a, const Solid& b);
Solid intersect(const Solid& a, const Solid& b);
}  // namespace PlainCSG

}  // namespace ivo::testing
