// Simultaneous (subspace) inverse iteration and the largest-element Jacobi method for its
// projected problems.
//
// One cycle of simvit: m inverse steps X <- A^-1 B X on the unconverged vectors, a fresh
// random vector appended, A-orthonormalisation of the block by classical Gram-Schmidt with
// the A-products at hand, the projected matrix S = X^T B X (a standard problem with
// eigenvalues 1/lambda, because X^T A X = I), its Jacobi solution, and locking of the
// leading Ritz vectors whose projected eigenvectors have all off-diagonal components within
// eps. The B-products are rotated along with the Ritz vectors, so the next cycle's first
// solve needs no product with B. eps is relaxed by 3 % per inverse step, so every vector
// passes the test in the end.
#include "solver/simvit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "control/interrupt.hpp"
#include "io/units.hpp"
#include "solver/profile.hpp"
#include "solver/subspace.hpp"
#include "state/array.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

using idx = std::ptrdiff_t;

/// Subspace cycles after which the iteration is stopped as not converging. With a positive
/// tolerance the relaxation lets every vector pass long before (about 620 inverse steps
/// take 1.0E-8 beyond 1).
constexpr int max_cycles = 10000;

/// Number of stored values a profile with pointers lv(1..n) reaches: max over i of lv(i) + i.
idx profile_extent(const int* lv, idx n) {
    idx e = 0;
    for (idx i = 1; i <= n; ++i) e = std::max(e, static_cast<idx>(lv[i - 1]) + i);
    return e;
}

/// Columns first .. first+cols-1 of the n x * matrix v are replaced by V(:, from .. from+nq-1) times
/// the columns pick(1..cols) of the nq x nq matrix q: new v(:, first+k-1) = sum over l of
/// v(:, from+l-1) q(l, pick(k)), summed in increasing l. The source columns are read in
/// chunks of rows before any of them is overwritten.
void rotate_columns(double* v, idx n, idx from, idx nq, const double* q, const std::vector<idx>& pick, idx cols,
                    idx first) {
    constexpr idx chunk = 256;
    std::vector<double> old(static_cast<std::size_t>(chunk * nq)), acc(chunk);
    Mat<double> V{v, n};
    Mat<const double> Q{q, nq};
    for (idx r0 = 1; r0 <= n; r0 += chunk) {
        const idx len = std::min(chunk, n - r0 + 1);
        for (idx l = 1; l <= nq; ++l) std::copy_n(V.col(from + l - 1) + (r0 - 1), len, old.data() + (l - 1) * chunk);
        for (idx k = 1; k <= cols; ++k) {
            std::fill_n(acc.data(), len, 0.0);
            for (idx l = 1; l <= nq; ++l) {
                const double w = Q(l, pick[k - 1]);
                const double* o = old.data() + (l - 1) * chunk;
                for (idx t = 0; t < len; ++t) acc[t] += o[t] * w;
            }
            std::copy_n(acc.data(), len, V.col(first + k - 1) + (r0 - 1));
        }
    }
}

}  // namespace

void both(std::string_view format, std::initializer_list<fmt::Item> items) {
    io::writef(io::stdout_unit, format, items);
    io::writef(datran.nwrite, format, items);
}

bool iteration_counts_valid(int neigrq, int neigit, int n, int& ier) {
    if (neigit >= 2 && neigit <= n && neigrq < neigit) return true;
    both("(' SIMVIT: NEIGRQ=',I6,', NEIGIT=',I6,', N=',I8,' - NEED 2 <= NEIGIT <= N AND NEIGRQ < NEIGIT."
         " NO ITERATION.')",
         {neigrq, neigit, n});
    ier = err::simvit::bad_counts;
    return false;
}

// ----------------------------------------------------------------------------- A in profile storage

ProfileMatrix::ProfileMatrix(const double* a, const int* lv, int n, int ibd) : n_(n) {
    const banded::Skyline full(a, lv, n, std::min(ibd, n));
    ibd_ = static_cast<int>(full.width());
    lv_.resize(static_cast<std::size_t>(n));
    int e = 0;
    if (n >= 2) mklvbd(lv_.data(), n_, ibd_, e);
    a_.assign(static_cast<std::size_t>(lv_[n - 1]) + n, 0.0);
    for (idx i = 0; i < n; ++i) {
        const idx m0 = std::max<idx>(0, i - ibd_ + 1);
        std::copy(a + lv[i] + m0, a + lv[i] + i + 1, a_.begin() + (lv_[i] + m0));
    }
    sky_.off.assign(lv_.begin(), lv_.end());
    sky_.first = full.first;
    sky_.ibd = ibd_;
    ac_ = banded::Columns(sky_.rows(a_.data()));
}

int ProfileMatrix::factorise() {
    l_ = a_;
    int e = 0;
    chodec(l_.data(), n_, ibd_, lv_.data(), e);
    if (e == 0) lc_ = banded::Columns(sky_.rows(l_.data()));
    return e;
}

void ProfileMatrix::solve(double* x, idx c0, idx c1) { banded::solve(sky_.rows(l_.data()), lc_, x, n_, c0, c1); }

void ProfileMatrix::multiply0(double* x, double* y) { banded::multiply(sky_.rows(a_.data()), ac_, x, y); }

// ----------------------------------------------------------------------------- simvit

void simvit(int& neigrq, int& neigit, double* a, double* b, int& n, int& ibda, int& ibdb, int* lvbnda,
            int* lvbndb, double& eps, double* elam, double* x, int& jac, int& ip, int* lvtri, int& ier) {
    if (!iteration_counts_valid(neigrq, neigit, n, ier)) {
        jac = 0;
        ip = 0;
        return;
    }
    ProfileMatrix am(a, lvbnda, n, ibda);
    subspace_iteration(neigrq, neigit, am, b, ibdb, lvbndb, eps, elam, x, jac, ip, lvtri, ier);
}

namespace {

/// The block of nit iteration vectors X (nn x nit, the caller's x) with its products
/// Y = B X or A X (nn x nit), the coupling rows G X (ng x nit), the projected matrix S (full
/// triangle of order nit through lvtri) and its eigenvectors Q (nit x nit).
class Block {
public:
    Block(IterationMatrix& a, double* b, int ibdb, int* lvbndb, double* x, int* lvtri, idx nit)
        : a_(a), b_(b), lvbndb_(lvbndb), x_(x), lvtri_(lvtri), nn_(a.order()), nit_(nit),
          ng_(a.coupling_rows()), bsky_(b, lvbndb, nn_, std::min<idx>(ibdb, nn_)),
          y_(static_cast<std::size_t>(nn_ * nit), 0.0), g_(static_cast<std::size_t>(ng_ * nit)),
          s_(static_cast<std::size_t>(profile_extent(lvtri, nit))), q_(static_cast<std::size_t>(nit * nit)),
          proj_(static_cast<std::size_t>(nit)), X{x, nn_}, Y{y_.data(), nn_}, G{g_.data(), std::max<idx>(ng_, 1)} {}

    /// 1. Start vectors 1 .. nit-1: random, with 2 at the freedoms of largest |b_ii| / |a_ii|
    ///    (ties to the later one). perm(1 .. nn) receives the ordering.
    void start(Uniform& random, std::vector<idx>& perm) {
        std::vector<double> ratio(static_cast<std::size_t>(nn_) + 1);
        for (idx i = 1; i <= nn_; ++i) {
            const double aii = std::abs(a_.diagonal(i)), bii = std::abs(b_[lvbndb_[i - 1] + i - 1]);
            ratio[i] = (aii < 1.0e-20 || bii * 1.0e-20 > aii) ? 1.0e20 : bii / aii;
            perm[i] = i;
        }
        for (idx pos = 1; pos <= nit_ - 1; ++pos) {
            idx best = pos;
            for (idx i = pos + 1; i <= nn_; ++i)
                if (ratio[i] >= ratio[best]) best = i;
            std::swap(ratio[pos], ratio[best]);
            std::swap(perm[pos], perm[best]);
        }
        for (idx j = 1; j <= nit_ - 1; ++j) {
            random.fill(X.col(j), nn_);
            X(perm[j], j) = 2.0;
        }
    }

    /// Y(:, c0 .. c1) = B X(:, c0 .. c1) (one-based).
    void times_b(idx c0, idx c1) { banded::multiply(bsky_.rows(b_), x_, nn_, y_.data(), nn_, c0 - 1, c1); }

    /// 2. msteps inverse steps X <- A^-1 B X of the unconverged columns kanf .. nit-1, the
    ///    first from the B-products at hand; eps relaxed by 3 % per step.
    void inverse_steps(idx kanf, int msteps, double& eps, int& ip) {
        const idx nact = nit_ - kanf;
        for (int step = 1; step <= msteps; ++step) {
            poll_interrupt();
            if (step > 1) times_b(kanf, nit_ - 1);
            std::copy_n(Y.col(kanf), nn_ * nact, X.col(kanf));
            a_.solve(x_, kanf - 1, nit_ - 1);
            eps *= 1.03;
            ++ip;
        }
    }

    /// 3. A fresh random last column, then the A-orthonormalisation of columns kanf .. nit
    ///    (Y = A X of the whole block first, so that every coefficient of column j uses the
    ///    A-product of the column as it came from the inverse iteration: classical
    ///    Gram-Schmidt).
    void orthonormalise(idx kanf, Uniform& random) {
        random.fill(X.col(nit_), nn_);
        if (ng_ > 0) a_.couple(x_, kanf - 1, nit_, g_.data());
        a_.multiply0(X.col(nit_), Y.col(nit_));
        if (ng_ > 0) a_.couple_back(G.col(nit_), Y.col(nit_));

        idx j0 = kanf;
        if (kanf == 1) {
            const double f = 1.0 / std::sqrt(linalg::dot(X.col(1), Y.col(1), nn_));
            scale(X.col(1), nn_, f);
            scale(Y.col(1), nn_, f);
            if (ng_ > 0) scale(G.col(1), ng_, f);
            j0 = 2;
        }
        for (idx j = j0; j <= nit_; ++j) orthonormalise_column(j);
    }

    /// 4. S = X^T B X of columns kanf .. nit (order nq); false when an entry is not finite.
    bool project(idx kanf, idx nq) {
        times_b(kanf, nit_);
        bool finite = true;
        for (idx i = 1; i <= nq; ++i)
            for (idx k = 1; k <= i; ++k) {
                S(i, k) = linalg::dot(X.col(kanf + i - 1), Y.col(kanf + k - 1), nn_);
                finite = finite && std::isfinite(S(i, k));
            }
        return finite;
    }

    /// 5. The eigenpairs of S by jacob2: Q and the eigenvalues 1/S(i, i) into lam(kanf ..).
    int solve_projected(idx kanf, idx nq, Vec<double>& lam) {
        int nqi = static_cast<int>(nq), ierj = 0;
        double tol = subspace_tolerance;
        jacob2(s_.data(), nqi, lvtri_, tol, q_.data(), ierj);
        for (idx i = 1; i <= nq; ++i) lam(kanf - 1 + i) = 1.0 / S(i, i);
        return ierj;
    }

    /// 7. The leading Ritz vectors whose projected eigenvector pick(k) (k = 1, 2, ...) has
    ///    every other component within eps: how many converged.
    idx converged(idx kanf, idx nq, const std::vector<idx>& pick, double eps) const {
        Mat<const double> Q{q_.data(), nq};
        idx nc = 0;
        for (idx k = 1; kanf + k - 1 <= nit_ - 1; ++k) {
            const idx col = pick[k - 1];
            for (idx r = 1; r <= nq; ++r)
                if (r != col && !(std::abs(Q(r, col)) <= eps)) return nc;
            ++nc;
        }
        return nc;
    }

    /// 8. The B-products of the nq - 1 Ritz vectors for the next cycle's first solve, and
    ///    the nc converged Ritz vectors locked in place (with their coupling rows).
    void rotate(idx kanf, idx nq, const std::vector<idx>& pick, idx nc) {
        rotate_columns(y_.data(), nn_, kanf, nq, q_.data(), pick, nq - 1, kanf);
        if (nc > 0) {
            rotate_columns(x_, nn_, kanf, nq, q_.data(), pick, nc, kanf);
            if (ng_ > 0) rotate_columns(g_.data(), ng_, kanf, nq, q_.data(), pick, nc, kanf);
        }
    }

private:
    static constexpr double subspace_tolerance = 1.0e-8;

    IterationMatrix& a_;
    double* b_;
    int* lvbndb_;
    double* x_;
    int* lvtri_;
    idx nn_, nit_, ng_;
    banded::Skyline bsky_;
    std::vector<double> y_, g_, s_, q_, proj_;
    Mat<double> X, Y, G;

    double& S(idx i, idx k) { return s_[lvtri_[i - 1] + k - 1]; }

    static void scale(double* v, idx len, double f) {
        for (idx r = 0; r < len; ++r) v[r] *= f;
    }

    /// Column j minus its A-projections on columns 1 .. j-1, normalised in the A-norm
    /// x^T A0 x - |G x|^2 (G x carried along linearly).
    void orthonormalise_column(idx j) {
        for (idx i = 1; i < j; ++i) proj_[i - 1] = linalg::dot(X.col(i), Y.col(j), nn_);
        double* xj = X.col(j);
        for (idx i = 1; i < j; ++i) {
            const double s = proj_[i - 1];
            const double* xi = X.col(i);
            for (idx r = 0; r < nn_; ++r) xj[r] -= s * xi[r];
        }
        a_.multiply0(xj, Y.col(j));
        double s = linalg::dot(xj, Y.col(j), nn_);
        if (ng_ > 0) {
            double* gj = G.col(j);
            for (idx i = 1; i < j; ++i) {
                const double c = proj_[i - 1];
                const double* gi = G.col(i);
                for (idx r = 0; r < ng_; ++r) gj[r] -= c * gi[r];
            }
            s -= linalg::dot(gj, gj, ng_);
        }
        const double f = 1.0 / std::sqrt(s);
        scale(xj, nn_, f);
        if (ng_ > 0) scale(G.col(j), ng_, f);
    }
};

/// 6. Eigenvalues lam(kanf .. nit) by increasing |lambda| (equal magnitudes keep their
///    order); pick(k) = the projected column of the k-th of them, k = 1 .. nq-1.
void sort_by_magnitude(Vec<double>& lam, idx kanf, idx nit, std::vector<idx>& perm, std::vector<idx>& pick) {
    for (idx i = kanf; i <= nit; ++i) perm[i] = i;
    for (idx pos = kanf; pos <= nit - 1; ++pos) {
        idx low = pos;
        for (idx t = pos + 1; t <= nit; ++t)
            if (std::abs(lam(t)) < std::abs(lam(low))) low = t;
        std::swap(lam(pos), lam(low));
        std::swap(perm[pos], perm[low]);
    }
    const idx nq = nit - kanf + 1;
    for (idx k = 1; k <= nq - 1; ++k) pick[k - 1] = perm[kanf + k - 1] - kanf + 1;
}

/// 9. Inverse steps per cycle from the spread of the wanted eigenvalues, within 1 .. 5.
void adapt_steps(int& msteps, double lam1, double lamrq) {
    const double pa = std::pow(std::abs(lam1), msteps);
    const double pb = 1.0 / std::pow(std::abs(lamrq), msteps);
    if (msteps <= 4 && pa > 1.0e-10 && pb > 1.0e-10 && pa * pb > 1.0e-4) ++msteps;
    if (msteps > 1 && pa * pb < 1.0e-8) --msteps;
}

}  // namespace

void subspace_iteration(int& neigrq, int& neigit, IterationMatrix& a, double* b, int& ibdb, int* lvbndb, double& eps,
                        double* elam, double* x, int& jac, int& ip, int* lvtri, int& ier) {
    jac = 0;
    ip = 0;
    int n = static_cast<int>(a.order());
    // At most neigit - 1 vectors can converge (the last one is fresh in every cycle); other
    // counts would never end the iteration or would address outside the block.
    if (!iteration_counts_valid(neigrq, neigit, n, ier)) return;
    ier = 0;
    const idx nit = neigit;
    Uniform random;
    Vec<double> lam{elam};
    std::vector<idx> perm(static_cast<std::size_t>(n) + 1), pick(static_cast<std::size_t>(nit));

    Block block(a, b, ibdb, lvbndb, x, lvtri, nit);
    block.start(random, perm);
    if (int ierc = a.factorise(); ierc != 0) {
        both("(' SIMVIT: ERROR IN CHOLESKY DECOMPOSITION. IER=',I4)", {ierc});
        ier = err::simvit::cholesky;
        return;
    }

    int msteps = 3;
    idx kanf = 1;  // first unconverged column
    block.times_b(1, nit - 1);
    for (;;) {
        block.inverse_steps(kanf, msteps, eps, ip);
        block.orthonormalise(kanf, random);
        ++jac;
        const idx nq = nit - kanf + 1;
        if (!block.project(kanf, nq)) {
            both("(' SIMVIT: NON-FINITE VALUES IN THE PROJECTED MATRIX AT JAC=',I6,'. ITERATION STOPPED.')",
                 {jac});
            ier = err::simvit::no_convergence;
            return;
        }
        ier = block.solve_projected(kanf, nq, lam);
        if (ier != 0) {
            io::writef(io::stdout_unit, "(' SIMVIT: EIGENVALUE PROBLEM IN SUBSPACE JAC=',I4)", {jac});
            io::writef(io::stdout_unit, "(' COULD NOT BE SOLVED.JACOB2 ERROR CODE IS IER=',I4)", {ier});
        }
        sort_by_magnitude(lam, kanf, nit, perm, pick);
        const idx nc = block.converged(kanf, nq, pick, eps);
        block.rotate(kanf, nq, pick, nc);
        kanf += nc;
        if (kanf > neigrq) return;
        if (jac >= max_cycles) {
            both("(' SIMVIT: NO CONVERGENCE AFTER',I6,' SUBSPACE CYCLES, EPS=',E12.4,'. ITERATION STOPPED.')",
                 {jac, eps});
            ier = err::simvit::no_convergence;
            return;
        }
        adapt_steps(msteps, lam(1), lam(neigrq));
    }
}

// ----------------------------------------------------------------------------- jacob2

void jacob2(double* a, int& n, int* lvtri, double& eps, double* ys, int& ier) {
    ier = 0;
    const idx nn = n;
    // Entry (i, j) of the symmetric matrix, read from the lower triangle.
    auto A = [&](idx i, idx j) -> double& { return i >= j ? a[lvtri[i - 1] + j - 1] : a[lvtri[j - 1] + i - 1]; };
    Mat<double> Y{ys, nn};
    double snorm = 0.0;
    for (idx j = 1; j <= nn; ++j) {
        for (idx k = 1; k <= nn; ++k) Y(k, j) = k == j ? 1.0 : 0.0;
        double s = std::abs(A(j, j));
        for (idx k = 1; k <= nn; ++k)
            if (k != j) s += std::abs(A(j, k));
        snorm = std::max(snorm, s);
    }
    if (1.0e-10 * eps > snorm) {
        ier = err::simvit::jacob2_zero;
        return;
    }
    if (nn <= 1) return;
    const double th = eps * snorm / static_cast<double>(nn);
    const long long max_rotations = 2LL * nn * nn + 1;
    for (long long nbr = 0;; ++nbr) {
        // Pivot: the first off-diagonal entry of largest magnitude, row by row.
        idx pi = 1, pj = 2;
        double big = std::abs(A(2, 1));
        for (idx j = 2; j <= nn; ++j) {
            const idx row = lvtri[j - 1] - 1;  // a[row + i] is entry (j, i)
            for (idx i = 1; i < j; ++i)
                if (std::abs(a[row + i]) > big) {
                    big = std::abs(a[row + i]);
                    pi = i;
                    pj = j;
                }
        }
        // A zero pivot means a diagonal matrix also when eps <= 0 makes the threshold zero.
        if (big < th || big == 0.0) return;
        if (nbr == max_rotations) {
            ier = err::simvit::jacob2_rotations;
            return;
        }
        const idx i = pi, j = pj;
        const double aij = A(j, i), aii = A(i, i), ajj = A(j, j);
        const double xr = (ajj - aii) * 0.5 / aij;
        double c, s, c2, s2, cross;
        if (std::abs(xr) < 1.0e-30) {
            c = s = 0.7071067811865476;
            c2 = s2 = 0.5;
            cross = aij;
        } else {
            const double t = 1.0 / (xr + std::copysign(std::sqrt(xr * xr + 1.0), xr));
            c2 = 1.0 / (1.0 + t * t);
            c = std::sqrt(c2);
            s = t * c;
            s2 = t * t * c2;
            const double cs = t * c2;
            cross = 2.0 * cs * aij;
        }
        A(j, i) = 0.0;
        A(i, i) = c2 * aii - cross + s2 * ajj;
        A(j, j) = s2 * aii + cross + c2 * ajj;
        for (idx k = 1; k <= nn; ++k) {
            if (k == i || k == j) continue;
            const double aik = A(i, k), ajk = A(j, k);
            A(i, k) = c * aik - s * ajk;
            A(j, k) = s * aik + c * ajk;
        }
        double* yi = Y.col(i);
        double* yj = Y.col(j);
        for (idx k = 0; k < nn; ++k) {
            const double u = yi[k], v = yj[k];
            yi[k] = c * u - s * v;
            yj[k] = s * u + c * v;
        }
    }
}

}  // namespace zeft
