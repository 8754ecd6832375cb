// Natural-frequency analysis: assembly of the stiffness matrices and the mass matrix (vibs2),
// condensation, scaling of M, simultaneous vector iteration and the frequency listing (vibs3).
//
// The stiffness side is the buckling one: the same scale factors, the same assembly routines
// in the same order, and the same condensation; only the right-hand matrix differs.
#include "solver/vibration.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assembly/assembly.hpp"
#include "binding/registry.hpp"
#include "io/units.hpp"
#include "solver/condensation.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Unit of the work file "RCA25" that holds the columns A22^-1 A21(:, j).
constexpr int work_unit = 25;

std::string str(long long v) { return std::to_string(v); }

/// The two-record failure message of vibs2, on standard output and then in the listing.
void vibs2_failed(const char* name) {
    for (int unit : {io::stdout_unit, datran.nwrite})
        io::writef(unit, "(1X,'SUBROUTINE VIBS2:'/1X,'ERREOR ENCOUNTERED WHEN COMPUTING MATRIX ',A3)", {name});
}

/// A message of vibs3, in the listing and then on standard output.
void vibs3_message(std::string_view spec, std::initializer_list<fmt::Item> items = {}) {
    io::writef(datran.nwrite, spec, items);
    io::writef(io::stdout_unit, spec, items);
}

/// Empty when rows 1 .. n of a symmetric matrix in profile storage (pointers lv, half-bandwidth
/// ibd) lie within positions 1 .. capacity of its store; otherwise the reason.
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

/// Number of stored entries of a profile matrix of order n: lv(n) + n.
long long stored(const int* lv, int n) { return n > 0 ? static_cast<long long>(lv[n - 1]) + n : 0; }

/// Empty when the counts and profiles vibs3 works with agree with the size preset; otherwise
/// the reason. The host can write all of them, so they are checked before use.
template <class P>
std::string inconsistency(bool condensing) {
    auto& g = f07ina<P>();
    auto& lv = comlv<P>();
    if (man.ix < 1 || man.ix > P::p_nx || man.iy < 0 || man.iy > P::p_ny)
        return "FREEDOM COUNTS IX=" + str(man.ix) + " IY=" + str(man.iy) + " OUTSIDE THE SIZE PRESET";
    if (man.neigit > P::p_ngit) return "NEIGIT=" + str(man.neigit) + " ABOVE " + str(P::p_ngit);
    if (std::string r = profile_fault("A11", lv.lvtri, man.ix, man.ix, P::p_la11); !r.empty()) return r;
    if (std::string r = profile_fault("M", lv.lvb, man.ix, g.ibdx, P::p_lb11); !r.empty()) return r;
    if (condensing)
        if (std::string r = profile_fault("A22", lv.lva22, man.iy, g.ibdy, P::p_la22); !r.empty()) return r;
    return "";
}

/// The largest magnitude among the first count entries of a.
double largest(const double* a, long long count) {
    double m = 0.0;
    for (long long k = 0; k < count; ++k) m = std::max(m, std::abs(a[k]));
    return m;
}

/// The condensed A11 (full lower triangle, row by row), seven values per record.
template <class P>
void list_condensed_matrix() {
    const int nw = datran.nwrite;
    const double* a11 = matrix<P>().a11;
    const long long count = stored(comlv<P>().lvtri, man.ix);
    io::writef(nw, "(35X,'UPDATED MATRIX A11')");
    for (long long k = 0; k < count; k += 7) {
        std::vector<fmt::Item> items(a11 + k, a11 + std::min(count, k + 7));
        io::writef(nw, "(1X,7D17.6)", items);
    }
}

/// The in-plane and rotation freedoms of the first neigrq modes, u_k = -A22^-1 A21 w_k =
/// -sum over j of z_j w_k(j), from the columns z_j on the work file (x: ix rows per mode),
/// listed mode by mode. False when the work file ends before all ix columns are read.
bool list_in_plane_vectors(const double* x, int ix, int iy, int neigrq) {
    const int nw = datran.nwrite;
    const std::size_t n = static_cast<std::size_t>(iy);
    std::vector<double> u(n * static_cast<std::size_t>(std::max(neigrq, 0)), 0.0), z(n);
    io::rewind(work_unit);
    for (int j = 1; j <= ix; ++j) {
        if (!io::read_doubles(work_unit, z.data(), iy)) return false;
        for (int k = 1; k <= neigrq; ++k) {
            const double w = x[(j - 1) + static_cast<std::size_t>(ix) * (k - 1)];
            double* uk = u.data() + n * (k - 1);
            for (std::size_t r = 0; r < n; ++r) uk[r] -= z[r] * w;
        }
    }
    for (int k = 1; k <= neigrq; ++k) {
        io::writef(nw, "('0 EIGENMODE ',I2)", {k});
        const double* uk = u.data() + n * (k - 1);
        for (std::size_t r = 0; r < n; r += 5) {
            std::vector<fmt::Item> items(uk + r, uk + std::min(n, r + 5));
            io::writef(nw, "(1X,5D20.8)", items);
        }
    }
    return true;
}

}  // namespace

// ------------------------------------------------------------------------------ vibs2

template <class P>
void vibs2(int& ier) {
    ier = err::ok;
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    const auto failed = [&ier](const char* name, int code) {
        vibs2_failed(name);
        ier = code;
    };
    set_scale_factors<P>();

    int e = 0;
    if (man.iy != 0) {
        cmpa22<P>(m.a22, e);
        if (e != 0) return failed("A22", err::vibs2::a22);
        int rows = man.iy;
        cmpa21<P>(m.a21, rows, e);
        if (e != 0) return failed("A21", err::vibs2::a21);
    }
    cmpa11<P>(m.a11, e);
    if (e != 0) return failed("A11", err::vibs2::a11);

    // M takes the place of B: cleared over its whole profile, then assembled. (cmpa11 has
    // checked the freedom counts against the size preset.)
    if (man.ix > 0) {
        if (std::string r = profile_fault("M", lv.lvb, man.ix, f07ina<P>().ibdx, P::p_lb11); !r.empty()) {
            io::writef(datran.nwrite, "(/' MESSAGE FROM SUBROUTINE VIBS2:'/1X,A)", {r});
            return failed("B11", err::vibs2::b11);
        }
        std::fill_n(m.b11, stored(lv.lvb, man.ix), 0.0);
    }
    cmpmmt<P>(m.b11, lv.lvb, e);
    if (e != 0) return failed("B11", err::vibs2::b11);
}

// ------------------------------------------------------------------------------ vibs3

template <class P>
void vibs3(int& long_bn, float* bb, float* dd, float* bd, float& rr, float& dr, float& br, float& ss,
           int& ier) {
    ier = err::ok;
    const int nw = datran.nwrite;
    auto& g = f07ina<P>();
    auto& m = matrix<P>();
    auto& lv = comlv<P>();

    // Without in-plane freedoms (W alone, or all of them suppressed) A11 is already the
    // matrix of the W freedoms and nothing is condensed.
    const bool condensing = g.knfun > 1 && man.iy > 0;
    if (std::string r = inconsistency<P>(condensing); !r.empty()) {
        vibs3_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/1X,A)", {r});
        ier = err::vibs3::bad_data;
        return;
    }
    int ix = man.ix, iy = man.iy;
    const bool in_plane_vectors = condensing && man.x2pri != 0;

    if (condensing) {
        int e = 0;
        chodec(m.a22, iy, g.ibdy, lv.lva22, e);
        if (e != 0) {
            vibs3_message("(/' SUBROUTINE VIBS3: CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED. IER= ',I5)", {e});
            ier = err::vibs3::chodec_a22;
            return;
        }
        if (!io::is_open(work_unit)) io::open(work_unit, "RCA25", io::OpenStatus::replace, /*formatted=*/false);
        io::rewind(work_unit);
        // The columns are kept on the work file only when the in-plane vectors are listed.
        CondensedColumn keep;
        if (in_plane_vectors) keep = [iy](int, const double* z) { io::write_doubles(work_unit, z, iy); };
        condense<P>(keep);
        if (man.itab != 0) list_condensed_matrix<P>();
    }

    // M is brought to the size of the stiffness, so that the iteration sees eigenvalues of
    // order one whatever the units of the masses; the eigenvalues are scaled back below.
    const long long na = stored(lv.lvtri, ix), nm = stored(lv.lvb, ix);
    const double nrma = ix * largest(m.a11, na), nrmm = ix * largest(m.b11, nm);
    const float pdom = static_cast<float>(nrmm / nrma);
    if (!(std::isfinite(pdom) && pdom > 0.0f)) {
        // A matrix without any mass (or a stiffness without any entry) has no frequencies.
        vibs3_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/1X,A,E15.7,A,E15.7)",
                      {"NO SCALE FOR THE MASS MATRIX: LARGEST ENTRY OF M TIMES IX =", nrmm,
                       ", OF A11 =", nrma});
        ier = err::vibs3::zero_mass;
        return;
    }
    densit.pdom = pdom;
    for (long long k = 0; k < nm; ++k) m.b11[k] /= pdom;
    densit.dom /= pdom;

    // Squared frequencies of smallest magnitude: condensed A11 as a full triangle, M in its
    // profile.
    std::vector<double> x(static_cast<std::size_t>(ix) * std::max(man.neigit, 0));
    double epsiln = 1.0E-8;
    int jac = 0, ip = 0, e = 0, ibda = ix;
    simvit(man.neigrq, man.neigit, m.a11, m.b11, ix, ibda, g.ibdx, lv.lvtri, lv.lvb, epsiln, valus.elam,
           x.data(), jac, ip, lv.lvtri, e);
    if (e != 0) {
        vibs3_message("(1X,'SUBROUTINE VIBS3: ERROR ENCOUNTERED IN SUBR. SIMVIT'/1X,'IER=',I4)", {e});
        ier = err::vibs3::simvit;
        return;
    }
    double* vx = vectrs<P>().x;
    for (int k = 1; k <= man.neigit; ++k)
        std::copy_n(x.data() + static_cast<std::size_t>(ix) * (k - 1), ix, vx + static_cast<std::size_t>(P::p_nx) * (k - 1));

    double* elam = valus.elam;
    for (int i = 1; i <= man.neigrq; ++i) elam[i - 1] /= pdom;

    io::writef(nw,
               "('1 STATISTICS OF INVERSE POWER METHOD:'//5X,'IP=',I3,', JAC =',I3/5X,"
               "'MAXIMUM CONTAMINATION OF HIGHER EIGENVECTORS BY LOWER ONES: EPSILN =',D12.4)",
               {ip, jac, epsiln});

    // A negative eigenvalue (an unstable stiffness) has no real frequency: NaN is listed.
    constexpr double pi = 3.141592653589793;
    io::writef(nw, "(///'0 COMPUTED EIGENVALUES :'///)");
    for (int i = 1; i <= man.neigrq; ++i) {
        const double herz = std::sqrt(elam[i - 1]) / (2.0 * pi);
        io::writef(nw, "(' ',7X,' EIGENVALUE',I3,':',D14.6,' =',D14.6,' HZ')", {i, elam[i - 1], herz});
    }

    io::writef(nw, "('1X-EIGENVECTORS DESCRIBING NORMAL DISPLACEMENT W')");
    int unit = nw;
    eigvpr(unit, x.data(), ix, man.neigrq);

    if (in_plane_vectors && !list_in_plane_vectors(x.data(), ix, iy, man.neigrq)) {
        vibs3_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/' WORK FILE RCA25 ENDED BEFORE ALL COLUMNS WERE READ')");
        ier = err::vibs3::work_file;
    }
}

#define ZEFT_INST_VIBRATION(P)                                                                    \
    template void vibs2<P>(int&);                                                                 \
    template void vibs3<P>(int&, float*, float*, float*, float&, float&, float&, float&, int&);
ZEFT_FOR_EACH_PRESET(ZEFT_INST_VIBRATION)
#undef ZEFT_INST_VIBRATION

ZEFT_EXPORT_ANALYSIS(vibs2)
ZEFT_EXPORT_ANALYSIS(vibs3)

}  // namespace zeft
