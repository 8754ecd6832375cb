// Evaluation of the cubic Hermite basis.
#include "assembly/basis.hpp"

#include "state/errors.hpp"

namespace zeft {

void phi(int& i, float& z, float& val, int& ier) {
    // Points of the plot grid may miss the subdivision by a rounding error; a small tolerance
    // keeps them. The test is written so that a NaN coordinate is refused as well.
    ier = err::ok;
    if (!(z >= -1.0e-5f && z <= 1.00001f)) {
        ier = err::phi::outside;
        return;
    }
    switch (i) {
        case 1: val = (2.0f * z - 3.0f) * (z * z) + 1.0f; break;
        case 2: val = ((z - 2.0f) * z + 1.0f) * z; break;
        case 3: val = (3.0f - 2.0f * z) * (z * z); break;
        case 4: val = (z - 1.0f) * (z * z); break;
        default: ier = err::phi::bad_index; break;
    }
}

}  // namespace zeft
