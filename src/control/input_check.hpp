// Input check and defaults of a buckling run.
#pragma once

namespace zeft {

/// Completes and checks the panel description in the shared records: plot defaults, bounds
/// of the eigenvalue counts, node numbers leit, boundary summary and plot symmetry, stiffener
/// counts, the per-element stiffness arrays and the plot scale; reads the groups inert
/// (vibration) and tstringer/ostringer (crippling) from unit nread when the run needs them.
///
/// Output arrays, one column per element e = (i-1)(my-1) + j (strip j fastest):
/// bb, dd, bd, rr, dr, br (6, p_elmts) packed symmetric 3x3 (11, 12, 22, 13, 23, 33) and
/// ss (3, p_elmts) packed symmetric 2x2. Membrane, coupling and bending stiffness come from
/// matabd(1..6 | 7..12 | 13..18, k), the rest from matsw, k = elmstf(j).
/// ier = 0; 8 a required group is missing; 9 a group is malformed; 12 the panel description
/// is inconsistent (grid, codes, stiffener lines, data sets, lengths, non-finite data).
template <class P>
void rddata(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss,
            int& ier);

}  // namespace zeft
