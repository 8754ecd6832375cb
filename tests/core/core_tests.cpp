// Core tests run by ctest: `core_tests NAME` runs one test and exits 0 when it passes.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "control/driver.hpp"
#include "solver/profile.hpp"
#include "state/records.hpp"

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++failures;
    }
}

/// Symmetric band matrix of order 7, half-bandwidth 3 (diagonal included): 6 on the diagonal,
/// -2 and 1 on the two sub-diagonals. Integer entries keep A x exact for an integer x.
double band_entry(int i, int j) {
    const int d = std::abs(i - j);
    return d == 0 ? 6.0 : d == 1 ? -2.0 : d == 2 ? 1.0 : 0.0;
}

/// chodec / chosol against a known solution in profile storage laid out by mklvbd, two
/// right-hand sides at once; and a matrix that is not positive definite refused at row 2.
void banded_system() {
    int n = 7, ibd = 3, ier = -1;
    std::vector<int> lv(n);
    zeft::mklvbd(lv.data(), n, ibd, ier);
    check(ier == 0, "mklvbd ier = 0");
    std::vector<double> a(lv[n - 1] + n + 1, 0.0);
    for (int i = 1; i <= n; ++i)
        for (int j = std::max(1, i - ibd + 1); j <= i; ++j) a[lv[i - 1] + j - 1] = band_entry(i, j);

    int m = 2;
    std::vector<double> known(n * m), x(n * m, 0.0), y(n);
    for (int i = 0; i < n; ++i) {
        known[i] = i + 1.0;
        known[n + i] = (i % 2 ? -1.0 : 1.0) * (7 - i);
    }
    for (int c = 0; c < m; ++c)
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) x[c * n + i - 1] += band_entry(i, j) * known[c * n + j - 1];

    zeft::chodec(a.data(), n, ibd, lv.data(), ier);
    check(ier == 0, "chodec ier = 0 for a positive definite band matrix");
    zeft::chosol(a.data(), n, ibd, lv.data(), x.data(), m, y.data());
    double err = 0.0;
    for (int k = 0; k < n * m; ++k) err = std::max(err, std::abs(x[k] - known[k]));
    check(err < 1e-12, "chosol solution within 1e-12 of the known one (error " + std::to_string(err) + ")");
    for (int i = 0; i < n; ++i) check(y[i] == x[n + i], "y holds the last column's solution");

    // 1 on the diagonal, 2 beside it: the pivot of row 2 is 1 - 4 < 0.
    std::vector<double> bad(a.size(), 0.0);
    for (int i = 1; i <= n; ++i) {
        bad[lv[i - 1] + i - 1] = 1.0;
        if (i > 1) bad[lv[i - 1] + i - 2] = 2.0;
    }
    zeft::chodec(bad.data(), n, ibd, lv.data(), ier);
    check(ier == 2, "chodec reports row 2 of an indefinite matrix (ier " + std::to_string(ier) + ")");
}

/// A simply supported square isotropic plate under uniaxial compression Nx = lambda: the
/// lowest load factor is k pi^2 D / b^2 with k = 4. The conforming Hermite cubic Ritz
/// approximation on an 8 x 8 grid lies above it by less than 5E-4.
void plate_buckling() {
    using P = zeft::P19;
    constexpr int mx = 9, my = 9;
    constexpr double width = 100.0, e = 70000.0, nu = 0.3, t = 1.0;
    const double a = e * t / (1 - nu * nu), d = e * t * t * t / (12 * (1 - nu * nu)), g = (1 - nu) / 2;
    const float skin[18] = {float(a), float(nu * a), float(a), 0, 0, float(g * a), 0, 0, 0, 0, 0, 0,
                            float(d), float(nu * d), float(d), 0, 0, float(g * d)};

    auto& grid = zeft::f07ina<P>();
    grid.mx = mx;
    grid.my = my;
    zeft::antype = {};
    zeft::man.x2pri = 0;
    zeft::f07inb.rx = zeft::f07inb.ry = zeft::f07inb.rxy = 1e29f;
    std::memcpy(zeft::skstf.matabd, skin, sizeof skin);
    std::memcpy(zeft::skstf.matabd + 18, skin, sizeof skin);
    std::fill(std::begin(zeft::skstf.matsw), std::end(zeft::skstf.matsw), 0.0f);
    zeft::f07dis<P>().stype = 0;
    for (int node = 1; node <= P::p_nodes; ++node)
        for (int c = 1; c <= 3; ++c) {
            zeft::cpvar<P>()(node, c) = node <= mx * my && c == 1 ? 1.0f : 0.0f;
            zeft::cpfest<P>()(node, c) = 0.0f;
        }

    constexpr int R1 = P::p_rtnds - 1, S = P::p_stf;
    std::vector<float> ap(R1, 0.0f), bp(R1, 0.0f), steif(4 * S, 0.0f);
    std::fill_n(ap.begin(), mx - 1, float(width / (mx - 1)));
    std::fill_n(bp.begin(), my - 1, float(width / (my - 1)));
    std::vector<int> none(S, 0), strips(R1, 1);
    int ku[5] = {1, 0, 0, 0, 0};
    int ss_x[7] = {0, 1, 3, 0, 0, 0, 0}, ss_y[7] = {0, 1, 2, 0, 0, 0, 0};  // W held on every edge
    int buck = 1, itab = 0, neigit = 6, neigrq = 2, mempri = 0, indplt = 0;
    float radius = 1e29f, angle = 0.0f;
    std::string proj = "PLATE   ", tit(80, ' ');
    zeft::zeftmain<P>(proj.c_str(), tit.c_str(), buck, itab, neigit, neigrq, mempri, indplt, ku, ap.data(),
                      bp.data(), ss_x, ss_x, ss_y, ss_y, radius, radius, radius, none.data(), none.data(),
                      strips.data(), steif.data(), steif.data(), angle, angle);

    const double exact = 4.0 * std::numbers::pi * std::numbers::pi * d / (width * width);
    const double lam = zeft::valus.elam[0];
    check(lam >= exact * (1 - 1e-6) && lam <= exact * (1 + 5e-4),
          "lambda " + std::to_string(lam) + " within [1, 1 + 5E-4] of 4 pi^2 D / b^2 = " + std::to_string(exact));
}

/// ldldec: the negative pivots of L - sigma I, L the five-point Laplacian of an m x m grid
/// (order 576, half-bandwidth 25: many panels of rows), against the closed-form spectrum
/// 4 - 2 cos(i pi / (m + 1)) - 2 cos(j pi / (m + 1)), at shifts between and beyond its values;
/// a zero leading pivot is refused at row 1.
void indefinite_inertia() {
    constexpr int m = 24;
    int n = m * m, ibd = m + 1, ier = -1;
    std::vector<int> lv(n);
    zeft::mklvbd(lv.data(), n, ibd, ier);
    auto eigenvalue = [](int i, int j) {
        return 4.0 - 2.0 * std::cos(i * std::numbers::pi / (m + 1)) - 2.0 * std::cos(j * std::numbers::pi / (m + 1));
    };
    for (double sigma : {-0.5, 0.3, 1.0137, 2.5, 4.0001, 6.9, 8.5}) {
        std::vector<double> a(lv[n - 1] + n, 0.0);
        for (int p = 0; p < n; ++p) {
            a[lv[p] + p] = 4.0 - sigma;
            if (p % m != 0) a[lv[p] + p - 1] = -1.0;
            if (p >= m) a[lv[p] + p - m] = -1.0;
        }
        long long below = 0, expected = 0;
        for (int i = 1; i <= m; ++i)
            for (int j = 1; j <= m; ++j) expected += eigenvalue(i, j) < sigma;
        const int bad = zeft::ldldec(a.data(), n, ibd, lv.data(), below);
        check(bad == 0 && below == expected, "ldldec at sigma " + std::to_string(sigma) + ": " +
                                                 std::to_string(below) + " negative pivots, " +
                                                 std::to_string(expected) + " eigenvalues below");
    }
    std::vector<double> a(lv[n - 1] + n, 1.0);
    a[0] = 0.0;
    long long below = -1;
    check(zeft::ldldec(a.data(), n, ibd, lv.data(), below) == 1 && below == 0, "ldldec refuses a zero pivot at row 1");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    if (name == "banded_system") banded_system();
    else if (name == "plate_buckling") plate_buckling();
    else if (name == "indefinite_inertia") indefinite_inertia();
    else {
        std::printf("usage: core_tests banded_system | plate_buckling | indefinite_inertia\n");
        return 2;
    }
    return failures ? 1 : 0;
}
