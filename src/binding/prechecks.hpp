// Checks run after conversion and before a routine is called: they keep a host call from
// making a routine read or write outside the arrays it was given. Each returns "" when the
// call may proceed, else the reason (raised as _zeft.error).
#pragma once

#include <string>

#include "binding/signatures.hpp"
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
        if (a.spec->name == "lv") return check_wprofile<P>(c, "mmt");
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

/// callzeft: inputs that would divide by zero or overflow the grid are refused up front.
template <class P>
std::string check_callzeft(const CallView& c) {
    const long long neigrq = c.ival("neigrq");
    if (neigrq < 0 || neigrq > P::p_ngrq)
        return "neigrq = " + std::to_string(neigrq) + " is outside 0 .. p_ngrq = " + std::to_string(P::p_ngrq);
    for (const char* n : {"anzelzwframes", "anzelprohalbfoot", "anzelzwstr"})
        if (c.ival(n) <= 0) return std::string(n) + " must be a positive element count";
    return "";
}

}  // namespace zeft::binding
