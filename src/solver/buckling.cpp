// Buckling eigen analysis: assembly (incs2), condensation, simultaneous vector iteration and
// the result listing (incs3).
#include "solver/buckling.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assembly/assembly.hpp"
#include "io/units.hpp"
#include "solver/condensation.hpp"
#include "solver/coupled.hpp"
#include "solver/profile.hpp"
#include "solver/simvit.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// x-lines (or stiffeners) per block of a force table.
constexpr int block_width = 6;

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

/// True when every node carries the same variable and the same fixed membrane forces.
template <class P>
bool uniform_forces() {
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    const int nodes = f07ina<P>().mx * f07ina<P>().my;
    for (int c = 1; c <= 3; ++c)
        for (int k = 2; k <= nodes; ++k)
            if (!(std::abs(pv(k, c) - pv(1, c)) < 1.0E-20f) || !(std::abs(pf(k, c) - pf(1, c)) < 1.0E-20f))
                return false;
    return true;
}

/// membraneforces(i, c) of record pythres (p_ngit x 5).
double& membraneforce(int i, int c) { return pythres.membraneforces[(i - 1) + 55 * (c - 1)]; }

/// Header of a block of a force table: the labels "IX=" of its n columns.
void column_header(const std::vector<int>& labels) {
    std::vector<fmt::Item> items(labels.begin(), labels.end());
    io::writef(datran.nwrite, "(/11X," + str(static_cast<long long>(labels.size())) + "(10X,'IX=',I2,4X))", items);
}

/// One line of a force table: "IY=" with its label, then the values.
void table_line(int label, const std::vector<float>& values) {
    std::vector<fmt::Item> items{label};
    items.insert(items.end(), values.begin(), values.end());
    io::writef(datran.nwrite, "(1X,7X,'IY=',I1," + str(static_cast<long long>(values.size())) + "E19.7)", items);
}

/// The membrane forces N = lambda Nvar + Nfix of every node at eigenvalue i, component by
/// component in blocks of six x-lines; membraneforces(i, c) keeps the first value of the last
/// line of each block (the last block's is what remains).
template <class P>
void list_membrane_forces(int i, float lambda) {
    auto& g = f07ina<P>();
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    static const char* const name[3] = {"X ", "XY", "Y "};
    for (int c = 1; c <= 3; ++c) {
        io::writef(datran.nwrite, "(/10X,'MEMBRANE FORCES ',A2,1X)", {name[c - 1]});
        for (int ix0 = 1; ix0 <= g.mx; ix0 += block_width) {
            const int n = std::min(block_width, g.mx - ix0 + 1);
            std::vector<int> lines(n);
            for (int k = 0; k < n; ++k) lines[k] = ix0 + k;
            column_header(lines);
            std::vector<float> v(n);
            for (int iy = 1; iy <= g.my; ++iy) {
                for (int k = 0; k < n; ++k) {
                    const int node = g.leitm(iy, ix0 + k);
                    v[k] = pv(node, c) * lambda + pf(node, c);
                }
                table_line(iy, v);
            }
            membraneforce(i, c) = v[0];
            io::writef(datran.nwrite, "(///)");
        }
    }
}

/// The axial forces of the stiffeners at eigenvalue i, node by node as the geometric
/// stiffness B takes them: EA times the strain along the stiffener from N = lambda Nvar + Nfix
/// of the node and the compliance of the stiffness set whose loads the node carries.
/// Stringers: one line per stringer, one column per x-line; frames: one column per frame,
/// one line per y-line. membraneforces(i, 4) and (i, 5) keep the first value of the last line
/// of the x- and y-stiffener tables.
template <class P>
void list_stiffener_forces(int i, float lambda) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    const auto force = [&](bool stringer, int k, int iy, int ix) {
        const int node = g.leitm(iy, ix);
        const float nx = pv(node, 1) * lambda + pf(node, 1);
        const float nxy = pv(node, 2) * lambda + pf(node, 2);
        const float ny = pv(node, 3) * lambda + pf(node, 3);
        return stiffener_force<P>(stringer, iy, stringer ? d.sx(1, k) : d.sy(1, k), nx, nxy, ny);
    };
    const int nw = datran.nwrite;

    io::writef(nw, "(/'0FORCES IN STIFENERS AT THE',I5,' . EIGENVALUE')", {i});
    if (d.nox > 0) {
        io::writef(nw, "('0',10X,'STIFFENERS IN X-DIRECTION')");
        for (int ix0 = 1; ix0 <= g.mx; ix0 += block_width) {
            const int n = std::min(block_width, g.mx - ix0 + 1);
            std::vector<int> lines(n);
            for (int c = 0; c < n; ++c) lines[c] = ix0 + c;
            column_header(lines);
            std::vector<float> v(n);
            for (int k = 1; k <= d.nox; ++k) {
                for (int c = 0; c < n; ++c) v[c] = force(true, k, d.istx[k - 1], ix0 + c);
                table_line(d.istx[k - 1], v);
                membraneforce(i, 4) = v[0];
            }
        }
    }
    if (d.noy > 0) {
        io::writef(nw, "('0',10X,'STIFFENERS IN Y-DIRECTION')");
        for (int k0 = 1; k0 <= d.noy; k0 += block_width) {
            const int n = std::min(block_width, d.noy - k0 + 1);
            std::vector<int> lines(d.isty + (k0 - 1), d.isty + (k0 - 1 + n));
            column_header(lines);
            std::vector<float> v(n);
            for (int iy = 1; iy <= g.my; ++iy) {
                for (int c = 0; c < n; ++c) v[c] = force(false, k0 + c, iy, lines[c]);
                table_line(iy, v);
            }
            membraneforce(i, 5) = v[0];
        }
    }
}

}  // namespace

// ------------------------------------------------------------------------------ incs2

template <class P>
void incs2(int& ier) {
    ier = err::ok;
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
        if (std::string r = profile_fault("B", lv.lvb, man.ix, f07ina<P>().ibdx, P::p_lb11); !r.empty()) {
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
    const int nw = datran.nwrite;
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
        CoupledSystem cs{m.a11, lv.lvtri, ix, m.a21, P::p_ny, m.a22, lv.lva22, iy, g.ibdy, coupled_order<P>()};
        if (!cs.order.empty()) coupled = std::make_unique<CoupledMatrix>(cs);
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
            if (coupled->factorise() != 0) coupled.reset();
        }
        // The columns are kept on the work file only when the in-plane vectors are listed.
        if (!coupled) condense_and_list<P>(in_plane_vectors);
    }

    // Load factors of smallest magnitude: condensed A11 as a full triangle, B in its profile.
    std::vector<double> x(static_cast<std::size_t>(ix) * std::max(man.neigit, 0));
    double epsiln = 1.0E-8;
    int jac = 0, ip = 0, e = 0, ibda = ix;
    if (coupled)
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

    auto& pv = cpvar<P>();
    auto& pf = cpfest<P>();
    const double* elam = valus.elam;
    fstbui = static_cast<float>(static_cast<double>(pv(1, 1)) * elam[0] + static_cast<double>(pf(1, 1)));

    io::writef(nw,
               "(///'1 STATISTICS OF INVERSE POWER METHOD:'//5X,'IP=',I3,', JAC =',I3/5X,"
               "'MAXIMUM CONTAMINATION OF HIGHER EIGENVECTORS BY LOWER ONES: EPSILN =',E12.4//)",
               {ip, jac, epsiln});
    io::writef(nw, "(' COMPUTED EIGENVALUES:'/)");

    const bool uniform = uniform_forces<P>();
    for (int i = 1; i <= man.neigrq; ++i) {
        const double lam = elam[i - 1];
        if (uniform)
            io::writef(nw, "(1X,I3,'.   LAMBDA=',4E19.6)",
                       {i, lam, pv(1, 1) * lam + pf(1, 1), pv(1, 2) * lam + pf(1, 2), pv(1, 3) * lam + pf(1, 3)});
        else
            io::writef(nw, "(1X,I5,'. EIGENVALUE =',E19.6)", {i, lam});
    }

    if (man.mempri) {
        auto& d = f07dis<P>();
        for (int i = 1; i <= man.neigrq; ++i) {
            const float lambda = static_cast<float>(elam[i - 1]);
            io::writef(nw, "(/'0MEMBRANE FORCES AT THE ',I5,' . EIGENVALUE')", {i});
            list_membrane_forces<P>(i, lambda);
            if (d.nox > 0 || d.noy > 0) list_stiffener_forces<P>(i, lambda);
            io::writef(nw, "(///)");
        }
    }

    io::writef(nw, "(/1X,'X-EIGENVECTORS DESCRIBING NORMAL DISPLACEMENT W')");
    int unit = nw;
    eigvpr(unit, x.data(), ix, man.neigrq);

    if (in_plane_vectors && !list_in_plane_vectors(x.data(), ix, iy, man.neigrq, /*heading=*/true)) {
        eigen_message("(/' MESSAGE FROM SUBROUTINE INCS3:'/' WORK FILE RCA25 ENDED BEFORE ALL COLUMNS WERE READ')");
        ier = err::incs3::work_file;
    }
}

#define ZEFT_INST_BUCKLING(P)                                                                     \
    template void incs2<P>(int&);                                                                 \
    template void incs3<P>(int&, float*, float*, float*, float*, float*, float*, float*, int&, float&);
ZEFT_FOR_EACH_PRESET(ZEFT_INST_BUCKLING)
#undef ZEFT_INST_BUCKLING

}  // namespace zeft
