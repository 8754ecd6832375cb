// Input check and defaults rddata.
#include "control/input_check.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "control/front_end.hpp"
#include "io/namelist.hpp"
#include "io/units.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

constexpr const char* header = " MESSAGE FROM SUBROUTINE RDDATA:";

/// A message block of rddata: the header and the text, to the listing and then to standard
/// output.
void message(const std::string& text) {
    for (int unit : {datran.nwrite, io::stdout_unit}) {
        io::write_record(unit, header);
        io::write_record(unit, text);
    }
}

/// The warning written when an eigenvalue count is reduced to its limit.
void reduced_warning(int limit) {
    io::writef(datran.nwrite,
               "(4X,'WARNING: IN SUBROUTINE RDDATA'/"
               "13X,'NUMBER OF EIGENMODES FOR ITERATION',' WAS REDUCED TO',I3)",
               {limit});
}

/// The code vectors of the four edges in the order y = 0, x = 0, y = l, x = l.
std::array<const int*, 4> edge_codes(const F07ind& ind) {
    return {ind.bndy0, ind.bndx0, ind.bndyl, ind.bndxl};
}

/// A real value in 15 columns: E15.7, or its kind when it is not a finite number.
std::string value15(float v) {
    if (std::isnan(v)) return fmt::A(15, "NAN");
    if (std::isinf(v)) return fmt::A(15, v > 0 ? "+INFINITY" : "-INFINITY");
    return fmt::E(15, 7, v);
}

/// Collects the inconsistencies of the panel description, one message block each.
struct Findings {
    int count = 0;
    void add(const std::string& text) {
        message(text);
        ++count;
    }
};

/// Checks that an integer lies in lo..hi; reports "<what> = v IS OUTSIDE lo .. hi".
bool within(Findings& f, const std::string& what, long long v, long long lo, long long hi) {
    if (v >= lo && v <= hi) return true;
    f.add(" " + what + " =" + fmt::I(11, v) + " IS OUTSIDE " + std::to_string(lo) + " .. " +
          std::to_string(hi));
    return false;
}

/// Reports the first non-finite entry among rows 1..n of columns k1..k2 of the column-major
/// array v with leading dimension ld, as "<what> <name>(i,k) = value".
void finite(Findings& f, const std::string& what, const char* name, const float* v, int ld, int n,
            int k1, int k2) {
    for (int k = k1; k <= k2; ++k)
        for (int i = 1; i <= n; ++i) {
            const float x = v[(i - 1) + static_cast<std::ptrdiff_t>(ld) * (k - 1)];
            if (std::isfinite(x)) continue;
            f.add(" " + what + " " + name + "(" + std::to_string(i) + "," + std::to_string(k) +
                  ") =" + value15(x) + " IS NOT A FINITE NUMBER");
            return;
        }
}

/// Function codes: W first, used codes distinct and within 1..5, unused slots zero.
template <class P>
void check_functions(Findings& f) {
    auto& g = f07ina<P>();
    if (!within(f, "NUMBER OF FUNCTIONAL DOFS KNFUN", g.knfun, 0, 5)) return;
    bool codes_ok = true;
    for (int i = 1; i <= 5; ++i)
        codes_ok &= within(f, "FUNCTION CODE KU(" + std::to_string(i) + ")", g.ku[i - 1], i <= g.knfun ? 1 : 0, 5);
    if (!codes_ok) return;
    for (int i = 1; i <= g.knfun; ++i)
        for (int k = 1; k < i; ++k)
            if (g.ku[i - 1] == g.ku[k - 1]) f.add(" FUNCTION CODE" + fmt::I(2, g.ku[i - 1]) + " IS REPEATED IN KU");
    if (g.knfun >= 1 && g.ku[0] != 1)
        f.add(" THE DISPLACEMENT W IS NOT ACTIVE: KU(1) =" + fmt::I(2, g.ku[0]) + ", EXPECTED 1");
}

/// What lies on the grid: positive subdivision lengths, edge codes 2..7 (a held function
/// 1..5 or the normal slope 6), the individually suppressed freedoms (function, kind of
/// derivative, y-line, x-line), stringers on y-lines and frames on x-lines with finite
/// stiffnesses.
template <class P>
void check_grid_contents(Findings& f, int numsup, int nox, int noy) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    const int mx = g.mx, my = g.my;
    const auto lengths = [&](const char* name, const float* v, int n) {
        for (int i = 1; i <= n; ++i)
            if (!(std::isfinite(v[i - 1]) && v[i - 1] > 0.0f)) {
                f.add(" SUBDIVISION LENGTH " + std::string(name) + "(" + std::to_string(i) + ") =" + value15(v[i - 1]) +
                      " IS NOT A POSITIVE NUMBER");
                return;
            }
    };
    lengths("A", g.a, mx - 1);
    lengths("B", g.b, my - 1);

    const char* names[4] = {"Y = 0", "X = 0", "Y = LY", "X = LX"};
    const auto edges = edge_codes(f07ind);
    for (int j = 1; j <= 4; ++j)
        for (int l = 2; l <= 7; ++l)
            if (edges[j - 1][l - 1] > 6)
                f.add(" BOUNDARY CODE" + fmt::I(2, l) + " OF EDGE " + names[j - 1] + " =" +
                      fmt::I(11, edges[j - 1][l - 1]) + " IS ABOVE 6");

    Mat<int> sup = f07ind.idesup_m();
    for (int k = 1; k <= numsup; ++k) {
        const std::string at = "SUPPRESSED FREEDOM" + fmt::I(4, k) + ": ";
        within(f, at + "FUNCTION CODE", sup(1, k), 1, 5);
        within(f, at + "KIND OF DERIVATIVE", sup(2, k), 1, 4);
        within(f, at + "Y-LINE", sup(3, k), 1, my);
        within(f, at + "X-LINE", sup(4, k), 1, mx);
    }

    for (int i = 1; i <= nox; ++i) within(f, "Y-LINE OF STRINGER" + fmt::I(3, i) + " ISTX", d.istx[i - 1], 1, my);
    for (int i = 1; i <= noy; ++i) within(f, "X-LINE OF FRAME" + fmt::I(3, i) + " ISTY", d.isty[i - 1], 1, mx);
    finite(f, "STRINGER STIFFNESS", "STEIFX", d.steifx, 4, 4, 1, nox);
    finite(f, "FRAME STIFFNESS", "STEIFY", d.steify, 4, 4, 1, noy);
}

/// The numbers the assembly computes with: the stiffness data set (1 or 2, finite) of every
/// element strip, radii of curvature that are numbers (any magnitude: 1.0E29 and beyond,
/// infinity included, is flat), finite angles of obliqueness, finite membrane forces at the
/// nodes of the grid.
template <class P>
void check_operands(Findings& f) {
    auto& g = f07ina<P>();
    bool used[2] = {false, false};
    for (int j = 1; j <= g.my - 1; ++j) {
        const int k = stiffcom<P>().elmstf[j - 1];
        if (k == 1 || k == 2)
            used[k - 1] = true;
        else
            f.add(" ELEMENT STRIP" + fmt::I(3, j) + ": STIFFNESS DATA SET ELMSTF =" + fmt::I(11, k) +
                  " IS NEITHER 1 NOR 2");
    }
    // The rotations BETA and GAMMA take their stiffness from matsw alone: a set whose matsw
    // is all zero leaves them without any, and A22 of a buckling analysis singular.
    bool rotations = false;
    for (int i = 1; i <= std::clamp(g.knfun, 0, 5); ++i) rotations |= g.ku[i - 1] == 4 || g.ku[i - 1] == 5;
    rotations &= antype.buck != 0;
    for (int k = 1; k <= 2; ++k)
        if (used[k - 1]) {
            finite(f, "SKIN STIFFNESS", "MATABD", skstf.matabd, 18, 18, k, k);
            finite(f, "SKIN STIFFNESS", "MATSW", skstf.matsw, 21, 21, k, k);
            const float* sw = skstf.matsw + 21 * (k - 1);
            if (rotations && std::all_of(sw, sw + 21, [](float v) { return v == 0.0f; }))
                f.add(" FUNCTIONS BETA AND GAMMA (KU = 4, 5) NEED THE SKIN STIFFNESS MATSW OF DATA SET" + fmt::I(2, k) +
                      ", WHICH IS ALL ZERO (CALLZEFT SETS NONE: ANALYSE W, U, V THERE)");
        }

    for (const auto& [name, r] : {std::pair<const char*, float>{"RX", f07inb.rx}, {"RY", f07inb.ry},
                                  {"RXY", f07inb.rxy}})
        if (std::isnan(r)) f.add(" RADIUS OF CURVATURE " + std::string(name) + " =" + value15(r) + " IS NOT A NUMBER");
    for (const auto& [name, v] : {std::pair<const char*, float>{"ALFAX", f07ang.alfax}, {"ALFAY", f07ang.alfay}})
        if (!std::isfinite(v))
            f.add(" ANGLE OF OBLIQUENESS " + std::string(name) + " =" + value15(v) + " IS NOT A FINITE NUMBER");

    finite(f, "PRESCRIBED MEMBRANE FORCE", "PFEST", cpfest<P>().pfest, P::p_nodes, g.mx * g.my, 1, 3);
    finite(f, "VARIABLE MEMBRANE FORCE", "PVAR", cpvar<P>().pvar, P::p_nodes, g.mx * g.my, 1, 3);
}

/// Validates everything that later steps use as an index, a divisor or an operand, before
/// any of it is used. numsup, nox and noy are the counts the run is about to derive. Each
/// inconsistency is one message block.
template <class P>
bool panel_is_consistent(int numsup, int nox, int noy) {
    auto& g = f07ina<P>();
    Findings f;

    // The grid bounds every other check.
    within(f, "NUMBER OF SUBDIVISION LINES IN X-DIRECTION MX", g.mx, 2, P::p_rtnds);
    within(f, "NUMBER OF SUBDIVISION LINES IN Y-DIRECTION MY", g.my, 2, P::p_rtnds);
    if (f.count != 0) return false;

    check_functions<P>(f);
    if (man.neigit < 2) f.add(" NUMBER OF ITERATION VECTORS NEIGIT =" + fmt::I(11, man.neigit) + " IS BELOW 2");
    for (int i = 1; i <= 50; ++i)
        if (!within(f, "MODE TO PLOT MDSPLT(" + std::to_string(i) + ")", plotin.mdsplt[i - 1], 0,
                    std::max(man.neigrq, 0)))
            break;
    check_grid_contents<P>(f, numsup, nox, noy);
    check_operands<P>(f);
    return f.count == 0;
}

/// Reads a namelist group; reports a missing or malformed group. Returns 0, or the error code.
int read_group(std::string_view group, std::span<const io::NamelistItem> items,
               const std::string& missing_text) {
    std::string shown(group);
    for (char& ch : shown) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string why;
    switch (io::read_namelist(datran.nread, group, items, &why)) {
        case io::NamelistStatus::ok:
            return 0;
        case io::NamelistStatus::not_found:
            message(missing_text);
            return err::rddata::group_missing;
        case io::NamelistStatus::syntax_error:
            message(" SYNTAX ERROR IN NAMELIST " + shown + ": " + why);
            return err::rddata::syntax;
    }
    return err::rddata::syntax;
}

/// Step 1: the modes to plot (the requested ones, in order) and the eigenvalue counts
/// reduced to the preset's limits with a warning.
template <class P>
void limit_counts() {
    for (int i = 1; i <= 50; ++i) plotin.mdsplt[i - 1] = i <= man.neigrq ? i : 0;
    plotin.scal = 1.0f;
    if (man.neigit > P::p_ngit) {
        man.neigit = P::p_ngit;
        reduced_warning(P::p_ngit);
    }
    if (man.neigrq > P::p_ngrq) {
        man.neigrq = P::p_ngrq;
        reduced_warning(P::p_ngrq);
    }
    plotin.nmod = static_cast<int>(std::count_if(plotin.mdsplt, plotin.mdsplt + 50, [](int m) { return m > 0; }));
}

/// Step 3: node numbers along y first, node (x-line i, y-line j) = (i - 1) my + j; the
/// edge-wise conditions switch (seiten) and the plot symmetry from the edge kinds (a later
/// edge overrides an earlier one).
template <class P>
void number_nodes_and_edges() {
    auto& g = f07ina<P>();
    auto& ind = f07ind;
    int node = 1;
    for (int i = 1; i <= g.mx; ++i)
        for (int j = 1; j <= g.my; ++j) g.leitm(j, i) = node++;

    io::rewind(datran.nread);

    ind.seiten = 0;
    for (const int* edge : edge_codes(ind))
        if (std::any_of(edge, edge + 7, [](int k) { return k != 0; })) ind.seiten = 1;
    if (ind.seiten) {
        const auto kind = [](int code, int& sym, int first) {
            if (code == -1) sym = -first;
            else if (code == 1) sym = first;
        };
        kind(ind.bndy0[0], plotin.isymy, 2);
        kind(ind.bndyl[0], plotin.isymy, 1);
        kind(ind.bndx0[0], plotin.isymx, 2);
        kind(ind.bndxl[0], plotin.isymx, 1);
    }
}

/// Step 4: the stiffness of every element from the data set of its strip: bb, bd, dd from
/// matabd, br, dr, rr, ss from matsw.
template <class P>
void fill_element_stiffness(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss) {
    const int my = f07ina<P>().my;
    const int nelm = (f07ina<P>().mx - 1) * (my - 1);
    Mat<float> B{bb, 6}, D{dd, 6}, BD{bd, 6}, R{rr, 6}, DR{dr, 6}, BR{br, 6}, S{ss, 3};
    Mat<float> abd{skstf.matabd, 18}, sw{skstf.matsw, 21};
    for (int e = 1; e <= nelm; ++e) {
        const int k = stiffcom<P>().elmstf[(e - 1) % (my - 1)];
        for (int l = 1; l <= 6; ++l) {
            B(l, e) = abd(l, k);
            BD(l, e) = abd(l + 6, k);
            D(l, e) = abd(l + 12, k);
        }
    }
    for (int e = 1; e <= nelm; ++e) {
        const int k = stiffcom<P>().elmstf[(e - 1) % (my - 1)];
        for (int l = 1; l <= 6; ++l) {
            BR(l, e) = sw(l, k);
            DR(l, e) = sw(l + 6, k);
            R(l, e) = sw(l + 12, k);
        }
        for (int l = 1; l <= 3; ++l) S(l, e) = sw(l + 18, k);
    }
}

/// Step 5: the plot scale, the equivalent thickness (144 D11 D22 / (A11 A22))^(1/4) of the
/// first element, t for a homogeneous plate. Undefined without membrane stiffness; then 1.0
/// stays.
void set_plot_scale(const float* bb, const float* dd) {
    const float q = 144.0f * dd[0] * dd[2] / (bb[0] * bb[2]);
    if (std::isfinite(q) && q >= 0.0f) {
        plotin.scal = plotin.scal * std::sqrt(std::sqrt(q));
    } else {
        io::writef(datran.nwrite, "(4X,'WARNING: IN SUBROUTINE RDDATA'/13X,'PLOT SCALE UNDEFINED BY THE "
                                  "STIFFNESS OF THE FIRST ELEMENT, KEPT AT 1.0')");
    }
}

/// Step 6: the namelist groups of the analyses that need them: inert (masses) for a
/// vibration analysis, tstringer or ostringer (cross-section) for the crippling check.
/// Returns 0, or the error code of a missing or malformed group.
template <class P>
int read_namelist_groups() {
    auto& d = f07dis<P>();
    const int nw = datran.nwrite;
    if (antype.vibr) {
        io::rewind(datran.nread);
        const io::NamelistItem inert[] = {
            {io::NamelistItem::Type::real, "dom", &densit.dom},
            {io::NamelistItem::Type::real, "domx", d.domx, P::p_stf},
            {io::NamelistItem::Type::real, "domy", d.domy, P::p_stf},
        };
        if (int e = read_group("inert", inert, " NAMELIST  INERT NOT FOUND"); e != 0) return e;
    }
    if (!antype.cripan) return 0;
    constexpr auto real = io::NamelistItem::Type::real;
    auto& s = stringercom;
    const std::string missing = " Some Stringer Data missing for crippling analysis";
    if (d.stype == 1) {
        const io::NamelistItem tstringer[] = {
            {real, "footth", &s.footth},       {real, "webth", &s.webth},
            {real, "footwidth", &s.footwidth}, {real, "webheight", &s.webheight},
            {real, "ddst", s.ddst, 6},
        };
        if (int e = read_group("tstringer", tstringer, missing); e != 0) return e;
        io::writef(nw, "(2E20.5)", {s.footth, s.webth});
    } else if (d.stype == 2) {
        const io::NamelistItem ostringer[] = {
            {real, "footth", &s.footth},         {real, "webth", &s.webth},
            {real, "footwidth", &s.footwidth},   {real, "webheight", &s.webheight},
            {real, "ddst", s.ddst, 6},           {real, "chordwidth", &s.chordwidth},
            {real, "chordth", &s.chordth},       {real, "alpha", &s.alpha},
        };
        if (int e = read_group("ostringer", ostringer, missing); e != 0) return e;
    } else {
        io::write_record(nw, header);
        io::write_record(nw, missing);
    }
    return 0;
}

}  // namespace

template <class P>
void rddata(float* bb, float* dd, float* bd, float* rr, float* dr, float* br, float* ss, int& ier) {
    auto& g = f07ina<P>();
    auto& d = f07dis<P>();
    ier = 0;
    io::rewind(datran.nread);
    limit_counts<P>();

    // 2. Counts of suppressed freedoms and of stiffeners (leading used entries of their
    //    lists), and the check of the whole description.
    int numsup = 0;
    while (numsup < P::p_nsup && f07ind.idesup[4 * numsup] != 0) ++numsup;
    const int nox = leading_count(d.istx, std::clamp(g.my, 0, P::p_stf));
    const int noy = leading_count(d.isty, std::clamp(g.mx, 0, P::p_stf));
    if (!panel_is_consistent<P>(numsup, nox, noy)) {
        ier = err::rddata::bad_input;
        return;
    }

    number_nodes_and_edges<P>();
    f07ind.numsup = numsup;
    d.nox = nox;
    d.noy = noy;
    fill_element_stiffness<P>(bb, dd, bd, rr, dr, br, ss);
    set_plot_scale(bb, dd);
    ier = read_namelist_groups<P>();
}

#define ZEFT_INST_RDDATA(P) \
    template void rddata<P>(float*, float*, float*, float*, float*, float*, float*, int&);
ZEFT_FOR_EACH_SIZE(ZEFT_INST_RDDATA)
#undef ZEFT_INST_RDDATA

}  // namespace zeft
