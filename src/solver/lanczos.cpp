// Block shift-invert Lanczos with full reorthogonalisation (see lanczos.hpp).
//
// One step: the last block Q_k (n x p) gives W = A^-1 (B Q_k) in one multi-column solve,
// with A W = B Q_k at hand. Each column of W is orthogonalised twice against the whole basis
// by classical Gram-Schmidt in the A-inner product (coefficients z_i^T w, z_i = A q_i), its
// A-product updated alongside, and normalised; B of the new block gives the next rows of
// T = Q^T B Q. With the coefficients R = Q_{k+1}^T A W of the new block, the Ritz pair
// (mu, x = Q y) of T has the residual A^-1 B x - mu x = Q_{k+1} R y_k (y_k: the rows of y
// on Q_k), of A-norm |R y_k|. Pairs whose estimates fall below a bound are checked with
// true products A x, B x; failing that, the bound tightens and the basis grows.
#include "solver/lanczos.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "control/interrupt.hpp"
#include "io/units.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "solver/subspace.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

using idx = std::ptrdiff_t;

constexpr idx block_width = 6;              ///< vectors per block: multiplicities up to 6 are found
/// Basis vectors before a restart: 5 per wanted pair, at least 10 blocks (3 n doubles each).
constexpr idx restart_factor = 5, restart_blocks = 10;
/// Ritz vectors a restart keeps per wanted pair.
constexpr idx kept_factor = 2;
/// Block solves at most.
constexpr int solve_limit = 2000;
constexpr double estimate_bound = 1.0e-10;  ///< first bound on |R y_k| / |mu| before a true check
constexpr double deflation = 1.0e-10;       ///< a vector keeping less of its A-norm is dropped
constexpr double ritz_tolerance = 1.0e-13;  ///< jacob2 tolerance on T

/// dst(:, k) = sum over l of src(:, l) y(l, k), l = 0 .. m-1 in increasing order, k = 0 .. cols-1
/// (src n x m, y m x cols with leading dimension ldy, dst n x cols; all column major).
void combine(const double* src, idx n, idx m, const double* y, idx ldy, idx cols, double* dst) {
    for (idx k = 0; k < cols; ++k) {
        double* d = dst + k * n;
        std::fill_n(d, n, 0.0);
        for (idx l = 0; l < m; ++l) {
            const double c = y[k * ldy + l];
            const double* s = src + l * n;
            for (idx r = 0; r < n; ++r) d[r] += s[r] * c;
        }
    }
}

/// The leading Ritz pairs of T (order m): mu(k) by decreasing |mu| (equal magnitudes in the
/// order jacob2 leaves them) and y (m x kept, column k for mu(k)).
struct Ritz {
    std::vector<double> mu, y;
    idx m = 0, kept = 0;
};

/// The Krylov basis Q (n x m, Q^T A Q = I) with Z = A Q, P = B Q and T = Q^T B Q (m x m).
class Basis {
public:
    Basis(idx n, idx cap)
        : n_(n), cap_(cap), q_(static_cast<std::size_t>(n * cap)), z_(q_.size()), p_(q_.size()),
          t_(static_cast<std::size_t>(cap * cap)), c_(static_cast<std::size_t>(cap)) {}

    idx size() const { return m_; }
    bool full() const { return m_ == cap_; }
    const double* q(idx j) const { return q_.data() + j * n_; }
    const double* z(idx j) const { return z_.data() + j * n_; }
    const double* p(idx j) const { return p_.data() + j * n_; }
    double t(idx i, idx k) const { return t_[i * cap_ + k]; }

    /// Appends w (with zw = A w): orthogonalised twice against the basis, normalised. False
    /// (nothing appended) when less than `deflation` of its A-norm remains: w lies in the span.
    bool append(double* w, double* zw) {
        const double before = linalg::dot(w, zw, n_);
        for (int pass = 0; pass < 2; ++pass) {
            for (idx i = 0; i < m_; ++i) c_[i] = linalg::dot(z(i), w, n_);
            for (idx i = 0; i < m_; ++i) {
                subtract(w, q(i), c_[i]);
                subtract(zw, z(i), c_[i]);
            }
        }
        const double after = linalg::dot(w, zw, n_);
        if (!(after > deflation * deflation * before) || !std::isfinite(after)) return false;
        const double f = 1.0 / std::sqrt(after);
        for (idx r = 0; r < n_; ++r) {
            q_[m_ * n_ + r] = w[r] * f;
            z_[m_ * n_ + r] = zw[r] * f;
        }
        ++m_;
        return true;
    }

    /// Thick restart: the basis vectors 0 .. m-1 replaced by the first `keep` Ritz vectors of
    /// r, the newer vectors m .. on moved behind them, and P and T made anew.
    void restart(const Ritz& r, idx keep, idx m, const banded::Rows& b) {
        std::vector<double> ritz(static_cast<std::size_t>(n_ * keep));
        for (std::vector<double>* v : {&q_, &z_}) {
            combine(v->data(), n_, m, r.y.data(), r.m, keep, ritz.data());
            std::copy(ritz.begin(), ritz.end(), v->begin());
            std::copy(v->begin() + m * n_, v->begin() + m_ * n_, v->begin() + keep * n_);
        }
        m_ = keep + (m_ - m);
        extend(b, 0);
    }

    /// P = B Q and the rows of T for the basis vectors j0 .. m-1.
    void extend(const banded::Rows& b, idx j0) {
        if (j0 == m_) return;
        banded::multiply(b, q_.data(), n_, p_.data(), n_, j0, m_);
        for (idx i = j0; i < m_; ++i)
            for (idx k = 0; k <= i; ++k) t_[i * cap_ + k] = t_[k * cap_ + i] = linalg::dot(q(i), p(k), n_);
    }

private:
    /// v <- v - c u.
    void subtract(double* v, const double* u, double c) const {
        for (idx r = 0; r < n_; ++r) v[r] -= c * u[r];
    }

    idx n_, cap_, m_ = 0;
    std::vector<double> q_, z_, p_, t_, c_;
};

/// Solves T by jacob2 (continued while it stops at its rotation limit, the rotations
/// accumulated); false when T is not finite or jacob2 fails.
bool ritz_pairs(const Basis& basis, idx m, idx kept, Ritz& out) {
    std::vector<int> lv(static_cast<std::size_t>(m));
    for (idx i = 0; i < m; ++i) lv[i] = static_cast<int>(i * (i + 1) / 2);
    std::vector<double> s(static_cast<std::size_t>(m * (m + 1) / 2));
    for (idx i = 0; i < m; ++i)
        for (idx k = 0; k <= i; ++k) {
            s[lv[i] + k] = basis.t(i, k);
            if (!std::isfinite(s[lv[i] + k])) return false;
        }
    int mi = static_cast<int>(m), ier = 0;
    double tol = ritz_tolerance;
    std::vector<double> y(static_cast<std::size_t>(m * m)), y2, y3;
    jacob2(s.data(), mi, lv.data(), tol, y.data(), ier);
    for (int again = 0; ier == err::simvit::jacob2_rotations && again < 4; ++again) {
        y2.assign(y.size(), 0.0);
        jacob2(s.data(), mi, lv.data(), tol, y2.data(), ier);
        y3.assign(y.size(), 0.0);
        combine(y.data(), m, m, y2.data(), m, m, y3.data());
        y.swap(y3);
    }
    if (ier != 0) return false;

    std::vector<idx> order(static_cast<std::size_t>(m));
    std::iota(order.begin(), order.end(), idx{0});
    auto diag = [&](idx i) { return s[lv[i] + i]; };
    std::stable_sort(order.begin(), order.end(),
                     [&](idx i, idx j) { return std::abs(diag(i)) > std::abs(diag(j)); });
    out.m = m;
    out.kept = kept;
    out.mu.resize(static_cast<std::size_t>(kept));
    out.y.resize(static_cast<std::size_t>(m * kept));
    for (idx k = 0; k < kept; ++k) {
        out.mu[k] = diag(order[k]);
        std::copy_n(y.data() + order[k] * m, m, out.y.data() + k * m);
    }
    return true;
}

/// Largest estimated relative residual |R y_k| / |mu_k| of the first `wanted` Ritz pairs, R
/// (rn x (b1 - b0), column major) the coefficients of the new block on the last one, b0 .. b1-1.
double largest_estimate(const Ritz& r, idx wanted, const std::vector<double>& rc, idx rn, idx b0, idx b1) {
    double worst = 0.0;
    for (idx k = 0; k < wanted; ++k) {
        double sq = 0.0;
        for (idx i = 0; i < rn; ++i) {
            double v = 0.0;
            for (idx j = b0; j < b1; ++j) v += rc[(j - b0) * rn + i] * r.y[k * r.m + j];
            sq += v * v;
        }
        const double e = std::sqrt(sq) / std::abs(r.mu[k]);
        worst = std::isfinite(e) ? std::max(worst, e) : HUGE_VAL;
    }
    return worst;
}

/// The first `kept` Ritz vectors of r into x (n x kept), scaled to x^T A x = 1, their load factors into
/// elam; the largest relative residual |A x - lambda B x| / |A x| of the first `wanted`.
double ritz_vectors(IterationMatrix& a, const Basis& basis, const Ritz& r, idx kept, idx wanted, double* elam,
                    double* x) {
    const idx n = a.order(), ng = a.coupling_rows();
    std::vector<double> bx(static_cast<std::size_t>(n * kept)), ax(bx.size()), g(static_cast<std::size_t>(ng * kept));
    combine(basis.q(0), n, r.m, r.y.data(), r.m, kept, x);
    combine(basis.p(0), n, r.m, r.y.data(), r.m, kept, bx.data());
    if (ng > 0) a.couple(x, 0, kept, g.data());
    double worst = 0.0;
    for (idx k = 0; k < kept; ++k) {
        double* xk = x + k * n;
        double* axk = ax.data() + k * n;
        const double* bxk = bx.data() + k * n;
        a.multiply0(xk, axk);
        if (ng > 0) a.couple_back(g.data() + k * ng, axk);
        const double lam = 1.0 / r.mu[k];
        elam[k] = lam;
        double num = 0.0;
        for (idx i = 0; i < n; ++i) num += (axk[i] - lam * bxk[i]) * (axk[i] - lam * bxk[i]);
        const double res = std::sqrt(num / linalg::dot(axk, axk, n));
        if (k < wanted) worst = std::isfinite(res) ? std::max(worst, res) : HUGE_VAL;
        const double s = linalg::dot(xk, axk, n);
        if (s > 0.0) {
            const double f = 1.0 / std::sqrt(s);
            for (idx i = 0; i < n; ++i) xk[i] *= f;
        }
    }
    return worst;
}

}  // namespace

void lanczos(int& neigrq, int& neigit, IterationMatrix& a, double* b, int& ibdb, int* lvbndb, double& eps,
             double* elam, double* x, int& jac, int& ip, int& ier) {
    jac = 0;
    ip = 0;
    const int n = static_cast<int>(a.order());
    if (!iteration_counts_valid(neigrq, neigit, n, ier)) return;
    ier = 0;
    if (int e = a.factorise(); e != 0) {
        both("(' LANCZOS: ERROR IN CHOLESKY DECOMPOSITION. IER=',I4)", {e});
        ier = err::simvit::cholesky;
        return;
    }
    const idx nn = n, p = std::min(block_width, nn), wanted = neigrq, kept = neigit;
    const idx limit = std::max(restart_factor * kept, restart_blocks * p);
    const idx keep = std::min(kept_factor * kept, limit - 2 * p);
    const banded::Skyline bsky(b, lvbndb, nn, std::min<idx>(ibdb, nn));
    const banded::Rows brows = bsky.rows(b);
    Basis basis(nn, std::min(limit + p, nn));
    std::vector<double> w(static_cast<std::size_t>(nn * p)), zw(w.size()), w0(w.size()), rc;

    // 1. The start block W = A^-1 B R (R random), so that A W = B R.
    Uniform random;
    random.fill(w0.data(), nn * p);
    banded::multiply(brows, w0.data(), nn, zw.data(), nn, 0, p);
    w = zw;
    a.solve(w.data(), 0, p);
    ++ip;
    for (idx j = 0; j < p; ++j) basis.append(w.data() + j * nn, zw.data() + j * nn);
    basis.extend(brows, 0);

    idx b0 = 0, b1 = basis.size();
    double bound = estimate_bound;
    Ritz r;
    for (;;) {
        poll_interrupt();
        // 2. The next block from the last one: W = A^-1 B Q_k with A W = B Q_k.
        const idx pb = b1 - b0, m = basis.size();
        for (idx j = 0; j < pb; ++j) std::copy_n(basis.p(b0 + j), nn, zw.data() + j * nn);
        std::copy_n(zw.data(), nn * pb, w.data());
        a.solve(w.data(), 0, pb);
        ++ip;
        std::copy_n(w.data(), nn * pb, w0.data());
        for (idx j = 0; j < pb && !basis.full(); ++j) basis.append(w.data() + j * nn, zw.data() + j * nn);
        basis.extend(brows, m);

        // 3. R = Q_{k+1}^T A W; the Ritz pairs of the basis before this step, checked when
        //    their estimates pass the bound (or the basis spans the whole space).
        const idx rn = basis.size() - m;
        rc.assign(static_cast<std::size_t>(rn * pb), 0.0);
        for (idx j = 0; j < pb; ++j)
            for (idx i = 0; i < rn; ++i) rc[j * rn + i] = linalg::dot(basis.z(m + i), w0.data() + j * nn, nn);
        const bool whole = rn == 0 || basis.size() == nn;
        const bool restart = !whole && basis.size() > limit;
        // A basis of the whole space is exact: its own Ritz pairs.
        const idx mr = basis.size() == nn ? nn : m;
        if (mr >= kept) {
            ++jac;
            if (!ritz_pairs(basis, mr, std::min(mr, std::max(kept, keep)), r)) {
                both("(' LANCZOS: NON-FINITE OR UNSOLVED PROJECTED MATRIX OF ORDER',I6,'. ITERATION STOPPED.')",
                     {static_cast<int>(mr)});
                ier = err::simvit::no_convergence;
                return;
            }
            if (largest_estimate(r, wanted, rc, rn, b0, b1) <= bound || whole) {
                if (const double worst = ritz_vectors(a, basis, r, kept, wanted, elam, x); worst <= lanczos_residual) {
                    eps = worst;
                    return;
                }
                bound *= 0.01;
            }
        }
        if (whole || ip >= solve_limit || (restart && m < keep)) {
            both("(' LANCZOS: NO CONVERGENCE AFTER',I6,' BLOCK SOLVES. ITERATION STOPPED.')", {ip});
            ier = err::simvit::no_convergence;
            return;
        }
        // 4. Thick restart: the leading Ritz vectors and the new block go on.
        if (restart) {
            basis.restart(r, keep, m, brows);
            b0 = keep;
        } else {
            b0 = m;
        }
        b1 = basis.size();
    }
}

}  // namespace zeft
