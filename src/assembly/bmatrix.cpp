// Geometric stiffness B of the W freedoms produced by a membrane-force field: the panel part
// from the nodal forces Nx, Nxy, Ny and the stiffener part from the axial forces that the same
// field induces in stringers and frames.
#include <cmath>
#include <string>

#include "assembly/assembly.hpp"
#include "assembly/pattern.hpp"
#include "state/errors.hpp"

namespace zeft {

using namespace assembly;

template <class P>
void cmpbmt(double* bmt, int* lv, float* pmem, float& fakt, int& ier) {
    ier = err::ok;
    const auto fail = [&](int code, std::string_view cause) {
        header("CMPBMT");
        say(cause);
        ier = code;
    };
    if (std::string r = check_records<P>(); !r.empty()) return fail(err::cmpbmt::bad_data, r);

    auto& g = f07ina<P>();
    const Mat<float> force{pmem, P::p_nodes};
    const SymmetricSink sink{bmt, lv, man.ix};

    // Term rho: Nx w,x w,x, 2 Nxy w,x w,y, Ny w,y w,y. Inside a subdivision the force varies
    // linearly in x between its values at the two nodes of the lower y-line and is constant
    // in y, so the x-integrals are taken with the weights 1 - xi (start) and xi (end).
    constexpr Orders first[3] = {{1, 0}, {1, 0}, {0, 1}}, second[3] = {{1, 0}, {0, 1}, {0, 1}};
    PartialProducts start, end, sum;
    for (int rho = 1; rho <= 3; ++rho) {
        const Orders o1 = first[rho - 1], o2 = second[rho - 1];
        const float f = rho == 2 ? fakt + fakt : fakt;
        const double g0 = static_cast<double>(f07pd.fa) * f;
        partial_products(start, g0, o1, o2, Weight::start, Weight::start);
        partial_products(start, g0, o1, o2, Weight::start, Weight::end, true);
        partial_products(end, g0, o1, o2, Weight::end, Weight::start);
        partial_products(end, g0, o1, o2, Weight::end, Weight::end, true);

        const Status st = for_each_subdivision<P>([&](Subdivision<P>& s) -> Status {
            const ElementMap *m1 = nullptr, *m2 = nullptr;
            if (Status fault = element_maps(s, 1, 1, sink, m1, m2)) return fault;
            const Scale sc(s.hx, s.hy, o1, o2);
            const double f1 = force(g.leitm(s.iy, s.ix), rho) * sc.d;
            const double f2 = force(g.leitm(s.iy, s.ix + 1), rho) * sc.d;
            if (std::fabs(f1) < 1.0e-25 && std::fabs(f2) < 1.0e-25) return {};
            for (int n = 0; n < 256; ++n) sum.v[n] = start.v[n] * f1 + end.v[n] * f2;
            scatter(sum, sc.b2, 1.0, *m1, *m2, sink);
            return {};
        });
        if (st) return fail(st.kind == Status::bad_data ? err::cmpbmt::bad_data : err::cmpbmt::iuoriv,
                            st.kind == Status::bad_data ? st.reason : "ERROR IN SUBROUTINE IUORIV");
    }

    int e = 0;
    if (f07dis<P>().nox > 0) {
        bmatst<P>("X", bmt, lv, pmem, fakt, e);
        if (e != 0) return fail(err::cmpbmt::bmatst_x, "ERROR IN SUBROUTINE BMATST, X-DIRECTION");
    }
    if (f07dis<P>().noy > 0) {
        bmatst<P>("Y", bmt, lv, pmem, fakt, e);
        if (e != 0) return fail(err::cmpbmt::bmatst_y, "ERROR IN SUBROUTINE BMATST, Y-DIRECTION");
    }
}

namespace {

/// Membrane compliance aij(3, 3) for the axial force of a stiffener at a node on y-line L.
/// A node carries the membrane loads of the stiffness data set of its strip: a stringer on a
/// foot strip carries the foot loads, the skin loads scaled by the foot's stiffness ratio, so
/// its strain follows from the foot's compliance, not from the skin's. The last y-line closes
/// the panel and carries the plain loads of set 1. A set that occurs on no strip (or was not
/// prepared) falls back to the compliance of the first element.
template <class P>
const float* compliance(int yline) {
    const int set = yline < f07ina<P>().my ? stiffcom<P>().elmstf[yline - 1] : 1;
    if ((set == 1 || set == 2) && f07aijs.valid[set - 1]) return f07aijs.aij[set - 1];
    return f07aij.aij;
}

/// Adds fakt (Ip/A) / fa^2 * integral of P(s) (w,sn)^2 over one segment of stiffener k: a
/// compressed open section loses torsional stiffness as its points off the attachment line
/// follow the twist, the counterpart of GJ / fa^2 w,sn^2 in A11. P varies linearly from p0 to
/// p1; w,sn comes from the cross-derivative row of the line map. False when that row leaves
/// the matrix.
bool twist_under_load(const Stiffeners& st, int k, const LineMap& kv, float p0, float p1, float len, float fakt,
                      const SymmetricSink& sink) {
    if (!line_fits(kv, 2, 1, kv, 2, 1, sink)) return false;
    const double sab = static_cast<double>(f07pd.sa) * f07pd.sb, fa = f07pd.fa;
    const double bx[4] = {st.across, sab * len, st.across, sab * len};
    const double f = static_cast<double>(fakt) * st.polar[k - 1] / (fa * fa * len);
    scatter_line(kv, 2, kv, 2, sink, [&](int iq, int is) {
        const double p = static_cast<double>(s1(2, iq, 2, is)) * p0 + static_cast<double>(s2(2, iq, 2, is)) * p1;
        return f * p * bx[iq - 1] * bx[is - 1];
    });
    return true;
}

}  // namespace

template <class P>
float stiffener_force(bool stringer, int yline, float ea, float nx, float nxy, float ny) {
    const float* a = compliance<P>(yline);
    const int row = stringer ? 1 : 2;  // eps_x or eps_y
    const auto aij = [&](int c) { return a[(row - 1) + 3 * (c - 1)]; };
    return ea * (aij(1) * nx + aij(2) * ny + aij(3) * nxy);
}

template <class P>
void bmatst(const char* xory, double* bmt, int* lv, float* pmem, float& fakt, int& ier) {
    ier = err::ok;
    test.stiffx = f07dis<P>().steifx[0];
    Stiffeners st;
    if (!stiffeners<P>(xory, st)) {
        header("BMATST");
        say("INADMISSIBLE FIRST ARGUMENT, NEITHER 'X' NOR 'Y'");
        ier = err::bmatst::bad_direction;
        return;
    }
    const auto fault = [&](std::string_view why) {
        header("BMATST");
        say(why);
        ier = err::bmatst::bad_data;
    };
    if (std::string r = check_records<P>(); !r.empty()) return fault(r);

    auto& g = f07ina<P>();
    const Mat<float> force{pmem, P::p_nodes};
    const SymmetricSink sink{bmt, lv, man.ix};
    const bool stringer = st.dir == 'X';
    const int lines = stringer ? g.my : g.mx;

    for (int k = 1; k <= st.count; ++k) {
        const int line = st.line[k - 1];
        if (line < 1 || line > lines)
            return fault("STIFFENER " + std::to_string(k) + " " + st.name + " ON LINE " + std::to_string(line) +
                         " OUTSIDE THE GRID");
        // Node j of the line and the y-line it lies on.
        const auto node = [&](int j) { return stringer ? g.leitm(line, j) : g.leitm(j, line); };
        for (int j = 1; j <= st.segments + 1; ++j)
            if (node(j) < 1 || node(j) > P::p_nodes)
                return fault("NODE NUMBER " + std::to_string(node(j)) + " OF STIFFENER LINE " +
                             std::to_string(line) + " OUTSIDE 1 .. " + std::to_string(P::p_nodes));

        // Axial force P = EA * strain along the stiffener, the strain from (Nx, Ny, Nxy).
        const float ea = st.ea(k);
        const auto axial = [&](int j) {
            const int n = node(j);
            return stiffener_force<P>(stringer, stringer ? line : j, ea, force(n, 1), force(n, 2), force(n, 3));
        };
        test.pax[1] = axial(1);

        // fakt * integral of P(s) w,s^2 with P linear over each segment.
        for (int jj = 1; jj <= st.segments; ++jj) {
            const float len = st.length[jj - 1];
            const float bx[4] = {1.0f, st.along * len, 1.0f, st.along * len};
            const float fl = fakt / len;
            LineMap kv;
            if (line_map<P>(st, line, jj, 1, kv) != 0) {
                header("BMATST");
                kuorkv_failed(line, jj, false);
                ier = err::bmatst::kuorkv;
                return;
            }
            if (!line_fits(kv, 1, 1, kv, 1, 1, sink)) return fault(map_outside("STIFFENER LINE, SEGMENT", line, jj, 1));
            test.pax[0] = test.pax[1];
            test.pax[1] = axial(jj + 1);
            const float p0 = test.pax[0], p1 = test.pax[1];
            scatter_line(kv, 1, kv, 1, sink, [&](int iq, int is) {
                const float v = (s1(2, iq, 2, is) * p0 + s2(2, iq, 2, is) * p1) * bx[iq - 1] * bx[is - 1] * fl;
                return static_cast<double>(v);
            });
            if (st.polar[k - 1] != 0.0f && !twist_under_load(st, k, kv, p0, p1, len, fakt, sink))
                return fault(map_outside("STIFFENER LINE, SEGMENT", line, jj, 1));
        }
    }
}

#define ZEFT_B_INST(P)                                                          \
    template void cmpbmt<P>(double*, int*, float*, float&, int&);               \
    template void bmatst<P>(const char*, double*, int*, float*, float&, int&);    \
    template float stiffener_force<P>(bool, int, float, float, float, float);
ZEFT_FOR_EACH_SIZE(ZEFT_B_INST)
#undef ZEFT_B_INST

}  // namespace zeft
