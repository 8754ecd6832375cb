// Buckling run control buvi.
#include "control/run_control.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assembly/keymatrix.hpp"
#include "assembly/storage.hpp"
#include "control/analysis_type.hpp"
#include "control/input_check.hpp"
#include "io/units.hpp"
#include "preparation/element_terms.hpp"
#include "results/listing.hpp"
#include "results/stringer_checks.hpp"
#include "solver/buckling.hpp"
#include "solver/certify.hpp"
#include "solver/profile.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// How an error block names the failing routine's code.
enum class Code { value, none };

/// The error block of buvi: the header and "ERROR REPORTED FROM SUBROUTINE" with the routine's
/// name right-aligned in ten columns and its code (or nothing after "IER="), an optional
/// extra record, written to the listing and, unless listing_only, again to standard output.
void error_block(const char* routine, int e, Code code, const char* extra = nullptr,
                 bool listing_only = false) {
    std::string line = " ERROR REPORTED FROM SUBROUTINE " + fmt::A(10, routine) + "  IER=";
    if (code == Code::value) line += fmt::I(3, e);
    for (int unit : {datran.nwrite, io::stdout_unit}) {
        if (listing_only && unit == io::stdout_unit) break;
        io::write_record(unit, " MESSAGE FROM SUBROUTINE BUVI:");
        io::write_record(unit, line);
        if (extra != nullptr) io::write_record(unit, extra);
    }
}

/// Inverts the 3x3 membrane stiffness S of the first element, read from the packed upper
/// triangle of its 9x9 coefficient matrix c(45): S11 = c(1), S12 = c(2), S13 = c(3),
/// S22 = c(10), S23 = c(11), S33 = c(18). S^-1 = adj(S) / det S with det S expanded along the
/// first row, all in single precision. False when S is not safely invertible: its diagonal
/// product is not above 1.0E-31, or |det S| is not above 1.0E-31 times that product.
bool invert_membrane_stiffness(const float* c, F07aij& inv) {
    const float s11 = c[0], s12 = c[1], s13 = c[2], s22 = c[9], s23 = c[10], s33 = c[17];
    const float p = s11 * s22 * s33;
    const float c11 = s22 * s33 - s23 * s23;
    const float c12 = s23 * s13 - s12 * s33;
    const float c13 = s12 * s23 - s22 * s13;
    const float det = s11 * c11 + s12 * c12 + s13 * c13;
    if (!(p > 1.0E-31f) || !(std::fabs(det) > 1.0E-31f * p)) return false;
    const float c22 = s11 * s33 - s13 * s13;
    const float c23 = s12 * s13 - s11 * s23;
    const float c33 = s11 * s22 - s12 * s12;
    const float r = 1.0f / det;
    inv(1, 1) = c11 * r;
    inv(1, 2) = inv(2, 1) = c12 * r;
    inv(1, 3) = inv(3, 1) = c13 * r;
    inv(2, 2) = c22 * r;
    inv(2, 3) = inv(3, 2) = c23 * r;
    inv(3, 3) = c33 * r;
    return true;
}

/// Membrane compliance of each stiffness data set, for the stiffener forces: the inverse
/// membrane stiffness of the first element of the first strip of each set (same formula and
/// test as aij). A stringer or frame node on a strip of set k carries that set's loads, so its
/// strain follows from set k's compliance. A set on no strip, or without an inverse, stays
/// invalid and the stiffener forces fall back to aij.
template <class P>
void compliance_per_set(const float* c) {
    f07aijs.valid[0] = f07aijs.valid[1] = 0;
    if (f07dis<P>().nox == 0 && f07dis<P>().noy == 0) return;
    bool tried[2] = {false, false};
    const int strips = std::min(f07ina<P>().my, P::p_rtnds) - 1;
    for (int strip = 1; strip <= strips; ++strip) {
        const int k = stiffcom<P>().elmstf[strip - 1];
        if ((k != 1 && k != 2) || tried[k - 1]) continue;
        tried[k - 1] = true;
        F07aij inv{};
        if (invert_membrane_stiffness(c + 45 * (strip - 1), inv)) {
            std::copy_n(inv.aij, 9, f07aijs.aij[k - 1]);
            f07aijs.valid[k - 1] = 1;
        }
    }
}

/// The element stiffness arrays of one run, one column per element: bb, dd, bd, rr, dr, br
/// (6, p_elmts) and ss (3, p_elmts) from the input check, the coefficient matrices c (45,
/// p_elmts) and ch (3, p_elmts) of the element terms.
template <class P>
struct ElementArrays {
    static constexpr std::size_t ne = P::p_elmts;
    std::vector<float> bb = std::vector<float>(6 * ne), dd = std::vector<float>(6 * ne),
                       bd = std::vector<float>(6 * ne), rr = std::vector<float>(6 * ne),
                       dr = std::vector<float>(6 * ne), br = std::vector<float>(6 * ne),
                       ss = std::vector<float>(3 * ne), c = std::vector<float>(45 * ne),
                       ch = std::vector<float>(3 * ne);
};

/// Steps 1 - 3: the input check (rddata), the input echo (which also turns the angles of
/// obliqueness into radians for every later step), the numbering of the freedoms and the
/// profile layouts of A22 and B. Returns 0 or the code of buvi.
template <class P>
int check_and_number(ElementArrays<P>& el) {
    const int nw = datran.nwrite;
    auto& g = f07ina<P>();
    auto& lv = comlv<P>();
    int e = 0;
    rddata<P>(el.bb.data(), el.dd.data(), el.bd.data(), el.rr.data(), el.dr.data(), el.br.data(), el.ss.data(), e);
    if (e != 0) {
        error_block("RDDATA", e, Code::value);
        return e;
    }
    if (static_cast<long long>(g.mx) * g.my > P::p_nodes) {
        io::writef(nw, "(' MX*MY .GT. P_NODES. P_NODES=',I5,'  MX =',I5,' MY =',I5)", {P::p_nodes, g.mx, g.my});
        return err::buvi::grid_too_large;
    }
    if (!antype.vibr)
        prtout<P>(el.bb.data(), el.dd.data(), el.bd.data(), el.rr.data(), el.dr.data(), el.br.data(), el.ss.data());

    setkey<P>(man.ix, man.iy);
    if (man.iy != 0) {
        mklvbd(lv.lva22, man.iy, g.ibdy, e);
        if (e != 0) {
            error_block("MKLVBD", e, Code::value, " for LVA22");
            return e;
        }
    }
    mklvbd(lv.lvb, man.ix, g.ibdx, e);
    if (e != 0) {
        error_block("MKLVBD", e, Code::value, " for LVB");
        return e;
    }
    return 0;
}

/// Step 4: the element stiffness terms, the membrane compliance for the stiffener forces,
/// the quadratic-form terms and the eigenvalue counts. Returns 0 or the code of buvi.
template <class P>
int element_terms(ElementArrays<P>& el) {
    int e = 0;
    tfmstf<P>(el.c.data(), el.ch.data(), el.bb.data(), el.dd.data(), el.bd.data(), el.rr.data(), el.dr.data(),
              el.br.data(), el.ss.data(), e);
    if (e != 0) {
        error_block("TFMSTF", e, Code::value);
        return e;
    }
    // The stiffener forces follow from the membrane compliance of the skin.
    if (f07dis<P>().nox != 0 || f07dis<P>().noy != 0) {
        if (!invert_membrane_stiffness(el.c.data(), f07aij)) {
            io::write_record(datran.nwrite, " MESSAGE FROM SUBR. BUVI:");
            io::write_record(datran.nwrite, "MEMBR. STIFFN. INCORRECT");
            return err::buvi::membrane_stiffness;
        }
    }
    compliance_per_set<P>(el.c.data());

    f01kbf<P>(el.c.data(), el.ch.data());
    redfkq<P>();
    chneig();
    return 0;
}

/// Step 5: the assembly, the crippling check and the eigen analysis with its result blocks;
/// fstbub receives the axial force of node 1 at the first load factor. Returns 0 or the
/// code of buvi.
template <class P>
int buckling_analysis(ElementArrays<P>& el, float& fstbub) {
    int e = 0;
    incs2<P>(e);
    if (e != 0) {
        error_block("INCS2", e, Code::none);
        return err::buvi::incs2;
    }
    if (antype.cripan) {
        // The crippling routines report their findings in the listing; their code is not
        // a reason to stop the eigen analysis. The crippling stress and strain are this
        // run's or none: a refused check leaves nothing for the global check to reuse.
        test.sigmweb = test.epsweb = 0.0f;
        int ec = 0;
        if (f07dis<P>().stype == 1) {
            cripplingt(ec);
        } else if (f07dis<P>().stype == 2) {
            cripplingo(ec);
        } else {
            const std::string why = " CRIPPLING CHECK (CRIPAN) NEEDS STRINGER TYPE STYPE = 1 (OPEN) OR 2 (HAT), NOT" +
                                    fmt::I(11, f07dis<P>().stype);
            error_block("CRIPPLING", err::buvi::crippling, Code::value, why.c_str());
            return err::buvi::crippling;
        }
    }
    incs3<P>(man.iy, el.bb.data(), el.dd.data(), el.bd.data(), el.rr.data(), el.dr.data(), el.br.data(),
             el.ss.data(), e, fstbub);
    if (e != 0) {
        error_block("INCS3", e, Code::none);
        return err::buvi::incs3;
    }
    return 0;
}

}  // namespace

template <class P>
void buvi(int& ier) {
    const int nw = datran.nwrite;
    ElementArrays<P> el;
    float fstbub = 0.0f;

    io::write_record(nw, "");
    io::write_record(nw, "");
    io::write_record(nw, "");
    io::write_record(nw, fmt::X(14) + "BUCKLING LOAD FACTORS AND MODES");
    // A new run: what the last one kept no longer certifies anything, even if this one stops early.
    forget_run<P>();
    ier = check_and_number<P>(el);
    if (ier != 0) return;
    // The matrices of the larger size exist from the numbering of the grid to the end of the run.
    const RunMatrices<P> storage;
    if (!storage.fault().empty()) {
        error_block("BUVI", err::buvi::incs2, Code::value, (" " + storage.fault()).c_str());
        ier = err::buvi::incs2;
        return;
    }
    ier = element_terms<P>(el);
    if (ier != 0) return;

    if (antype.buck) {
        ier = buckling_analysis<P>(el, fstbub);
        if (ier != 0) return;
    }
    if (antype.vibr) io::write_list(nw, "ANALYSIS OF EIGENFREQUENCIES NOT SUPPORTED IN THIS VERSION OF ZEFT!");

    // 6. The global buckling check of the stiffened panel.
    if (antype.glban) {
        int e = 0;
        glbuck<P>(el.bb.data(), el.dd.data(), el.bd.data(), e, fstbub);
        if (e != 0) {
            error_block("GLBUCK", e, Code::none, nullptr, true);
            ier = err::buvi::glbuck;
        }
    }
}

#define ZEFT_INST_BUVI(P) template void buvi<P>(int&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_BUVI)
#undef ZEFT_INST_BUVI

}  // namespace zeft
