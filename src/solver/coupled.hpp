// The condensed matrix S = A11 - A21^T A22^-1 A21 of the buckling problem, kept implicit.
//
// S is dense (every W freedom couples with every other through A22^-1), while A11, A21 and
// A22 are banded in the node numbering of the grid. The iteration needs S only through
//
//   S^-1 r  = the W part of K^-1 [r; 0],  K = [A11 A21^T; A21 A22] (the uncondensed system,
//             numbered node by node so that its band is that of one node line),
//   x^T S x = x^T A11 x - |G x|^2,  G = L22^-1 A21, A22 = L22 L22^T,
//   S x     = A11 x - A21^T L22^-T (G x),
//   s_jj    = a11_jj - |G e_j|^2 (each column solved from its first nonzero row on),
//
// which cost a band factorisation of K and forward solves with L22 instead of the iy
// solves, the rank-iy update and the dense factorisation of forming S.
#pragma once

#include <cstddef>
#include <vector>

#include "solver/subspace.hpp"

namespace zeft {

/// The matrices of one buckling problem, one-based as in record `matrix`.
struct CoupledSystem {
    const double* a11;   ///< A11 lower triangle through lvtri (order ix, half-bandwidth ibd11)
    const int* lvtri;
    int ix;
    const double* a21;   ///< A21 (iy x ix), column major, leading dimension lda21
    std::ptrdiff_t lda21;
    double* a22;         ///< A22 in profile storage through lva22, half-bandwidth ibdy
    const int* lva22;
    int iy, ibdy;
    /// Freedoms in the order of K: w_order(k) = j > 0 for W freedom j, -r for in-plane freedom r.
    std::vector<int> order;
    int ibd11 = 0;               ///< half-bandwidth of the A11 store; 0: ix (the full triangle)
    /// With a21lo, column j of A21 holds rows a21lo(j) .. a21lo(j) + lda21 - 1 only (the
    /// others are zero); without, all iy rows.
    const int* a21lo = nullptr;
};

/// S = A11 - A21^T A22^-1 A21 through the coupled band system.
class CoupledMatrix : public IterationMatrix {
public:
    /// Builds K from A11, A21 and the unfactorised A22 in s.order.
    explicit CoupledMatrix(const CoupledSystem& s);
    /// Completes the set-up once A22 holds its Cholesky factor (chodec): the columns of L22.
    void use_factor_of_a22();

    idx order() const override { return ix_; }
    /// s_ii, all of the diagonal found at the first call (ix columns of G).
    double diagonal(idx i) const override;
    /// Factorises K (once); 0 or the failing row of K.
    int factorise() override;
    /// Keeps K as it is before factorise(), for restore_unshifted() (one more band of K).
    void keep_unshifted() { k0_ = k_; }
    /// Puts back the K kept by keep_unshifted() in place of its factor (solve() is then
    /// unavailable): the matrix the Sturm counts of negative_pivots shift.
    void restore_unshifted();
    void solve(double* x, idx c0, idx c1) override;
    void multiply0(double* x, double* y) override { a11_.multiply0(x, y); }
    idx coupling_rows() const override { return iy_; }
    void couple(const double* x, idx c0, idx c1, double* g) override;
    void couple_back(const double* g, double* y) override;
    /// Y(:, c) -= A21^T A22^-1 A21 X(:, c) for the cols columns of x and y (ix rows, column
    /// major), through the factor of A22 the caller has put in place (chodec); Y = A11 X on
    /// entry gives S X. Blocks of up to 16 columns, one thread.
    void subtract_condensed(const double* x, idx cols, double* y) const;
    /// The rows of A11 from their first nonzero column on.
    banded::Rows a11_rows() const { return a11_.rows(); }
    /// The number of negative pivots of L D L^T of K(sigma), K with A11 - sigma B in its first
    /// block (B of order ix in profile storage through lvb, half-bandwidth ibdb), from a copy
    /// of K (K itself stays as it is); -1 when a pivot vanishes, -2 when B reaches outside
    /// the band of K.
    idx negative_pivots(const double* b, const int* lvb, int ibdb, double sigma) const;

private:
    /// The nonzero rows r0_ .. r1_ of every column of A21 and its nonzero entries nz*_.
    void find_a21_nonzeros();
    /// diag_ = the diagonal of S.
    void find_diagonal() const;
    /// The profile of K (first column of every row, from the nonzero entries of A11, A22 and
    /// A21 at their positions in K) and its entries; posu(r) is the position of in-plane
    /// freedom r, a22s the unfactorised A22 through a22sky.
    void lay_out_k(const banded::Skyline& a22sky, const double* a22s, const std::vector<idx>& posu);
    /// t (iy x w, row-major) = A21 X for the columns c0 .. c0+cols-1 of x (ldx ix); rows before
    /// the returned first row that any column reaches are left as they are.
    idx a21_block(const double* x, idx ldx, idx c0, int cols, int w, double* t) const;

    /// Entry (r, j) of A21, 0-based, r within the rows held for column j.
    double a21(idx r, idx j) const { return a21_[j * lda21_ + r - a21lo(j)]; }
    /// First row (0-based) held for column j of A21.
    idx a21lo(idx j) const { return lo21_ ? lo21_[j] - 1 : 0; }

    int ix_, iy_;
    const double* a21_;
    idx lda21_;
    const int* lo21_;
    const double* a22_;
    banded::Skyline l22_;
    ProfileMatrix a11_;
    std::vector<idx> r0_, r1_;        ///< rows r0 .. r1-1 (0-based) hold the nonzeros of A21(:, j)
    /// The nonzero entries of A21 by columns: column j at positions nz0_[j] .. nz0_[j+1]-1 of
    /// nzrow_ (0-based row, increasing) and nzval_.
    std::vector<idx> nz0_, nzrow_;
    std::vector<double> nzval_;
    std::vector<idx> posw_;           ///< position in K of W freedom j (0-based)
    int nk_ = 0, ibdk_ = 0, factored_ = -1;
    std::vector<int> lvk_;
    std::vector<double> k_;
    std::vector<double> k0_;  ///< K unfactorised while k_ holds its factor (keep_unshifted)
    banded::Skyline ksky_;
    banded::Columns kc_, l22c_;  ///< the factors of K and A22 by columns
    mutable std::vector<double> diag_;
};

/// The freedoms of the current grid of preset P node by node (from the key matrix, along the
/// shorter grid direction first); empty when the key matrix does not number every freedom
/// 1 .. ix and 1 .. iy exactly once.
template <class P>
std::vector<int> coupled_order();

/// The buckling problem of record `matrix` of size P for the current grid (orders of record
/// man, bands of f07ina, order of K from coupled_order).
template <class P>
CoupledSystem coupled_system();

}  // namespace zeft
