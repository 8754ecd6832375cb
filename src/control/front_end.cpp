// Panel front end callzeft and the layout rules it shares with the binding's input check.
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

void lay_out_strips(const StripSection& s, const int* elmstf, int nstrip, float* bp, StripLoad* load) {
    if (s.stypep < 1 || s.stypep > 3) {
        // Unstiffened layout: equal strips over the whole preset.
        for (int j = 1; j <= nstrip; ++j) {
            bp[j - 1] = s.stringerpitch / static_cast<float>(nstrip);
            load[j - 1] = StripLoad::plain;
        }
        return;
    }
    const float pi = 3.1415927f;
    const float hat = 2.0f * s.height / std::tan(((180.0f - s.alpha) * 0.5f) * pi / 180.0f) + s.chordwdth;
    const float foot = static_cast<float>(s.anzelprohalbfoot);
    int c = 1;  // hat stringers: 1 between the hats, 2 .. 2 anzelprohalbfoot on or under a hat
    for (int j = 1; j <= nstrip; ++j) {
        float& w = bp[j - 1];
        switch (elmstf[j - 1]) {
            case 1:
                load[j - 1] = StripLoad::plain;
                if (s.stypep != 2)
                    w = (s.stringerpitch - s.sfootwdth) / static_cast<float>(s.anzelzwstr);
                else if (c == 1)
                    w = ((s.stringerpitch - hat) - 2.0f * s.sfootwdth) / static_cast<float>(s.anzelzwstr);
                else
                    w = hat / static_cast<float>(s.anzelbelowstr);
                break;
            case 2:
                load[j - 1] = StripLoad::foot;
                if (s.stypep == 1)
                    w = 0.5f * s.sfootwdth / foot;
                else
                    w = s.sfootwdth / foot;
                if (s.stypep == 2) c = c == 2 * s.anzelprohalbfoot ? 1 : c + 1;
                break;
            default:
                load[j - 1] = StripLoad::untouched;
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

template <class P>
void callzeft(const char* filenamep, const char* titp, float& rxp, float& ryp, float& rxyp,
              float* matabdf, float* steifxf, float* steifyf, float& framepitch,
              float& stringerpitch, int& stypep, float& chordwdth, float& sfootwdth,
              float& alpha, float& height, float& loadvxp, float& loadvyp, float& loadvxyp,
              float& fnxp, float& fnxyp, float& fnyp, float& alfaxp, float& alfayp,
              double* elamp, double* membraneforcesp, int& itab, int& neigit, int& neigrq,
              int& mempri, int& indplt, int* ku, int* istx, int* isty, int* elmstf,
              int* bndy0, int* bndyl, int* bndx0, int* bndxl, int& anzelzwframes,
              int& anzelprohalbfoot, int& anzelzwstr, int& anzelbelowstr, double* displ) {
    constexpr int nr = P::p_rtnds - 1, ns = P::p_stf, ngit = P::p_ngit;
    auto& g = f07ina<P>();
    // The caller's count sizes the copies, whatever the run reduces it to.
    const int nrq = std::clamp(neigrq, 0, P::p_ngrq);
    const std::size_t nvec = static_cast<std::size_t>(P::p_nx) * nrq;

    // Results of an earlier run must not survive a failing one.
    std::fill_n(pythres.membraneforces, 5 * ngit, 0.0);
    std::fill_n(membraneforcesp, 5 * ngit, 0.0);
    std::fill_n(valus.elam, ngit, 0.0);
    std::fill_n(elamp, ngit, 0.0);
    std::fill_n(displ, nvec, 0.0);

    // Controls of the run: always a buckling analysis.
    int buck = 1, itabp = itab, neigitp = neigit, neigrqp = neigrq, memprip = mempri, indpltp = indplt;
    std::copy_n(ku, 5, g.ku);

    // Every run lays its loads out afresh; the fixed loads start constant over the panel.
    const NodeLoads plain{loadvxp, loadvyp, loadvxyp, fnxp, fnyp, fnxyp};
    std::fill_n(cpvar<P>().pvar, 3 * P::p_nodes, 0.0f);
    for (int n = 1; n <= P::p_nodes; ++n) set_loads<P>(n, {0.0f, 0.0f, 0.0f, fnxp, fnyp, fnxyp});

    std::copy_n(matabdf, 36, skstf.matabd);
    std::fill_n(skstf.matsw, 42, 0.0f);

    // Stiffener tables: every listed stringer and frame gets the same four stiffnesses.
    int istxp[ns], istyp[ns], elmstfp[nr];
    std::copy_n(elmstf, nr, elmstfp);
    std::copy_n(isty, ns, istyp);
    std::copy_n(istx, ns, istxp);
    float steifxp[4 * ns] = {}, steifyp[4 * ns] = {};
    const int nx = leading_count(istx, ns), nf = leading_count(isty, ns);
    for (int i = 1; i <= nx; ++i) std::copy_n(steifxf, 4, steifxp + 4 * (i - 1));
    for (int i = 1; i <= nf; ++i) std::copy_n(steifyf, 4, steifyp + 4 * (i - 1));

    // The foot strips carry their share of the x and shear loads by stiffness.
    float factx = 0.0f, factxy = 0.0f;
    foot_ratios(skstf.matabd, factx, factxy);
    const NodeLoads foot{loadvxp * factx, loadvyp, loadvxyp * factxy, fnxp * factx, fnyp, fnxyp * factxy};

    // Lengths in x: equal elements between and outside the frames.
    float ap[nr] = {}, bp[nr] = {};
    const long long n = std::clamp(x_subdivisions(stypep, nf, anzelzwframes, isty[0]), 0LL,
                                   static_cast<long long>(nr));
    const float h = framepitch / static_cast<float>(anzelzwframes);
    std::fill_n(ap, n, h);

    // Lengths in y and the loads of the node at the lower edge of each strip.
    StripLoad load[nr];
    const StripSection section{stypep, stringerpitch, chordwdth, sfootwdth, alpha, height,
                               anzelprohalbfoot, anzelzwstr, anzelbelowstr};
    lay_out_strips(section, elmstfp, nr, bp, load);
    for (int j = 1; j <= nr; ++j) {
        if (load[j - 1] == StripLoad::plain)
            set_loads<P>(j, plain);
        else if (load[j - 1] == StripLoad::foot)
            set_loads<P>(j, foot);
    }
    if (stypep < 1 || stypep > 3) {
        std::fill_n(steifxp, 4 * ns, 0.0f);
        std::fill_n(steifyp, 4 * ns, 0.0f);
    }

    // Grid size; without any length in a direction the previous count stays.
    if (const int lines = lines_of(ap, nr); lines != 0) g.mx = lines;
    if (const int lines = lines_of(bp, nr); lines != 0) g.my = lines;

    // The node of the last y-line on x-line 1 carries the plain loads; the nodes after it
    // carry nothing of their own and take the loads of their y-line below.
    const int my = std::clamp(g.my, 0, P::p_nodes);
    if (my >= 1) set_loads<P>(my, plain);
    for (int k = my + 1; k <= P::p_nodes; ++k) set_loads<P>(k, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    if (g.mx >= 1 && g.mx <= P::p_rtnds && g.my >= 1 && g.my <= P::p_rtnds) spread_loads<P>(g.mx, g.my);

    zeftmain<P>(filenamep, titp, buck, itabp, neigitp, neigrqp, memprip, indpltp, ku, ap, bp, bndx0,
                bndxl, bndy0, bndyl, rxp, ryp, rxyp, istxp, istyp, elmstfp, steifxp, steifyp,
                alfaxp, alfayp);

    // Results: eigenvalues, five forces per requested eigenvalue, W eigenvectors.
    std::copy_n(valus.elam, ngit, elamp);
    for (int i = 1; i <= nrq; ++i)
        for (int k = 1; k <= 5; ++k)
            membraneforcesp[5 * (i - 1) + (k - 1)] = pythres.membraneforces[(i - 1) + ngit * (k - 1)];
    std::copy_n(vectrs<P>().x, nvec, displ);
}

#define ZEFT_INST_CALLZEFT(P)                                                                   \
    template void callzeft<P>(const char*, const char*, float&, float&, float&, float*, float*, \
                              float*, float&, float&, int&, float&, float&, float&, float&,     \
                              float&, float&, float&, float&, float&, float&, float&, float&,   \
                              double*, double*, int&, int&, int&, int&, int&, int*, int*, int*, \
                              int*, int*, int*, int*, int*, int&, int&, int&, int&, double*);
ZEFT_FOR_EACH_PRESET(ZEFT_INST_CALLZEFT)
#undef ZEFT_INST_CALLZEFT

}  // namespace zeft
