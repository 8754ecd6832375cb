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
#include "assembly/storage.hpp"
#include "io/units.hpp"
#include "results/eigen_listing.hpp"
#include "solver/certify.hpp"
#include "solver/condensation.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// The two-record failure message of vibs2, on standard output and then in the listing.
void vibs2_failed(const char* name) {
    for (int unit : {io::stdout_unit, datran.nwrite})
        io::writef(unit, "(1X,'SUBROUTINE VIBS2:'/1X,'ERREOR ENCOUNTERED WHEN COMPUTING MATRIX ',A3)", {name});
}

/// Empty when the counts and profiles vibs3 works with agree with the size preset; otherwise
/// the reason. The host can write all of them, so they are checked before use.
template <class P>
std::string inconsistency(bool condensing) {
    if (std::string r = count_fault<P>(); !r.empty()) return r;
    return profile_faults<P>("M", condensing);
}

/// The largest magnitude among the first count entries of a.
double largest(const double* a, long long count) {
    double m = 0.0;
    for (long long k = 0; k < count; ++k) m = std::max(m, std::abs(a[k]));
    return m;
}

}  // namespace

// ------------------------------------------------------------------------------ vibs2

template <class P>
void vibs2(int& ier) {
    ier = err::ok;
    forget_run<P>();
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
        if (std::string r = profile_fault("M", lv.lvb, man.ix, f07ina<P>().ibdx, b11_capacity<P>()); !r.empty()) {
            io::writef(datran.nwrite, "(/' MESSAGE FROM SUBROUTINE VIBS2:'/1X,A)", {r});
            return failed("B11", err::vibs2::b11);
        }
        std::fill_n(m.b11, profile_size(lv.lvb, man.ix), 0.0);
    }
    cmpmmt<P>(m.b11, lv.lvb, e);
    if (e != 0) return failed("B11", err::vibs2::b11);
}

// ------------------------------------------------------------------------------ vibs3

template <class P>
void vibs3(int& long_bn, float* bb, float* dd, float* bd, float& rr, float& dr, float& br, float& ss,
           int& ier) {
    ier = err::ok;
    auto& g = f07ina<P>();
    auto& m = matrix<P>();
    auto& lv = comlv<P>();

    const bool condensing = condensation_needed<P>();
    if (std::string r = inconsistency<P>(condensing); !r.empty()) {
        eigen_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/1X,A)", {r});
        ier = err::vibs3::bad_data;
        return;
    }
    int ix = man.ix, iy = man.iy;
    const bool in_plane_vectors = condensing && man.x2pri != 0;

    if (condensing) {
        int e = 0;
        chodec(m.a22, iy, g.ibdy, lv.lva22, e);
        if (e != 0) {
            eigen_message("(/' SUBROUTINE VIBS3: CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED. IER= ',I5)", {e});
            ier = err::vibs3::chodec_a22;
            return;
        }
        open_condensed_columns();
        // The columns are kept on the work file only when the in-plane vectors are listed.
        condense_and_list<P>(in_plane_vectors);
    }

    // M is brought to the size of the stiffness, so that the iteration sees eigenvalues of
    // order one whatever the units of the masses; the eigenvalues are scaled back below.
    const long long na = profile_size(lv.lvtri, ix), nm = profile_size(lv.lvb, ix);
    const double nrma = ix * largest(m.a11, na), nrmm = ix * largest(m.b11, nm);
    const float pdom = static_cast<float>(nrmm / nrma);
    if (!(std::isfinite(pdom) && pdom > 0.0f)) {
        // A matrix without any mass (or a stiffness without any entry) has no frequencies.
        eigen_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/1X,A,E15.7,A,E15.7)",
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
    double epsiln = iteration_tolerance();
    int jac = 0, ip = 0, e = 0, ibda = ix;
    simvit(man.neigrq, man.neigit, m.a11, m.b11, ix, ibda, g.ibdx, lv.lvtri, lv.lvb, epsiln, valus.elam,
           x.data(), jac, ip, lv.lvtri, e);
    if (e != 0) {
        eigen_message("(1X,'SUBROUTINE VIBS3: ERROR ENCOUNTERED IN SUBR. SIMVIT'/1X,'IER=',I4)", {e});
        ier = err::vibs3::simvit;
        return;
    }
    store_eigenvectors<P>(x.data(), ix, man.neigit);

    double* elam = valus.elam;
    for (int i = 1; i <= man.neigrq; ++i) elam[i - 1] /= pdom;

    listing::frequencies(ip, jac, epsiln);
    listing::w_eigenvectors(x.data(), ix, man.neigrq, /*vibration=*/true);

    if (in_plane_vectors) {
        std::vector<double> u;
        const bool complete = in_plane_displacements(x.data(), ix, iy, man.neigrq, u);
        listing::in_plane_vectors(complete ? u.data() : nullptr, iy, man.neigrq, /*heading=*/false);
        if (!complete) {
            eigen_message("(/' MESSAGE FROM SUBROUTINE VIBS3:'/' WORK FILE RCA25 ENDED BEFORE ALL COLUMNS WERE READ')");
            ier = err::vibs3::work_file;
        }
    }
}

#define ZEFT_INST_VIBRATION(P)                                                                    \
    template void vibs2<P>(int&);                                                                 \
    template void vibs3<P>(int&, float*, float*, float*, float&, float&, float&, float&, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_VIBRATION)
#undef ZEFT_INST_VIBRATION

}  // namespace zeft
