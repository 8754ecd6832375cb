// Bending matrix A11 of the W freedoms: the W-W element terms, the bending, torsion and
// curvature stiffness of stringers and frames, and minus the geometric stiffness of the
// prescribed membrane forces.
#include <algorithm>
#include <cmath>
#include <string>

#include "assembly/assembly.hpp"
#include "assembly/pattern.hpp"
#include "io/units.hpp"
#include "state/errors.hpp"

namespace zeft {

using namespace assembly;

template <class P>
void cmpa11(double* a11, int& ier) {
    ier = err::ok;
    const auto fail = [&](int code, std::string_view cause) {
        io::write_record(datran.nwrite, "");
        say("MESSAGE FROM SUBROUTINE CMPA11: ");
        say(cause);
        ier = code;
    };
    if (std::string r = check_records<P>(); !r.empty()) return fail(err::cmpa11::bad_data, r);

    int* lvtri = comlv<P>().lvtri;
    const SymmetricSink sink{a11, lvtri, man.ix};
    if (sink.n > 0) std::fill(a11, a11 + std::max(0, lvtri[sink.n - 1]) + sink.n, 0.0);

    if (Status st = assemble_terms<P>(Block::ww, sink))
        return fail(st.kind == Status::bad_data ? err::cmpa11::bad_data : err::cmpa11::iuoriv,
                    st.kind == Status::bad_data ? st.reason : "ERROR IN SUBROUTINE IUORIV.");

    int e = 0;
    if (f07dis<P>().nox > 0) {
        a11xst<P>(a11, e);
        if (e != 0) return fail(err::cmpa11::a11xst, "ERROR IN SUBROUTINE A11XST.");
    }
    if (f07dis<P>().noy > 0) {
        a11yst<P>(a11, e);
        if (e != 0) return fail(err::cmpa11::a11yst, "ERROR IN SUBROUTINE A11YST.");
    }

    // The prescribed membrane forces do not scale with the load factor: their geometric
    // stiffness moves to the left-hand side, A11 - B(Nfix).
    auto& fix = cpfest<P>();
    const int nodes = f07ina<P>().mx * f07ina<P>().my;
    bool loaded = false;
    for (int j = 1; j <= 3 && !loaded; ++j)
        for (int n = 1; n <= nodes && !loaded; ++n) loaded = std::fabs(fix(n, j)) > 1.0e-20f;
    if (loaded) {
        float minus_one = -1.0f;
        cmpbmt<P>(a11, lvtri, fix.pfest, minus_one, e);
        if (e != 0) return fail(err::cmpa11::cmpbmt, "ERROR IN SUBROUTINE CMPBMT.");
    }
}

namespace {

/// One stiffener term coefficient * D1[w] * D2[w]: orders p along and q across the line.
struct LineTerm {
    Orders o1, o2;
};

/// W with W, W with w,ss, w,sn with w,sn, w,ss with w,ss (s along, n across the line).
constexpr LineTerm bending_terms[4] = {
    {{0, 0}, {0, 0}}, {{0, 0}, {2, 0}}, {{1, 1}, {1, 1}}, {{2, 0}, {2, 0}}};

/// Stiffness of the stiffeners of direction xory in A11: per stiffener the coefficients
/// kappa^2 EA, 2 kappa ES, GJ / fa^2 and EI of bending_terms, integrated segment by segment.
/// The across-derivative comes from the cross-derivative freedoms of the line (row 2 of the
/// line map), scaled by the slope scale across the line. Oblique panels would couple torsion
/// and bending (w,sn with w,ss) through a skew factor; that coupling is not modelled.
template <class P>
void bending(const char* xory, const char* routine, double* a11, int& ier) {
    ier = err::ok;
    auto& g = f07ina<P>();
    if (g.ku[1] != 2 || g.ku[2] != 3) {
        header(routine);
        uv_missing();
        ier = err::stiffener::no_uv;
        return;
    }
    Stiffeners st;
    stiffeners<P>(xory, st);
    if (std::string r = check_records<P>(); !r.empty()) {
        header(routine);
        say(r);
        ier = err::stiffener::bad_data;
        return;
    }

    const SymmetricSink sink{a11, comlv<P>().lvtri, man.ix};
    const float fa = f07pd.fa, sab = f07pd.sa * f07pd.sb;
    for (int k = 1; k <= st.count; ++k) {
        const float fq[4] = {st.kappa * st.kappa * st.ea(k), 2.0f * st.kappa * st.s(2, k),
                             st.s(4, k) / (fa * fa), st.s(3, k)};
        if (std::none_of(fq, fq + 4, [](float v) { return std::fabs(v) >= 1.0e-30f; })) continue;
        const int line = st.line[k - 1];
        for (int jj = 1; jj <= st.segments; ++jj) {
            const float len = st.length[jj - 1];
            const float bx[2][4] = {{1.0f, st.along * len, 1.0f, st.along * len},
                                    {st.across, sab * len, st.across, sab * len}};
            LineMap kv;
            if (line_map<P>(st, line, jj, 1, kv) != 0) {
                header(routine);
                kuorkv_failed(line, jj, false);
                ier = err::stiffener::kuorkv;
                return;
            }
            if (!line_fits(kv, 1, 1, kv, 2, 1, sink)) {
                header(routine);
                say(map_outside("STIFFENER LINE, SEGMENT", line, jj, 1));
                ier = err::stiffener::bad_data;
                return;
            }
            for (int m = 0; m < 4; ++m) {
                if (std::fabs(fq[m]) < 1.0e-30f) continue;
                const Orders o1 = bending_terms[m].o1, o2 = bending_terms[m].o2;
                const double f = fq[m] / static_cast<double>(power(len, o1.p + o2.p - 1));
                scatter_line(kv, o1.q + 1, kv, o2.q + 1, sink, [&](int iq, int is) {
                    return f * bx[o1.q][iq - 1] * bx[o2.q][is - 1] * sint(o1.p + 1, iq, o2.p + 1, is);
                });
            }
        }
    }
}

}  // namespace

template <class P>
void a11xst(double* a11, int& ier) {
    bending<P>("X", "A11XST", a11, ier);
}

template <class P>
void a11yst(double* a11, int& ier) {
    bending<P>("Y", "A11YST", a11, ier);
}

#define ZEFT_A11_INST(P)                      \
    template void cmpa11<P>(double*, int&);   \
    template void a11xst<P>(double*, int&);   \
    template void a11yst<P>(double*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_A11_INST)
#undef ZEFT_A11_INST

}  // namespace zeft
