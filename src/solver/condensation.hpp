// Static condensation of the in-plane and rotation freedoms out of the bending matrix.
//
// With the W freedoms w (order ix) and the U, V, BETA, GAMMA freedoms u (order iy), the
// buckling problem is
//
//     [ A11  A21^T ] [ w ]         [ B  0 ] [ w ]
//     [ A21  A22   ] [ u ] = lambda [ 0  0 ] [ u ],
//
// whose second row gives u = -A22^-1 A21 w. Substituted into the first row it leaves
//
//     (A11 - A21^T A22^-1 A21) w = lambda B w,
//
// a problem in the W freedoms alone. The columns z_j = A22^-1 A21(:, j) are what recovers
// u from w afterwards, so they are handed to the caller one by one as they are formed.
#pragma once

#include <cstddef>
#include <functional>

namespace zeft {

/// Receives z_j = A22^-1 A21(:, j) (iy values) for W freedom j; called for j = 1 .. ix in
/// increasing order.
using CondensedColumn = std::function<void(int j, const double* z)>;

/// The matrices of one condensation, all one-based in the profile layout of the solver.
struct CondensationSystem {
    double* a22f;       ///< Cholesky factor L of A22 (chodec), profile storage through lva22
    int* lva22;         ///< pointers of A22: (i, k), k <= i, at a22f(lva22(i) + k)
    int iy;             ///< order of A22 (in-plane and rotation freedoms)
    int ibdy;           ///< half-bandwidth of A22
    const double* a21;  ///< A21(iy, ix), column-major; column j couples W freedom j
    std::ptrdiff_t lda21;  ///< leading dimension of a21 (>= iy)
    double* a11;        ///< A11, full lower triangle: (j, i), i <= j, at a11(lvtri(j) + i)
    int* lvtri;         ///< full-triangle pointers, lvtri(j) = j (j - 1) / 2
    int ix;             ///< order of A11 (W freedoms)
};

/// Overwrites the lower triangle of A11 with A11 - A21^T A22^-1 A21: for every W freedom j,
/// z_j = A22^-1 A21(:, j) by one forward and back substitution with the factor, then
/// A11(j, i) -= A21(:, i) . z_j for i = 1 .. j. `column` (may be empty) receives each z_j
/// before A11 row j is updated. A22 must already be factorised; A21 is not modified.
void condense(const CondensationSystem& s, const CondensedColumn& column);

/// condense on the matrices of record `matrix` of preset P: A22 (factorised) through lva22,
/// A21 with leading dimension p_ny, A11 through lvtri, orders iy and ix of record `man`.
template <class P>
void condense(const CondensedColumn& column);

}  // namespace zeft
