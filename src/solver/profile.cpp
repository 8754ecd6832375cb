// Profile storage: pointer vectors, Cholesky and L D L^T factorisation, forward and back
// substitution, and products of a profile matrix with blocks of vectors.
//
// chodec follows the dot-product (left-looking) scheme: L(k, i) = (A(k, i) - sum over m of
// L(k, m) L(i, m)) / L(i, i) with the sum over the band columns m < i shared by rows k and
// i, and L(k, k) = sqrt(A(k, k) - sum of L(k, m)^2). Rows are contiguous in storage, so each
// of these sums runs over two contiguous row segments. The work is organised in panels of
// rows: the part of a panel's rows that lies left of the panel depends only on earlier,
// final rows, is independent from row to row and is computed in blocks of four columns (two
// rows at a time when possible) on up to two threads; the part inside the panel follows in
// row order, pivot by pivot. Every sum is formed in the one fixed order described in
// profile.hpp, so neither the blocking nor the threads change a single bit of the factor.
// The L D L^T factorisation (ldldec) runs the same scheme with the rows of V = L D in place of
// the rows of L until each row's pivot is taken.
#include "solver/profile.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "control/interrupt.hpp"
#include "solver/banded.hpp"
#include "solver/isa.hpp"
#include "state/errors.hpp"

namespace zeft {

namespace {

using idx = std::ptrdiff_t;

/// Pivots at or below this value end the factorisation.
constexpr double pivot_tolerance = 1.0e-20;

/// An L D L^T pivot of at most this size relative to its row's diagonal entry has vanished.
constexpr double ldl_tolerance = 1.0e-13;

/// Rows per panel of the factorisation: a thread's share of a panel stays in its cache.
constexpr idx panel_rows = 64;

/// Multiply-adds below which a second thread does not pay for its start.
constexpr double thread_work = 4.0e5;

#if defined(__GNUC__) && defined(__x86_64__)
#define ZEFT_AVX2 __attribute__((target("avx2")))
#define ZEFT_WIDE_PATHS 1
#else
#define ZEFT_WIDE_PATHS 0
#endif

/// True when the AVX2 build of the kernels below serves this process (the AVX-512 path
/// uses it too: four lanes are one AVX register).
bool wide() {
#if ZEFT_WIDE_PATHS
    return isa::current() != isa::Path::baseline;
#else
    return false;
#endif
}

/// Four doubles processed together (one AVX register, or two SSE2 registers).
typedef double v4d __attribute__((vector_size(4 * sizeof(double))));

/// Partial sum that receives the term of index m (indices count from 1).
inline int lane(idx m) { return static_cast<int>((m - 1) & 3); }

/// Smallest index >= m whose term goes to partial sum 0.
inline idx lane_start(idx m) { return ((m + 2) & ~idx(3)) + 1; }

/// First column of the block of four (1 .. 4, 5 .. 8, ...) that holds column m.
inline idx block_of(idx m) { return ((m - 1) & ~idx(3)) + 1; }

/// The four partial sums of one inner product.
struct Partial {
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    double total() const { return (s[0] + s[1]) + (s[2] + s[3]); }
};

/// Adds the terms x(m) y(m), m = lo .. hi-1, of R inner products with the same x-row range
/// but possibly different starts, against C columns: term m of row r is xb[xo[r] + m], of
/// column c yb[yo[c] + m]; row r starts at lo[r]. sums[r * C + c] receives the terms.
template <int R, int C>
inline __attribute__((always_inline)) void block_sums(const double* xb, const idx* xo, const idx* lo,
                                                      const double* yb, const idx* yo, idx hi,
                                                      Partial* sums) {
    idx first = lo[0];
    for (int r = 1; r < R; ++r) first = std::max(first, lo[r]);
    const idx body = std::min(lane_start(first), hi);
    // Leading terms of each row up to the first index of partial sum 0.
    for (int r = 0; r < R; ++r)
        for (idx m = lo[r]; m < body; ++m) {
            const double xm = xb[xo[r] + m];
            for (int c = 0; c < C; ++c) sums[r * C + c].s[lane(m)] += xm * yb[yo[c] + m];
        }
    idx m = body;
    if (hi - m >= 4) {
        v4d acc[R][C];
        for (int r = 0; r < R; ++r)
            for (int c = 0; c < C; ++c) std::memcpy(&acc[r][c], sums[r * C + c].s, sizeof(v4d));
        for (; m + 4 <= hi; m += 4) {
            v4d xv[R];
            for (int r = 0; r < R; ++r) std::memcpy(&xv[r], xb + xo[r] + m, sizeof(v4d));
            for (int c = 0; c < C; ++c) {
                v4d yv;
                std::memcpy(&yv, yb + yo[c] + m, sizeof(v4d));
                for (int r = 0; r < R; ++r) acc[r][c] += xv[r] * yv;
            }
        }
        for (int r = 0; r < R; ++r)
            for (int c = 0; c < C; ++c) std::memcpy(sums[r * C + c].s, &acc[r][c], sizeof(v4d));
    }
    for (; m < hi; ++m)
        for (int r = 0; r < R; ++r) {
            const double xm = xb[xo[r] + m];
            for (int c = 0; c < C; ++c) sums[r * C + c].s[lane(m)] += xm * yb[yo[c] + m];
        }
}

/// block_sums for R = 1 or 2 rows and C = 1 .. 4 columns chosen at run time; instantiated
/// once for each build (the same operations, hence the same bits).
inline __attribute__((always_inline)) void sums_of(int R, int C, const double* xb, const idx* xo, const idx* lo,
                                                   const double* yb, const idx* yo, idx hi, Partial* out) {
    if (R == 2) {
        switch (C) {
            case 1: return block_sums<2, 1>(xb, xo, lo, yb, yo, hi, out);
            case 2: return block_sums<2, 2>(xb, xo, lo, yb, yo, hi, out);
            case 3: return block_sums<2, 3>(xb, xo, lo, yb, yo, hi, out);
            default: return block_sums<2, 4>(xb, xo, lo, yb, yo, hi, out);
        }
    }
    switch (C) {
        case 1: return block_sums<1, 1>(xb, xo, lo, yb, yo, hi, out);
        case 2: return block_sums<1, 2>(xb, xo, lo, yb, yo, hi, out);
        case 3: return block_sums<1, 3>(xb, xo, lo, yb, yo, hi, out);
        default: return block_sums<1, 4>(xb, xo, lo, yb, yo, hi, out);
    }
}

void sums_baseline(int R, int C, const double* xb, const idx* xo, const idx* lo, const double* yb, const idx* yo,
                   idx hi, Partial* out) {
    sums_of(R, C, xb, xo, lo, yb, yo, hi, out);
}

#if ZEFT_WIDE_PATHS
ZEFT_AVX2 void sums_avx2(int R, int C, const double* xb, const idx* xo, const idx* lo, const double* yb, const idx* yo,
                         idx hi, Partial* out) {
    sums_of(R, C, xb, xo, lo, yb, yo, hi, out);
}
#endif

/// block_sums in the build of this process.
void sums(int R, int C, const double* xb, const idx* xo, const idx* lo, const double* yb, const idx* yo, idx hi,
          Partial* out) {
#if ZEFT_WIDE_PATHS
    if (wide()) return sums_avx2(R, C, xb, xo, lo, yb, yo, hi, out);
#endif
    sums_baseline(R, C, xb, xo, lo, yb, yo, hi, out);
}

/// Adds row multiples to C target vectors: for every index k and each row r = 0 .. R-1 in
/// turn whose range lo[r] <= k < hi[r] holds k, t[to[c] + k] += xb[xo[r] + k] * w[r][c]. Each
/// target entry receives its terms one by one in row order, exactly as R single-row passes
/// would add them, but is loaded and stored once.
template <int R, int C>
inline __attribute__((always_inline)) void block_updates(const double* xb, const idx* xo, const idx* lo,
                                                         const idx* hi, const double (*w)[4], double* t,
                                                         const idx* to) {
    idx first = lo[0], last = hi[0], common0 = lo[0], common1 = hi[0];
    for (int r = 1; r < R; ++r) {
        first = std::min(first, lo[r]);
        last = std::max(last, hi[r]);
        common0 = std::max(common0, lo[r]);
        common1 = std::min(common1, hi[r]);
    }
    if (common1 < common0) common1 = common0;
    auto single = [&](idx k) {
        for (int c = 0; c < C; ++c) {
            double v = t[to[c] + k];
            for (int r = 0; r < R; ++r)
                if (lo[r] <= k && k < hi[r]) v += xb[xo[r] + k] * w[r][c];
            t[to[c] + k] = v;
        }
    };
    for (idx k = first; k < std::min(common0, last); ++k) single(k);
    idx k = common0;
    for (; k + 4 <= common1; k += 4) {
        v4d xv[R];
        for (int r = 0; r < R; ++r) std::memcpy(&xv[r], xb + xo[r] + k, sizeof(v4d));
        for (int c = 0; c < C; ++c) {
            v4d v;
            std::memcpy(&v, t + to[c] + k, sizeof(v4d));
            for (int r = 0; r < R; ++r) v += xv[r] * w[r][c];
            std::memcpy(t + to[c] + k, &v, sizeof(v4d));
        }
    }
    for (; k < last; ++k) single(k);
}

/// block_updates for R = 1 .. 4 rows and C = 1 .. 4 targets chosen at run time.
template <int R>
inline __attribute__((always_inline)) void updates_r(int C, const double* xb, const idx* xo, const idx* lo, const idx* hi, const double (*w)[4],
               double* t, const idx* to) {
    switch (C) {
        case 1: return block_updates<R, 1>(xb, xo, lo, hi, w, t, to);
        case 2: return block_updates<R, 2>(xb, xo, lo, hi, w, t, to);
        case 3: return block_updates<R, 3>(xb, xo, lo, hi, w, t, to);
        default: return block_updates<R, 4>(xb, xo, lo, hi, w, t, to);
    }
}

/// block_updates for R = 1 .. 4 rows chosen at run time, built like sums.
inline __attribute__((always_inline)) void updates_of(int R, int C, const double* xb, const idx* xo, const idx* lo,
                                                      const idx* hi, const double (*w)[4], double* t, const idx* to) {
    switch (R) {
        case 1: return updates_r<1>(C, xb, xo, lo, hi, w, t, to);
        case 2: return updates_r<2>(C, xb, xo, lo, hi, w, t, to);
        case 3: return updates_r<3>(C, xb, xo, lo, hi, w, t, to);
        default: return updates_r<4>(C, xb, xo, lo, hi, w, t, to);
    }
}

void updates_baseline(int R, int C, const double* xb, const idx* xo, const idx* lo, const idx* hi,
                      const double (*w)[4], double* t, const idx* to) {
    updates_of(R, C, xb, xo, lo, hi, w, t, to);
}

#if ZEFT_WIDE_PATHS
ZEFT_AVX2 void updates_avx2(int R, int C, const double* xb, const idx* xo, const idx* lo, const idx* hi,
                            const double (*w)[4], double* t, const idx* to) {
    updates_of(R, C, xb, xo, lo, hi, w, t, to);
}
#endif

/// block_updates in the build of this process.
void updates(int R, int C, const double* xb, const idx* xo, const idx* lo, const idx* hi, const double (*w)[4],
             double* t, const idx* to) {
#if ZEFT_WIDE_PATHS
    if (wide()) return updates_avx2(R, C, xb, xo, lo, hi, w, t, to);
#endif
    updates_baseline(R, C, xb, xo, lo, hi, w, t, to);
}

/// A matrix in profile storage, addressed with one-based row and column numbers.
struct Profile {
    double* a;
    const int* lv;
    idx n, ibd;

    /// a[off(r) + m] is entry (r, m) of the lower triangle.
    idx off(idx r) const { return static_cast<idx>(lv[r - 1]) - 1; }
    /// First stored column of row r.
    idx ja(idx r) const { return std::max<idx>(1, r - ibd + 1); }
    double& at(idx r, idx m) const { return a[off(r) + m]; }

    /// True when every row starts behind the end of the row before it, so that rows may
    /// be written concurrently.
    bool rows_disjoint() const {
        for (idx r = 2; r <= n; ++r)
            if (off(r) + ja(r) <= off(r - 1) + (r - 1)) return false;
        return true;
    }
};

/// The two factorisations that share the kernels below. Cholesky: L(k, i) = (A(k, i) - s) /
/// L(i, i), L(k, k) = sqrt(A(k, k) - s). L D L^T: row k holds V(k, i) = A(k, i) - s =
/// L(k, i) D(i) until its pivot D(k) = A(k, k) - sum of V(k, m)^2 / D(m) is taken, which turns
/// V(k, m) into L(k, m). In both, s is the sum of (row k)(m) L(i, m) over the band columns
/// m < i, so the rows left of the diagonal are formed by the same inner products.
enum class Kind { cholesky, ldl };

/// The reciprocal pivots 1 / D(m) of an L D L^T factorisation (one-based row m at
/// inverse[m - 1]) and the number of negative pivots so far.
struct Pivots {
    std::vector<double> inverse;
    idx negatives = 0;
};

/// Takes the pivot of row k of an L D L^T factorisation whose entries left of the diagonal
/// are final: V(k, m) becomes L(k, m) = V(k, m) / D(m) and D(k) replaces the diagonal. Returns
/// k when the pivot vanishes against the row's diagonal entry (|D(k)| <= ldl_tolerance
/// |A(k, k)|, or not a number), else 0.
idx ldl_pivot(const Profile& f, idx k, Pivots& d) {
    double* row = f.a + f.off(k);
    Partial p;
    for (idx m = f.ja(k); m < k; ++m) {
        const double l = row[m] * d.inverse[m - 1];
        p.s[lane(m)] += l * row[m];
        row[m] = l;
    }
    const double dk = row[k] - p.total();
    if (!(std::fabs(dk) > ldl_tolerance * std::fabs(row[k])) || !std::isfinite(dk)) return k;
    row[k] = dk;
    d.inverse[k - 1] = 1.0 / dk;
    if (dk < 0.0) ++d.negatives;
    return 0;
}

/// Computes the entries of rows k[0 .. R-1] in the column block i0 .. i0+3 (i0 = 1 mod 4):
/// the band columns of the block up to the diagonal, the pivot included when it falls in
/// the block (d: the pivots of L D L^T, unused for Cholesky). Entries of these rows left of
/// i0 and all rows above the block's columns must be final. Returns the row whose pivot
/// failed, or 0.
template <Kind K>
idx factor_block(const Profile& f, int R, const idx* k, idx i0, Pivots* d) {
    // The diagonal of L D L^T is no inner product of stored rows: it is taken by ldl_pivot.
    constexpr idx diagonal = K == Kind::cholesky ? 0 : 1;
    idx lo[2], first[2], last[2];
    for (int r = 0; r < R; ++r) {
        lo[r] = f.ja(k[r]);
        first[r] = std::max(i0, lo[r]);
        last[r] = std::min(i0 + 3, k[r] - diagonal);
    }
    Partial pre[2][4];
    // Sums over the columns left of the block: two rows against four full columns share
    // their loads; otherwise each row against its own valid columns.
    const bool paired = R == 2 && first[0] == i0 && first[1] == i0 && last[0] == i0 + 3 &&
                        last[1] == i0 + 3 && k[0] > i0 + 3 && k[1] > i0 + 3;
    if (paired) {
        const idx xo[2] = {f.off(k[0]), f.off(k[1])};
        const idx yo[4] = {f.off(i0), f.off(i0 + 1), f.off(i0 + 2), f.off(i0 + 3)};
        sums(2, 4, f.a, xo, lo, f.a, yo, i0, &pre[0][0]);
    } else {
        for (int r = 0; r < R; ++r) {
            if (first[r] > last[r] || lo[r] >= i0) continue;
            const idx xo[1] = {f.off(k[r])};
            idx yo[4];
            const int C = static_cast<int>(last[r] - first[r] + 1);
            for (int c = 0; c < C; ++c) yo[c] = f.off(first[r] + c);
            sums(1, C, f.a, xo, &lo[r], f.a, yo, i0, &pre[r][first[r] - i0]);
        }
    }
    // Terms inside the block, then the entries in column order.
    for (int r = 0; r < R; ++r) {
        const idx kr = k[r];
        for (idx i = first[r]; i <= last[r]; ++i) {
            Partial p = pre[r][i - i0];
            for (idx m = std::max(i0, lo[r]); m < i; ++m) p.s[lane(m)] += f.at(kr, m) * f.at(i, m);
            const double s = p.total();
            if (i < kr) {
                f.at(kr, i) = K == Kind::cholesky ? (f.at(kr, i) - s) / f.at(i, i) : f.at(kr, i) - s;
            } else {
                const double h = f.at(kr, kr) - s;
                if (!(h > pivot_tolerance)) return kr;
                f.at(kr, kr) = std::sqrt(h);
            }
        }
        if (K == Kind::ldl && kr <= i0 + 3)
            if (const idx bad = ldl_pivot(f, kr, *d)) return bad;
    }
    return 0;
}

/// Entries of rows r0 .. r1-1 in the columns left of bound (bound = 1 mod 4, below every
/// one of these rows): they depend on final rows only.
template <Kind K>
void factor_left(const Profile& f, idx r0, idx r1, idx bound) {
    if (r0 >= r1) return;
    for (idx i0 = block_of(f.ja(r0)); i0 + 3 < bound; i0 += 4) {
        for (idx k = r0; k < r1; k += 2) {
            const idx rows[2] = {k, k + 1};
            const int R = k + 1 < r1 ? 2 : 1;
            factor_block<K>(f, R, rows, i0, nullptr);
        }
    }
}

/// Factorises rows 2 .. n of f (row 1 done) in panels of rows: the parts of a panel's rows
/// left of the panel, independent of each other, on up to two threads when `threads`; then
/// the rest of each row in order, where the pivots are taken. Returns 0 or the row whose
/// pivot failed. Cholesky polls for an interrupt before each panel (chodec runs on the
/// host's thread); L D L^T may run on a helper thread and does not.
template <Kind K>
idx factor_rows(const Profile& f, bool threads, Pivots* d) {
    threads = threads && f.rows_disjoint();
    for (idx k0 = 2; k0 <= f.n; k0 += panel_rows) {
        if (K == Kind::cholesky) poll_interrupt();
        const idx k1 = std::min<idx>(k0 + panel_rows, f.n + 1);
        // Columns left of the panel's first full block: rows independent of each other.
        const idx bound = block_of(k0);
        auto left_terms = [&](idx k) {
            const double w = static_cast<double>(std::max<idx>(0, bound - f.ja(k)));
            return w * w;
        };
        double work = 0.0;
        if (threads)
            for (idx k = k0; k < k1; ++k) work += left_terms(k);
        linalg::split_work(
            k1 - k0, 0.5 * work, [&](idx t) { return left_terms(k0 + t); },
            [&](idx t0, idx t1) { factor_left<K>(f, k0 + t0, k0 + t1, bound); });
        // The rest of each row in order; pivots are taken here.
        for (idx k = k0; k < k1; ++k) {
            for (idx i0 = std::max(bound, block_of(f.ja(k))); i0 <= k; i0 += 4) {
                const idx row[1] = {k};
                if (const idx bad = factor_block<K>(f, 1, row, i0, d)) return bad;
            }
        }
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------- helpers

namespace linalg {

double dot(const double* x, const double* y, std::ptrdiff_t len) {
    Partial p;
    const idx xo[1] = {-1}, lo[1] = {1}, yo[1] = {-1};
    block_sums<1, 1>(x, xo, lo, y, yo, len + 1, &p);
    return p.total();
}

void split_work(std::ptrdiff_t count, double work, const std::function<double(std::ptrdiff_t)>& weight,
                const std::function<void(std::ptrdiff_t, std::ptrdiff_t)>& part) {
    if (count <= 0) return;
    static const unsigned cores = std::thread::hardware_concurrency();
    if (count < 2 || cores < 2 || work < thread_work || !banded::second_thread_allowed()) {
        part(0, count);
        return;
    }
    double total = 0.0;
    for (idx i = 0; i < count; ++i) total += weight(i);
    idx mid = 0;
    for (double acc = 0.0; mid < count - 1 && acc + 0.5 * weight(mid) < 0.5 * total; ++mid) acc += weight(mid);
    if (mid == 0) mid = 1;
    std::exception_ptr failure;
    banded::two_ways(true, [&](int half) {
        if (half == 0) {
            part(0, mid);
            return;
        }
        try {
            part(mid, count);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure) std::rethrow_exception(failure);
}

}  // namespace linalg

// ----------------------------------------------------------------------------- mklvbd

void mklvbd(int* lv, int& nn, int& ibd, int& ier) {
    if (nn < ibd || nn < 2 || ibd < 1) {
        ier = err::mklvbd::bad_order;
        return;
    }
    ier = 0;
    lv[0] = 0;
    for (int i = 2; i <= ibd; ++i) lv[i - 1] = lv[i - 2] + i - 1;
    for (int i = ibd + 1; i <= nn; ++i) lv[i - 1] = lv[i - 2] + ibd - 1;
}

// ----------------------------------------------------------------------------- chodec

void chodec(double* a, int& n, int& ibd, int* lv, int& ier) {
    if (n < 1 || ibd < 1) {
        ier = 1;
        return;
    }
    ier = 0;
    const Profile f{a, lv, n, std::min(ibd, n)};
    if (!(f.at(1, 1) > pivot_tolerance)) {
        ier = 1;
        return;
    }
    f.at(1, 1) = std::sqrt(f.at(1, 1));
    if (n == 1) {
        ier = 1;  // order 1 is refused, its root is in place
        return;
    }
    ier = static_cast<int>(factor_rows<Kind::cholesky>(f, true, nullptr));
}

// ----------------------------------------------------------------------------- ldldec

int ldldec(double* a, int n, int ibd, const int* lv, long long& negatives) {
    negatives = 0;
    if (n < 1 || ibd < 1) return 1;
    const Profile f{a, lv, n, std::min(ibd, n)};
    Pivots d;
    d.inverse.assign(static_cast<std::size_t>(n), 0.0);
    idx bad = ldl_pivot(f, 1, d);
    if (bad == 0) bad = factor_rows<Kind::ldl>(f, false, &d);
    if (bad != 0) return static_cast<int>(bad);
    negatives = d.negatives;
    return 0;
}

// ----------------------------------------------------------------------------- chosol

namespace {

/// Columns c0 .. c0+count-1 (0-based) of an n-row matrix, in groups of up to four whose
/// inner products are formed together. yo[c] + i addresses row i of the group's column c.
struct ColumnGroups {
    idx c0, count, ld;
    idx groups() const { return (count + 3) / 4; }
    int width(idx g) const { return static_cast<int>(std::min<idx>(4, count - 4 * g)); }
    void offsets(idx g, idx* yo) const {
        for (int c = 0; c < width(g); ++c) yo[c] = (c0 + 4 * g + c) * ld - 1;
    }
};

/// Splits the groups of cols over the threads; each part runs body(first group, end group).
void over_groups(const ColumnGroups& cols, double work, const std::function<void(idx, idx)>& body) {
    linalg::split_work(
        cols.groups(), work, [&](idx g) { return static_cast<double>(cols.width(g)) + 1.0; }, body);
}

}  // namespace

void chosol(double* a, int& n, int& ibd, int* lv, double* x, int& m, double* y) {
    if (m < 1 || n < 1 || ibd < 1) return;
    const Profile f{a, lv, n, std::min(ibd, n)};
    const double rlast = 1.0 / f.at(n, n);
    const ColumnGroups cols{0, m, n};

    // Both substitutions run row by row over all columns of a part, so each row of L is
    // read once per part. Forward: y(i) = (r(i) - L(i, ja..i-1) y(ja..i-1)) / L(i, i), an
    // inner product along the row. Back: the sum of L(k, i) y(k) over the rows k below i is
    // gathered in acc(i) while the rows are passed from the last one upwards, each finished
    // row k adding L(k, ja..k-1) y(k) to acc(ja..k-1); then y(i) = (y(i) - acc(i)) / L(i, i).
    // Four rows at a time share the loads and stores of acc.
    auto solve = [&](idx g0, idx g1) {
        const idx c0 = 4 * g0, c1 = std::min<idx>(4 * g1, cols.count);
        std::vector<double> acc(static_cast<std::size_t>((c1 - c0) * f.n), 0.0);
        idx yo[4];
        Partial p[4];
        for (idx i = 1; i <= f.n; ++i) {
            const idx xo[1] = {f.off(i)}, lo[1] = {f.ja(i)};
            const double d = f.at(i, i);
            for (idx g = g0; g < g1; ++g) {
                const int C = cols.width(g);
                cols.offsets(g, yo);
                for (int c = 0; c < C; ++c) p[c] = Partial{};
                sums(1, C, f.a, xo, lo, x, yo, i, p);
                for (int c = 0; c < C; ++c) x[yo[c] + i] = (x[yo[c] + i] - p[c].total()) / d;
            }
        }
        for (idx top = f.n; top >= 1; top -= 4) {
            const int R = static_cast<int>(std::min<idx>(4, top));
            const idx bottom = top - R + 1;  // rows top, top-1, .., bottom in this order
            idx xo[4], lo[4], hi[4];
            for (int r = 0; r < R; ++r) {
                xo[r] = f.off(top - r);
                lo[r] = f.ja(top - r);
                hi[r] = bottom;
            }
            for (idx g = g0; g < g1; ++g) {
                const int C = cols.width(g);
                double w[4][4];
                idx to[4];
                for (int c = 0; c < C; ++c) {
                    const idx col = 4 * g + c;
                    double* xc = x + col * f.n - 1;  // xc[i] is y(i)
                    double* ac = acc.data() + (col - c0) * f.n - 1;
                    to[c] = (col - c0) * f.n - 1;
                    // The rows of the block in turn, each finishing y and feeding the sums of
                    // the block rows above the band's edge below it.
                    for (int r = 0; r < R; ++r) {
                        const idx i = top - r;
                        const double yi = i == f.n ? xc[i] * rlast : (xc[i] - ac[i]) / f.at(i, i);
                        xc[i] = yi;
                        w[r][c] = yi;
                        for (idx k = std::max(bottom, lo[r]); k < i; ++k) ac[k] += f.at(i, k) * yi;
                    }
                }
                updates(R, C, f.a, xo, lo, hi, w, acc.data(), to);
            }
        }
    };
    over_groups(cols, 2.0 * static_cast<double>(f.n) * static_cast<double>(f.ibd) * m, solve);
    std::memcpy(y, x + static_cast<idx>(m - 1) * f.n, sizeof(double) * static_cast<std::size_t>(n));
}

// ----------------------------------------------------------------------------- probtm

void probtm(double* a, int& n, int& ibd, int* lv, double* b, int& m1, int& m, double* c) {
    const idx j0 = std::max(m1, 1);
    if (n < 1 || ibd < 1 || m < j0) return;
    const Profile f{a, lv, n, std::min(ibd, n)};
    const ColumnGroups cols{j0 - 1, m - j0 + 1, n};

    // The stored rows are passed once per part. Row i gives c(i) its inner product with the
    // stored segment A(i, ja..i) and adds A(i, k) b(i) to c(k), k = ja..i-1, the part of
    // those rows right of their diagonal. So c(i, j) is the inner product over its stored
    // row followed by the terms A(k, i) b(k, j), k = i+1, i+2, ..., added in that order.
    // Four rows at a time share the loads and stores of c.
    auto multiply = [&](idx g0, idx g1) {
        idx yo[4];
        Partial p[4];
        for (idx first = 1; first <= f.n; first += 4) {
            const int R = static_cast<int>(std::min<idx>(4, f.n - first + 1));
            idx xo[4], lo[4], hi[4];
            for (int r = 0; r < R; ++r) {
                xo[r] = f.off(first + r);
                lo[r] = f.ja(first + r);
                hi[r] = first + r;
            }
            for (idx g = g0; g < g1; ++g) {
                const int C = cols.width(g);
                cols.offsets(g, yo);
                double w[4][4];
                for (int r = 0; r < R; ++r) {
                    const idx i = first + r, hi1[1] = {i + 1};
                    for (int q = 0; q < C; ++q) p[q] = Partial{};
                    sums(1, C, f.a, &xo[r], &lo[r], b, yo, hi1[0], p);
                    for (int q = 0; q < C; ++q) {
                        c[yo[q] + i] = p[q].total();
                        w[r][q] = b[yo[q] + i];
                    }
                }
                updates(R, C, f.a, xo, lo, hi, w, c, yo);
            }
        }
    };
    over_groups(cols, 2.0 * static_cast<double>(f.n) * static_cast<double>(f.ibd) * cols.count, multiply);
}

}  // namespace zeft
