// Static condensation A11 <- A11 - A21^T A22^-1 A21.
//
// The columns z_j = A22^-1 A21(:, j) are solved a block at a time (chosol handles several
// right-hand sides in one sweep through the factor and gives every column the same bits
// whatever the block), then passed on in order and subtracted row by row from the lower
// triangle of A11. A21 is sparse by columns: W freedom i couples only with the in-plane
// freedoms of the subdivisions around its node, so each product A21(:, i) . z_j runs over
// the rows between the first and the last nonzero entry of column i.
//
// Below it, the pieces the buckling and the vibration analyses share around it: the checks
// of the records they index with, the work file of the columns and the two listings drawn
// from the condensation.
#include "solver/condensation.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "assembly/storage.hpp"
#include "control/interrupt.hpp"
#include "io/units.hpp"
#include "results/eigen_listing.hpp"
#include "solver/profile.hpp"
#include "state/array.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Right-hand sides solved together.
constexpr int block_columns = 32;

std::string str(long long v) { return std::to_string(v); }

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
        poll_interrupt();
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
    // The larger size keeps A11 in its band and A21 in column bands: there is no room for the
    // dense condensed matrix, and its runs iterate with the coupled system only.
    if constexpr (heap_matrices<P>) throw std::logic_error("condense: the larger size has no dense condensed matrix");
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    const CondensationSystem s{m.a22, lv.lva22, man.iy, f07ina<P>().ibdy, m.a21, P::p_ny,
                               m.a11, lv.lvtri, man.ix};
    condense(s, column);
}

void eigen_message(std::string_view layout, std::initializer_list<fmt::Item> items) {
    io::writef(datran.nwrite, layout, items);
    io::writef(io::stdout_unit, layout, items);
}

long long profile_size(const int* lv, int n) { return n > 0 ? static_cast<long long>(lv[n - 1]) + n : 0; }

std::string profile_fault(const char* name, const int* lv, int n, int ibd, long long capacity) {
    if (n == 0) return "";
    if (ibd < 1 || ibd > n) return "HALF-BANDWIDTH OF " + std::string(name) + " IS " + str(ibd) + ", ORDER " + str(n);
    for (int i = 1; i <= n; ++i) {
        const long long row = lv[i - 1], first = std::max(1, i - ibd + 1);
        if (row + first < 1 || row + i > capacity)
            return "PROFILE OF " + std::string(name) + " OUTSIDE ITS STORAGE AT ROW " + str(i);
    }
    return "";
}

template <class P>
bool condensation_needed() {
    return f07ina<P>().knfun > 1 && man.iy > 0;
}

template <class P>
std::string count_fault() {
    if (man.ix < 1 || man.ix > P::p_nx || man.iy < 0 || man.iy > P::p_ny)
        return "FREEDOM COUNTS IX=" + str(man.ix) + " IY=" + str(man.iy) + " OUTSIDE THE SIZE PRESET";
    if (man.neigit > P::p_ngit) return "NEIGIT=" + str(man.neigit) + " ABOVE " + str(P::p_ngit);
    return "";
}

template <class P>
std::string profile_faults(const char* rhs, bool condensing) {
    auto& g = f07ina<P>();
    auto& lv = comlv<P>();
    if (std::string r = profile_fault("A11", lv.lvtri, man.ix, a11_band<P>(), a11_capacity<P>()); !r.empty()) return r;
    if (std::string r = profile_fault(rhs, lv.lvb, man.ix, g.ibdx, b11_capacity<P>()); !r.empty()) return r;
    if (condensing)
        if (std::string r = profile_fault("A22", lv.lva22, man.iy, g.ibdy, a22_capacity<P>()); !r.empty()) return r;
    return "";
}

void open_condensed_columns() {
    if (!io::is_open(condensed_columns_unit))
        io::open(condensed_columns_unit, "RCA25", io::OpenStatus::scratch, /*formatted=*/false);
    io::rewind(condensed_columns_unit);
}

template <class P>
void condense_and_list(bool keep_columns) {
    CondensedColumn keep;
    if (keep_columns)
        keep = [iy = man.iy](int, const double* z) { io::write_doubles(condensed_columns_unit, z, iy); };
    condense<P>(keep);
    if (man.itab != 0) listing::condensed_matrix(matrix<P>().a11, profile_size(comlv<P>().lvtri, man.ix));
}

bool in_plane_displacements(const double* x, int ix, int iy, int neigrq, std::vector<double>& u) {
    const std::size_t n = static_cast<std::size_t>(iy);
    u.assign(n * static_cast<std::size_t>(std::max(neigrq, 0)), 0.0);
    std::vector<double> z(n);
    io::rewind(condensed_columns_unit);
    for (int j = 1; j <= ix; ++j) {
        if (!io::read_doubles(condensed_columns_unit, z.data(), iy)) return false;
        for (int k = 1; k <= neigrq; ++k) {
            const double w = x[(j - 1) + static_cast<std::size_t>(ix) * (k - 1)];
            double* uk = u.data() + n * (k - 1);
            for (std::size_t r = 0; r < n; ++r) uk[r] -= z[r] * w;
        }
    }
    return true;
}

template <class P>
void store_eigenvectors(const double* x, int ix, int neigit) {
    double* vx = vectrs<P>().x;
    for (int k = 1; k <= neigit; ++k) {
        double* column = vx + static_cast<std::size_t>(P::p_nx) * (k - 1);
        std::copy_n(x + static_cast<std::size_t>(ix) * (k - 1), ix, column);
        std::fill(column + ix, column + P::p_nx, 0.0);
    }
}

#define ZEFT_INST_CONDENSE(P)                                                                     \
    template void store_eigenvectors<P>(const double*, int, int);                                 \
    template void condense<P>(const CondensedColumn&);                                            \
    template bool condensation_needed<P>();                                                       \
    template std::string count_fault<P>();                                                        \
    template std::string profile_faults<P>(const char*, bool);                                    \
    template void condense_and_list<P>(bool);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_CONDENSE)
#undef ZEFT_INST_CONDENSE

}  // namespace zeft
