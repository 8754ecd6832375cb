// Stringer crippling (open and hat stringers).
#include "results/stringer_checks.hpp"

#include <cmath>

#include "binding/registry.hpp"
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

    io::writef(datran.nwrite, "(//1X,' CRIPPLING FORCE OF WEB:'/E20.5)", {fweb});
    io::writef(datran.nwrite, "(//1X,' CRIPPLING FORCE OF CHORD:'/E20.5)", {fchord});
}

ZEFT_EXPORT_UTIL(cripplingt)
ZEFT_EXPORT_UTIL(cripplingo)

// ---------------------------------------------------------------- global buckling

}  // namespace zeft
