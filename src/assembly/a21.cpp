// Coupling matrix A21 between the W freedoms (columns) and the U, V, BETA, GAMMA freedoms
// (rows): the element terms pairing W with another function, and the stiffeners' curvature
// and eccentricity coupling.
#include <algorithm>
#include <cmath>
#include <string>

#include "assembly/assembly.hpp"
#include "assembly/pattern.hpp"
#include "state/errors.hpp"

namespace zeft {

using namespace assembly;

template <class P>
void cmpa21(double* a21, int& long_bn, int& ier) {
    ier = err::ok;
    const auto fail = [&](int code, std::string_view cause) {
        say("MESSAGE FROM CMPA21:");
        say(cause);
        ier = code;
    };
    if (long_bn != man.iy) return fail(err::cmpa21::rows, "WRONG NUMBER OF ROWS SPECIFIED FOR A21");
    if (std::string r = check_records<P>(); !r.empty()) return fail(err::cmpa21::bad_data, r);

    // Only the block of the numbered freedoms is cleared: rows 1 .. nUV (or the column band)
    // of columns 1 .. nW.
    int outside = 0;
    const CouplingSink sink = coupling_sink<P>(a21, &outside);
    const std::ptrdiff_t rows = sink.lo ? sink.ld : man.iy;
    for (int j = 1; j <= man.ix; ++j) std::fill_n(a21 + sink.ld * (j - 1), rows, 0.0);

    if (Status st = assemble_terms<P>(Block::wn, sink))
        return fail(st.kind == Status::bad_data ? err::cmpa21::bad_data : err::cmpa21::iuoriv,
                    st.kind == Status::bad_data ? st.reason : "ERROR IN SUBROUTINE IUORIV");

    int e = 0;
    if (f07dis<P>().nox > 0) {
        a21ast<P>("X", a21, e);
        if (e != 0) return fail(err::cmpa21::a21ast_x, "ERROR IN SUBROUTINE A21AST,X-DIRECTION");
    }
    if (f07dis<P>().noy > 0) {
        a21ast<P>("Y", a21, e);
        if (e != 0) return fail(err::cmpa21::a21ast_y, "ERROR IN SUBROUTINE A21AST,Y-DIRECTION");
    }
    if (outside != 0)
        return fail(err::cmpa21::bad_data, "COUPLING OF NODES THAT SHARE NO SUBDIVISION: THE GRID RECORD AND THE "
                                           "KEY MATRIX DISAGREE");
}

template <class P>
void a21ast(const char* xory, double* a21, int& ier) {
    ier = err::ok;
    auto& g = f07ina<P>();
    const auto fail = [&](int code) { ier = code; };
    if (g.ku[1] != 2 || g.ku[2] != 3) {
        header("A21AST");
        uv_missing();
        return fail(err::stiffener::no_uv);
    }
    Stiffeners st;
    if (!stiffeners<P>(xory, st)) {
        header("A21AST");
        say("INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'");
        return fail(err::stiffener::bad_direction);
    }
    if (std::string r = check_records<P>(); !r.empty()) {
        header("A21AST");
        say(r);
        return fail(err::stiffener::bad_data);
    }

    // Per segment EA kappa * integral of u,s w and ES * integral of u,s w,ss, u the
    // displacement along the stiffener: coefficients 2 EA kappa and 2 ES, of which the
    // coupling sink keeps half. oW is the order of the W derivative along the stiffener.
    int outside = 0;
    const CouplingSink sink = coupling_sink<P>(a21, &outside);
    const int ow[2] = {0, 2};
    for (int k = 1; k <= st.count; ++k) {
        const float fq[2] = {2.0f * st.ea(k) * st.kappa, 2.0f * st.s(2, k)};
        const int line = st.line[k - 1];
        for (int m = 0; m < 2; ++m) {
            if (std::fabs(fq[m]) < 1.0e-30f) continue;
            for (int jj = 1; jj <= st.segments; ++jj) {
                const float len = st.length[jj - 1];
                const double f = fq[m] / static_cast<double>(power(len, ow[m]));
                const float bx[4] = {1.0f, st.along * len, 1.0f, st.along * len};
                LineMap kw, kn;
                int e = line_map<P>(st, line, jj, 1, kw) != 0 ? err::stiffener::kuorkv : 0;
                if (e == 0 && line_map<P>(st, line, jj, st.along_function, kn) != 0) e = err::stiffener::kuorkv_along;
                if (e != 0) {
                    header("A21AST");
                    kuorkv_failed(line, jj, false);
                    return fail(e);
                }
                if (!line_fits(kw, 1, 1, kn, 1, st.along_function, sink)) {
                    header("A21AST");
                    say(map_outside("STIFFENER LINE, SEGMENT", line, jj, st.along_function));
                    return fail(err::stiffener::bad_data);
                }
                scatter_line(kw, 1, kn, 1, sink, [&](int iq, int is) {
                    return f * bx[iq - 1] * bx[is - 1] * sint(ow[m] + 1, iq, 2, is);
                });
                if (outside != 0) {
                    header("A21AST");
                    say(map_outside("STIFFENER LINE, SEGMENT", line, jj, st.along_function));
                    return fail(err::stiffener::bad_data);
                }
            }
        }
    }
}

#define ZEFT_A21_INST(P)                                   \
    template void cmpa21<P>(double*, int&, int&);          \
    template void a21ast<P>(const char*, double*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_A21_INST)
#undef ZEFT_A21_INST

}  // namespace zeft
