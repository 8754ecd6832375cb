// Matrix storage of one run: the static record of the presets, the heap for the larger size.
#include "assembly/storage.hpp"

#include <algorithm>
#include <climits>
#include <new>

#include "solver/condensation.hpp"
#include "solver/profile.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Rows lo(j) .. lo(j) + h - 1 (one-based) of every column j of A21 that hold the in-plane
/// freedoms of the nodes sharing a subdivision with the node of W freedom j; h >= 1. False
/// when the grid record names a node outside the size or the key matrix an equation outside
/// 1 .. ix, 1 .. iy.
template <class P>
bool a21_columns(std::vector<int>& lo, int& h) {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    const int ix = man.ix, iy = man.iy;
    if (g.mx < 1 || g.my < 1 || g.mx > P::p_rtnds || g.my > P::p_rtnds) return false;
    std::vector<int> hi(static_cast<std::size_t>(ix), 0);
    lo.assign(static_cast<std::size_t>(ix), INT_MAX);
    for (int x = 1; x <= g.mx; ++x)
        for (int y = 1; y <= g.my; ++y) {
            const int n = g.leitm(y, x);
            if (n < 1 || n > P::p_nodes) return false;
            // The in-plane equations of the nodes around (y, x).
            int r0 = INT_MAX, r1 = 0;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 1 || yy < 1 || xx > g.mx || yy > g.my) continue;
                    const int m = g.leitm(yy, xx);
                    if (m < 1 || m > P::p_nodes) return false;
                    for (int f = 2; f <= 5; ++f)
                        for (int kd = 1; kd <= 4; ++kd)
                            if (const int r = lm(f, kd, m); r > 0) {
                                if (r > iy) return false;
                                r0 = std::min(r0, r);
                                r1 = std::max(r1, r);
                            }
                }
            for (int kd = 1; kd <= 4; ++kd)
                if (const int j = lm(1, kd, n); j > 0) {
                    if (j > ix) return false;
                    lo[j - 1] = std::min(lo[j - 1], r0);
                    hi[j - 1] = std::max(hi[j - 1], r1);
                }
        }
    h = 1;
    for (int j = 0; j < ix; ++j) {
        if (hi[j] == 0) lo[j] = 1;  // no in-plane neighbour: an empty column
        h = std::max(h, hi[j] - lo[j] + 1);
    }
    // Columns near the end keep their window inside 1 .. iy where they can.
    for (int j = 0; j < ix; ++j) lo[j] = std::max(1, std::min(lo[j], iy - h + 1));
    return true;
}

/// An uninitialised store of n doubles, or null when the memory is not there.
std::unique_ptr<double[]> store(long long n) {
    return std::unique_ptr<double[]>(new (std::nothrow) double[static_cast<std::size_t>(std::max(1LL, n))]);
}

}  // namespace

template <class P>
RunMatrices<P>::RunMatrices() {
    if constexpr (heap_matrices<P>) {
        auto& g = f07ina<P>();
        auto& lv = comlv<P>();
        auto& m = matrix<P>();
        const int ix = man.ix, iy = man.iy;
        if (ix < 2 || iy < 0 || ix > P::p_nx || iy > P::p_ny || g.ibdx < 1 || g.ibdx > ix) {
            fault_ = "NO MATRICES FOR THE NUMBERED GRID: IX=" + std::to_string(ix) + " IY=" + std::to_string(iy) +
                     " IBDX=" + std::to_string(g.ibdx) + " (AT LEAST 2 W FREEDOMS, WITHIN THE LARGER SIZE)";
            return;
        }
        int e = 0, n = ix, band = g.ibdx;
        mklvbd(lv.lvtri, n, band, e);
        int h = 0;
        if (e != 0 || (iy > 0 && !a21_columns<P>(a21lo_, h))) {
            fault_ = "THE KEY MATRIX DOES NOT NUMBER THE GRID'S FREEDOMS WITHIN THE LARGER SIZE";
            return;
        }
        const long long la11 = profile_size(lv.lvtri, ix), lb11 = profile_size(lv.lvb, ix);
        const long long la22 = iy > 0 ? profile_size(lv.lva22, iy) : 0;
        const long long la21 = iy > 0 ? static_cast<long long>(ix) * h : 0;
        a11_ = store(la11);
        b11_ = store(lb11);
        a22_ = store(la22);
        a21_ = store(la21);
        if (!a11_ || !b11_ || !a22_ || !a21_) {
            const long long mb = (la11 + lb11 + la22 + la21) * 8 / (1 << 20);
            fault_ = "NOT ENOUGH MEMORY FOR THE MATRICES OF THE GRID (" + std::to_string(mb) + " MB)";
            return;
        }
        m = Matrix<P>{a22_.get(), a11_.get(), b11_.get(), a21_.get(), la22, la11, lb11,
                      iy > 0 ? a21lo_.data() : nullptr, std::max(h, 1)};
    }
}

template <class P>
RunMatrices<P>::~RunMatrices() {
    if constexpr (heap_matrices<P>) matrix<P>() = Matrix<P>{};
}

template <class P>
int a11_band() {
    if constexpr (heap_matrices<P>) return f07ina<P>().ibdx;
    else return man.ix;
}

template <class P>
long long a11_capacity() {
    if constexpr (heap_matrices<P>) return matrix<P>().la11;
    else return P::p_la11;
}

template <class P>
long long a22_capacity() {
    if constexpr (heap_matrices<P>) return matrix<P>().la22;
    else return P::p_la22;
}

template <class P>
long long b11_capacity() {
    if constexpr (heap_matrices<P>) return matrix<P>().lb11;
    else return P::p_lb11;
}

#define ZEFT_STORAGE_INST(P)                    \
    template class RunMatrices<P>;              \
    template int a11_band<P>();                 \
    template long long a11_capacity<P>();       \
    template long long a22_capacity<P>();       \
    template long long b11_capacity<P>();
ZEFT_FOR_EACH_SIZE(ZEFT_STORAGE_INST)
#undef ZEFT_STORAGE_INST

}  // namespace zeft
