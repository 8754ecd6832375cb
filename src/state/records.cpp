// Storage of the shared analysis state and its contents at library load.
#include "state/records.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <span>

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
Itertol itertol;
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
PresetRecord<Panrun> panrun_store;
PresetRecord<Stftor> stftor_store;

namespace {

/// The records of the larger size, apart from the published presets' blocks.
template <template <class> class R>
R<P61> large{};

}  // namespace

template <template <class> class R>
R<P61>& large_store() {
    return large<R>;
}

template F07ina<P61>& large_store<F07ina>();
template F07dis<P61>& large_store<F07dis>();
template Stiffcom<P61>& large_store<Stiffcom>();
template Cpfest<P61>& large_store<Cpfest>();
template Cpvar<P61>& large_store<Cpvar>();
template Vectrs<P61>& large_store<Vectrs>();
template Comlv<P61>& large_store<Comlv>();
template Matrix<P61>& large_store<Matrix>();
template F07mat<P61>& large_store<F07mat>();
template F01qua<P61>& large_store<F01qua>();
template Panrun<P61>& large_store<Panrun>();
template Stftor<P61>& large_store<Stftor>();

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
    // ku leads f07ina in every preset view, so one write serves all four; the larger size
    // has its own.
    for (int* ku : {f07ina_store.p31.ku, large<F07ina>.ku}) {
        ku[0] = 1;
        ku[1] = ku[2] = ku[3] = ku[4] = 0;
    }
}

/// The storage of every record.
template <class R>
std::span<unsigned char> bytes_of(R& r) {
    return {reinterpret_cast<unsigned char*>(&r), sizeof r};
}

std::span<const std::span<unsigned char>> all_records() {
    static const std::span<unsigned char> records[] = {
        bytes_of(man),          bytes_of(antype),        bytes_of(title),          bytes_of(datran),
        bytes_of(plotin),       bytes_of(f07inb),        bytes_of(f07ang),         bytes_of(f07ind),
        bytes_of(skstf),        bytes_of(densit),        bytes_of(stringercom),    bytes_of(glbuckcom),
        bytes_of(valus),        bytes_of(pythres),       bytes_of(test),           bytes_of(f07aij),
        bytes_of(f07aijs),      bytes_of(f07pd),         bytes_of(f01eps),         bytes_of(f07in1),
        bytes_of(f07in2),       bytes_of(plotfls),       bytes_of(f07inc),         bytes_of(f07ina_store),
        bytes_of(f07dis_store), bytes_of(stiffcom_store), bytes_of(cpfest_store),  bytes_of(cpvar_store),
        bytes_of(vectrs_store), bytes_of(comlv_store),   bytes_of(matrix_store),   bytes_of(f07mat_store),
        bytes_of(f01qua_store), bytes_of(panrun_store),  bytes_of(stftor_store),
        bytes_of(itertol),
        // The larger size's records; its matrix storage exists only during a run.
        bytes_of(large<F07ina>), bytes_of(large<F07dis>), bytes_of(large<Stiffcom>), bytes_of(large<Cpfest>),
        bytes_of(large<Cpvar>),  bytes_of(large<Vectrs>), bytes_of(large<Comlv>),    bytes_of(large<F07mat>),
        bytes_of(large<F01qua>), bytes_of(large<Panrun>), bytes_of(large<Stftor>),
    };
    return records;
}

/// Calls visit(offset, length) for each page-sized stretch of a record that is in memory.
/// The large work records are mostly pages never touched, which read as zeros and are
/// skipped; when residency cannot be asked, every stretch is visited.
template <class Visit>
void for_each_resident_stretch(std::span<unsigned char> r, Visit visit) {
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(r.data()) / page * page;
    const std::size_t pages = (reinterpret_cast<std::uintptr_t>(r.data()) + r.size() - first + page - 1) / page;
    std::vector<unsigned char> in(pages, 1);
    if (r.size() > 16 * page) mincore(reinterpret_cast<void*>(first), pages * page, in.data());
    for (std::size_t k = 0; k < pages; ++k) {
        if (!(in[k] & 1)) continue;
        const auto lo = std::max(first + k * page, reinterpret_cast<std::uintptr_t>(r.data()));
        const auto hi = std::min(first + (k + 1) * page, reinterpret_cast<std::uintptr_t>(r.data()) + r.size());
        visit(static_cast<std::size_t>(lo - reinterpret_cast<std::uintptr_t>(r.data())),
              static_cast<std::size_t>(hi - lo));
    }
}

void clear_record(std::span<unsigned char> r) {
    for_each_resident_stretch(r, [r](std::size_t at, std::size_t n) { std::memset(r.data() + at, 0, n); });
}

/// Runs at library load, before the module object exists.
struct InitialContents {
    InitialContents() { set_initial_contents(); }
} initial_contents;

}  // namespace

void reset_records() {
    for (std::span<unsigned char> r : all_records()) clear_record(r);
    set_initial_contents();
}

RecordSnapshot::RecordSnapshot() {
    const auto records = all_records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::span<unsigned char> r = records[i];
        for_each_resident_stretch(r, [&](std::size_t at, std::size_t n) {
            const unsigned char* p = r.data() + at;
            if (std::all_of(p, p + n, [](unsigned char b) { return b == 0; })) return;
            pages_.push_back({i, at, n});
            bytes_.insert(bytes_.end(), p, p + n);
        });
    }
}

void RecordSnapshot::restore() const {
    const auto records = all_records();
    for (std::span<unsigned char> r : records) clear_record(r);
    std::size_t from = 0;
    for (const Stretch& s : pages_) {
        std::memcpy(records[s.record].data() + s.offset, bytes_.data() + from, s.length);
        from += s.length;
    }
}

}  // namespace zeft
