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
//
// The natural-frequency problem (vibs3) is the same with the mass matrix M in place of B, so
// the buckling and vibration analyses share the checks of their records, the condensation
// with its work file "RCA25" and the listings of the condensed matrix and of the in-plane
// vectors declared below.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "io/format.hpp"

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

// ------------------------------------------------------- shared by incs3 and vibs3

/// Writes a message record (FORMAT text with its items) to the listing, then to standard
/// output.
void eigen_message(std::string_view layout, std::initializer_list<fmt::Item> items = {});

/// True when there are in-plane freedoms to condense out: knfun > 1 and iy > 0. Without them
/// (W alone, or all of them suppressed) A11 is already the matrix of the W freedoms.
template <class P>
bool condensation_needed();

/// Unit of the work file "RCA25": one unformatted record of iy doubles, z_j, per W freedom j.
constexpr int condensed_columns_unit = 25;

/// Number of stored entries lv(n) + n of a profile matrix of order n (0 for n = 0).
long long profile_size(const int* lv, int n);

/// Empty when rows 1 .. n of a symmetric matrix in profile storage (pointers lv,
/// half-bandwidth ibd) lie within positions 1 .. capacity of its store; otherwise the reason,
/// naming the matrix.
std::string profile_fault(const char* name, const int* lv, int n, int ibd, long long capacity);

/// Empty when the counts ix, iy and neigit of record `man` lie within the limits of preset P;
/// otherwise the reason. The host can write them, so they are checked before any use.
template <class P>
std::string count_fault();

/// Empty when the profiles of A11 (full triangle, order ix), of the right-hand matrix rhs
/// ("B" or "M", through lvb with ibdx) and, when condensing, of A22 (order iy, through lva22
/// with ibdy) fit the stores of record `matrix`; otherwise the reason.
template <class P>
std::string profile_faults(const char* rhs, bool condensing);

/// Opens the work file "RCA25" unless it is open already (a scratch file: never one the run
/// did not create), and rewinds it.
void open_condensed_columns();

/// condense<P>, with every column z_j written to the work file as one record when
/// keep_columns; then, when itab of record `man` is set, the condensed A11 in the listing.
/// A22 must already be factorised and the work file open.
template <class P>
void condense_and_list(bool keep_columns);

/// The in-plane and rotation freedoms of the first neigrq modes, u_k = -A22^-1 A21 w_k
/// = -sum over j of z_j w_k(j), from the columns z_j on the work file; x holds the W
/// freedoms, ix rows per mode, column-major; u receives iy rows per mode. False when the
/// work file ends before all ix columns are read.
bool in_plane_displacements(const double* x, int ix, int iy, int neigrq, std::vector<double>& u);

/// Stores the eigenvectors x(ix, neigit) in the columns of record vectrs, rows ix+1 .. p_nx
/// cleared: the vectors handed to the host then hold nothing of an earlier, larger run.
template <class P>
void store_eigenvectors(const double* x, int ix, int neigit);

}  // namespace zeft
