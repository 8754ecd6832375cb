// Panel front end callzeft, split into the panel set-up and the run, and the layout rules it
// shares with the binding's input check.
#include "control/front_end.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "control/driver.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Smallest subdivision length that counts as present.
constexpr float tiny_length = 1.0E-21f;
/// Smallest membrane force that counts as set when the loads are spread over the grid.
constexpr float tiny_load = 1.0E-9f;

/// 1 + the position of the last entry above tiny_length (entries of 0 before it do not end
/// the grid); 0 when there is none.
int lines_of(const float* len, int n) {
    for (int k = n; k >= 1; --k)
        if (len[k - 1] > tiny_length) return k + 1;
    return 0;
}

/// The six membrane forces of one node: variable (scaled by the eigenvalue) and fixed.
struct NodeLoads {
    float vnx, vny, vnxy, fnx, fny, fnxy;
};

template <class P>
void set_loads(int node, const NodeLoads& l) {
    auto& var = cpvar<P>();
    auto& fest = cpfest<P>();
    var(node, 1) = l.vnx;
    var(node, 2) = l.vnxy;
    var(node, 3) = l.vny;
    fest(node, 1) = l.fnx;
    fest(node, 2) = l.fnxy;
    fest(node, 3) = l.fny;
}

/// Gives every node of the mx x my grid that has no load of its own the loads of the node of
/// x-line 1 on its y-line. The components are taken in the order vnx, vny, vnxy, fnx, fny,
/// fnxy; the first component found set (above tiny_load) ends the copying for that node.
template <class P>
void spread_loads(int mx, int my) {
    auto& var = cpvar<P>();
    auto& fest = cpfest<P>();
    float* comp[6] = {&var(1, 1), &var(1, 3), &var(1, 2), &fest(1, 1), &fest(1, 3), &fest(1, 2)};
    for (int n = 1; n <= mx * my; ++n) {
        const int j = (n - 1) % my + 1;
        for (float* c : comp) {
            if (c[n - 1] > tiny_load) break;
            c[n - 1] = c[j - 1];
        }
    }
}

}  // namespace

void lay_out_strips(const StripSection& s, const int* elmstf, int nstrip, float* bp, StripKind* kind) {
    if (s.stypep < 1 || s.stypep > 3) {
        // Unstiffened layout: equal strips over the whole preset.
        for (int j = 1; j <= nstrip; ++j) {
            bp[j - 1] = s.stringerpitch / static_cast<float>(nstrip);
            kind[j - 1] = StripKind::skin;
        }
        return;
    }
    const float pi = 3.1415927f;
    const float hat = 2.0f * s.height / std::tan(((180.0f - s.alpha) * 0.5f) * pi / 180.0f) + s.chordwdth;
    const float foot = static_cast<float>(s.anzelprohalbfoot);
    int c = 1;  // hat stringers: 1 between the hats, 2 .. 2 anzelprohalbfoot on or under a hat
    for (int j = 1; j <= nstrip; ++j) {
        float& w = bp[j - 1];
        StripKind& k = kind[j - 1];
        switch (elmstf[j - 1]) {
            case 1:
                k = s.stypep == 2 && c != 1 ? StripKind::under_hat : StripKind::skin;
                if (s.stypep != 2)
                    w = (s.stringerpitch - s.sfootwdth) / static_cast<float>(s.anzelzwstr);
                else if (k == StripKind::skin)
                    w = ((s.stringerpitch - hat) - 2.0f * s.sfootwdth) / static_cast<float>(s.anzelzwstr);
                else
                    w = hat / static_cast<float>(s.anzelbelowstr);
                break;
            case 2:
                k = StripKind::foot;
                if (s.stypep == 1)
                    w = 0.5f * s.sfootwdth / foot;
                else
                    w = s.sfootwdth / foot;
                if (s.stypep == 2) c = c == 2 * s.anzelprohalbfoot ? 1 : c + 1;
                break;
            default:
                k = StripKind::absent;
                w = 0.0f;
        }
    }
}

int leading_count(const int* list, int n) {
    int c = 0;
    while (c < n && list[c] != 0) ++c;
    return c;
}

long long x_subdivisions(int stypep, int nf, int anzelzwframes, int isty1) {
    if (stypep >= 1 && stypep <= 3 && nf != 0)
        return static_cast<long long>(anzelzwframes) * (nf - 1) + 2LL * isty1 - 2;
    return anzelzwframes;
}

void foot_ratios(const float* matabd, float& factx, float& factxy) {
    const auto m = [matabd](int i, int k) { return matabd[(i - 1) + 18 * (k - 1)]; };
    factx = (m(1, 2) - m(2, 2) * m(2, 2) / m(3, 2)) / (m(1, 1) - m(2, 1) * m(2, 1) / m(3, 1));
    factxy = m(6, 2) / m(6, 1);
}

namespace {

/// Stiffener tables: every listed stringer and frame gets the same four stiffnesses.
template <class P>
void stiffener_tables(Panrun<P>& r, const int* istx, const int* isty, const float* steifxf, const float* steifyf) {
    constexpr int ns = P::p_stf;
    std::copy_n(isty, ns, r.isty);
    std::copy_n(istx, ns, r.istx);
    std::fill_n(r.steifx, 4 * ns, 0.0f);
    std::fill_n(r.steify, 4 * ns, 0.0f);
    const int nx = leading_count(istx, ns), nf = leading_count(isty, ns);
    for (int i = 1; i <= nx; ++i) std::copy_n(steifxf, 4, r.steifx + 4 * (i - 1));
    for (int i = 1; i <= nf; ++i) std::copy_n(steifyf, 4, r.steify + 4 * (i - 1));
}

/// The grid: lengths in x are equal elements between and outside the frames, the strips in y
/// are laid out by kind (kind(p_rtnds-1)); an unstiffened layout drops the stiffener tables.
/// Without any length in a direction the line count of the previous run stays.
template <class P>
void lay_out_grid(Panrun<P>& r, const StripSection& section, float framepitch, int anzelzwframes,
                  StripKind* kind) {
    constexpr int nr = P::p_rtnds - 1;
    std::fill_n(r.ap, nr, 0.0f);
    const long long n = std::clamp(x_subdivisions(section.stypep, leading_count(r.isty, P::p_stf),
                                                  anzelzwframes, r.isty[0]),
                                   0LL, static_cast<long long>(nr));
    std::fill_n(r.ap, n, framepitch / static_cast<float>(anzelzwframes));
    lay_out_strips(section, r.elmstf, nr, r.bp, kind);
    if (section.stypep < 1 || section.stypep > 3) {
        std::fill_n(r.steifx, 4 * P::p_stf, 0.0f);
        std::fill_n(r.steify, 4 * P::p_stf, 0.0f);
    }
    const auto& g = f07ina<P>();
    const int mx = lines_of(r.ap, nr), my = lines_of(r.bp, nr);
    r.mx = mx != 0 ? mx : g.mx;
    r.my = my != 0 ? my : g.my;
}

/// The nodal membrane forces. The fixed loads start constant over the panel; the node at the
/// lower edge of each strip takes the plain or the foot loads by the strip's kind; the node of
/// the last y-line on x-line 1 carries the plain loads, the nodes after it nothing of their
/// own; every node without a load of its own then takes that of its y-line on x-line 1.
template <class P>
void spread_panel_loads(const StripKind* kind, const NodeLoads& plain, const NodeLoads& foot) {
    std::fill_n(cpvar<P>().pvar, 3 * P::p_nodes, 0.0f);
    for (int n = 1; n <= P::p_nodes; ++n) set_loads<P>(n, {0.0f, 0.0f, 0.0f, plain.fnx, plain.fny, plain.fnxy});
    for (int j = 1; j <= P::p_rtnds - 1; ++j) {
        if (kind[j - 1] == StripKind::skin || kind[j - 1] == StripKind::under_hat)
            set_loads<P>(j, plain);
        else if (kind[j - 1] == StripKind::foot)
            set_loads<P>(j, foot);
    }
    const auto& g = f07ina<P>();
    const int my = std::clamp(g.my, 0, P::p_nodes);
    if (my >= 1) set_loads<P>(my, plain);
    for (int k = my + 1; k <= P::p_nodes; ++k) set_loads<P>(k, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    if (g.mx >= 1 && g.mx <= P::p_rtnds && g.my >= 1 && g.my <= P::p_rtnds) spread_loads<P>(g.mx, g.my);
}

/// The results of the run to the caller: eigenvalues, five forces per requested eigenvalue,
/// W eigenvectors (nrq columns of p_nx).
template <class P>
void copy_results(int nrq, double* elamp, double* membraneforcesp, double* displ) {
    constexpr int ngit = P::p_ngit;
    std::copy_n(valus.elam, ngit, elamp);
    for (int i = 1; i <= nrq; ++i)
        for (int k = 1; k <= 5; ++k)
            membraneforcesp[5 * (i - 1) + (k - 1)] = pythres.membraneforces[(i - 1) + ngit * (k - 1)];
    std::copy_n(vectrs<P>().x, static_cast<std::size_t>(P::p_nx) * nrq, displ);
}

}  // namespace

template <class P>
bool run_panel() {
    Panrun<P>& r = panrun<P>();
    if (r.ready != P::number) return false;  // the presets share the record's storage
    r.ready = 0;
    zeftmain<P>(r.proj, r.tit, r.buck, r.itab, r.neigit, r.neigrq, r.mempri, r.indplt, r.ku, r.ap, r.bp,
                r.bndx0, r.bndxl, r.bndy0, r.bndyl, r.rx, r.ry, r.rxy, r.istx, r.isty, r.elmstf, r.steifx,
                r.steify, r.alfax, r.alfay);
    return true;
}

template <class P, PanelStage S>
void callzeft(const char* filenamep, const char* titp, float& rxp, float& ryp, float& rxyp,
              float* matabdf, float* steifxf, float* steifyf, float& framepitch,
              float& stringerpitch, int& stypep, float& chordwdth, float& sfootwdth,
              float& alpha, float& height, float& loadvxp, float& loadvyp, float& loadvxyp,
              float& fnxp, float& fnxyp, float& fnyp, float& alfaxp, float& alfayp,
              double* elamp, double* membraneforcesp, int& itab, int& neigit, int& neigrq,
              int& mempri, int& indplt, int* ku, int* istx, int* isty, int* elmstf,
              int* bndy0, int* bndyl, int* bndx0, int* bndxl, int& anzelzwframes,
              int& anzelprohalbfoot, int& anzelzwstr, int& anzelbelowstr, double* displ) {
    // 1. The driver's arguments: controls (always a buckling analysis), grid and stiffeners.
    Panrun<P>& r = panrun<P>();
    r.ready = 0;
    std::copy_n(filenamep, 8, r.proj);
    std::copy_n(titp, 80, r.tit);
    r.buck = 1, r.itab = itab, r.neigit = neigit, r.neigrq = neigrq, r.mempri = mempri, r.indplt = indplt;
    std::copy_n(ku, 5, r.ku);
    std::copy_n(bndx0, 7, r.bndx0), std::copy_n(bndxl, 7, r.bndxl);
    std::copy_n(bndy0, 7, r.bndy0), std::copy_n(bndyl, 7, r.bndyl);
    r.rx = rxp, r.ry = ryp, r.rxy = rxyp, r.alfax = alfaxp, r.alfay = alfayp;
    std::copy_n(elmstf, P::p_rtnds - 1, r.elmstf);
    stiffener_tables<P>(r, istx, isty, steifxf, steifyf);
    StripKind kind[P::p_rtnds - 1];
    const StripSection section{stypep, stringerpitch, chordwdth, sfootwdth, alpha, height,
                               anzelprohalbfoot, anzelzwstr, anzelbelowstr};
    lay_out_grid<P>(r, section, framepitch, anzelzwframes, kind);
    if constexpr (S == PanelStage::layout) return;

    // 2. Results of an earlier run must not survive a failing one. The caller's count sizes
    //    the copies, whatever the run reduces it to.
    const int nrq = std::clamp(neigrq, 0, P::p_ngrq);
    std::fill_n(membraneforcesp, 5 * P::p_ngit, 0.0);
    std::fill_n(elamp, P::p_ngit, 0.0);
    std::fill_n(displ, static_cast<std::size_t>(P::p_nx) * nrq, 0.0);
    std::fill_n(pythres.membraneforces, 5 * P::p_ngit, 0.0);
    std::fill_n(valus.elam, P::p_ngit, 0.0);

    // 3. The state the driver does not fill from its arguments: functions, grid size, skin
    //    data sets and the loads of every node; the foot strips carry their share of the x
    //    and shear loads by stiffness.
    auto& g = f07ina<P>();
    std::copy_n(ku, 5, g.ku);
    g.mx = r.mx, g.my = r.my;
    std::copy_n(matabdf, 36, skstf.matabd);
    std::fill_n(skstf.matsw, 42, 0.0f);
    float factx = 0.0f, factxy = 0.0f;
    foot_ratios(skstf.matabd, factx, factxy);
    const NodeLoads plain{loadvxp, loadvyp, loadvxyp, fnxp, fnyp, fnxyp};
    const NodeLoads foot{loadvxp * factx, loadvyp, loadvxyp * factxy, fnxp * factx, fnyp, fnxyp * factxy};
    spread_panel_loads<P>(kind, plain, foot);
    r.ready = P::number;

    // 4. The run and its results.
    if constexpr (S == PanelStage::analysis) {
        run_panel<P>();
        copy_results<P>(nrq, elamp, membraneforcesp, displ);
    }
}

#define ZEFT_INST_CALLZEFT_STAGE(P, S)                                                           \
    template void callzeft<P, S>(const char*, const char*, float&, float&, float&, float*, float*, \
                              float*, float&, float&, int&, float&, float&, float&, float&,     \
                              float&, float&, float&, float&, float&, float&, float&, float&,   \
                              double*, double*, int&, int&, int&, int&, int&, int*, int*, int*, \
                              int*, int*, int*, int*, int*, int&, int&, int&, int&, double*);
#define ZEFT_INST_CALLZEFT(P)                                                                   \
    ZEFT_INST_CALLZEFT_STAGE(P, PanelStage::layout)                                             \
    ZEFT_INST_CALLZEFT_STAGE(P, PanelStage::set_up)                                             \
    ZEFT_INST_CALLZEFT_STAGE(P, PanelStage::analysis)                                           \
    template bool run_panel<P>();
ZEFT_FOR_EACH_SIZE(ZEFT_INST_CALLZEFT)
#undef ZEFT_INST_CALLZEFT
#undef ZEFT_INST_CALLZEFT_STAGE

}  // namespace zeft
