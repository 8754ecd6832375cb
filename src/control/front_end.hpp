// Panel front end: a stiffened panel described by pitches, stringer cross-section widths,
// element counts, stiffnesses and loads is turned into the subdivision lengths of the grid,
// the stiffener tables and the nodal membrane forces, analysed by the driver, and its
// eigenvalues, forces and W eigenvectors copied back into the caller's arrays.
#pragma once

namespace zeft {

/// What an element strip in y is, which fixes its width rule and the loads of its node.
enum class StripKind {
    absent,    ///< not laid out (width 0): its node keeps its loads
    skin,      ///< skin between stringers (or any strip of an unstiffened panel): plain loads
    under_hat, ///< skin under a hat stringer: plain loads
    foot       ///< stringer foot: x and shear loads scaled by the foot stiffness ratios
};

/// Cross-section data and element counts that lay out the element strips in y.
struct StripSection {
    int stypep;            ///< 1, 3 open stringers, 2 hat stringer, other: unstiffened
    float stringerpitch;   ///< distance between stringers
    float chordwdth;       ///< chord width of a hat stringer
    float sfootwdth;       ///< stringer foot width (a hat's foot on one side)
    float alpha;           ///< angle between the webs of a hat stringer, degrees
    float height;          ///< height of a hat stringer
    int anzelprohalbfoot;  ///< elements per (half) foot
    int anzelzwstr;        ///< skin elements between two stringers
    int anzelbelowstr;     ///< skin elements under a hat stringer
};

/// Widths bp(1 .. nstrip) of the element strips in y and the kind of each strip.
/// Strip kinds elmstf(j): 1 skin, 2 stringer foot, other not present (width 0).
///   stypep 1, 3: skin (stringerpitch - sfootwdth) / anzelzwstr; foot 0.5 sfootwdth /
///                anzelprohalbfoot (type 1, a half foot on each side of the web) or
///                sfootwdth / anzelprohalbfoot (type 3).
///   stypep 2:    a hat covers W = 2 height / tan((180 - alpha)/2 deg) + chordwdth; foot
///                strips sfootwdth / anzelprohalbfoot. A counter starts at 1, advances with
///                every foot strip and returns to 1 after 2 anzelprohalbfoot of them (both
///                feet of a hat); a skin strip lies between the hats while it is 1,
///                ((stringerpitch - W) - 2 sfootwdth) / anzelzwstr, else under the hat,
///                W / anzelbelowstr.
///   otherwise:   nstrip equal skin strips stringerpitch / nstrip.
/// An element count of 0 gives a width that is not finite; the kinds say which count a
/// strip divides by.
void lay_out_strips(const StripSection& s, const int* elmstf, int nstrip, float* bp, StripKind* kind);

/// Number of leading nonzero entries of a list of n entries: the position of its first 0,
/// less one, or n when no entry is 0 (a full stiffener list).
int leading_count(const int* list, int n);

/// Number of x-subdivisions: for stringer types 1 to 3 with nf > 0 frames, the frame bays
/// plus as many elements before the first frame (on x-line isty1) as after the last,
/// anzelzwframes (nf - 1) + 2 isty1 - 2; otherwise anzelzwframes.
long long x_subdivisions(int stypep, int nf, int anzelzwframes, int isty1);

/// Foot-strip load ratios: factx = ratio of the axial membrane stiffness
/// A11 - A12^2 / A22 of set 2 (skin with foot) to that of set 1 (skin), and
/// factxy = A66 of set 2 / A66 of set 1. matabd(18, 2) column-major.
void foot_ratios(const float* matabd, float& factx, float& factxy);

/// How far callzeft goes: the whole analysis, or the panel set-up alone.
enum class PanelStage {
    layout,   ///< lay out the panel into panrun alone (no other record changes, nothing to run)
    set_up,   ///< lay out the panel and fill the state; the driver's arguments wait in panrun
    analysis  ///< set up, run and copy the results back
};

/// Analyses a stiffened panel with the size preset P (one buckling run of the driver).
///
/// The set-up lays out the grid (lengths in x, strip widths in y), the stiffener tables and
/// the nodal membrane forces, fills the records skstf, f07ina (ku, mx, my), cpvar and cpfest,
/// clears the results of an earlier run and leaves the driver's arguments in panrun; the run
/// (run_panel) hands them to zeftmain; the results are then copied to the caller's arrays.
///
/// Texts filenamep (8 characters) and titp (80) are blank-padded; truth values are int.
/// Arrays are column-major: matabdf(18, 2) skin and skin-with-foot stiffness sets,
/// steifxf(4) and steifyf(4) the EA, ES, EI, GJ of every stringer and frame, ku(5),
/// istx(p_stf), isty(p_stf) stiffener lines (0 ends a list), elmstf(p_rtnds-1) strip kinds,
/// the edge codes (7 each). Results: elamp(p_ngit) eigenvalues, membraneforcesp(5 p_ngit)
/// five forces per eigenvalue, displ(p_nx neigrq) W eigenvectors, one column of p_nx per
/// requested eigenvalue. The caller's neigrq (at most p_ngrq) sizes the copies, whatever
/// the run makes of it. The binding refuses beforehand inputs that would divide by zero or
/// overflow the grid.
template <class P, PanelStage S = PanelStage::analysis>
void callzeft(const char* filenamep, const char* titp, float& rxp, float& ryp, float& rxyp,
              float* matabdf, float* steifxf, float* steifyf, float& framepitch,
              float& stringerpitch, int& stypep, float& chordwdth, float& sfootwdth,
              float& alpha, float& height, float& loadvxp, float& loadvyp, float& loadvxyp,
              float& fnxp, float& fnxyp, float& fnyp, float& alfaxp, float& alfayp,
              double* elamp, double* membraneforcesp, int& itab, int& neigit, int& neigrq,
              int& mempri, int& indplt, int* ku, int* istx, int* isty, int* elmstf,
              int* bndy0, int* bndyl, int* bndx0, int* bndxl, int& anzelzwframes,
              int& anzelprohalbfoot, int& anzelzwstr, int& anzelbelowstr, double* displ);

/// Runs the panel that callzeft<P, PanelStage::set_up> prepared: zeftmain with the arguments
/// in panrun, whose results stay in valus, pythres and vectrs. The preparation is used up.
/// False, and nothing run, when no panel is prepared for preset P.
template <class P>
bool run_panel();

}  // namespace zeft
