// In-plane matrix A22: the element terms among U, V, BETA, GAMMA and the axial stiffness of
// the stiffeners.
#include <algorithm>
#include <cmath>
#include <string>

#include "assembly/assembly.hpp"
#include "assembly/pattern.hpp"
#include "state/errors.hpp"

namespace zeft {

using namespace assembly;

template <class P>
void cmpa22(double* a22, int& ier) {
    ier = err::ok;
    const auto fail = [&](int code, std::string_view cause) {
        say("MESSAGE FROM SUBROUTINE A22:");
        say(cause);
        ier = code;
    };
    if (std::string r = check_records<P>(); !r.empty()) return fail(err::cmpa22::bad_data, r);

    const SymmetricSink sink{a22, comlv<P>().lva22, man.iy};
    if (sink.n > 0) std::fill(a22, a22 + std::max(0, sink.lv[sink.n - 1]) + sink.n, 0.0);

    if (Status st = assemble_terms<P>(Block::nn, sink)) {
        switch (st.kind) {
            case Status::first_map: return fail(err::cmpa22::iuoriv_first, "ERROR IN SUBROUTINE IUORIV");
            case Status::second_map: return fail(err::cmpa22::iuoriv_second, "ERROR IN SUBROUTINE IUORIV");
            default: return fail(err::cmpa22::bad_data, st.reason);
        }
    }

    int e = 0;
    if (f07dis<P>().nox > 0) {
        a22ast<P>("X", a22, e);
        if (e != 0) return fail(err::cmpa22::a22ast_x, "ERROR IN SUBROUTINE A22AST, X-DIRECTION");
    }
    if (f07dis<P>().noy > 0) {
        a22ast<P>("Y", a22, e);
        if (e != 0) return fail(err::cmpa22::a22ast_y, "ERROR IN SUBROUTINE A22AST, YX-DIRECTION");
    }
}

template <class P>
void a22ast(const char* xory, double* a22, int& ier) {
    ier = err::ok;
    auto& g = f07ina<P>();
    if (g.ku[1] != 2 || g.ku[2] != 3) {
        header("A22AST");
        uv_missing();
        ier = err::stiffener::no_uv;
        return;
    }
    Stiffeners st;
    if (!stiffeners<P>(xory, st)) {
        header("A22AST");
        say("INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'");
        ier = err::stiffener::bad_direction;
        return;
    }
    if (std::string r = check_records<P>(); !r.empty()) {
        header("A22AST");
        say(r);
        ier = err::stiffener::bad_data;
        return;
    }

    // EA * integral of u,s^2 over each segment, u the displacement along the stiffener.
    const SymmetricSink sink{a22, comlv<P>().lva22, man.iy};
    for (int k = 1; k <= st.count; ++k) {
        const float ea = st.ea(k);
        if (std::fabs(ea) < 1.0e-30f) continue;
        const int line = st.line[k - 1];
        for (int jj = 1; jj <= st.segments; ++jj) {
            const float len = st.length[jj - 1];
            const float bx[4] = {1.0f, st.along * len, 1.0f, st.along * len};
            const double fe = ea / len;
            LineMap kv;
            if (line_map<P>(st, line, jj, st.along_function, kv) != 0) {
                header("A22AST");
                kuorkv_failed(line, jj, true);
                ier = err::stiffener::kuorkv;
                return;
            }
            if (!line_fits(kv, 1, st.along_function, kv, 1, st.along_function, sink)) {
                header("A22AST");
                say(map_outside("STIFFENER LINE, SEGMENT", line, jj, st.along_function));
                ier = err::stiffener::bad_data;
                return;
            }
            scatter_line(kv, 1, kv, 1, sink, [&](int q, int q2) {
                return fe * bx[q - 1] * bx[q2 - 1] * sint(2, q, 2, q2);
            });
        }
    }
}

#define ZEFT_A22_INST(P)                              \
    template void cmpa22<P>(double*, int&);           \
    template void a22ast<P>(const char*, double*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_A22_INST)
#undef ZEFT_A22_INST

}  // namespace zeft
