// Least-squares fit by modified Gram-Schmidt: Phi = Q R, ak = -R^{-1} Q^T epss.
#include "solver/lqfit.hpp"

#include <cmath>
#include <vector>

#include "io/format.hpp"
#include "io/units.hpp"
#include "state/array.hpp"

namespace zeft {

void lqfit(double* phi, int& ij, int& k, int& m, double* epss, double* ak) {
    const int n = ij, rows = k;
    if (n < 1) return;  // no unknowns: nothing to fit

    const Mat<double> P{phi, m};
    const Vec<double> e{epss}, x{ak};
    std::vector<double> rs(static_cast<std::size_t>(n) * n, 0.0);
    const Mat<double> R{rs.data(), n};

    for (int i = 1; i <= n; ++i) {
        // Remove the components along the earlier (orthonormal) columns one at a time.
        for (int j = 1; j < i; ++j) {
            double c = 0.0;
            for (int l = 1; l <= rows; ++l) c += P(l, j) * P(l, i);
            for (int l = 1; l <= rows; ++l) P(l, i) -= c * P(l, j);
            R(j, i) = c;
        }
        double norm = 0.0;
        for (int l = 1; l <= rows; ++l) norm += P(l, i) * P(l, i);
        norm = std::sqrt(norm);
        if (norm < 1.0e-30) {
            io::writef(io::stdout_unit, "(1X,' LQFIT: SPALTE',I4,' IST LINEAR ABHAENGIG')", {i});
            std::vector<fmt::Item> coeff;
            for (int j = 1; j < i; ++j) coeff.emplace_back(R(j, i));
            io::writef(io::stdout_unit, "('       KOEFF=',8E15.4)", coeff);
            R(i, i) = 1.0;
        } else {
            R(i, i) = norm;
            for (int l = 1; l <= rows; ++l) P(l, i) /= norm;
        }
    }

    for (int i = 1; i <= n; ++i) {
        double s = 0.0;
        for (int l = 1; l <= rows; ++l) s += P(l, i) * e(l);
        x(i) = s;
    }

    // Back substitution R ak = -Q^T epss.
    x(n) = -x(n) / R(n, n);
    for (int i = n - 1; i >= 1; --i) {
        double s = 0.0;
        for (int l = i + 1; l <= n; ++l) s += R(i, l) * x(l);
        x(i) = (-x(i) - s) / R(i, i);
    }
}

}  // namespace zeft
