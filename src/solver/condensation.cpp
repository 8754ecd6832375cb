// Static condensation A11 <- A11 - A21^T A22^-1 A21.
//
// The columns z_j = A22^-1 A21(:, j) are solved a block at a time (chosol handles several
// right-hand sides in one sweep through the factor and gives every column the same bits
// whatever the block), then passed on in order and subtracted row by row from the lower
// triangle of A11. A21 is sparse by columns: W freedom i couples only with the in-plane
// freedoms of the subdivisions around its node, so each product A21(:, i) . z_j runs over
// the rows between the first and the last nonzero entry of column i.
#include "solver/condensation.hpp"

#include <algorithm>
#include <vector>

#include "solver/profile.hpp"
#include "state/array.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Right-hand sides solved together.
constexpr int block_columns = 32;

}  // namespace

void condense(const CondensationSystem& s, const CondensedColumn& column) {
    if (s.ix < 1 || s.iy < 1) return;
    const std::ptrdiff_t n = s.iy;
    Mat<const double> a21{s.a21, s.lda21};
    Vec<const int> lvtri{s.lvtri};

    // Rows first(i) .. last(i) hold the nonzero entries of A21(:, i) (first > last: none).
    std::vector<std::ptrdiff_t> first(static_cast<std::size_t>(s.ix) + 1), last(first.size());
    for (int i = 1; i <= s.ix; ++i) {
        const double* c = a21.col(i);
        std::ptrdiff_t lo = 0, hi = n - 1;
        while (lo < n && c[lo] == 0.0) ++lo;
        while (hi >= lo && c[hi] == 0.0) --hi;
        first[i] = lo + 1;
        last[i] = hi + 1;
    }

    std::vector<double> z(static_cast<std::size_t>(n) * block_columns), work(static_cast<std::size_t>(n));
    int iy = s.iy, ibdy = s.ibdy;
    for (int j0 = 1; j0 <= s.ix; j0 += block_columns) {
        int m = std::min(block_columns, s.ix - j0 + 1);
        for (int c = 0; c < m; ++c) std::copy_n(a21.col(j0 + c), n, z.data() + c * n);
        chosol(s.a22f, iy, ibdy, s.lva22, z.data(), m, work.data());

        for (int c = 0; c < m; ++c) {
            const int j = j0 + c;
            const double* zj = z.data() + c * n;
            if (column) column(j, zj);
            double* row = s.a11 + lvtri(j);  // row(i) = A11(j, i) at a11(lvtri(j) + i)
            for (int i = 1; i <= j; ++i) {
                if (first[i] > last[i]) continue;
                const std::ptrdiff_t r0 = first[i] - 1;
                row[i - 1] -= linalg::dot(a21.col(i) + r0, zj + r0, last[i] - r0);
            }
        }
    }
}

template <class P>
void condense(const CondensedColumn& column) {
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    const CondensationSystem s{m.a22, lv.lva22, man.iy, f07ina<P>().ibdy, m.a21, P::p_ny,
                               m.a11, lv.lvtri, man.ix};
    condense(s, column);
}

#define ZEFT_INST_CONDENSE(P) template void condense<P>(const CondensedColumn&);
ZEFT_FOR_EACH_PRESET(ZEFT_INST_CONDENSE)
#undef ZEFT_INST_CONDENSE

}  // namespace zeft
