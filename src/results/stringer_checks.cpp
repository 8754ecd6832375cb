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

/// A wall of the stringer section: its area, the height of its centroid above the outer face
/// of the skin, and its own second moment about the horizontal axis through that centroid.
struct Wall {
    float area, z, own;
};

/// The walls of the stringer, at most five.
struct Section {
    Wall wall[5];
    int n = 0;
};

/// The stringer's cross-section from record stringercom. An open stringer (stype 1) is a
/// foot on the skin and a web on the foot. A hat (stype 2) has two feet, two webs inclined
/// at alpha/2 to the normal and the chord on top of them; its webheight is read as the webs'
/// slant length s, which cripplingo leaves in the record, so that the webs rise
/// h = s cos(alpha/2) and each has the own moment webth s h^2 / 12.
Section stringer_section(float t, int stype) {
    const Stringercom& s = stringercom;
    Section sec;
    const float afoot = s.footth * s.footwidth, ifoot = s.footth * s.footth * s.footth * s.footwidth / 12.0f;
    const float zf = t + 0.5f * s.footth;
    if (stype != 2) {
        sec.wall[sec.n++] = {afoot, zf, ifoot};
        sec.wall[sec.n++] = {s.webth * s.webheight, t + s.footth + 0.5f * s.webheight,
                             s.webheight * s.webheight * s.webheight * s.webth / 12.0f};
        return sec;
    }
    const float rise = s.webheight * std::cos(0.5f * s.alpha * pi / 180.0f);
    const float aweb = s.webth * s.webheight;
    const Wall foot{afoot, zf, ifoot};
    const Wall web{aweb, t + s.footth + 0.5f * rise, aweb * rise * rise / 12.0f};
    for (const Wall& w : {foot, foot, web, web}) sec.wall[sec.n++] = w;
    sec.wall[sec.n++] = {s.chordth * s.chordwidth, t + s.footth + rise + 0.5f * s.chordth,
                         s.chordth * s.chordth * s.chordth * s.chordwidth / 12.0f};
    return sec;
}

/// Column stress of slenderness lambda on the Johnson-Euler curve of crippling stress sigc:
/// the Johnson parabola sigc - lambda^2 sigc^2 / (4 pi^2 Ex) while the Euler stress
/// pi^2 Ex / lambda^2 is at least sigc/2 (the parabola touches the Euler hyperbola there), the
/// Euler stress beyond. The parabola alone would fall to zero and below for slender columns,
/// which have an Euler load.
float column_stress(float slender, float sigc, float ex) {
    constexpr float pi2 = 9.869605f;       // pi^2
    constexpr float four_pi2 = 39.47842f;  // 4 pi^2
    const float l2 = slender * slender;
    if (pi2 * ex >= 0.5f * sigc * l2) return sigc - l2 * (sigc * sigc) / (four_pi2 * ex);
    return pi2 * ex / l2;
}

}  // namespace

template <class P>
void glbuck(float* bb, float* /*dd*/, float* /*bd*/, int& ier, float& fstbug) {
    constexpr float pi2 = 9.869605f;       // pi^2
    const float t = glbuckcom.skinth, pitch = glbuckcom.stpitch, ry = f07inb.ry;
    const float sigc = test.sigmweb;
    auto& g = f07ina<P>();
    ier = err::ok;

    const Section sec = stringer_section(t, f07dis<P>().stype);
    float astr = 0.0f, first_moment = 0.0f;
    for (int i = 0; i < sec.n; ++i) {
        astr += sec.wall[i].area;
        first_moment += sec.wall[i].area * sec.wall[i].z;
    }

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

    // Fixed point of effective width and column stress. The effective width is at most the
    // pitch: at a stress below the bay's own buckling stress the whole bay carries load. The
    // iteration stops when sigma falls by less than 1 % or repeats exactly.
    float weff = 0.0f, sigma = 0.0f, sigma_prev = 0.0f;
    for (int pass = 1;; ++pass) {
        const float aeff = t * weff;
        const float atot = astr + aeff;
        const float cg = (0.5f * t * aeff + first_moment) / atot;
        const float ds = 0.5f * t - cg;
        float ieff = t * t * t * weff / 12.0f + aeff * (ds * ds);
        for (int i = 0; i < sec.n; ++i) {
            const float d = sec.wall[i].z - cg;
            ieff += sec.wall[i].area * (d * d) + sec.wall[i].own;
        }
        const float rho = std::sqrt(ieff / atot);
        sigma = column_stress(length / rho, sigc, ex);
        const float check = (sigma_prev / sigma) * 100.0f - 100.0f;
        if (check >= 0.0f && check < 1.0f) break;
        if (pass == 100) {
            ier = err::glbuck::no_convergence;
            break;
        }
        weff = std::min(pitch, t * std::sqrt(kstar * ex / sigma));
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
