// Stringer crippling (open and hat stringers) and global buckling of the stiffened panel.
#include "results/stringer_checks.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "io/units.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

constexpr float pi = 3.1415927f;

/// Refuses a check: message block in the listing, ier = 12.
void refuse(const char* routine_header, const char* reason, int& ier) {
    io::writef(datran.nwrite, routine_header);
    io::writef(datran.nwrite, "(1X,A)", {reason});
    ier = err::crippling::bad_input;
}

}  // namespace

// ---------------------------------------------------------------- crippling

void cripplingt(int& ier) {
    constexpr const char* header = "(1X,'MESSAGE FROM SUBROUTINE CRIPPLINGT:')";
    Stringercom& s = stringercom;
    ier = err::ok;

    const float d11d22 = s.ddst[0] * s.ddst[2];
    if (s.webheight == 0.0f) return refuse(header, "WEB HEIGHT IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);
    if (s.webth == 0.0f) return refuse(header, "WEB THICKNESS IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);
    if (test.stiffx == 0.0f)
        return refuse(header, "AXIAL STIFFNESS OF THE STRINGER IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);
    if (!(d11d22 > 0.0f))
        return refuse(header, "WALL STIFFNESS D11*D22 IS NOT POSITIVE, NO CRIPPLING FORCE COMPUTED", ier);
    const float aweb = s.webheight * s.webth;
    const float astr = s.footwidth * s.footth + aweb;
    if (astr == 0.0f) return refuse(header, "STRINGER AREA IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);

    // Web buckling coefficient. The web is a long plate strip, simply supported on the foot
    // and free along its top edge. Its buckling mode is a rotation of the cross-section about
    // the supported edge, w = y sin(pi x/L) (y across the web); the energy method gives
    //   N = pi^2 D11 / L^2 + 12 D66 / h^2,
    // which for a long web (L >> h) tends to N = 12 D66 / h^2, the torsional buckling load of
    // a flange. Written in the strip form N = (pi/h)^2 k eta this is
    //   k = 12 D66 / (pi^2 sqrt(D11 D22)),
    // reducing for an isotropic wall to k = 6 (1 - nu) / pi^2 = 0.425 at nu = 0.3 (0.456 at
    // nu = 0.25). Reference: S. P. Timoshenko, J. M. Gere, Theory of Elastic Stability,
    // 2nd ed., McGraw-Hill 1961, ch. 9 (plate simply supported on three edges, the fourth
    // edge free); the orthotropic form as in S. G. Lekhnitskii, Anisotropic Plates, Gordon and
    // Breach 1968. Neglecting the pi^2 D11 / L^2 term keeps the result on the safe side.
    const float eta = std::sqrt(d11d22);
    const float k = 12.0f * s.ddst[5] / (pi * pi * eta);

    const float q = pi / s.webheight;
    const float nweb = q * q * k * eta;
    const float fweb = nweb * s.webheight;

    test.epsweb = fweb / ((aweb / astr) * test.stiffx);
    test.sigmweb = nweb / s.webth;

    io::writef(datran.nwrite, "(//1X,' CRIPPLING FORCE:'/E20.5)", {fweb});
}

void cripplingo(int& ier) {
    constexpr const char* header = "(1X,'MESSAGE FROM SUBROUTINE CRIPPLINGO:')";
    Stringercom& s = stringercom;
    ier = err::ok;

    const float d11d22 = s.ddst[0] * s.ddst[2];
    const float cos_half = std::cos(0.5f * s.alpha * pi / 180.0f);
    if (s.webheight == 0.0f) return refuse(header, "WEB HEIGHT IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);
    if (s.chordwidth == 0.0f) return refuse(header, "CHORD WIDTH IS ZERO, NO CRIPPLING FORCE COMPUTED", ier);
    if (!(d11d22 > 0.0f))
        return refuse(header, "WALL STIFFNESS D11*D22 IS NOT POSITIVE, NO CRIPPLING FORCE COMPUTED", ier);
    if (!(cos_half > 0.0f))
        return refuse(header, "WEB ANGLE ALPHA MUST LIE BETWEEN -180 AND 180 DEGREES, NO CRIPPLING FORCE COMPUTED",
                      ier);

    // Long orthotropic strip simply supported on both long edges: k = 2 beta + 2, which is 4
    // for an isotropic wall.
    const float eta = std::sqrt(d11d22);
    const float beta = (s.ddst[1] + 2.0f * s.ddst[5]) / eta;
    const float k = 2.0f * beta + 2.0f;

    // The web is inclined by alpha/2 to the normal of the skin: its width is the slant length.
    s.webheight = s.webheight / cos_half;

    const float qw = pi / s.webheight;
    const float fweb = qw * qw * k * eta * s.webheight;
    const float qc = pi / s.chordwidth;
    const float fchord = qc * qc * k * eta * s.chordwidth;

    // The hat as a column cripples when the first of its walls does: its crippling stress is
    // the lower of the wall stresses N / t (a wall without thickness has none; without any,
    // none is set and the global check refuses).
    float sigc = 0.0f;
    for (const auto& [n, th] : {std::pair{qw * qw * k * eta, s.webth}, std::pair{qc * qc * k * eta, s.chordth}})
        if (th > 0.0f) sigc = sigc > 0.0f ? std::min(sigc, n / th) : n / th;
    test.sigmweb = sigc;

    io::writef(datran.nwrite, "(//1X,' CRIPPLING FORCE OF WEB:'/E20.5)", {fweb});
    io::writef(datran.nwrite, "(//1X,' CRIPPLING FORCE OF CHORD:'/E20.5)", {fchord});
}


// ---------------------------------------------------------------- global buckling

namespace {

/// Sum of the leading subdivision lengths up to the first zero entry, at most n of them.
float panel_length(const float* len, int n) {
    float sum = 0.0f;
    for (int k = 1; k <= n && len[k - 1] != 0.0f; ++k) sum += len[k - 1];
    return sum;
}

}  // namespace

template <class P>
void glbuck(float* bb, float* /*dd*/, float* /*bd*/, int& ier, float& fstbug) {
    constexpr float pi2 = 9.869605f;       // pi^2
    constexpr float four_pi2 = 39.47842f;  // 4 pi^2
    const Stringercom& s = stringercom;
    const float t = glbuckcom.skinth, pitch = glbuckcom.stpitch, ry = f07inb.ry;
    const float sigc = test.sigmweb;
    auto& g = f07ina<P>();
    ier = err::ok;

    // Stringer cross-section: foot on the skin, web on the foot.
    const float afoot = s.footth * s.footwidth;
    const float aweb = s.webth * s.webheight;
    const float astr = afoot + aweb;

    // Panel length along the stringers and width across them; the grid ends at the first zero
    // length, or after mx-1 (my-1) lengths when every entry is in use.
    const float length = panel_length(g.a, std::min(g.mx - 1, P::p_rtnds - 1));
    const float width = panel_length(g.b, std::min(g.my - 1, P::p_rtnds - 1));

    const auto no_load = [&ier](const char* why) {
        refuse("(1X,'MESSAGE FROM SUBROUTINE GLBUCK:')",
               (std::string(why) + ", NO GLOBAL BUCKLING LOAD COMPUTED").c_str(), ier);
    };
    if (!(t > 0.0f)) return no_load("SKIN THICKNESS SKINTH IS NOT POSITIVE");
    if (!(pitch > 0.0f)) return no_load("STRINGER PITCH STPITCH IS NOT POSITIVE");
    if (!(ry > 0.0f)) return no_load("RADIUS OF CURVATURE RY IS NOT POSITIVE");
    if (!(sigc > 0.0f)) return no_load("CRIPPLING STRESS SIGMWEB IS NOT POSITIVE");
    if (!(astr > 0.0f)) return no_load("STRINGER CROSS-SECTION AREA IS NOT POSITIVE");
    if (f07aij(1, 1) == 0.0f || f07aij(2, 2) == 0.0f)
        return no_load("MEMBRANE COMPLIANCE AIJ(1,1) OR AIJ(2,2) IS ZERO");

    // Poisson ratios of the skin from its membrane compliance.
    const float nuxy = f07aij(2, 1) / f07aij(1, 1);
    const float nuyx = f07aij(1, 2) / f07aij(2, 2);
    const float q = 1.0f - nuxy * nuyx;
    const float ex = q * bb[0] / t;  // skin modulus in x
    if (!(q > 0.0f) || !(ex > 0.0f)) return no_load("SKIN MODULUS EX = Q*BB(1,1)/SKINTH IS NOT POSITIVE");

    // Buckling coefficient of a curved skin bay, curvature parameter omega (flat: omega = 0,
    // kk = 4; both branches meet at kk = 8 for omega = 2).
    const float omega = (pitch / std::sqrt(t * ry)) * std::pow(12.0f * q, 0.25f) / pi;
    const float omega2 = omega * omega;
    const float kk = omega > 2.0f ? 2.0f * omega2 : 0.25f * (omega2 * omega2) + 4.0f;
    const float kstar = kk * pi2 / (12.0f * q);

    // Centroids measured from the outer face of the skin; own second moments of the walls.
    const float zf = t + 0.5f * s.footth;
    const float zw = t + s.footth + 0.5f * s.webheight;
    const float first_moment = afoot * zf + aweb * zw;
    const float ifoot = s.footth * s.footth * s.footth * s.footwidth / 12.0f;
    const float iweb = s.webheight * s.webheight * s.webheight * s.webth / 12.0f;

    // Fixed point of effective width and column stress.
    float weff = 0.0f, sigma = 0.0f, sigma_prev = 0.0f;
    for (int pass = 1;; ++pass) {
        const float aeff = t * weff;
        const float atot = astr + aeff;
        const float cg = (0.5f * t * aeff + first_moment) / atot;
        const float dw = zw - cg, df = zf - cg, ds = 0.5f * t - cg;
        const float ieff =
            aweb * (dw * dw) + (afoot * (df * df) + ifoot + iweb) + t * t * t * weff / 12.0f + aeff * (ds * ds);
        const float rho = std::sqrt(ieff / atot);
        const float slender = length / rho;
        sigma = sigc - slender * slender * (sigc * sigc) / (four_pi2 * ex);
        const float check = (sigma_prev / sigma) * 100.0f - 100.0f;
        if (check > 0.0f && check < 1.0f) break;
        if (pass == 100) {
            ier = err::glbuck::no_convergence;
            break;
        }
        weff = t * std::sqrt(kstar * ex / sigma);
        sigma_prev = sigma;
    }

    // One stringer bay: stringer with its effective skin at sigma, the rest of the skin at its
    // own buckling load; times the number of bays across the panel.
    const float fg = (sigma * (astr + t * weff) + (pitch - weff) * fstbug) * (width / pitch);
    io::writef(datran.nwrite, "(//1X,' GLOBAL BUCKLING LOAD:'/E20.5)", {fg});
}

#define ZEFT_INST_GLBUCK(P) template void glbuck<P>(float*, float*, float*, int&, float&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_GLBUCK)
#undef ZEFT_INST_GLBUCK

}  // namespace zeft
