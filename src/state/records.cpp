// Storage of the shared analysis state and its contents at library load.
#include "state/records.hpp"

#include <cstring>

namespace zeft {

Man man;
Antype antype;
Title title;
Datran datran;
Plotin plotin;
F07inb f07inb;
F07ang f07ang;
F07ind f07ind;
Skstf skstf;
Densit densit;
Stringercom stringercom;
Glbuckcom glbuckcom;
Valus valus;
Pythres pythres;
Test test;
F07aij f07aij;
F07aijs f07aijs;
F07pd f07pd;
F01eps f01eps;
F07in1 f07in1;
F07in2 f07in2;
Plotfls plotfls;
F07inc f07inc;

// Zero-initialised static storage: pages of the large records are only committed when used.
PresetRecord<F07ina> f07ina_store;
PresetRecord<F07dis> f07dis_store;
PresetRecord<Stiffcom> stiffcom_store;
PresetRecord<Cpfest> cpfest_store;
PresetRecord<Cpvar> cpvar_store;
PresetRecord<Vectrs> vectrs_store;
PresetRecord<Comlv> comlv_store;
PresetRecord<Matrix> matrix_store;
PresetRecord<F07mat> f07mat_store;
PresetRecord<F01qua> f01qua_store;

namespace {

/// Hermite cubic i (1..4) on [0, 1] as integer coefficients of z^0..z^3.
constexpr long long hermite[4][4] = {
    {1, 0, -3, 2},   // 1 - 3z^2 + 2z^3
    {0, 1, -2, 1},   // z - 2z^2 + z^3
    {0, 0, 3, -2},   // 3z^2 - 2z^3
    {0, 0, -1, 1},   // z^3 - z^2
};

/// Coefficients of the d-th derivative of Hermite cubic k.
void derivative(int k, int d, long long c[4]) {
    for (int n = 0; n < 4; ++n) c[n] = hermite[k][n];
    for (int t = 0; t < d; ++t) {
        for (int n = 0; n < 3; ++n) c[n] = c[n + 1] * (n + 1);
        c[3] = 0;
    }
}

/// Exact integral over [0, 1] of w(z) * phi_k^(i) * phi_l^(j), with w = 1 - z (weight 0) or
/// w = z (weight 1); returned as the single-precision rounding of the rational value.
float weighted_integral(int weight, int i, int k, int j, int l) {
    long long ck[4], cl[4];
    derivative(k, i, ck);
    derivative(l, j, cl);
    long long prod[8] = {};
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) prod[a + b] += ck[a] * cl[b];
    long long w[9] = {};  // product times the weight, degree <= 7
    for (int n = 0; n < 8; ++n) {
        if (weight == 0) { w[n] += prod[n]; w[n + 1] -= prod[n]; }
        else { w[n + 1] += prod[n]; }
    }
    constexpr long long den = 2520;  // lcm(1..9): every integral of z^n, n <= 8, is den-exact
    long long num = 0;
    for (int n = 0; n < 9; ++n) num += w[n] * (den / (n + 1));
    return static_cast<float>(static_cast<double>(num) / static_cast<double>(den));
}

void fill_integral_tables() {
    for (int l = 1; l <= 4; ++l)
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 4; ++k)
                for (int i = 1; i <= 3; ++i) {
                    s1(i, k, j, l) = weighted_integral(0, i - 1, k - 1, j - 1, l - 1);
                    s2(i, k, j, l) = weighted_integral(1, i - 1, k - 1, j - 1, l - 1);
                }
}

/// The strain-term table as at load: curvature couplings of W start at zero.
void fill_strain_terms() {
    std::memset(&f01eps, 0, sizeof f01eps);
    struct Row { float f[3]; int k[3]; };
    const Row rows[11] = {
        {{1.0f, 0.0f, 0.0f}, {210, 100, 0}},
        {{1.0f, 0.0f, 0.0f}, {301, 100, 0}},
        {{1.0f, 1.0f, 0.0f}, {201, 310, 100}},
        {{1.0f, 0.0f, 0.0f}, {120, 0, 0}},
        {{1.0f, 0.0f, 0.0f}, {102, 0, 0}},
        {{2.0f, 0.0f, 0.0f}, {111, 0, 0}},
        {{1.0f, 0.0f, 0.0f}, {410, 0, 0}},
        {{1.0f, 0.0f, 0.0f}, {501, 0, 0}},
        {{1.0f, 1.0f, 0.0f}, {401, 510, 0}},
        {{1.0f, 0.0f, 0.0f}, {400, 0, 0}},
        {{1.0f, 0.0f, 0.0f}, {500, 0, 0}},
    };
    for (int n = 1; n <= 11; ++n)
        for (int m = 1; m <= 3; ++m) {
            f01eps.f(n, m) = rows[n - 1].f[m - 1];
            f01eps.k(n, m) = rows[n - 1].k[m - 1];
        }
}

void set_initial_contents() {
    fill_integral_tables();
    fill_strain_terms();
    plotin.scal = 1.0f;
    plotin.indplt = 0;
    plotin.npx = 50;
    plotin.npy = 50;
    plotin.isymx = 0;
    plotin.isymy = 0;
    for (int& m : plotin.mdsplt) m = 1;
    plotin.nmod = 0;
    f07inb.rx = f07inb.ry = f07inb.rxy = 1.0e29f;
    man = Man{0, 0, 0, 4, 0, 2, 1, 0};
    // ku leads f07ina in every preset view, so one write serves all four.
    int* ku = f07ina_store.p31.ku;
    ku[0] = 1;
    ku[1] = ku[2] = ku[3] = ku[4] = 0;
}

/// Runs at library load, before the module object exists.
struct InitialContents {
    InitialContents() { set_initial_contents(); }
} initial_contents;

}  // namespace

}  // namespace zeft
