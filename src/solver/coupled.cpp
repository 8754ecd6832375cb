// The condensed buckling matrix through the coupled band system of A11, A21 and A22.
#include "solver/coupled.hpp"

#include <algorithm>
#include <cmath>

#include "assembly/storage.hpp"
#include "solver/profile.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

using idx = std::ptrdiff_t;

}  // namespace

CoupledMatrix::CoupledMatrix(const CoupledSystem& s)
    : ix_(s.ix), iy_(s.iy), a21_(s.a21), lda21_(s.lda21), lo21_(s.a21lo), a22_(s.a22),
      a11_(s.a11, s.lvtri, s.ix, s.ibd11 > 0 ? s.ibd11 : s.ix) {
    nk_ = ix_ + iy_;
    // Positions in K.
    posw_.assign(static_cast<std::size_t>(ix_), 0);
    std::vector<idx> posu(static_cast<std::size_t>(iy_), 0);
    for (idx p = 0; p < nk_; ++p) {
        const int f = s.order[p];
        if (f > 0)
            posw_[f - 1] = p;
        else
            posu[-f - 1] = p;
    }
    find_a21_nonzeros();
    const banded::Skyline a22sky(s.a22, s.lva22, iy_, s.ibdy);
    lay_out_k(a22sky, s.a22, posu);

    // A22 is factorised in place by the caller; keep its pointers for the rows of L22.
    l22_.off = a22sky.off;
    l22_.first = a22sky.first;
    l22_.ibd = a22sky.ibd;
}

void CoupledMatrix::find_a21_nonzeros() {
    const idx ix = ix_, iy = iy_;
    // Nonzero rows of every column of A21 (the whole of the dense A21 is read: the halves of
    // its columns on two threads).
    r0_.assign(static_cast<std::size_t>(ix), 0);
    r1_.assign(static_cast<std::size_t>(ix), 0);
    const double held = static_cast<double>(ix) * static_cast<double>(lo21_ ? lda21_ : iy);
    banded::two_ways(held > 1.0e6, [&](int part) {
        for (idx j = part == 0 ? 0 : ix / 2; j < (part == 0 ? ix / 2 : ix); ++j) {
            idx lo = a21lo(j), hi = std::min<idx>(iy, lo + (lo21_ ? lda21_ : iy));
            while (lo < hi && a21(lo, j) == 0.0) ++lo;
            while (hi > lo && a21(hi - 1, j) == 0.0) --hi;
            r0_[j] = lo;
            r1_[j] = hi;
        }
    });
    // The same columns without their inner zeros: the products with A21 and A21^T add the
    // nonzero terms only, in the same order (a zero term leaves a sum of finite terms as it is).
    nz0_.assign(static_cast<std::size_t>(ix) + 1, 0);
    for (idx j = 0; j < ix; ++j) {
        for (idx r = r0_[j]; r < r1_[j]; ++r)
            if (const double v = a21(r, j); v != 0.0) {
                nzrow_.push_back(r);
                nzval_.push_back(v);
            }
        nz0_[j + 1] = static_cast<idx>(nzrow_.size());
    }
}

void CoupledMatrix::lay_out_k(const banded::Skyline& a22sky, const double* a22s, const std::vector<idx>& posu) {
    const idx ix = ix_, iy = iy_;
    // First column of every row of K.
    std::vector<idx> first(static_cast<std::size_t>(nk_));
    for (idx p = 0; p < nk_; ++p) first[p] = p;
    auto reach = [&](idx p, idx q) {
        if (p < q) std::swap(p, q);
        first[p] = std::min(first[p], q);
    };
    const banded::Rows a11 = a11_.rows();
    // Only nonzero entries count: the rows of A11 and A22 span other node lines in their own
    // numbering, with zeros in between.
    const banded::Rows a22 = a22sky.rows(a22s);
    for (idx j = 0; j < ix; ++j)
        for (idx i = a11.first[j]; i < j; ++i)
            if (a11.at(j, i) != 0.0) reach(posw_[j], posw_[i]);
    for (idx r = 0; r < iy; ++r)
        for (idx q = a22sky.first[r]; q < r; ++q)
            if (a22.at(r, q) != 0.0) reach(posu[r], posu[q]);
    for (idx j = 0; j < ix; ++j)
        for (idx k = nz0_[j]; k < nz0_[j + 1]; ++k) reach(posw_[j], posu[nzrow_[k]]);
    idx width = 1;
    for (idx p = 0; p < nk_; ++p) width = std::max(width, p - first[p] + 1);
    ibdk_ = static_cast<int>(width);

    // The entries of K in its profile.
    lvk_.assign(static_cast<std::size_t>(nk_), 0);
    int e = 0;
    mklvbd(lvk_.data(), nk_, ibdk_, e);
    k_.assign(static_cast<std::size_t>(lvk_[nk_ - 1]) + nk_, 0.0);
    auto at = [&](idx p, idx q) -> double& {
        if (p < q) std::swap(p, q);
        return k_[lvk_[p] + q];
    };
    for (idx j = 0; j < ix; ++j)
        for (idx i = a11.first[j]; i <= j; ++i)
            if (a11.at(j, i) != 0.0) at(posw_[j], posw_[i]) = a11.at(j, i);
    for (idx r = 0; r < iy; ++r)
        for (idx q = a22sky.first[r]; q <= r; ++q)
            if (a22.at(r, q) != 0.0) at(posu[r], posu[q]) = a22.at(r, q);
    for (idx j = 0; j < ix; ++j)
        for (idx k = nz0_[j]; k < nz0_[j + 1]; ++k) at(posw_[j], posu[nzrow_[k]]) = nzval_[k];
    ksky_.off.assign(lvk_.begin(), lvk_.end());
    ksky_.first = first;
    ksky_.ibd = ibdk_;
}

void CoupledMatrix::use_factor_of_a22() {
    l22c_ = banded::Columns(l22_.rows(a22_));
    diag_.clear();
}

double CoupledMatrix::diagonal(idx i) const {
    if (diag_.empty()) find_diagonal();
    return diag_[i - 1];
}

void CoupledMatrix::find_diagonal() const {
    // s_jj = a11_jj - |L22^-1 A21(:, j)|^2, W columns in blocks, each block solved from the
    // first row any of its columns reaches; the blocks alternately on two threads.
    const idx ix = ix_, iy = iy_;
    diag_.assign(static_cast<std::size_t>(ix), 0.0);
    const banded::Rows L = l22_.rows(a22_);
    constexpr idx diagonal_block = 16;  // W columns formed together
    const idx nblocks = (ix + diagonal_block - 1) / diagonal_block;
    double work = 0.0;
    for (idx j = 0; j < ix; ++j) work += static_cast<double>(iy - r0_[j]);
    banded::two_ways(work > 2.0e4 && nblocks > 1, [&](int part) {
        std::vector<double> t(static_cast<std::size_t>(iy * diagonal_block));
        // Alternate blocks on each thread: a block's solve runs from its first row to the
        // end, so the leading blocks cost most, and halves would leave one thread idle.
        for (idx b = part; b < nblocks; b += 2) {
            const idx c0 = b * diagonal_block;
            const int cols = static_cast<int>(std::min<idx>(diagonal_block, ix - c0));
            const int w = banded::lanes(cols);
            idx from = iy;
            for (int c = 0; c < cols; ++c) from = std::min(from, r0_[c0 + c]);
            std::fill(t.begin() + from * w, t.begin() + iy * w, 0.0);
            for (int c = 0; c < cols; ++c)
                for (idx r = r0_[c0 + c]; r < r1_[c0 + c]; ++r) t[r * w + c] = a21(r, c0 + c);
            if (from < iy) banded::forward(L, from, t.data(), w);
            for (int c = 0; c < cols; ++c) {
                double s = 0.0;
                for (idx r = from; r < iy; ++r) s += t[r * w + c] * t[r * w + c];
                diag_[c0 + c] = a11_.diagonal(c0 + c + 1) - s;
            }
        }
    });
}

int CoupledMatrix::factorise() {
    if (factored_ < 0) {
        int e = 0;
        chodec(k_.data(), nk_, ibdk_, lvk_.data(), e);
        factored_ = e;
        if (e == 0) kc_ = banded::Columns(ksky_.rows(k_.data()));
    }
    return factored_;
}

void CoupledMatrix::restore_unshifted() {
    if (factored_ < 0 || k0_.empty()) return;
    k_.swap(k0_);
    k0_ = {};
    kc_ = {};
    factored_ = -1;
}

idx CoupledMatrix::negative_pivots(const double* b, const int* lvb, int ibdb, double sigma) const {
    std::vector<double> k(k_);
    for (idx j = 0; j < ix_; ++j)
        for (idx i = std::max<idx>(0, j - ibdb + 1); i <= j; ++i) {
            const double v = b[lvb[j] + i];
            if (v == 0.0) continue;
            idx p = posw_[j], q = posw_[i];
            if (p < q) std::swap(p, q);
            if (p - q >= ibdk_) return -2;
            k[lvk_[p] + q] -= sigma * v;
        }
    long long negatives = 0;
    return ldldec(k.data(), nk_, ibdk_, lvk_.data(), negatives) == 0 ? static_cast<idx>(negatives) : -1;
}

void CoupledMatrix::solve(double* x, idx c0, idx c1) {
    const banded::Rows L = ksky_.rows(k_.data());
    banded::column_blocks(c0, c1, true, [&](idx c, idx cols) {
        const int n = static_cast<int>(cols), w = banded::lanes(n);
        std::vector<double> t(static_cast<std::size_t>(nk_ * w), 0.0);
        for (int q = 0; q < n; ++q) {
            const double* xc = x + (c + q) * ix_;
            for (idx j = 0; j < ix_; ++j) t[posw_[j] * w + q] = xc[j];
        }
        banded::forward(L, 0, t.data(), w);
        banded::backward(kc_, t.data(), w);
        for (int q = 0; q < n; ++q) {
            double* xc = x + (c + q) * ix_;
            for (idx j = 0; j < ix_; ++j) xc[j] = t[posw_[j] * w + q];
        }
    });
}

idx CoupledMatrix::a21_block(const double* x, idx ldx, idx c0, int cols, int w, double* t) const {
    idx from = iy_;
    for (idx j = 0; j < ix_; ++j) from = std::min(from, r0_[j]);
    std::fill(t + from * w, t + iy_ * w, 0.0);
    // Column j of A21 times the row j of the block, added to the rows of t it reaches; the
    // lanes beyond cols carry zeros.
    double xj[16] = {};
    for (idx j = 0; j < ix_; ++j) {
        for (int c = 0; c < cols; ++c) xj[c] = x[(c0 + c) * ldx + j];
        for (idx k = nz0_[j]; k < nz0_[j + 1]; ++k) {
            const double v = nzval_[k];
            double* tr = t + nzrow_[k] * w;
            for (int c = 0; c < w; ++c) tr[c] += v * xj[c];
        }
    }
    return from;
}

void CoupledMatrix::couple(const double* x, idx c0, idx c1, double* g) {
    // The columns in two halves on two threads (each lane is computed on its own, so the
    // split leaves every bit as it is), blocks of up to 16 in each.
    const banded::Rows L = l22_.rows(a22_);
    banded::column_blocks(c0, c1, true, [&](idx c, idx cols) {
        const int n = static_cast<int>(cols), w = banded::lanes(n);
        std::vector<double> t(static_cast<std::size_t>(iy_ * w));
        const idx from = a21_block(x, ix_, c, n, w, t.data());
        std::fill(t.begin(), t.begin() + from * w, 0.0);
        if (from < iy_) banded::forward(L, from, t.data(), w);
        banded::scatter(t.data(), iy_, n, w, g, iy_, c);
    });
}

void CoupledMatrix::couple_back(const double* g, double* y) {
    std::vector<double> t(static_cast<std::size_t>(iy_ * 4));
    banded::gather(g, iy_, iy_, 0, 1, 4, t.data());
    banded::backward(l22c_, t.data(), 4);
    for (idx j = 0; j < ix_; ++j) {
        double s = 0.0;
        for (idx k = nz0_[j]; k < nz0_[j + 1]; ++k) s += nzval_[k] * t[nzrow_[k] * 4];
        y[j] -= s;
    }
}

void CoupledMatrix::subtract_condensed(const double* x, idx cols, double* y) const {
    const banded::Rows L = l22_.rows(a22_);
    const banded::Columns Lc(L);
    banded::column_blocks(0, cols, false, [&](idx c, idx block) {
        const int n = static_cast<int>(block), w = banded::lanes(n);
        // t = A22^-1 A21 X for the block (iy x w, row-major), then A21^T t column by column.
        std::vector<double> t(static_cast<std::size_t>(iy_ * w));
        const idx from = a21_block(x, ix_, c, n, w, t.data());
        std::fill(t.begin(), t.begin() + from * w, 0.0);
        if (from < iy_) banded::forward(L, from, t.data(), w);
        banded::backward(Lc, t.data(), w);
        for (int q = 0; q < n; ++q) {
            double* yc = y + (c + q) * ix_;
            for (idx j = 0; j < ix_; ++j) {
                double s = 0.0;
                for (idx k = nz0_[j]; k < nz0_[j + 1]; ++k) s += nzval_[k] * t[nzrow_[k] * w + q];
                yc[j] -= s;
            }
        }
    });
}

template <class P>
std::vector<int> coupled_order() {
    auto& g = f07ina<P>();
    auto& lm = f07mat<P>();
    const int ix = man.ix, iy = man.iy;
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(ix + iy));
    std::vector<char> seen_w(static_cast<std::size_t>(ix) + 1, 0), seen_u(static_cast<std::size_t>(iy) + 1, 0);
    const bool y_first = g.my <= g.mx;
    const int outer = y_first ? g.mx : g.my, inner = y_first ? g.my : g.mx;
    for (int o = 1; o <= outer; ++o)
        for (int i = 1; i <= inner; ++i) {
            const int node = y_first ? g.leitm(i, o) : g.leitm(o, i);
            if (node < 1 || node > P::p_nodes) return {};
            for (int f = 1; f <= 5; ++f)
                for (int kd = 1; kd <= 4; ++kd) {
                    const int eq = lm(f, kd, node);
                    if (eq <= 0) continue;
                    if (f == 1) {
                        if (eq > ix || seen_w[eq]) return {};
                        seen_w[eq] = 1;
                        order.push_back(eq);
                    } else {
                        if (eq > iy || seen_u[eq]) return {};
                        seen_u[eq] = 1;
                        order.push_back(-eq);
                    }
                }
        }
    if (static_cast<int>(order.size()) != ix + iy) return {};
    return order;
}

template <class P>
CoupledSystem coupled_system() {
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    if constexpr (heap_matrices<P>)
        return {m.a11, lv.lvtri, man.ix, m.a21, m.a21h, m.a22, lv.lva22, man.iy, f07ina<P>().ibdy,
                coupled_order<P>(), a11_band<P>(), m.a21lo};
    else
        return {m.a11, lv.lvtri, man.ix, m.a21, P::p_ny, m.a22, lv.lva22, man.iy, f07ina<P>().ibdy,
                coupled_order<P>()};
}

#define ZEFT_INST_COUPLED(P)                       \
    template std::vector<int> coupled_order<P>();  \
    template CoupledSystem coupled_system<P>();
ZEFT_FOR_EACH_SIZE(ZEFT_INST_COUPLED)
#undef ZEFT_INST_COUPLED

}  // namespace zeft
