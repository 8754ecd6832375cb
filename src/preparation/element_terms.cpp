// Element stiffness terms: the 9x9 and 2x2 coefficient matrices of every element, their skew
// transformation, and the quadratic-form terms derived from them.
#include "preparation/element_terms.hpp"

#include <cmath>
#include <string>

#include "io/units.hpp"
#include "state/array.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Coefficients and angles of magnitude up to this count as zero.
constexpr float tiny = 1.0E-31f;

/// Position of entry (m, n), m <= n, of the 9x9 upper triangle stored row by row.
constexpr int cpos(int m, int n) { return (18 - m) * (m - 1) / 2 + n; }

/// Position of entry (l, m) of a symmetric 3x3 packed 11, 12, 22, 13, 23, 33.
constexpr int packed(int l, int m) {
    const int lo = l < m ? l : m, hi = l < m ? m : l;
    return hi * (hi - 1) / 2 + lo;
}

/// Position of entry (l, m) of a symmetric 3x3 in row order 11, 12, 13, 22, 23, 33.
constexpr int row_order(int l, int m) {
    const int lo = l < m ? l : m, hi = l < m ? m : l;
    return (6 - lo) * (lo - 1) / 2 + hi;
}

/// Number of elements of the current grid; -1, after a message block naming the routine on
/// the listing (and on standard output when `echo`), when mx or my lie outside 2 .. p_rtnds.
template <class P>
int element_count(const char* routine, bool echo = false) {
    const auto& g = f07ina<P>();
    if (g.mx >= 2 && g.mx <= P::p_rtnds && g.my >= 2 && g.my <= P::p_rtnds)
        return (g.mx - 1) * (g.my - 1);
    const std::string form = std::string("(1X,'MESSAGE FROM SUBROUTINE ") + routine +
                             ":'/1X,'SUBDIVISION LINES OUTSIDE 2 ..',I3,':  MX =',I6,'  MY =',I6)";
    io::writef(datran.nwrite, form, {P::p_rtnds, g.mx, g.my});
    if (echo) io::writef(io::stdout_unit, form, {P::p_rtnds, g.mx, g.my});
    return -1;
}

/// v = trm * block, block a packed 6-vector; v in row order.
void transform(const float* trm, const float* block, float* v) {
    const Mat<const float> t{trm, 6};
    for (int i = 1; i <= 6; ++i) {
        float s = 0.0f;
        for (int j = 1; j <= 6; ++j) s += t(i, j) * block[j - 1];
        v[i - 1] = s;
    }
}

/// Inverse of a radius of curvature; radii of magnitude 1.0E29 or more stand for a flat shell.
float inverse_radius(float r) { return std::fabs(r) < 1.0E29f ? 1.0f / r : 0.0f; }

}  // namespace

// ------------------------------------------------------------------------------ f01ktf

template <class P>
void f01ktf(float* c, float* ch, float* bb, float* dd, float* bd, float* rr, float* dr,
            float* br, float* ss) {
    const int nelm = element_count<P>("F01KTF");
    if (nelm < 0) return;
    for (int e = 1; e <= nelm; ++e) {
        const float* blocks[3][3] = {{bb, bd, br}, {bd, dd, dr}, {br, dr, rr}};
        float* ce = c + 45 * (e - 1);
        for (int m = 1; m <= 9; ++m)
            for (int n = m; n <= 9; ++n) {
                const float* blk = blocks[(m - 1) / 3][(n - 1) / 3] + 6 * (e - 1);
                ce[cpos(m, n) - 1] = blk[packed((m - 1) % 3 + 1, (n - 1) % 3 + 1) - 1];
            }
        for (int i = 0; i < 3; ++i) ch[3 * (e - 1) + i] = ss[3 * (e - 1) + i];
    }
}

// ------------------------------------------------------------------------------ tminc

template <class P>
void tminc(float& cp, float* trm, float* ch, float& rx, float& ry, float& rxy, float* ss) {
    const float cd = std::cos(cp);
    const float cd2 = cd * cd, cd4 = cd2 * cd2;
    const float q = 1.0f / cd4;
    if (!std::isfinite(q)) {
        // The skew axes coincide: no transformation exists.
        const char* form = "(1X,'MESSAGE FROM SUBROUTINE TMINC:'/1X,'SINGULAR SKEW TRANSFORMATION,"
                           " COS(ALFAX-ALFAY) =',E12.4)";
        io::writef(datran.nwrite, form, {cd});
        return;
    }
    const int nelm = element_count<P>("TMINC");
    if (nelm < 0) return;

    const float ax = f07ang.alfax, ay = f07ang.alfay;
    const float cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay);
    const float c12 = std::cos(ax + ay);
    const float cx2 = cx * cx, sx2 = sx * sx, cy2 = cy * cy, sy2 = sy * sy;

    // The skew coordinates have the gradients g1 = (cy, sy)/cd and g2 = (-sx, cx)/cd; their
    // axes X', Y' point along a1 = (cx, sx) and a2 = (-sy, cy) (g_i . a_j = delta_ij).
    // BETA and GAMMA are the transverse shear strains referred to the skew axes as covariant
    // components, beta' = gamma . a1, gamma' = gamma . a2, exactly as U, V and the rotation
    // gradients of the third strain group are; hence gamma = G gamma' with G = [g1 g2], and
    // the shear stiffness transforms as the tensor CH = G^T S G. In the coupling entry
    // g1^T S g2 the factor of ss(2) is cy cx - sy sx = c12, in g2^T S g2 it is -2 cx sx.
    // At zero angles CH = S, as it must.
    const float t2 = c12, t3 = -2.0f * cx * sx;
    for (int e = 1; e <= nelm; ++e) {
        const float s1 = ss[3 * (e - 1)], s2 = ss[3 * (e - 1) + 1], s3 = ss[3 * (e - 1) + 2];
        float* h = ch + 3 * (e - 1);
        h[0] = (cy2 * s1 + 2.0f * cy * sy * s2 + sy2 * s3) / cd2;
        h[1] = (-cy * sx * s1 + t2 * s2 + sy * cx * s3) / cd2;
        h[2] = (sx2 * s1 + t3 * s2 + cx2 * s3) / cd2;
    }
    cp = cd4;

    // C' = T^T C T for the strain transformation eps = T eps', T built from g1 and g2:
    // row r of this table is the packed block entry r of C' (row order) in terms of the
    // packed entries 11, 12, 22, 13, 23, 33 of C.
    const float table[6][6] = {
        {cy2 * cy2, 2.0f * cy2 * sy2, sy2 * sy2, 4.0f * cy2 * cy * sy, 4.0f * cy * sy2 * sy,
         4.0f * cy2 * sy2},
        {cy2 * sx2, sx2 * sy2 + cx2 * cy2, sy2 * cx2, -2.0f * cy * sx * c12, 2.0f * sy * cx * c12,
         -4.0f * cx * sx * cy * sy},
        {-cy2 * cy * sx, c12 * cy * sy, sy2 * sy * cx, (c12 - 2.0f * sy * sx) * cy2,
         (2.0f * cx * cy + c12) * sy2, 2.0f * c12 * cy * sy},
        {sx2 * sx2, 2.0f * cx2 * sx2, cx2 * cx2, -4.0f * cx * sx2 * sx, -4.0f * cx2 * cx * sx,
         4.0f * cx2 * sx2},
        {-cy * sx2 * sx, -c12 * cx * sx, sy * cx2 * cx, (2.0f * cx * cy + c12) * sx2,
         (c12 - 2.0f * sy * sx) * cx2, -2.0f * c12 * cx * sx},
        {cy2 * sx2, -2.0f * cx * sx * cy * sy, sy2 * cx2, -2.0f * cy * sx * c12,
         2.0f * sy * cx * c12, c12 * c12},
    };
    const Mat<float> t{trm, 6};
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) t(i, j) = table[i - 1][j - 1] * q;

    // Curvatures are covariant like the membrane strains: kappa'_ij = a_i^T kappa a_j.
    const float rxo = rx, ryo = ry, rxyo = rxy;
    ry = cy2 * ryo + sy2 * rxo - 2.0f * cy * sy * rxyo;
    rx = cx2 * rxo + 2.0f * cx * sx * rxyo + sx2 * ryo;
    rxy = c12 * rxyo - sy * cx * rxo + cy * sx * ryo;
}

// ------------------------------------------------------------------------------ tczinc

template <class P>
void tczinc(float* trm, float* c, float* bb, int& d, int& k, int& ks, int& ielm) {
    float v[6];
    transform(trm, bb + 6 * (ielm - 1), v);
    float* ce = c + 45 * (ielm - 1);  // ce[p - 1] is c(p, ielm)
    if (d) {
        // Diagonal block: the upper triangle, rows of 3, 2 and 1 values.
        int next = 0;
        for (int l = 1; l <= 3; ++l) {
            k += ks;
            for (int m = 1; m <= 4 - l; ++m) ce[k + m - 1] = v[next++];
            k += 4 - l;
        }
    } else {
        // Off-diagonal block: three full rows of the symmetric block.
        for (int l = 1; l <= 3; ++l) {
            for (int m = 1; m <= 3; ++m) ce[k + m - 1] = v[row_order(l, m) - 1];
            ks -= 1;
            k += 3 + ks;
        }
    }
}

// ------------------------------------------------------------------------------ tfmstf

template <class P>
void tfmstf(float* c, float* ch, float* bb, float* dd, float* bd, float* rr, float* dr,
            float* br, float* ss, int& ier) {
    ier = err::ok;
    const int nelm = element_count<P>("TFMSTF", true);
    if (nelm < 0) {
        ier = err::tfmstf::bad_grid;
        return;
    }
    for (int i = 0; i < 45 * nelm; ++i) c[i] = 0.0f;

    float rxt = inverse_radius(f07inb.rx), ryt = inverse_radius(f07inb.ry),
          rxyt = inverse_radius(f07inb.rxy);
    if (!std::isfinite(rxt) || !std::isfinite(ryt) || !std::isfinite(rxyt)) {
        // A vanishing radius would put an infinite curvature into the membrane strains.
        const char* form = "(1X,'MESSAGE FROM SUBROUTINE TFMSTF:'/1X,'RADIUS OF CURVATURE ZERO:"
                           "  RX, RY, RXY =',3E12.4)";
        io::writef(datran.nwrite, form, {f07inb.rx, f07inb.ry, f07inb.rxy});
        io::writef(io::stdout_unit, form, {f07inb.rx, f07inb.ry, f07inb.rxy});
        ier = err::tfmstf::zero_radius;
        return;
    }

    const auto set_curvatures = [&] {
        f01eps.f(1, 2) = -rxt;
        f01eps.f(2, 2) = -ryt;
        f01eps.f(3, 3) = -2.0f * rxyt;
    };

    if (std::fabs(f07ang.alfax) <= tiny && std::fabs(f07ang.alfay) <= tiny) {
        f01ktf<P>(c, ch, bb, dd, bd, rr, dr, br, ss);
        set_curvatures();
        return;
    }

    float cp = f07ang.alfax - f07ang.alfay;
    if (std::fabs(std::cos(cp)) < 0.2f) {
        const char* form = "(1X,'MESSAGE FROM SUBROUTINE TFMSTF:'/' DEGENERATE ELEMENT SHAPE')";
        io::writef(datran.nwrite, form);
        io::writef(io::stdout_unit, form);
        ier = err::tfmstf::degenerate;
        return;
    }

    float trm[36];
    tminc<P>(cp, trm, ch, rxt, ryt, rxyt, ss);
    set_curvatures();

    for (int e = 1; e <= nelm; ++e) {
        float v[6];
        transform(trm, rr + 6 * (e - 1), v);
        for (int i = 0; i < 6; ++i) c[45 * (e - 1) + cpos(7, 7) - 1 + i] = v[i];
    }

    // Positions and row skips that put each block into its place of the 9x9 triangle.
    struct Block { float* data; int diagonal, k, ks; };
    const Block blocks[5] = {{bb, 1, -6, 6}, {dd, 1, 21, 3}, {bd, 0, 3, 6}, {br, 0, 6, 6}, {dr, 0, 27, 3}};
    for (int e = 1; e <= nelm; ++e)
        for (const Block& b : blocks) {
            int d = b.diagonal, k = b.k, ks = b.ks, ielm = e;
            tczinc<P>(trm, c, b.data, d, k, ks, ielm);
        }
}

// ------------------------------------------------------------------------------ f01kbf

template <class P>
void f01kbf(float* c, float* ch) {
    const int nelm = element_count<P>("F01KBF");
    if (nelm < 0) return;
    auto& tab = f01qua<P>();

    for (int e = 1; e <= nelm; ++e) {
        const float* ce = c + 45 * (e - 1);
        const float* he = ch + 3 * (e - 1);
        int n = 0;
        bool full = false;
        const auto add = [&](float coef, int k1, int k2) {
            if (n == P::p_itrm) {
                if (!full)
                    io::writef(datran.nwrite,
                               "(1X,'MESSAGE FROM SUBROUTINE F01KBF:'/1X,'ELEMENT',I5,' HAS MORE THAN',"
                               "I4,' STIFFNESS TERMS; THE FURTHER TERMS ARE DROPPED')",
                               {e, P::p_itrm});
                full = true;
                return;
            }
            ++n;
            tab.f(n, e) = coef;
            tab.k(n, 1, e) = k1;
            tab.k(n, 2, e) = k2;
            tab.k(n, 3, e) = 10 * (k1 / 100) + k2 / 100;
        };

        // Membrane, bending and rotation-gradient strains with the 9x9 matrix.
        for (int i = 1; i <= 9; ++i)
            for (int j = 1; j <= 9; ++j) {
                const float cij = ce[cpos(i < j ? i : j, i < j ? j : i) - 1];
                if (std::fabs(cij) <= tiny) continue;
                for (int a = 1; a <= 3; ++a) {
                    const float fa = f01eps.f(i, a);
                    if (std::fabs(fa) <= tiny) continue;
                    for (int b = 1; b <= 3; ++b) {
                        const float fb = f01eps.f(j, b);
                        if (std::fabs(fb) <= tiny) continue;
                        add(fb * (fa * cij), f01eps.k(i, a), f01eps.k(j, b));
                    }
                }
            }

        // Transverse shear strains with the 2x2 matrix.
        for (int i = 10; i <= 11; ++i)
            for (int j = 10; j <= 11; ++j) {
                const float h = he[i + j - 20];  // (10,10) -> 11, (10,11), (11,10) -> 12, (11,11) -> 22
                if (std::fabs(h) <= tiny) continue;
                for (int b = 1; b <= 3; ++b) {
                    const float fb = f01eps.f(j, b);
                    if (std::fabs(fb) <= tiny) continue;
                    for (int a = 1; a <= 3; ++a) {
                        const float fa = f01eps.f(i, a);
                        if (std::fabs(fa) <= tiny) continue;
                        add(fa * (fb * h), f01eps.k(j, b), f01eps.k(i, a));
                    }
                }
            }
        tab.ikt[e - 1] = n;
    }
}

// ------------------------------------------------------------------------------ redfkq

template <class P>
void redfkq() {
    const int nelm = element_count<P>("REDFKQ");
    if (nelm < 0) return;
    auto& tab = f01qua<P>();

    for (int e = 1; e <= nelm; ++e) {
        int n = tab.ikt[e - 1];
        if (n <= 1) continue;
        if (n > P::p_itrm) {
            io::writef(datran.nwrite,
                       "(1X,'MESSAGE FROM SUBROUTINE REDFKQ:'/1X,'ELEMENT',I5,' CLAIMS',I11,"
                       "' TERMS, MORE THAN',I4,'; LEFT UNMERGED')",
                       {e, n, P::p_itrm});
            continue;
        }
        for (int i = 1; i <= n; ++i) {
            const int k1 = tab.k(i, 1, e), k2 = tab.k(i, 2, e);
            int j = i + 1;
            while (j <= n) {
                const int l1 = tab.k(j, 1, e), l2 = tab.k(j, 2, e);
                if (!((l1 == k1 && l2 == k2) || (l1 == k2 && l2 == k1))) {
                    ++j;
                    continue;
                }
                // Fold term j into term i and close the gap; the term moving into slot j is
                // compared next.
                tab.f(i, e) += tab.f(j, e);
                for (int m = j; m < n; ++m) {
                    tab.f(m, e) = tab.f(m + 1, e);
                    for (int l = 1; l <= 3; ++l) tab.k(m, l, e) = tab.k(m + 1, l, e);
                }
                tab.f(n, e) = 0.0f;
                for (int l = 1; l <= 3; ++l) tab.k(n, l, e) = 0;
                --n;
            }
        }
        tab.ikt[e - 1] = n;
    }
}

#define INST(P)                                                                                \
    template void tfmstf<P>(float*, float*, float*, float*, float*, float*, float*, float*,   \
                            float*, int&);                                                     \
    template void f01ktf<P>(float*, float*, float*, float*, float*, float*, float*, float*,   \
                            float*);                                                           \
    template void tminc<P>(float&, float*, float*, float&, float&, float&, float*);            \
    template void tczinc<P>(float*, float*, float*, int&, int&, int&, int&);                   \
    template void f01kbf<P>(float*, float*);                                                   \
    template void redfkq<P>();
ZEFT_FOR_EACH_SIZE(INST)
#undef INST

}  // namespace zeft
