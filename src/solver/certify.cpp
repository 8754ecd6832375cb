// Certificate of the load factors of a buckling run: residuals and Sturm-sequence counts.
#include "solver/certify.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "assembly/storage.hpp"
#include "solver/banded.hpp"
#include "solver/buckling.hpp"
#include "solver/condensation.hpp"
#include "solver/coupled.hpp"
#include "solver/profile.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

using idx = std::ptrdiff_t;

/// The assembled matrices of record `matrix` as the counts and residuals read them.
struct Problem {
    double* a11;  ///< lower triangle through lvtri, order ix, half-bandwidth ibd11
    int* lvtri;
    double* b;    ///< B through lvb, half-bandwidth ibdx
    int* lvb;
    int ibdx;
    double* a21;  ///< iy x ix, leading dimension lda21; with a21lo, rows a21lo(j) .. + lda21 - 1 of column j
    idx lda21;
    double* a22;  ///< through lva22, half-bandwidth ibdy (unfactorised until the residuals)
    int* lva22;
    int ibdy;
    int ix, iy;
    std::vector<int> order;  ///< freedoms of the coupled matrix, empty without condensation
    int ibd11;
    const int* a21lo;
};

/// The pencil S - sigma B for the Sturm counts: the coupled matrix K of A11, A21 and A22,
/// or A11 alone when nothing is condensed, set up once for every shift.
class Pencil {
public:
    /// kept: the run's coupled matrix (unfactorised), or null to build it from p.
    Pencil(const Problem& p, const CoupledMatrix* kept) : p_(p), k_(kept) {
        if (p.iy > 0) {
            if (!k_) {
                own_ = std::make_unique<CoupledMatrix>(CoupledSystem{p.a11, p.lvtri, p.ix, p.a21, p.lda21, p.a22,
                                                                     p.lva22, p.iy, p.ibdy, p.order, p.ibd11, p.a21lo});
                k_ = own_.get();
            }
            return;
        }
        a11_ = banded::Skyline(p.a11, p.lvtri, p.ix, p.ibd11);
        // Rows of A11 - sigma B start where the earlier of the two starts.
        for (idx i = 0; i < p.ix; ++i)
            for (idx m = std::max<idx>(0, i - p.ibdx + 1); m < a11_.first[i]; ++m)
                if (p.b[p.lvb[i] + m] != 0.0) {
                    a11_.first[i] = m;
                    break;
                }
        ibd_ = static_cast<int>(a11_.width());
        lv_.assign(static_cast<std::size_t>(p.ix), 0);
        int n = p.ix, e = 0;
        if (n > 1) mklvbd(lv_.data(), n, ibd_, e);
    }

    /// The rows of A11 from their first nonzero columns on.
    banded::Rows a11() const { return k_ ? k_->a11_rows() : a11_.rows(p_.a11); }

    /// The coupled matrix, or nullptr when nothing is condensed.
    const CoupledMatrix* coupled() const { return k_; }

    /// True when sign * B is positive definite by its Cholesky factorisation (of a copy; rounding
    /// aside, B + E with |e_ij| <= n eps sqrt(b_ii b_jj)): then S - sigma B, sign * sigma < 0, is
    /// positive definite and no eigenvalue lies on that side of 0 at all.
    bool b_definite(double sign) const {
        int n = p_.ix, ibd = std::min(p_.ibdx, p_.ix), e = 0;
        if (n < 2) return false;
        std::vector<double> b(p_.b, p_.b + profile_size(p_.lvb, n));
        for (double& v : b) v *= sign;
        chodec(b.data(), n, ibd, p_.lvb, e);
        return e == 0;
    }

    /// Number of eigenvalues of S w = lambda B w between 0 and sigma: the negative pivots of
    /// K(sigma), or of A11 - sigma B; -1 when a pivot vanishes, -2 when B lies outside K.
    idx count(double sigma) const {
        if (k_) return k_->negative_pivots(p_.b, p_.lvb, p_.ibdx, sigma);
        // A11 - sigma B in the narrowest band that holds both.
        std::vector<double> a(static_cast<std::size_t>(lv_.back()) + lv_.size(), 0.0);
        for (idx i = 0; i < p_.ix; ++i) {
            const idx a0 = std::max<idx>(0, i - p_.ibd11 + 1), b0 = std::max<idx>(0, i - p_.ibdx + 1);
            for (idx m = a11_.first[i]; m <= i; ++m)
                a[lv_[i] + m] = (m >= a0 ? p_.a11[p_.lvtri[i] + m] : 0.0) - (m >= b0 ? sigma * p_.b[p_.lvb[i] + m] : 0.0);
        }
        long long negatives = 0;
        return ldldec(a.data(), p_.ix, ibd_, lv_.data(), negatives) == 0 ? static_cast<idx>(negatives) : -1;
    }

private:
    const Problem& p_;
    banded::Skyline a11_;
    const CoupledMatrix* k_;
    std::unique_ptr<CoupledMatrix> own_;  ///< K built here when the run's was not kept
    int ibd_ = 1;          ///< half-bandwidth of A11 - sigma B
    std::vector<int> lv_;  ///< its profile pointers (mklvbd)
};

/// count_below at sigma, moved outwards by the margin while it meets an eigenvalue.
idx count_near(const Pencil& p, double& sigma) {
    idx c = p.count(sigma);
    for (int retry = 0; c == -1 && retry < 3; ++retry) {
        sigma *= 1.0 + certify_margin;
        c = p.count(sigma);
    }
    return c;
}

/// The interval of one side (magnitudes v(1) < .. < v(m) of its reported values, shift
/// magnitude s, sign of the side) that holds an eigenvalue not reported: the first v(i)
/// below which more than i eigenvalues lie, found by bisection; beyond v(m) when none.
void locate_missing(const Pencil& p, std::vector<double> v, double s, double sign, double* missing) {
    std::sort(v.begin(), v.end());
    std::size_t lo = 0, hi = v.size();  // v(lo) holds no excess, v(hi + 1) does (or s)
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        double sigma = sign * v[mid - 1] * (1.0 + certify_margin);
        const idx c = count_near(p, sigma);
        if (c < 0 || c > static_cast<idx>(mid))
            hi = mid - 1;
        else
            lo = mid;
    }
    const double from = lo == 0 ? 0.0 : v[lo - 1] * (1.0 + certify_margin);
    const double to = lo == v.size() ? s : v[lo] * (1.0 + certify_margin);
    missing[0] = sign > 0 ? from : -to;
    missing[1] = sign > 0 ? to : -from;
}

/// 1. The Sturm counts on both sides, the two factorisations side by side.
void count_both_sides(const Pencil& p, double n_work, const double* lambda, int n, Certificate& c) {
    double extreme[2] = {0.0, 0.0};
    std::vector<double> side[2];
    for (int k = 0; k < n; ++k) {
        const int s = lambda[k] > 0.0 ? 1 : 0;
        side[s].push_back(std::fabs(lambda[k]));
        extreme[s] = std::max(extreme[s], std::fabs(lambda[k]));
        ++c.reported[s];
    }
    const double r = std::max(extreme[0], extreme[1]);
    idx found[2] = {0, 0};
    for (int s = 0; s < 2; ++s)
        c.shift[s] = (s == 1 ? 1.0 : -1.0) *
                     std::max(extreme[s] * (1.0 + certify_margin), r * (1.0 - certify_margin));
    // A side without reported values holds none at all when B is definite of the other sign
    // (compression alone, say): its count needs no factorisation of K.
    bool empty[2] = {false, false};
    for (int s = 0; s < 2; ++s) empty[s] = c.reported[s] == 0 && p.b_definite(s == 1 ? -1.0 : 1.0);
    banded::two_ways(n_work > 1.0e6 && !empty[0] && !empty[1],
                     [&](int s) { found[s] = empty[s] ? 0 : count_near(p, c.shift[s]); });
    for (int s = 0; s < 2; ++s) {
        if (found[s] == -2) {
            c.fault = "B REACHES OUTSIDE THE BAND OF THE COUPLED MATRIX";
            return;
        }
        if (found[s] < 0) {
            c.fault = "A PIVOT OF THE SHIFTED MATRIX VANISHED AT SIGMA = " + std::to_string(c.shift[s]);
            return;
        }
        c.found[s] = static_cast<int>(found[s]);
    }
    for (int s = 1; s >= 0; --s)
        if (c.found[s] > c.reported[s] && c.missing[0] == c.missing[1])
            locate_missing(p, side[s], std::fabs(c.shift[s]), s == 1 ? 1.0 : -1.0, c.missing);
}

/// 2. The residuals |S w - lambda B w| / |S w|, S w = A11 w - A21^T A22^-1 A21 w through the
/// factor of A22 (the run's, or factorised here in place when a22_factored is false).
void residuals(Problem& p, const Pencil& pencil, bool a22_factored, const double* lambda, const double* w, int n,
               long long ldw, Certificate& c) {
    const idx ix = p.ix;
    std::vector<double> x(static_cast<std::size_t>(ix) * n), sx(x.size()), bx(x.size());
    for (int k = 0; k < n; ++k) std::copy_n(w + ldw * k, ix, x.data() + ix * k);
    int one = 1, nn = n, order = p.ix;
    banded::multiply(pencil.a11(), x.data(), ix, sx.data(), ix, 0, n);
    probtm(p.b, order, p.ibdx, p.lvb, x.data(), one, nn, bx.data());
    if (const CoupledMatrix* k = pencil.coupled()) {
        int e = 0, ny = p.iy;
        if (!a22_factored) chodec(p.a22, ny, p.ibdy, p.lva22, e);
        if (e != 0) {
            c.fault = "A22 IS NOT POSITIVE DEFINITE (ROW " + std::to_string(e) + ")";
            return;
        }
        k->subtract_condensed(x.data(), n, sx.data());
    }
    c.residual.assign(static_cast<std::size_t>(n), 0.0);
    for (int k = 0; k < n; ++k) {
        double top = 0.0, bottom = 0.0;
        for (idx j = 0; j < ix; ++j) {
            const double s = sx[ix * k + j], r = s - lambda[k] * bx[ix * k + j];
            top += r * r;
            bottom += s * s;
        }
        c.residual[k] = bottom > 0.0 ? std::sqrt(top / bottom) : INFINITY;
    }
}

/// What keep_run leaves for the certificate of the last buckling run of preset P.
struct KeptRun {
    bool valid = false;  ///< record matrix holds the run's A11, B and factor of A22
    int ix = 0, iy = 0;  ///< the run's orders (iy 0 when nothing was condensed)
    std::unique_ptr<CoupledMatrix> coupled;
};

template <class P>
KeptRun& kept_run() {
    static KeptRun k;
    return k;
}

}  // namespace

template <class P>
void keep_run(std::unique_ptr<CoupledMatrix> coupled) {
    // The larger size releases its matrices when the run ends.
    if constexpr (heap_matrices<P>) return;
    KeptRun& k = kept_run<P>();
    if (coupled) coupled->restore_unshifted();
    k.valid = true;
    k.ix = man.ix;
    k.iy = coupled ? man.iy : 0;
    k.coupled = std::move(coupled);
}

template <class P>
void forget_run() {
    kept_run<P>() = KeptRun{};
}

template <class P>
Certificate certify(const double* lambda, const double* w, int n, long long ldw) {
    Certificate c;
    // 0. The matrices of the run: as it kept them, or assembled afresh from its records.
    const bool condensing = condensation_needed<P>();
    // The larger size's storage lives as long as this certificate is made.
    const RunMatrices<P> storage;
    std::string fault = storage.fault();
    if (fault.empty()) fault = count_fault<P>();
    if (fault.empty()) fault = profile_faults<P>("B", condensing);
    if (fault.empty() && man.ix < 1) fault = "NO W FREEDOMS: NO ANALYSIS TO CERTIFY";
    if (fault.empty() && ldw < man.ix) fault = "THE EIGENVECTORS HOLD FEWER ROWS THAN THE " + std::to_string(man.ix) + " W FREEDOMS";
    if (!fault.empty()) {
        c.fault = fault;
        return c;
    }
    const KeptRun& kept = kept_run<P>();
    const bool reuse = kept.valid && kept.ix == man.ix && kept.iy == (condensing ? man.iy : 0);
    if (!reuse) {
        int e = 0;
        incs2<P>(e);
        if (e != 0) {
            c.fault = "THE MATRICES OF THE RUN COULD NOT BE ASSEMBLED AGAIN (INCS2 IER=" + std::to_string(e) + ")";
            return c;
        }
    }
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    auto& g = f07ina<P>();
    CoupledSystem cs = coupled_system<P>();
    Problem p{m.a11, lv.lvtri, m.b11, lv.lvb, g.ibdx, m.a21, cs.lda21, m.a22, lv.lva22, g.ibdy,
              man.ix, condensing ? man.iy : 0, {}, a11_band<P>(), cs.a21lo};
    if (p.iy > 0 && !reuse) {
        p.order = std::move(cs.order);
        if (p.order.empty()) {
            c.fault = "THE KEY MATRIX DOES NOT NUMBER EVERY FREEDOM ONCE";
            return c;
        }
    }

    const Pencil pencil(p, reuse ? kept.coupled.get() : nullptr);
    const double work = static_cast<double>(p.ix + p.iy) * (p.ix + p.iy);
    count_both_sides(pencil, work, lambda, n, c);
    if (c.fault.empty()) residuals(p, pencil, reuse, lambda, w, n, ldw, c);
    return c;
}

#define ZEFT_INST_CERTIFY(P)                                                    \
    template void keep_run<P>(std::unique_ptr<CoupledMatrix>);                  \
    template void forget_run<P>();                                              \
    template Certificate certify<P>(const double*, const double*, int, long long);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_CERTIFY)
#undef ZEFT_INST_CERTIFY

}  // namespace zeft
