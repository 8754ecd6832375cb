// Mass matrix M of the W freedoms for the vibration analysis: the skin's mass per unit area
// and the stiffeners' mass per unit length.
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
void cmpmmt(double* mmt, int* lv, int& ier) {
    ier = err::ok;
    const auto fail = [&](int code, std::string_view cause) {
        io::write_record(datran.nwrite, "");
        say("MESSAGE FROM SUBROUTINE CMPMMT: ");
        say(cause);
        ier = code;
    };
    if (std::string r = check_records<P>(); !r.empty()) return fail(err::cmpmmt::bad_data, r);

    const SymmetricSink sink{mmt, lv, man.ix};
    const std::ptrdiff_t stored = sink.n > 0 ? std::max(0, lv[sink.n - 1]) + sink.n : 0;
    std::fill(mmt, mmt + stored, 0.0);

    // dom * fa * integral of w w over each subdivision: one term of orders zero.
    constexpr Orders value{0, 0};
    PartialProducts pp;
    partial_products(pp, static_cast<double>(densit.dom * f07pd.fa), value, value);
    const Status st = for_each_subdivision<P>([&](Subdivision<P>& s) -> Status {
        const ElementMap *m1 = nullptr, *m2 = nullptr;
        if (Status fault = element_maps(s, 1, 1, sink, m1, m2)) return fault;
        const Scale sc(s.hx, s.hy, value, value);
        scatter(pp, sc.b2, sc.d, *m1, *m2, sink);
        return {};
    });
    if (st) return fail(st.kind == Status::bad_data ? err::cmpmmt::bad_data : err::cmpmmt::iuoriv,
                        st.kind == Status::bad_data ? st.reason : "ERROR IN SUBROUTINE IUORIV.");

    int e = 0;
    if (f07dis<P>().nox > 0) {
        mmtst<P>("X", mmt, e);
        if (e != 0) return fail(err::cmpmmt::mmtst_x, "ERROR IN SUBROUTINE MMTST. DIRECTION: X");
    }
    if (f07dis<P>().noy > 0) {
        mmtst<P>("Y", mmt, e);
        if (e != 0) return fail(err::cmpmmt::mmtst_y, "ERROR IN SUBROUTINE MMTST. DIRECTION: Y");
    }

    // The frequencies are eigenvalues relative to M: a matrix without any mass has none.
    if (stored > 0 && std::all_of(mmt, mmt + stored, [](double v) { return v == 0.0; }))
        return fail(err::cmpmmt::zero_mass, "MASS MATRIX IS ZERO: NEITHER SKIN NOR STIFFENERS CARRY MASS");
}

template <class P>
void mmtst(const char* xory, double* mmt, int& ier) {
    ier = err::ok;
    Stiffeners st;
    if (!stiffeners<P>(xory, st)) {
        header("MMTST");
        say("INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'");
        ier = err::mmtst::bad_direction;
        return;
    }
    if (std::string r = check_records<P>(); !r.empty()) {
        header("MMTST");
        say(r);
        ier = err::mmtst::bad_data;
        return;
    }

    // Mass per unit length times the integral of w w along each segment.
    const SymmetricSink sink{mmt, comlv<P>().lvb, man.ix};
    for (int k = 1; k <= st.count; ++k) {
        const float mass = st.mass[k - 1];
        if (std::fabs(mass) < 1.0e-30f) continue;
        const int line = st.line[k - 1];
        for (int jj = 1; jj <= st.segments; ++jj) {
            const float ra = st.length[jj - 1];
            const float b11 = f07pd.b1[0];  // b1(1, 1): the value functions are not scaled
            const float bx[4] = {b11, st.along * ra, b11, st.along * ra};
            const double f = ra * mass;
            LineMap kv;
            if (line_map<P>(st, line, jj, 1, kv) != 0) {
                header("MMTST");
                kuorkv_failed(line, jj, true);
                ier = err::mmtst::kuorkv;
                return;
            }
            if (!line_fits(kv, 1, 1, kv, 1, 1, sink)) {
                header("MMTST");
                say(map_outside("STIFFENER LINE, SEGMENT", line, jj, 1));
                ier = err::mmtst::bad_data;
                return;
            }
            scatter_line(kv, 1, kv, 1, sink, [&](int q, int i) {
                return static_cast<double>(sint(1, q, 1, i)) * bx[q - 1] * bx[i - 1] * f;
            });
        }
    }
}

#define ZEFT_MASS_INST(P)                                \
    template void cmpmmt<P>(double*, int*, int&);        \
    template void mmtst<P>(const char*, double*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_MASS_INST)
#undef ZEFT_MASS_INST

}  // namespace zeft
