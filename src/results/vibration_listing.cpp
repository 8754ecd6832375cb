// Input echo of a natural-frequency analysis: the blocks of the buckling echo, with one set of
// skin stiffnesses for the whole panel, the skin's mass per unit area and the prescribed
// membrane forces (the only ones a vibration analysis takes into account).
#include <string>

#include "control/front_end.hpp"
#include "io/format.hpp"
#include "io/units.hpp"
#include "results/listing.hpp"
#include "solver/vibration.hpp"

namespace zeft {

namespace {

/// Stiffener line lists read for the recount.
constexpr int recount_limit = 10;

/// Number of leading nonzero line numbers of lines(1 .. 10).
int leading_lines(const int* lines) { return leading_count(lines, recount_limit); }

}  // namespace

template <class P>
void prtvib(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss) {
    using namespace listing;
    const int u = datran.nwrite;
    auto& ina = f07ina<P>();
    auto& dis = f07dis<P>();

    // The stiffener counts follow the line lists, whatever the counts held before; the mass
    // matrix is assembled with these.
    dis.nox = leading_lines(dis.istx);
    dis.noy = leading_lines(dis.isty);

    if (!echo_admissible<P>("prtvib", false)) {
        // Everything after the echo works in radians, so the conversion is kept.
        to_radians(f07ang);
        return;
    }
    panel_description<P>(u);

    // One set of stiffness coefficients for the whole skin.
    stiffness_header(u);
    packed3(u, bb);
    title0(u, "BENDING");
    packed3(u, dd);
    title0(u, "MEMBRANE-BENDING COUPLING");
    packed3(u, bd);

    // The rotations BETA and GAMMA take part: adjustment terms and transverse shear.
    if (ina.ku[1] == 4 || ina.knfun == 5) {
        title0(u, "BENDING ADJUSTMENT");
        packed3(u, rr);
        title0(u, "MEMBRANE-BENDING ADJUSTMENT COUPLING");
        packed3(u, dr);
        title0(u, "BENDING-BENDING ADJUSTMENT COUPLING");
        packed3(u, br);
        title0(u, "TRANSVERSE SHEAR");
        packed2(u, ss);
    }

    if (dis.nox != 0) discrete_stiffnesses(u, 'X', dis.nox, dis.istx, dis.steifx);
    if (dis.noy != 0) discrete_stiffnesses(u, 'Y', dis.noy, dis.isty, dis.steify);

    empty_lines(u, 3);
    io::writef(u, "(1X,'  MASS PER UNIT AREA:',E15.7)", {densit.dom});

    empty_lines(u, 3);
    io::writef(u, "(1X,'PRESCRIBED MEMBRANE FORCES')");
    node_tables<P>(u, cpfest<P>().pfest);
}

#define ZEFT_VIBRATION_LISTING_INST(P) \
    template void prtvib<P>(float*, float*, float*, float*, float*, float*, float*);
ZEFT_FOR_EACH_SIZE(ZEFT_VIBRATION_LISTING_INST)
#undef ZEFT_VIBRATION_LISTING_INST

}  // namespace zeft
