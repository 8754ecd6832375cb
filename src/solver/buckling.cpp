// Buckling eigen analysis: assembly (incs2), condensation and simultaneous vector iteration
// (incs3), which hands its results to the result blocks of results/eigen_listing.
#include "solver/buckling.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assembly/assembly.hpp"
#include "assembly/storage.hpp"
#include "io/units.hpp"
#include "results/eigen_listing.hpp"
#include "solver/certify.hpp"
#include "solver/condensation.hpp"
#include "solver/coupled.hpp"
#include "solver/lanczos.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

std::string str(long long v) { return std::to_string(v); }

/// The two-record failure message of incs2, on standard output and then in the listing.
void assembly_failed(const char* name) {
    for (int unit : {io::stdout_unit, datran.nwrite})
        io::writef(unit, "(1X,'SUBROUTINE INCS2:'/1X,'ERROR ENCOUNTERED WHEN COMPUTING MATRIX ',A3)", {name});
}

/// Empty when the records incs3 reads agree with the size preset; otherwise the reason.
/// The host can write every count and the node table, so they are checked before use.
template <class P>
std::string inconsistency(bool condensing) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    if (std::string r = count_fault<P>(); !r.empty()) return r;
    if (g.mx < 1 || g.my < 1 || g.mx > P::p_rtnds || g.my > P::p_rtnds)
        return "INCONSISTENT GRID: MX=" + str(g.mx) + " MY=" + str(g.my);
    for (int ix = 1; ix <= g.mx; ++ix)
        for (int iy = 1; iy <= g.my; ++iy)
            if (int node = g.leitm(iy, ix); node < 1 || node > P::p_nodes)
                return "NODE NUMBER " + str(node) + " AT IY=" + str(iy) + " IX=" + str(ix) + " OUTSIDE THE SIZE PRESET";
    if (d.nox < 0 || d.nox > P::p_stf || d.noy < 0 || d.noy > P::p_stf)
        return "STIFFENER COUNTS NOX=" + str(d.nox) + " NOY=" + str(d.noy) + " OUTSIDE 0 .. " + str(P::p_stf);
    return profile_faults<P>("B", condensing);
}

}  // namespace

// ------------------------------------------------------------------------------ incs2

template <class P>
void incs2(int& ier) {
    ier = err::ok;
    forget_run<P>();
    auto& m = matrix<P>();
    auto& lv = comlv<P>();
    set_scale_factors<P>();

    int e = 0;
    if (man.iy != 0) {
        cmpa22<P>(m.a22, e);
        if (e != 0) {
            assembly_failed("A22");
            ier = err::incs2::a22;
            return;
        }
        int rows = man.iy;
        cmpa21<P>(m.a21, rows, e);
        if (e != 0) {
            assembly_failed("A21");
            ier = err::incs2::a21;
            return;
        }
    }

    cmpa11<P>(m.a11, e);
    if (e != 0) {
        assembly_failed("A11");
        ier = err::incs2::a11;
        return;
    }

    // B is accumulated, so it starts from zero over its whole profile.
    if (man.ix > 0) {
        if (std::string r = profile_fault("B", lv.lvb, man.ix, f07ina<P>().ibdx, b11_capacity<P>()); !r.empty()) {
            io::write_record(datran.nwrite, "");
            io::write_record(datran.nwrite, " MESSAGE FROM SUBROUTINE INCS2:");
            io::write_record(datran.nwrite, " " + r);
            assembly_failed("B11");
            ier = err::incs2::b11;
            return;
        }
        std::fill_n(m.b11, profile_size(lv.lvb, man.ix), 0.0);
    }
    float fkt = 1.0f;
    cmpbmt<P>(m.b11, lv.lvb, cpvar<P>().pvar, fkt, e);
    if (e != 0) {
        assembly_failed("B11");
        ier = err::incs2::b11;
    }
}

// ------------------------------------------------------------------------------ incs3

template <class P>
void incs3(int& long_bn, float* bb, float* dd, float* bd, float* rr, float* dr, float* br,
           float* ss, int& ier, float& fstbui) {
    ier = err::ok;
    forget_run<P>();
    auto& g = f07ina<P>();
    auto& m = matrix<P>();
    auto& lv = comlv<P>();

    const bool condensing = condensation_needed<P>();
    if (std::string r = inconsistency<P>(condensing); !r.empty()) {
        eigen_message("(/' MESSAGE FROM SUBROUTINE INCS3:'/1X,A)", {r});
        ier = err::incs3::bad_data;
        return;
    }
    int ix = man.ix, iy = man.iy;
    const bool in_plane_vectors = condensing && man.x2pri != 0;

    // The condensed matrix is formed only where it is listed or where the columns
    // A22^-1 A21(:, j) go to the work file; otherwise the iteration works with the coupled
    // band system and never forms it (the same eigenproblem, see solver/coupled.hpp).
    std::unique_ptr<CoupledMatrix> coupled;
    if (condensing && man.itab == 0 && !in_plane_vectors) {
        CoupledSystem cs = coupled_system<P>();
        if (!cs.order.empty()) coupled = std::make_unique<CoupledMatrix>(cs);
    }
    if constexpr (heap_matrices<P>) {
        // The larger grid has no room for the dense condensed matrix that the listings of
        // itab and x2pri and the straightforward path work with.
        if (condensing && !coupled) {
            eigen_message("(/' MESSAGE FROM SUBROUTINE INCS3:'/1X,A)",
                          {man.itab != 0 || in_plane_vectors
                               ? "ON A GRID OF MORE THAN 31 LINES THE CONDENSED MATRIX (ITAB) AND THE IN-PLANE "
                                 "VECTORS (X2PRI) ARE NOT LISTED: SET BOTH TO 0"
                               : "THE KEY MATRIX DOES NOT NUMBER EVERY FREEDOM ONCE"});
            ier = err::incs3::bad_data;
            return;
        }
    }
    if (condensing) {
        int e = 0;
        chodec(m.a22, iy, g.ibdy, lv.lva22, e);
        if (e != 0) {
            eigen_message("(/' SUBROUTINE INCS3: CHOLESKY DECOMPOSITION OF MATRIX A22 FAILED. IER= ',I5)", {e});
            ier = err::incs3::chodec_a22;
            return;
        }
        open_condensed_columns();
        // A condensed matrix that is not positive definite is left to the straightforward
        // path, which reports the row where its factorisation fails.
        if (coupled) {
            coupled->use_factor_of_a22();
            if constexpr (!heap_matrices<P>) coupled->keep_unshifted();
            if (const int row = coupled->factorise(); row != 0) {
                if constexpr (heap_matrices<P>) {
                    // As the straightforward path reports it, without the dense matrix.
                    eigen_message("(1X,'SUBROUTINE INCS3: ERROR IN CHOLESKY DECOMPOSITION OF THE CONDENSED "
                                  "MATRIX (COUPLED SYSTEM ROW',I7,')')", {row});
                    ier = err::incs3::simvit;
                    return;
                }
                coupled.reset();
            }
        }
        // The columns are kept on the work file only when the in-plane vectors are listed.
        if (!coupled) condense_and_list<P>(in_plane_vectors);
    }

    // Load factors of smallest magnitude: condensed A11 as a full triangle, B in its profile.
    std::vector<double> x(static_cast<std::size_t>(ix) * std::max(man.neigit, 0));
    double epsiln = iteration_tolerance();
    int jac = 0, ip = 0, e = 0, ibda = a11_band<P>();
    if constexpr (heap_matrices<P>) {
        // The larger grid: block Lanczos on the same factor, far fewer solves than the
        // inverse iteration when the lowest load factors cluster.
        if (coupled) {
            lanczos(man.neigrq, man.neigit, *coupled, m.b11, g.ibdx, lv.lvb, epsiln, valus.elam, x.data(), jac, ip, e);
        } else {
            ProfileMatrix a11(m.a11, lv.lvtri, ix, ibda);
            lanczos(man.neigrq, man.neigit, a11, m.b11, g.ibdx, lv.lvb, epsiln, valus.elam, x.data(), jac, ip, e);
        }
    } else if (coupled)
        subspace_iteration(man.neigrq, man.neigit, *coupled, m.b11, g.ibdx, lv.lvb, epsiln, valus.elam, x.data(),
                           jac, ip, lv.lvtri, e);
    else
        simvit(man.neigrq, man.neigit, m.a11, m.b11, ix, ibda, g.ibdx, lv.lvtri, lv.lvb, epsiln, valus.elam,
               x.data(), jac, ip, lv.lvtri, e);
    if (e != 0) {
        eigen_message("(1X,'SUBROUTINE INCS3: ERROR ENCOUNTERED IN SUBR: SIMVIT')");
        ier = err::incs3::simvit;
        return;
    }
    store_eigenvectors<P>(x.data(), ix, man.neigit);

    // Result blocks: statistics, eigenvalues, forces per eigenvalue, W eigenvectors.
    fstbui = static_cast<float>(static_cast<double>(cpvar<P>()(1, 1)) * valus.elam[0] +
                                static_cast<double>(cpfest<P>()(1, 1)));
    listing::eigenvalues<P>(ip, jac, epsiln);
    if (man.mempri) listing::forces_per_eigenvalue<P>();
    listing::w_eigenvectors(x.data(), ix, man.neigrq);

    if (in_plane_vectors) {
        std::vector<double> u;
        const bool complete = in_plane_displacements(x.data(), ix, iy, man.neigrq, u);
        listing::in_plane_vectors(complete ? u.data() : nullptr, iy, man.neigrq, /*heading=*/true);
        if (!complete) {
            eigen_message("(/' MESSAGE FROM SUBROUTINE INCS3:'/' WORK FILE RCA25 ENDED BEFORE ALL COLUMNS WERE READ')");
            ier = err::incs3::work_file;
        }
    }
    // The certificate of these load factors reuses the matrices, unless the dense condensed
    // matrix has taken the place of A11.
    if (ier == err::ok && (!condensing || coupled)) keep_run<P>(std::move(coupled));
}

#define ZEFT_INST_BUCKLING(P)                                                                     \
    template void incs2<P>(int&);                                                                 \
    template void incs3<P>(int&, float*, float*, float*, float*, float*, float*, float*, int&, float&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_BUCKLING)
#undef ZEFT_INST_BUCKLING

}  // namespace zeft
