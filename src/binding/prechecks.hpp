// Checks run after conversion and before a routine is called: they keep a host call from
// making a routine read or write outside the arrays it was given. Each returns "" when the
// call may proceed, else the reason (raised as _zeft.error).
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>

#include "binding/signatures.hpp"
#include "control/driver.hpp"
#include "control/front_end.hpp"
#include "state/records.hpp"

namespace zeft::binding {

/// Profile storage (order n, half-bandwidth ibd, pointers lv) must lie inside len entries.
std::string check_profile(const char* what, long long len, const int* lv, long long lvlen,
                          long long n, long long ibd);

std::string check_abdetc(const CallView& c);
std::string check_chodec(const CallView& c);
std::string check_chosol(const CallView& c);
std::string check_jacob2(const CallView& c);
std::string check_lqfit(const CallView& c);
std::string check_mklvbd(const CallView& c);
std::string check_probtm(const CallView& c);
std::string check_simvit(const CallView& c);

/// Minimum length of a host array standing in for the A11 store (full triangle of order ix).
template <class P>
std::string check_a11(const CallView& c) {
    const long long ix = man.ix;
    if (ix < 0 || ix > P::p_nx) return "the W freedom count ix of record man is outside 0 .. p_nx";
    const long long need = ix * (ix + 1) / 2;
    if (c["a11"].size() < need)
        return "a11 has " + std::to_string(c["a11"].size()) + " entries, the full triangle of order ix = " +
               std::to_string(ix) + " needs " + std::to_string(need);
    return "";
}

/// The A22 store must hold the profile laid out by lva22 for order iy.
template <class P>
std::string check_a22(const CallView& c) {
    const long long iy = man.iy;
    if (iy < 0 || iy > P::p_ny) return "the in-plane freedom count iy of record man is outside 0 .. p_ny";
    if (iy == 0) return "";
    return check_profile("a22", c["a22"].size(), comlv<P>().lva22, P::p_ny, iy, f07ina<P>().ibdy);
}

/// A21 must have at least ix columns of leading dimension p_ny.
template <class P>
std::string check_a21(const CallView& c) {
    const long long ix = man.ix;
    if (ix < 0 || ix > P::p_nx) return "the W freedom count ix of record man is outside 0 .. p_nx";
    if (c["a21"].dims.size() == 2 && c["a21"].dims[1] < ix)
        return "a21 has " + std::to_string(c["a21"].dims[1]) + " columns, ix = " + std::to_string(ix) +
               " are needed";
    return "";
}
template <class P> std::string check_a21ast(const CallView& c) { return check_a21<P>(c); }
template <class P> std::string check_cmpa21(const CallView& c) { return check_a21<P>(c); }

/// A matrix over the W freedoms addressed through the host's pointer vector lv (order ix).
template <class P>
std::string check_wprofile(const CallView& c, const char* name) {
    const long long ix = man.ix;
    if (ix < 0 || ix > P::p_nx) return "the W freedom count ix of record man is outside 0 .. p_nx";
    if (ix == 0) return "";
    const auto& lv = c["lv"];
    if (lv.size() < ix) return "lv has fewer than ix = " + std::to_string(ix) + " entries";
    return check_profile(name, c[name].size(), static_cast<const int*>(lv.data), lv.size(), ix,
                         f07ina<P>().ibdx);
}
template <class P> std::string check_bmt(const CallView& c) { return check_wprofile<P>(c, "bmt"); }

/// The mass matrix: cmpmmt addresses it through lv, mmtst through lvb of record comlv.
template <class P>
std::string check_mmt(const CallView& c) {
    const long long ix = man.ix;
    if (ix < 0 || ix > P::p_nx) return "the W freedom count ix of record man is outside 0 .. p_nx";
    if (ix == 0) return "";
    std::string r = check_profile("mmt", c["mmt"].size(), comlv<P>().lvb, P::p_nx, ix, f07ina<P>().ibdx);
    if (!r.empty()) return r;
    for (const auto& a : c.args)
        if (a.decl->name == "lv") return check_wprofile<P>(c, "mmt");
    return "";
}

/// prtout reads one column of element stiffnesses per element strip.
template <class P>
std::string check_prtout(const CallView& c) {
    const long long my = f07ina<P>().my;
    if (my < 2 || my > P::p_rtnds) return "";  // the routine itself reports a grid outside its limits
    for (const char* n : {"bb", "dd", "bd", "rr", "dr", "br", "ss"})
        if (c[n].dims.size() == 2 && c[n].dims[1] < my - 1)
            return std::string(n) + " has fewer columns than element strips (my - 1 = " +
                   std::to_string(my - 1) + ")";
    return "";
}

/// tczinc writes three rows of the coefficient matrix of element ielm from position k.
template <class P>
std::string check_tczinc(const CallView& c) {
    const long long ielm = c.ival("ielm"), k = c.ival("k"), ks = c.ival("ks");
    if (ielm < 1 || ielm > P::p_elmts) return "ielm is outside 1 .. p_elmts";
    // Rows written: a diagonal block k+ks+1..k+ks+3, k+2ks+4..k+2ks+5, k+3ks+6; an
    // off-diagonal block k+1..k+3, k+ks+3..k+ks+5, k+2ks+4..k+2ks+6.
    const bool diag = c.ival("d") != 0;
    const long long first[3] = {diag ? k + ks + 1 : k + 1, diag ? k + 2 * ks + 4 : k + ks + 3,
                                diag ? k + 3 * ks + 6 : k + 2 * ks + 4};
    const long long last[3] = {first[0] + 2, first[1] + (diag ? 1 : 2), first[2] + (diag ? 0 : 2)};
    for (int l = 0; l < 3; ++l)
        if (first[l] < 1 || last[l] > 45)
            return "k and ks would write outside the 45 coefficients of the element";
    return "";
}

/// The project name (text argument `arg`, 8 characters) must name files in the working folder.
inline std::string check_project_name(const CallView& c, const char* arg) {
    const std::string_view fault = project_name_fault({static_cast<const char*>(c[arg].data), 8});
    if (fault.empty()) return "";
    std::string why(fault);
    std::transform(why.begin(), why.end(), why.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return std::string("the project name ") + arg + " must name a file in the working folder, " + why;
}

/// zeftmain: the output files are named after the project.
template <class P>
std::string check_zeftmain(const CallView& c) { return check_project_name(c, "proj"); }

/// callzeft: inputs that would divide by zero, overflow the grid or feed non-finite numbers
/// into the layout are refused before anything is cleared or written.
template <class P>
std::string check_callzeft(const CallView& c) {
    using std::to_string;
    if (std::string r = check_project_name(c, "filenamep"); !r.empty()) return r;
    const auto real = [&c](const char* n) { return *static_cast<const float*>(c[n].data); };
    const auto reals = [&c](const char* n) { return static_cast<const float*>(c[n].data); };
    constexpr int nr = P::p_rtnds - 1;

    const long long neigrq = c.ival("neigrq"), neigit = c.ival("neigit");
    if (neigrq < 0 || neigrq > P::p_ngrq)
        return "neigrq = " + to_string(neigrq) + " is outside 0 .. p_ngrq = " + to_string(P::p_ngrq);
    // More iteration vectors than p_ngit are reduced by the input check with a warning.
    if (neigit < 2) return "neigit = " + to_string(neigit) + " is below 2 iteration vectors";
    for (const char* n : {"framepitch", "stringerpitch"})
        if (!(std::isfinite(real(n)) && real(n) > 0.0f))
            return std::string(n) + " = " + to_string(real(n)) + " must be a positive finite length";
    for (const char* n : {"loadvxp", "loadvyp", "loadvxyp", "fnxp", "fnxyp", "fnyp"})
        if (!std::isfinite(real(n))) return std::string(n) + " = " + to_string(real(n)) + " is not a finite load";
    for (const char* n : {"rxp", "ryp", "rxyp"})
        if (std::isnan(real(n))) return std::string(n) + " is not a number: a radius of curvature (1.0E29 or more is flat)";
    for (const char* n : {"alfaxp", "alfayp", "chordwdth", "sfootwdth", "alpha", "height"})
        if (!std::isfinite(real(n))) return std::string(n) + " = " + to_string(real(n)) + " is not a finite number";
    for (const auto& [n, count] : {std::pair<const char*, int>{"matabdf", 36}, {"steifxf", 4}, {"steifyf", 4}})
        for (int i = 0; i < count; ++i)
            if (!std::isfinite(reals(n)[i]))
                return std::string(n) + " holds a stiffness that is not finite (entry " + to_string(i + 1) + " = " +
                       to_string(reals(n)[i]) + ")";

    // Lengths in x.
    const long long anzelzwframes = c.ival("anzelzwframes");
    if (anzelzwframes < 1)
        return "anzelzwframes = " + to_string(anzelzwframes) + ": the frame pitch needs at least 1 element";
    const int stypep = static_cast<int>(c.ival("stypep"));
    const int* isty = c.iarr("isty");
    const int nf = leading_count(isty, P::p_stf);
    const long long nsub = x_subdivisions(stypep, nf, static_cast<int>(anzelzwframes), isty[0]);
    if (nsub < 1 || nsub > nr)
        return "anzelzwframes = " + to_string(anzelzwframes) + " with " + to_string(nf) + " frames from isty(1) = " +
               to_string(isty[0]) + " gives " + to_string(nsub) + " subdivisions in x, outside 1 .. p_rtnds-1 = " +
               to_string(nr);

    // Lengths in y: the element counts of the strips that are laid out.
    const StripSection s{stypep, real("stringerpitch"), real("chordwdth"), real("sfootwdth"), real("alpha"),
                         real("height"), static_cast<int>(c.ival("anzelprohalbfoot")),
                         static_cast<int>(c.ival("anzelzwstr")), static_cast<int>(c.ival("anzelbelowstr"))};
    const int* elmstf = c.iarr("elmstf");
    float bp[nr];
    StripKind kind[nr];
    lay_out_strips(s, elmstf, nr, bp, kind);
    if (stypep >= 1 && stypep <= 3) {
        if (std::find(kind, kind + nr, StripKind::foot) != kind + nr) {
            if (s.anzelprohalbfoot < 1)
                return "anzelprohalbfoot = " + to_string(s.anzelprohalbfoot) +
                       ": the stringer-foot strips (elmstf = 2) need at least 1 element per foot";
            // The foot strips take their loads in the ratio of the foot to the skin stiffness.
            const float* m = reals("matabdf");
            if (m[2] == 0.0f || m[20] == 0.0f)
                return "matabdf(3,1) and matabdf(3,2) must be nonzero: the foot-strip load ratio divides by them";
            if (m[0] - m[1] * m[1] / m[2] == 0.0f)
                return "matabdf set 1 gives A11 - A12**2/A22 = 0, the denominator of the foot-strip load ratio";
            if (m[5] == 0.0f) return "matabdf(6,1) must be nonzero: the foot-strip shear load ratio divides by it";
            float factx = 0.0f, factxy = 0.0f;
            foot_ratios(m, factx, factxy);
            for (float v : {factx, factxy, real("loadvxp") * factx, real("fnxp") * factx,
                            real("loadvxyp") * factxy, real("fnxyp") * factxy})
                if (!std::isfinite(v))
                    return "matabdf: the loads of the foot strips, scaled by the stiffness ratio, overflow";
        }
        for (int j = 1; j <= nr; ++j) {
            if (kind[j - 1] == StripKind::skin && s.anzelzwstr < 1)
                return "anzelzwstr = " + to_string(s.anzelzwstr) +
                       ": the skin strips between stringers (elmstf = 1) need at least 1 element";
            if (kind[j - 1] == StripKind::under_hat && s.anzelbelowstr < 1)
                return "anzelbelowstr = " + to_string(s.anzelbelowstr) +
                       ": the skin strips under a hat stringer need at least 1 element";
        }
    }
    for (int j = 1; j <= nr; ++j)
        if (!std::isfinite(bp[j - 1]))
            return "element strip " + to_string(j) + " gets a width that is not finite; check stringerpitch, " +
                   "sfootwdth, chordwdth, alpha and height";
    return "";
}

}  // namespace zeft::binding
