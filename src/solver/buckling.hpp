// Buckling eigen analysis: assembly of A22, A21, A11 and B, condensation of the in-plane
// freedoms and simultaneous vector iteration, and the global buckling check of the stiffened
// panel that follows it.
#pragma once

namespace zeft {

/// Assembles A22, A21, A11 and B of the numbered problem into record matrix.
/// ier = 0, or 22, 21, 11, 33 naming the matrix whose assembly failed.
template <class P>
void incs2(int& ier);

/// Condenses U, V, BETA, GAMMA out of A11 (A11' = A11 - A21^T A22^-1 A21), solves
/// A11' x = lambda B x for the lowest load factors and lists them with forces and vectors.
/// long_bn = iy sizes the work vectors; bb ... ss are the element stiffness arrays of the run
/// (6 or 3 rows, p_elmts columns); fstbui receives Nx at node 1 at the lowest load factor.
/// ier = 0, 1 (Cholesky factorisation of A22 failed) or 2 (iteration failed).
template <class P>
void incs3(int& long_bn, float* bb, float* dd, float* bd, float* rr, float* dr, float* br,
           float* ss, int& ier, float& fstbui);

/// Global buckling load of a stringer with its effective skin width (Johnson column curve).
/// bb, dd, bd (6, p_elmts): only bb(1,1) is read; fstbug: Nx at node 1 at the lowest load
/// factor. ier = 0, or 11 when the effective-width iteration did not converge.
template <class P>
void glbuck(float* bb, float* dd, float* bd, int& ier, float& fstbug);

}  // namespace zeft
