// The shared assembly pattern: partial products, subdivision factors, the loop over the
// element terms, the stiffener tables, the record checks and the scale factors.
#include "assembly/pattern.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "assembly/assembly.hpp"
#include "io/format.hpp"
#include "io/units.hpp"

namespace zeft {

namespace assembly {

namespace {

std::string str(long long v) { return std::to_string(v); }

}  // namespace

// ------------------------------------------------------------------------------ messages

void say(std::string_view text) { io::write_record(datran.nwrite, " " + std::string(text)); }

void header(std::string_view routine) {
    io::write_record(datran.nwrite, "");
    say("MESSAGE FROM SUBROUTINE " + std::string(routine) + ":");
}

void kuorkv_failed(int line, int segment, bool gap) {
    io::writef(datran.nwrite, gap ? "(1X,'ERROR RETURN FROM KUORKV, I=',I4,' J=',I4)"
                                  : "(1X,'ERROR RETURN FROM KUORKV, I=',I4,'J=',I4)",
               {line, segment});
}

void uv_missing() {
    say("Using ZEFT with stiffened panels requires functional dofs u,v (2,3).");
    say("Please correct input of KU in NAMELIST SUBDIV");
}

std::string map_outside(const char* what, int line, int segment, int f) {
    return "INDEX MAP OF FUNCTION " + str(f) + " ON " + what + " " + str(line) + "," + str(segment) +
           " LEAVES THE MATRIX (ORDER " + str(order_of(f)) + " OR ITS PROFILE)";
}

// ------------------------------------------------------------------------------ integrals

void partial_products(PartialProducts& P, double f, Orders o1, Orders o2, Weight wx, Weight wy,
                      bool add) {
    const F07pd& pd = f07pd;
    auto b1 = [&](int r, int c) { return static_cast<double>(pd.b1[(r - 1) + 4 * (c - 1)]); };
    double ix[4][4], iy[4][4];  // Ix(c, c'), Iy(r, r')
    for (int k = 1; k <= 4; ++k)
        for (int l = 1; l <= 4; ++l) {
            ix[k - 1][l - 1] = integral(wx, o1.p + 1, k, o2.p + 1, l);
            iy[k - 1][l - 1] = integral(wy, o1.q + 1, k, o2.q + 1, l);
        }
    for (int c2 = 1; c2 <= 4; ++c2)
        for (int r2 = 1; r2 <= 4; ++r2)
            for (int c = 1; c <= 4; ++c)
                for (int r = 1; r <= 4; ++r) {
                    const double v = f * b1(r, c) * b1(r2, c2) * ix[c - 1][c2 - 1] * iy[r - 1][r2 - 1];
                    if (add) P(r, c, r2, c2) += v;
                    else P(r, c, r2, c2) = v;
                }
}

Scale::Scale(float hx, float hy, Orders o1, Orders o2) {
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            b2[r - 1][c - 1] = (r % 2 == 0 ? hy : 1.0f) * (c % 2 == 0 ? hx : 1.0f);
    d = (1.0 / static_cast<double>(power(hy, o1.q + o2.q - 1))) /
        static_cast<double>(power(hx, o1.p + o2.p - 1));
}

// ------------------------------------------------------------------------------ records

template <class P>
std::string check_records() {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    if (g.mx < 0 || g.my < 0 || g.mx > P::p_rtnds || g.my > P::p_rtnds)
        return "INCONSISTENT GRID: MX=" + str(g.mx) + " MY=" + str(g.my) + " OUTSIDE 0 .. " + str(P::p_rtnds);
    const auto lengths = [](const char* name, const float* v, int n) -> std::string {
        for (int i = 1; i <= n; ++i)
            if (!(std::isfinite(v[i - 1]) && v[i - 1] > 0.0f))
                return std::string("SUBDIVISION LENGTH ") + name + "(" + str(i) + ") IS NOT A POSITIVE NUMBER";
        return "";
    };
    if (std::string r = lengths("A", g.a, g.mx - 1); !r.empty()) return r;
    if (std::string r = lengths("B", g.b, g.my - 1); !r.empty()) return r;
    if (g.knfun < 0 || g.knfun > 5) return "NUMBER OF FUNCTIONS KNFUN=" + str(g.knfun) + " OUTSIDE 0 .. 5";
    if (man.ix < 0 || man.ix > P::p_nx || man.iy < 0 || man.iy > P::p_ny)
        return "FREEDOM COUNTS IX=" + str(man.ix) + " IY=" + str(man.iy) + " OUTSIDE THE SIZE PRESET";
    if (d.nox < 0 || d.nox > P::p_stf || d.noy < 0 || d.noy > P::p_stf)
        return "STIFFENER COUNTS NOX=" + str(d.nox) + " NOY=" + str(d.noy) + " OUTSIDE 0 .. " + str(P::p_stf);
    return "";
}

template <class P>
bool stiffeners(const char* xory, Stiffeners& st) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    if (xory[0] == 'X') {
        st = {'X', d.nox, d.istx, d.steifx, d.domx, stftor<P>().ipax, g.mx - 1, g.a, f07pd.sa, f07pd.sb, 2, f01eps.f(1, 2), "X"};
        return true;
    }
    if (xory[0] == 'Y') {
        st = {'Y', d.noy, d.isty, d.steify, d.domy, stftor<P>().ipay, g.my - 1, g.b, f07pd.sb, f07pd.sa, 3, f01eps.f(2, 2), "Y"};
        return true;
    }
    return false;
}

// ------------------------------------------------------------------------------ element terms

template <class P, class Sink>
Status assemble_terms(Block block, const Sink& sink) {
    auto& g = f07ina<P>();
    auto& q = f01qua<P>();
    const double fa = f07pd.fa;
    const auto active = [&](int f) {
        for (int k = 1; k <= g.knfun; ++k)
            if (g.ku[k - 1] == f) return true;
        return false;
    };

    return for_each_subdivision<P>([&](Subdivision<P>& s) -> Status {
        const int nt = q.ikt[s.e - 1];
        if (nt > P::p_itrm)
            return Status::fault("ELEMENT " + str(s.e) + " HAS " + str(nt) + " QUADRATIC-FORM TERMS, MORE THAN " +
                                 str(P::p_itrm));
        PartialProducts pp;
        for (int t = 1; t <= nt; ++t) {
            const int pair = q.k(t, 3, s.e);
            int f1 = pair / 10, f2 = pair % 10;
            int code1 = q.k(t, 1, s.e), code2 = q.k(t, 2, s.e);
            switch (block) {
                case Block::ww:
                    if (f1 != 1 || f2 != 1) continue;
                    break;
                case Block::nn:
                    if (!(active(f1) && active(f2) && pair > 19 && f2 > 1)) continue;
                    break;
                case Block::wn:
                    if (!(active(f1) && active(f2)) || (f1 == 1) == (f2 == 1)) continue;
                    if (f2 == 1) {  // W becomes the first factor
                        std::swap(f1, f2);
                        std::swap(code1, code2);
                    }
                    break;
            }
            const double f = static_cast<double>(q.f(t, s.e)) * fa;
            if (std::fabs(f) < 1.0e-20) continue;
            const Orders o1 = orders_of(code1), o2 = orders_of(code2);
            if (!tabulated(o1) || !tabulated(o2))
                return Status::fault("TERM " + str(t) + " OF ELEMENT " + str(s.e) + ": DERIVATIVE CODES " +
                                     str(q.k(t, 1, s.e)) + ", " + str(q.k(t, 2, s.e)) +
                                     " OUTSIDE THE INTEGRAL TABLES");
            const ElementMap *m1 = nullptr, *m2 = nullptr;
            if (Status st = element_maps(s, f1, f2, sink, m1, m2)) return st;
            partial_products(pp, f, o1, o2);
            const Scale sc(s.hx, s.hy, o1, o2);
            scatter(pp, sc.b2, sc.d, *m1, *m2, sink);
        }
        return {};
    });
}

}  // namespace assembly

// ------------------------------------------------------------------------------ scale factors

template <class P>
void set_scale_factors() {
    auto& g = f07ina<P>();
    const float pi = 3.1415927f;
    float lx = 0.0f, ly = 0.0f;
    for (int k = 1; k <= std::min(g.mx, P::p_rtnds) - 1; ++k) lx += g.a[k - 1];
    for (int k = 1; k <= std::min(g.my, P::p_rtnds) - 1; ++k) ly += g.b[k - 1];
    F07pd& pd = f07pd;
    pd.sa = lx > 0.0f ? pi / lx : 0.0f;
    pd.sb = ly > 0.0f ? pi / ly : 0.0f;
    pd.fa = std::cos(f07ang.alfax - f07ang.alfay);
    for (int r = 1; r <= 4; ++r) {
        pd.b1m(r, 1) = pd.b1m(r, 3) = r % 2 == 0 ? pd.sb : 1.0f;
        pd.b1m(r, 2) = pd.b1m(r, 4) = r % 2 == 0 ? pd.sa * pd.sb : pd.sa;
    }
}

#define ZEFT_PATTERN_INST(P)                                                                        \
    template void set_scale_factors<P>();                                                           \
    template std::string assembly::check_records<P>();                                              \
    template bool assembly::stiffeners<P>(const char*, assembly::Stiffeners&);                      \
    template assembly::Status assembly::assemble_terms<P, assembly::SymmetricSink>(                 \
        assembly::Block, const assembly::SymmetricSink&);                                           \
    template assembly::Status assembly::assemble_terms<P, assembly::CouplingSink>(                  \
        assembly::Block, const assembly::CouplingSink&);
ZEFT_FOR_EACH_SIZE(ZEFT_PATTERN_INST)
#undef ZEFT_PATTERN_INST

}  // namespace zeft
